// The file functions scripts call, and the shared handling of a location
// argument.
//
// Each query (exists, isDir, isFile, canRead, canWrite) takes exactly one
// location and answers 1 or 0. read(location[, ignored...]) answers the whole
// file as a string; write(location, text) replaces and write(location, text,
// anything) appends, answering 1 or 0. list(pattern[, filter]) answers the
// matching names joined by ":", or the integer 0 when the search cannot start.
// mkdir, remove, rename(from, to) and copy(from, to) answer 1 or 0.
// A call with the wrong argument count, an argument the host cannot convert,
// a missing host service or a location text over 260 characters is refused.
#ifndef QVFILE_FILE_NATIVES_H
#define QVFILE_FILE_NATIVES_H

#include "../host/host_services.h"
#include "location.h"

// Fetches argument `argument` as a location text and converts it into `path`,
// which has room for at least kPathSize bytes. Fails when textFromValue is
// absent or fails, when the host reports more than 260 characters, or when
// the converted path does not fit kPathSize bytes with its terminator.
bool fetchPathArgument(NativeContext context, ScriptValue argument, char* path);

// The shape shared by the functions that take exactly one location and answer
// whether `operation` succeeded on its path.
int32_t answerPathPredicate(NativeContext context, uint32_t argc, ScriptValue* argv,
                            ScriptValue* result, bool (*operation)(const char* path));

QV_NATIVE(nativeExists);
QV_NATIVE(nativeIsDir);
QV_NATIVE(nativeIsFile);
QV_NATIVE(nativeCanRead);
QV_NATIVE(nativeCanWrite);
QV_NATIVE(nativeRead);
QV_NATIVE(nativeWrite);
QV_NATIVE(nativeList);
QV_NATIVE(nativeMkdir);
QV_NATIVE(nativeRemove);
QV_NATIVE(nativeRename);
QV_NATIVE(nativeCopy);

#endif
