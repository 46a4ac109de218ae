// The console prompt (see prompt.h): reading a console line, deciding
// whether the input goes on, showing each result.
#include "prompt.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>
#include <iterator>

#include "engine_text.h"
#include "run_script.h"
#include "show_value.h"
#include "standard_streams.h"

// Ends qvhost at once with kExitInterrupted after a line end at the
// console, so that what comes next starts a line of its own. Safe on any
// thread: it flushes nothing the script's thread may be holding.
static void endInterrupted()
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!isConsole(output))
        output = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (isConsole(output))
        WriteConsoleW(output, L"\n", 1, &written, NULL);
    TerminateProcess(GetCurrentProcess(), kExitInterrupted);
}

BOOL WINAPI onInterrupt(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    endInterrupted();
    return TRUE;
}

// One line typed at the console, without its line end; false at the end of
// the input: a line holding only Ctrl+Z or Ctrl+D, or the console's end.
static bool readConsoleLine(HANDLE input, std::wstring* line)
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
static bool endsInsideConstruct(const std::string& source)
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
int runPrompt(duk_context* ctx, HANDLE input, const std::string& version)
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
