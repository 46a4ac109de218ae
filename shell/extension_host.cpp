#include "extension_host.h"

#include <wctype.h>
#include <windows.h>

#include "engine_text.h"
#include "extension_services.h"

namespace {

// The system's message for `code`, with the file it is about in place of its
// first insert; the others are dropped, never shown as "%2".
std::string systemMessage(DWORD code, const std::wstring& file)
{
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text,
                   sizeof text / sizeof text[0], NULL);
    std::wstring message;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        if (c[0] == L'%' && c[1] >= L'1' && c[1] <= L'9') {
            if (c[1] == L'1' && !(c[2] >= L'0' && c[2] <= L'9'))
                message += file;
            while (c[1] >= L'0' && c[1] <= L'9')
                ++c;
        } else {
            message += *c;
        }
    }
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : utf8FromWide(message);
}

std::wstring baseName(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/:");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

// Whether `name` can be written in a script: a letter, "_" or "$", then
// also digits, and no reserved word.
bool isIdentifier(const std::wstring& name)
{
    static const wchar_t* const reserved[] = {
        L"break", L"case", L"catch", L"class", L"const", L"continue", L"debugger", L"default", L"delete",
        L"do", L"else", L"enum", L"export", L"extends", L"false", L"finally", L"for", L"function", L"if",
        L"implements", L"import", L"in", L"instanceof", L"interface", L"let", L"new", L"null", L"package",
        L"private", L"protected", L"public", L"return", L"static", L"super", L"switch", L"this", L"throw",
        L"true", L"try", L"typeof", L"var", L"void", L"while", L"with", L"yield"};
    for (size_t i = 0; i < name.size(); ++i) {
        wchar_t c = name[i];
        bool ascii = c < 0x80, surrogate = c >= 0xD800 && c <= 0xDFFF;
        bool start = ascii ? iswalpha(c) || c == L'_' || c == L'$' : !surrogate && iswalpha(c);
        bool part = ascii ? iswdigit(c) : !surrogate && iswalnum(c);
        if (!start && !(i > 0 && part))
            return false;
    }
    for (const wchar_t* word : reserved) {
        if (name == word)
            return false;
    }
    return !name.empty();
}

} // namespace

bool loadExtension(duk_context* ctx, const std::wstring& path, std::string* error)
{
    std::string shown = utf8FromWide(path);
    std::wstring name = baseName(path);
    if (!isIdentifier(name)) {
        *error = "cannot use " + shown + ": its name \"" + utf8FromWide(name) +
                 "\" is not a script identifier, so scripts could not reach its functions";
        return false;
    }
    std::string objectName = engineFromWide(name);
    duk_push_global_object(ctx);
    bool taken = duk_has_prop_lstring(ctx, -1, objectName.data(), objectName.size()) != 0;
    duk_pop(ctx);
    if (taken) {
        *error = "cannot use " + shown + ": a global named \"" + utf8FromWide(name) + "\" exists already";
        return false;
    }
    HMODULE library = LoadLibraryW(path.c_str());
    if (library == NULL) {
        DWORD code = GetLastError();
        *error = "cannot load " + shown + ": " + systemMessage(code, path);
        return false;
    }
    typedef int32_t(QV_CDECL * InitWrapper)(void* services, uint32_t size);
    InitWrapper init = (InitWrapper)(void*)GetProcAddress(library, "QV_InitWrapper");
    if (init == NULL) {
        *error = "cannot use " + shown + ": it has no QV_InitWrapper export";
        FreeLibrary(library);
        return false;
    }
    Extension* extension = new Extension{ctx, objectName};
    duk_push_object(ctx);
    duk_put_global_string(ctx, extension->objectName.c_str());
    if (init(servicesFor(extension), sizeof(HostServices)) == 0) {
        *error = "cannot use " + shown + ": its QV_InitWrapper reported failure";
        return false;
    }
    return true;
}
