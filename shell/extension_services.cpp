// The four services the host hands an extension: textFromValue,
// integerFromValue and valueFromText on the values of the current call, and
// registerNative, which puts a native on the extension's object.
#include "extension_services.h"

#include <limits.h>
#include <string.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "ansi_tables.h"
#include "ansi_text.h"
#include "dispatch.h"
#include "engine_text.h"
#include "value_handles.h"

namespace {

const char* QV_CDECL textFromValue(NativeContext context, ScriptValue value, uint32_t* lengthOut)
{
    CallFrame* frame = (CallFrame*)context;
    duk_idx_t top = duk_get_top(frame->ctx);
    try {
        std::string text;
        if ((value & 1) != 0) {
            text = std::to_string((int32_t)value >> 1);
        } else {
            Inspection inspection = {frame, value, true, false, NULL, NULL, 0, false};
            bool inspected = inspect(&inspection);
            if (inspected && inspection.notText != NULL)
                noteRefusal(frame, nameOf(frame, value) + " is " + inspection.notText + ", not text");
            if (!inspected || inspection.notText != NULL) {
                duk_set_top(frame->ctx, top);
                return NULL;
            }
            // ASCII in the script's own string goes as it is, without a copy.
            const AnsiTables& tables = systemAnsiTables();
            if (inspection.inPlace && sameInAnsiAndEngine(tables, inspection.text, inspection.length)) {
                duk_set_top(frame->ctx, top);
                if (lengthOut != NULL)
                    *lengthOut = (uint32_t)inspection.length;
                return inspection.text;
            }
            std::u16string units;
            if (!ansiFromEngineFast(tables, inspection.text, inspection.length, ansiPieceFromEngine, &text) &&
                (!utf16FromEngine(inspection.text, inspection.length, true, &units) || !ansiFromUtf16(units, &text))) {
                noteRefusal(frame, nameOf(frame, value) + " has characters outside " + codePageName());
                duk_set_top(frame->ctx, top);
                return NULL;
            }
            duk_set_top(frame->ctx, top);
        }
        if (text.size() > UINT32_MAX)
            throw std::length_error("text");
        frame->texts.push_back(std::move(text));
    } catch (const std::exception&) {
        duk_set_top(frame->ctx, top);
        try {
            noteRefusal(frame, nameOf(frame, value) + " is too large to convert");
        } catch (const std::exception&) {
            // Without memory for the reason, the refusal goes without it.
        }
        return NULL;
    }
    if (lengthOut != NULL)
        *lengthOut = (uint32_t)frame->texts.back().size();
    return frame->texts.back().c_str();
}

int32_t QV_CDECL integerFromValue(NativeContext context, ScriptValue value, int32_t* integerOut)
{
    CallFrame* frame = (CallFrame*)context;
    if ((value & 1) != 0) {
        *integerOut = (int32_t)value >> 1;
        return 1;
    }
    duk_context* ctx = frame->ctx;
    Inspection inspection = {frame, value, false, false, NULL, NULL, 0, false};
    bool converts = inspect(&inspection) && (duk_is_number(ctx, -1) || duk_is_boolean(ctx, -1));
    if (converts)
        *integerOut = duk_is_boolean(ctx, -1) ? duk_get_boolean(ctx, -1) : duk_to_int32(ctx, -1);
    else if (inspection.found) {
        try {
            noteRefusal(frame, nameOf(frame, value) + " is not a number");
        } catch (const std::exception&) {
            // As in textFromValue: the refusal goes without its reason.
        }
    }
    duk_pop(ctx);
    return converts ? 1 : 0;
}

// Engine work for valueFromText, run protected: no engine error unwinds
// through the extension.
struct Making {
    CallFrame* frame;
    const char* text; // NULL makes null
    size_t length;
};

duk_ret_t storeMadeValue(duk_context* ctx, void* data)
{
    Making* making = (Making*)data;
    if (making->text == NULL)
        duk_push_null(ctx);
    else
        duk_push_lstring(ctx, making->text, making->length);
    duk_put_prop_index(ctx, making->frame->madeValues, making->frame->madeCount);
    return 0;
}

int32_t QV_CDECL valueFromText(NativeContext context, const char* text, uint32_t length,
                               ScriptValue* resultOut)
{
    CallFrame* frame = (CallFrame*)context;
    try {
        std::string converted;
        Making making = {frame, NULL, 0};
        size_t ansiLength = text == NULL ? 0 : length != 0 ? length : strlen(text);
        const AnsiTables& tables = systemAnsiTables();
        if (text != NULL && sameInAnsiAndEngine(tables, text, ansiLength)) {
            making.text = text;
            making.length = ansiLength;
        } else if (text != NULL) {
            if (!engineFromAnsiFast(tables, text, ansiLength, enginePieceFromAnsi, &converted)) {
                std::string problem = engineFromAnsi(text, ansiLength, &converted);
                if (!problem.empty()) {
                    noteRefusal(frame, problem);
                    return 0;
                }
            }
            making.text = converted.data();
            making.length = converted.size();
        }
        bool made = duk_safe_call(frame->ctx, storeMadeValue, &making, 0, 1) == DUK_EXEC_SUCCESS;
        duk_pop(frame->ctx);
        if (!made) {
            noteRefusal(frame, "the result could not be made a script string");
            return 0;
        }
    } catch (const std::exception&) {
        try {
            noteRefusal(frame, "the result is too large to convert");
        } catch (const std::exception&) {
            // As in textFromValue: the refusal goes without its reason.
        }
        return 0;
    }
    *resultOut = (ScriptValue)(2 * (frame->argumentCount + frame->madeCount + 1));
    frame->madeCount++;
    return 1;
}

// One registration's engine work, run protected like valueFromText's: the
// extension's entry point is on the stack below it.
struct Registering {
    Extension* extension;
    const char* name;
    const char* fullName;
    NativeFunction function;
    uint32_t argumentCount;
};

duk_ret_t putNative(duk_context* ctx, void* data)
{
    Registering* registering = (Registering*)data;
    duk_get_global_string(ctx, registering->extension->objectName.c_str());
    duk_push_c_function(ctx, callNative, DUK_VARARGS);
    duk_push_pointer(ctx, (void*)registering->function);
    duk_put_prop_string(ctx, -2, DUK_HIDDEN_SYMBOL("native"));
    duk_push_string(ctx, registering->fullName);
    duk_put_prop_string(ctx, -2, DUK_HIDDEN_SYMBOL("name"));
    duk_push_string(ctx, "length");
    duk_push_uint(ctx, registering->argumentCount);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE);
    nameFunction(ctx, registering->name);
    duk_put_prop_string(ctx, -2, registering->name);
    return 0;
}

// The extensions loaded so far: the only owners registerNative accepts.
std::vector<Extension*> loadedExtensions;

// Answers 0, registering nothing, for an owner that is not a loaded
// extension, a null or empty name, a null function, and when the function
// could not be put on the extension's object.
int32_t QV_CDECL registerNative(void* ownerObject, const char* name, NativeFunction function,
                                uint32_t argumentCount)
{
    Extension* extension = (Extension*)ownerObject;
    if (std::find(loadedExtensions.begin(), loadedExtensions.end(), extension) == loadedExtensions.end() ||
        name == NULL || name[0] == '\0' || function == NULL)
        return 0;
    try {
        std::string fullName = extension->objectName + "." + name;
        Registering registering = {extension, name, fullName.c_str(), function, argumentCount};
        bool put = duk_safe_call(extension->ctx, putNative, &registering, 0, 1) == DUK_EXEC_SUCCESS;
        duk_pop(extension->ctx);
        return put ? 1 : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

HostServices* servicesFor(Extension* extension)
{
    loadedExtensions.push_back(extension);
    HostServices* services = new HostServices();
    services->ownerObject = extension;
    services->registerNative = &registerNative;
    services->textFromValue = &textFromValue;
    services->integerFromValue = &integerFromValue;
    services->valueFromText = &valueFromText;
    return services;
}
