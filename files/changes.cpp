// mkdir, remove, rename and copy: the functions that change the file system.
//
// Each answers 1 when the platform did what was asked and 0 when it refused
// (missing parent, existing target, refused access, a cancelled copy).
// rename never replaces an existing entry. copy goes through the shell, which
// copies folders with their contents, accepts wildcards in the source and may
// ask the user before replacing files.
#include "file_natives.h"
#include "path_argument.h"

#include <direct.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <shellapi.h>

namespace {

bool makeFolder(const char* path) { return _mkdir(path) == 0; }
bool removeFile(const char* path) { return remove(path) == 0; }

// Fetches the two locations of rename and copy, the first fully before the
// second. Each buffer has room for a path, its terminator and the second
// terminator that ends a list of names for the shell.
bool fetchTwoPaths(NativeContext context, uint32_t argc, ScriptValue* argv,
                   char (&from)[kPathSize + 1], char (&to)[kPathSize + 1])
{
    if (argc != 2 || !fetchPathArgument(context, argv[0], from))
        return false;
    return fetchPathArgument(context, argv[1], to);
}

// Ends a one-name list for the shell: a second terminator after the path's.
void endNameList(char* path) { path[strlen(path) + 1] = '\0'; }

} // namespace

QV_NATIVE(nativeMkdir) { return answerPathPredicate(context, argc, argv, result, makeFolder); }
QV_NATIVE(nativeRemove) { return answerPathPredicate(context, argc, argv, result, removeFile); }

QV_NATIVE(nativeRename)
{
    char from[kPathSize + 1], to[kPathSize + 1];
    if (!fetchTwoPaths(context, argc, argv, from, to))
        return kRefused;
    return returnPredicate(result, rename(from, to) == 0);
}

QV_NATIVE(nativeCopy)
{
    char from[kPathSize + 1], to[kPathSize + 1];
    if (!fetchTwoPaths(context, argc, argv, from, to))
        return kRefused;
    endNameList(from);
    endNameList(to);
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = NULL;
    operation.wFunc = FO_COPY;
    operation.pFrom = from;
    operation.pTo = to;
    operation.fFlags = FOF_MULTIDESTFILES | FOF_SILENT;
    operation.fAnyOperationsAborted = TRUE;
    operation.hNameMappings = NULL;
    operation.lpszProgressTitle = NULL;
    int outcome = SHFileOperationA(&operation);
    return returnPredicate(result, outcome == 0 && !operation.fAnyOperationsAborted);
}
