// Loading and running scripts (see run_script.h). A script, from a file or
// standard input, is UTF-8, a byte order mark skipped, or, when it is not
// valid UTF-8, text in the ANSI code page.
#include "run_script.h"

#include <limits.h>
#include <windows.h>

#include "engine_text.h"
#include "standard_streams.h"

void reportError(duk_context* ctx)
{
    std::string where;
    if (duk_is_error(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "fileName");
        duk_get_prop_string(ctx, -2, "lineNumber");
        if (duk_is_string(ctx, -2))
            where = std::string(duk_get_string(ctx, -2)) + ":" +
                    std::to_string((long)duk_get_int(ctx, -1)) + ": ";
        duk_pop_2(ctx);
    }
    duk_size_t length = 0;
    const char* message = duk_safe_to_lstring(ctx, -1, &length);
    writeText(stderr, where + std::string(message, length) + "\n");
}

static bool readStream(FILE* stream, std::string* bytes)
{
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes->append(buffer, got);
    return ferror(stream) == 0;
}

static bool readFile(const std::wstring& path, std::string* bytes)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == NULL)
        return false;
    bool ok = readStream(file, bytes);
    fclose(file);
    return ok;
}

// A script's bytes in the engine's form: UTF-8 (a byte order mark skipped),
// or the ANSI code page when they are not UTF-8. Returns false with the
// reason in `error`.
static bool sourceFromBytes(const std::string& bytes, std::string* source, std::string* error)
{
    bool marked = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    size_t skip = marked ? 3 : 0;
    if (bytes.size() - skip > (size_t)INT_MAX) {
        *error = "is too large";
        return false;
    }
    int length = (int)(bytes.size() - skip);
    const UINT codePages[] = {CP_UTF8, GetACP()};
    for (UINT codePage : codePages) {
        int count = length == 0 ? 0 : MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data() + skip, length, NULL, 0);
        if (length != 0 && count <= 0) {
            if (marked)
                break;
            continue;
        }
        std::wstring units(count, L'\0');
        if (count > 0)
            MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data() + skip, length, &units[0], count);
        if (!engineFromUtf16((const char16_t*)units.data(), units.size(), kLongestEngineText, source)) {
            *error = "is too large";
            return false;
        }
        return true;
    }
    *error = marked ? "is not valid UTF-8" : "is neither UTF-8 nor text in code page " + std::to_string(GetACP());
    return false;
}

bool compile(duk_context* ctx, const std::string& source, const std::string& fileName)
{
    duk_push_lstring(ctx, source.data(), source.size());
    duk_push_lstring(ctx, fileName.data(), fileName.size());
    return duk_pcompile(ctx, DUK_COMPILE_SHEBANG) == 0;
}

bool run(duk_context* ctx, const std::string& source, const std::string& fileName)
{
    return compile(ctx, source, fileName) && duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
}

int runScript(duk_context* ctx, const std::wstring& script)
{
    bool standardInput = script.empty() || script == L"-";
    std::string name = standardInput ? "standard input" : utf8FromWide(script);
    std::string bytes, source, error;
    if (!(standardInput ? readStream(stdin, &bytes) : readFile(script, &bytes))) {
        writeText(stderr, "qvhost: cannot read " + name + "\n");
        return kExitUsage;
    }
    if (!sourceFromBytes(bytes, &source, &error)) {
        writeText(stderr, "qvhost: " + name + " " + error + "\n");
        return kExitUsage;
    }
    std::string().swap(bytes);
    if (run(ctx, source, standardInput ? "stdin" : engineFromWide(script)))
        return kExitDone;
    reportError(ctx);
    return kExitScriptError;
}
