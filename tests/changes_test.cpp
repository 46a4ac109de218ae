// mkdir, remove, rename and copy on real files.
#include <windows.h>

#include <stdlib.h>

#include <algorithm>
#include <utility>

#include <gtest/gtest.h>

#include "scratch.h"

namespace {

// The names in a folder at every depth ("sub\\g.txt"), each with its size,
// sorted.
std::vector<std::string> treeOf(const std::string& folder, const std::string& below = "")
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\" + below + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        names.push_back(below + name + " " + std::to_string(entry.nFileSizeLow));
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::vector<std::string> inner = treeOf(folder, below + name + "\\");
            names.insert(names.end(), inner.begin(), inner.end());
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// The name a folder lists for `path`, in its own letters.
std::string listedName(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    FindClose(search);
    return entry.cFileName;
}

class Changes : public ScratchTest {
protected:
    void TearDown() override
    {
        if (!drive.empty())
            unixShell("rm -f '" + drive + "'");
        if (!smallDisk.empty())
            removeTree(smallDisk);
        ScratchTest::TearDown();
    }
    // A fresh folder on the small disk (another file system); empty when
    // none is mounted.
    std::string smallDiskFolder()
    {
        const char* disk = getenv("QVFILE_SMALL_DISK");
        if (smallDisk.empty() && disk != NULL && *disk != '\0') {
            smallDisk = std::string(disk) + "\\qvfile-changes";
            removeTree(smallDisk);
            CreateDirectoryA(smallDisk.c_str(), NULL);
        }
        return smallDisk;
    }
    // The folder outside the Wine prefix, made once per test; empty on Windows.
    std::string outside()
    {
        if (outsideOnce.empty())
            outsideOnce = outsideFolder();
        return outsideOnce;
    }
    // Under Wine: Unix links in the scratch folder, "<stem>-here.txt",
    // "<stem>-outside.txt" and "<stem>-disk.txt", to files in the scratch
    // folder, outside the prefix and on the small disk, each file holding its
    // own path. Pairs of (link name, target path); none on Windows.
    std::vector<std::pair<std::string, std::string>> makeLinks(const std::string& stem)
    {
        std::vector<std::pair<std::string, std::string>> links;
        std::string places[][2] = {{"here", root}, {"outside", outside()}, {"disk", smallDiskFolder()}};
        for (auto& place : places) {
            std::string link = stem + "-" + place[0] + ".txt", target = place[1] + "\\" + stem + "-target.txt";
            if (place[1].empty())
                continue;
            writeBytes(target, target);
            if (makeUnixLink(at(link), target))
                links.push_back({link, target});
        }
        return links;
    }

    // Under Wine: a drive letter ("Q:") linked to `folder` while Wine runs,
    // as its mount manager links a stick that is plugged in; unlinked at the
    // end of the test. Empty on Windows or when no letter is free.
    std::string linkedDrive(const std::string& folder)
    {
        std::string devices = unixPathOf("C:\\");
        size_t drives = devices.rfind("/c:");
        if (drives == std::string::npos)
            return "";
        devices.resize(drives);
        std::string letter = unixShell("cd '" + devices + "' && for l in q r s t u v w x y; do [ -e $l: ] || [ -L $l: ] || { ln -s '" +
                                       unixPathOf(folder) + "' $l: && echo $l; break; }; done");
        if (letter.size() != 2)
            return "";
        drive = devices + "/" + letter[0] + ":";
        return std::string(1, (char)(letter[0] - 'a' + 'A')) + ":";
    }

    std::string smallDisk, outsideOnce, drive;

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
    // Names no Windows name may be: the platform refuses them on Windows.
    for (const char* name : {"s:x", "q?", "a*b", "l<g", "g>l", "p|q", "d\"q", "c\x01", "t\x1f\\"})
        EXPECT_TRUE(one("mkdir", name).isInteger(0)) << name;
    EXPECT_EQ(treeOf(root), (std::vector<std::string>{"file 1", "new 0"}));
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

    // Wine reports a deletion done that the system refused: on a read-only
    // volume, and (as an ordinary user) in a folder only root may change.
    // 1 is a file gone, 0 a file kept. Both are file systems mounted while
    // Wine runs.
    const char* readOnly = getenv("QVFILE_READ_ONLY_DISK");
    const char* disk = getenv("QVFILE_SMALL_DISK");
    std::pair<std::string, bool> refusing[] = {
        {readOnly != NULL ? readOnly : "", false},
        {disk != NULL && *disk != '\0' ? std::string(disk) + "\\root-only" : "", unixShell("id -u") == "0\n"},
    };
    for (auto& folder : refusing) {
        if (folder.first.empty())
            continue;
        const std::string kept = folder.first + "\\kept.txt";
        Answer removed = host.call("remove", {host.text(kept)});
        EXPECT_TRUE(removed.isInteger(pathExists(kept) ? 0 : 1)) << kept;
        EXPECT_EQ(pathExists(kept), !folder.second) << kept;
    }
    // A drive linked while Wine runs, to a file system mounted meanwhile (a
    // stick plugged in): its files are removed at once, its links still never.
    const std::string stickFolder = smallDiskFolder();
    const std::string stick = stickFolder.empty() ? "" : linkedDrive(stickFolder);
    if (!stick.empty()) {
        writeBytes(stickFolder + "\\plain.txt", "p");
        EXPECT_TRUE(host.call("remove", {host.text(stick + "\\plain.txt")}).isInteger(1)) << stick;
        EXPECT_FALSE(pathExists(stickFolder + "\\plain.txt"));
        writeBytes(at("target.txt"), "t");
        ASSERT_TRUE(makeUnixLink(stickFolder + "\\link.txt", at("target.txt")));
        EXPECT_TRUE(host.call("remove", {host.text(stick + "\\link.txt")}).isInteger(0));
        EXPECT_EQ(readBytes(stickFolder + "\\link.txt"), "t");
    }

    // Under Wine the system deletes what a Unix link leads to: a link is
    // left alone, and with it the file it leads to.
    for (auto& link : makeLinks("removed")) {
        EXPECT_TRUE(one("remove", link.first).isInteger(0)) << link.first;
        EXPECT_EQ(readBytes(link.second), link.second);
        EXPECT_EQ(fileIdOf(at(link.first)), fileIdOf(link.second)) << "the link still leads to it";
    }
    // A file reached through a linked folder or a drive that is a link (Z:)
    // is the file named.
    if (!outside().empty() && makeUnixLink(at("linked"), outside())) {
        writeBytes(outside() + "\\inside.txt", "i");
        EXPECT_TRUE(one("remove", "linked\\inside.txt").isInteger(1));
        EXPECT_FALSE(pathExists(outside() + "\\inside.txt"));
        writeBytes(outside() + "\\plain.txt", "p");
        EXPECT_TRUE(host.call("remove", {host.text(outside() + "\\plain.txt")}).isInteger(1));
        EXPECT_FALSE(pathExists(outside() + "\\plain.txt"));
    }
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
    // Another name of the same file is an existing entry too (Wine's rename
    // answers success and does nothing), and a name no Windows name may be
    // is never made.
    ASSERT_TRUE(CreateHardLinkA(at("hard.txt").c_str(), at("b.txt").c_str(), NULL));
    EXPECT_TRUE(two("rename", "b.txt", "hard.txt").isInteger(0));
    EXPECT_TRUE(two("rename", "b.txt", "b:c").isInteger(0));
    EXPECT_EQ(readBytes(at("b.txt")), "b");
    EXPECT_EQ(readBytes(at("hard.txt")), "b");

    EXPECT_TRUE(two("rename", "a.txt", "c.txt").isInteger(1));
    EXPECT_FALSE(pathExists(at("a.txt")));
    EXPECT_EQ(readBytes(at("c.txt")), "a");

    CreateDirectoryA(at("dir").c_str(), NULL);
    writeBytes(at("dir\\inside.txt"), "i");
    EXPECT_TRUE(two("rename", "dir", "moved").isInteger(1));
    EXPECT_EQ(readBytes(at("moved\\inside.txt")), "i");
    EXPECT_TRUE(two("rename", "missing", "other").isInteger(0));

    // A change of letter case alone gives the name the new letters.
    EXPECT_TRUE(two("rename", "c.txt", "C.Txt").isInteger(1));
    EXPECT_EQ(listedName(at("c.txt")), "C.Txt");
    EXPECT_TRUE(two("rename", "moved", "MOVED").isInteger(1));
    EXPECT_EQ(listedName(at("moved")), "MOVED");
    EXPECT_EQ(readBytes(at("MOVED\\inside.txt")), "i");

    // Under Wine the system moves what a Unix link leads to: a link stays
    // where it is, within a folder, to another folder or file system.
    std::string disk = smallDiskFolder();
    for (auto& link : makeLinks("renamed")) {
        for (std::string to :
             {at("link moved.txt"), at("MOVED\\link.txt"), disk.empty() ? "" : disk + "\\link.txt"}) {
            if (to.empty())
                continue;
            EXPECT_TRUE(host.call("rename", {location(link.first), host.text(to)}).isInteger(0))
                << link.first << " to " << to;
            EXPECT_FALSE(pathExists(to)) << to;
        }
        EXPECT_EQ(readBytes(link.second), link.second);
        EXPECT_EQ(fileIdOf(at(link.first)), fileIdOf(link.second)) << "the link still leads to it";
    }
    // A move to a volume without room for the file leaves nothing there,
    // also once room is made.
    if (!disk.empty()) {
        writeBytes(at("big.bin"), std::string(100000, 'b'));
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_TRUE(host.call("rename", {location("big.bin"), host.text(disk + "\\big.bin")}).isInteger(0));
            EXPECT_FALSE(pathExists(disk + "\\big.bin")) << attempt;
        }
        EXPECT_EQ(readBytes(at("big.bin")), std::string(100000, 'b'));
    }
    // A drive linked while Wine runs, to a file system mounted meanwhile:
    // its files are renamed at once.
    const std::string stick = disk.empty() ? "" : linkedDrive(disk);
    if (!stick.empty()) {
        writeBytes(disk + "\\a.txt", "a");
        EXPECT_TRUE(host.call("rename", {host.text(stick + "\\a.txt"), host.text(stick + "\\b.txt")}).isInteger(1))
            << stick;
        EXPECT_EQ(readBytes(disk + "\\b.txt"), "a");
    }
    if (!outside().empty() && makeUnixLink(at("linked"), outside())) {
        writeBytes(outside() + "\\inside.txt", "i");
        EXPECT_TRUE(two("rename", "linked", "relinked").isInteger(0)) << "a linked folder";
        EXPECT_TRUE(pathExists(outside() + "\\inside.txt"));
        EXPECT_TRUE(two("rename", "linked\\inside.txt", "linked\\renamed.txt").isInteger(1));
        EXPECT_EQ(readBytes(outside() + "\\renamed.txt"), "i");
    }
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
    EXPECT_TRUE(two("copy", "site\\*.htm", "pages").isInteger(1)) << "a wildcard";
    EXPECT_TRUE(pathExists(at("pages")));

    // A name the ANSI code page may not hold is copied, and seen copied.
    CreateDirectoryA(at("s3").c_str(), NULL);
    std::wstring wideRoot(root.begin(), root.end());
    HANDLE named = CreateFileW((wideRoot + L"\\s3\\\u65e5\u672c.htm").c_str(), GENERIC_WRITE, 0, NULL,
                               CREATE_NEW, 0, NULL);
    ASSERT_NE(named, INVALID_HANDLE_VALUE);
    CloseHandle(named);
    writeBytes(at("s3\\a.htm"), "a");
    EXPECT_TRUE(two("copy", "s3", "d3").isInteger(1));
    EXPECT_NE(GetFileAttributesW((wideRoot + L"\\d3\\\u65e5\u672c.htm").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(readBytes(at("d3\\a.htm")), "a");
}

TEST_F(Changes, CopyOfAMissingSourceAnswersZero)
{
    EXPECT_TRUE(two("copy", "missing.txt", "b.txt").isInteger(0));
    EXPECT_FALSE(pathExists(at("b.txt")));

    // Copies the platform cannot make answer 0 and write nothing anywhere,
    // though the shell may report success.
    writeBytes(at("b.txt"), "b");
    CreateDirectoryA(at("src").c_str(), NULL);
    writeBytes(at("src\\s.txt"), "s");
    CreateDirectoryA(at("dir").c_str(), NULL);
    writeBytes(at("dir\\f.txt"), "f");
    CreateDirectoryA(at("dir\\sub").c_str(), NULL);
    writeBytes(at("dir\\sub\\qvfile-deep-entry.txt"), "g");
    const std::vector<std::string> before = treeOf(root);
    std::string deep = at("") + std::string(259 - at("").size(), 'd');
    std::pair<std::string, std::string> copies[] = {
        {"src", at("b.txt")},            // a folder onto a file
        {"dir", at("dir\\sub\\inner")},  // into its own subtree
        {"dir", at("dir")},              // onto itself
        {"b.txt", at("B.TXT")},          // onto itself, by other letters
        {"*.none", at("nowhere")},       // a wildcard matching nothing
        {"dir", deep},                   // entries too deep for the platform
        {"dir\\sub", deep},
        {"dir", deep.substr(at("").size())}, // too deep once the current folder is put before it
        {"b.txt", at("d:e")},                // a name no Windows name may be
    };
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    SetCurrentDirectoryA(root.c_str());
    for (auto& copy : copies) {
        EXPECT_TRUE(host.call("copy", {location(copy.first), host.text(copy.second)}).isInteger(0))
            << copy.first << " to " << copy.second;
        EXPECT_EQ(treeOf(root), before) << copy.first << " to " << copy.second;
    }
    SetCurrentDirectoryA(current);
    EXPECT_FALSE(pathExists("qvfile-deep-entry.txt")) << "in the current folder";

    // A folder whose files the disk has no room for is not copied, though
    // the shell reports success.
    std::string disk = smallDiskFolder();
    if (!disk.empty()) {
        CreateDirectoryA(at("big").c_str(), NULL);
        writeBytes(at("big\\1.bin"), std::string(40000, '1'));
        writeBytes(at("big\\2.bin"), std::string(40000, '2'));
        EXPECT_TRUE(host.call("copy", {location("big"), host.text(disk + "\\big")}).isInteger(0));
    }
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
    // A source of the longest accepted path.
    std::string longest = prefix + std::string(259 - prefix.size(), 's');
    writeBytes(longest, "longest");
    EXPECT_TRUE(host.call("copy", {host.text(longest), location("from259.txt")}).isInteger(1));
    EXPECT_EQ(readBytes(at("from259.txt")), "longest");
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
