// Fuzzes location conversion: for any text and any buffer size, the result
// stays inside the buffer, is terminated, and is what the rules make of it;
// folding it stays inside it too and is done in one go; the shortest route
// for the common location agrees with the full one.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../../files/location.h"

namespace {

bool noLeadBytes(unsigned char) { return false; }
bool leadByteOf932(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0; }
size_t superscriptsOf1252(const char* text)
{
    unsigned char c = (unsigned char)text[0];
    return c == 0xB9 || c == 0xB2 || c == 0xB3 ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t capacity = data[0] % 40 == 0 ? kPathSize : data[0] % 40;
    LeadByteTest isLeadByte = data[0] & 0x80 ? leadByteOf932 : noLeadBytes;
    std::string text((const char*)data + 1, size - 1);
    text = text.substr(0, text.find('\0'));

    // An exactly sized heap block: AddressSanitizer catches any write past it.
    char* path = (char*)malloc(capacity);
    bool converted = locationToPath(text.c_str(), path, capacity, isLeadByte);

    // The rules, character by character: the first prefix that starts a
    // character, then "/" and "|" converted where they stand alone.
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); i += isLeadByte((unsigned char)text[i]) && i + 1 < text.size() ? 2 : 1)
        starts.push_back(i);
    size_t from = 0;
    for (size_t start : starts) {
        if (text.compare(start, 8, "file:///") == 0) {
            from = start + 8;
            break;
        }
    }
    std::string expected;
    size_t fits = std::string::npos;
    for (size_t start : starts) {
        if (start < from)
            continue;
        size_t bytes = isLeadByte((unsigned char)text[start]) && start + 1 < text.size() ? 2 : 1;
        if (fits == std::string::npos && expected.size() + bytes >= capacity)
            fits = expected.size();
        char c = text[start];
        expected += bytes == 2 ? text.substr(start, 2) : std::string(1, c == '/' ? '\\' : c == '|' ? ':' : c);
    }
    if (converted != (fits == std::string::npos))
        abort();
    if (converted && expected != path)
        abort();
    if (!converted && expected.substr(0, fits) != path)
        abort();
    // Folding never grows a path, and the system's own folding of the result
    // (one more pass) changes nothing.
    if (converted) {
        std::string before = path;
        foldPath(path, isLeadByte);
        std::string once = path;
        foldPath(path, isLeadByte);
        if (once.size() > before.size() || once != path)
            abort();
        pathNamesDevice(path, isLeadByte, superscriptsOf1252);
        pathHasStream(path);
        if (nameLength(lastName(path, isLeadByte), isLeadByte) > strlen(lastName(path, isLeadByte)))
            abort(); // the last name lies within the path
    }
    // The common location's shortest route gives what the full one gives,
    // or leaves the location to it.
    char plainPath[kPathSize];
    PlainRoute plain = plainLocationToPath(text.c_str(), plainPath, sizeof plainPath);
    if (plain != kNotPlain) {
        char full[kPathSize];
        if (!locationToPath(text.c_str(), full, sizeof full, isLeadByte))
            abort();
        foldPath(full, isLeadByte);
        if (strcmp(full, plainPath) != 0 ||
            (plain == kPlainDevice) != pathNamesDevice(full, isLeadByte, superscriptsOf1252))
            abort();
    }
    free(path);
    return 0;
}
