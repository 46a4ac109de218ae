// The interface aids scripts call.
//
// setDropSize(dialogTitle, firstItemText, rows) makes the drop-down list of
// the combo box whose first item is firstItemText, in the open dialog titled
// dialogTitle, tall enough for `rows` items; it stores no result and answers
// kDone whether or not it found them (kRefused only for refused arguments).
// setBusyCursor() shows the wait cursor and clearBusyCursor() puts back the
// cursor from before; getTickCount() answers the millisecond counter. These
// three ignore their arguments and use no host service.
#ifndef QVFILE_UI_NATIVES_H
#define QVFILE_UI_NATIVES_H

#include "../host/host_services.h"

QV_NATIVE(nativeSetDropSize);
QV_NATIVE(nativeSetBusyCursor);
QV_NATIVE(nativeClearBusyCursor);
QV_NATIVE(nativeGetTickCount);

// The script integer for a tick count: the counter's top bit is lost, so a
// script sees it modulo 2^31 as a signed 31-bit integer.
inline ScriptValue tickCountValue(uint32_t ticks) { return integerValue((int32_t)ticks); }

#endif
