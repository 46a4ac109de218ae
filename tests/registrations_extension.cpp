// An extension that asks its host to register what it must refuse: no
// owner, a null or an empty name, a null function. Its one good function,
// answers(), gives the host's answers to those four requests as the digits
// of an integer (0 when all were refused).
#include <stdint.h>

#include "../host/host_services.h"

namespace {

int32_t refusedAnswers = -1;

QV_NATIVE(answers)
{
    *result = integerValue(refusedAnswers);
    return kDone;
}

} // namespace

extern "C" __declspec(dllexport) int32_t QV_CDECL QV_InitWrapper(void* services, uint32_t size)
{
    if (size < 2 * sizeof(void*))
        return 0;
    void* owner = ((void**)services)[0];
    RegisterNativeService registerNative = (RegisterNativeService)((void**)services)[1];
    refusedAnswers = 1000 * registerNative(NULL, "noOwner", answers, 0) +
                     100 * registerNative(owner, NULL, answers, 0) +
                     10 * registerNative(owner, "", answers, 0) +
                     registerNative(owner, "nullFunction", NULL, 0);
    return registerNative(owner, "answers", answers, 0);
}
