// Location texts at the length boundaries, through a script function.
#include <windows.h>

#include <iostream>

#include <gtest/gtest.h>

#include "scratch.h"

namespace {

class LocationLengths : public ScratchTest {
protected:
    // Makes a file whose full path has exactly `length` characters.
    std::string fileWithPathLength(size_t length)
    {
        std::string path = at("");
        path += std::string(length - path.size(), 'n');
        writeBytes(path, "x");
        EXPECT_TRUE(pathExists(path)) << "cannot make a path of " << length;
        return path;
    }
    Answer exists(const std::string& text) { return host.call("exists", {host.text(text)}); }
};

// Without the prefix the text is the path: 259 characters fit the 260-byte
// buffer with the terminator, 260 do not, 261 exceed the text limit.
TEST_F(LocationLengths, PlainPathsUpTo259Characters)
{
    std::string path259 = fileWithPathLength(259);
    EXPECT_TRUE(exists(path259).isInteger(1));
    Answer answer260 = exists(path259 + "x");
    EXPECT_EQ(answer260.flag, 0);
    EXPECT_FALSE(answer260.touched);
    Answer answer261 = exists(path259 + "xy");
    EXPECT_EQ(answer261.flag, 0);
    EXPECT_FALSE(answer261.touched);
}

// With the prefix, the text limit of 260 counts the prefix too.
TEST_F(LocationLengths, PrefixedTextsUpTo260Characters)
{
    std::string path252 = fileWithPathLength(252);
    std::string path251 = fileWithPathLength(251);
    EXPECT_EQ(locationOf(path251).size(), 259u);
    EXPECT_TRUE(exists(locationOf(path251)).isInteger(1));
    EXPECT_TRUE(exists(locationOf(path252)).isInteger(1));
    std::string text261 = locationOf(path252) + "n";
    ASSERT_EQ(text261.size(), 261u);
    fileWithPathLength(253);
    Answer answer = exists(text261);
    EXPECT_EQ(answer.flag, 0) << "refused although the path alone would fit";
    EXPECT_FALSE(answer.touched);
}

// A host that reports fewer bytes than the text holds cannot make the
// library copy past its buffer: the conversion stops at the buffer's end.
TEST_F(LocationLengths, UnderReportedLengthIsBoundedByTheBuffer)
{
    std::string path259 = fileWithPathLength(259);
    host.reportedLength = 10;
    EXPECT_TRUE(exists(path259).isInteger(1));
    for (size_t length : {260u, 300u, 5000u}) {
        Answer answer = exists(std::string(length, 'z'));
        EXPECT_EQ(answer.flag, 0) << length;
        EXPECT_FALSE(answer.touched) << length;
    }
}

// A location that names no file of its own is refused by every function,
// in either place, and nothing is touched: a zero byte inside it would make
// the platform see a shorter path ("app.exe\0.log" names app.exe), and a
// device name (aux.htm, NUL, COM1) names a device, where writes vanish or
// block on a port.
TEST_F(LocationLengths, LocationsThatNameNoFileAreRefusedEverywhere)
{
    writeBytes(at("app.exe"), "program");
    writeBytes(at("src.txt"), "source");
    std::wstring folder(root.begin(), root.end());
    HANDLE page = CreateFileW((L"\\\\?\\" + folder + L"\\aux.htm").c_str(), GENERIC_WRITE, 0, NULL,
                              CREATE_NEW, 0, NULL);
    DWORD written = 0;
    WriteFile(page, "old page", 8, &written, NULL);
    CloseHandle(page);
    ScriptValue source = location("src.txt"), target = location("new.txt"), data = host.text("x");
    std::vector<ScriptValue> refused = {
        host.text(locationOf(at("app.exe")) + std::string("\0.log", 5)), location("aux.htm"),
        host.text(at("nul.txt")), location("COM1"), location("lpt1 .log"), location("CONOUT$"),
        location("Con."), location("prn.tar.gz"), host.text("NUL"), location("aux.htm|"),
        host.text("//./pipe/qvfile-none"), host.text("//./C:/../GLOBALROOT/Device/Null"),
        host.text("//./C:/../pipe/qvfile-none"), host.text("//./C:/../COM10"), host.text("//./C:/../C:"),
        location("nul/."), location("NUL.txt/."), location("lpt1/x/.."), host.text(at("con") + "\\.")};
    // Superscript digits are digits of COM and LPT names, in the code page
    // that holds them.
    for (const wchar_t* name : {L"com\u00B9", L"LPT\u00B2.txt"}) {
        char ansi[16];
        BOOL usedDefault = FALSE;
        if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, ansi, sizeof ansi, NULL,
                                &usedDefault) != 0 && !usedDefault)
            refused.push_back(location(ansi));
    }
    for (ScriptValue bad : refused) {
        struct Call {
            const char* function;
            std::vector<ScriptValue> args;
        } calls[] = {
            {"exists", {bad}}, {"isDir", {bad}}, {"isFile", {bad}}, {"canRead", {bad}},
            {"canWrite", {bad}}, {"read", {bad}}, {"write", {bad, data}}, {"write", {bad, data, data}},
            {"list", {bad}}, {"mkdir", {bad}}, {"remove", {bad}}, {"rename", {bad, target}},
            {"rename", {source, bad}}, {"copy", {bad, target}}, {"copy", {source, bad}},
        };
        for (const Call& call : calls) {
            Answer answer = host.call(call.function, call.args);
            EXPECT_EQ(answer.flag, 0) << call.function << " with " << call.args.size() << " on "
                                      << host.textOf(bad);
            EXPECT_FALSE(answer.touched) << call.function;
        }
    }
    Answer folderCut = host.call("mkdir", {host.text(at("newdir") + std::string("\0x", 2))});
    EXPECT_EQ(folderCut.flag, 0);
    EXPECT_EQ(readBytes(at("app.exe")), "program");
    EXPECT_EQ(readBytes(at("src.txt")), "source");
    EXPECT_EQ(readBytes("\\\\?\\" + root + "\\aux.htm"), "old page");
    EXPECT_FALSE(pathExists(at("new.txt")));
    EXPECT_FALSE(pathExists(at("newdir")));
    for (const char* device : {"nul", "NUL.txt", "lpt1", "con"})
        EXPECT_FALSE(pathExists("\\\\?\\" + at(device))) << device << " made";
}

// A character of the ANSI code page whose form there is two bytes, the
// second `trail`: the `skip`-th one from U+3000 on, or "" where none is.
std::string characterWithTrailByte(char trail, int skip = 0)
{
    for (wchar_t unit = 0x3000; unit < 0xFF00; ++unit) {
        char ansi[4];
        BOOL usedDefault = FALSE;
        int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &unit, 1, ansi, sizeof ansi, NULL,
                                         &usedDefault);
        if (length == 2 && !usedDefault && ansi[1] == trail && skip-- == 0)
            return std::string(ansi, 2);
    }
    return "";
}

// On double-byte code pages the second byte of a character may be "|", "\" or
// "f": the character names its own file through every function, and the
// prefix is never found inside a character.
TEST_F(LocationLengths, TwoByteCharactersNameTheirOwnFile)
{
    std::string bar = characterWithTrailByte('|'), otherBar = characterWithTrailByte('|', 1);
    std::string backslash = characterWithTrailByte('\\'), f = characterWithTrailByte('f');
    if (bar.empty() && backslash.empty() && f.empty())
        GTEST_SKIP() << "code page " << GetACP() << " has no two-byte character ending in | \\ or f";
    std::cout << "note: two-byte characters of code page " << GetACP() << " checked\n";
    std::vector<std::string> names;
    if (!bar.empty())
        names = {bar + ".txt", "a" + bar};
    if (!backslash.empty()) {
        names.push_back(backslash + ".txt");
        names.push_back("d" + backslash);
    }
    for (const std::string& name : names) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, at(name).c_str(), -1, wide, MAX_PATH);
        EXPECT_TRUE(host.call("write", {location(name), host.text(name)}).isInteger(1)) << name;
        EXPECT_NE(GetFileAttributesW(wide), INVALID_FILE_ATTRIBUTES) << name << " made another file";
        EXPECT_EQ(host.textOf(host.call("read", {location(name)}).value), name);
        for (const char* query : {"exists", "canRead", "canWrite"})
            EXPECT_TRUE(host.call(query, {location(name)}).isInteger(1)) << query << " " << name;
        EXPECT_EQ(host.textOf(host.call("list", {location(name)}).value), name);
        EXPECT_TRUE(host.call("copy", {location(name), location(name + "2")}).isInteger(1)) << name;
        EXPECT_TRUE(host.call("rename", {location(name + "2"), location(name + "3")}).isInteger(1));
        EXPECT_EQ(readBytes(at(name + "3")), name);
        EXPECT_TRUE(host.call("remove", {location(name + "3")}).isInteger(1)) << name;
        bool endsInBackslashByte = name.back() == '\\';
        if (!(endsInBackslashByte && runningUnderWine()))
            EXPECT_TRUE(host.call("isFile", {location(name)}).isInteger(1)) << name;
        EXPECT_TRUE(host.call("remove", {location(name)}).isInteger(1)) << name;
        EXPECT_TRUE(host.call("mkdir", {location(name)}).isInteger(1)) << name;
        EXPECT_EQ(host.textOf(host.call("list", {location(name), host.text("d")}).value), name);
        if (!(endsInBackslashByte && runningUnderWine()))
            EXPECT_TRUE(host.call("isDir", {location(name)}).isInteger(1)) << name;
    }
    if (!otherBar.empty()) {
        EXPECT_TRUE(host.call("exists", {location(otherBar + ".txt")}).isInteger(0))
            << "two names, one file";
    }
    if (!f.empty()) {
        writeBytes(at("target.txt"), "kept");
        std::string inside = f.substr(0, 1) + locationOf(at("target.txt"));
        host.call("write", {host.text(inside), host.text("replaced")});
        EXPECT_EQ(readBytes(at("target.txt")), "kept") << "the prefix was found inside a character";
    }
    if (runningUnderWine() && !backslash.empty())
        GTEST_SKIP() << "Wine's _stat64 takes a final second byte 0x5C for a trailing backslash; "
                        "the runtime's documentation has it read characters of the code page";
}

} // namespace
