#include "ansi_tables.h"

#include <windows.h>

namespace {

// The one character the system makes of `byte`; false when it refuses it.
bool unitOfByte(UINT codePage, unsigned char byte, char16_t* unit)
{
    wchar_t wide[2];
    int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, (const char*)&byte, 1, wide, 2);
    *unit = (char16_t)wide[0];
    return count == 1;
}

// Whether the system converts `unit` exactly (no lookalike, no default
// character) to the one byte `byte`, as the crossing's conversion asks it.
bool convertsExactlyTo(UINT codePage, char16_t unit, unsigned char byte)
{
    char bytes[4];
    BOOL usedDefault = FALSE;
    DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    int count = WideCharToMultiByte(codePage, flags, (const wchar_t*)&unit, 1, bytes, sizeof bytes, NULL,
                                    codePage == CP_UTF8 ? NULL : &usedDefault);
    return count == 1 && !usedDefault && (unsigned char)bytes[0] == byte;
}

void fillTables(AnsiTables* tables)
{
    UINT codePage = GetACP();
    CPINFO info;
    if (!GetCPInfo(codePage, &info))
        return;
    for (int byte = 0; byte < 0x80; ++byte) {
        char16_t unit = 0;
        if (!unitOfByte(codePage, (unsigned char)byte, &unit) || unit != byte ||
            !convertsExactlyTo(codePage, unit, (unsigned char)byte))
            return;
    }
    if (info.MaxCharSize == 1) {
        for (int byte = 0; byte < 0x100; ++byte) {
            char16_t unit = 0;
            if (unitOfByte(codePage, (unsigned char)byte, &unit))
                setAnsiByteUnit(tables, (unsigned char)byte, unit,
                                convertsExactlyTo(codePage, unit, (unsigned char)byte));
        }
        tables->singleByte = true;
    } else if (info.MaxCharSize == 2 || codePage == CP_UTF8) {
        for (int byte = 0x80; byte < 0x100; ++byte)
            tables->leadByte[byte] = IsDBCSLeadByteEx(codePage, (BYTE)byte) != 0;
    } else {
        return;
    }
    tables->asciiSame = true;
}

} // namespace

const AnsiTables& systemAnsiTables()
{
    // 130 KiB, zero until filled: the code page does not change while qvhost runs.
    static AnsiTables tables;
    static bool filled = false;
    if (!filled) {
        fillTables(&tables);
        filled = true;
    }
    return tables;
}
