#include "location.h"

#include <string.h>

bool locationToPath(const char* text, char* path, size_t capacity)
{
    if (capacity == 0)
        return false;
    static const char kPrefix[] = "file:///";
    const char* prefix = strstr(text, kPrefix);
    const char* source = prefix != NULL ? prefix + sizeof kPrefix - 1 : text;

    // The copy is bounded by the buffer, never by a length the host reports.
    size_t n = 0;
    for (; source[n] != '\0'; ++n) {
        if (n + 1 >= capacity) {
            path[n] = '\0';
            return false;
        }
        char c = source[n];
        path[n] = c == '/' ? '\\' : c == '|' ? ':' : c;
    }
    path[n] = '\0';
    return true;
}
