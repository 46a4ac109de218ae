// The five queries on a path.
#include "file_natives.h"
#include "path_argument.h"
#include "platform.h"

#include <io.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

enum AccessMode { kExistence = 0, kWrite = 2, kRead = 4 };

bool accessSucceeds(const char* path, int mode) { return _access(path, mode) == 0; }

// The 64-bit form, so that files over 4 GiB and dates after 2038 still count.
bool statusHasBit(const char* path, unsigned bit)
{
    struct _stat64 status;
    return _stat64(path, &status) == 0 && (status.st_mode & bit) != 0;
}

// Whether the path ends in a separator ("C:\Site\"), walking characters: a
// character's second byte may be "\\". Only a path whose last byte is "\\"
// needs the walk.
bool endsInSeparator(const char* path)
{
    size_t length = strlen(path);
    if (length == 0 || path[length - 1] != '\\')
        return false;
    const char* part = lastPathPart(path, isAnsiLeadByte);
    return *part == '\0' && part > path && part[-1] == '\\';
}

// The status query refuses a folder written with a final separator, but for
// a drive's root: "C:\Site\" is asked as "C:\Site".
bool isFolderPath(const char* path)
{
    if (statusHasBit(path, _S_IFDIR))
        return true;
    char folder[kPathSize];
    size_t length = strlen(path);
    if (!endsInSeparator(path) || length >= sizeof folder)
        return false;
    memcpy(folder, path, length - 1);
    folder[length - 1] = '\0';
    return statusHasBit(folder, _S_IFDIR);
}

// A path that ends in a separator names a folder, never a file.
bool isRegularPath(const char* path) { return !endsInSeparator(path) && statusHasBit(path, _S_IFREG); }
bool existsPath(const char* path) { return accessSucceeds(path, kExistence); }
bool readablePath(const char* path) { return accessSucceeds(path, kRead); }
bool writablePath(const char* path) { return accessSucceeds(path, kWrite); }

} // namespace

QV_NATIVE(nativeExists) { return answerPathPredicate(context, argc, argv, result, existsPath); }
QV_NATIVE(nativeIsDir) { return answerPathPredicate(context, argc, argv, result, isFolderPath); }
QV_NATIVE(nativeIsFile) { return answerPathPredicate(context, argc, argv, result, isRegularPath); }
QV_NATIVE(nativeCanRead) { return answerPathPredicate(context, argc, argv, result, readablePath); }
QV_NATIVE(nativeCanWrite) { return answerPathPredicate(context, argc, argv, result, writablePath); }
