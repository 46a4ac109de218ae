// Calling a native from a script: every registered function is one
// dispatcher, which hands the native its arguments as values and makes its
// answer the script's result, or an Error naming the function.
#ifndef QVHOST_DISPATCH_H
#define QVHOST_DISPATCH_H

#include "duktape.h"

// The engine function of every registered native: the native's pointer and
// its full name ("qvfile.exists") are hidden properties of the function.
duk_ret_t callNative(duk_context* ctx);

// Gives the function at the top of the stack the name `name`, which the
// engine does not give a C function.
void nameFunction(duk_context* ctx, const char* name);

// Gives the error at the top of the stack, made by a C function the script
// called, the script's file and line in place of the C source's.
void placeAtCaller(duk_context* ctx);

#endif
