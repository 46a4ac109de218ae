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

} // namespace
