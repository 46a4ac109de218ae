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
// 1 for an uncaught or syntax error, reported with the file and line of its
// throw on standard error, and for output that cannot be written; 2 for usage
// errors, scripts that cannot be read (with the reason) and extensions that
// cannot be loaded;
// 130 after Ctrl+C.
//
// The other concerns live beside this file: standard_streams (writing to the
// standard streams), run_script (loading and running scripts), prompt (the
// console prompt, with show_value.js, the display of its results),
// extension_host (the extension contract), engine_text (text conversion),
// version_info (--version).
#include <fcntl.h>
#include <io.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "dispatch.h"
#include "duktape.h"
#include "engine_text.h"
#include "extension_host.h"
#include "prompt.h"
#include "run_script.h"
#include "standard_streams.h"
#include "version_info.h"

namespace {

const char kUsage[] =
    "usage: qvhost [--ext PATH.dll]... [SCRIPT.js [ARGS...] | - [ARGS...] | -e CODE]\n"
    "  Runs SCRIPT.js, standard input (-, or no script when it is not a console),\n"
    "  or CODE; at a console without a script, prompts (exit() or Ctrl+Z leaves).\n"
    "  qvfile.dll beside qvhost is loaded by default; --ext loads more extensions.\n"
    "  -h, --help  print this and exit\n"
    "  --version   print the versions of qvhost and of the extensions it loads\n";


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
    trackThrows(ctx);
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
        status = runPrompt(ctx, input, programVersion());
    } else {
        status = runScript(ctx, options.script);
    }
    duk_destroy_heap(ctx);
    LocalFree(argv);
    return status;
}
