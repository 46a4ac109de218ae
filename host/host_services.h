// The contract between qvfile and its host application.
//
// The host hands QV_InitWrapper a table of sixteen pointer-sized services;
// the library keeps one copy of it (hostServices) and every script function
// reads the service it needs from that copy at the moment it needs it.
// Script values are 32-bit words: the library makes integers itself
// (n << 1 | 1) and strings only through the host's valueFromText.
//
// Every script function returns kRefused (0) when it cannot perform the call
// at all, leaving the result slot untouched, and kDone (1) otherwise, with
// its answer (possibly the integer 0 for a failed operation) in the slot.
#ifndef QVFILE_HOST_SERVICES_H
#define QVFILE_HOST_SERVICES_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define QV_CDECL __cdecl
#else
#define QV_CDECL
#endif

typedef uint32_t ScriptValue;
typedef void* NativeContext;

extern "C" {
typedef int32_t(QV_CDECL* NativeFunction)(NativeContext context, void* thisObject, uint32_t argc,
                                          ScriptValue* argv, ScriptValue* result);
typedef int32_t(QV_CDECL* RegisterNativeService)(void* ownerObject, const char* name,
                                                 NativeFunction function, uint32_t argumentCount);
typedef const char*(QV_CDECL* TextFromValueService)(NativeContext context, ScriptValue value,
                                                    uint32_t* lengthOut);
typedef int32_t(QV_CDECL* IntegerFromValueService)(NativeContext context, ScriptValue value,
                                                   int32_t* integerOut);
typedef int32_t(QV_CDECL* ValueFromTextService)(NativeContext context, const char* text,
                                                uint32_t length, ScriptValue* resultOut);
}

// The script integer n: n shifted left by one with bit 0 set (0 is 1, 1 is
// 3). Computed on the unsigned word, so the top bit of n is simply lost.
inline ScriptValue integerValue(int32_t n) { return ((uint32_t)n << 1) | 1u; }

enum { kServiceCount = 16 };

// The library's copy of the host's table; entries the library does not use
// are copied all the same and never read.
struct HostServices {
    void* ownerObject;                        // 0
    RegisterNativeService registerNative;     // 1
    TextFromValueService textFromValue;       // 2
    IntegerFromValueService integerFromValue; // 3
    void* unused4to6[3];                      // 4..6
    ValueFromTextService valueFromText;       // 7
    void* unused8to15[8];                     // 8..15
};
static_assert(sizeof(HostServices) == kServiceCount * sizeof(void*),
              "HostServices must match the host's table entry for entry");

extern HostServices hostServices;

// Declares or defines a script function with the host's calling shape; the
// this-object is never used.
#define QV_NATIVE(name)                                                                  \
    int32_t QV_CDECL name(NativeContext context, void* /*thisObject*/, uint32_t argc,   \
                          ScriptValue* argv, ScriptValue* result)

// Return codes of every script function.
enum { kRefused = 0, kDone = 1 };

// Copies the whole entries of a host table of `size` bytes (at most sixteen)
// into `services` and clears the rest.
void copyHostServices(HostServices* services, const void* table, uint32_t size);

// Answers of a performed call: store into the result slot and return kDone.
int32_t returnInteger(ScriptValue* result, int32_t value);
int32_t returnPredicate(ScriptValue* result, bool yes);

// Hands `length` bytes of `text` to the host's valueFromText (length 0 with a
// terminated text, or a null text, as the host contract allows). Refuses when
// the service is absent; otherwise returns what the service returned.
int32_t returnText(NativeContext context, const char* text, uint32_t length, ScriptValue* result);

#endif
