#include "platform.h"

namespace {

// The ANSI code page's lead bytes, asked of the system once, when the DLL
// loads: the code page does not change while a process runs, and every
// location is walked byte by byte.
struct LeadBytes {
    bool lead[256];
    LeadBytes()
    {
        for (int byte = 0; byte < 256; ++byte)
            lead[byte] = IsDBCSLeadByte((BYTE)byte) != 0;
    }
};
const LeadBytes ansiLeadBytes;

FinalPathByHandle findFinalPathByHandle()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel == NULL ? NULL : (FinalPathByHandle)(void*)GetProcAddress(kernel, "GetFinalPathNameByHandleW");
}

} // namespace

bool isAnsiLeadByte(unsigned char byte) { return ansiLeadBytes.lead[byte]; }

size_t ansiSuperscriptDigitAt(const char* text)
{
    // The shortest run of bytes that is one whole character, as the system
    // converts it; UTF-8 takes up to four.
    for (int bytes = 1; bytes <= 4 && text[bytes - 1] != '\0'; ++bytes) {
        wchar_t wide[2];
        int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, bytes, wide, 2);
        if (units != 0)
            return units == 1 && (wide[0] == 0xB9 || wide[0] == 0xB2 || wide[0] == 0xB3) ? (size_t)bytes : 0;
    }
    return 0;
}

const FinalPathByHandle finalPathByHandle = findFinalPathByHandle();
const QueryVolume queryVolume =
    (QueryVolume)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryVolumeInformationFile");
const QueryFile queryFile =
    (QueryFile)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile");
