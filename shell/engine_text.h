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
