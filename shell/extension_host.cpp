#include "extension_host.h"

#include <limits.h>
#include <math.h>
#include <stdint.h>
#include <string.h>
#include <wctype.h>
#include <windows.h>

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <vector>

#include "../host/host_services.h"
#include "ansi_tables.h"
#include "engine_text.h"

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
    std::string refusal;           // why a service failed, for the error
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

// Runs the inspection; the value (or the engine's error) stays on the stack
// for the caller to pop. Returns false on an engine error.
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

// Keeps the first reason of the call's refusal, for the error's message.
void noteRefusal(CallFrame* frame, const std::string& reason)
{
    if (frame->refusal.empty())
        frame->refusal = reason;
}

std::string codePageName() { return "code page " + std::to_string(GetACP()); }

// Converts UTF-16 to the ANSI code page exactly, in pieces whose lengths fit
// the int the calls take. Returns false when a character has no exact
// counterpart there (best-fit lookalikes and the default character are not).
bool ansiFromUtf16(const std::u16string& units, std::string* ansi)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows strings are UTF-16");
    UINT codePage = GetACP();
    DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const size_t piece = 1 << 20;
    ansi->clear();
    for (size_t start = 0; start < units.size();) {
        size_t count = std::min(piece, units.size() - start);
        if (start + count < units.size() && units[start + count - 1] >= 0xD800 && units[start + count - 1] <= 0xDBFF)
            count--; // a pair stays in one piece
        const wchar_t* wide = (const wchar_t*)units.data() + start;
        BOOL usedDefault = FALSE;
        BOOL* usedDefaultOut = codePage == CP_UTF8 ? NULL : &usedDefault;
        int bytes = WideCharToMultiByte(codePage, flags, wide, (int)count, NULL, 0, NULL, usedDefaultOut);
        if (bytes <= 0 || usedDefault)
            return false;
        size_t at = ansi->size();
        ansi->resize(at + (size_t)bytes);
        if (WideCharToMultiByte(codePage, flags, wide, (int)count, &(*ansi)[at], bytes, NULL, usedDefaultOut) != bytes ||
            usedDefault)
            return false;
        start += count;
    }
    return true;
}

// The engine's text of bytes in the ANSI code page; an empty string when
// they convert, else why not. The whole text's conversion, which the fast
// routes (engine_text) fall back on; they hand it pieces too.
std::string engineFromAnsi(const char* ansi, size_t length, std::string* text)
{
    text->clear();
    if (length == 0)
        return std::string();
    if (length > (size_t)INT_MAX)
        return "the result is too large for a script string";
    UINT codePage = GetACP();
    int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, ansi, (int)length, NULL, 0);
    std::u16string units(count > 0 ? count : 0, u'\0');
    if (count <= 0 ||
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, ansi, (int)length, (wchar_t*)&units[0], count) != count)
        return "the result is not text in " + codePageName();
    if (!engineFromUtf16(units.data(), units.size(), kLongestEngineText, text))
        return "the result is too large for a script string";
    return std::string();
}

bool enginePieceFromAnsi(const char* ansi, size_t length, std::string* text)
{
    std::string piece;
    if (!engineFromAnsi(ansi, length, &piece).empty())
        return false;
    text->append(piece);
    return true;
}

bool ansiPieceFromEngine(const char* text, size_t length, std::string* ansi)
{
    std::u16string units;
    std::string piece;
    if (!utf16FromEngine(text, length, true, &units) || !ansiFromUtf16(units, &piece))
        return false;
    ansi->append(piece);
    return true;
}

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

// Engine work for valueFromText, run protected like inspectValue.
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

// One registration's engine work, run protected like inspectValue: the
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

// The system's message for `code`, with the file it is about in place of its
// first insert; the others are dropped, never shown as "%2".
std::string systemMessage(DWORD code, const std::wstring& file)
{
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text,
                   sizeof text / sizeof text[0], NULL);
    std::wstring message;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        if (c[0] == L'%' && c[1] >= L'1' && c[1] <= L'9') {
            if (c[1] == L'1' && !(c[2] >= L'0' && c[2] <= L'9'))
                message += file;
            while (c[1] >= L'0' && c[1] <= L'9')
                ++c;
        } else {
            message += *c;
        }
    }
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : utf8FromWide(message);
}

std::wstring baseName(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/:");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

// Whether `name` can be written in a script: a letter, "_" or "$", then
// also digits, and no reserved word.
bool isIdentifier(const std::wstring& name)
{
    static const wchar_t* const reserved[] = {
        L"break", L"case", L"catch", L"class", L"const", L"continue", L"debugger", L"default", L"delete",
        L"do", L"else", L"enum", L"export", L"extends", L"false", L"finally", L"for", L"function", L"if",
        L"implements", L"import", L"in", L"instanceof", L"interface", L"let", L"new", L"null", L"package",
        L"private", L"protected", L"public", L"return", L"static", L"super", L"switch", L"this", L"throw",
        L"true", L"try", L"typeof", L"var", L"void", L"while", L"with", L"yield"};
    for (size_t i = 0; i < name.size(); ++i) {
        wchar_t c = name[i];
        bool ascii = c < 0x80, surrogate = c >= 0xD800 && c <= 0xDFFF;
        bool start = ascii ? iswalpha(c) || c == L'_' || c == L'$' : !surrogate && iswalpha(c);
        bool part = ascii ? iswdigit(c) : !surrogate && iswalnum(c);
        if (!start && !(i > 0 && part))
            return false;
    }
    for (const wchar_t* word : reserved) {
        if (name == word)
            return false;
    }
    return !name.empty();
}

} // namespace

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

bool loadExtension(duk_context* ctx, const std::wstring& path, std::string* error)
{
    std::string shown = utf8FromWide(path);
    std::wstring name = baseName(path);
    if (!isIdentifier(name)) {
        *error = "cannot use " + shown + ": its name \"" + utf8FromWide(name) +
                 "\" is not a script identifier, so scripts could not reach its functions";
        return false;
    }
    std::string objectName = engineFromWide(name);
    duk_push_global_object(ctx);
    bool taken = duk_has_prop_lstring(ctx, -1, objectName.data(), objectName.size()) != 0;
    duk_pop(ctx);
    if (taken) {
        *error = "cannot use " + shown + ": a global named \"" + utf8FromWide(name) + "\" exists already";
        return false;
    }
    HMODULE library = LoadLibraryW(path.c_str());
    if (library == NULL) {
        DWORD code = GetLastError();
        *error = "cannot load " + shown + ": " + systemMessage(code, path);
        return false;
    }
    typedef int32_t(QV_CDECL * InitWrapper)(void* services, uint32_t size);
    InitWrapper init = (InitWrapper)(void*)GetProcAddress(library, "QV_InitWrapper");
    if (init == NULL) {
        *error = "cannot use " + shown + ": it has no QV_InitWrapper export";
        FreeLibrary(library);
        return false;
    }
    Extension* extension = new Extension{ctx, objectName};
    loadedExtensions.push_back(extension);
    duk_push_object(ctx);
    duk_put_global_string(ctx, extension->objectName.c_str());

    // The table lives as long as the extension may read it: for good.
    HostServices* services = new HostServices();
    services->ownerObject = extension;
    services->registerNative = &registerNative;
    services->textFromValue = &textFromValue;
    services->integerFromValue = &integerFromValue;
    services->valueFromText = &valueFromText;
    if (init(services, sizeof *services) == 0) {
        *error = "cannot use " + shown + ": its QV_InitWrapper reported failure";
        return false;
    }
    return true;
}
