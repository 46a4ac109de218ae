// The file functions scripts call.
//
// Each query (exists, isDir, isFile, canRead, canWrite) takes exactly one
// location and answers 1 or 0. read(location[, ignored...]) answers the whole
// file as a string; write(location, text) replaces and write(location, text,
// anything) appends, answering 1 or 0. list(pattern[, filter]) answers the
// matching names joined by ":", or the integer 0 when the search cannot start.
// mkdir, remove, rename(from, to) and copy(from, to) answer 1 or 0.
// A call with the wrong argument count, an argument the host cannot convert,
// a missing host service, a location too long (over 260 characters, or a
// plain path over 259) or holding a zero byte is refused: nothing on disk is
// touched.
#ifndef QVFILE_FILE_NATIVES_H
#define QVFILE_FILE_NATIVES_H

#include "../host/host_services.h"

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
