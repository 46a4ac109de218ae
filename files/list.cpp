// list(pattern[, filter]): the names a folder search finds, joined by ":".
//
// The pattern goes to the folder search as converted, wildcards included.
// Answers the empty string when nothing matches (or the folder is missing),
// and the integer 0 when the search cannot start for another reason or the
// listing cannot be held in memory. A listing is never cut short.
#include "file_natives.h"
#include "listing.h"

#include <errno.h>
#include <io.h>

namespace {

// Storage kept between calls; it is released again after a listing that
// needed more than this.
const size_t kKeptListingSize = 65536;

Listing listingBuffer = {NULL, 0, 0};

enum SearchOutcome { kSearchListed, kSearchNothing, kSearchFailed };

// Fills listingBuffer with the entries `pattern` finds that `filter` takes.
SearchOutcome buildListing(const char* pattern, ListFilter filter)
{
    struct __finddata64_t entry;
    intptr_t search = _findfirst64(pattern, &entry);
    if (search == -1)
        return errno == ENOENT ? kSearchNothing : kSearchFailed;
    bool complete = startListing(&listingBuffer);
    while (complete) {
        if (entryIsListed(entry.attrib, entry.name, filter))
            complete = appendListingName(&listingBuffer, entry.name);
        if (_findnext64(search, &entry) != 0)
            break;
    }
    _findclose(search);
    return complete ? kSearchListed : kSearchFailed;
}

} // namespace

QV_NATIVE(nativeList)
{
    char pattern[kPathSize];
    if ((argc != 1 && argc != 2) || !fetchPathArgument(context, argv[0], pattern))
        return kRefused;
    ListFilter filter = kListFiles;
    if (argc == 2) {
        const char* filterText = hostServices.textFromValue(context, argv[1], NULL);
        if (filterText == NULL)
            return kRefused;
        filter = chooseFilter(filterText);
        if (filter == kListRefused)
            return kRefused;
    }
    if (hostServices.valueFromText == NULL)
        return kRefused;
    int32_t answered;
    switch (buildListing(pattern, filter)) {
    case kSearchListed:
        answered = returnText(context, listingBuffer.text, (uint32_t)listingBuffer.length, result);
        break;
    case kSearchNothing:
        answered = returnText(context, "", 0, result);
        break;
    default:
        answered = returnInteger(result, 0);
        break;
    }
    trimListing(&listingBuffer, kKeptListingSize);
    return answered;
}
