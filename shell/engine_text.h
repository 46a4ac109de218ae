// The engine's text form, and UTF-16 and UTF-8, without the platform.
//
// Duktape keeps a string as bytes: UTF-8, except that each UTF-16 code unit a
// script makes (a surrogate included) is encoded on its own, so a pair of
// surrogates is two three-byte sequences (CESU-8). Strings made from C may
// also hold four-byte UTF-8 sequences; symbols start with a byte that no
// UTF-8 text starts with.
#ifndef QVHOST_ENGINE_TEXT_H
#define QVHOST_ENGINE_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// The longest string the engine can hold, in bytes.
const size_t kLongestEngineText = 0x7fffffff;

// Decodes `length` bytes of engine text. With `exact`, a byte sequence that
// is not a character, or a surrogate without its partner, makes it return
// false; without, each becomes U+FFFD and it returns true.
bool utf16FromEngine(const char* text, size_t length, bool exact, std::u16string* units);

// Encodes `count` code units in the engine's form. Returns false, leaving
// `text` empty, when that takes more than `longest` bytes.
bool engineFromUtf16(const char16_t* units, size_t count, size_t longest, std::string* text);

// UTF-8 for output: a surrogate without its partner becomes U+FFFD.
std::string utf8FromUtf16(const std::u16string& units);

// The ANSI code page as the fast routes below read it, filled once from the
// system's own conversion of single characters (all zero: no fast route).
struct AnsiTables {
    bool asciiSame;     // 0x00-0x7F are those characters both ways
    bool singleByte;    // each byte is one character, read through the tables
    bool leadByte[256]; // otherwise: the bytes that start a two-byte character
    // Single-byte: each byte's engine form (in four bytes, the rest zero) and
    // its length, 0 for a byte the system refuses; and 0x100 | the byte each
    // unit converts to exactly, 0 for none.
    char engineForm[256][4];
    unsigned char engineLength[256];
    uint16_t byteOfUnit[0x10000];
};

// Records that the system converts `byte` of a single-byte code page to
// `unit`, and `unit` exactly back to `byte` when `exactlyBack`. Every byte
// that converts is recorded, ASCII included.
void setAnsiByteUnit(AnsiTables* tables, unsigned char byte, char16_t unit, bool exactlyBack);

// The system's conversion of one piece of text, appended to `out`; false
// when it refuses the piece.
typedef bool (*ConvertPiece)(const char* text, size_t length, std::string* out);

// Whether `length` bytes of text are the same in the ANSI code page and in
// the engine: ASCII alone, within the engine's longest string.
bool sameInAnsiAndEngine(const AnsiTables& tables, const char* text, size_t length);

// The fast routes between ANSI text and the engine's: ASCII runs copied as
// they are, a single-byte code page read through the tables, and the rest
// of any other converted by `system` in pieces that start and end at a
// character (never between a lead byte and its second byte). They answer
// false, with `out` in any state, whenever they cannot tell: then the
// system's conversion of the whole text decides. When they answer true, the
// text is what that conversion gives; they never take a text it refuses.
bool engineFromAnsiFast(const AnsiTables& tables, const char* ansi, size_t length, ConvertPiece system,
                        std::string* out);
bool ansiFromEngineFast(const AnsiTables& tables, const char* text, size_t length, ConvertPiece system,
                        std::string* out);

#ifdef _WIN32
// The same for the system's strings, which are UTF-16 on Windows.
inline std::string utf8FromWide(const std::wstring& text)
{
    return utf8FromUtf16(std::u16string(text.begin(), text.end()));
}

// The engine's form of a system string; empty when it is too large.
inline std::string engineFromWide(const std::wstring& text)
{
    std::string converted;
    engineFromUtf16((const char16_t*)text.data(), text.size(), kLongestEngineText, &converted);
    return converted;
}
#endif

#endif
