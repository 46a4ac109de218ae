// mkdir, remove, rename and copy on real files.
#include <windows.h>

#include <gtest/gtest.h>

#include "scratch.h"

namespace {

class Changes : public ScratchTest {
protected:
    Answer one(const char* function, const std::string& name)
    {
        return host.call(function, {location(name)});
    }
    Answer two(const char* function, const std::string& from, const std::string& to)
    {
        return host.call(function, {location(from), location(to)});
    }
};

TEST_F(Changes, MkdirMakesOneNewFolder)
{
    EXPECT_TRUE(one("mkdir", "new").isInteger(1));
    EXPECT_TRUE(GetFileAttributesA(at("new").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(one("mkdir", "new").isInteger(0)) << "an existing folder";
    EXPECT_TRUE(one("mkdir", "a\\b").isInteger(0)) << "a missing parent";
    EXPECT_FALSE(pathExists(at("a")));
    writeBytes(at("file"), "x");
    EXPECT_TRUE(one("mkdir", "file").isInteger(0));
}

TEST_F(Changes, RemoveDeletesFilesOnly)
{
    writeBytes(at("gone.txt"), "x");
    EXPECT_TRUE(one("remove", "gone.txt").isInteger(1));
    EXPECT_FALSE(pathExists(at("gone.txt")));
    EXPECT_TRUE(one("remove", "gone.txt").isInteger(0));

    CreateDirectoryA(at("folder").c_str(), NULL);
    EXPECT_TRUE(one("remove", "folder").isInteger(0));
    EXPECT_TRUE(pathExists(at("folder")));

    writeBytes(at("ro.txt"), "x");
    setReadOnly(at("ro.txt"), true);
    EXPECT_TRUE(one("remove", "ro.txt").isInteger(0));
    EXPECT_TRUE(pathExists(at("ro.txt")));
}

TEST_F(Changes, HeldFilesAreNeitherRemovedNorRenamed)
{
    writeBytes(at("held.txt"), "held");
    HANDLE held = CreateFileA(at("held.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(one("remove", "held.txt").isInteger(0));
    EXPECT_TRUE(two("rename", "held.txt", "moved.txt").isInteger(0));
    CloseHandle(held);
    EXPECT_EQ(readBytes(at("held.txt")), "held");
    EXPECT_FALSE(pathExists(at("moved.txt")));
}

TEST_F(Changes, RenameMovesButNeverReplaces)
{
    writeBytes(at("a.txt"), "a");
    writeBytes(at("b.txt"), "b");
    EXPECT_TRUE(two("rename", "a.txt", "b.txt").isInteger(0));
    EXPECT_EQ(readBytes(at("a.txt")), "a");
    EXPECT_EQ(readBytes(at("b.txt")), "b");

    EXPECT_TRUE(two("rename", "a.txt", "c.txt").isInteger(1));
    EXPECT_FALSE(pathExists(at("a.txt")));
    EXPECT_EQ(readBytes(at("c.txt")), "a");

    CreateDirectoryA(at("dir").c_str(), NULL);
    writeBytes(at("dir\\inside.txt"), "i");
    EXPECT_TRUE(two("rename", "dir", "moved").isInteger(1));
    EXPECT_EQ(readBytes(at("moved\\inside.txt")), "i");
    EXPECT_TRUE(two("rename", "missing", "other").isInteger(0));
}

TEST_F(Changes, CopyMakesTheNamedCopy)
{
    writeBytes(at("a.txt"), std::string("copied\0bytes", 12));
    EXPECT_TRUE(two("copy", "a.txt", "b.txt").isInteger(1));
    EXPECT_EQ(readBytes(at("b.txt")), std::string("copied\0bytes", 12));
    EXPECT_EQ(readBytes(at("a.txt")), std::string("copied\0bytes", 12));

    CreateDirectoryA(at("site").c_str(), NULL);
    CreateDirectoryA(at("site\\img").c_str(), NULL);
    writeBytes(at("site\\index.htm"), "index");
    writeBytes(at("site\\img\\logo.png"), "logo");
    EXPECT_TRUE(two("copy", "site", "backup").isInteger(1));
    EXPECT_EQ(readBytes(at("backup\\index.htm")), "index");
    EXPECT_EQ(readBytes(at("backup\\img\\logo.png")), "logo");
}

TEST_F(Changes, CopyOfAMissingSourceAnswersZero)
{
    EXPECT_TRUE(two("copy", "missing.txt", "b.txt").isInteger(0));
    EXPECT_FALSE(pathExists(at("b.txt")));
}

// The copy buffers hold the longest accepted path and both terminators.
TEST_F(Changes, CopyTakesPathsOfEveryAcceptedLength)
{
    writeBytes(at("src.txt"), "long");
    std::string prefix = at("");
    for (size_t length : {258u, 259u}) {
        std::string target = prefix + std::string(length - prefix.size(), 'c');
        Answer answer = host.call("copy", {host.text(at("src.txt")), host.text(target)});
        EXPECT_TRUE(answer.isInteger(1)) << length;
        EXPECT_EQ(readBytes(target), "long") << length;
    }
    std::string tooLong = locationOf(at(std::string(300, 'd')));
    Answer refused = host.call("copy", {location("src.txt"), host.text(tooLong)});
    EXPECT_EQ(refused.flag, 0);
    EXPECT_FALSE(refused.touched);
}

TEST_F(Changes, RefusedCallsTouchNothing)
{
    writeBytes(at("a.txt"), "a");
    ScriptValue a = location("a.txt"), b = location("b.txt");
    ScriptValue tooLong = host.text("file:///" + std::string(253, 'x'));
    for (const char* function : {"rename", "copy"}) {
        for (std::vector<ScriptValue> args :
             {std::vector<ScriptValue>{}, {a}, {a, b, b}, {a, host.unconvertible()},
              {host.unconvertible(), b}, {a, tooLong}, {tooLong, b}}) {
            Answer answer = host.call(function, args);
            EXPECT_EQ(answer.flag, 0) << function << " with " << args.size();
            EXPECT_FALSE(answer.touched) << function;
        }
    }
    for (const char* function : {"mkdir", "remove"}) {
        for (std::vector<ScriptValue> args :
             {std::vector<ScriptValue>{}, {a, a}, {host.unconvertible()}, {tooLong}}) {
            Answer answer = host.call(function, args);
            EXPECT_EQ(answer.flag, 0) << function << " with " << args.size();
            EXPECT_FALSE(answer.touched) << function;
        }
    }
    EXPECT_EQ(readBytes(at("a.txt")), "a");
    EXPECT_FALSE(pathExists(at("b.txt")));
}

// A read-only folder named as the target of write or mkdir answers 0 and
// stays as it was.
TEST_F(Changes, ReadOnlyFolderAsTarget)
{
    CreateDirectoryA(at("locked").c_str(), NULL);
    SetFileAttributesA(at("locked").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(host.call("write", {location("locked"), host.text("x")}).isInteger(0));
    EXPECT_TRUE(host.call("write", {location("locked"), host.text("x"), host.integer(1)}).isInteger(0));
    EXPECT_TRUE(one("mkdir", "locked").isInteger(0));
    EXPECT_TRUE(GetFileAttributesA(at("locked").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(host.textOf(host.call("list", {location("locked\\*"), host.text("a")}).value), "");
}

} // namespace
