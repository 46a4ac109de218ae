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

bool nameIsListable(const char* name, LeadByteTest isLeadByte, SuperscriptDigitTest superscriptDigitAt)
{
    size_t length = strlen(name);
    if (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' '))
        return false;
    return !nameHoldsForbiddenCharacter(name, length, isLeadByte) && !nameIsDevice(name, superscriptDigitAt);
}

namespace {

size_t noSuperscripts(const char*) { return 0; }

} // namespace

bool asciiNameIsListable(const char* name, size_t length)
{
    if (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' '))
        return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        if ((unsigned char)c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '\\' ||
            c == '|' || c == '?' || c == '*')
            return false;
    }
    // CON, CONIN$, CONOUT$, COM, PRN, AUX, NUL and LPT.
    switch (name[0] & ~0x20) {
    case 'A': case 'C': case 'L': case 'N': case 'P':
        return !nameIsDevice(name, noSuperscripts);
    default:
        return true;
    }
}

namespace {

// A pattern's last part as the folder search reads it: each wildcard made the
// system's own form, everything else a character to compare.
enum PatternToken : char16_t {
    kAnyRun = u'*',     // any characters
    kBeforeDot = u'<',  // any characters; the name's last dot only as the last
    kOneOrNone = u'>',  // one character, or none before a dot or at the end
    kDotOrEnd = u'"',   // a dot, or the end of the name
};

const size_t kLongestPattern = 2 * kPathSize;

bool isWildcard(char16_t unit)
{
    return unit == u'*' || unit == u'?' || unit == u'<' || unit == u'>' || unit == u'"';
}

// The system's reading of "?", "*" and "." in a pattern. A final run of dots
// and spaces is read as one dot when it ends in a dot ("*. ." is "*.") and
// dropped when it ends in a space ("*. " is "*"). Returns the token count.
size_t tokenize(const char16_t* pattern, char16_t* tokens)
{
    size_t length = 0;
    while (pattern[length] != 0 && length < kLongestPattern) {
        tokens[length] = pattern[length];
        ++length;
    }
    size_t run = length;
    while (run > 0 && (tokens[run - 1] == u'.' || tokens[run - 1] == u' '))
        --run;
    if (run < length && tokens[length - 1] == u'.') {
        tokens[run] = u'.';
        length = run + 1;
    } else {
        length = run;
    }
    // Each unit read with the one after it, which is still the pattern's.
    for (size_t i = 0; i < length; ++i) {
        char16_t unit = tokens[i], next = i + 1 < length ? tokens[i + 1] : 0;
        if (unit == u'?')
            unit = kOneOrNone;
        else if (unit == u'.' && (next == 0 || next == u'?' || next == u'*'))
            unit = kDotOrEnd;
        else if (unit == u'*' && next == u'.')
            unit = kBeforeDot;
        tokens[i] = unit;
    }
    return length;
}

bool sameUnit(char16_t a, char16_t b, UpcaseUnit upcase)
{
    if (a == b)
        return true;
    if (a < 0x80 && b < 0x80)
        return (a | 0x20) == (b | 0x20) && (a | 0x20) >= u'a' && (a | 0x20) <= u'z';
    return upcase(a) == upcase(b);
}

// Adds the positions reachable without taking a name character, `unit`
// being the next one (0 at the end). Moves only go forward, so one pass does.
void addSkips(const char16_t* tokens, size_t count, bool* states, char16_t unit)
{
    for (size_t j = 0; j < count; ++j) {
        if (!states[j])
            continue;
        switch (tokens[j]) {
        case kAnyRun:
        case kBeforeDot:
            states[j + 1] = true;
            break;
        case kOneOrNone:
            if (unit == 0 || unit == u'.') {
                size_t k = j;
                while (k < count && tokens[k] == kOneOrNone)
                    ++k;
                states[k] = true;
            }
            break;
        case kDotOrEnd:
            if (unit == 0)
                states[j + 1] = true;
            break;
        default:
            break;
        }
    }
}

} // namespace

bool patternHasWildcards(const char16_t* pattern)
{
    for (; *pattern != 0; ++pattern) {
        if (isWildcard(*pattern))
            return true;
    }
    return false;
}

bool longNameMatches(const char16_t* pattern, const char16_t* name, UpcaseUnit upcase)
{
    char16_t tokens[kLongestPattern];
    size_t count = tokenize(pattern, tokens);
    // "*" and "*.*" take every name.
    if ((count == 1 && tokens[0] == kAnyRun) ||
        (count == 3 && tokens[0] == kBeforeDot && tokens[1] == kDotOrEnd && tokens[2] == kAnyRun))
        return true;
    size_t lastDot = (size_t)-1;
    for (size_t i = 0; name[i] != 0; ++i) {
        if (name[i] == u'.')
            lastDot = i;
    }
    // The positions in the pattern that the name read so far can reach.
    bool states[kLongestPattern + 1] = {true};
    bool next[kLongestPattern + 1];
    for (size_t i = 0; name[i] != 0; ++i) {
        char16_t unit = name[i];
        addSkips(tokens, count, states, unit);
        bool any = false;
        memset(next, 0, (count + 1) * sizeof next[0]);
        for (size_t j = 0; j < count; ++j) {
            if (!states[j])
                continue;
            switch (tokens[j]) {
            case kAnyRun:
                next[j] = true;
                break;
            case kBeforeDot:
                // It takes the last dot only to end there ("ab<exe" is "abcd.exe").
                next[j] = next[j] || i != lastDot;
                next[j + 1] = next[j + 1] || i == lastDot;
                break;
            case kOneOrNone:
                next[j + 1] = next[j + 1] || unit != u'.';
                break;
            case kDotOrEnd:
                next[j + 1] = next[j + 1] || unit == u'.';
                break;
            default:
                next[j + 1] = next[j + 1] || sameUnit(tokens[j], unit, upcase);
                break;
            }
        }
        for (size_t j = 0; j <= count; ++j)
            any = any || next[j];
        if (!any)
            return false;
        memcpy(states, next, (count + 1) * sizeof next[0]);
    }
    addSkips(tokens, count, states, 0);
    return states[count];
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
