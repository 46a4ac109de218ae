// The parts that know nothing of the platform: location conversion, listing
// assembly and filters, the services record and the value encoding. Built
// into the Windows tests and, with the sanitizers, natively.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../files/listing.h"
#include "../files/location.h"
#include "../host/host_services.h"
#include "../ui/ui_natives.h"

namespace {

bool noLeadBytes(unsigned char) { return false; }

// Code page 932's lead bytes; its second bytes run from 0x40 to 0xFC, "\" and
// "|" among them (ソ is 83 5C, ポ 83 7C, デ 83 66).
bool leadByteOf932(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0; }

// Superscript digits as code pages write them: 1252 in one byte (B9, B2, B3),
// UTF-8 in two (C2 B9, ...); 1250 has none (its B9 is a letter).
size_t noSuperscripts(const char*) { return 0; }
size_t superscriptsOf1252(const char* text)
{
    unsigned char c = (unsigned char)text[0];
    return c == 0xB9 || c == 0xB2 || c == 0xB3 ? 1 : 0;
}
size_t superscriptsOfUtf8(const char* text)
{
    return (unsigned char)text[0] == 0xC2 && superscriptsOf1252(text + 1) ? 2 : 0;
}

// A path folded as the system folds it.
std::string folded(const char* path, LeadByteTest isLeadByte = noLeadBytes)
{
    char buffer[kPathSize];
    strcpy(buffer, path);
    foldPath(buffer, isLeadByte);
    return buffer;
}

// Whether a converted path names a device as the library judges it: folded.
bool namesDevice(const char* path, LeadByteTest isLeadByte = noLeadBytes,
                 SuperscriptDigitTest superscripts = superscriptsOf1252)
{
    return pathNamesDevice(folded(path, isLeadByte).c_str(), isLeadByte, superscripts);
}

std::string converted(const char* text, LeadByteTest isLeadByte = noLeadBytes)
{
    char path[kPathSize];
    if (!locationToPath(text, path, sizeof path, isLeadByte))
        return "<refused>";
    return path;
}

TEST(LocationsConvert, PrefixSlashesAndBarsOnly)
{
    EXPECT_EQ(converted("file:///C|/Site/index.htm"), "C:\\Site\\index.htm");
    EXPECT_EQ(converted("C:/Site/index.htm"), "C:\\Site\\index.htm");
    EXPECT_EQ(converted("see file:///D|/x.txt"), "D:\\x.txt");
    EXPECT_EQ(converted("file:///C|/My%20Site"), "C:\\My%20Site");
    EXPECT_EQ(converted("file://server/share/a.txt"), "file:\\\\server\\share\\a.txt");
    EXPECT_EQ(converted("file:///C|/a/file:///D|/b"), "C:\\a\\file:\\\\\\D:\\b") << "first prefix only";
    EXPECT_EQ(converted("FILE:///C|/x"), "FILE:\\\\\\C:\\x") << "the prefix is matched exactly";
    EXPECT_EQ(converted("C:\\Mixed/Case\\..\\X"), "C:\\Mixed\\Case\\..\\X");
    EXPECT_EQ(converted(""), "");
    EXPECT_EQ(converted("file:///"), "");
}

// A two-byte character is one character: its second byte is never converted,
// and the prefix is found only where a character starts.
TEST(LocationsConvert, TwoByteCharactersStayWhole)
{
    struct Case { const char* text; const char* in932; const char* singleByte; } cases[] = {
        {"C:/q/\x83\x7C.txt", "C:\\q\\\x83\x7C.txt", "C:\\q\\\x83:.txt"},
        {"file:///C|/q/\x8A\x7C\x83\x5C", "C:\\q\\\x8A\x7C\x83\x5C", "C:\\q\\\x8A:\x83\x5C"},
        {"\x83\x66ile:///C|/q/t.txt", "\x83\x66ile:\\\\\\C:\\q\\t.txt", "C:\\q\\t.txt"},
        {"C:/a\x83", "C:\\a\x83", "C:\\a\x83"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(converted(c.text, leadByteOf932), c.in932) << c.text;
        EXPECT_EQ(converted(c.text), c.singleByte) << c.text;
    }
    char path[6];
    EXPECT_FALSE(locationToPath("abcd\x83\x7C", path, sizeof path, leadByteOf932));
    EXPECT_STREQ(path, "abcd") << "a character that does not fit is left out whole";
    EXPECT_STREQ(lastPathPart("C:\\q\\\x83\x5C", leadByteOf932), "\x83\x5C");
    EXPECT_STREQ(lastPathPart("C:\\q\\\x83\x5C", noLeadBytes), "");
    EXPECT_STREQ(lastPathPart("C:nul", noLeadBytes), "nul");
}

// "." and ".." fold as the system folds them before it acts on a path, never
// above the root; the raw namespace is left alone; characters stay whole.
TEST(LocationsConvert, FoldAsTheSystemResolves)
{
    struct Case { const char* path; const char* folded; } cases[] = {
        {"\\\\.\\C:\\..\\GLOBALROOT\\Device\\Null", "\\\\.\\GLOBALROOT\\Device\\Null"},
        {"\\\\.\\C:\\.", "\\\\.\\C:"}, {"C:\\t\\nul\\.", "C:\\t\\nul"}, {"C:\\t\\.\\x\\..\\y", "C:\\t\\y"},
        {"C:\\..\\..", "C:\\"}, {"C:\\a\\b\\..", "C:\\a"}, {"C:\\t\\", "C:\\t\\"}, {"C:\\t\\.\\", "C:\\t\\"},
        {"C:\\t\\\\\\x", "C:\\t\\x"}, {"C:\\a.\\b.", "C:\\a\\b."}, {"C:\\a\\...\\b", "C:\\b"},
        {"\\\\srv\\share\\..\\..\\pipe\\x", "\\\\srv\\share\\pipe\\x"},
        {"\\\\.\\UNC\\srv\\x\\..\\pipe\\y", "\\\\.\\UNC\\srv\\pipe\\y"},
        {"\\\\?\\C:\\..\\x", "\\\\?\\C:\\..\\x"}, {"\\??\\C:\\.\\x", "\\??\\C:\\.\\x"},
        {"x\\..\\nul", "nul"}, {"x\\..\\..\\y", "..\\y"}, {"..\\.", ".."}, {"x\\..", "."}, {".", "."}, {"", ""},
        {"x\\..\\C:\\y", ".\\C:\\y"}, {"C:x\\..\\..\\y", "C:..\\y"}, {"\\x\\..\\..", "\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folded(c.path), c.folded) << c.path;
        EXPECT_EQ(folded(c.folded), c.folded) << "folding " << c.folded << " again changes it";
    }
    // ソ (83 5C) is one character of a segment, a share's too: its 5C separates nothing.
    EXPECT_EQ(folded("C:\\a\x83\x5C..\\x", leadByteOf932), "C:\\a\x83\x5C\\x");
    EXPECT_EQ(folded("\\\\srv\\\x83\x5C" "a\x83\x5C\\..\\x", leadByteOf932), "\\\\srv\\\x83\x5C" "a\x83\x5C\\x");
    EXPECT_EQ(folded("C:\\a\x83\x5C..\\x"), "C:\\x");
}

TEST(DeviceNames, AreNamesOfDevicesInAnyForm)
{
    for (const char* name : {"CON", "con", "Aux.htm", "nul.txt", "NUL.tar.gz", "COM1", "com9.log",
                             "LPT5", "CONIN$", "conout$.x", "aux .htm", "nul...", "PRN  ", "com\xB9",
                             "LPT\xB2.txt", "com\xB3.log", "lpt\xB9 .x"})
        EXPECT_TRUE(nameIsDevice(name, superscriptsOf1252)) << name;
    for (const char* name : {"COM0", "LPT10", "COM", "console", "auxiliary.htm", "nula", "", "a.con",
                             "xcon", ".nul", "CONIN", "COM\xB9\xB9", "COM1\xB9", "COM\xC2\xB9"})
        EXPECT_FALSE(nameIsDevice(name, superscriptsOf1252)) << name;
    EXPECT_FALSE(nameIsDevice("com\xB9", noSuperscripts)) << "a letter in code page 1250";
    EXPECT_TRUE(nameIsDevice("COM\xC2\xB9.txt", superscriptsOfUtf8));
    EXPECT_FALSE(nameIsDevice("COM\xB9", superscriptsOfUtf8));
    for (const char* path : {"C:\\t\\nul:", "C:\\t\\aux.htm:x", "C:nul.txt", "nul", "\\\\.\\COM10",
                             "\\\\.\\pipe\\x", "\\\\?\\GLOBALROOT\\x", "\\??\\COM1", "\\\\?\\C:\\t\\con",
                             "\\\\.\\C:", "\\\\server\\pipe\\x", "\\\\?\\unc\\server\\PIPE\\x",
                             "\\\\.\\C:\\..\\GLOBALROOT\\Device\\Null", "\\\\.\\C:\\..\\pipe\\x",
                             "\\\\.\\C:\\..\\COM10", "\\\\.\\C:\\..\\PhysicalDrive0", "\\\\.\\C:\\..\\C:",
                             "\\\\.\\C:\\.", "C:\\t\\nul\\.", "C:\\t\\NUL.txt\\.", "C:\\t\\aux\\x\\..",
                             "C:\\t\\lpt1 \\.", "\\\\.\\UNC\\srv\\x\\..\\pipe\\y", "\\\\.\\UNC\\srv\\pipe.\\y",
                             "\\\\server\\\\pipe\\x", "C:\\t\\com\xB9", "C:\\t\\x\\..\\LPT\xB2.txt:s"})
        EXPECT_TRUE(namesDevice(path)) << path;
    for (const char* path : {"C:\\t\\f.txt:nul", "C:\\aux\\f.txt", "\\\\?\\C:\\t\\f.txt",
                             "\\\\?\\UNC\\server\\share\\f.txt", "\\\\server\\share\\f.txt", "C:",
                             "\\\\.\\C:\\t\\f.txt", "\\\\?\\unc\\server\\share\\f.txt", "\\\\?\\Volume{0}\\f.txt",
                             "\\\\.\\C:\\..\\C:\\t\\f.txt", "\\\\server\\share\\..\\pipe\\x", "C:\\t\\nul\\x",
                             "C:\\t\\nul\\. ", "\\\\?\\C:\\..\\GLOBALROOT\\x"})
        EXPECT_FALSE(namesDevice(path)) << path;
    EXPECT_FALSE(namesDevice("C:\\t\\com\xB9", noLeadBytes, noSuperscripts));
    // The share's name starts after the server's whole last character.
    EXPECT_TRUE(namesDevice("\\\\\x83\x5C\\pipe\\x", leadByteOf932));
    EXPECT_TRUE(namesDevice("\\\\a\\pipe\\x", leadByteOf932));
    EXPECT_FALSE(namesDevice("\\\\\x83\x5Cpipe\\x\\y", leadByteOf932)) << "the server is ソpipe";
    EXPECT_TRUE(namesDevice("\\\\\x83\x5Cpipe\\x\\y"));
    for (const char* path : {"C:\\t\\f.txt:notes", "f.txt:", "\\\\?\\C:\\t\\f.txt:x"})
        EXPECT_TRUE(pathHasStream(path)) << path;
    for (const char* path : {"C:\\t\\f.txt", "C:f.txt", "\\\\?\\C:\\t\\f.txt", "\\\\server\\share\\f"})
        EXPECT_FALSE(pathHasStream(path)) << path;
    // ASCII names take a shorter route to the same answer.
    auto ascii = [](const char* name) {
        while (*name != '\0' && (unsigned char)*name < 0x80)
            ++name;
        return *name == '\0';
    };
    for (const char* name : {"report.txt.", "name ", "aux.htm", "..", "a. ", "unix:name", "pipe|x",
                             "back\\slash", "q?mark", "star*x", "lt<x", "gt>x", "dq\"x", "ctl\x01x",
                             "tab\tx", "a/b", "com\xB9", "Nul.txt", "CON", "lpt1", "conout$.x", "PRN .a"}) {
        EXPECT_FALSE(nameIsListable(name, noLeadBytes, superscriptsOf1252)) << name;
        EXPECT_FALSE(ascii(name) && asciiNameIsListable(name, strlen(name))) << name;
    }
    for (const char* name : {"report.txt", ".profile", "a b.txt", "auxiliary", "del\x7F", "caf\xE9", "com10",
                             "console", "lpt", "nul-x", ""}) {
        EXPECT_TRUE(nameIsListable(name, noLeadBytes, superscriptsOf1252)) << name;
        EXPECT_TRUE(!ascii(name) || asciiNameIsListable(name, strlen(name))) << name;
    }
    EXPECT_TRUE(nameIsListable("com\xB9", noLeadBytes, noSuperscripts));
    // ソ (83 5C) and ポ (83 7C) are whole characters, not "\" or "|".
    EXPECT_TRUE(nameIsListable("\x83\x5C.txt", leadByteOf932, noSuperscripts));
    EXPECT_TRUE(nameIsListable("a\x83\x7C", leadByteOf932, noSuperscripts));
    EXPECT_FALSE(nameIsListable("a\x83\x7C", noLeadBytes, noSuperscripts));
}

char16_t upcaseLatin1(char16_t unit)
{
    return (unit >= u'a' && unit <= u'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7)
               ? (char16_t)(unit - 0x20) : unit;
}

// Each row: a pattern, then names it matches, then after "|" names it does not.
TEST(LongNames, MatchPatternsAsTheFolderSearchDoes)
{
    struct Case { const char16_t* pattern; std::vector<const char16_t*> names; } cases[] = {
        {u"*.tmp", {u"old.tmp", u"OLD.TMP", u"a.b.tmp", u"|", u"report.tmpl", u"data.tmp1", u"tmp"}},
        {u"*.htm", {u"index.htm", u"|", u"index.html", u"page.html"}},
        {u"*.*", {u"noext", u"a.b.c", u".x"}},
        {u"*", {u"noext", u"a.b"}},
        {u"*.", {u"noext", u"|", u"a.txt"}},
        {u"a?.txt", {u"a.txt", u"ab.txt", u"|", u"abc.txt", u"b.txt"}},
        {u"abc?", {u"abc", u"abcd", u"|", u"abcde", u"ab"}},
        {u"???", {u"ab", u"abc", u"|", u"abcd"}},
        {u"abc.", {u"abc", u"|", u"abcd"}},
        {u"*.tx?", {u"a.tx", u"a.txt", u"|", u"a.txts"}},
        {u"d*.t*", {u"data.tmp1", u"d.t", u"|", u"data", u"x.tmp"}},
        {u"*.txt ", {u"a.txt", u"|", u"a.txt1"}},
        {u"\u00e9*.TXT", {u"\u00c9t\u00e9.txt", u"|", u"et.txt"}},
        {u"*a*b*c*", {u"xaxbxcx", u"abc", u"|", u"acb"}},
        {u"*..", {u"a", u"aaa", u"|", u"a.a"}},
        {u"* .", {u"a", u"aaa", u"|", u"a.a"}},
        {u"*. .", {u"a", u"|", u"a.a"}},
        {u"a* .", {u"a", u"aaa", u"|", u"a.a", u"b"}},
        {u"*. ", {u"a", u"a.a"}},
        {u"*.. ", {u"a", u"a.a"}},
        {u"<<", {u"a.a", u"aaa"}},
        {u"<<.", {u"a.a"}},
        {u"ab<exe", {u"abcd.exe", u"ab.exe", u"abcd.exe.exe", u"|", u"ab.exe.txt", u"abcd.ex"}},
        {u"a.b<exe", {u"a.bcd.exe", u"|", u"a.bcd.ex", u"a.bcd.exe.x"}},
    };
    for (const Case& c : cases) {
        bool expected = true;
        for (const char16_t* name : c.names) {
            if (name[0] == u'|' && name[1] == 0) {
                expected = false;
                continue;
            }
            EXPECT_EQ(longNameMatches(c.pattern, name, upcaseLatin1), expected)
                << std::u16string(c.pattern).size() << "-unit pattern, row " << (&c - cases);
        }
    }
    EXPECT_TRUE(patternHasWildcards(u"a?"));
    EXPECT_TRUE(patternHasWildcards(u"<.htm"));
    EXPECT_FALSE(patternHasWildcards(u"PROGRA~1"));
}

TEST(LocationsConvert, NeverWritePastTheBuffer)
{
    char path[16];
    memset(path, 'X', sizeof path);
    std::string fits(15, 'a'), tooLong(16, 'a');
    EXPECT_TRUE(locationToPath(fits.c_str(), path, sizeof path, noLeadBytes));
    EXPECT_EQ(std::string(path), fits);

    char guarded[32];
    memset(guarded, 'G', sizeof guarded);
    EXPECT_FALSE(locationToPath(tooLong.c_str(), guarded, 16, noLeadBytes));
    for (size_t i = 16; i < sizeof guarded; ++i)
        ASSERT_EQ(guarded[i], 'G') << "byte " << i << " written past the buffer";
    EXPECT_FALSE(locationToPath("a", guarded, 0, noLeadBytes));
}

// The common location's shortest route gives what the full one gives (the
// conversion, folding, the device rules), or leaves the location to it.
TEST(LocationsConvert, ShortestRouteGivesTheFullRoutesAnswer)
{
    const std::string tooLong = "C:/" + std::string(300, 'a');
    const struct {
        const char* text;
        bool taken;
    } rows[] = {
        {"file:///C|/Site/index.htm", true}, {"see file:///D|/x.txt", false}, {"c:/My%20Site/a b/", false},
        {"C:/My%20Site/x file:///D|/x.txt", false},
        {"C:\\", true}, {"C:/x/nul", true}, {"C:/x/AUX.htm", true}, {"C:/x/nul:s", true},
        {"C:/x/com1", true}, {"C:/x/com10", true}, {"C:/a/b.", true}, {"C:/a/...", true},
        {"C:/a/.../b", false}, {"C:/a./b", false}, {"C:/a/./b", false}, {"C:/a/../b", false},
        {"C:/a//b", false}, {"C:/a/.", false}, {"C:/a/..", false}, {"//server/share/x", false},
        {"//./C:/../pipe/x", false}, {"C:x", false}, {"x/y", false}, {"file://server/share/a.txt", false},
        {"C:/\x83\x5C/a", false}, {"\x83" "file:///C|/a", false}, {tooLong.c_str(), false},
    };
    for (const auto& row : rows) {
        char path[kPathSize];
        PlainRoute plain = plainLocationToPath(row.text, path, sizeof path);
        EXPECT_EQ(plain != kNotPlain, row.taken) << row.text;
        if (plain == kNotPlain)
            continue;
        std::string full = folded(converted(row.text, leadByteOf932).c_str(), leadByteOf932);
        EXPECT_EQ(path, full) << row.text;
        EXPECT_EQ(plain == kPlainDevice, pathNamesDevice(full.c_str(), leadByteOf932, superscriptsOf1252)) << row.text;
    }
}

// Folders takes only entries whose sole attribute is the folder attribute.
TEST(ListingFilters, FoldersTakeOnlyPlainFolders)
{
    EXPECT_TRUE(entryIsListed(kAttributeFolder, "img", kListFolders));
    EXPECT_FALSE(entryIsListed(kAttributeFolder | kAttributeReadOnly, "img", kListFolders));
    EXPECT_FALSE(entryIsListed(kAttributeFolder | kAttributeArchive, "img", kListFolders));
    EXPECT_TRUE(entryIsListed(0, "plain.txt", kListFolders)) << "a file with no attribute at all";
    EXPECT_FALSE(entryIsListed(kAttributeArchive, "a.txt", kListFolders));
    EXPECT_FALSE(entryIsListed(kAttributeFolder, "..", kListAll));
    EXPECT_TRUE(entryIsListed(0, "..", kListAll)) << "only folders named . and .. are dropped";
    EXPECT_EQ(chooseFilter(""), kListRefused);
    EXPECT_EQ(chooseFilter("x"), kListRefused);
    EXPECT_EQ(chooseFilter("Writable"), kListWritable);
}

TEST(ListingText, NamesJoinedWithoutOuterSeparators)
{
    Listing listing = {NULL, 0, 0};
    ASSERT_TRUE(startListing(&listing));
    EXPECT_STREQ(listing.text, "");
    ASSERT_TRUE(appendListingName(&listing, "a.txt"));
    ASSERT_TRUE(appendListingName(&listing, ""));
    ASSERT_TRUE(appendListingName(&listing, "b.htm"));
    EXPECT_STREQ(listing.text, "a.txt::b.htm");
    EXPECT_EQ(listing.length, strlen(listing.text));
    ASSERT_TRUE(startListing(&listing));
    EXPECT_STREQ(listing.text, "") << "a new listing starts empty, storage kept";
    trimListing(&listing, 0);
    EXPECT_EQ(listing.text, nullptr);
}

// Growth keeps every name whole, and trimming gives back only storage that
// grew beyond what is kept between calls.
TEST(ListingText, GrowsPastAnyFixedSizeAndTrims)
{
    Listing listing = {NULL, 0, 0};
    ASSERT_TRUE(startListing(&listing));
    std::string expected;
    std::string name(255, 'n');
    for (int i = 0; i < 2000; ++i) {
        name[i % 255] = (char)('a' + i % 26);
        ASSERT_TRUE(appendListingName(&listing, name.c_str()));
        expected += (i ? ":" : "") + name;
    }
    EXPECT_EQ(listing.length, expected.size());
    EXPECT_EQ(std::string(listing.text), expected);
    EXPECT_GE(listing.capacity, expected.size() + 1);
    trimListing(&listing, 1 << 30);
    EXPECT_NE(listing.text, nullptr) << "within the kept size";
    trimListing(&listing, 65536);
    EXPECT_EQ(listing.text, nullptr);
    EXPECT_EQ(listing.capacity, 0u);
    ASSERT_TRUE(startListing(&listing));
    ASSERT_TRUE(appendListingName(&listing, "again"));
    EXPECT_STREQ(listing.text, "again");
    trimListing(&listing, 0);
}

TEST(ServicesRecord, CopiesWholeEntriesWithinTheSize)
{
    void* table[kServiceCount + 2];
    for (size_t i = 0; i < kServiceCount + 2; ++i)
        table[i] = (void*)(uintptr_t)(0x1000 + i);
    const size_t entry = sizeof(void*);
    struct Case { uint32_t size; size_t copied; } cases[] = {
        {0, 0}, {(uint32_t)entry - 1, 0}, {(uint32_t)entry, 1}, {(uint32_t)(2 * entry), 2},
        {(uint32_t)(7 * entry + entry / 2), 7}, {(uint32_t)(16 * entry), 16},
        {(uint32_t)(18 * entry), 16}, {0xFFFFFFFFu, 16}};
    for (const Case& c : cases) {
        HostServices services;
        memset(&services, 0xAB, sizeof services);
        copyHostServices(&services, table, c.size);
        void* entries[kServiceCount];
        memcpy(entries, &services, sizeof entries);
        for (size_t i = 0; i < kServiceCount; ++i)
            EXPECT_EQ(entries[i], i < c.copied ? table[i] : nullptr) << "size " << c.size << " entry " << i;
    }
    HostServices services;
    copyHostServices(&services, NULL, 64);
    EXPECT_EQ(services.registerNative, nullptr);
}

TEST(ValueEncoding, IntegersAreTagged)
{
    EXPECT_EQ(integerValue(0), 1u);
    EXPECT_EQ(integerValue(1), 3u);
    EXPECT_EQ(integerValue(-1), 0xFFFFFFFFu);
    EXPECT_EQ(integerValue(1 << 29), (1u << 30) | 1u);
    EXPECT_EQ(integerValue(INT32_MIN), 1u) << "the top bit is lost, never undefined";
}

int32_t decoded(ScriptValue value) { return (int32_t)value >> 1; }

TEST(TickCount, EncodedModulo2To31AsASigned31BitInteger)
{
    EXPECT_EQ(tickCountValue(0), 1u);
    EXPECT_EQ(decoded(tickCountValue(1)), 1);
    EXPECT_EQ(decoded(tickCountValue((1u << 30) - 1)), (1 << 30) - 1);
    EXPECT_EQ(decoded(tickCountValue(1u << 30)), -(1 << 30));
    EXPECT_EQ(decoded(tickCountValue((1u << 31) - 1)), -1);
    EXPECT_EQ(decoded(tickCountValue(1u << 31)), 0);
    EXPECT_EQ(decoded(tickCountValue((1u << 31) + 5)), 5);
    EXPECT_EQ(decoded(tickCountValue(0xFFFFFFFFu)), -1);
    for (uint32_t ticks : {0u, 7u, 1u << 30, 0xFFFFFFFFu})
        EXPECT_EQ(tickCountValue(ticks) & 1u, 1u);
}

} // namespace
