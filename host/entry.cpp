// The exported entry point.
//
// QV_InitWrapper(services, size) copies the host's table and registers the
// script functions of script_functions.h in their order. It returns the
// result of the last registerNative call, or 0 when the host supplied no registerNative.
// The library never changes the process's default file mode: its own files
// are opened in explicit binary modes.
#include <windows.h>

#include "host_services.h"
#include "script_functions.h"
#include "../files/file_natives.h"
#include "../ui/ui_natives.h"

namespace {

struct Registration {
    const char* name;
    NativeFunction function;
    uint32_t declaredCount;
};

#define QV_REGISTRATION(name, function, count) {name, function, count},
const Registration registrations[] = {QV_SCRIPT_FUNCTIONS(QV_REGISTRATION)};

int32_t registerAll()
{
    int32_t last = 0;
    for (const Registration& row : registrations) {
        RegisterNativeService registerNative = hostServices.registerNative;
        if (registerNative == NULL)
            return 0;
        last = registerNative(hostServices.ownerObject, row.name, row.function, row.declaredCount);
    }
    return last;
}

} // namespace

extern "C" __declspec(dllexport) int32_t QV_CDECL QV_InitWrapper(void* services, uint32_t size)
{
    copyHostServices(&hostServices, services, size);
    return registerAll();
}

// Load and unload do nothing of the library's own.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
