// A host for the tests: loads the DLL under test the way a host does, fills a
// services table (whole, short or empty), records what the library registers,
// hands out text and integer values and calls the registered functions with a
// result slot it can check afterwards.
#ifndef QVFILE_TEST_HOST_H
#define QVFILE_TEST_HOST_H

#include <stdint.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "../host/host_services.h"

typedef int32_t(QV_CDECL* InitWrapperEntry)(void* services, uint32_t size);

// QV_InitWrapper of the DLL under test, which is loaded once (LoadLibrary)
// and kept: the DLL the environment variable QVFILE_DLL names, or qvfile.dll
// beside the test program. NULL, with a test failure recorded, when the DLL
// or its export cannot be found.
InitWrapperEntry libraryEntry();

// Starts another host: qvhost, beside the DLL under test (which it loads),
// evaluating the script `code`. Its process handle, or NULL.
void* startOtherHost(const std::string& code);

// What a call answered. `touched` tells whether the result slot changed.
struct Answer {
    int32_t flag;
    ScriptValue value;
    bool touched;

    bool isInteger(int32_t n) const { return touched && value == integerValue(n); }
};

struct Registration {
    std::string name;
    NativeFunction function;
    uint32_t declaredCount;
};

class TestHost {
public:
    // A host whose table holds `entries` entries (all five services when kServiceCount).
    explicit TestHost(uint32_t entries = kServiceCount);
    ~TestHost();

    // Runs QV_InitWrapper with the table and the given byte size.
    int32_t initialise(uint32_t size);
    int32_t initialise() { return initialise(entries_ * sizeof(void*)); }

    ScriptValue text(const std::string& bytes);
    ScriptValue integer(int32_t n) { return integerValue(n); }
    // A value that textFromValue and integerFromValue both refuse.
    ScriptValue unconvertible() const { return 0; }

    Answer call(const std::string& name, const std::vector<ScriptValue>& args);

    // The bytes of a string value valueFromText made; a null text made
    // through valueFromText reads as "<null>".
    std::string textOf(ScriptValue value) const;
    bool isNullText(ScriptValue value) const { return value == kNullText; }

    const std::vector<Registration>& registrations() const { return registrations_; }
    // Calls go to these functions from now on: a host whose table lacks
    // registerNative can still call what another host registered.
    void useFunctions(const std::vector<Registration>& functions) { registrations_ = functions; }

    // When set, textFromValue reports this length instead of the true one.
    int64_t reportedLength = -1;
    // When set, registerNative answers this instead of its count.
    int32_t registerAnswer = -1;
    // When set, textFromValue runs this first, as a host that runs script code
    // to convert a value may: it can call the library again.
    std::function<void(ScriptValue)> onTextFromValue;

    static const ScriptValue kNullText = 0xFFFFFFFEu;

private:
    static int32_t QV_CDECL registerNative(void* owner, const char* name, NativeFunction function,
                                           uint32_t argumentCount);
    static const char* QV_CDECL textFromValue(NativeContext context, ScriptValue value,
                                              uint32_t* lengthOut);
    static int32_t QV_CDECL integerFromValue(NativeContext context, ScriptValue value,
                                             int32_t* integerOut);
    static int32_t QV_CDECL valueFromText(NativeContext context, const char* text,
                                          uint32_t length, ScriptValue* resultOut);

    uint32_t entries_;
    void* table_[kServiceCount + 4];
    std::deque<std::string> texts_; // a text's value is 2 * (index + 1)
    // The texts textFromValue handed out, one list per call in progress: at
    // its end they are overwritten and freed, so a text kept beyond its call
    // no longer reads as it did.
    std::vector<std::vector<std::string*>> callTexts_;
    std::vector<Registration> registrations_;
};

#endif
