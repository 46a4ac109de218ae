// Assembling a folder listing; knows nothing of the host or the platform.
//
// A listing is the names of the chosen entries in search order, joined by ":"
// (a character no file name can hold), without a separator at either end.
#ifndef QVFILE_LISTING_H
#define QVFILE_LISTING_H

#include <stddef.h>

#include "location.h"

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

// Whether a name found by a folder search can stand in a listing. Left out
// are names that would make the system act on another file: a name that
// ends in a dot or a space (the system drops them from every path), one that
// names a device ("aux.htm", "com\xB9" in code page 1252), and one holding a
// character no Windows name may hold (< > : " / \ | ? * or a control
// character), as Unix file systems and some shares allow: "pipe|x" would
// name pipe:x, and "unix:name" would split at the listing's separator.
bool nameIsListable(const char* name, LeadByteTest isLeadByte, SuperscriptDigitTest superscriptDigitAt);

// nameIsListable for a name of `length` ASCII characters, which are the same,
// never lead bytes nor superscripts, in every code page: one pass, and the
// device rules only for a name that starts as a device's name does.
bool asciiNameIsListable(const char* name, size_t length);

// Upper case of one UTF-16 unit, as the file system compares names.
typedef char16_t (*UpcaseUnit)(char16_t unit);

// Whether `pattern`, the last part of a search pattern, holds a wildcard
// ("*", "?", or the system's own "<", ">" and '"').
bool patternHasWildcards(const char16_t* pattern);

// Whether the long name `name` matches `pattern`, the last part of a search
// pattern, as the folder search matches names (letter case aside): "*" any
// run, "?" any one character, except that "?" before a dot or at the end
// also matches nothing, "*" before a dot (the system's "<") takes the
// name's last dot only as its own last character, a dot before "*" or "?" or
// at the end also matches the end of the name, a final run of dots and spaces
// is one dot when it ends in a dot and nothing when it ends in a space, and
// "*.*" matches every name, with a dot or without. The search also matches a
// pattern against each entry's short (8.3) name, so an entry that has one is
// listed only when this accepts its long name.
bool longNameMatches(const char16_t* pattern, const char16_t* name, UpcaseUnit upcase);

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
