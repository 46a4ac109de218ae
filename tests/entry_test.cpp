// The entry point: copying the host's table and registering the functions.
#include <fcntl.h>
#include <stdlib.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "../host/script_functions.h"
#include "scratch.h"
#include "test_host.h"

namespace {

const char* const kRegisteredNames[] = {QV_SCRIPT_FUNCTIONS(QV_FUNCTION_NAME)};
#define QV_DECLARED_COUNT(name, function, count) count,
const uint32_t kDeclaredCounts[] = {QV_SCRIPT_FUNCTIONS(QV_DECLARED_COUNT)};

TEST(Registration, HostSeesEveryNameInOrderWithDeclaredCounts)
{
    TestHost host;
    EXPECT_EQ(host.initialise(), kFunctionCount);
    ASSERT_EQ(host.registrations().size(), (size_t)kFunctionCount);
    for (size_t i = 0; i < kFunctionCount; ++i) {
        EXPECT_EQ(host.registrations()[i].name, kRegisteredNames[i]);
        EXPECT_EQ(host.registrations()[i].declaredCount, kDeclaredCounts[i]) << kRegisteredNames[i];
        EXPECT_NE(host.registrations()[i].function, nullptr);
    }
}

TEST(Registration, ReturnsWhatTheLastRegistrationAnswered)
{
    TestHost host;
    host.registerAnswer = 0;
    EXPECT_EQ(host.initialise(), 0);
    host.registerAnswer = 77;
    EXPECT_EQ(host.initialise(), 77);
    EXPECT_EQ(host.registrations().size(), (size_t)kFunctionCount) << "calling the entry point again registers again";
}

TEST(Registration, SizeZeroRegistersNothing)
{
    TestHost host;
    EXPECT_EQ(host.initialise(0), 0);
    EXPECT_TRUE(host.registrations().empty());
}

// With only ownerObject and registerNative, everything registers, the
// functions that need a value service refuse and the others work.
TEST(Registration, ShortTableLeavesLaterServicesAbsent)
{
    TestHost host(2);
    EXPECT_EQ(host.initialise(2 * sizeof(void*)), kFunctionCount);
    ScriptValue path = host.text("C:\\");
    for (const char* name : {"exists", "mkdir", "read", "list", "isDir", "isFile", "canRead",
                             "canWrite", "remove"}) {
        Answer answer = host.call(name, {path});
        EXPECT_EQ(answer.flag, 0) << name;
        EXPECT_FALSE(answer.touched) << name;
    }
    for (const char* name : {"write", "copy", "rename"})
        EXPECT_EQ(host.call(name, {path, path}).flag, 0) << name;
    EXPECT_EQ(host.call("setDropSize", {path, path, host.integer(3)}).flag, 0);
    EXPECT_EQ(host.call("setBusyCursor", {}).flag, 1);
    EXPECT_EQ(host.call("clearBusyCursor", {}).flag, 1);
    Answer ticks = host.call("getTickCount", {});
    EXPECT_EQ(ticks.flag, 1);
    EXPECT_TRUE(ticks.touched);
}

// Each table length from 3 entries to the whole table: the services within it are used,
// those beyond it are absent (the test host fills them with junk).
TEST(Registration, OnlyWholeEntriesWithinTheSizeAreCopied)
{
    for (uint32_t entries = 3; entries <= kServiceCount; ++entries) {
        TestHost host(entries);
        ASSERT_EQ(host.initialise(), kFunctionCount) << entries;
        bool hasInteger = entries > 3, hasValue = entries > 7;
        EXPECT_EQ(host.call("exists", {host.text("C:\\")}).flag, 1) << entries;
        Answer drop = host.call("setDropSize", {host.text("no dialog has this title"),
                                                host.text("x"), host.integer(3)});
        EXPECT_EQ(drop.flag, hasInteger ? 1 : 0) << entries;
        Answer read = host.call("read", {host.text("C:\\no such file")});
        EXPECT_EQ(read.flag, hasValue ? 1 : 0) << entries;
    }
    // A size ending inside entry 7 leaves valueFromText absent.
    TestHost host;
    host.initialise(7 * sizeof(void*) + sizeof(void*) / 2);
    EXPECT_EQ(host.call("read", {host.text("C:\\no such file")}).flag, 0);
    EXPECT_EQ(host.call("exists", {host.text("C:\\")}).flag, 1);
}

TEST(Registration, SizeBeyondTheTableCopiesTheTable)
{
    TestHost host;
    EXPECT_EQ(host.initialise(1000), kFunctionCount);
    EXPECT_EQ(host.call("exists", {host.text("C:\\")}).flag, 1);
}

TEST(Registration, ProcessDefaultFileModeIsUnchanged)
{
    int before = _fmode;
    TestHost host;
    host.initialise();
    int after = _fmode;
    EXPECT_NE(before, _O_BINARY);
    EXPECT_EQ(after, before);
}

} // namespace
