// Assembling a folder listing; knows nothing of the host or the platform.
//
// A listing is the names of the chosen entries in search order, joined by ":"
// (a character no file name can hold), without a separator at either end.
#ifndef QVFILE_LISTING_H
#define QVFILE_LISTING_H

#include <stddef.h>

enum ListFilter { kListFiles, kListWritable, kListFolders, kListAll, kListRefused };

// Entry attributes as the folder search reports them.
enum {
    kAttributeReadOnly = 0x01,
    kAttributeHidden = 0x02,
    kAttributeSystem = 0x04,
    kAttributeFolder = 0x10,
    kAttributeArchive = 0x20,
};

// The filter a script's filter text selects by its first letter (w, d or a,
// in either case); anything else, the empty text included, is refused.
ListFilter chooseFilter(const char* filterText);

// Whether an entry with these attributes and this name belongs in a listing:
// never hidden or system entries, never "." or "..", and then as the filter
// says (Folders takes only entries whose sole attribute is the folder one).
bool entryIsListed(unsigned attributes, const char* name, ListFilter filter);

// The growing text of one listing. Appending is linear in the name's length.
struct Listing {
    char* text;      // terminated; NULL until the first append or reserve
    size_t length;
    size_t capacity;
};

// Makes the listing empty, keeping its storage. Fails when storage for the
// empty text cannot be had.
bool startListing(Listing* listing);

// Appends ":" (unless the listing is empty) and the name. Fails, leaving the
// listing as it was, when the storage cannot grow.
bool appendListingName(Listing* listing, const char* name);

// Releases the storage when it has grown beyond `keep` bytes, so that one
// long listing does not hold memory for the rest of the host's life.
void trimListing(Listing* listing, size_t keep);

#endif
