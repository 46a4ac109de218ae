// list(pattern[, filter]): the names a folder search finds, joined by ":".
//
// The pattern goes to the folder search as converted and folded, wildcards
// included.
// Answers the empty string when nothing matches (or the folder or drive is
// missing), and the integer 0 when the search cannot start for another reason
// (a character no name may hold outside the last part's wildcards "*", "?",
// "<", ">" and '"', refused access) or the listing cannot be held in memory.
// A listing is never cut short.
// The search reads names in UTF-16; a name the ANSI code page cannot write
// exactly is left out, since any text a script could get for it (a lookalike,
// or '?', a wildcard) would name something else. So are names that end in a
// dot or a space, device names and names holding characters no Windows name
// may hold (the system would take them for another file, or a device), and
// entries that match a wildcard pattern only through their short (8.3) name.
#include "file_natives.h"
#include "listing.h"
#include "path_argument.h"
#include "platform.h"

#include <windows.h>

namespace {

// Storage kept between calls; it is released again after a listing that
// needed more than this.
const size_t kKeptListingSize = 65536;

Listing listingBuffer = {NULL, 0, 0};

enum SearchOutcome { kSearchListed, kSearchNothing, kSearchFailed };

// A UTF-16 name is at most MAX_PATH units; in any ANSI code page, UTF-8
// included, that is at most three bytes a unit.
const int kAnsiNameSize = 3 * MAX_PATH + 1;

// Writes `name` in the ANSI code page `codePage` into `ansi`, or fails when
// some character has no exact form there. Best-fit lookalikes and the default
// character are both refused; UTF-8 takes neither flag and refuses lone
// surrogates instead.
bool ansiNameOf(UINT codePage, const wchar_t* name, char (&ansi)[kAnsiNameSize])
{
    if (codePage == CP_UTF8)
        return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, ansi, sizeof ansi, NULL,
                                   NULL) != 0;
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, name, -1, ansi, sizeof ansi,
                                      NULL, &usedDefault);
    return written != 0 && !usedDefault;
}

// The length of a name of ASCII characters alone, copied into `ansi` as its
// own ANSI text (the same in every code page); -1 at the first other one.
int asciiNameOf(const wchar_t* name, char (&ansi)[kAnsiNameSize])
{
    for (int i = 0; i < MAX_PATH; ++i) {
        if (name[i] >= 0x80)
            return -1;
        ansi[i] = (char)name[i];
        if (name[i] == 0)
            return i;
    }
    return -1;
}

// The attributes as the runtime's folder search reports them: an entry with
// no particular attribute has the empty set.
unsigned entryAttributes(DWORD attributes)
{
    return attributes == FILE_ATTRIBUTE_NORMAL ? 0 : (unsigned)attributes;
}

// A search that finds nothing, or whose folder, drive, share or server is
// missing, lists nothing, as does a path the system finds malformed or too
// long: these are the errors the runtime's own search reported as ENOENT.
// Any other refusal (a character no name may hold, refused access) fails.
SearchOutcome outcomeOfFailedStart(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NO_MORE_FILES:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return kSearchNothing;
    default:
        return kSearchFailed;
    }
}

char16_t upcaseUnit(char16_t unit)
{
    return (char16_t)(UINT_PTR)CharUpperW((LPWSTR)(UINT_PTR)unit);
}

// The pattern's last part, after its last "\" or its drive's ":".
const char16_t* lastPatternPart(const wchar_t* pattern)
{
    const wchar_t* part = pattern;
    for (const wchar_t* at = pattern; *at != 0; ++at) {
        if (*at == L'\\' || *at == L':')
            part = at + 1;
    }
    return (const char16_t*)part;
}

// The search matches a wildcard pattern against short (8.3) names too, so
// "*.htm" finds index.html (INDEX~1.HTM): an entry with a short name of its
// own stays only when its long name matches. One without (its long name is
// already short) stays as found.
bool longNameOfEntryMatches(const char16_t* pattern, const WIN32_FIND_DATAW& entry)
{
    if (entry.cAlternateFileName[0] == 0)
        return true;
    return longNameMatches(pattern, (const char16_t*)entry.cFileName, upcaseUnit);
}

// Whether the pattern holds a byte below 0x20: a control character, since
// no code page makes such a byte part of a longer character.
bool holdsControlCharacter(const char* pattern)
{
    for (; *pattern != '\0'; ++pattern) {
        if ((unsigned char)*pattern < 0x20)
            return true;
    }
    return false;
}

// Fills listingBuffer with the entries `pattern` finds that `filter` takes.
// A pattern with a control character or a stream's colon ("a|b*" becomes
// "a:b*") is one the system refuses to search; Wine searches it and finds
// nothing, so it is refused here before the search.
SearchOutcome buildListing(const char* pattern, ListFilter filter)
{
    if (holdsControlCharacter(pattern) || pathHasStream(pattern))
        return kSearchFailed;
    // The pattern is ANSI text; every ANSI character has an exact UTF-16 form.
    wchar_t widePattern[kPathSize];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pattern, -1, widePattern, kPathSize) == 0)
        return kSearchFailed;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(widePattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return outcomeOfFailedStart(GetLastError());
    // "*" and "*.*" take every long name: no entry needs matching again.
    const char16_t* wildcards = lastPatternPart(widePattern);
    if (!patternHasWildcards(wildcards) || wcscmp((const wchar_t*)wildcards, L"*") == 0 ||
        wcscmp((const wchar_t*)wildcards, L"*.*") == 0)
        wildcards = NULL;
    UINT codePage = GetACP();
    char name[kAnsiNameSize];
    bool complete = startListing(&listingBuffer);
    while (complete) {
        // Most names are ASCII: the shortest route to the same answer.
        int asciiLength = asciiNameOf(entry.cFileName, name);
        if ((asciiLength >= 0 ? asciiNameIsListable(name, (size_t)asciiLength)
                              : ansiNameOf(codePage, entry.cFileName, name) &&
                                    nameIsListable(name, isAnsiLeadByte, ansiSuperscriptDigitAt)) &&
            entryIsListed(entryAttributes(entry.dwFileAttributes), name, filter) &&
            (wildcards == NULL || longNameOfEntryMatches(wildcards, entry)))
            complete = appendListingName(&listingBuffer, name);
        if (!FindNextFileW(search, &entry))
            break;
    }
    FindClose(search);
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
