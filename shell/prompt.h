// The console prompt: qvhost at a console without a script. Each line
// typed runs as it comes, or, while it ends inside a bracket, a block
// comment or a string continued by a backslash, goes on at a "... " prompt
// and runs with the lines up to the construct's end as one piece; any other
// syntax error is reported at once. Each result is shown as a value (see
// show_value.js), not as print writes it. A line holding only Ctrl+Z or
// Ctrl+D, or the console's end, leaves; Ctrl+C ends qvhost at once.
#ifndef QVHOST_PROMPT_H
#define QVHOST_PROMPT_H

#include <windows.h>

#include <string>

#include "duktape.h"

// Ctrl+C and Ctrl+Break, at the prompt or while a script runs, end qvhost
// with kExitInterrupted: the engine cannot be stopped part way. The console
// calls it on a thread of its own (SetConsoleCtrlHandler).
BOOL WINAPI onInterrupt(DWORD event);

// Prompts at the console `input` until its input ends; answers kExitDone,
// or kExitScriptError when the value display cannot be set up. The first
// line gives qvhost's `version` and how to leave.
int runPrompt(duk_context* ctx, HANDLE input, const std::string& version);

#endif
