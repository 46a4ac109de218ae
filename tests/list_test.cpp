// list: which entries each filter takes, the listing text, and searches that
// find nothing or cannot start.
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "scratch.h"

namespace {

// The names of a listing, sorted: the search's own order is the platform's.
std::vector<std::string> namesOf(const std::string& listing)
{
    std::vector<std::string> names;
    if (listing.empty())
        return names;
    std::stringstream in(listing);
    std::string name;
    while (std::getline(in, name, ':'))
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

class Listings : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        writeBytes(at("a.txt"), "a");
        writeBytes(at("b.htm"), "b");
        CreateDirectoryA(at("img").c_str(), NULL);
    }
    Answer list(const std::string& pattern) { return host.call("list", {location(pattern)}); }
    Answer list(const std::string& pattern, const std::string& filter)
    {
        return host.call("list", {location(pattern), host.text(filter)});
    }
    std::vector<std::string> names(Answer answer)
    {
        EXPECT_EQ(answer.flag, 1);
        return namesOf(host.textOf(answer.value));
    }
    typedef std::vector<std::string> Names;
};

TEST_F(Listings, EachFilterTakesItsEntries)
{
    EXPECT_EQ(names(list("*.*")), (Names{"a.txt", "b.htm"}));
    EXPECT_EQ(names(list("*.*", "A")), (Names{"a.txt", "b.htm", "img"}));
    EXPECT_EQ(names(list("*.*", "all")), (Names{"a.txt", "b.htm", "img"}));
    EXPECT_EQ(names(list("*.*", "D")), (Names{"img"}));
    EXPECT_EQ(names(list("*.*", "dx")), (Names{"img"})) << "only the first letter counts";
    EXPECT_EQ(names(list("*.*", "w")), (Names{"a.txt", "b.htm"}));
    EXPECT_EQ(names(list("*.htm")), (Names{"b.htm"}));
    EXPECT_EQ(names(list("", "A")), (Names{})) << "an empty name matches nothing";
    EXPECT_EQ(host.textOf(list("img", "A").value), "img") << "no wildcard: the folder itself";
}

TEST_F(Listings, TextIsNamesJoinedByColons)
{
    Answer answer = list("*.*", "a");
    std::string text = host.textOf(answer.value);
    EXPECT_EQ(text.size(), std::string("a.txt:b.htm:img").size());
    EXPECT_NE(text.front(), ':');
    EXPECT_NE(text.back(), ':');
    EXPECT_EQ(text.find("::"), std::string::npos);
}

TEST_F(Listings, DotEntriesHiddenAndSystemNeverAppear)
{
    writeBytes(at("hidden.txt"), "h");
    SetFileAttributesA(at("hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    writeBytes(at("system.txt"), "s");
    SetFileAttributesA(at("system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryA(at("hiddenDir").c_str(), NULL);
    SetFileAttributesA(at("hiddenDir").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    for (const char* filter : {"a", "d", "w"}) {
        Names listed = names(list("*", filter));
        for (const char* never : {".", "..", "hidden.txt", "system.txt", "hiddenDir"})
            EXPECT_EQ(std::count(listed.begin(), listed.end(), never), 0) << never << " with " << filter;
    }
    EXPECT_EQ(names(list("*")), (Names{"a.txt", "b.htm"}));
}

TEST_F(Listings, WritableLeavesOutReadOnlyFiles)
{
    setReadOnly(at("b.htm"), true);
    EXPECT_EQ(names(list("*", "W")), (Names{"a.txt"}));
    EXPECT_EQ(names(list("*")), (Names{"a.txt", "b.htm"}));
}

TEST_F(Listings, ReadOnlyFolderIsNotAPlainFolder)
{
    CreateDirectoryA(at("locked").c_str(), NULL);
    SetFileAttributesA(at("locked").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    DWORD attributes = GetFileAttributesA(at("locked").c_str());
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0)
        GTEST_SKIP() << "Wine does not keep the read-only attribute on a folder";
    EXPECT_EQ(names(list("*", "d")), (Names{"img"}));
}

TEST_F(Listings, NothingFoundGivesTheEmptyText)
{
    EXPECT_EQ(host.textOf(list("*.none").value), "");
    EXPECT_EQ(host.textOf(list("missing\\*.*").value), "");
    DWORD drives = GetLogicalDrives();
    char missingDrive = 'Z';
    while (missingDrive > 'D' && (drives & (1u << (missingDrive - 'A'))) != 0)
        --missingDrive;
    EXPECT_EQ(host.textOf(host.call("list", {host.text(std::string(1, missingDrive) + ":/*")}).value), "")
        << "a missing drive";
    EXPECT_EQ(host.textOf(host.call("list", {host.text("//qvfile-no-such-host/share/*")}).value), "")
        << "a missing server";
    EXPECT_EQ(host.textOf(list("img\\*.*").value), "") << "only . and ..";
    EXPECT_EQ(host.textOf(list("*.*", "d").value), "img");
    EXPECT_EQ(host.textOf(list("*.htm", "d").value), "") << "matches, but none is taken";
    for (const char* pattern : {"a<b*", "a>b*", "a\"b*"})
        EXPECT_EQ(host.textOf(list(pattern).value), "") << pattern << ": the search's own wildcards";
}

// A search that cannot start answers the integer 0, never an old listing:
// a character no name may hold outside the last part's wildcards, a stream's
// colon ("|" becomes ":") or a control character anywhere (Wine searches
// those and finds nothing).
TEST_F(Listings, SearchThatCannotStartAnswersZero)
{
    ASSERT_EQ(names(list("*.*")).size(), 2u);
    for (const char* pattern : {"a<b\\*", "*\\*", "a|b*", "a|b\\*", "a\x01" "b*", "a\x1F*", "a\tb\\*"}) {
        Answer answer = list(pattern);
        EXPECT_EQ(answer.flag, 1) << pattern;
        EXPECT_TRUE(answer.isInteger(0)) << pattern << " gave " << host.textOf(answer.value);
    }
}

TEST_F(Listings, RefusedFiltersAndCounts)
{
    for (std::vector<ScriptValue> args :
         {std::vector<ScriptValue>{}, {location("*"), host.text("x")}, {location("*"), host.text("")},
          {location("*"), host.unconvertible()}, {location("*"), host.text("a"), host.text("a")},
          {host.unconvertible()}, {host.text(std::string(261, 'a'))}}) {
        Answer answer = host.call("list", args);
        EXPECT_EQ(answer.flag, 0) << args.size();
        EXPECT_FALSE(answer.touched);
    }
}

// Long listings come back whole, however long, and a short listing after a
// long one is still right. Long names make the listing long with few files:
// Wine scans the whole folder for each file created in it.
TEST_F(Listings, LongListingsAreNeverCut)
{
    CreateDirectoryA(at("many").c_str(), NULL);
    // Names as long as the folder's path leaves room for, up to 250.
    const size_t nameLength = std::min<size_t>(250, MAX_PATH - 1 - at("many\\").size());
    ASSERT_GT(nameLength, 150u);
    const size_t wanted = 4 * 65536;
    Names created;
    for (size_t length = 0; length <= wanted + 1; length += nameLength + 1) {
        std::string name = std::to_string(created.size()) + "-";
        name += std::string(nameLength - name.size() - 4, (char)('a' + created.size() % 26)) + ".dat";
        HANDLE file = CreateFileA(at("many\\" + name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        CloseHandle(file);
        created.push_back(name);
    }
    std::sort(created.begin(), created.end());
    std::string text = host.textOf(list("many\\*").value);
    EXPECT_GT(text.size(), wanted);
    EXPECT_EQ(text.size(), created.size() * (nameLength + 1) - 1);
    EXPECT_TRUE(namesOf(text) == created) << "the listing's names differ from the " << created.size() << " made";
    EXPECT_EQ(names(list("*.*")), (Names{"a.txt", "b.htm"}));
}

// Names are read in UTF-16 and listed only when the ANSI code page writes
// them exactly: a best-fit lookalike ("ａ.txt" as "a.txt") or '?' (a wildcard)
// would name another file. Every listed name reads back the file it names.
TEST_F(Listings, OnlyNamesTheCodePageWritesExactlyAreListed)
{
    struct Entry {
        const wchar_t* name;
        const char* ansi1252; // NULL: cannot be written exactly in 1252
    } entries[] = {
        {L"a.txt", "a.txt"},           {L"\xFF41.txt", NULL},      // fullwidth a
        {L"\x65E5\x672C.txt", NULL},   {L"\xFF2B\xFF45\xFF59.txt", NULL}, // 日本, Ｋｅｙ
        {L"caf\xE9.txt", "caf\xE9.txt"}, {L"\x20ACuro.txt", "\x80uro.txt"},
    };
    std::string folderPath = at("names");
    CreateDirectoryA(folderPath.c_str(), NULL);
    std::wstring folder(folderPath.begin(), folderPath.end()); // the scratch path is ASCII
    for (const Entry& entry : entries) {
        HANDLE file = CreateFileW((folder + L"\\" + entry.name).c_str(), GENERIC_WRITE, 0, NULL,
                                  CREATE_NEW, 0, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, entry.name, (DWORD)(wcslen(entry.name) * sizeof(wchar_t)), &written, NULL);
        CloseHandle(file);
    }
    std::string listing = host.textOf(list("names\\*").value);
    EXPECT_EQ(listing.find('?'), std::string::npos) << listing;
    Names listed = namesOf(listing);
    if (GetACP() == 1252) {
        Names expected;
        for (const Entry& entry : entries)
            if (entry.ansi1252 != NULL)
                expected.push_back(entry.ansi1252);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected);
    } else {
        std::cout << "note: ANSI code page " << GetACP() << ", not 1252: checking only that listed names are exact\n";
    }
    EXPECT_TRUE(std::adjacent_find(listed.begin(), listed.end()) == listed.end()) << listing;
    for (const std::string& name : listed) {
        wchar_t wide[MAX_PATH];
        int length = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, MAX_PATH);
        ASSERT_GT(length, 0) << name;
        Answer content = host.call("read", {location("names\\" + name)});
        EXPECT_EQ(host.textOf(content.value),
                  std::string((const char*)wide, (length - 1) * sizeof(wchar_t)))
            << name << " reads another file";
    }
}

// Makes a file under any name, through "\\?\" (which the system passes on
// unchanged: trailing dots and spaces kept, device names taken as names), as
// another system or a network share may have made it. Fails when the name
// did not arrive as given.
bool makeFileNamed(const std::string& folder, const std::wstring& name, const std::string& bytes)
{
    std::wstring path = L"\\\\?\\" + std::wstring(folder.begin(), folder.end()) + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return name == entry.cFileName;
}

// A listed name means one file, the one found: entries that match a pattern
// only through their short (8.3) name are left out, and so are names the
// system would read as another file (a trailing dot or space) or a device.
TEST_F(Listings, EveryListedNameNamesTheFileFound)
{
    std::string folder = at("one");
    CreateDirectoryA(folder.c_str(), NULL);
    for (const wchar_t* name : {L"old.tmp", L"report.tmpl", L"data.tmp1", L"index.htm", L"index.html",
                                L"page.html", L"report.txt", L"NOTES"})
        ASSERT_TRUE(makeFileNamed(folder, name, "KEEP ME"));
    int unlistable = 0;
    for (const wchar_t* name : {L"report.txt.", L"trail.txt ", L"aux.htm", L"nul.txt", L"com\u00B9",
                                L"LPT\u00B2.txt"})
        unlistable += makeFileNamed(folder, name, "junk");
    if (unlistable < 6)
        std::cout << "note: only " << unlistable << " of 6 names with trailing dots or spaces "
                  << "or of devices could be made here\n";
    // Names no Windows name may hold, as a Unix file system or a share has them.
    int unixMade = 0;
    for (const char* name : {"unix:name", "pipe|x", "back\\slash", "q?mark", "star*x", "lt<x", "gt>x",
                             "dq\"x", "ctl\x01x"})
        unixMade += makeUnixFile(folder, name);
    if (runningUnderWine())
        EXPECT_EQ(unixMade, 9) << "names made from the Unix side";
    struct Case { const char* pattern; Names listed; } cases[] = {
        {"*.tmp", {"old.tmp"}},
        {"*.htm", {"index.htm"}},
        {"*.txt", {"report.txt"}},
        {"d*.tmp?", {"data.tmp1"}},
        {"*.*", {"NOTES", "data.tmp1", "index.htm", "index.html", "old.tmp", "page.html", "report.tmpl",
                 "report.txt"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(list(std::string("one\\") + c.pattern)), c.listed) << c.pattern;
    EXPECT_EQ(names(list("one\\report.txt")), (Names{"report.txt"}));
    EXPECT_EQ(readBytes(at("one\\report.txt")), "KEEP ME");
    if (runningUnderWine())
        GTEST_SKIP() << "Wine's search matches \"*.\" against every name, not only names without a "
                        "dot, and entries without a short name are listed as the search found them";
    EXPECT_EQ(names(list("one\\*.")), (Names{"NOTES"}));
}

TEST_F(Listings, LargeFileDoesNotDisturbTheListing)
{
    HANDLE file = CreateFileA(at("big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 5LL << 30;
    SetFilePointerEx(file, size, NULL, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    EXPECT_EQ(names(list("*.*")), (Names{"a.txt", "b.htm", "big.bin"}));
}

} // namespace
