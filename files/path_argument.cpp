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

// GetFinalPathNameByHandleW, from Windows Vista on; NULL before.
typedef DWORD(WINAPI* FinalPathByHandle)(HANDLE file, LPWSTR path, DWORD size, DWORD flags);
// Its two ways of naming a volume: the system's own name ("\Device\...",
// which every volume has on Windows) and the drive letter ("\\?\C:\...").
const DWORD kVolumeNameNt = 2;
const DWORD kVolumeNameDos = 0;
// Room for a final path: a link may lead anywhere, deeper than the path.
enum { kFinalPathSize = 1024 };

FinalPathByHandle findFinalPathByHandle()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel == NULL ? NULL : (FinalPathByHandle)(void*)GetProcAddress(kernel, "GetFinalPathNameByHandleW");
}

// The final path of `path`, its volume named as `volumeName` says; `flags`
// adds FILE_FLAG_OPEN_REPARSE_POINT to stop at a link of its own. 0 when it
// cannot be opened, -1 when the final path cannot be had.
int finalPathOf(FinalPathByHandle finalPath, const wchar_t* path, DWORD flags, DWORD volumeName, wchar_t* final)
{
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | flags, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD length = finalPath(file, final, kFinalPathSize, volumeName);
    CloseHandle(file);
    return length > 0 && length < kFinalPathSize ? (int)length : -1;
}

// Looked up once, when the DLL loads.
const FinalPathByHandle finalPathByHandle = findFinalPathByHandle();

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

bool actsOnEntryItself(const char* path)
{
    FinalPathByHandle finalPath = finalPathByHandle;
    if (finalPath == NULL)
        return true;
    wchar_t wide[kPathSize], full[kPathSize];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kPathSize) == 0)
        return false;
    DWORD length = GetFullPathNameW(wide, kPathSize, full, NULL);
    if (length == 0 || length >= kPathSize)
        return false;
    // A drive's root, or a path without a folder, is no link one can remove.
    while (length > 0 && full[length - 1] == L'\\')
        full[--length] = L'\0';
    wchar_t* name = wcsrchr(full, L'\\');
    if (name == NULL || name[1] == L'\0')
        return true;
    // The folder keeps its "\": "C:\" opens the root, "C:" the current folder.
    wchar_t folder[kPathSize];
    size_t folderPart = (size_t)(name - full) + 1;
    memcpy(folder, full, folderPart * sizeof(wchar_t));
    folder[folderPart] = L'\0';
    // Both by the system's name of the volume; where that cannot be had (Wine
    // has none for a drive linked or a file system mounted while it runs),
    // both by drive letters.
    const DWORD volumeNames[] = {kVolumeNameNt, kVolumeNameDos};
    wchar_t entryFinal[kFinalPathSize], folderFinal[kFinalPathSize];
    int entryLength = -1, folderLength = -1;
    for (int way = 0; way < 2 && (entryLength < 0 || folderLength <= 0); ++way) {
        entryLength = finalPathOf(finalPath, full, FILE_FLAG_OPEN_REPARSE_POINT, volumeNames[way], entryFinal);
        if (entryLength == 0)
            return true;
        if (entryLength > 0)
            folderLength = finalPathOf(finalPath, folder, 0, volumeNames[way], folderFinal);
    }
    WIN32_FIND_DATAW listed;
    HANDLE search = FindFirstFileW(full, &listed);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    if (entryLength < 0 || folderLength <= 0 || search == INVALID_HANDLE_VALUE)
        return false;
    if (folderFinal[folderLength - 1] != L'\\')
        folderFinal[folderLength++] = L'\\';
    size_t nameLength = wcslen(listed.cFileName);
    return (size_t)entryLength == folderLength + nameLength &&
           wcsncmp(entryFinal, folderFinal, folderLength) == 0 &&
           wcscmp(entryFinal + folderLength, listed.cFileName) == 0;
}

int32_t answerPathPredicate(NativeContext context, uint32_t argc, ScriptValue* argv,
                            ScriptValue* result, bool (*operation)(const char* path))
{
    char path[kPathSize];
    if (argc != 1 || !fetchPathArgument(context, argv[0], path))
        return kRefused;
    return returnPredicate(result, operation(path));
}
