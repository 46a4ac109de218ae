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

// The system's lead-byte test for its ANSI code page.
bool isAnsiLeadByte(unsigned char byte);

// Whether removing or renaming `path` acts on the entry of that name in its
// folder rather than on another file that a link in its last part leads to
// (Wine resolves Unix links before it deletes or moves, and shows them as
// plain files): the entry, opened without following a link of its own, must
// have as its final path its folder's final path (links followed) and the
// name the folder lists. Both final paths name the volume by the system's
// name for it, or, where it has none yet (under Wine, a drive linked or a
// file system mounted while Wine runs), by drive letters. Letter case, short
// names, relative paths and links higher up (drives, linked folders) count
// for nothing. True too when the
// entry cannot be opened (nothing can be reached through it) or the system
// has no final paths (no file links before Vista); false when a final path
// or the listed name cannot be had.
bool actsOnEntryItself(const char* path);

// The system's superscript digits (¹, ², ³) in its ANSI code page.
size_t ansiSuperscriptDigitAt(const char* text);

// The shape shared by the functions that take exactly one location and answer
// whether `operation` succeeded on its path.
int32_t answerPathPredicate(NativeContext context, uint32_t argc, ScriptValue* argv,
                            ScriptValue* result, bool (*operation)(const char* path));

#endif
