// What the library asks of the platform once, as the DLL loads: the ANSI
// code page's facts (it does not change while a process runs) and the calls
// that not every Windows has, looked up by name (NULL where absent).
#ifndef QVFILE_PLATFORM_H
#define QVFILE_PLATFORM_H

#include <stddef.h>
#include <windows.h>

// The system's lead-byte test for its ANSI code page.
bool isAnsiLeadByte(unsigned char byte);

// The system's superscript digits (¹, ², ³) in its ANSI code page.
size_t ansiSuperscriptDigitAt(const char* text);

// GetFinalPathNameByHandleW, from Windows Vista on; NULL before.
typedef DWORD(WINAPI* FinalPathByHandle)(HANDLE file, LPWSTR path, DWORD size, DWORD flags);
extern const FinalPathByHandle finalPathByHandle;

// The native layer's volume query, which answers for a file's own volume (a
// link may lead to another); in every Windows since 2000.
typedef LONG(WINAPI* QueryVolume)(HANDLE, ULONG_PTR*, void*, ULONG, int);
extern const QueryVolume queryVolume;
// Its query of a file's own information, alike.
typedef LONG(WINAPI* QueryFile)(HANDLE, ULONG_PTR*, void*, ULONG, int);
extern const QueryFile queryFile;

#endif
