// Random calls of every function, with random argument counts and values and
// services tables of every length: each call answers 0 or 1, a refused call
// leaves the result slot alone, and nothing outside the scratch folder
// changes. Paths that would lead outside the scratch folder are never passed.
#include <windows.h>

#include <atomic>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "../files/location.h"
#include "../host/script_functions.h"
#include "scratch.h"

namespace {

// Names, sizes and dates of the entries directly in `folder`, but `skip`.
std::string snapshot(const std::string& folder, const std::string& skip)
{
    std::string out;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return out;
    do {
        if (_stricmp(entry.cFileName, skip.c_str()) == 0)
            continue;
        out += std::string(entry.cFileName) + "|" + std::to_string(entry.nFileSizeLow) + "|" +
               std::to_string(entry.ftLastWriteTime.dwLowDateTime) + "\n";
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return out;
}

// Answers any dialog of this process as a user who cancels would, so that a
// shell question about replacing a file cannot stop the test.
class DialogCanceller {
public:
    DialogCanceller() : running_(true), thread_([this] { run(); }) {}
    ~DialogCanceller()
    {
        running_ = false;
        thread_.join();
    }

private:
    static BOOL CALLBACK cancel(HWND window, LPARAM)
    {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char name[16] = "";
        GetClassNameA(window, name, sizeof name);
        if (process == GetCurrentProcessId() && strcmp(name, "#32770") == 0 && IsWindowVisible(window))
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    void run()
    {
        while (running_) {
            EnumWindows(cancel, 0);
            Sleep(20);
        }
    }
    std::atomic<bool> running_;
    std::thread thread_;
};

class RandomCalls : public ScratchTest {
protected:
    std::string randomText(std::mt19937& random)
    {
        static const std::string pieces[] = {
            "/", "\\", "|", ":", "*", "?", ".", "..", "file:///", std::string("\0", 1),
            "\xE9", "\xFF\xFE", "a", "b.txt", "sub", " ", "C|", "C:", "%20"};
        std::string text = random() % 2 ? scratchLocation : "";
        size_t length = random() % 601;
        while (text.size() < length) {
            size_t piece = random() % (sizeof pieces / sizeof *pieces);
            text += pieces[piece];
        }
        return text;
    }

    // Whether the library would refuse this text, or convert it to a path
    // inside the scratch folder.
    bool staysInside(const std::string& text)
    {
        char path[kPathSize];
        if (text.size() > kMaxLocationLength || !locationToPath(text.c_str(), path, sizeof path,
                                                                [](unsigned char byte) {
                                                                    return IsDBCSLeadByte(byte) != 0;
                                                                }))
            return true;
        char full[2048];
        DWORD length = GetFullPathNameA(path, sizeof full, full, NULL);
        if (length == 0 || length >= sizeof full)
            return false;
        std::string resolved(full);
        return resolved.size() > root.size() && _strnicmp(full, root.c_str(), root.size()) == 0 &&
               resolved[root.size()] == '\\';
    }

    void TearDown() override
    {
        SetCurrentDirectoryA(previous);
        ScratchTest::TearDown();
    }

    std::string scratchLocation;
    char previous[MAX_PATH] = "C:\\";
};

TEST_F(RandomCalls, NoInputBreaksTheHost)
{
    scratchLocation = locationOf(root) + "/";
    GetCurrentDirectoryA(sizeof previous, previous);
    CreateDirectoryA(at("sub").c_str(), NULL);
    writeBytes(at("b.txt"), "b");
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    std::string parent = root.substr(0, root.find_last_of('\\'));
    std::string parentBefore = snapshot(parent, "qvfile-tests"), driveBefore = snapshot("C:", "");

    static const char* const functions[] = {QV_SCRIPT_FUNCTIONS(QV_FUNCTION_NAME)};
    std::vector<Registration> registered = host.registrations();
    std::mt19937 random(20261208);
    DialogCanceller canceller;
    int calls = 0, refused = 0, unsafe = 0;
    for (uint32_t entries = 0; entries <= kServiceCount; ++entries) {
        TestHost tableHost(entries);
        tableHost.initialise();
        tableHost.useFunctions(registered);
        for (int round = 0; round < 1000; ++round) {
            std::string function = functions[random() % kFunctionCount];
            std::vector<ScriptValue> args;
            std::vector<std::string> texts;
            size_t count = random() % 6;
            for (size_t i = 0; i < count; ++i) {
                switch (random() % 4) {
                case 0: args.push_back(tableHost.integer((int32_t)random() % 2000 - 1000)); break;
                case 1: args.push_back(tableHost.unconvertible()); break;
                default:
                    texts.push_back(randomText(random));
                    args.push_back(tableHost.text(texts.back()));
                }
            }
            bool safe = true;
            bool twoPaths = function == "copy" || function == "rename";
            for (size_t i = 0; i < args.size() && i < (twoPaths ? 2u : 1u); ++i) {
                if (function == "setDropSize" || (args[i] & 1) != 0 || args[i] == 0)
                    continue;
                safe = safe && staysInside(tableHost.textOf(args[i]));
            }
            if (!safe) {
                ++unsafe;
                continue;
            }
            Answer answer = tableHost.call(function, args);
            ++calls;
            ASSERT_TRUE(answer.flag == 0 || answer.flag == 1) << function;
            if (answer.flag == 0) {
                ++refused;
                ASSERT_FALSE(answer.touched) << function << " refused but wrote its result";
            }
        }
        tableHost.call("clearBusyCursor", {});
    }
    printf("random calls: %d made, %d refused, %d kept out for leaving the scratch folder\n", calls, refused, unsafe);
    EXPECT_GT(calls, 8000);
    EXPECT_GT(refused, 100);
    EXPECT_LT(refused, calls);
    EXPECT_EQ(snapshot(parent, "qvfile-tests"), parentBefore);
    EXPECT_EQ(snapshot("C:", ""), driveBefore);
}

} // namespace
