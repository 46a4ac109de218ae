// The script functions, one row each, in the order QV_InitWrapper registers
// them: the name the host sees, the native that performs it and the
// argument count declared to the host. The entry point registers from this
// list, and the tests and the documents check read it.
#ifndef QVFILE_SCRIPT_FUNCTIONS_H
#define QVFILE_SCRIPT_FUNCTIONS_H

#define QV_SCRIPT_FUNCTIONS(ROW)                               \
    ROW("exists",          nativeExists,            1)        \
    ROW("mkdir",           nativeMkdir,             1)        \
    ROW("read",            nativeRead,              1)        \
    ROW("write",           nativeWrite,             2)        \
    ROW("list",            nativeList,              1)        \
    ROW("copy",            nativeCopy,              2)        \
    ROW("isDir",           nativeIsDir,             1)        \
    ROW("isFile",          nativeIsFile,            1)        \
    ROW("canRead",         nativeCanRead,           1)        \
    ROW("canWrite",        nativeCanWrite,          1)        \
    ROW("remove",          nativeRemove,            1)        \
    ROW("rename",          nativeRename,            2)        \
    ROW("setDropSize",     nativeSetDropSize,       3)        \
    ROW("setBusyCursor",   nativeSetBusyCursor,     0)        \
    ROW("clearBusyCursor", nativeClearBusyCursor,   0)        \
    ROW("getTickCount",    nativeGetTickCount,      0)

// The names alone and their number, for code that has no natives to hand.
#define QV_FUNCTION_NAME(name, function, count) name,
#define QV_FUNCTION_ONE(name, function, count) +1
enum { kFunctionCount = 0 QV_SCRIPT_FUNCTIONS(QV_FUNCTION_ONE) };

#endif
