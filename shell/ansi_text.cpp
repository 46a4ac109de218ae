#include "ansi_text.h"

#include <limits.h>
#include <windows.h>

#include <algorithm>

#include "engine_text.h"

std::string codePageName() { return "code page " + std::to_string(GetACP()); }

bool ansiFromUtf16(const std::u16string& units, std::string* ansi)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows strings are UTF-16");
    UINT codePage = GetACP();
    DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const size_t piece = 1 << 20;
    ansi->clear();
    for (size_t start = 0; start < units.size();) {
        size_t count = std::min(piece, units.size() - start);
        if (start + count < units.size() && units[start + count - 1] >= 0xD800 && units[start + count - 1] <= 0xDBFF)
            count--; // a pair stays in one piece
        const wchar_t* wide = (const wchar_t*)units.data() + start;
        BOOL usedDefault = FALSE;
        BOOL* usedDefaultOut = codePage == CP_UTF8 ? NULL : &usedDefault;
        int bytes = WideCharToMultiByte(codePage, flags, wide, (int)count, NULL, 0, NULL, usedDefaultOut);
        if (bytes <= 0 || usedDefault)
            return false;
        size_t at = ansi->size();
        ansi->resize(at + (size_t)bytes);
        if (WideCharToMultiByte(codePage, flags, wide, (int)count, &(*ansi)[at], bytes, NULL, usedDefaultOut) != bytes ||
            usedDefault)
            return false;
        start += count;
    }
    return true;
}

std::string engineFromAnsi(const char* ansi, size_t length, std::string* text)
{
    text->clear();
    if (length == 0)
        return std::string();
    if (length > (size_t)INT_MAX)
        return "the result is too large for a script string";
    UINT codePage = GetACP();
    int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, ansi, (int)length, NULL, 0);
    std::u16string units(count > 0 ? count : 0, u'\0');
    if (count <= 0 ||
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, ansi, (int)length, (wchar_t*)&units[0], count) != count)
        return "the result is not text in " + codePageName();
    if (!engineFromUtf16(units.data(), units.size(), kLongestEngineText, text))
        return "the result is too large for a script string";
    return std::string();
}

bool enginePieceFromAnsi(const char* ansi, size_t length, std::string* text)
{
    std::string piece;
    if (!engineFromAnsi(ansi, length, &piece).empty())
        return false;
    text->append(piece);
    return true;
}

bool ansiPieceFromEngine(const char* text, size_t length, std::string* ansi)
{
    std::u16string units;
    std::string piece;
    if (!utf16FromEngine(text, length, true, &units) || !ansiFromUtf16(units, &piece))
        return false;
    ansi->append(piece);
    return true;
}

