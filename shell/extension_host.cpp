#include "extension_host.h"

#include <math.h>
#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <deque>
#include <vector>

#include "../host/host_services.h"

namespace {

// One loaded extension: the object its functions are put on.
struct Extension {
    duk_context* ctx;
    std::string objectName;
};

// One call of a native function. Handle 2 * (i + 1) is argument i while i is
// below argumentCount; the handles after those name the values valueFromText
// made, kept in the array at `madeValues` on the engine's stack.
struct CallFrame {
    duk_context* ctx;
    duk_idx_t argumentCount;
    duk_idx_t madeValues;
    uint32_t madeCount;
    std::deque<std::string> texts; // what textFromValue handed out
};

const ScriptValue kNoResult = 0; // never a handle

// Pushes the value a handle names, or returns false for a foreign handle.
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

const char* QV_CDECL textFromValue(NativeContext context, ScriptValue value, uint32_t* lengthOut)
{
    CallFrame* frame = (CallFrame*)context;
    std::string text;
    if ((value & 1) != 0) {
        text = std::to_string((int32_t)value >> 1);
    } else if (pushHandle(frame, value)) {
        duk_size_t length = 0;
        const char* utf8 = duk_safe_to_lstring(frame->ctx, -1, &length);
        text = ansiFromScript(utf8, length);
        duk_pop(frame->ctx);
    } else {
        return NULL;
    }
    frame->texts.push_back(text);
    if (lengthOut != NULL)
        *lengthOut = (uint32_t)text.size();
    return frame->texts.back().c_str();
}

int32_t QV_CDECL integerFromValue(NativeContext context, ScriptValue value, int32_t* integerOut)
{
    CallFrame* frame = (CallFrame*)context;
    if ((value & 1) != 0) {
        *integerOut = (int32_t)value >> 1;
        return 1;
    }
    if (!pushHandle(frame, value))
        return 0;
    bool converts = duk_is_number(frame->ctx, -1) || duk_is_boolean(frame->ctx, -1);
    if (converts)
        *integerOut = duk_is_boolean(frame->ctx, -1) ? duk_get_boolean(frame->ctx, -1)
                                                     : duk_to_int32(frame->ctx, -1);
    duk_pop(frame->ctx);
    return converts ? 1 : 0;
}

int32_t QV_CDECL valueFromText(NativeContext context, const char* text, uint32_t length,
                               ScriptValue* resultOut)
{
    CallFrame* frame = (CallFrame*)context;
    if (text == NULL) {
        duk_push_null(frame->ctx);
    } else {
        std::string utf8 = scriptFromAnsi(text, length != 0 ? length : strlen(text));
        duk_push_lstring(frame->ctx, utf8.data(), utf8.size());
    }
    duk_put_prop_index(frame->ctx, frame->madeValues, frame->madeCount);
    *resultOut = (ScriptValue)(2 * (frame->argumentCount + frame->madeCount + 1));
    frame->madeCount++;
    return 1;
}

// Integers that fit the tagged form travel as such; all else gets a handle.
ScriptValue argumentValue(duk_context* ctx, duk_idx_t index)
{
    if (duk_is_number(ctx, index)) {
        double n = duk_get_number(ctx, index);
        if (n == floor(n) && n >= -1073741824.0 && n <= 1073741823.0 && !(n == 0 && signbit(n)))
            return integerValue((int32_t)n);
    }
    return (ScriptValue)(2 * (index + 1));
}

// Gives an error thrown by a native the script's file and line.
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

// Every registered function is this dispatcher, told apart by the native
// pointer and the full name stored on the function object.
duk_ret_t callNative(duk_context* ctx)
{
    duk_idx_t argc = duk_get_top(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, DUK_HIDDEN_SYMBOL("native"));
    NativeFunction native = (NativeFunction)duk_get_pointer(ctx, -1);
    duk_pop(ctx);
    duk_get_prop_string(ctx, -1, DUK_HIDDEN_SYMBOL("name"));
    std::string name = duk_get_string(ctx, -1);
    duk_pop_2(ctx);

    duk_push_array(ctx);
    // The frame and the argument array end before any error is thrown:
    // duk_throw unwinds without running destructors.
    int32_t answered;
    ScriptValue result = kNoResult;
    {
        CallFrame frame = {ctx, argc, argc, 0, {}};
        std::vector<ScriptValue> argv(argc + 1);
        for (duk_idx_t i = 0; i < argc; ++i)
            argv[i] = argumentValue(ctx, i);
        answered = native(&frame, NULL, (uint32_t)argc, argv.data(), &result);
        if (answered != 0 && result != kNoResult && (result & 1) == 0 && !pushHandle(&frame, result))
            duk_push_undefined(ctx);
    }
    if (answered == 0) {
        duk_push_error_object(ctx, DUK_ERR_ERROR, "%s failed", name.c_str());
        placeAtCaller(ctx);
        return duk_throw(ctx);
    }
    if (result == kNoResult)
        return 0;
    if ((result & 1) != 0)
        duk_push_int(ctx, (int32_t)result >> 1);
    return 1;
}

int32_t QV_CDECL registerNative(void* ownerObject, const char* name, NativeFunction function,
                                uint32_t argumentCount)
{
    Extension* extension = (Extension*)ownerObject;
    duk_context* ctx = extension->ctx;
    duk_get_global_string(ctx, extension->objectName.c_str());
    duk_push_c_function(ctx, callNative, DUK_VARARGS);
    duk_push_pointer(ctx, (void*)function);
    duk_put_prop_string(ctx, -2, DUK_HIDDEN_SYMBOL("native"));
    duk_push_string(ctx, (extension->objectName + "." + name).c_str());
    duk_put_prop_string(ctx, -2, DUK_HIDDEN_SYMBOL("name"));
    duk_push_string(ctx, "length");
    duk_push_uint(ctx, argumentCount);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE);
    duk_put_prop_string(ctx, -2, name);
    duk_pop(ctx);
    return 1;
}

std::string systemMessage(DWORD code)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text,
                   sizeof text, NULL);
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

std::string baseName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Re-encodes text between two code pages through UTF-16.
std::string recode(const char* text, size_t length, UINT from, UINT to)
{
    if (length == 0)
        return std::string();
    int wide = MultiByteToWideChar(from, 0, text, (int)length, NULL, 0);
    std::wstring utf16(wide, L'\0');
    MultiByteToWideChar(from, 0, text, (int)length, &utf16[0], wide);
    int bytes = WideCharToMultiByte(to, 0, utf16.data(), wide, NULL, 0, NULL, NULL);
    std::string out(bytes, '\0');
    WideCharToMultiByte(to, 0, utf16.data(), wide, &out[0], bytes, NULL, NULL);
    return out;
}

} // namespace

std::string ansiFromScript(const char* utf8, size_t length)
{
    return recode(utf8, length, CP_UTF8, CP_ACP);
}

std::string scriptFromAnsi(const char* ansi, size_t length)
{
    return recode(ansi, length, CP_ACP, CP_UTF8);
}

bool loadExtension(duk_context* ctx, const std::string& path, std::string* error)
{
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == NULL) {
        *error = "cannot load " + path + ": " + systemMessage(GetLastError());
        return false;
    }
    typedef int32_t(QV_CDECL * InitWrapper)(void* services, uint32_t size);
    InitWrapper init = (InitWrapper)(void*)GetProcAddress(library, "QV_InitWrapper");
    if (init == NULL) {
        *error = "cannot use " + path + ": it has no QV_InitWrapper export";
        FreeLibrary(library);
        return false;
    }
    Extension* extension = new Extension{ctx, baseName(path)};
    duk_push_object(ctx);
    duk_put_global_string(ctx, extension->objectName.c_str());

    // The table lives as long as the extension may read it: for good.
    void** services = new void*[kServiceCount]();
    services[0] = extension;
    services[1] = (void*)&registerNative;
    services[2] = (void*)&textFromValue;
    services[3] = (void*)&integerFromValue;
    services[7] = (void*)&valueFromText;
    if (init(services, kServiceCount * sizeof(void*)) == 0) {
        *error = "cannot use " + path + ": its QV_InitWrapper reported failure";
        return false;
    }
    return true;
}
