#include "scratch.h"

#include <windows.h>

#include <fstream>
#include <sstream>

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

} // namespace

void removeTree(const std::string& path)
{
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return;
    // Through "\\?\", names with trailing dots or spaces and device names go
    // too; the scratch paths are absolute.
    removeWideTree(std::wstring(L"\\\\?\\") + wide);
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
}
