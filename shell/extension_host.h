// The host side of the extension contract, for the Duktape engine.
//
// loadExtension loads a DLL, hands its QV_InitWrapper a sixteen-entry
// services table and exposes every function it registers as a property of a
// global object named after the DLL's file name without extension, as
// written; a name that is not a script identifier, or is a global already,
// is refused before the DLL is loaded. registerNative answers 0, registering
// nothing, for a null or empty name or a null function.
//
// Script values reach a native function as 32-bit words: integers that fit 31
// bits in the tagged form (n << 1 | 1), everything else as an even handle
// into a table that lives for one call. Texts cross in the ANSI code page,
// counted in bytes, so zero bytes pass both ways, and they convert exactly or
// not at all:
// - textFromValue gives strings, numbers and booleans as ToString does; it
//   answers null for every other value (undefined, null, objects and arrays,
//   functions, symbols), for a character the code page lacks (no best-fit
//   lookalike, no default character) or an unpaired surrogate, and for a text
//   too large to convert. It never runs script code.
// - valueFromText answers 0 for bytes that are not text in the code page and
//   for a text longer than a script string can be.
// Neither lets an engine error unwind through the extension. A native that
// returns 0 throws an Error naming it ("qvfile.exists failed"), followed by
// the reason when a service knows it ("qvfile.write failed: argument 2 is
// undefined, not text"); one that returns 1 without storing a result gives
// undefined.
#ifndef QVHOST_EXTENSION_HOST_H
#define QVHOST_EXTENSION_HOST_H

#include <string>

#include "duktape.h"

// Loads the extension at `path` into the global object of `ctx`. On failure
// returns false with the reason, in UTF-8, in `error`.
bool loadExtension(duk_context* ctx, const std::wstring& path, std::string* error);

#endif
