// Fuzzes location conversion: for any text and any buffer size, the result
// stays inside the buffer, is terminated, and is what the rules make of it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "../../files/location.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t capacity = data[0] % 40 == 0 ? kPathSize : data[0] % 40;
    std::string text((const char*)data + 1, size - 1);
    text = text.substr(0, text.find('\0'));

    // An exactly sized heap block: AddressSanitizer catches any write past it.
    char* path = (char*)malloc(capacity);
    bool converted = locationToPath(text.c_str(), path, capacity);

    size_t prefix = text.find("file:///");
    std::string expected = prefix == std::string::npos ? text : text.substr(prefix + 8);
    for (char& c : expected)
        c = c == '/' ? '\\' : c == '|' ? ':' : c;
    if (converted != (expected.size() < capacity))
        abort();
    if (converted && expected != path)
        abort();
    if (!converted && strlen(path) >= capacity)
        abort();
    free(path);
    return 0;
}
