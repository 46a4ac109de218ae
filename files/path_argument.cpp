// Fetching a location argument from the host and converting it to a path.
#include "path_argument.h"

#include <string.h>

#include "platform.h"

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
    // The common location, a drive's path in ASCII that folding leaves as it
    // is, by the shortest route to the same answer.
    PlainRoute plain = plainLocationToPath(text, path, kPathSize);
    if (plain != kNotPlain)
        return plain == kPlainFile;
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
