#include "location.h"

#include <string.h>

namespace {

const char kPrefix[] = "file:///";
const size_t kPrefixLength = sizeof kPrefix - 1;

// The number of bytes of the character at `text`: 2 for a lead byte that a
// second byte follows, else 1 (a lead byte before the terminator stands
// alone, as the system's conversion takes it).
size_t characterLength(const char* text, LeadByteTest isLeadByte)
{
    return isLeadByte((unsigned char)text[0]) && text[1] != '\0' ? 2 : 1;
}

const char* afterPrefix(const char* text, LeadByteTest isLeadByte)
{
    for (const char* at = text; *at != '\0'; at += characterLength(at, isLeadByte)) {
        if (strncmp(at, kPrefix, kPrefixLength) == 0)
            return at + kPrefixLength;
    }
    return text;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// Whether `text` starts with `word` in any letter case (ASCII).
bool startsWithWord(const char* text, const char* word)
{
    for (; *word != '\0'; ++text, ++word) {
        if (upper(*text) != upper(*word))
            return false;
    }
    return true;
}

// The path after a device or raw namespace prefix ("\\.\", "\\?\", "\??\"),
// or the whole path without one.
const char* afterNamespace(const char* path)
{
    bool prefixed = strncmp(path, "\\\\.\\", 4) == 0 || strncmp(path, "\\\\?\\", 4) == 0 ||
                    strncmp(path, "\\??\\", 4) == 0;
    return prefixed ? path + 4 : path;
}

bool startsWithDrive(const char* text)
{
    return ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) && text[1] == ':';
}

} // namespace

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

bool nameIsDevice(const char* name)
{
    // The base name: up to the first dot, without the spaces before it.
    size_t length = strcspn(name, ".");
    while (length > 0 && name[length - 1] == ' ')
        --length;
    char base[8];
    if (length < 3 || length > 7)
        return false;
    for (size_t i = 0; i < length; ++i)
        base[i] = upper(name[i]);
    base[length] = '\0';
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (strcmp(base, device) == 0)
            return true;
    }
    return length == 4 && (strncmp(base, "COM", 3) == 0 || strncmp(base, "LPT", 3) == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

bool pathNamesDevice(const char* path, LeadByteTest isLeadByte)
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
        const char* name = strchr(share, '\\');
        if (name != NULL && (startsWithWord(name + 1, "pipe\\") || startsWithWord(name + 1, "mailslot\\")))
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
    return nameIsDevice(name);
}

bool pathHasStream(const char* path)
{
    // A ':' byte is never the second byte of a character.
    const char* rest = afterNamespace(path);
    if (startsWithDrive(rest))
        rest += 2;
    return strchr(rest, ':') != NULL;
}
