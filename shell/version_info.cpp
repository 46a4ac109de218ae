#include "version_info.h"

#include <windows.h>

#include "engine_text.h"

std::string moduleVersion(const std::wstring& path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", (void**)&fixed, &length) || length < sizeof *fixed)
        return "(no version)";
    std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(HIWORD(fixed->dwFileVersionLS));
    if (LOWORD(fixed->dwFileVersionLS) != 0)
        version += "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    return version;
}

std::string programVersion()
{
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, self, MAX_PATH);
    return moduleVersion(std::wstring(self, length));
}

std::string versionReport(const std::vector<std::wstring>& extensions)
{
    std::string report = "qvhost " + programVersion() + "\n";
    for (const std::wstring& path : extensions) {
        std::wstring name = path.substr(path.find_last_of(L"\\/:") + 1);
        report += utf8FromWide(name) + " " + moduleVersion(path) + "\n";
    }
    return report;
}
