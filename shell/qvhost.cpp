// qvhost: runs JavaScript against qvfile.dll and other extensions with the
// same entry point, outside the desktop application.
//
//   qvhost [--ext PATH.dll]... SCRIPT.js [ARGS...]   runs a script
//   qvhost [--ext PATH.dll]... - [ARGS...]           runs standard input as the script
//   qvhost [--ext PATH.dll]... -e CODE               evaluates code
//   qvhost [--ext PATH.dll]...                       runs standard input, or prompts at a console
//   qvhost -h | --help                               prints the usage
//   qvhost [--ext PATH.dll]... --version             prints the versions
//
// Arguments reach scripts as the system passed them, in UTF-16. A script
// (file or standard input) is UTF-8, a byte order mark skipped, or, when it
// is not valid UTF-8, text in the ANSI code page. print writes UTF-8 to files
// and pipes and UTF-16 to a console; so do the error reports.
//
// At a console without a script, qvhost prompts: a piece that ends inside a
// bracket, block comment or continued string goes on over further lines, and
// each result is shown as a value, not as print writes it.
//
// qvfile.dll beside the program is loaded unless an --ext names a file of
// that name, in any letter case. Exit status: 0 when the script completes
// (or at the end of the console's input); the status a script gives exit();
// 1 for an uncaught or syntax error, reported with its file and line on
// standard error, and for output that cannot be written; 2 for usage
// errors, scripts that cannot be read and extensions that cannot be loaded;
// 130 after Ctrl+C.
#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "duktape.h"
#include "engine_text.h"
#include "extension_host.h"
#include "show_value.h"
#include "version_info.h"

namespace {

const char kUsage[] =
    "usage: qvhost [--ext PATH.dll]... [SCRIPT.js [ARGS...] | - [ARGS...] | -e CODE]\n"
    "  Runs SCRIPT.js, standard input (-, or no script when it is not a console),\n"
    "  or CODE; at a console without a script, prompts (exit() or Ctrl+Z leaves).\n"
    "  qvfile.dll beside qvhost is loaded by default; --ext loads more extensions.\n"
    "  -h, --help  print this and exit\n"
    "  --version   print the versions of qvhost and of the extensions it loads\n";

enum { kExitDone = 0, kExitScriptError = 1, kExitUsage = 2, kExitInterrupted = 130 };

struct Options {
    std::vector<std::wstring> extensions;
    std::wstring script; // empty: no script named; "-": standard input
    std::wstring code;   // with -e
    bool evaluate = false;
    bool help = false;
    bool version = false;
    std::vector<std::wstring> scriptArgs;
};

bool parseOptions(int argc, wchar_t** argv, Options* options, std::string* error)
{
    int i = 1;
    for (; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"-h" || arg == L"--help") {
            options->help = true;
            return true;
        }
        if (arg == L"--ext" || arg == L"-e") {
            if (i + 1 >= argc) {
                *error = utf8FromWide(arg) + " needs a value";
                return false;
            }
            if (arg == L"--ext") {
                options->extensions.push_back(argv[++i]);
                continue;
            }
            options->evaluate = true;
            options->code = argv[++i];
            ++i;
            break;
        }
        if (arg == L"--version") {
            options->version = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == L'-') {
            *error = "unknown option " + utf8FromWide(arg);
            return false;
        }
        options->script = arg;
        ++i;
        break;
    }
    for (; i < argc; ++i)
        options->scriptArgs.push_back(argv[i]);
    if (options->evaluate && !options->scriptArgs.empty()) {
        *error = options->scriptArgs[0] == L"--ext" ? "--ext must come before -e" : "-e takes no script arguments";
        return false;
    }
    return true;
}

std::wstring programFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

bool isConsole(HANDLE handle)
{
    DWORD mode;
    return GetConsoleMode(handle, &mode) != 0;
}

// Writes engine text to a standard stream: UTF-16 to a console, UTF-8 to
// anything else. Returns false, with the reason in `problem` when given,
// when the text is too large to convert or the stream does not take it all.
bool writeText(FILE* stream, const char* text, size_t length, std::string* problem = NULL)
{
    try {
        std::u16string units;
        utf16FromEngine(text, length, false, &units);
        fflush(stream);
        HANDLE handle = (HANDLE)_get_osfhandle(_fileno(stream));
        std::string reason;
        if (isConsole(handle)) {
            for (size_t at = 0; at < units.size() && reason.empty();) {
                DWORD count = (DWORD)std::min<size_t>(units.size() - at, 8192), written = 0;
                if (!WriteConsoleW(handle, (const wchar_t*)units.data() + at, count, &written, NULL) || written == 0)
                    reason = "the console refused it (error " + std::to_string(GetLastError()) + ")";
                at += written;
            }
        } else {
            std::string utf8 = utf8FromUtf16(units);
            if (fwrite(utf8.data(), 1, utf8.size(), stream) != utf8.size() || fflush(stream) != 0)
                reason = strerror(errno);
            clearerr(stream);
        }
        if (!reason.empty() && problem != NULL)
            *problem = "cannot write to standard " + std::string(stream == stderr ? "error" : "output") + ": " + reason;
        return reason.empty();
    } catch (const std::exception&) {
        if (problem != NULL)
            *problem = "text too large to write";
        return false;
    }
}

bool writeText(FILE* stream, const std::string& text, std::string* problem = NULL)
{
    return writeText(stream, text.data(), text.size(), problem);
}

// Throws an error of `type` with `message`, at the script's call.
duk_ret_t throwAtCaller(duk_context* ctx, duk_errcode_t type, const char* message)
{
    duk_push_error_object(ctx, type, "%s", message);
    placeAtCaller(ctx);
    return duk_throw(ctx);
}

duk_ret_t print(duk_context* ctx)
{
    // Engine work only, so that an error thrown here (a toString that
    // throws) skips no destructor. Each value is converted as String(value)
    // does, which also describes a symbol.
    duk_idx_t count = duk_get_top(ctx);
    for (duk_idx_t i = 0; i < count; ++i) {
        if (!duk_is_symbol(ctx, i)) {
            duk_to_string(ctx, i);
            continue;
        }
        duk_get_global_string(ctx, "String");
        duk_dup(ctx, i);
        duk_call(ctx, 1);
        duk_replace(ctx, i);
    }
    duk_push_string(ctx, " ");
    duk_insert(ctx, 0);
    duk_join(ctx, count);
    duk_push_string(ctx, "\n");
    duk_concat(ctx, 2);
    duk_size_t length = 0;
    const char* line = duk_get_lstring(ctx, -1, &length);
    bool written;
    {
        std::string problem;
        written = writeText(stdout, line, length, &problem);
        if (!written)
            duk_push_lstring(ctx, problem.data(), problem.size());
    }
    if (!written) {
        duk_push_string(ctx, "print failed: ");
        duk_insert(ctx, -2);
        duk_concat(ctx, 2);
        return throwAtCaller(ctx, DUK_ERR_ERROR, duk_get_string(ctx, -1));
    }
    return 0;
}

// exit([status]): ends qvhost at once with `status` (0 when not given), an
// integer from 0 to 255; anything else is a RangeError.
duk_ret_t exitScript(duk_context* ctx)
{
    double status = duk_is_undefined(ctx, 0) ? 0 : duk_is_number(ctx, 0) ? duk_get_number(ctx, 0) : -1;
    if (!(status >= 0 && status <= 255 && status == floor(status)))
        return throwAtCaller(ctx, DUK_ERR_RANGE_ERROR, "exit: the status must be an integer from 0 to 255");
    fflush(stdout);
    fflush(stderr);
    exit((int)status);
}

void fatal(void*, const char* message)
{
    fprintf(stderr, "qvhost: fatal error: %s\n", message ? message : "unknown");
    fflush(stderr);
    exit(kExitScriptError);
}

// Reports the error at the top of the stack as "file:line: message".
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

bool readStream(FILE* stream, std::string* bytes)
{
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes->append(buffer, got);
    return ferror(stream) == 0;
}

bool readFile(const std::wstring& path, std::string* bytes)
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
bool sourceFromBytes(const std::string& bytes, std::string* source, std::string* error)
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

// Compiles `source` as the program `fileName`; leaves the function or the
// error on the stack.
bool compile(duk_context* ctx, const std::string& source, const std::string& fileName)
{
    duk_push_lstring(ctx, source.data(), source.size());
    duk_push_lstring(ctx, fileName.data(), fileName.size());
    return duk_pcompile(ctx, DUK_COMPILE_SHEBANG) == 0;
}

// Compiles and runs `source` as the program `fileName`; leaves the result or
// the error on the stack.
bool run(duk_context* ctx, const std::string& source, const std::string& fileName)
{
    return compile(ctx, source, fileName) && duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
}

// Ends qvhost at once with kExitInterrupted after a line end at the
// console, so that what comes next starts a line of its own. Safe on any
// thread: it flushes nothing the script's thread may be holding.
void endInterrupted()
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!isConsole(output))
        output = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (isConsole(output))
        WriteConsoleW(output, L"\n", 1, &written, NULL);
    TerminateProcess(GetCurrentProcess(), kExitInterrupted);
}

// Ctrl+C and Ctrl+Break, at the prompt or while a script runs, end qvhost:
// the engine cannot be stopped part way. Called on a thread of its own.
BOOL WINAPI onInterrupt(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    endInterrupted();
    return TRUE;
}

// One line typed at the console, without its line end; false at the end of
// the input: a line holding only Ctrl+Z or Ctrl+D, or the console's end.
bool readConsoleLine(HANDLE input, std::wstring* line)
{
    line->clear();
    wchar_t buffer[1024];
    for (;;) {
        DWORD got = 0;
        SetLastError(ERROR_SUCCESS);
        if (!ReadConsoleW(input, buffer, sizeof buffer / sizeof buffer[0], &got, NULL) || got == 0) {
            // Ctrl+C ends a read this way, before its handler runs.
            if (GetLastError() == ERROR_OPERATION_ABORTED)
                endInterrupted();
            return !line->empty();
        }
        line->append(buffer, got);
        if (line->back() == L'\n')
            break;
    }
    while (!line->empty() && (line->back() == L'\n' || line->back() == L'\r'))
        line->pop_back();
    return *line != L"\x1a" && *line != L"\x04";
}

// Whether `source` ends inside a construct it opened: a bracket, a block
// comment, or a string continued by a backslash at a line end. False when a
// bracket closes one that is not open, or a string or regular expression
// meets a line end: such input is wrong, not unfinished.
bool endsInsideConstruct(const std::string& source)
{
    static const char* const beforeExpression[] = {"return", "typeof", "instanceof", "in", "of", "new",
                                                    "delete", "void", "throw", "case", "do", "else"};
    std::string closers;  // the closers awaited, innermost last
    bool operand = false; // whether a "/" here divides rather than starts a regular expression
    for (size_t i = 0; i < source.size();) {
        char c = source[i], next = i + 1 < source.size() ? source[i + 1] : '\0';
        if (c == '/' && next == '/') {
            i = source.find('\n', i);
        } else if (c == '/' && next == '*') {
            i = source.find("*/", i + 2);
            if (i == std::string::npos)
                return true;
            i += 2;
        } else if (c == '"' || c == '\'' || (c == '/' && !operand)) {
            bool inClass = false;
            for (++i; i < source.size() && (source[i] != c || inClass); ++i) {
                if (source[i] == '\n')
                    return false;
                if (source[i] == '\\')
                    ++i;
                else if (c == '/')
                    inClass = source[i] == '[' || (inClass && source[i] != ']');
            }
            if (i >= source.size())
                return true;
            ++i;
            operand = true;
        } else if (isalnum((unsigned char)c) || c == '_' || c == '$' || (unsigned char)c >= 0x80) {
            size_t start = i;
            while (i < source.size() && (isalnum((unsigned char)source[i]) || source[i] == '_' || source[i] == '$' ||
                                         (unsigned char)source[i] >= 0x80))
                ++i;
            std::string word = source.substr(start, i - start);
            operand = std::none_of(std::begin(beforeExpression), std::end(beforeExpression),
                                   [&](const char* keyword) { return word == keyword; });
        } else if ((c == '+' || c == '-') && next == c && operand) {
            i += 2; // a postfix "++" or "--": a "/" after it divides
        } else {
            static const char brackets[] = "([{)]}";
            const char* bracket = c != '\0' ? strchr(brackets, c) : NULL;
            if (bracket != NULL && bracket < brackets + 3) {
                closers += bracket[3];
            } else if (bracket != NULL) {
                if (closers.empty() || closers.back() != c)
                    return false;
                closers.pop_back();
            }
            if (!isspace((unsigned char)c))
                operand = c == ')' || c == ']';
            ++i;
        }
    }
    return !closers.empty();
}

// At a console: runs what is typed, a line at a time or, while a construct
// is open, the lines up to its end as one piece, and shows each result.
int interactive(duk_context* ctx, HANDLE input, const std::string& version)
{
    writeText(stdout, "qvhost " + version + "; exit() or Ctrl+Z then Enter leaves (Ctrl+D at a Unix terminal)\n");
    if (duk_peval_string(ctx, kShowValueSource) != 0) {
        reportError(ctx);
        return kExitScriptError;
    }
    duk_put_global_string(ctx, DUK_HIDDEN_SYMBOL("showValue"));
    std::string pending; // an unfinished piece
    std::wstring line;
    for (;;) {
        writeText(stdout, pending.empty() ? "> " : "... ");
        if (!readConsoleLine(input, &line))
            break;
        pending += engineFromWide(line) + "\n";
        if (pending.find_first_not_of(" \t\n") == std::string::npos) {
            pending.clear();
            continue;
        }
        // The piece ends in a line end, so that a string continued at the
        // end of a line runs on.
        if (!compile(ctx, pending, "stdin")) {
            // Unfinished input fails at its end; anything else is reported
            // now, from the piece as typed, so that its line is the last.
            bool atEnd = strstr(duk_safe_to_string(ctx, -1), "end of input)") != NULL;
            duk_set_top(ctx, 0);
            if (atEnd && endsInsideConstruct(pending))
                continue;
            compile(ctx, pending.substr(0, pending.size() - 1), "stdin");
            reportError(ctx);
            duk_set_top(ctx, 0);
            pending.clear();
            continue;
        }
        pending.clear();
        if (duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS) {
            duk_get_global_string(ctx, DUK_HIDDEN_SYMBOL("showValue"));
            duk_insert(ctx, -2);
            if (duk_pcall(ctx, 1) == DUK_EXEC_SUCCESS) {
                duk_push_string(ctx, "\n");
                duk_concat(ctx, 2);
                duk_size_t length = 0;
                const char* text = duk_get_lstring(ctx, -1, &length);
                std::string problem;
                if (!writeText(stdout, text, length, &problem))
                    writeText(stderr, "qvhost: " + problem + "\n");
            } else {
                reportError(ctx);
            }
        } else {
            reportError(ctx);
        }
        duk_set_top(ctx, 0);
    }
    return kExitDone;
}

// Runs a script file, or standard input for "-" or no name.
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

// The status for output that was (or could not be) written, with the
// reason on standard error.
int reportWritten(bool written, const std::string& problem)
{
    if (written)
        return kExitDone;
    writeText(stderr, "qvhost: " + problem + "\n");
    return kExitScriptError;
}

} // namespace

int main()
{
    // Lines end in a bare line feed, as scripts wrote them.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    std::string error = "cannot read the command line";
    if (argv == NULL || !parseOptions(argc, argv, &options, &error)) {
        writeText(stderr, "qvhost: " + error + "\n" + kUsage);
        return kExitUsage;
    }
    if (options.help)
        return reportWritten(writeText(stdout, kUsage, &error), error);

    SetConsoleCtrlHandler(onInterrupt, TRUE);
    duk_context* ctx = duk_create_heap(NULL, NULL, NULL, NULL, fatal);
    duk_push_c_function(ctx, print, DUK_VARARGS);
    nameFunction(ctx, "print");
    duk_put_global_string(ctx, "print");
    duk_push_c_function(ctx, exitScript, 1);
    nameFunction(ctx, "exit");
    duk_put_global_string(ctx, "exit");
    duk_idx_t args = duk_push_array(ctx);
    for (size_t i = 0; i < options.scriptArgs.size(); ++i) {
        std::string arg = engineFromWide(options.scriptArgs[i]);
        duk_push_lstring(ctx, arg.data(), arg.size());
        duk_put_prop_index(ctx, args, (duk_uarridx_t)i);
    }
    duk_put_global_string(ctx, "scriptArgs");

    std::wstring standard = programFolder() + L"qvfile.dll";
    bool named = false;
    for (const std::wstring& extension : options.extensions) {
        std::wstring fileName = extension.substr(extension.find_last_of(L"\\/:") + 1);
        named = named || _wcsicmp(fileName.c_str(), L"qvfile.dll") == 0;
    }
    if (!named && (options.extensions.empty() || GetFileAttributesW(standard.c_str()) != INVALID_FILE_ATTRIBUTES))
        options.extensions.insert(options.extensions.begin(), standard);
    for (const std::wstring& extension : options.extensions) {
        if (!loadExtension(ctx, extension, &error)) {
            writeText(stderr, "qvhost: " + error + "\n");
            return kExitUsage;
        }
    }
    if (options.version)
        return reportWritten(writeText(stdout, versionReport(options.extensions), &error), error);

    int status = kExitDone;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (options.evaluate) {
        if (!run(ctx, engineFromWide(options.code), "-e")) {
            reportError(ctx);
            status = kExitScriptError;
        }
    } else if (options.script.empty() && isConsole(input)) {
        status = interactive(ctx, input, programVersion());
    } else {
        status = runScript(ctx, options.script);
    }
    duk_destroy_heap(ctx);
    LocalFree(argv);
    return status;
}
