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

// The number of bytes of the character at `text` when the ANSI code page
// makes it a superscript digit (¹, ² or ³), else 0. The system takes these
// for the digits of COM and LPT names; where they lie depends on the code
// page (0xB9 is ¹ in 1252 but ą in 1250; UTF-8 writes ¹ as C2 B9).
typedef size_t (*SuperscriptDigitTest)(const char* text);

// The number of bytes of the character at `text`: 2 for a lead byte that a
// second byte follows, else 1 (a lead byte before the terminator stands
// alone, as the system's conversion takes it).
size_t characterLength(const char* text, LeadByteTest isLeadByte);

// The length of the part of a path that starts at `name`: up to its "\"
// (never the second byte of a character) or the terminator.
size_t nameLength(const char* name, LeadByteTest isLeadByte);

// Turns a location into a local path in `path` (`capacity` bytes): the text
// after the first "file:///" that starts a character (or the whole text when
// there is none), with every "/" character made "\" and every "|" made ":".
// The second byte of a two-byte character is copied as it is.
// Fails, leaving only a terminated prefix in `path`, when the path and its
// terminator do not fit `capacity`; never writes past it.
bool locationToPath(const char* text, char* path, size_t capacity, LeadByteTest isLeadByte);

// What the shortest route makes of a location: not the common case, a
// file's path, or a device's.
enum PlainRoute { kNotPlain, kPlainFile, kPlainDevice };

// The common location by the shortest route: a text of ASCII characters
// whose path (after its first "file:///") is a drive's, "C:\" or "C:/" and
// segments that foldPath leaves as they are (none empty, "." or "..", none
// but the last ending in a dot). Converts it into `path` as locationToPath
// does and tells whether it names a device, as pathNamesDevice does; ASCII
// bytes are the same characters, never lead bytes or superscripts, in every
// ANSI code page. kNotPlain, with `path` in any state, for any other text
// and for a path that does not fit `capacity`.
PlainRoute plainLocationToPath(const char* text, char* path, size_t capacity);

// The last part of a path: what follows its last "\", or the drive's ":".
const char* lastPathPart(const char* path, LeadByteTest isLeadByte);

// The last part of a path that holds a name: what follows its last "\"
// that more than "\" follows, or a drive's ":". Unlike lastPathPart, a ":"
// after the drive stays in it. It ends at a "\" or the terminator.
const char* lastName(const char* path, LeadByteTest isLeadByte);

// Rewrites `path` in place as the system resolves it before acting on it:
// "." and ".." segments folded, never above the root (a drive's "C:\", a
// share's "\\server\share\", the device namespace's "\\.\"); runs of
// separators after the root made one; a dot ending a folder's segment
// dropped ("a.\b" is "a\b"). Folded again until nothing changes, so that the
// system's own folding of the result changes nothing either. A relative
// path keeps the ".." that climb above its start, and one that folds away
// entirely becomes ".". Paths in the raw namespace ("\\?\", "\??\") are
// left as they are, as the system leaves them. The path never grows.
void foldPath(char* path, LeadByteTest isLeadByte);

// How much of a path "." and ".." never fold away: the device namespace's
// "\\.\", a share's "\\server\share\" (or the whole "\\server\share"),
// a drive's "C:\" or "C:", or a lone "\"; 0 for a relative path.
// `relative` tells whether the rest is relative to a current folder, so
// that ".." may climb above it.
size_t rootLength(const char* path, LeadByteTest isLeadByte, bool* relative);

// Whether the `length` bytes at `name` hold a character no Windows name may
// hold: < > : " / \ | ? * or a control character. A character's second
// byte, which may be 0x5C or 0x7C, is no such character.
bool nameHoldsForbiddenCharacter(const char* name, size_t length, LeadByteTest isLeadByte);

// Whether a name (one part of a path) is one the system takes for a device:
// CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 (the digit also a superscript
// ¹, ² or ³), CONIN$ or CONOUT$, in any letter case, also followed by an
// extension or by dots or spaces.
bool nameIsDevice(const char* name, SuperscriptDigitTest superscriptDigitAt);

// Whether a folded path (see foldPath) names a device rather than a file:
// its last part, up to a colon ("nul:", "aux.htm:x"), is a device name; it
// lies in the device or the raw namespace ("\\.\COM10", "\\?\GLOBALROOT\...")
// other than for a drive's, a share's or a volume's paths; or it is a
// share's pipe or mailslot ("\\server\pipe\x").
bool pathNamesDevice(const char* path, LeadByteTest isLeadByte, SuperscriptDigitTest superscriptDigitAt);

// Whether a folded path names a stream of a file ("f.txt:notes"): it holds a
// colon after its namespace prefix and its drive's.
bool pathHasStream(const char* path);

#endif
