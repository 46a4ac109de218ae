#include "version_info.h"

#include <stdio.h>
#include <windows.h>

std::string moduleVersion(const std::string& path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", (void**)&fixed, &length) || length < sizeof *fixed)
        return "(no version)";
    std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(HIWORD(fixed->dwFileVersionLS));
    if (LOWORD(fixed->dwFileVersionLS) != 0)
        version += "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    return version;
}

void printVersions(const std::vector<std::string>& extensions)
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, self, sizeof self);
    printf("qvhost %s\n", moduleVersion(std::string(self, length)).c_str());
    for (const std::string& path : extensions) {
        std::string name = path.substr(path.find_last_of("\\/:") + 1);
        printf("%s %s\n", name.c_str(), moduleVersion(path).c_str());
    }
    fflush(stdout);
}
