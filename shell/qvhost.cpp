// qvhost: runs JavaScript against qvfile.dll and other extensions with the
// same entry point, outside the desktop application.
//
//   qvhost [--ext PATH.dll]... SCRIPT.js [ARGS...]   runs a script
//   qvhost [--ext PATH.dll]... -e CODE               evaluates code
//   qvhost [--ext PATH.dll]...                       reads lines from stdin
//
// qvfile.dll beside the program is loaded unless an --ext names a file of
// that name. Exit status: 0 when the script completes; 1 for an uncaught or
// syntax error, reported with its file and line on standard error; 2 for
// usage errors and extensions that cannot be loaded.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "duktape.h"
#include "extension_host.h"
#include "version_info.h"

namespace {

const char kUsage[] =
    "usage: qvhost [--ext PATH.dll]... [SCRIPT.js [ARGS...] | -e CODE]\n"
    "  Runs SCRIPT.js, evaluates CODE, or reads lines from standard input.\n"
    "  qvfile.dll beside qvhost is loaded by default; --ext loads more extensions.\n"
    "  --version prints the versions of qvhost and of the extensions it loads.\n";

enum { kExitDone = 0, kExitScriptError = 1, kExitUsage = 2 };

struct Options {
    std::vector<std::string> extensions;
    std::string script;     // empty: no script file
    std::string code;       // with -e
    bool evaluate = false;
    bool version = false;
    std::vector<std::string> scriptArgs;
};

bool parseOptions(int argc, char** argv, Options* options, std::string* error)
{
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--ext" || arg == "-e") {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            if (arg == "--ext") {
                options->extensions.push_back(argv[++i]);
                continue;
            }
            options->evaluate = true;
            options->code = argv[++i];
            ++i;
            break;
        }
        if (arg == "--version") {
            options->version = true;
            continue;
        }
        if (arg == "-h" || arg == "--help" || (arg.size() > 1 && arg[0] == '-')) {
            *error = arg == "-h" || arg == "--help" ? "" : "unknown option " + arg;
            return false;
        }
        options->script = arg;
        ++i;
        break;
    }
    for (; i < argc; ++i)
        options->scriptArgs.push_back(argv[i]);
    if (options->evaluate && !options->scriptArgs.empty()) {
        *error = "-e takes no script arguments";
        return false;
    }
    return true;
}

std::string programFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string lowerFileName(const std::string& path)
{
    std::string name = path.substr(path.find_last_of("\\/:") + 1);
    for (char& c : name)
        c = (char)tolower((unsigned char)c);
    return name;
}

duk_ret_t print(duk_context* ctx)
{
    duk_idx_t count = duk_get_top(ctx);
    std::string line;
    for (duk_idx_t i = 0; i < count; ++i) {
        duk_size_t length = 0;
        const char* text = duk_safe_to_lstring(ctx, i, &length);
        if (i > 0)
            line += ' ';
        line.append(text, length);
    }
    line += '\n';
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
    return 0;
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
    fprintf(stderr, "%s%s\n", where.c_str(), duk_safe_to_string(ctx, -1));
    fflush(stderr);
}

bool readFile(const std::string& path, std::string* bytes)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return false;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->append(buffer, got);
    bool ok = ferror(file) == 0;
    fclose(file);
    return ok;
}

// Compiles and runs `source` as the program `fileName`; leaves the result or
// the error on the stack.
bool run(duk_context* ctx, const std::string& source, const std::string& fileName)
{
    duk_push_lstring(ctx, source.data(), source.size());
    duk_push_string(ctx, fileName.c_str());
    if (duk_pcompile(ctx, DUK_COMPILE_SHEBANG) != 0)
        return false;
    return duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
}

int interactive(duk_context* ctx)
{
    bool prompt = _isatty(_fileno(stdin)) != 0;
    std::string line;
    for (;;) {
        if (prompt) {
            fputs("> ", stdout);
            fflush(stdout);
        }
        line.clear();
        int c;
        while ((c = fgetc(stdin)) != EOF && c != '\n')
            line += (char)c;
        if (c == EOF && line.empty())
            break;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (run(ctx, line, "stdin"))
            print(ctx);
        else
            reportError(ctx);
        duk_set_top(ctx, 0);
        if (c == EOF)
            break;
    }
    return kExitDone;
}

} // namespace

int main(int argc, char** argv)
{
    // Lines end in a bare line feed, as scripts wrote them.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, &options, &error)) {
        if (!error.empty())
            fprintf(stderr, "qvhost: %s\n", error.c_str());
        fputs(kUsage, stderr);
        return kExitUsage;
    }

    duk_context* ctx = duk_create_heap(NULL, NULL, NULL, NULL, fatal);
    duk_push_c_function(ctx, print, DUK_VARARGS);
    duk_put_global_string(ctx, "print");
    duk_idx_t args = duk_push_array(ctx);
    for (size_t i = 0; i < options.scriptArgs.size(); ++i) {
        duk_push_string(ctx, options.scriptArgs[i].c_str());
        duk_put_prop_index(ctx, args, (duk_uarridx_t)i);
    }
    duk_put_global_string(ctx, "scriptArgs");

    std::string standard = programFolder() + "qvfile.dll";
    bool named = false;
    for (const std::string& extension : options.extensions)
        named = named || lowerFileName(extension) == "qvfile.dll";
    if (!named && (options.extensions.empty() || GetFileAttributesA(standard.c_str()) != INVALID_FILE_ATTRIBUTES))
        options.extensions.insert(options.extensions.begin(), standard);
    for (const std::string& extension : options.extensions) {
        if (!loadExtension(ctx, extension, &error)) {
            fprintf(stderr, "qvhost: %s\n", error.c_str());
            return kExitUsage;
        }
    }
    if (options.version) {
        printVersions(options.extensions);
        return kExitDone;
    }

    int status = kExitDone;
    if (options.evaluate) {
        if (!run(ctx, options.code, "-e")) {
            reportError(ctx);
            status = kExitScriptError;
        }
    } else if (!options.script.empty()) {
        std::string source;
        if (!readFile(options.script, &source)) {
            fprintf(stderr, "qvhost: cannot read %s\n", options.script.c_str());
            return kExitUsage;
        }
        if (!run(ctx, source, options.script)) {
            reportError(ctx);
            status = kExitScriptError;
        }
    } else {
        status = interactive(ctx);
    }
    duk_destroy_heap(ctx);
    return status;
}
