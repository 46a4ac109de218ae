#include "engine_text.h"

#include <stdint.h>

namespace {

const char16_t kReplacement = 0xFFFD;

bool isHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The character whose sequence starts `text` (at most `length` bytes) and the
// sequence's length; 0 when the bytes are not one. Surrogates are characters
// here: the engine encodes them.
size_t sequenceAt(const unsigned char* text, size_t length, uint32_t* character)
{
    unsigned char lead = text[0];
    size_t count = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (count == 0 || count > length)
        return 0;
    uint32_t c = count == 1 ? lead : lead & (0x7F >> count);
    for (size_t i = 1; i < count; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (text[i] & 0x3F);
    }
    const uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < shortest[count] || c > 0x10FFFF)
        return 0;
    *character = c;
    return count;
}

void appendUtf8(std::string* text, uint32_t c)
{
    if (c < 0x80) {
        *text += (char)c;
    } else if (c < 0x800) {
        *text += (char)(0xC0 | c >> 6);
        *text += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *text += (char)(0xE0 | c >> 12);
        *text += (char)(0x80 | (c >> 6 & 0x3F));
        *text += (char)(0x80 | (c & 0x3F));
    } else {
        *text += (char)(0xF0 | c >> 18);
        *text += (char)(0x80 | (c >> 12 & 0x3F));
        *text += (char)(0x80 | (c >> 6 & 0x3F));
        *text += (char)(0x80 | (c & 0x3F));
    }
}

} // namespace

bool utf16FromEngine(const char* text, size_t length, bool exact, std::u16string* units)
{
    const unsigned char* bytes = (const unsigned char*)text;
    units->clear();
    units->reserve(length);
    size_t i = 0;
    while (i < length) {
        uint32_t c = 0;
        size_t count = sequenceAt(bytes + i, length - i, &c);
        i += count == 0 ? 1 : count;
        uint32_t low = 0;
        if (count != 0 && isHighSurrogate(c) && i < length && sequenceAt(bytes + i, length - i, &low) == 3 &&
            isLowSurrogate(low)) {
            i += 3;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        } else if (count == 0 || isHighSurrogate(c) || isLowSurrogate(c)) {
            if (exact)
                return false;
            c = kReplacement;
        }
        if (c >= 0x10000) {
            *units += (char16_t)(0xD800 + ((c - 0x10000) >> 10));
            *units += (char16_t)(0xDC00 + (c & 0x3FF));
        } else {
            *units += (char16_t)c;
        }
    }
    return true;
}

bool engineFromUtf16(const char16_t* units, size_t count, size_t longest, std::string* text)
{
    text->clear();
    uint64_t size = 0;
    for (size_t i = 0; i < count; ++i)
        size += units[i] < 0x80 ? 1 : units[i] < 0x800 ? 2 : 3;
    if (size > longest)
        return false;
    text->reserve((size_t)size);
    for (size_t i = 0; i < count; ++i)
        appendUtf8(text, units[i]);
    return true;
}

std::string utf8FromUtf16(const std::u16string& units)
{
    std::string text;
    text.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (isHighSurrogate(c) && i + 1 < units.size() && isLowSurrogate(units[i + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (isHighSurrogate(c) || isLowSurrogate(c))
            c = kReplacement;
        appendUtf8(&text, c);
    }
    return text;
}
