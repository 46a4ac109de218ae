// The five queries on a path.
#include "file_natives.h"
#include "path_argument.h"

#include <io.h>
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

bool isFolderPath(const char* path) { return statusHasBit(path, _S_IFDIR); }
bool isRegularPath(const char* path) { return statusHasBit(path, _S_IFREG); }
bool existsPath(const char* path) { return accessSucceeds(path, kExistence); }
bool readablePath(const char* path) { return accessSucceeds(path, kRead); }
bool writablePath(const char* path) { return accessSucceeds(path, kWrite); }

} // namespace

QV_NATIVE(nativeExists) { return answerPathPredicate(context, argc, argv, result, existsPath); }
QV_NATIVE(nativeIsDir) { return answerPathPredicate(context, argc, argv, result, isFolderPath); }
QV_NATIVE(nativeIsFile) { return answerPathPredicate(context, argc, argv, result, isRegularPath); }
QV_NATIVE(nativeCanRead) { return answerPathPredicate(context, argc, argv, result, readablePath); }
QV_NATIVE(nativeCanWrite) { return answerPathPredicate(context, argc, argv, result, writablePath); }
