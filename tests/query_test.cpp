// exists, isDir, isFile, canRead and canWrite on real files.
#include <windows.h>

#include <gtest/gtest.h>

#include "scratch.h"

namespace {

class Queries : public ScratchTest {
protected:
    Answer ask(const char* query, const std::string& text)
    {
        return host.call(query, {host.text(text)});
    }
    // Answers of exists, isDir, isFile, canRead, canWrite, as "11010".
    std::string answers(const std::string& text)
    {
        std::string out;
        for (const char* query : {"exists", "isDir", "isFile", "canRead", "canWrite"}) {
            Answer answer = ask(query, text);
            out += answer.flag != 1 ? '!' : answer.isInteger(1) ? '1' : answer.isInteger(0) ? '0' : '?';
        }
        return out;
    }
};

TEST_F(Queries, FilesFoldersAndMissingPaths)
{
    writeBytes(at("a.txt"), "hello");
    CreateDirectoryA(at("sub").c_str(), NULL);
    EXPECT_EQ(answers(locationOf(at("a.txt"))), "10111");
    EXPECT_EQ(answers(at("a.txt")), "10111");
    EXPECT_EQ(answers(locationOf(at("sub"))), "11011");
    EXPECT_EQ(answers(locationOf(at("missing"))), "00000");
    EXPECT_EQ(answers(locationOf(at("missing\\deeper.txt"))), "00000");
}

TEST_F(Queries, ReadOnlyFileIsReadableButNotWritable)
{
    writeBytes(at("ro.txt"), "x");
    setReadOnly(at("ro.txt"), true);
    EXPECT_EQ(answers(locationOf(at("ro.txt"))), "10110");
}

TEST_F(Queries, WildcardsNeverNameAFileOrFolder)
{
    writeBytes(at("a.txt"), "x");
    for (const char* pattern : {"*.txt", "a.tx?", "*"}) {
        EXPECT_TRUE(ask("isFile", locationOf(at(pattern))).isInteger(0)) << pattern;
        EXPECT_TRUE(ask("isDir", locationOf(at(pattern))).isInteger(0)) << pattern;
    }
}

TEST_F(Queries, DriveRootsAndTrailingBackslashes)
{
    EXPECT_TRUE(ask("isDir", "file:///C|/").isInteger(1));
    EXPECT_TRUE(ask("isDir", "C:\\").isInteger(1));
    CreateDirectoryA(at("sub").c_str(), NULL);
    writeBytes(at("a.txt"), "x");
    EXPECT_TRUE(ask("isDir", "C:").isInteger(0));
    // A folder written with a final separator, as hosts hand over site folders.
    EXPECT_EQ(answers(at("sub") + "\\"), "11011");
    EXPECT_EQ(answers(locationOf(at("sub")) + "/"), "11011");
    EXPECT_EQ(answers(at("sub") + "\\.\\"), "11011");
    EXPECT_EQ(answers(at("a.txt") + "\\")[1], '0');
    EXPECT_EQ(answers(at("a.txt") + "\\")[2], '0');
}

// The 64-bit status query: a file over 4 GiB and a file dated after 2038 are
// still files.
TEST_F(Queries, LargeAndFarFutureFilesAreFiles)
{
    std::string big = at("big.bin");
    HANDLE file = CreateFileA(big.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &returned, NULL);
    LARGE_INTEGER size;
    size.QuadPart = 5LL << 30;
    ASSERT_TRUE(SetFilePointerEx(file, size, NULL, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(answers(locationOf(big)), "10111");

    std::string future = at("future.txt");
    writeBytes(future, "x");
    file = CreateFileA(future.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME when = {2040, 6, 0, 15, 12, 0, 0, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&when, &stamp);
    ASSERT_TRUE(SetFileTime(file, &stamp, &stamp, &stamp));
    CloseHandle(file);
    EXPECT_EQ(answers(locationOf(future)), "10111");
}

TEST_F(Queries, RefusalsLeaveTheResultUntouched)
{
    for (const char* query : {"exists", "isDir", "isFile", "canRead", "canWrite"}) {
        for (std::vector<ScriptValue> args :
             {std::vector<ScriptValue>{}, {host.text("C:\\"), host.text("C:\\")},
              {host.unconvertible()}}) {
            Answer answer = host.call(query, args);
            EXPECT_EQ(answer.flag, 0) << query << " with " << args.size();
            EXPECT_FALSE(answer.touched) << query;
        }
    }
}

} // namespace
