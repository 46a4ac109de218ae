// read and write: whole files to and from script strings, byte for byte.
//
// read hands the host the file's exact length, so zero bytes survive; a file
// that cannot be opened, sized, allocated or fully read is handed over as a
// null text of length 0. write answers 0 when the file cannot be opened, the
// text is not written whole, or closing fails. Both replacing and appending
// write into the file itself, so a file keeps its links, name, permissions,
// streams and creation time, and a write through a symbolic link changes the
// file it leads to. A write that fails for want of room or quota leaves the
// file as it was: a replaced file keeps its old contents, a file the call
// created is removed, an appended file is cut back to its old length. On a
// full volume a write that needs no new room is done. Read-only files,
// hidden and system ones (when replacing) and streams on volumes without
// streams are refused with 0, untouched. Library calls on one file, in any
// process, take turns: a read answers the text before a write or after it,
// never a mix, and appends land whole, one after another.
#include "file_natives.h"
#include "path_argument.h"
#include "platform.h"

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

// Library calls on one file take turns, one at a time, by a lock on one
// byte far past any file's end. (A handle opened to append only does not
// do for appends: Wine puts its bytes at the end as it last found it, and
// two processes appending that way lose lines.) Other programs never touch
// that byte, and the system releases it when the process that holds it
// ends. A call waits up to kTurnWait milliseconds for its turn. Reads
// take turns too: two calls to the system are the whole cost, where a lock
// that reads share would take a third and fourth to keep them from starving
// a waiting write.
const DWORD kTurnOffsetHigh = 0x40000000; // at 2^62 bytes
const DWORD kTurnWait = 30000;

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

// Waits for the turn of `file`. True with the turn, or where the file
// system keeps no locks (`*held` tells which: the call goes on without);
// false when it did not come within kTurnWait.
bool takeTurn(HANDLE file, bool* held)
{
    DWORD started = GetTickCount();
    for (;;) {
        OVERLAPPED at = {};
        at.OffsetHigh = kTurnOffsetHigh;
        *held = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
        if (*held || GetLastError() != ERROR_LOCK_VIOLATION)
            return true;
        if (GetTickCount() - started >= kTurnWait)
            return false;
        Sleep(1);
    }
}

void endTurn(HANDLE file, bool held)
{
    OVERLAPPED at = {};
    at.OffsetHigh = kTurnOffsetHigh;
    if (held)
        UnlockFileEx(file, 0, 1, 0, &at);
}

// One allocation, filled by the reads, in the file's turn: never a mix of
// the text before a library write and after it. Files too long for one
// script string are treated as unreadable.
WholeFile readWholeFile(const char* path)
{
    WholeFile file = {NULL, 0};
    HANDLE handle = CreateFileA(path, GENERIC_READ, kShareReadWrite, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return file;
    bool held = false;
    if (!takeTurn(handle, &held)) {
        CloseHandle(handle);
        return file;
    }
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
    endTurn(handle, held);
    CloseHandle(handle);
    return file;
}

bool seekTo(HANDLE file, LONGLONG offset)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    return SetFilePointerEx(file, at, NULL, FILE_BEGIN) != 0;
}

// Cuts the file back to `length` bytes.
bool cutTo(HANDLE file, LONGLONG length) { return seekTo(file, length) && SetEndOfFile(file); }

// Whether the volume holding `file` has room, for this user (quotas
// included), for `bytes` more. Copy-on-write volumes (btrfs, APFS, ZFS) and
// volumes under snapshots take new room even for bytes written over old ones.
// Yes where the system cannot tell.
bool hasRoomFor(HANDLE file, uint32_t bytes)
{
    struct SizeInformation {
        LARGE_INTEGER totalUnits, availableUnits;
        ULONG sectorsPerUnit, bytesPerSector;
    };
    const int kSizeInformation = 3;
    ULONG_PTR status[2];
    SizeInformation size;
    if (queryVolume == NULL || queryVolume(file, status, &size, sizeof size, kSizeInformation) < 0)
        return true;
    long long unit = (long long)size.sectorsPerUnit * size.bytesPerSector;
    return unit == 0 || size.availableUnits.QuadPart >= ((long long)bytes + unit - 1) / unit;
}

// Whether the volume of `path` keeps streams of files ("f.txt:notes"). Wine
// has none: there such a name would make a file of its own.
bool volumeHasStreams(const char* path)
{
    char root[kPathSize + 2];
    const char* rest = path;
    if (strncmp(path, "\\\\?\\", 4) == 0 || strncmp(path, "\\\\.\\", 4) == 0)
        rest = path + 4;
    size_t length = 0;
    bool relative;
    if (rest[0] != '\0' && rest[1] == ':')
        length = (size_t)(rest - path) + 2;
    else if (path[0] == '\\' && path[1] == '\\') // \\server\share\, characters whole
        length = rootLength(path, isAnsiLeadByte, &relative);
    DWORD flags = 0;
    if (length > 0) {
        memcpy(root, path, length);
        if (root[length - 1] != '\\')
            root[length++] = '\\';
        root[length] = '\0';
    }
    return GetVolumeInformationA(length > 0 ? root : NULL, NULL, 0, NULL, NULL, &flags, NULL, 0) &&
           (flags & FILE_NAMED_STREAMS) != 0;
}

// Whether the library refuses to write the existing file `file` (opened by
// `path`) rather than rely on the platform, which under Wine writes
// read-only files as root and empties hidden and system ones: read-only
// files always, hidden and system ones when replacing, as Windows refuses to
// empty them, but for hidden names that start with a dot.
bool refusedTarget(HANDLE file, const char* path, bool replacing)
{
    // The basic information alone: the full one makes Wine read the
    // volume's serial number, which costs more than the write of a small file.
    struct BasicInformation {
        LARGE_INTEGER created, accessed, written, changed;
        ULONG attributes;
    } information;
    const int kBasicInformation = 4;
    ULONG_PTR status[2];
    DWORD attributes = queryFile != NULL && queryFile(file, status, &information, sizeof information,
                                                      kBasicInformation) >= 0
                           ? information.attributes
                           : GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    DWORD refused = FILE_ATTRIBUTE_READONLY;
    if (replacing)
        refused |= FILE_ATTRIBUTE_SYSTEM;
    // Wine shows every Unix name that starts with a dot (.htaccess) as hidden.
    if (replacing && *lastPathPart(path, isAnsiLeadByte) != '.')
        refused |= FILE_ATTRIBUTE_HIDDEN;
    return (attributes & refused) != 0;
}

// Whether the first `bytes` bytes of `file` (opened by `path`) can be
// written over where they lie, asked of the volume by writing them over
// with themselves and flushing: a volume that writes a block anew elsewhere
// (btrfs, ZFS, ReFS, APFS, one under a snapshot) refuses that for want of
// room, and the file keeps its bytes either way.
bool overwritesInPlace(HANDLE file, const char* path, uint32_t bytes)
{
    HANDLE reader = CreateFileA(path, GENERIC_READ, kShareReadWrite, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (reader == INVALID_HANDLE_VALUE)
        return false;
    char* piece = (char*)malloc(nextPiece(0, bytes));
    bool rewritten = piece != NULL && seekTo(file, 0);
    for (uint32_t done = 0; rewritten && done < bytes;) {
        uint32_t length = nextPiece(done, bytes);
        rewritten = readPieces(reader, piece, length) && writePieces(file, piece, length);
        done += length;
    }
    free(piece);
    CloseHandle(reader);
    return rewritten && FlushFileBuffers(file);
}

// Gives the existing file `file` (opened by `path`) of `oldLength` bytes the
// contents `text`, in the file itself, so that its links, letter case,
// permissions, streams and other names stay as they are. The bytes past the
// old end are written first, and the overwrite starts only once the volume
// has shown it holds them and either has room for as many again as are
// overwritten or overwrites them where they lie: a write that fails for
// want of room or quota leaves the file as it was. One that fails while
// overwriting (the device gone, the system stopped) leaves it partly written.
bool replaceExisting(HANDLE file, const char* path, LONGLONG oldLength, const char* text, uint32_t length)
{
    uint32_t overwritten = length;
    if (oldLength < (LONGLONG)length) {
        overwritten = (uint32_t)oldLength;
        if (!seekTo(file, oldLength) || !writePieces(file, text + overwritten, length - overwritten)) {
            cutTo(file, oldLength);
            return false;
        }
    }
    if (overwritten > 0 && !hasRoomFor(file, overwritten) && !overwritesInPlace(file, path, overwritten)) {
        cutTo(file, oldLength);
        return false;
    }
    return seekTo(file, 0) && writePieces(file, text, overwritten) && (oldLength <= length || cutTo(file, length));
}

// Writes `text` to the file, creating it when missing: in place of its
// contents, or appended to them. When it fails, a file this call created is
// removed, and an existing one keeps its contents (as replaceExisting tells).
bool writeContents(const char* path, bool appending, const char* text, uint32_t length)
{
    if (pathHasStream(path) && !volumeHasStreams(path))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, kShareReadWrite, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    // Opening changed nothing yet.
    if (existed && refusedTarget(file, path, !appending)) {
        CloseHandle(file);
        return false;
    }
    LARGE_INTEGER zero = {}, end = {};
    bool held = false;
    // Without the turn, or the old end, nothing is written, cut back or removed.
    bool written = takeTurn(file, &held) && SetFilePointerEx(file, zero, &end, FILE_END) != 0;
    if (written && existed && !appending) {
        written = replaceExisting(file, path, end.QuadPart, text, length);
    } else if (written) {
        written = writePieces(file, text, length);
        if (!written && existed)
            cutTo(file, end.QuadPart);
    }
    endTurn(file, held);
    bool closed = CloseHandle(file) != 0;
    if (!(written && closed) && !existed && end.QuadPart == 0)
        DeleteFileA(path);
    return written && closed;
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
    return returnPredicate(result, writeContents(path, argc == 3, text, length));
}
