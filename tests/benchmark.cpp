// Measures each library call through a minimal host against the bare runtime
// call doing the same work, in one process; prints the medians. The DLL is
// loaded as a host loads it: the one QVFILE_DLL names, or qvfile.dll beside
// the program.
//   bash scripts/bench.sh
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "../host/host_services.h"

namespace {

typedef int32_t(QV_CDECL* InitWrapperEntry)(void* services, uint32_t size);

InitWrapperEntry loadLibraryEntry()
{
    std::string path;
    if (const char* named = getenv("QVFILE_DLL"))
        path = named;
    if (path.empty()) {
        char program[MAX_PATH];
        DWORD length = GetModuleFileNameA(NULL, program, sizeof program);
        path.assign(program, length < sizeof program ? length : 0);
        path = path.substr(0, path.find_last_of('\\') + 1) + "qvfile.dll";
    }
    HMODULE library = LoadLibraryA(path.c_str());
    InitWrapperEntry entry = library ? (InitWrapperEntry)GetProcAddress(library, "QV_InitWrapper") : NULL;
    if (entry == NULL)
        fprintf(stderr, "cannot load QV_InitWrapper from %s\n", path.c_str());
    else
        printf("DLL under test: %s\n", path.c_str());
    return entry;
}

// The minimal host: it keeps the functions and looks at texts in place.
struct Native {
    const char* name;
    NativeFunction function;
};
std::vector<Native> natives;
std::vector<std::string> texts;
size_t lastLength = 0;

int32_t QV_CDECL registerNative(void*, const char* name, NativeFunction function, uint32_t)
{
    natives.push_back(Native{name, function});
    return 1;
}
const char* QV_CDECL textFromValue(NativeContext, ScriptValue value, uint32_t* lengthOut)
{
    const std::string& text = texts[value / 2 - 1];
    if (lengthOut != NULL)
        *lengthOut = (uint32_t)text.size();
    return text.c_str();
}
int32_t QV_CDECL valueFromText(NativeContext, const char* text, uint32_t length, ScriptValue* resultOut)
{
    lastLength = text == NULL ? 0 : length;
    *resultOut = 2;
    return 1;
}

ScriptValue text(const std::string& bytes)
{
    texts.push_back(bytes);
    return (ScriptValue)(2 * texts.size());
}

ScriptValue call(const char* name, std::vector<ScriptValue> args)
{
    for (const Native& native : natives) {
        if (strcmp(native.name, name) == 0) {
            ScriptValue result = 0;
            if (native.function(NULL, NULL, (uint32_t)args.size(), args.data(), &result) != 1) {
                fprintf(stderr, "%s refused\n", name);
                exit(1);
            }
            return result;
        }
    }
    exit(1);
}

double seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

struct Medians {
    double library, bare;
};

// One run of a case, answering the seconds it took.
typedef std::function<double()> Timed;

Timed timed(const std::function<void()>& work)
{
    return [work] {
        double start = seconds();
        work();
        return seconds() - start;
    };
}

// The median times of `repetitions` runs of each, divided by `per`. The two
// alternate, so that both meet the same state of the disk and its caches.
Medians compareTimed(int repetitions, double per, const Timed& library, const Timed& bare)
{
    std::vector<double> times[2];
    for (int i = 0; i < 2 * repetitions; ++i) {
        bool libraryTurn = (i % 2 == 0) == (i / 2 % 2 == 0);
        times[libraryTurn ? 0 : 1].push_back((libraryTurn ? library : bare)() / per);
    }
    for (std::vector<double>& run : times)
        std::sort(run.begin(), run.end());
    return Medians{times[0][repetitions / 2], times[1][repetitions / 2]};
}

Medians compare(int repetitions, double per, const std::function<void()>& library,
                const std::function<void()>& bare)
{
    return compareTimed(repetitions, per, timed(library), timed(bare));
}

void report(const char* name, Medians times, const char* unit, double scale)
{
    printf("%-28s %12.3f %12.3f %8.3f   %s\n", name, times.library * scale, times.bare * scale,
           times.library / times.bare, unit);
}

// Wine's name for a path on the Unix side, or "" where there is none.
std::string unixPath(const std::string& path)
{
    typedef char*(CDECL * UnixNameFunction)(const wchar_t*);
    UnixNameFunction unixName =
        (UnixNameFunction)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    wchar_t wide[MAX_PATH];
    if (unixName == NULL || MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return "";
    char* name = unixName(wide);
    std::string named = name != NULL ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return named;
}

// The same read by the native Linux program that bench.sh names in
// QVFILE_NATIVE_READ. Wine starts a Unix program but hands back no process to
// wait on, so the program's own time comes back in a file that appears whole.
// Answers the seconds, or -1 when the program did not run or could not read.
double nativeRead(const std::string& program, const std::string& file, const std::string& resultPath)
{
    DeleteFileA(resultPath.c_str());
    std::string command = "\"" + program + "\" \"" + unixPath(file) + "\" \"" + unixPath(resultPath) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return -1;
    if (process.hProcess != NULL) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    double taken = -1;
    for (int waited = 0; waited < 30000 && taken < 0; ++waited) {
        FILE* result = fopen(resultPath.c_str(), "r");
        if (result == NULL) {
            Sleep(1);
            continue;
        }
        if (fscanf(result, "%lf", &taken) != 1 || taken < 0)
            waited = 30000;
        fclose(result);
    }
    // The program's exit is not to fall into the next run.
    Sleep(50);
    DeleteFileA(resultPath.c_str());
    return taken;
}

void makeFolder(const std::string& folder, int entries)
{
    CreateDirectoryA(folder.c_str(), NULL);
    for (int i = 0; i < entries; ++i) {
        std::string name = folder + "\\entry-" + std::to_string(i) + ".dat";
        CloseHandle(CreateFileA(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
}

void removeFolder(const std::string& folder, int entries)
{
    for (int i = 0; i < entries; ++i)
        DeleteFileA((folder + "\\entry-" + std::to_string(i) + ".dat").c_str());
    RemoveDirectoryA(folder.c_str());
}

// A small web site: 20 folders of 30 files of 1 to 100 KB.
struct Site {
    std::vector<std::string> paths;
    std::vector<ScriptValue> pathValues;
    // Two editions of every file, of other lengths, written in turn.
    std::vector<std::string> editions[2];
    std::vector<ScriptValue> editionValues[2];
};

void writeAll(const std::string& path, const std::string& bytes);

Site makeSite(const std::string& root)
{
    Site site;
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    CreateDirectoryA(root.c_str(), NULL);
    for (int folder = 0; folder < 20; ++folder) {
        std::string dir = root + "\\section-" + std::to_string(folder);
        CreateDirectoryA(dir.c_str(), NULL);
        for (int file = 0; file < 30; ++file) {
            site.paths.push_back(dir + "\\page-" + std::to_string(file) + ".htm");
            site.pathValues.push_back(text(site.paths.back()));
            for (int edition = 0; edition < 2; ++edition) {
                std::string page(1024 + next() % (99 * 1024), (char)('a' + edition));
                for (size_t i = 0; i < page.size(); i += 61)
                    page[i] = (char)('0' + next() % 10);
                site.editions[edition].push_back(page);
                site.editionValues[edition].push_back(text(page));
            }
        }
    }
    for (size_t i = 0; i < site.paths.size(); ++i)
        writeAll(site.paths[i], site.editions[1][i]);
    return site;
}

void writeAll(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              CREATE_ALWAYS, 0, NULL);
    DWORD put = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &put, NULL);
    CloseHandle(file);
}

// The safe route by hand, with bare calls: the turn taken (a lock on a byte
// far past the end), the bytes past the old end first, then the free room
// checked, then the overwrite and the cut, and the turn given back.
void replaceSafely(const std::string& path, const std::string& bytes)
{
    typedef LONG(WINAPI * QueryVolume)(HANDLE, ULONG_PTR*, void*, ULONG, int);
    static const QueryVolume queryVolume =
        (QueryVolume)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryVolumeInformationFile");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, 0, NULL);
    LARGE_INTEGER zero = {}, end = {}, at = {};
    OVERLAPPED turn = {};
    turn.OffsetHigh = 0x40000000;
    LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn);
    SetFilePointerEx(file, zero, &end, FILE_END);
    DWORD length = (DWORD)bytes.size(), old = (DWORD)end.QuadPart, put = 0;
    DWORD overwritten = old < length ? old : length;
    if (old < length)
        WriteFile(file, bytes.data() + old, length - old, &put, NULL);
    ULONG_PTR status[2];
    struct {
        LARGE_INTEGER total, available;
        ULONG sectors, bytes;
    } size;
    queryVolume(file, status, &size, sizeof size, 3);
    SetFilePointerEx(file, zero, NULL, FILE_BEGIN);
    WriteFile(file, bytes.data(), overwritten, &put, NULL);
    if (old > length) {
        at.QuadPart = length;
        SetFilePointerEx(file, at, NULL, FILE_BEGIN);
        SetEndOfFile(file);
    }
    UnlockFileEx(file, 0, 1, 0, &turn);
    CloseHandle(file);
}

} // namespace

int main()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "qvfile-bench";
    CreateDirectoryA(root.c_str(), NULL);
    void* services[kServiceCount] = {};
    services[1] = (void*)&registerNative;
    services[2] = (void*)&textFromValue;
    services[7] = (void*)&valueFromText;
    InitWrapperEntry initWrapper = loadLibraryEntry();
    if (initWrapper == NULL)
        return 1;
    initWrapper(services, sizeof services);

    const int repetitions = 7;
    const size_t big = 64u << 20;
    std::string bigPath = root + "\\big.bin";
    std::string content(big, 'x');
    for (size_t i = 0; i < big; i += 4093)
        content[i] = (char)(i % 251);
    ScriptValue bigValue = text(bigPath), contentValue = text(content);

    printf("%-28s %12s %12s %8s\n", "case", "library", "bare", "ratio");
    report("write 64 MiB", compare(repetitions, 1, [&] { call("write", {bigValue, contentValue}); }, [&] {
        FILE* file = fopen(bigPath.c_str(), "wb");
        fwrite(content.data(), content.size(), 1, file);
        fclose(file);
    }), "ms", 1e3);

    // A small file replaced in a crowded folder, where creating a file costs
    // Wine a look through every name.
    const int entries = 2000, writes = 100;
    std::string crowded = root + "\\crowded";
    makeFolder(crowded, entries);
    std::string smallPath = crowded + "\\entry-1000.dat", smallText = "a small file's new contents\n";
    ScriptValue smallPathValue = text(smallPath), smallTextValue = text(smallText);
    report("write small, 2,000 entries", compare(repetitions, writes, [&] {
        for (int i = 0; i < writes; ++i)
            call("write", {smallPathValue, smallTextValue});
    }, [&] {
        for (int i = 0; i < writes; ++i) {
            FILE* file = fopen(smallPath.c_str(), "wb");
            fwrite(smallText.data(), smallText.size(), 1, file);
            fclose(file);
        }
    }), "us", 1e6);
    removeFolder(crowded, entries);

    // A line appended to a log, as scripts keep logs.
    std::string logPath = root + "\\log.txt", line = "one more line of a log\n";
    ScriptValue logValue = text(logPath), lineValue = text(line);
    report("append a line", compare(repetitions, writes, [&] {
        for (int i = 0; i < writes; ++i)
            call("write", {logValue, lineValue, integerValue(1)});
    }, [&] {
        for (int i = 0; i < writes; ++i) {
            FILE* file = fopen(logPath.c_str(), "ab");
            fwrite(line.data(), line.size(), 1, file);
            fclose(file);
        }
    }), "us", 1e6);
    DeleteFileA(logPath.c_str());

    // A site of 600 files republished: every file takes new contents of
    // another length, by the library, by writing in place (not safe: a full
    // disk leaves files cut short) and by the safe route done by hand.
    {
        Site site = makeSite(root + "\\site");
        int edition = 0;
        auto library = [&] {
            edition ^= 1;
            for (size_t i = 0; i < site.paths.size(); ++i)
                call("write", {site.pathValues[i], site.editionValues[edition][i]});
        };
        report("site of 600 files, in place", compare(repetitions, 1, library, [&] {
            edition ^= 1;
            for (size_t i = 0; i < site.paths.size(); ++i)
                writeAll(site.paths[i], site.editions[edition][i]);
        }), "ms", 1e3);
        report("site of 600 files, safe route", compare(repetitions, 1, library, [&] {
            edition ^= 1;
            for (size_t i = 0; i < site.paths.size(); ++i)
                replaceSafely(site.paths[i], site.editions[edition][i]);
        }), "ms", 1e3);
        for (const std::string& path : site.paths)
            DeleteFileA(path.c_str());
        for (int folder = 0; folder < 20; ++folder)
            RemoveDirectoryA((root + "\\site\\section-" + std::to_string(folder)).c_str());
        RemoveDirectoryA((root + "\\site").c_str());
    }

    report("read 64 MiB", compare(repetitions, 1, [&] { call("read", {bigValue}); }, [&] {
        FILE* file = fopen(bigPath.c_str(), "rb");
        char* buffer = (char*)malloc(big + 1);
        size_t got = fread(buffer, 1, big, file);
        buffer[got] = '\0';
        free(buffer);
        fclose(file);
    }), "ms", 1e3);
    // The fastest route for the same result: one ReadFile into a block whose
    // pages are written first.
    report("read 64 MiB, fastest route", compare(repetitions, 1, [&] { call("read", {bigValue}); }, [&] {
        HANDLE file = CreateFileA(bigPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, 0, NULL);
        char* buffer = (char*)malloc(big + 1);
        for (size_t at = 0; at < big; at += 4096)
            buffer[at] = 0;
        DWORD got = 0;
        ReadFile(file, buffer, (DWORD)big, &got, NULL);
        buffer[got] = '\0';
        free(buffer);
        CloseHandle(file);
    }), "ms", 1e3);
    if (lastLength != big)
        return fprintf(stderr, "read gave %zu bytes\n", lastLength), 1;
    // What Wine itself costs: the same read by a native program.
    const char* nativeProgram = getenv("QVFILE_NATIVE_READ");
    std::string resultPath = root + "\\native-read.txt";
    if (nativeProgram == NULL || unixPath(bigPath).empty()) {
        printf("%-28s not measured: needs Wine and QVFILE_NATIVE_READ (bench.sh sets it)\n", "read 64 MiB, native Linux");
    } else {
        bool nativeRan = true;
        Medians times = compareTimed(repetitions, 1, timed([&] { call("read", {bigValue}); }), [&] {
            double taken = nativeRead(nativeProgram, bigPath, resultPath);
            nativeRan = nativeRan && taken > 0;
            return taken;
        });
        if (nativeRan)
            report("read 64 MiB, native Linux", times, "ms", 1e3);
        else
            printf("%-28s not measured: %s did not run or could not read\n", "read 64 MiB, native Linux", nativeProgram);
    }
    DeleteFileA(bigPath.c_str());

    double listTimes[2];
    int sizes[2] = {2000, 20000};
    for (int s = 0; s < 2; ++s) {
        std::string folder = root + "\\list" + std::to_string(sizes[s]);
        makeFolder(folder, sizes[s]);
        std::string pattern = folder + "\\*";
        ScriptValue patternValue = text(pattern);
        Medians times = compare(repetitions, 1, [&] { call("list", {patternValue}); }, [&] {
            struct __finddata64_t entry;
            intptr_t search = _findfirst64(pattern.c_str(), &entry);
            int found = 0;
            do
                found += entry.name[0] != '.';
            while (_findnext64(search, &entry) == 0);
            _findclose(search);
        });
        std::string name = "list " + std::to_string(sizes[s]) + " entries";
        report(name.c_str(), times, "ms", 1e3);
        listTimes[s] = times.library;
        removeFolder(folder, sizes[s]);
    }

    std::string filePath = root + "\\small.txt";
    FILE* small = fopen(filePath.c_str(), "wb");
    fputs("small", small);
    fclose(small);
    ScriptValue fileValue = text(filePath);
    const int calls = 20000;
    report("exists per call", compare(repetitions, calls, [&] {
        for (int i = 0; i < calls; ++i)
            call("exists", {fileValue});
    }, [&] {
        for (int i = 0; i < calls; ++i)
            _access(filePath.c_str(), 0);
    }), "us", 1e6);
    report("isFile per call", compare(repetitions, calls, [&] {
        for (int i = 0; i < calls; ++i)
            call("isFile", {fileValue});
    }, [&] {
        struct _stat64 status;
        for (int i = 0; i < calls; ++i)
            _stat64(filePath.c_str(), &status);
    }), "us", 1e6);
    DeleteFileA(filePath.c_str());
    RemoveDirectoryA(root.c_str());

    printf("\nlist 20000 / list 2000 time: %.2f (linear growth gives about 10)\n", listTimes[1] / listTimes[0]);
    return 0;
}
