// Location texts and local paths; knows nothing of the host or the platform.
#ifndef QVFILE_LOCATION_H
#define QVFILE_LOCATION_H

#include <stddef.h>

// The platform's maximum path size, terminator included.
enum { kPathSize = 260 };

// The longest location text a script may pass, as the host counts it.
enum { kMaxLocationLength = 260 };

// Turns a location into a local path in `path` (`capacity` bytes): the text
// after the first "file:///" (or the whole text when there is none), with
// every "/" made "\" and every "|" made ":". Nothing else changes.
// Fails, leaving only a terminated prefix in `path`, when the path and its
// terminator do not fit `capacity`; never writes past it.
bool locationToPath(const char* text, char* path, size_t capacity);

#endif
