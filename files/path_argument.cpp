// Fetching a location argument from the host and converting it to a path.
#include "path_argument.h"

#include <string.h>
#include <windows.h>

namespace {

// The ANSI code page's lead bytes, asked of the system once, when the DLL
// loads: the code page does not change while a process runs, and every
// location is walked byte by byte.
struct LeadBytes {
    bool lead[256];
    LeadBytes()
    {
        for (int byte = 0; byte < 256; ++byte)
            lead[byte] = IsDBCSLeadByte((BYTE)byte) != 0;
    }
};
const LeadBytes ansiLeadBytes;

} // namespace

bool isAnsiLeadByte(unsigned char byte) { return ansiLeadBytes.lead[byte]; }

size_t ansiSuperscriptDigitAt(const char* text)
{
    // The shortest run of bytes that is one whole character, as the system
    // converts it; UTF-8 takes up to four.
    for (int bytes = 1; bytes <= 4 && text[bytes - 1] != '\0'; ++bytes) {
        wchar_t wide[2];
        int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, bytes, wide, 2);
        if (units != 0)
            return units == 1 && (wide[0] == 0xB9 || wide[0] == 0xB2 || wide[0] == 0xB3) ? (size_t)bytes : 0;
    }
    return 0;
}

bool fetchPathArgument(NativeContext context, ScriptValue argument, char* path)
{
    TextFromValueService textFromValue = hostServices.textFromValue;
    if (textFromValue == NULL)
        return false;
    uint32_t length = 0;
    const char* text = textFromValue(context, argument, &length);
    if (text == NULL || length > kMaxLocationLength)
        return false;
    // "C:/t/app.exe\0.log" would name C:\t\app.exe: refuse it. The scan stops
    // at the reported length, never reading past the host's text.
    if (strnlen(text, length) != length)
        return false;
    if (!locationToPath(text, path, kPathSize, isAnsiLeadByte))
        return false;
    // A device (NUL, AUX.htm, COM1, \\.\pipe\x, C:\t\nul\.) is never a file:
    // writes to it vanish, or block the host on a port.
    foldPath(path, isAnsiLeadByte);
    return !pathNamesDevice(path, isAnsiLeadByte, ansiSuperscriptDigitAt);
}

int32_t answerPathPredicate(NativeContext context, uint32_t argc, ScriptValue* argv,
                            ScriptValue* result, bool (*operation)(const char* path))
{
    char path[kPathSize];
    if (argc != 1 || !fetchPathArgument(context, argv[0], path))
        return kRefused;
    return returnPredicate(result, operation(path));
}
