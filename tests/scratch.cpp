#include "scratch.h"

#include <windows.h>

#include <fstream>
#include <functional>
#include <sstream>

std::string unixPathOf(const std::string& path);

namespace {

// Wide calls, so that names outside the ANSI code page are removed too.
// `path` is absolute and starts with "\\?\".
void removeWideTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..")
                removeWideTree(path + L"\\" + name);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// Runs a Unix command line under Wine and waits until `done` holds, up to
// 5 s: Wine starts a Unix program for an ELF file, but its handle can neither
// be waited for nor asked its exit code.
bool runUnix(std::string command, const std::function<bool()>& done)
{
    std::string program = "Z:" + command.substr(0, command.find(' '));
    for (char& c : program)
        c = c == '/' ? '\\' : c;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(program.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int waited = 0; waited < 500; ++waited) {
        if (done())
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace

void removeTree(const std::string& path)
{
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return;
    // Through "\\?\", names with trailing dots or spaces and device names go
    // too; the scratch paths are absolute.
    removeWideTree(std::wstring(L"\\\\?\\") + wide);
    // Unix links that lead nowhere (or whose target went first) stay behind
    // under Wine: Unix removes the rest.
    if (pathExists(path) && runningUnderWine())
        runUnix("/bin/rm -rf \"" + unixPathOf(path) + "\"", [&] { return !pathExists(path); });
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

bool pathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void setReadOnly(const std::string& path, bool readOnly)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    attributes = readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~FILE_ATTRIBUTE_READONLY;
    SetFileAttributesA(path.c_str(), attributes);
}

std::string locationOf(const std::string& path)
{
    std::string location = "file:///" + path;
    for (size_t i = 8; i < location.size(); ++i) {
        if (IsDBCSLeadByte((BYTE)location[i]))
            ++i; // a character's second byte stays
        else if (location[i] == '\\')
            location[i] = '/';
    }
    if (location.size() > 9 && location[9] == ':')
        location[9] = '|';
    return location;
}

bool readOnlyIsEnforced(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    CloseHandle(file);
    return false;
}

bool runningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}


std::string unixPathOf(const std::string& path)
{
    typedef char*(CDECL * UnixName)(const wchar_t*);
    UnixName toUnix = (UnixName)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    wchar_t wide[MAX_PATH];
    if (toUnix == NULL || MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return "";
    char* unix = toUnix(wide);
    if (unix == NULL)
        return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::string unixShell(const std::string& command)
{
    if (!runningUnderWine())
        return "";
    // The output appears under its final name only once the command is done.
    char out[MAX_PATH];
    wsprintfA(out, "Z:\\tmp\\qvfile-shell-%lu.out", GetCurrentProcessId());
    DeleteFileA(out);
    std::string unixOut = "/tmp/qvfile-shell-" + std::to_string(GetCurrentProcessId()) + ".out";
    std::string script = "(" + command + ") >" + unixOut + ".part 2>&1; mv " + unixOut + ".part " + unixOut;
    std::string quoted;
    for (char c : script)
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    if (!runUnix("/bin/sh -c \"" + quoted + "\"", [&] { return pathExists(out); }))
        return "";
    std::string printed = readBytes(out);
    DeleteFileA(out);
    return printed;
}

bool makeUnixLink(const std::string& link, const std::string& target)
{
    std::string unixLink = unixPathOf(link), unixTarget = unixPathOf(target);
    if (unixLink.empty() || unixTarget.empty())
        return false;
    return runUnix("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"", [&] {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA(link.c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        return search != INVALID_HANDLE_VALUE;
    });
}

namespace {

// The entries of a folder, "." and ".." included, whatever their names.
int entryCount(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 1;
    while (FindNextFileA(search, &entry))
        ++count;
    FindClose(search);
    return count;
}

} // namespace

bool makeUnixFile(const std::string& folder, const std::string& unixName)
{
    std::string unixFolder = unixPathOf(folder);
    if (unixFolder.empty())
        return false;
    // One argument as the command line's rules split it: quoted, a '"'
    // escaped, and backslashes doubled only before a '"'.
    std::string argument = "\"" + unixFolder + "/";
    size_t backslashes = 0;
    for (char c : unixName) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        argument += std::string(c == '"' ? 2 * backslashes + 1 : backslashes, '\\') + c;
        backslashes = 0;
    }
    argument += std::string(2 * backslashes, '\\') + '"';
    int before = entryCount(folder);
    return runUnix("/bin/touch " + argument, [&] { return entryCount(folder) > before; });
}

std::string fileIdOf(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    BY_HANDLE_FILE_INFORMATION info;
    BOOL known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return known ? std::to_string(((unsigned long long)info.nFileIndexHigh << 32) | info.nFileIndexLow) : "";
}

std::string outsideFolder()
{
    if (!runningUnderWine())
        return "";
    char folder[64];
    wsprintfA(folder, "Z:\\tmp\\qvfile-outside-%lu", GetCurrentProcessId());
    removeTree(folder);
    CreateDirectoryA(folder, NULL);
    return folder;
}

void ScratchTest::SetUp()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    root = std::string(temp) + "qvfile-tests";
    removeTree(root);
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), NULL)) << root;
    host.initialise();
}

void ScratchTest::TearDown()
{
    removeTree(root);
    if (runningUnderWine()) {
        char folder[64];
        wsprintfA(folder, "Z:\\tmp\\qvfile-outside-%lu", GetCurrentProcessId());
        removeTree(folder);
    }
}
