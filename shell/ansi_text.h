// Text between the engine and the ANSI code page through the system's
// conversions, exact or not at all: no best-fit lookalike, no default
// character. The fast routes of engine_text fall back on these.
#ifndef QVHOST_ANSI_TEXT_H
#define QVHOST_ANSI_TEXT_H

#include <stddef.h>

#include <string>

// "code page N", for messages.
std::string codePageName();

// Converts UTF-16 to the ANSI code page exactly, in pieces whose lengths fit
// the int the calls take. Returns false when a character has no exact
// counterpart there (best-fit lookalikes and the default character are not).
bool ansiFromUtf16(const std::u16string& units, std::string* ansi);

// The engine's text of bytes in the ANSI code page; an empty string when
// they convert, else why not.
std::string engineFromAnsi(const char* ansi, size_t length, std::string* text);

// Appends one piece's conversion to `text` (`ansi`); false, with nothing
// appended, when the piece does not convert. The fast routes' fallback.
bool enginePieceFromAnsi(const char* ansi, size_t length, std::string* text);
bool ansiPieceFromEngine(const char* text, size_t length, std::string* ansi);

#endif
