// The services record, its filling from the host's table, and the result
// helpers through which every script function leaves.
#include "host_services.h"

#include <string.h>

HostServices hostServices;

void copyHostServices(HostServices* services, const void* table, uint32_t size)
{
    // Only whole entries are copied: a size that ends inside an entry leaves
    // that entry absent rather than half-filled.
    size_t entries = size / sizeof(void*);
    if (entries > kServiceCount)
        entries = kServiceCount;
    memset(services, 0, sizeof *services);
    if (table != NULL && entries > 0)
        memcpy(services, table, entries * sizeof(void*));
}

int32_t returnInteger(ScriptValue* result, int32_t value)
{
    *result = integerValue(value);
    return kDone;
}

int32_t returnPredicate(ScriptValue* result, bool yes)
{
    return returnInteger(result, yes ? 1 : 0);
}

int32_t returnText(NativeContext context, const char* text, uint32_t length, ScriptValue* result)
{
    ValueFromTextService valueFromText = hostServices.valueFromText;
    if (valueFromText == NULL)
        return kRefused;
    return valueFromText(context, text, length, result) != 0 ? kDone : kRefused;
}
