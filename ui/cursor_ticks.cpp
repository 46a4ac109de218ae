// The busy cursor and the tick counter.
//
// setBusyCursor saves the cursor it replaces only once: repeated calls do not
// stack, and clearBusyCursor puts back the cursor from before the first one.
// When there was no cursor before, nothing is saved and clearing does nothing.
#include "ui_natives.h"

#include <windows.h>

namespace {

HCURSOR savedCursor = NULL;

} // namespace

QV_NATIVE(nativeSetBusyCursor)
{
    if (savedCursor == NULL)
        savedCursor = SetCursor(LoadCursorA(NULL, MAKEINTRESOURCEA(32514))); // IDC_WAIT
    return kDone;
}

QV_NATIVE(nativeClearBusyCursor)
{
    if (savedCursor != NULL) {
        SetCursor(savedCursor);
        savedCursor = NULL;
    }
    return kDone;
}

QV_NATIVE(nativeGetTickCount)
{
    *result = tickCountValue(GetTickCount());
    return kDone;
}
