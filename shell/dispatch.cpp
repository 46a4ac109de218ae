#include "dispatch.h"

#include <string>
#include <vector>

#include "value_handles.h"

duk_ret_t callNative(duk_context* ctx)
{
    duk_idx_t argc = duk_get_top(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, DUK_HIDDEN_SYMBOL("native"));
    NativeFunction native = (NativeFunction)duk_get_pointer(ctx, -1);
    duk_pop(ctx);
    duk_get_prop_string(ctx, -1, DUK_HIDDEN_SYMBOL("name"));
    duk_remove(ctx, -2);
    duk_push_array(ctx);
    duk_idx_t madeValues = duk_get_top_index(ctx);

    // The frame and the argument array end before any error is thrown:
    // duk_throw unwinds without running destructors. The services catch the
    // engine's errors, so none unwinds through the extension either.
    int32_t answered;
    ScriptValue result = kNoResult;
    {
        CallFrame frame = {ctx, argc, madeValues, 0, {}, {}};
        std::vector<ScriptValue> argv(argc + 1);
        for (duk_idx_t i = 0; i < argc; ++i)
            argv[i] = argumentValue(ctx, i);
        answered = native(&frame, NULL, (uint32_t)argc, argv.data(), &result);
        if (answered == 0) {
            std::string message = std::string(duk_get_string(ctx, argc)) + " failed";
            if (!frame.refusal.empty())
                message += ": " + frame.refusal;
            duk_push_lstring(ctx, message.data(), message.size());
        } else if (result != kNoResult && (result & 1) == 0 && !pushHandle(&frame, result)) {
            duk_push_undefined(ctx);
        }
    }
    if (answered == 0) {
        duk_push_error_object(ctx, DUK_ERR_ERROR, "%s", duk_get_string(ctx, -1));
        placeAtCaller(ctx);
        return duk_throw(ctx);
    }
    if (result == kNoResult)
        return 0;
    if ((result & 1) != 0)
        duk_push_int(ctx, (int32_t)result >> 1);
    return 1;
}

void nameFunction(duk_context* ctx, const char* name)
{
    duk_push_string(ctx, "name");
    duk_push_string(ctx, name);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE);
}

void placeAtCaller(duk_context* ctx)
{
    duk_inspect_callstack_entry(ctx, -2);
    if (!duk_is_object(ctx, -1)) {
        duk_pop(ctx);
        return;
    }
    duk_get_prop_string(ctx, -1, "lineNumber");
    duk_get_prop_string(ctx, -2, "function");
    duk_get_prop_string(ctx, -1, "fileName");
    duk_put_prop_string(ctx, -5, "fileName");
    duk_pop(ctx);
    duk_put_prop_string(ctx, -3, "lineNumber");
    duk_pop(ctx);
}

