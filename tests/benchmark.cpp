// Measures each library call through a minimal host against the bare runtime
// call doing the same work, in one process; prints the medians. The DLL is
// loaded as a host loads it: the one QVFILE_DLL names, or qvfile.dll beside
// the program. The qvhost rows run a script in the qvhost QVFILE_QVHOST
// names against the same calls from the minimal host.
//   bash scripts/bench.sh
//   qvfile_benchmark.exe qvhost   (the qvhost rows alone)
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <deque>
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

// The minimal host: it keeps the functions and looks at texts in place. The
// texts a call makes are dropped, or kept as a host keeps them (a copy, a
// handle) while `keepMade` is set. A deque: its texts never move.
struct Native {
    const char* name;
    NativeFunction function;
};
std::vector<Native> natives;
std::deque<std::string> texts;
size_t lastLength = 0;
bool keepMade = false;

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
    if (!keepMade) {
        *resultOut = 2;
        return 1;
    }
    texts.push_back(text == NULL ? std::string() : std::string(text, length != 0 ? length : strlen(text)));
    *resultOut = (ScriptValue)(2 * texts.size());
    return 1;
}

ScriptValue text(const std::string& bytes)
{
    texts.push_back(bytes);
    return (ScriptValue)(2 * texts.size());
}

// Calls a registered function as a host does, with its arguments in an array
// of its own (no allocation: the host's part of a call stays small).
ScriptValue call(const char* name, std::initializer_list<ScriptValue> args)
{
    ScriptValue argv[4];
    std::copy(args.begin(), args.end(), argv);
    for (const Native& native : natives) {
        if (strcmp(native.name, name) == 0) {
            ScriptValue result = 0;
            if (native.function(NULL, NULL, (uint32_t)args.size(), argv, &result) != 1) {
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

// Under Wine every name created in a folder costs a look through all its
// names: a folder of many entries is made from the Unix side, by a shell that
// Wine starts (which, as for the native read, it hands back no process to
// wait on: the shell's last file says it is done). Elsewhere, or when that
// fails, entry by entry.
void makeFolder(const std::string& folder, int entries)
{
    CreateDirectoryA(folder.c_str(), NULL);
    std::string unixFolder = unixPath(folder), shell = "Z:\\bin\\sh", made = folder + "\\made";
    if (!unixFolder.empty() && unixFolder.find('\'') == std::string::npos &&
        GetFileAttributesA(shell.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::string command = "\"" + shell + "\" -c \"cd '" + unixFolder + "' && i=0 && while [ $i -lt " +
                              std::to_string(entries) + " ]; do : >entry-$i.dat; i=$((i + 1)); done; : >made\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
            if (process.hProcess != NULL) {
                CloseHandle(process.hProcess);
                CloseHandle(process.hThread);
            }
            for (int waited = 0; waited < 120000 && GetFileAttributesA(made.c_str()) == INVALID_FILE_ATTRIBUTES; ++waited)
                Sleep(1);
        }
        if (DeleteFileA(made.c_str()))
            return;
    }
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

// What qvhost runs for the benchmark: SCRIPT RESULT MODE REPETITIONS ARGS...,
// timing each repetition with the engine's own clock and writing the
// milliseconds to RESULT. read LOCATION; write SOURCE TARGET (the text read
// once, untimed); mirror FROM TO (a fresh TO-i each time, by list, mkdir,
// read and write, as a script author's mirror does it).
const char kQvhostScript[] = R"(
var result = scriptArgs[0], mode = scriptArgs[1], repetitions = +scriptArgs[2];
var now = typeof performance !== "undefined" ? function () { return performance.now(); } : Date.now;
function mirror(from, to) {
    qvfile.mkdir(to);
    var files = qvfile.list(from + "/*");
    if (files)
        files.split(":").forEach(function (name) { qvfile.write(to + "/" + name, qvfile.read(from + "/" + name)); });
    var folders = qvfile.list(from + "/*", "d");
    if (folders)
        folders.split(":").forEach(function (name) { mirror(from + "/" + name, to + "/" + name); });
}
var text = mode === "write" ? qvfile.read(scriptArgs[3]) : "";
if (text === null)
    throw new Error("cannot read " + scriptArgs[3]);
var times = [];
for (var i = 0; i < repetitions; i++) {
    var start = now();
    if (mode === "read") {
        if (qvfile.read(scriptArgs[3]) === null)
            throw new Error("cannot read " + scriptArgs[3]);
    } else if (mode === "write") {
        if (qvfile.write(scriptArgs[4], text) !== 1)
            throw new Error("cannot write " + scriptArgs[4]);
    } else {
        mirror(scriptArgs[3], scriptArgs[4] + "-" + i);
    }
    times.push(now() - start);
}
qvfile.write(result, times.join(" "));
)";

// Runs the benchmark's script with the qvhost at `qvhost` (which loads the
// qvfile.dll beside it) and answers the seconds of each repetition; empty
// when qvhost did not run or the script failed.
std::vector<double> runQvhost(const std::string& qvhost, const std::string& script, const std::string& resultPath,
                              const std::string& mode, int repetitions, const std::vector<std::string>& args)
{
    DeleteFileA(resultPath.c_str());
    std::string command = "\"" + qvhost + "\" \"" + script + "\" \"" + resultPath + "\" " + mode + " " +
                          std::to_string(repetitions);
    for (const std::string& arg : args)
        command += " \"" + arg + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return {};
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::vector<double> times;
    FILE* result = fopen(resultPath.c_str(), "r");
    double milliseconds = 0;
    while (result != NULL && fscanf(result, "%lf", &milliseconds) == 1)
        times.push_back(milliseconds / 1e3);
    if (result != NULL)
        fclose(result);
    DeleteFileA(resultPath.c_str());
    return (int)times.size() == repetitions ? times : std::vector<double>();
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A documentation site of the usual shape: pages of text (ASCII but for a
// copyright sign and a dash), images of every byte value, style sheets and
// scripts, in sections of a few levels.
struct DocSite {
    std::vector<std::string> folders; // parents before children
    std::vector<std::string> files;
    size_t bytes = 0;
};

void addDocFile(DocSite* site, const std::string& path, const std::string& bytes)
{
    writeAll(path, bytes);
    site->files.push_back(path);
    site->bytes += bytes.size();
}

DocSite makeDocSite(const std::string& root)
{
    DocSite site;
    uint32_t seed = 4242;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    const char* const words[] = {"the", "function", "returns", "a", "location", "folder", "script", "text",
                                 "<p>", "</p>\n", "<code>", "</code>", "of", "file", "listing", "and"};
    auto page = [&](size_t size) {
        std::string text = "<!DOCTYPE html>\n<html><head><title>Page</title></head><body>\n";
        while (text.size() < size) {
            text += words[next() % 16];
            text += ' ';
        }
        return text + "\n<footer>\xA9 2026 qvfile \x96 all rights reserved</footer></body></html>\n";
    };
    auto binary = [&](size_t size) {
        std::string bytes(size, '\0');
        for (char& byte : bytes)
            byte = (char)next();
        return bytes;
    };
    auto folder = [&](const std::string& path) {
        CreateDirectoryA(path.c_str(), NULL);
        site.folders.push_back(path);
    };
    folder(root);
    for (const char* name : {"index.html", "search.html", "genindex.html", "about.html", "changes.html",
                             "license.html", "glossary.html", "faq.html", "searchindex.js"})
        addDocFile(&site, root + "\\" + name, page(4096 + next() % 32768));
    folder(root + "\\_static");
    for (int i = 0; i < 70; ++i)
        addDocFile(&site, root + "\\_static\\static-" + std::to_string(i) + (i % 2 ? ".css" : ".js"),
                   page(1024 + next() % 16384));
    for (int section = 0; section < 18; ++section) {
        std::string dir = root + "\\section-" + std::to_string(section);
        folder(dir);
        for (int i = 0; i < 28; ++i)
            addDocFile(&site, dir + "\\page-" + std::to_string(i) + ".html", page(8192 + next() % 45056));
        folder(dir + "\\_images");
        for (int i = 0; i < 4; ++i)
            addDocFile(&site, dir + "\\_images\\figure-" + std::to_string(i) + ".png", binary(16384 + next() % 163840));
    }
    return site;
}

// The same mirror as the script's, by the same calls from the minimal host.
void mirrorByLibrary(const std::string& from, const std::string& to)
{
    auto names = [](ScriptValue listing) {
        std::vector<std::string> split;
        const std::string& text = texts[listing / 2 - 1];
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find(':', at);
            end = end == std::string::npos ? text.size() : end;
            split.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        return split;
    };
    call("mkdir", {text(to)});
    for (const std::string& name : names(call("list", {text(from + "\\*")})))
        call("write", {text(to + "\\" + name), call("read", {text(from + "\\" + name)})});
    for (const std::string& name : names(call("list", {text(from + "\\*"), text("d")})))
        mirrorByLibrary(from + "\\" + name, to + "\\" + name);
}

// Removes a copy of the site's tree made under `copy`.
void removeDocCopy(const DocSite& site, const std::string& root, const std::string& copy)
{
    for (const std::string& path : site.files)
        DeleteFileA((copy + path.substr(root.size())).c_str());
    for (size_t i = site.folders.size(); i-- > 0;)
        RemoveDirectoryA((copy + site.folders[i].substr(root.size())).c_str());
}

// qvhost against the minimal host: the same library calls, with qvhost's
// crossing of texts between the engine and the code page, for a file of
// `big` bytes and a documentation site made under `root`.
void qvhostRows(const std::string& root, int repetitions, size_t big)
{
    const char* qvhost = getenv("QVFILE_QVHOST");
    if (qvhost == NULL) {
        printf("\nqvhost rows not measured: QVFILE_QVHOST names no qvhost (bench.sh sets it)\n");
    } else {
        printf("\n%-28s %12s %12s %8s   (qvhost: %s)\n", "case", "qvhost", "library", "ratio", qvhost);
        std::string script = root + "\\benchmark.js", resultPath = root + "\\qvhost-times.txt";
        writeAll(script, kQvhostScript);
        auto compareQvhost = [&](const char* name, const std::string& mode, const std::vector<std::string>& args,
                                 const std::function<void()>& library, const char* goal) {
            std::vector<double> qvhostTimes = runQvhost(qvhost, script, resultPath, mode, repetitions, args);
            if (qvhostTimes.empty()) {
                printf("%-28s not measured: qvhost did not run the script\n", name);
                return;
            }
            std::vector<double> libraryTimes;
            for (int i = 0; i < repetitions; ++i)
                libraryTimes.push_back(timed(library)());
            Medians times = {median(qvhostTimes), median(libraryTimes)};
            printf("%-28s %12.1f %12.1f %8.2f   ms, goal %s\n", name, times.library * 1e3, times.bare * 1e3,
                   times.library / times.bare, goal);
        };
        std::string target = root + "\\written.bin";
        for (int kind = 0; kind < 2; ++kind) {
            std::string path = root + (kind == 0 ? "\\ascii.txt" : "\\binary.bin");
            std::string bytes(big, '\n');
            uint32_t seed = 99;
            for (size_t i = 0; i < big; ++i) {
                seed = seed * 1103515245u + 12345u;
                if (kind == 1)
                    bytes[i] = (char)(seed >> 16);
                else if (i % 64 != 63)
                    bytes[i] = (char)(' ' + (seed >> 16) % 95);
            }
            writeAll(path, bytes);
            bytes = std::string();
            size_t mark = texts.size();
            ScriptValue pathValue = text(path), targetValue = text(target);
            std::string kindName = kind == 0 ? ", ASCII" : ", binary";
            compareQvhost(("read 64 MiB" + kindName).c_str(), "read", {path}, [&] { call("read", {pathValue}); },
                          "2");
            keepMade = true;
            ScriptValue contents = call("read", {pathValue});
            keepMade = false;
            compareQvhost(("write 64 MiB" + kindName).c_str(), "write", {path, target},
                          [&] { call("write", {targetValue, contents}); }, "3");
            texts.resize(mark);
            DeleteFileA(path.c_str());
            DeleteFileA(target.c_str());
        }

        std::string docs = root + "\\docs";
        DocSite site = makeDocSite(docs);
        std::string mirrorName = "mirror of a site";
        std::vector<double> qvhostTimes =
            runQvhost(qvhost, script, resultPath, "mirror", repetitions, {docs, root + "\\mirror-q"});
        std::vector<double> libraryTimes;
        for (int i = 0; i < repetitions; ++i) {
            size_t mark = texts.size();
            keepMade = true;
            libraryTimes.push_back(timed([&] { mirrorByLibrary(docs, root + "\\mirror-l-" + std::to_string(i)); })());
            keepMade = false;
            texts.resize(mark);
        }
        for (int i = 0; i < repetitions; ++i) {
            removeDocCopy(site, docs, root + "\\mirror-q-" + std::to_string(i));
            removeDocCopy(site, docs, root + "\\mirror-l-" + std::to_string(i));
        }
        if (qvhostTimes.empty()) {
            printf("%-28s not measured: qvhost did not run the script\n", mirrorName.c_str());
        } else {
            double q = median(qvhostTimes), l = median(libraryTimes);
            printf("%-28s %12.1f %12.1f %8.2f   ms, goal 1.5\n", mirrorName.c_str(), q * 1e3, l * 1e3, q / l);
        }
        printf("(the site: %zu files in %zu folders, %.1f MB, by list, mkdir, read and write)\n",
               site.files.size(), site.folders.size(), site.bytes / 1e6);
        removeDocCopy(site, docs, docs);
        DeleteFileA(script.c_str());
    }
}

} // namespace

// With the argument "qvhost", only the qvhost rows.
int main(int argc, char** argv)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "qvfile-bench";
    CreateDirectoryA(root.c_str(), NULL);
    HostServices services = {};
    services.registerNative = &registerNative;
    services.textFromValue = &textFromValue;
    services.valueFromText = &valueFromText;
    InitWrapperEntry initWrapper = loadLibraryEntry();
    if (initWrapper == NULL)
        return 1;
    initWrapper(&services, sizeof services);

    const int repetitions = 7;
    const size_t big = 64u << 20;
    if (argc > 1 && strcmp(argv[1], "qvhost") == 0) {
        qvhostRows(root, repetitions, big);
        RemoveDirectoryA(root.c_str());
        return 0;
    }
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
    // `writes` library writes of `contents` to `path` (appending or not)
    // against as many by the runtime's streams.
    auto timeWrites = [&](const char* name, const std::string& path, const std::string& contents, bool appending) {
        ScriptValue pathValue = text(path), contentsValue = text(contents);
        report(name, compare(repetitions, writes, [&] {
            for (int i = 0; i < writes; ++i)
                appending ? call("write", {pathValue, contentsValue, integerValue(1)})
                          : call("write", {pathValue, contentsValue});
        }, [&] {
            for (int i = 0; i < writes; ++i) {
                FILE* file = fopen(path.c_str(), appending ? "ab" : "wb");
                fwrite(contents.data(), contents.size(), 1, file);
                fclose(file);
            }
        }), "us", 1e6);
    };
    timeWrites("write small, 2,000 entries", smallPath, smallText, false);
    removeFolder(crowded, entries);

    // A line appended to a log, as scripts keep logs.
    std::string logPath = root + "\\log.txt";
    timeWrites("append a line", logPath, "one more line of a log\n", true);
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

    qvhostRows(root, repetitions, big);
    RemoveDirectoryA(root.c_str());

    printf("\nlist 20000 / list 2000 time: %.2f (linear growth gives about 10)\n", listTimes[1] / listTimes[0]);
    return 0;
}
