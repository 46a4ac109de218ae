#include "location.h"

#include <string.h>

namespace {

const char kPrefix[] = "file:///";
const size_t kPrefixLength = sizeof kPrefix - 1;

const char* afterPrefix(const char* text, LeadByteTest isLeadByte)
{
    for (const char* at = text; *at != '\0'; at += characterLength(at, isLeadByte)) {
        if (strncmp(at, kPrefix, kPrefixLength) == 0)
            return at + kPrefixLength;
    }
    return text;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// ASCII holds no superscript digits in any code page.
size_t noSuperscriptDigit(const char*) { return 0; }

// Whether `text` starts with `word` in any letter case (ASCII).
bool startsWithWord(const char* text, const char* word)
{
    for (; *word != '\0'; ++text, ++word) {
        if (upper(*text) != upper(*word))
            return false;
    }
    return true;
}

bool startsWithRawNamespace(const char* path)
{
    return strncmp(path, "\\\\?\\", 4) == 0 || strncmp(path, "\\??\\", 4) == 0;
}

// The path after a device or raw namespace prefix ("\\.\", "\\?\", "\??\"),
// or the whole path without one.
const char* afterNamespace(const char* path)
{
    return strncmp(path, "\\\\.\\", 4) == 0 || startsWithRawNamespace(path) ? path + 4 : path;
}

bool startsWithDrive(const char* text)
{
    return ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) && text[1] == ':';
}

// The text after one segment and the separators that follow it.
const char* afterSegment(const char* at, LeadByteTest isLeadByte)
{
    at += nameLength(at, isLeadByte);
    while (*at == '\\')
        ++at;
    return at;
}

// The start of the last segment written to [from, end), where each segment
// is followed by "\".
char* lastSegment(char* from, char* end, LeadByteTest isLeadByte)
{
    char* start = from;
    for (char* at = from; at + 1 < end; at += characterLength(at, isLeadByte)) {
        if (*at == '\\')
            start = at + 1;
    }
    return start;
}

// One pass of the system's folding (see foldPath). Writing never overtakes
// reading, so it works in place.
void foldOnce(char* path, LeadByteTest isLeadByte)
{
    bool relative;
    size_t root = rootLength(path, isLeadByte, &relative);
    char* out = path + root;
    char* floor = out; // ".." climbs no higher: the root, or the ".." kept
    const char* at = path + root;
    while (*at != '\0') {
        const char* segment = at;
        while (*at != '\0' && *at != '\\')
            at += characterLength(at, isLeadByte);
        size_t length = (size_t)(at - segment);
        bool last = *at == '\0';
        if (!last)
            ++at;
        bool dot = length == 1 && segment[0] == '.';
        bool dots = length == 2 && segment[0] == '.' && segment[1] == '.';
        if (dots && out > floor) {
            out = lastSegment(floor, out, isLeadByte);
        } else if (length == 0 || dot || (dots && !relative)) {
            // A separator of a run, ".", or ".." at the root: dropped.
        } else {
            // A relative "x\..\C:\y" is no drive path: it keeps ".\" before "C:".
            if (out == path && root == 0 && startsWithDrive(segment)) {
                *out++ = '.';
                *out++ = '\\';
                floor = out;
            }
            // "a.\b" is "a\b"; '.' is never a second byte.
            if (!dots && !last && segment[length - 1] == '.')
                --length;
            for (size_t i = 0; i < length; ++i)
                *out++ = segment[i]; // forward: never ahead of `segment`
            if (!last)
                *out++ = '\\';
            if (dots)
                floor = out;
            continue;
        }
        // A final "." or ".." leaves no separator behind, but the root's.
        if (last && out > path + root)
            --out;
    }
    if (out == path && *path != '\0')
        *out++ = '.';
    *out = '\0';
}

} // namespace

size_t characterLength(const char* text, LeadByteTest isLeadByte)
{
    return isLeadByte((unsigned char)text[0]) && text[1] != '\0' ? 2 : 1;
}

size_t nameLength(const char* name, LeadByteTest isLeadByte)
{
    const char* at = name;
    while (*at != '\0' && *at != '\\')
        at += characterLength(at, isLeadByte);
    return (size_t)(at - name);
}

size_t rootLength(const char* path, LeadByteTest isLeadByte, bool* relative)
{
    *relative = false;
    if (strncmp(path, "\\\\.\\", 4) == 0)
        return 4;
    if (path[0] == '\\' && path[1] == '\\')
        return (size_t)(afterSegment(afterSegment(path + 2, isLeadByte), isLeadByte) - path);
    if (startsWithDrive(path)) {
        *relative = path[2] != '\\';
        return *relative ? 2 : 3;
    }
    if (path[0] == '\\')
        return 1;
    *relative = true;
    return 0;
}

bool locationToPath(const char* text, char* path, size_t capacity, LeadByteTest isLeadByte)
{
    if (capacity == 0)
        return false;
    const char* source = afterPrefix(text, isLeadByte);

    // The copy is bounded by the buffer, never by a length the host reports.
    size_t n = 0;
    while (source[n] != '\0') {
        size_t bytes = characterLength(source + n, isLeadByte);
        if (n + bytes >= capacity) {
            path[n] = '\0';
            return false;
        }
        char c = source[n];
        if (bytes == 2) {
            path[n] = c;
            path[n + 1] = source[n + 1];
        } else {
            path[n] = c == '/' ? '\\' : c == '|' ? ':' : c;
        }
        n += bytes;
    }
    path[n] = '\0';
    return true;
}

PlainRoute plainLocationToPath(const char* text, char* path, size_t capacity)
{
    // A location starts with its prefix or has none: in ASCII every byte
    // starts a character, so a "file:///" found further on by bytes (left
    // to the full route) is the first one.
    const char* source = strncmp(text, kPrefix, kPrefixLength) == 0 ? text + kPrefixLength : text;
    char letter = upper(source[0]);
    if (capacity < 4 || letter < 'A' || letter > 'Z' || (source[1] != ':' && source[1] != '|') ||
        (source[2] != '/' && source[2] != '\\'))
        return kNotPlain;
    path[0] = source[0];
    path[1] = ':';
    path[2] = '\\';
    size_t n = 3, segment = 3;
    for (const char* at = source + 3;; ++at) {
        char c = *at;
        if (c != '/' && c != '\\' && c != '\0') {
            if (n + 1 >= capacity || (unsigned char)c >= 0x80 ||
                (c == 'f' && strncmp(at, kPrefix, kPrefixLength) == 0))
                return kNotPlain;
            path[n++] = c == '|' ? ':' : c;
            continue;
        }
        // A segment ends: folding would change an empty one (but the
        // root's "C:\" alone), ".", "..", and a folder's final dot.
        size_t length = n - segment;
        bool dots = (length == 1 || length == 2) && path[segment] == '.' && path[n - 1] == '.';
        if ((length == 0 && !(c == '\0' && n == 3)) || dots || (c != '\0' && path[n - 1] == '.'))
            return kNotPlain;
        if (c == '\0')
            break;
        if (n + 1 >= capacity)
            return kNotPlain;
        path[n++] = '\\';
        segment = n;
    }
    path[n] = '\0';
    // The last part, up to a stream's colon, as pathNamesDevice reads it;
    // every device's name starts with A, C, L, N or P.
    if (strchr("ACLNP", upper(path[segment])) == NULL || path[segment] == '\0')
        return kPlainFile;
    char name[kPathSize];
    size_t length = strcspn(path + segment, ":");
    if (length >= sizeof name)
        return kNotPlain;
    memcpy(name, path + segment, length);
    name[length] = '\0';
    return nameIsDevice(name, noSuperscriptDigit) ? kPlainDevice : kPlainFile;
}

const char* lastPathPart(const char* path, LeadByteTest isLeadByte)
{
    const char* part = path;
    for (const char* at = path; *at != '\0';) {
        size_t bytes = characterLength(at, isLeadByte);
        if (bytes == 1 && (*at == '\\' || *at == ':'))
            part = at + 1;
        at += bytes;
    }
    return part;
}

const char* lastName(const char* path, LeadByteTest isLeadByte)
{
    const char* name = path;
    for (const char* at = path; *at != '\0'; at += characterLength(at, isLeadByte)) {
        if (*at == '\\' && at[1] != '\\' && at[1] != '\0')
            name = at + 1;
    }
    return name == path && startsWithDrive(path) ? name + 2 : name;
}

void foldPath(char* path, LeadByteTest isLeadByte)
{
    if (startsWithRawNamespace(path))
        return;
    // A pass may leave work for the next ("a\...\b" makes "a\..\b"); a pass
    // that changes the path shortens it.
    for (size_t length = strlen(path);;) {
        foldOnce(path, isLeadByte);
        size_t folded = strlen(path);
        if (folded == length)
            return;
        length = folded;
    }
}

bool nameHoldsForbiddenCharacter(const char* name, size_t length, LeadByteTest isLeadByte)
{
    for (size_t at = 0; at < length; at += characterLength(name + at, isLeadByte)) {
        unsigned char c = (unsigned char)name[at];
        if (characterLength(name + at, isLeadByte) == 1 && (c < 0x20 || strchr("<>:\"/\\|?*", c) != NULL))
            return true;
    }
    return false;
}

bool nameIsDevice(const char* name, SuperscriptDigitTest superscriptDigitAt)
{
    // The base name: up to the first dot, without the spaces before it.
    // Neither byte is ever the second of a character.
    size_t length = strcspn(name, ".");
    while (length > 0 && name[length - 1] == ' ')
        --length;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (length == strlen(device) && startsWithWord(name, device))
            return true;
    }
    if (length < 4 || !(startsWithWord(name, "COM") || startsWithWord(name, "LPT")))
        return false;
    if (length == 4 && name[3] >= '1' && name[3] <= '9')
        return true;
    return superscriptDigitAt(name + 3) == length - 3;
}

bool pathNamesDevice(const char* path, LeadByteTest isLeadByte, SuperscriptDigitTest superscriptDigitAt)
{
    // The device and raw namespaces ("\\.\COM10", "\\?\GLOBALROOT\..."), but
    // for a drive's, a share's or a volume's paths in them.
    const char* share = NULL;
    const char* rest = afterNamespace(path);
    if (rest != path) {
        if (startsWithWord(rest, "UNC\\"))
            share = rest + 4;
        else if (!(startsWithDrive(rest) && rest[2] == '\\') && !startsWithWord(rest, "Volume{"))
            return true;
    } else if (path[0] == '\\' && path[1] == '\\') {
        share = path + 2;
    }
    // A share's pipes and mailslots ("\\server\pipe\x") are no files either.
    if (share != NULL) {
        const char* name = afterSegment(share, isLeadByte);
        if (startsWithWord(name, "pipe\\") || startsWithWord(name, "mailslot\\"))
            return true;
    }
    const char* part = path;
    for (const char* at = path; *at != '\0'; at += characterLength(at, isLeadByte)) {
        if (*at == '\\')
            part = at + 1;
    }
    if (part == path && startsWithDrive(part))
        part += 2;
    // A stream's colon or trailing colons leave the device: "nul:", "aux.htm:x".
    char name[kPathSize];
    size_t length = strcspn(part, ":");
    if (length >= sizeof name)
        return false;
    memcpy(name, part, length);
    name[length] = '\0';
    return nameIsDevice(name, superscriptDigitAt);
}
bool pathHasStream(const char* path)
{
    // A ':' byte is never the second byte of a character.
    const char* rest = afterNamespace(path);
    if (startsWithDrive(rest))
        rest += 2;
    return strchr(rest, ':') != NULL;
}
