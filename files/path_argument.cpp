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
    // A device (NUL, AUX.htm, COM1, \\.\pipe\x) is never a file: writes to it
    // vanish, or block the host on a port.
    return locationToPath(text, path, kPathSize, isAnsiLeadByte) && !pathNamesDevice(path, isAnsiLeadByte);
}

int32_t answerPathPredicate(NativeContext context, uint32_t argc, ScriptValue* argv,
                            ScriptValue* result, bool (*operation)(const char* path))
{
    char path[kPathSize];
    if (argc != 1 || !fetchPathArgument(context, argv[0], path))
        return kRefused;
    return returnPredicate(result, operation(path));
}
