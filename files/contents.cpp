// read and write: whole files to and from script strings, byte for byte.
//
// read hands the host the file's exact length, so zero bytes survive; a file
// that cannot be opened, sized, allocated or fully read is handed over as a
// null text of length 0. write answers 0 when the file cannot be opened, the
// text is not written whole, or closing fails, and then leaves the file as it
// was: a replaced file keeps its old contents, a file the call created is
// removed, an appended file is cut back to its old length. A file that cannot
// be replaced in one step without other programs noticing (more than one
// link, held open without delete sharing, not a plain file, a stream, in a
// folder that takes no new file or no longer name) is written in place, and
// may then stay partly written. A replaced file keeps the name it has in its
// folder, whatever letters or short name the script wrote.
#include "file_natives.h"
#include "path_argument.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace {

// Files move in pieces of this size: Windows may refuse one very large read
// or write (network drives do).
const uint32_t kPieceSize = 8u << 20;
const uint32_t kPageSize = 4096;
// The sharing the runtime's streams allow: others may read and write.
const DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD kShareAll = kShareReadWrite | FILE_SHARE_DELETE;

struct WholeFile {
    char* bytes; // terminated; NULL when the file could not be read
    uint32_t length;
};

uint32_t nextPiece(uint32_t done, uint32_t length)
{
    return length - done < kPieceSize ? length - done : kPieceSize;
}

// Reads exactly `length` bytes. Each piece's pages are written before the
// read fills them: on some machines the system fills fresh pages far more
// slowly than pages already in use.
bool readPieces(HANDLE file, char* bytes, uint32_t length)
{
    for (uint32_t done = 0; done < length;) {
        uint32_t piece = nextPiece(done, length);
        for (uint32_t page = 0; page < piece; page += kPageSize)
            bytes[done + page] = 0;
        DWORD got = 0;
        if (!ReadFile(file, bytes + done, piece, &got, NULL) || got == 0)
            return false;
        done += got;
    }
    return true;
}

bool writePieces(HANDLE file, const char* text, uint32_t length)
{
    for (uint32_t done = 0; done < length;) {
        DWORD put = 0;
        if (!WriteFile(file, text + done, nextPiece(done, length), &put, NULL) || put == 0)
            return false;
        done += put;
    }
    return true;
}

// One allocation, filled by the reads. Files too long for one script string
// are treated as unreadable.
WholeFile readWholeFile(const char* path)
{
    WholeFile file = {NULL, 0};
    HANDLE handle = CreateFileA(path, GENERIC_READ, kShareReadWrite, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return file;
    LARGE_INTEGER zero = {}, end = {};
    // A script string's length has 32 bits, and the block needs one byte more.
    const long long longest = (long long)UINT32_MAX - 1;
    if (SetFilePointerEx(handle, zero, &end, FILE_END) && end.QuadPart <= longest &&
        SetFilePointerEx(handle, zero, NULL, FILE_BEGIN)) {
        uint32_t length = (uint32_t)end.QuadPart;
        char* bytes = (char*)malloc((size_t)length + 1);
        if (bytes != NULL && readPieces(handle, bytes, length)) {
            bytes[length] = '\0';
            file.bytes = bytes;
            file.length = length;
        } else {
            free(bytes);
        }
    }
    CloseHandle(handle);
    return file;
}

// Writes `text` into the file itself: emptied first (CREATE_ALWAYS) or
// appended to (OPEN_ALWAYS). When it fails, a file this call created is
// removed and an appended file is cut back to its old length.
bool writeInPlace(const char* path, DWORD disposition, const char* text, uint32_t length)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, kShareReadWrite, NULL, disposition,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    LARGE_INTEGER zero = {}, start = {};
    // Without the old end nothing is cut back or removed.
    bool atEnd = SetFilePointerEx(file, zero, &start, FILE_END) != 0;
    bool written = atEnd && writePieces(file, text, length);
    if (!written && atEnd && existed && disposition == OPEN_ALWAYS) {
        SetFilePointerEx(file, start, NULL, FILE_BEGIN);
        SetEndOfFile(file);
    }
    bool closed = CloseHandle(file) != 0;
    // A file this call created holds nothing but its text (`start` stays 0
    // when the end is unknown).
    if (!(written && closed) && !existed && start.QuadPart == 0)
        DeleteFileA(path);
    return written && closed;
}

// Whether the existing file at `path` may take new contents by replacement:
// a plain file with one name, not a stream of one, writable, that every
// program holding it lets be deleted. Hidden and system files stay with
// writing in place, which the platform refuses for them. Its identity goes
// to `information`.
bool isReplaceable(const char* path, BY_HANDLE_FILE_INFORMATION* information)
{
    if (pathHasStream(path))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE | DELETE, kShareAll, NULL, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD notPlain = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                           FILE_ATTRIBUTE_DEVICE;
    bool replaceable = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, information) &&
                       information->nNumberOfLinks == 1 && (information->dwFileAttributes & notPlain) == 0;
    CloseHandle(file);
    return replaceable;
}

// The path of the file `target` by the name it has in its folder: the
// replacement takes the name it is handed, and `path` may spell it in
// other letters or by its short name. False when the name does not fit
// `replaced` (kPathSize bytes) or does not lead back to the same file.
bool nameOnDisk(const char* path, const BY_HANDLE_FILE_INFORMATION& target, char* replaced)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    size_t folder = (size_t)(lastPathPart(path, isAnsiLeadByte) - path), name = strlen(found.cFileName);
    if (folder + name >= kPathSize)
        return false;
    memcpy(replaced, path, folder);
    memcpy(replaced + folder, found.cFileName, name + 1);
    if (strcmp(replaced, path) == 0)
        return true;
    HANDLE file = CreateFileA(replaced, 0, kShareAll, NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    bool same = GetFileInformationByHandle(file, &information) &&
                information.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
                information.nFileIndexHigh == target.nFileIndexHigh && information.nFileIndexLow == target.nFileIndexLow;
    CloseHandle(file);
    return same;
}

// Creates an empty file of a new name ("qv" and six hex digits, ".tmp") in
// the folder of `path` and opens it for writing; its path goes to `temp`
// (kPathSize bytes). INVALID_HANDLE_VALUE when the folder takes no new file
// or the path does not fit.
HANDLE createFileBeside(const char* path, char* temp)
{
    const char name[] = "qv000000.tmp";
    size_t folder = (size_t)(lastPathPart(path, isAnsiLeadByte) - path);
    if (folder + sizeof name > kPathSize) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    memcpy(temp, path, folder);
    memcpy(temp + folder, name, sizeof name);
    static uint32_t serial = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        uint32_t unique = GetTickCount() * 2654435761u + ++serial * 40503u;
        for (int digit = 0; digit < 6; ++digit)
            temp[folder + 7 - digit] = "0123456789abcdef"[(unique >> (4 * digit)) & 15];
        HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// Errors after which writing in place would only fail half-way: no room,
// or the device went away.
bool isShortage(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == ERROR_NOT_ENOUGH_QUOTA ||
           error == ERROR_WRITE_FAULT || error == ERROR_NOT_READY || error == ERROR_DEV_NOT_EXIST ||
           error == ERROR_NETNAME_DELETED;
}

// Puts `temp`, written whole, in the place of `path` in one step that keeps
// the file's attributes, security, creation time, short name and streams.
// Where the platform refuses the step and both files are as they were, the
// file is written in place instead, unless it is short of room. Where it took
// the old file away but could not finish, the new contents take the name;
// should even that fail, they stay in `temp` rather than be lost, and the
// answer is false.
bool putInPlaceOf(const char* path, const char* temp, const char* text, uint32_t length)
{
    if (ReplaceFileA(path, temp, NULL, 0, NULL, NULL))
        return true;
    DWORD error = GetLastError();
    bool halfDone = error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    if (halfDone && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return MoveFileA(temp, path) != 0;
    DeleteFileA(temp);
    return !isShortage(error) && writeInPlace(path, CREATE_ALWAYS, text, length);
}

// Replaces the file's contents with `text`, or creates it. The new contents
// go to a file beside it first, written and closed whole, and take its place
// only then. An empty text cannot fail half-way and is written in place.
bool replaceContents(const char* path, const char* text, uint32_t length)
{
    BY_HANDLE_FILE_INFORMATION target;
    char replaced[kPathSize], temp[kPathSize];
    if (length == 0 || !isReplaceable(path, &target) || !nameOnDisk(path, target, replaced))
        return writeInPlace(path, CREATE_ALWAYS, text, length);
    HANDLE file = createFileBeside(replaced, temp);
    if (file == INVALID_HANDLE_VALUE)
        return !isShortage(GetLastError()) && writeInPlace(path, CREATE_ALWAYS, text, length);
    bool written = writePieces(file, text, length);
    if (!(CloseHandle(file) && written)) {
        DeleteFileA(temp);
        return false;
    }
    return putInPlaceOf(replaced, temp, text, length);
}

} // namespace

QV_NATIVE(nativeRead)
{
    char path[kPathSize];
    if (argc < 1 || !fetchPathArgument(context, argv[0], path))
        return kRefused;
    if (hostServices.valueFromText == NULL)
        return kRefused;
    WholeFile file = readWholeFile(path);
    int32_t answered = returnText(context, file.bytes, file.length, result);
    free(file.bytes);
    return answered;
}

QV_NATIVE(nativeWrite)
{
    char path[kPathSize];
    if ((argc != 2 && argc != 3) || !fetchPathArgument(context, argv[0], path))
        return kRefused;
    uint32_t length = 0;
    const char* text = hostServices.textFromValue(context, argv[1], &length);
    if (text == NULL)
        return kRefused;
    bool written = argc == 2 ? replaceContents(path, text, length)
                             : writeInPlace(path, OPEN_ALWAYS, text, length);
    return returnPredicate(result, written);
}
