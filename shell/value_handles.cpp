#include "value_handles.h"

#include <math.h>

namespace {

// What a value that is not text is, for the error's message; NULL for text.
const char* describeNonText(duk_context* ctx, duk_idx_t index)
{
    switch (duk_get_type(ctx, index)) {
    case DUK_TYPE_STRING:
        return duk_is_symbol(ctx, index) ? "a symbol" : NULL;
    case DUK_TYPE_NUMBER:
    case DUK_TYPE_BOOLEAN:
        return NULL;
    case DUK_TYPE_UNDEFINED:
        return "undefined";
    case DUK_TYPE_NULL:
        return "null";
    case DUK_TYPE_OBJECT:
        return duk_is_function(ctx, index) ? "a function" : duk_is_array(ctx, index) ? "an array" : "an object";
    case DUK_TYPE_LIGHTFUNC:
        return "a function";
    case DUK_TYPE_BUFFER:
        return "a buffer";
    default:
        return "a pointer";
    }
}

// The engine's part of a service, run protected so that no engine error
// unwinds through the extension: pushes the value a handle names and, when
// `asText`, replaces a number or boolean by its ToString (which runs no
// script code). Holds nothing that needs destroying: an error leaves it by
// longjmp.
duk_ret_t inspectValue(duk_context* ctx, void* data)
{
    Inspection* inspection = (Inspection*)data;
    inspection->found = pushHandle(inspection->frame, inspection->handle);
    if (!inspection->found) {
        duk_push_undefined(ctx);
        return 1;
    }
    if (!inspection->asText)
        return 1;
    inspection->notText = describeNonText(ctx, -1);
    inspection->inPlace = duk_is_string(ctx, -1) != 0;
    if (inspection->notText == NULL)
        inspection->text = duk_to_lstring(ctx, -1, &inspection->length);
    return 1;
}

} // namespace

bool pushHandle(CallFrame* frame, ScriptValue handle)
{
    if (handle == 0 || (handle & 1) != 0)
        return false;
    uint32_t index = handle / 2 - 1;
    if (index < (uint32_t)frame->argumentCount) {
        duk_dup(frame->ctx, (duk_idx_t)index);
        return true;
    }
    index -= (uint32_t)frame->argumentCount;
    if (index >= frame->madeCount)
        return false;
    duk_get_prop_index(frame->ctx, frame->madeValues, index);
    return true;
}

bool inspect(Inspection* inspection)
{
    return duk_safe_call(inspection->frame->ctx, inspectValue, inspection, 0, 1) == DUK_EXEC_SUCCESS &&
           inspection->found;
}

std::string nameOf(CallFrame* frame, ScriptValue value)
{
    uint32_t index = value / 2 - 1;
    return index < (uint32_t)frame->argumentCount ? "argument " + std::to_string(index + 1) : "a value";
}

void noteRefusal(CallFrame* frame, const std::string& reason)
{
    if (frame->refusal.empty())
        frame->refusal = reason;
}


ScriptValue argumentValue(duk_context* ctx, duk_idx_t index)
{
    if (duk_is_number(ctx, index)) {
        double n = duk_get_number(ctx, index);
        if (n == floor(n) && n >= -1073741824.0 && n <= 1073741823.0 && !(n == 0 && signbit(n)))
            return integerValue((int32_t)n);
    }
    return (ScriptValue)(2 * (index + 1));
}

