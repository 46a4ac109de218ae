// The host side of the extension contract, for the Duktape engine.
//
// loadExtension loads a DLL, hands its QV_InitWrapper a sixteen-entry
// services table and exposes every function it registers as a property of a
// global object named after the DLL's file name without extension.
//
// Script values reach a native function as 32-bit words: integers that fit 31
// bits in the tagged form (n << 1 | 1), everything else as an even handle
// into a table that lives for one call. Texts cross in the ANSI code page,
// counted in bytes, so zero bytes pass both ways. A native that returns 0
// throws an Error naming it ("qvfile.exists failed"); one that returns 1
// without storing a result gives undefined.
#ifndef QVHOST_EXTENSION_HOST_H
#define QVHOST_EXTENSION_HOST_H

#include <string>

#include "duktape.h"

// Loads the extension at `path` into the global object of `ctx`. On failure
// returns false with the reason in `error`.
bool loadExtension(duk_context* ctx, const std::string& path, std::string* error);

// Conversions between the ANSI code page and the engine's strings.
std::string ansiFromScript(const char* utf8, size_t length);
std::string scriptFromAnsi(const char* ansi, size_t length);

#endif
