// Location arguments: the one way every file function fetches a location from
// the host and turns it into a local path.
#ifndef QVFILE_PATH_ARGUMENT_H
#define QVFILE_PATH_ARGUMENT_H

#include "../host/host_services.h"
#include "location.h"

// Fetches argument `argument` as a location text and converts it into `path`,
// which has room for at least kPathSize bytes. Fails when textFromValue is
// absent or fails, when the host reports more than 260 characters, when a
// zero byte comes before the length the host reports (the platform would see
// a shorter path than the script wrote), when the converted path does not
// fit kPathSize bytes with its terminator, or when it names a device rather
// than a file. The path is folded as the system folds it ("." and ".."), so
// that the rules judge the path the system will act on, and it is that path
// that the functions get.
bool fetchPathArgument(NativeContext context, ScriptValue argument, char* path);

// The shape shared by the functions that take exactly one location and answer
// whether `operation` succeeded on its path.
int32_t answerPathPredicate(NativeContext context, uint32_t argc, ScriptValue* argv,
                            ScriptValue* result, bool (*operation)(const char* path));

#endif
