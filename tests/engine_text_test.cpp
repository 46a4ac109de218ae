// qvhost's conversions between the engine's text form and UTF-16: which
// byte sequences are characters, and the size limit of an encoded text.
#include <string>

#include <gtest/gtest.h>

#include "../shell/engine_text.h"

namespace {

const char16_t kRefused[] = u"<refused>";

std::u16string decoded(const std::string& text, bool exact)
{
    std::u16string units;
    return utf16FromEngine(text.data(), text.size(), exact, &units) ? units : kRefused;
}

TEST(EngineTextDecodes, CharactersExactlyAndTheRestRefusedOrReplaced)
{
    struct Row {
        std::string engine;
        std::u16string exact;   // or kRefused
        std::u16string lenient; // unpaired surrogates and stray bytes as U+FFFD
    };
    const Row rows[] = {
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3), std::u16string(u"a\0b", 3)},
        {"\xC3\xA9\xE2\x82\xAC", u"\u00e9\u20ac", u"\u00e9\u20ac"},
        {"\xED\xA0\xBD\xED\xB8\x80", u"\xD83D\xDE00", u"\xD83D\xDE00"}, // a pair as scripts make it
        {"\xF0\x9F\x98\x80", u"\xD83D\xDE00", u"\xD83D\xDE00"},         // and as four bytes
        {"\xED\xA0\xBDx", kRefused, u"\uFFFDx"},                         // high surrogate alone
        {"x\xED\xB8\x80", kRefused, u"x\uFFFD"},                         // low surrogate alone
        {"\xED\xB8\x80\xED\xA0\xBD", kRefused, u"\uFFFD\uFFFD"},         // a pair in the wrong order
        {"\xC0\x80", kRefused, u"\uFFFD\uFFFD"},                         // overlong
        {"\xE2\x82", kRefused, u"\uFFFD\uFFFD"},                         // cut short
        {"\xF4\x90\x80\x80", kRefused, u"\uFFFD\uFFFD\uFFFD\uFFFD"},     // beyond U+10FFFF
        {"\xFF" "abc", kRefused, u"\uFFFDabc"},                          // a hidden symbol
    };
    for (const Row& row : rows) {
        EXPECT_EQ(decoded(row.engine, true), row.exact) << row.engine;
        EXPECT_EQ(decoded(row.engine, false), row.lenient) << row.engine;
    }
}

TEST(EngineTextEncodes, EachUnitOnItsOwnWithinTheLimit)
{
    const std::u16string units = u"a\u00e9\u20ac\xD83D"; // 1 + 2 + 3 + 3 bytes
    std::string text = "stale";
    EXPECT_FALSE(engineFromUtf16(units.data(), units.size(), 8, &text));
    EXPECT_EQ(text, "");
    ASSERT_TRUE(engineFromUtf16(units.data(), units.size(), 9, &text));
    EXPECT_EQ(text, "a\xC3\xA9\xE2\x82\xAC\xED\xA0\xBD");
    EXPECT_EQ(decoded(text, false), u"a\u00e9\u20ac\uFFFD");

    EXPECT_EQ(utf8FromUtf16(u"\xD83D\xDE00\xDE00"), "\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

// Two code pages of the fast routes' kinds, as tables and as "the system":
// single-byte, where 0x80 is the euro sign, 0xE9 e acute and 0x81 refused;
// two-byte, where 0x81 leads a character whose second byte is 0x40 and up
// (so "@" and "A" are second bytes too), 0xB1 is a character alone, and
// any other byte from 0x80 up is refused.
const std::string kEuro = "\xE2\x82\xAC", kEAcute = "\xC3\xA9", kIdeographicSpace = "\xE3\x80\x80",
                  kIdeographA = "\xE3\x80\xA1", kHalfwidthA = "\xEF\xBD\xB1";

const AnsiTables& singleByteTables()
{
    static AnsiTables tables;
    tables.asciiSame = tables.singleByte = true;
    for (char16_t byte = 0; byte < 0x80; ++byte)
        setAnsiByteUnit(&tables, (unsigned char)byte, byte, true);
    setAnsiByteUnit(&tables, 0x80, 0x20AC, true);
    setAnsiByteUnit(&tables, 0xE9, 0x00E9, true);
    return tables;
}

const AnsiTables& twoByteTables()
{
    static AnsiTables tables;
    tables.asciiSame = true;
    tables.leadByte[0x81] = true;
    return tables;
}

// The two-byte code page's conversion of a piece, character by character.
bool twoBytePieceToEngine(const char* text, size_t length, std::string* out)
{
    for (size_t i = 0; i < length; ++i) {
        unsigned char byte = (unsigned char)text[i];
        if (byte < 0x80)
            *out += (char)byte;
        else if (byte == 0xB1)
            *out += kHalfwidthA;
        else if (byte == 0x81 && i + 1 < length && (text[i + 1] == '@' || text[i + 1] == 'A'))
            *out += text[++i] == '@' ? kIdeographicSpace : kIdeographA;
        else
            return false;
    }
    return true;
}

bool twoBytePieceToAnsi(const char* text, size_t length, std::string* out)
{
    std::u16string units;
    if (!utf16FromEngine(text, length, true, &units))
        return false;
    for (char16_t unit : units) {
        if (unit < 0x80)
            *out += (char)unit;
        else if (unit == 0xFF71)
            *out += "\xB1";
        else if (unit == 0x3000 || unit == 0x3021)
            *out += unit == 0x3000 ? "\x81@" : "\x81" "A";
        else
            return false;
    }
    return true;
}

bool notCalled(const char*, size_t, std::string*) { return false; }

// The fast routes take only what the system's conversion of the whole text
// takes: a byte from 0x80 up beside an ASCII run is never copied as ASCII, nor
// is the second byte of a character, also where it starts a run.
TEST(EngineTextFastRoutes, TakeOnlyWhatTheWholeConversionTakes)
{
    const std::string run(40, 'x');
    struct Row {
        bool twoByte, toEngine;
        std::string from, to; // to: "<refused>" when the route must not take it
    };
    const std::string refused = "<refused>";
    const Row rows[] = {
        {false, true, "abcdefg\x80" "abcdefgh", "abcdefg" + kEuro + "abcdefgh"},
        {false, true, "abcdefgh\xE9", "abcdefgh" + kEAcute},
        {false, true, run + "\x81" + run, refused},
        {false, false, "abcdefg" + kEuro + "abcdefgh", "abcdefg\x80" "abcdefgh"},
        {false, false, run + kEAcute + "\xE2\x82", refused},        // cut short
        {false, false, run + "\xC1\xA9" + run, refused},             // overlong
        {false, false, run + "\xE0\x83\xA9" + run, refused},        // overlong in three
        {false, false, run + "\xE4\xB8\x80" + run, refused},        // not in the code page
        {false, false, "a\xED\xA0\xBD\xED\xB8\x80", refused},   // a pair: never one byte
        {true, true, "abc\x81@def", "abc" + kIdeographicSpace + "def"},
        {true, true, "\x81" "A" + run, kIdeographA + run},
        {true, true, "\xB1\x81@" + run + "\x81", refused},          // a lead byte at the end
        {true, true, run + "\xB1" + run + "\x81" "A", run + kHalfwidthA + run + kIdeographA},
        {true, true, run + "\x81\x7F" + run, refused},
        {true, false, "abc" + kIdeographicSpace + run + kHalfwidthA, "abc\x81@" + run + "\xB1"},
        {true, false, run + "\xED\xA0\xBD" + run, refused},
    };
    for (const Row& row : rows) {
        const AnsiTables& tables = row.twoByte ? twoByteTables() : singleByteTables();
        ConvertPiece system = !row.twoByte ? notCalled : row.toEngine ? twoBytePieceToEngine : twoBytePieceToAnsi;
        std::string out;
        bool taken = row.toEngine ? engineFromAnsiFast(tables, row.from.data(), row.from.size(), system, &out)
                                  : ansiFromEngineFast(tables, row.from.data(), row.from.size(), system, &out);
        EXPECT_EQ(taken ? out : refused, row.to) << row.from;
    }
    EXPECT_TRUE(sameInAnsiAndEngine(singleByteTables(), run.data(), run.size()));
    EXPECT_FALSE(sameInAnsiAndEngine(singleByteTables(), (run + "\xE9").data(), run.size() + 1));
}

} // namespace
