// Writing to the standard streams (see standard_streams.h).
#include "standard_streams.h"

#include <errno.h>
#include <io.h>
#include <string.h>

#include <algorithm>

#include "engine_text.h"

bool isConsole(HANDLE handle)
{
    DWORD mode;
    return GetConsoleMode(handle, &mode) != 0;
}

bool writeText(FILE* stream, const char* text, size_t length, std::string* problem)
{
    try {
        std::u16string units;
        utf16FromEngine(text, length, false, &units);
        fflush(stream);
        HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
        std::string reason;
        if (isConsole(handle)) {
            for (size_t at = 0; at < units.size() && reason.empty();) {
                DWORD count = (DWORD)std::min<size_t>(units.size() - at, 8192), written = 0;
                if (!WriteConsoleW(handle, (const wchar_t*)units.data() + at, count, &written, NULL) || written == 0)
                    reason = "the console refused it (error " + std::to_string(GetLastError()) + ")";
                at += written;
            }
        } else {
            std::string utf8 = utf8FromUtf16(units);
            if (fwrite(utf8.data(), 1, utf8.size(), stream) != utf8.size() || fflush(stream) != 0)
                reason = strerror(errno);
            clearerr(stream);
        }
        if (!reason.empty() && problem != NULL)
            *problem = "cannot write to standard " + std::string(stream == stderr ? "error" : "output") + ": " + reason;
        return reason.empty();
    } catch (const std::exception&) {
        if (problem != NULL)
            *problem = "text too large to write";
        return false;
    }
}

bool writeText(FILE* stream, const std::string& text, std::string* problem)
{
    return writeText(stream, text.data(), text.size(), problem);
}
