// Location texts and local paths; knows nothing of the host or the platform.
//
// Texts are in the system's ANSI code page, where a character may take two
// bytes and the second may be any byte from 0x40 up, "|" (0x7C) and "\"
// (0x5C) among them. Everything here walks characters, never bytes: the
// caller says which bytes lead a two-byte character.
#ifndef QVFILE_LOCATION_H
#define QVFILE_LOCATION_H

#include <stddef.h>

// The platform's maximum path size, terminator included.
enum { kPathSize = 260 };

// The longest location text a script may pass, as the host counts it.
enum { kMaxLocationLength = 260 };

// Whether a byte of the ANSI code page leads a two-byte character.
typedef bool (*LeadByteTest)(unsigned char byte);

// Turns a location into a local path in `path` (`capacity` bytes): the text
// after the first "file:///" that starts a character (or the whole text when
// there is none), with every "/" character made "\" and every "|" made ":".
// The second byte of a two-byte character is copied as it is.
// Fails, leaving only a terminated prefix in `path`, when the path and its
// terminator do not fit `capacity`; never writes past it.
bool locationToPath(const char* text, char* path, size_t capacity, LeadByteTest isLeadByte);

// The last part of a path: what follows its last "\", or the drive's ":".
const char* lastPathPart(const char* path, LeadByteTest isLeadByte);

// Whether a name (one part of a path) is one the system takes for a device:
// CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$ or CONOUT$, in any
// letter case, also followed by an extension or by dots or spaces.
bool nameIsDevice(const char* name);

// Whether a path names a device rather than a file: its last part, up to a
// colon ("nul:", "aux.htm:x"), is a device name; it lies in the device or
// the raw namespace ("\\.\COM10", "\\?\GLOBALROOT\...") other than for a
// drive's, a share's or a volume's paths; or it is a share's pipe or
// mailslot ("\\server\pipe\x").
bool pathNamesDevice(const char* path, LeadByteTest isLeadByte);

// Whether a path names a stream of a file ("f.txt:notes"): it holds a colon
// after its namespace prefix and its drive's.
bool pathHasStream(const char* path);

#endif
