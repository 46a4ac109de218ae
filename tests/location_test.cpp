// Location texts at the length boundaries, through a script function.
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

// A zero byte inside a location would make the platform see a shorter path
// than the script wrote ("app.exe\0.log" names app.exe): every function that
// takes a location refuses it, in either place, and touches nothing.
TEST_F(LocationLengths, ZeroByteInsideALocationIsRefusedEverywhere)
{
    writeBytes(at("app.exe"), "program");
    writeBytes(at("src.txt"), "source");
    ScriptValue cut = host.text(locationOf(at("app.exe")) + std::string("\0.log", 5));
    ScriptValue folder = host.text(at("newdir") + std::string("\0x", 2));
    ScriptValue source = location("src.txt"), target = location("new.txt"), data = host.text("x");
    struct Call {
        const char* function;
        std::vector<ScriptValue> args;
    } calls[] = {
        {"exists", {cut}}, {"isDir", {cut}}, {"isFile", {cut}}, {"canRead", {cut}},
        {"canWrite", {cut}}, {"read", {cut}}, {"write", {cut, data}}, {"write", {cut, data, data}},
        {"list", {cut}}, {"mkdir", {folder}}, {"remove", {cut}}, {"rename", {cut, target}},
        {"rename", {source, cut}}, {"copy", {cut, target}}, {"copy", {source, cut}},
    };
    for (const Call& call : calls) {
        Answer answer = host.call(call.function, call.args);
        EXPECT_EQ(answer.flag, 0) << call.function << " with " << call.args.size();
        EXPECT_FALSE(answer.touched) << call.function;
    }
    EXPECT_EQ(readBytes(at("app.exe")), "program");
    EXPECT_EQ(readBytes(at("src.txt")), "source");
    EXPECT_FALSE(pathExists(at("new.txt")));
    EXPECT_FALSE(pathExists(at("newdir")));
}

} // namespace
