// Loading and running scripts, and reporting their errors.
#ifndef QVHOST_RUN_SCRIPT_H
#define QVHOST_RUN_SCRIPT_H

#include <stdio.h>

#include <string>

#include "duktape.h"

// qvhost's exit statuses.
enum { kExitDone = 0, kExitScriptError = 1, kExitUsage = 2, kExitInterrupted = 130 };

// Makes the engine note where each value that is not an Error is thrown, so
// that reportError can name the place for such a value too.
void trackThrows(duk_context* ctx);

// Reports the error at the top of the stack as "file:line: message" on
// standard error; a thrown value that is not an Error shows as String(value),
// after the place of its throw when that is known.
void reportError(duk_context* ctx);

// Compiles `source` as the program `fileName`; leaves the function or the
// error on the stack.
bool compile(duk_context* ctx, const std::string& source, const std::string& fileName);

// Compiles and runs `source` as the program `fileName`; leaves the result or
// the error on the stack.
bool run(duk_context* ctx, const std::string& source, const std::string& fileName);

// Runs a script file, or standard input for "-" or no name, and answers
// qvhost's exit status: kExitDone, kExitScriptError after reporting the
// error, kExitUsage when the script cannot be read or is not text.
int runScript(duk_context* ctx, const std::wstring& script);

#endif
