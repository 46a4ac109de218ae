#include "test_host.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <gtest/gtest.h>

namespace {

const ScriptValue kUntouched = 0xDEADBEEEu;

std::string libraryUnderTest()
{
    const char* named = getenv("QVFILE_DLL");
    if (named != NULL && named[0] != '\0')
        return named;
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, program, sizeof program);
    std::string folder(program, length < sizeof program ? length : 0);
    return folder.substr(0, folder.find_last_of('\\') + 1) + "qvfile.dll";
}

} // namespace

InitWrapperEntry libraryEntry()
{
    static InitWrapperEntry entry = NULL;
    if (entry == NULL) {
        std::string path = libraryUnderTest();
        HMODULE library = LoadLibraryA(path.c_str());
        if (library != NULL)
            entry = (InitWrapperEntry)GetProcAddress(library, "QV_InitWrapper");
        if (entry == NULL)
            ADD_FAILURE() << "cannot load QV_InitWrapper from " << path << " (error " << GetLastError() << ")";
    }
    return entry;
}

void* startOtherHost(const std::string& code)
{
    std::string library = libraryUnderTest();
    std::string program = library.substr(0, library.find_last_of('\\') + 1) + "qvhost.exe";
    std::string command = "\"" + program + "\" -e \"" + code + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(program.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return NULL;
    CloseHandle(process.hThread);
    return process.hProcess;
}

TestHost::TestHost(uint32_t entries) : entries_(entries)
{
    memset(table_, 0, sizeof table_);
    HostServices services = {};
    services.ownerObject = this;
    services.registerNative = &TestHost::registerNative;
    services.textFromValue = &TestHost::textFromValue;
    services.integerFromValue = &TestHost::integerFromValue;
    services.valueFromText = &TestHost::valueFromText;
    memcpy(table_, &services, (entries < kServiceCount ? entries : kServiceCount) * sizeof(void*));
    // Entries past the host's own table hold junk the library must not copy.
    for (uint32_t i = entries; i < kServiceCount + 4; ++i)
        table_[i] = (void*)(uintptr_t)0xBADBAD01u;
}

TestHost::~TestHost()
{
    // Leave no services behind that point at this host.
    if (InitWrapperEntry entry = libraryEntry())
        entry(NULL, 0);
}

int32_t TestHost::initialise(uint32_t size)
{
    registrations_.clear();
    InitWrapperEntry entry = libraryEntry();
    return entry != NULL ? entry(table_, size) : -1;
}

ScriptValue TestHost::text(const std::string& bytes)
{
    texts_.push_back(bytes);
    return (ScriptValue)(2 * texts_.size());
}

Answer TestHost::call(const std::string& name, const std::vector<ScriptValue>& args)
{
    for (const Registration& row : registrations_) {
        if (row.name != name)
            continue;
        std::vector<ScriptValue> argv(args);
        argv.push_back(kUntouched); // never read: the library gets argc
        ScriptValue slot = kUntouched;
        callTexts_.emplace_back();
        int32_t flag = row.function(this, NULL, (uint32_t)args.size(), argv.data(), &slot);
        for (std::string* text : callTexts_.back()) {
            text->assign(text->size(), '#');
            delete text;
        }
        callTexts_.pop_back();
        return Answer{flag, slot, slot != kUntouched};
    }
    return Answer{-1, kUntouched, false};
}

std::string TestHost::textOf(ScriptValue value) const
{
    if (value == kNullText)
        return "<null>";
    if ((value & 1) != 0 || value == 0 || value / 2 > texts_.size())
        return "<not a text>";
    return texts_[value / 2 - 1];
}

int32_t TestHost::registerNative(void* owner, const char* name, NativeFunction function,
                                 uint32_t argumentCount)
{
    TestHost* host = (TestHost*)owner;
    host->registrations_.push_back(Registration{name, function, argumentCount});
    return host->registerAnswer >= 0 ? host->registerAnswer : (int32_t)host->registrations_.size();
}

const char* TestHost::textFromValue(NativeContext context, ScriptValue value, uint32_t* lengthOut)
{
    TestHost* host = (TestHost*)context;
    if (host->onTextFromValue)
        host->onTextFromValue(value);
    std::string* text = NULL;
    if ((value & 1) != 0)
        text = new std::string(std::to_string((int32_t)value >> 1));
    else if (value != 0 && value / 2 <= host->texts_.size())
        text = new std::string(host->texts_[value / 2 - 1]);
    if (text == NULL)
        return NULL;
    host->callTexts_.back().push_back(text);
    if (lengthOut != NULL)
        *lengthOut = host->reportedLength >= 0 ? (uint32_t)host->reportedLength : (uint32_t)text->size();
    return text->c_str();
}

int32_t TestHost::integerFromValue(NativeContext, ScriptValue value, int32_t* integerOut)
{
    if ((value & 1) == 0)
        return 0;
    *integerOut = (int32_t)value >> 1;
    return 1;
}

int32_t TestHost::valueFromText(NativeContext context, const char* text, uint32_t length,
                                ScriptValue* resultOut)
{
    TestHost* host = (TestHost*)context;
    if (text == NULL) {
        *resultOut = kNullText;
        return 1;
    }
    *resultOut = host->text(length == 0 ? std::string(text) : std::string(text, length));
    return 1;
}
