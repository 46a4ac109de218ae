#include "scratch.h"

#include <winsock2.h>
#include <windows.h>

#include <fstream>
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

// Runs a Unix command line under Wine and answers what it printed (standard
// output and error), or false when it could not start or end within a
// minute. Wine starts a Unix program for an ELF file but gives no handle to
// wait for: the program's output goes to a socket, whose end is its end.
bool runUnix(std::string command, std::string* printed = NULL)
{
    std::string program = "Z:" + command.substr(0, command.find(' '));
    for (char& c : program)
        c = c == '/' ? '\\' : c;
    WSADATA winsock; // without it, no socket is made and nothing runs
    WSAStartup(MAKEWORD(2, 2), &winsock);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0), ours = socket(AF_INET, SOCK_STREAM, 0), theirs = INVALID_SOCKET;
    if (bind(listener, (sockaddr*)&address, sizeof address) == 0 &&
        getsockname(listener, (sockaddr*)&address, &length) == 0 && listen(listener, 1) == 0 &&
        connect(ours, (sockaddr*)&address, sizeof address) == 0)
        theirs = accept(listener, NULL, NULL);
    closesocket(listener);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = (HANDLE)theirs;
    PROCESS_INFORMATION process = {};
    bool ended = theirs != INVALID_SOCKET &&
                 CreateProcessA(program.c_str(), &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
    closesocket(theirs);
    if (process.hProcess != NULL)
        CloseHandle(process.hProcess), CloseHandle(process.hThread);
    DWORD minute = 60000;
    setsockopt(ours, SOL_SOCKET, SO_RCVTIMEO, (const char*)&minute, sizeof minute);
    char buffer[4096];
    int received = 0;
    while (ended && (received = recv(ours, buffer, sizeof buffer, 0)) > 0)
        if (printed != NULL)
            printed->append(buffer, received);
    closesocket(ours);
    WSACleanup();
    return ended && received == 0;
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
        runUnix("/bin/rm -rf \"" + unixPathOf(path) + "\"");
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
    std::string quoted, printed;
    for (char c : command)
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    return runUnix("/bin/sh -c \"" + quoted + "\"", &printed) ? printed : "";
}

bool makeUnixLink(const std::string& link, const std::string& target)
{
    std::string unixLink = unixPathOf(link), unixTarget = unixPathOf(target);
    if (unixLink.empty() || unixTarget.empty())
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE search = INVALID_HANDLE_VALUE;
    if (runUnix("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\""))
        search = FindFirstFileA(link.c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return search != INVALID_HANDLE_VALUE;
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
    return runUnix("/bin/touch " + argument) && entryCount(folder) > before;
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
