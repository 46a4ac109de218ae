// Loading and running scripts (see run_script.h). A script, from a file or
// standard input, is UTF-8, a byte order mark skipped, or, when it is not
// valid UTF-8, text in the ANSI code page.
#include "run_script.h"

#include <errno.h>
#include <limits.h>
#include <string.h>
#include <windows.h>

#include "engine_text.h"
#include "standard_streams.h"

namespace {

// Where the last value that is not an Error was thrown ("file:line: "), and
// that value in the heap stash, so that a report names the place only for
// the value thrown there.
std::string lastThrowPlace;
const char kLastThrown[] = DUK_HIDDEN_SYMBOL("lastThrown");

// "file:line: " of the file name at -2 and the line at -1 on the stack;
// empty when the name is not a string.
std::string placeOnStack(duk_context* ctx)
{
    if (!duk_is_string(ctx, -2))
        return std::string();
    return std::string(duk_get_string(ctx, -2)) + ":" + std::to_string((long)duk_get_int(ctx, -1)) + ": ";
}

// Duktape.errThrow: sees every value just before it is thrown and gives it
// back unchanged. Errors carry their own file and line; for any other value
// the place of the throw is kept.
duk_ret_t noteThrow(duk_context* ctx)
{
    if (duk_is_error(ctx, 0))
        return 1;
    lastThrowPlace.clear();
    duk_inspect_callstack_entry(ctx, -2);
    if (duk_is_object(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "function");
        duk_get_prop_string(ctx, -1, "fileName");
        duk_get_prop_string(ctx, -3, "lineNumber");
        lastThrowPlace = placeOnStack(ctx);
        duk_pop_3(ctx);
    }
    duk_pop(ctx);
    duk_push_heap_stash(ctx);
    duk_dup(ctx, 0);
    duk_put_prop_string(ctx, -2, kLastThrown);
    duk_pop(ctx);
    return 1;
}

} // namespace

void trackThrows(duk_context* ctx)
{
    duk_get_global_string(ctx, "Duktape");
    duk_push_c_function(ctx, noteThrow, 1);
    duk_put_prop_string(ctx, -2, "errThrow");
    duk_pop(ctx);
}

void reportError(duk_context* ctx)
{
    std::string where;
    if (duk_is_error(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "fileName");
        duk_get_prop_string(ctx, -2, "lineNumber");
        where = placeOnStack(ctx);
        duk_pop_2(ctx);
    } else {
        duk_push_heap_stash(ctx);
        duk_get_prop_string(ctx, -1, kLastThrown);
        if (duk_samevalue(ctx, -1, -3))
            where = lastThrowPlace;
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

// Reads the file at `path` whole; on failure says why in `reason`.
static bool readFile(const std::wstring& path, std::string* bytes, std::string* reason)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == NULL) {
        int error = errno;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            *reason = "it is a folder";
        else if (error == ENOENT)
            *reason = "no such file";
        else if (error == EACCES)
            *reason = "access refused";
        else
            *reason = strerror(error);
        return false;
    }
    bool ok = readStream(file, bytes);
    fclose(file);
    if (!ok)
        *reason = "a read error";
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
    bool loaded = standardInput ? readStream(stdin, &bytes) : readFile(script, &bytes, &error);
    if (!loaded) {
        if (error.empty())
            error = "a read error";
        writeText(stderr, "qvhost: cannot read " + name + ": " + error + "\n");
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
