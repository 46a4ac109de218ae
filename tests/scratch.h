// A scratch folder for tests that touch real files: made fresh (clearing what
// an interrupted run left) and removed with everything in it at the end.
#ifndef QVFILE_SCRATCH_H
#define QVFILE_SCRATCH_H

#include <stdint.h>

#include <string>

#include <gtest/gtest.h>

#include "test_host.h"

// Removes a file or a folder with all it holds, read-only entries included.
void removeTree(const std::string& path);

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
bool pathExists(const std::string& path);
void setReadOnly(const std::string& path, bool readOnly);
// The location text "file:///C|/..." for a local path.
std::string locationOf(const std::string& path);
// Whether the tests run under Wine rather than Windows.
bool runningUnderWine();

// Under Wine: makes `link` (a Windows path) a Unix symbolic link to `target`
// (a Windows path, which need not exist), as Linux programs make them. False
// on Windows, or when the link did not appear.
bool makeUnixLink(const std::string& link, const std::string& target);
// Under Wine: makes an empty file named `unixName` (any bytes but "/" and the
// zero byte: "unix:name", "back\\slash") in `folder` (a Windows path), as
// Linux programs make them. False on Windows, or when it did not appear.
bool makeUnixFile(const std::string& folder, const std::string& unixName);
// The file the system opens for `path`, links followed, by its index (the
// inode under Wine), the same whatever drive letter reaches it (Wine may name
// a file by a drive linked meanwhile); empty when it cannot be opened.
std::string fileIdOf(const std::string& path);
// The Unix name Wine gives a Windows path; empty on Windows.
std::string unixPathOf(const std::string& path);
// Under Wine: runs `command` with /bin/sh and answers what it printed
// (standard output and error); empty on Windows or when it did not finish.
std::string unixShell(const std::string& command);
// A folder outside the Wine prefix (under Wine's Z: drive, the Unix root),
// made fresh for the calling test; empty on Windows.
std::string outsideFolder();

class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path inside the scratch folder.
    std::string at(const std::string& name) const { return root + "\\" + name; }
    // A location text (file:///...) naming a path inside the scratch folder.
    ScriptValue location(const std::string& name) { return host.text(locationOf(at(name))); }

    std::string root;
    TestHost host;
};

#endif
