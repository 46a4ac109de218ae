#include "engine_text.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>

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

namespace {

// ASCII runs shorter than this stay inside the piece the system converts:
// a call per character of a text that mixes both costs more than the copy.
const size_t kShortestCopiedRun = 32;

const uint64_t kHighBits = 0x8080808080808080ull;

// The length of the sequence each byte leads, at most three: 0 for a byte
// that leads none (a continuation byte, an overlong lead) or a longer one.
struct SequenceLengths {
    unsigned char length[256];
    SequenceLengths()
    {
        for (int byte = 0; byte < 256; ++byte)
            length[byte] = byte < 0x80 ? 1 : byte < 0xC2 ? 0 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 0;
    }
    unsigned char operator[](uint32_t byte) const { return length[byte]; }
};
const SequenceLengths kSequenceLength;


uint64_t eightBytes(const char* text)
{
    uint64_t word;
    memcpy(&word, text, sizeof word);
    return word;
}

// The number of ASCII bytes that start `text`, counting no further than `length`.
size_t asciiRunLength(const char* text, size_t length)
{
    size_t i = 0;
    while (i + 32 <= length &&
           ((eightBytes(text + i) | eightBytes(text + i + 8) | eightBytes(text + i + 16) | eightBytes(text + i + 24)) &
            kHighBits) == 0)
        i += 32;
    while (i + 8 <= length && (eightBytes(text + i) & kHighBits) == 0)
        i += 8;
    while (i < length && (unsigned char)text[i] < 0x80)
        ++i;
    return i;
}

// Where a piece for the system that starts at `start` (a character other
// than ASCII) ends: before the first ASCII run long enough to copy, or at the
// end. Characters are walked with `leadByte`, so that a lead byte takes its
// second byte (which may be ASCII) into the piece; only the last byte of the
// text can be a lead byte on its own.
size_t pieceEnd(const char* text, size_t start, size_t length, const bool* leadByte)
{
    size_t i = start;
    while (i < length) {
        unsigned char byte = (unsigned char)text[i];
        if (byte < 0x80) {
            size_t run = asciiRunLength(text + i, std::min(length - i, kShortestCopiedRun));
            if (run == kShortestCopiedRun || i + run == length)
                break;
            i += run;
        } else {
            i += leadByte != NULL && leadByte[byte] && i + 1 < length ? 2 : 1;
        }
    }
    return i;
}

// ASCII runs copied, the rest converted by the system piece by piece.
bool convertByPieces(const char* text, size_t length, const bool* leadByte, ConvertPiece system, std::string* out)
{
    out->clear();
    out->reserve(length);
    for (size_t i = 0; i < length;) {
        size_t run = asciiRunLength(text + i, length - i);
        out->append(text + i, run);
        i += run;
        if (i == length)
            break;
        size_t end = pieceEnd(text, i, length, leadByte);
        if (!system(text + i, end - i, out) || out->size() > kLongestEngineText)
            return false;
        i = end;
    }
    return true;
}

} // namespace

void setAnsiByteUnit(AnsiTables* tables, unsigned char byte, char16_t unit, bool exactlyBack)
{
    std::string form;
    appendUtf8(&form, unit);
    memcpy(tables->engineForm[byte], form.data(), form.size());
    tables->engineLength[byte] = (unsigned char)form.size();
    if (exactlyBack)
        tables->byteOfUnit[unit] = (uint16_t)(0x100 | byte);
}

bool sameInAnsiAndEngine(const AnsiTables& tables, const char* text, size_t length)
{
    return tables.asciiSame && length <= kLongestEngineText && asciiRunLength(text, length) == length;
}

bool engineFromAnsiFast(const AnsiTables& tables, const char* ansi, size_t length, ConvertPiece system,
                        std::string* out)
{
    if (!tables.asciiSame || length > kLongestEngineText)
        return false;
    if (!tables.singleByte)
        return convertByPieces(ansi, length, tables.leadByte, system, out);
    // Eight bytes at a time: ASCII copied, anything else read through the
    // tables without a branch per byte (a byte that does not convert only
    // marks the text refused).
    const unsigned char* bytes = (const unsigned char*)ansi;
    uint64_t size = 0;
    bool refused = false;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        if ((eightBytes(ansi + i) & kHighBits) == 0) {
            size += 8;
            continue;
        }
        for (size_t k = i; k < i + 8; ++k) {
            size += tables.engineLength[bytes[k]];
            refused |= tables.engineLength[bytes[k]] == 0;
        }
    }
    for (; i < length; ++i) {
        size += tables.engineLength[bytes[i]];
        refused |= tables.engineLength[bytes[i]] == 0;
    }
    if (refused || size > kLongestEngineText)
        return false;
    // Each form is written as four bytes, of which the next may overwrite three.
    out->resize((size_t)size + 3);
    char* at = &(*out)[0];
    for (i = 0; i + 8 <= length; i += 8) {
        if ((eightBytes(ansi + i) & kHighBits) == 0) {
            memcpy(at, ansi + i, 8);
            at += 8;
            continue;
        }
        for (size_t k = i; k < i + 8; ++k) {
            memcpy(at, tables.engineForm[bytes[k]], 4);
            at += tables.engineLength[bytes[k]];
        }
    }
    for (; i < length; ++i) {
        memcpy(at, tables.engineForm[bytes[i]], 4);
        at += tables.engineLength[bytes[i]];
    }
    out->resize((size_t)size);
    return true;
}

bool ansiFromEngineFast(const AnsiTables& tables, const char* text, size_t length, ConvertPiece system,
                        std::string* out)
{
    if (!tables.asciiSame)
        return false;
    // Engine text holds no lead bytes: its characters other than ASCII are
    // made of bytes from 0x80 up.
    if (!tables.singleByte)
        return convertByPieces(text, length, NULL, system, out);
    // One byte for each character: for each byte that is not a sequence's
    // second or later, at most (a text that is not one ends the route).
    // Characters of two and three bytes are decoded in place; anything else
    // (four bytes, surrogates, a sequence that is no character) has no
    // single byte, and the whole conversion decides.
    size_t characters = 0, i = 0;
    for (; i + 8 <= length; i += 8) {
        if ((eightBytes(text + i) & kHighBits) == 0) {
            characters += 8;
            continue;
        }
        for (size_t k = i; k < i + 8; ++k)
            characters += (text[k] & 0xC0) != 0x80;
    }
    for (; i < length; ++i)
        characters += (text[i] & 0xC0) != 0x80;
    out->resize(characters);
    char* at = &(*out)[0];
    const unsigned char* bytes = (const unsigned char*)text;
    i = 0;
    // While three bytes remain, each character is decoded in all three
    // lengths and the lead byte picks one: no branch on the length.
    while (i + 3 <= length) {
        if (i + 8 <= length && (eightBytes(text + i) & kHighBits) == 0) {
            memcpy(at, text + i, 8);
            at += 8;
            i += 8;
            continue;
        }
        uint32_t lead = bytes[i], second = bytes[i + 1], third = bytes[i + 2];
        uint32_t count = kSequenceLength[lead];
        uint32_t one = count == 1, two = count == 2, three = count == 3;
        uint32_t c = one * lead + two * ((lead & 0x1F) << 6 | (second & 0x3F)) +
                     three * ((lead & 0x0F) << 12 | (second & 0x3F) << 6 | (third & 0x3F));
        uint32_t followed = (second & 0xC0) == 0x80, followedTwice = followed & ((third & 0xC0) == 0x80);
        uint32_t whole = one | (two & followed) | (three & followedTwice & (c >= 0x800) & ((c & 0xF800) != 0xD800));
        uint16_t byte = tables.byteOfUnit[c];
        if ((whole & (byte != 0)) == 0)
            return false;
        *at++ = (char)byte;
        i += count;
    }
    while (i < length) {
        unsigned char lead = bytes[i];
        if (lead < 0x80) {
            *at++ = (char)lead;
            ++i;
            continue;
        }
        uint32_t c;
        if (lead >= 0xC2 && lead < 0xE0 && i + 1 < length && (bytes[i + 1] & 0xC0) == 0x80) {
            c = (uint32_t)(lead & 0x1F) << 6 | (bytes[i + 1] & 0x3F);
            i += 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && i + 2 < length && (bytes[i + 1] & 0xC0) == 0x80 &&
                   (bytes[i + 2] & 0xC0) == 0x80) {
            c = (uint32_t)(lead & 0x0F) << 12 | (uint32_t)(bytes[i + 1] & 0x3F) << 6 | (bytes[i + 2] & 0x3F);
            if (c < 0x800 || isHighSurrogate(c) || isLowSurrogate(c))
                return false;
            i += 3;
        } else {
            return false;
        }
        if (tables.byteOfUnit[c] == 0)
            return false;
        *at++ = (char)tables.byteOfUnit[c];
    }
    out->resize((size_t)(at - &(*out)[0]));
    return true;
}
