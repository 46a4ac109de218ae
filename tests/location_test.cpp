// Location texts: conversion to local paths and the length boundaries.
#include <string.h>

#include <gtest/gtest.h>

#include "../files/location.h"
#include "scratch.h"

namespace {

std::string converted(const char* text)
{
    char path[kPathSize];
    if (!locationToPath(text, path, sizeof path))
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

TEST(LocationsConvert, NeverWritePastTheBuffer)
{
    char path[16];
    memset(path, 'X', sizeof path);
    std::string fits(15, 'a'), tooLong(16, 'a');
    EXPECT_TRUE(locationToPath(fits.c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), fits);

    char guarded[32];
    memset(guarded, 'G', sizeof guarded);
    EXPECT_FALSE(locationToPath(tooLong.c_str(), guarded, 16));
    for (size_t i = 16; i < sizeof guarded; ++i)
        ASSERT_EQ(guarded[i], 'G') << "byte " << i << " written past the buffer";
    EXPECT_FALSE(locationToPath("a", guarded, 0));
}

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

} // namespace
