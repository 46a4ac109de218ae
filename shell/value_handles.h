// Script values as a native function sees them during one call of it:
// integers that fit 31 bits in the tagged form (n << 1 | 1), every other
// value an even handle into the call's frame, which lives for that call.
#ifndef QVHOST_VALUE_HANDLES_H
#define QVHOST_VALUE_HANDLES_H

#include <stdint.h>

#include <deque>
#include <string>

#include "duktape.h"
#include "../host/host_services.h"

// One call of a native function. Handle 2 * (i + 1) is argument i while i is
// below argumentCount; the handles after those name the values valueFromText
// made, kept in the array at `madeValues` on the engine's stack.
struct CallFrame {
    duk_context* ctx;
    duk_idx_t argumentCount;
    duk_idx_t madeValues;
    uint32_t madeCount;
    std::deque<std::string> texts; // what textFromValue handed out
    std::string refusal;           // why a service failed, for the error
};

const ScriptValue kNoResult = 0; // never a handle

// A value a service asks about, and what the engine found.
struct Inspection {
    CallFrame* frame;
    ScriptValue handle;
    bool asText;
    bool found;
    const char* notText; // what the value is when it is not text
    const char* text;
    duk_size_t length;
    bool inPlace; // `text` is the string's own, alive as long as the call
};

// Pushes the value a handle names, or returns false for a foreign handle.
bool pushHandle(CallFrame* frame, ScriptValue handle);

// Runs the inspection; the value (or the engine's error) stays on the stack
// for the caller to pop. Returns false on an engine error.
bool inspect(Inspection* inspection);

// "argument 2", or "a value" for one the call made.
std::string nameOf(CallFrame* frame, ScriptValue value);

// Keeps the first reason of the call's refusal, for the error's message.
void noteRefusal(CallFrame* frame, const std::string& reason);

// Integers that fit the tagged form travel as such; all else gets a handle.
ScriptValue argumentValue(duk_context* ctx, duk_idx_t index);

#endif
