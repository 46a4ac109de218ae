#include "listing.h"

#include <stdlib.h>
#include <string.h>

ListFilter chooseFilter(const char* filterText)
{
    switch (filterText[0]) {
    case 'w': case 'W': return kListWritable;
    case 'd': case 'D': return kListFolders;
    case 'a': case 'A': return kListAll;
    default:            return kListRefused;
    }
}

bool entryIsListed(unsigned attributes, const char* name, ListFilter filter)
{
    if (attributes & (kAttributeHidden | kAttributeSystem))
        return false;
    switch (filter) {
    case kListFiles:
        if (attributes & kAttributeFolder)
            return false;
        break;
    case kListWritable:
        if (attributes & (kAttributeFolder | kAttributeReadOnly))
            return false;
        break;
    case kListFolders:
        if (attributes & ~(unsigned)kAttributeFolder)
            return false;
        break;
    case kListAll:
        break;
    default:
        return false;
    }
    if (attributes & kAttributeFolder)
        return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
    return true;
}

namespace {

bool reserveListing(Listing* listing, size_t needed)
{
    if (needed <= listing->capacity)
        return true;
    size_t capacity = listing->capacity < 256 ? 256 : listing->capacity;
    while (capacity < needed) {
        if (capacity > (size_t)-1 / 2)
            return false;
        capacity *= 2;
    }
    char* text = (char*)realloc(listing->text, capacity);
    if (text == NULL)
        return false;
    listing->text = text;
    listing->capacity = capacity;
    return true;
}

} // namespace

bool startListing(Listing* listing)
{
    if (!reserveListing(listing, 1))
        return false;
    listing->length = 0;
    listing->text[0] = '\0';
    return true;
}

bool appendListingName(Listing* listing, const char* name)
{
    size_t nameLength = strlen(name);
    size_t separator = listing->length != 0 ? 1 : 0;
    size_t needed = listing->length + separator + nameLength + 1;
    if (needed < nameLength || !reserveListing(listing, needed))
        return false;
    char* end = listing->text + listing->length;
    if (separator)
        *end++ = ':';
    memcpy(end, name, nameLength + 1);
    listing->length += separator + nameLength;
    return true;
}

void trimListing(Listing* listing, size_t keep)
{
    if (listing->capacity <= keep)
        return;
    free(listing->text);
    listing->text = NULL;
    listing->length = 0;
    listing->capacity = 0;
}
