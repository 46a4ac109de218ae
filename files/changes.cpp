// mkdir, remove, rename and copy: the functions that change the file system.
//
// Each answers 1 when the platform did what was asked and it is on disk
// afterwards (the folder there, the file gone, the entry under its new name
// alone), and 0 when it refused (missing parent, existing target, refused
// access, a cancelled copy) or reported done what the disk does not show.
// mkdir makes no name a Windows name may not hold. remove and rename act on
// the named entry itself, never on a file a link leads to: where the system
// would reach through the link, they answer 0 and touch nothing. rename never
// replaces an existing entry, and a move that fails leaves nothing it made
// at the new name; a rename that changes only letter case gives the name the
// new letters. copy goes through the shell, which copies folders
// with their contents, accepts wildcards in the source and may ask the user
// before replacing files; a copy whose paths would not fit, that would land
// inside its own source or on it, or whose source matches nothing answers 0
// before the shell starts, and 1 only when the copy is there afterwards.
#include "file_natives.h"
#include "path_argument.h"
#include "platform.h"

#include <direct.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <shellapi.h>

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether a Windows name may be `name` (up to its "\").
bool isWindowsName(const char* name)
{
    return !nameHoldsForbiddenCharacter(name, nameLength(name, isAnsiLeadByte), isAnsiLeadByte);
}

DWORD attributesOf(const char* path) { return GetFileAttributesA(path); }

bool isFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether nothing is at `path` any more: it is not found, or (on Windows) its
// deletion waits for another program's handle to close. The functions judge
// each change by what is on disk after the platform's call, which under Wine
// reports a deletion done that the system refused (a read-only volume, a
// folder the user may not change).
bool isGone(const char* path)
{
    if (attributesOf(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_ACCESS_DENIED;
}

bool makeFolder(const char* path)
{
    return isWindowsName(lastName(path, isAnsiLeadByte)) && _mkdir(path) == 0 && isFolder(attributesOf(path));
}

// `path` in the ANSI code page as UTF-16 into `wide` (kPathSize units).
bool toWide(const char* path, wchar_t* wide) { return MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kPathSize) != 0; }

// GetFinalPathNameByHandleW's two ways of naming a volume: the system's own
// name ("\Device\...", which every volume has on Windows) and the drive
// letter ("\\?\C:\...").
const DWORD kVolumeNameNt = 2;
const DWORD kVolumeNameDos = 0;
// Room for a final path: a link may lead anywhere, deeper than the path.
enum { kFinalPathSize = 1024 };

// The final path of `path`, its volume named as `volumeName` says; `flags`
// adds FILE_FLAG_OPEN_REPARSE_POINT to stop at a link of its own. 0 when it
// cannot be opened, -1 when the final path cannot be had.
int finalPathOf(FinalPathByHandle finalPath, const wchar_t* path, DWORD flags, DWORD volumeName, wchar_t* final)
{
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | flags, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD length = finalPath(file, final, kFinalPathSize, volumeName);
    CloseHandle(file);
    return length > 0 && length < kFinalPathSize ? (int)length : -1;
}

// Whether removing or renaming `path` acts on the entry of that name in its
// folder rather than on another file that a link in its last part leads to
// (Wine resolves Unix links before it deletes or moves, and shows them as
// plain files): the entry, opened without following a link of its own, must
// have as its final path its folder's final path (links followed) and the
// name the folder lists. Both final paths name the volume by the system's
// name for it, or, where it has none yet (under Wine, a drive linked or a
// file system mounted while Wine runs), by drive letters. Letter case, short
// names, relative paths and links higher up (drives, linked folders) count
// for nothing. True too when the entry cannot be opened (nothing can be
// reached through it) or the system has no final paths (no file links before
// Vista); false when a final path or the listed name cannot be had.
bool actsOnEntryItself(const char* path)
{
    FinalPathByHandle finalPath = finalPathByHandle;
    if (finalPath == NULL)
        return true;
    wchar_t wide[kPathSize], full[kPathSize];
    if (!toWide(path, wide))
        return false;
    DWORD length = GetFullPathNameW(wide, kPathSize, full, NULL);
    if (length == 0 || length >= kPathSize)
        return false;
    // A drive's root, or a path without a folder, is no link one can remove.
    while (length > 0 && full[length - 1] == L'\\')
        full[--length] = L'\0';
    wchar_t* name = wcsrchr(full, L'\\');
    if (name == NULL || name[1] == L'\0')
        return true;
    // The folder keeps its "\": "C:\" opens the root, "C:" the current folder.
    wchar_t folder[kPathSize];
    size_t folderPart = (size_t)(name - full) + 1;
    memcpy(folder, full, folderPart * sizeof(wchar_t));
    folder[folderPart] = L'\0';
    // Both by the system's name of the volume; where that cannot be had (Wine
    // has none for a drive linked or a file system mounted while it runs),
    // both by drive letters.
    const DWORD volumeNames[] = {kVolumeNameNt, kVolumeNameDos};
    wchar_t entryFinal[kFinalPathSize], folderFinal[kFinalPathSize];
    int entryLength = -1, folderLength = -1;
    for (int way = 0; way < 2 && (entryLength < 0 || folderLength <= 0); ++way) {
        entryLength = finalPathOf(finalPath, full, FILE_FLAG_OPEN_REPARSE_POINT, volumeNames[way], entryFinal);
        if (entryLength == 0)
            return true;
        if (entryLength > 0)
            folderLength = finalPathOf(finalPath, folder, 0, volumeNames[way], folderFinal);
    }
    WIN32_FIND_DATAW listed;
    HANDLE search = FindFirstFileW(full, &listed);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    if (entryLength < 0 || folderLength <= 0 || search == INVALID_HANDLE_VALUE)
        return false;
    if (folderFinal[folderLength - 1] != L'\\')
        folderFinal[folderLength++] = L'\\';
    size_t nameLength = wcslen(listed.cFileName);
    return (size_t)entryLength == folderLength + nameLength &&
           wcsncmp(entryFinal, folderFinal, folderLength) == 0 &&
           wcscmp(entryFinal + folderLength, listed.cFileName) == 0;
}

bool removeFile(const char* path) { return actsOnEntryItself(path) && remove(path) == 0 && isGone(path); }

// Which file a path opens, links followed.
struct Identity {
    DWORD volume, high, low;
};


// False when `path` cannot be opened or its file system gives no index.
bool identityOf(const wchar_t* path, Identity* identity)
{
    HANDLE file = CreateFileW(path, 0, kShareAll, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information = {};
    bool known = GetFileInformationByHandle(file, &information) &&
                 (information.nFileIndexHigh | information.nFileIndexLow) != 0;
    CloseHandle(file);
    identity->volume = information.dwVolumeSerialNumber;
    identity->high = information.nFileIndexHigh;
    identity->low = information.nFileIndexLow;
    return known;
}

bool sameIdentity(const Identity& a, const Identity& b)
{
    return a.volume == b.volume && a.high == b.high && a.low == b.low;
}

// The name the folder lists for `path` into `listed` (MAX_PATH bytes).
bool listedName(const char* path, char* listed)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(path, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    memcpy(listed, entry.cFileName, sizeof entry.cFileName);
    return true;
}

// Whether `to` names the entry `from` names, listed under the same name: a
// rename that can change only the letters of its name.
bool namesSameEntry(const char* from, const char* to)
{
    char fromName[MAX_PATH], toName[MAX_PATH];
    wchar_t wideFrom[kPathSize], wideTo[kPathSize];
    Identity a, b;
    return listedName(from, fromName) && listedName(to, toName) && strcmp(fromName, toName) == 0 &&
           toWide(from, wideFrom) && toWide(to, wideTo) && identityOf(wideFrom, &a) && identityOf(wideTo, &b) &&
           sameIdentity(a, b);
}

// Whether the folder lists `path` by the letters its last part has.
bool listedAsWritten(const char* path)
{
    char listed[MAX_PATH];
    const char* name = lastName(path, isAnsiLeadByte);
    size_t length = nameLength(name, isAnsiLeadByte);
    return listedName(path, listed) && strlen(listed) == length && strncmp(listed, name, length) == 0;
}

// Moves `from` to `to` through a new name in the folder of `from`, for a
// platform whose rename leaves a name as it was when only its letter case
// changes. When the second step fails the entry takes its old name back.
bool renameThroughTemporary(const char* from, const char* to)
{
    const char name[] = "qv000000.tmp";
    size_t folder = (size_t)(lastName(from, isAnsiLeadByte) - from);
    char temp[kPathSize];
    if (folder + sizeof name > kPathSize)
        return false;
    memcpy(temp, from, folder);
    memcpy(temp + folder, name, sizeof name);
    static uint32_t serial = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        uint32_t unique = GetTickCount() * 2654435761u + ++serial * 40503u;
        for (int digit = 0; digit < 6; ++digit)
            temp[folder + 7 - digit] = "0123456789abcdef"[(unique >> (4 * digit)) & 15];
        if (GetFileAttributesA(temp) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (rename(from, temp) != 0)
            return false;
        if (rename(temp, to) == 0)
            return true;
        rename(temp, from);
        return false;
    }
    return false;
}

// A rename onto an existing name is refused here rather than left to the
// platform: under Wine a rename onto another name of the same file (a hard
// link, a link to the source) answers success and does nothing. True only
// when the new name holds the entry and the old one is gone; a move that
// fails leaves nothing it made at the new name.
bool renameEntry(const char* from, const char* to)
{
    if (!actsOnEntryItself(from) || !isWindowsName(lastName(to, isAnsiLeadByte)))
        return false;
    bool sameEntry = namesSameEntry(from, to);
    if (!sameEntry && attributesOf(to) != INVALID_FILE_ATTRIBUTES)
        return false;
    if (sameEntry)
        return rename(from, to) == 0 && (listedAsWritten(to) || renameThroughTemporary(from, to));
    if (rename(from, to) == 0 && !isGone(to) && isGone(from))
        return true;
    // A move between volumes copies, then deletes the source; a copy that ran
    // out of room, or whose source stayed, is a file this call made.
    DWORD made = attributesOf(to);
    if (made != INVALID_FILE_ATTRIBUTES && !isFolder(made) && !isGone(from))
        DeleteFileA(to);
    return false;
}

// Fetches the two locations of rename and copy, the first fully before the
// second. Each buffer has room for a path, its terminator and the second
// terminator that ends a list of names for the shell.
bool fetchTwoPaths(NativeContext context, uint32_t argc, ScriptValue* argv,
                   char (&from)[kPathSize + 1], char (&to)[kPathSize + 1])
{
    if (argc != 2 || !fetchPathArgument(context, argv[0], from))
        return false;
    return fetchPathArgument(context, argv[1], to);
}

// Ends a one-name list for the shell: a second terminator after the path's.
void endNameList(char* path) { path[strlen(path) + 1] = '\0'; }

// The checks around a copy walk names as the shell copies them, in UTF-16:
// a name outside the ANSI code page has no ANSI name to walk by.

// Called for each entry of a walk with its path and its path below the
// walk's folder; answers false to stop the walk.
typedef bool (*EntryVisitor)(const wchar_t* path, const wchar_t* relative, const WIN32_FIND_DATAW& entry,
                             void* data);

// The length of the part that starts at `name`, up to its "\" or the end.
size_t partLength(const wchar_t* name)
{
    const wchar_t* end = wcschr(name, L'\\');
    return end != NULL ? (size_t)(end - name) : wcslen(name);
}

bool isDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// Visits every entry that `pattern` (a name or a wildcard) matches in
// `folder` (empty, "C:", or ending in "\"), and every entry below those that
// are folders, at every depth, one search open per level. False when a
// folder cannot be listed to its end, a path would not fit kPathSize units,
// or `visit` stops the walk; a pattern that matches nothing visits nothing.
bool walkEntries(const wchar_t* folder, const wchar_t* pattern, EntryVisitor visit, void* data)
{
    // Every level adds at least a character and a "\" to the path.
    enum { kDeepest = kPathSize / 2 };
    wchar_t path[kPathSize];
    HANDLE searches[kDeepest];
    size_t ends[kDeepest]; // where each level's names start in `path`
    size_t start = wcslen(folder), patternLength = wcslen(pattern);
    if (start + patternLength >= kPathSize)
        return false;
    memcpy(path, folder, start * sizeof(wchar_t));
    memcpy(path + start, pattern, (patternLength + 1) * sizeof(wchar_t));
    WIN32_FIND_DATAW entry;
    int depth = 0;
    ends[0] = start;
    searches[0] = FindFirstFileW(path, &entry);
    if (searches[0] == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool walked = true;
    while (walked) {
        size_t end = ends[depth], length = wcslen(entry.cFileName);
        if (!isDots(entry.cFileName)) {
            bool folderEntry = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // Room for the name and its terminator, and for "\*" after a folder's.
            walked = end + length + (folderEntry ? 2 : 0) < kPathSize && depth + 1 < kDeepest;
            if (walked) {
                memcpy(path + end, entry.cFileName, (length + 1) * sizeof(wchar_t));
                walked = visit(path, path + start, entry, data);
            }
            if (walked && folderEntry) {
                memcpy(path + end + length, L"\\*", 3 * sizeof(wchar_t));
                ends[++depth] = end + length + 1;
                searches[depth] = FindFirstFileW(path, &entry);
                walked = searches[depth] != INVALID_HANDLE_VALUE;
                depth -= walked ? 0 : 1;
                continue;
            }
        }
        // The next entry, climbing out of the folders that are done.
        while (walked && !FindNextFileW(searches[depth], &entry)) {
            walked = GetLastError() == ERROR_NO_MORE_FILES;
            if (walked) {
                FindClose(searches[depth]);
                if (--depth < 0)
                    return true;
            }
        }
    }
    for (; depth >= 0; --depth)
        FindClose(searches[depth]);
    return false;
}

// A copy's source split for a walk: the folder (empty, "C:", or ending in
// "\") and the last part, a name or a wildcard, without trailing "\".
struct CopySource {
    wchar_t folder[kPathSize];
    wchar_t pattern[kPathSize];
    bool wildcard;
};

bool splitSource(const char* from, CopySource* source)
{
    const char* name = lastName(from, isAnsiLeadByte);
    size_t folder = (size_t)(name - from), length = nameLength(name, isAnsiLeadByte);
    char part[kPathSize];
    memcpy(part, from, folder);
    part[folder] = '\0';
    if (!toWide(part, source->folder))
        return false;
    memcpy(part, name, length);
    part[length] = '\0';
    source->wildcard = strcspn(part, "*?") < length;
    return toWide(part, source->pattern);
}

// Where the shell puts an entry the walk found. A wildcard's entries go
// into the destination folder, as does the source when the destination is a
// folder already (`into`); otherwise the source becomes the destination.
struct Destination {
    const wchar_t* to;
    bool into;
};

// The destination path of the entry at `relative` into `path` (kPathSize
// units); false when it does not fit.
bool destinationOf(const Destination& destination, const wchar_t* relative, wchar_t* path)
{
    const wchar_t* rest = destination.into ? relative : relative + partLength(relative);
    size_t toLength = wcslen(destination.to), restLength = wcslen(rest);
    size_t separator = destination.into ? 1 : 0;
    if (toLength + separator + restLength >= kPathSize)
        return false;
    memcpy(path, destination.to, toLength * sizeof(wchar_t));
    path[toLength] = L'\\';
    memcpy(path + toLength + separator, rest, (restLength + 1) * sizeof(wchar_t));
    return true;
}

// What the check before a copy knows: the destination, the identities of it
// and of each of its folders that exist, and how many entries matched.
struct CopyPlan {
    Destination destination;
    Identity above[kPathSize / 2];
    int aboveCount;
    int matches;
};

// The identities of the destination and of each folder above it that
// exists, the current folder's too for a relative destination.
void identifyDestination(const wchar_t* to, CopyPlan* plan)
{
    wchar_t path[kPathSize];
    DWORD length = GetFullPathNameW(to, kPathSize, path, NULL);
    if (length == 0 || length >= kPathSize) {
        length = (DWORD)wcslen(to);
        memcpy(path, to, (length + 1) * sizeof(wchar_t));
    }
    plan->aboveCount = 0;
    for (;;) {
        if (plan->aboveCount < kPathSize / 2 && identityOf(path, &plan->above[plan->aboveCount]))
            ++plan->aboveCount;
        // The folder above: up to the last "\" that more than "\" follows.
        size_t folder = 0;
        for (size_t at = 0; at + 1 < length; ++at) {
            if (path[at] == L'\\' && path[at + 1] != L'\\')
                folder = at;
        }
        if (folder == 2 && path[1] == L':')
            ++folder; // a drive's root keeps its "\"
        else if (folder < 3)
            return;
        if (folder >= length)
            return;
        path[folder] = L'\0';
        length = (DWORD)folder;
    }
}

// Each source entry's destination must fit; a matched entry must be neither
// the destination nor one of its folders.
bool planEntry(const wchar_t* path, const wchar_t* relative, const WIN32_FIND_DATAW&, void* data)
{
    CopyPlan* plan = (CopyPlan*)data;
    wchar_t destination[kPathSize];
    if (!destinationOf(plan->destination, relative, destination))
        return false;
    if (relative[partLength(relative)] != L'\0')
        return true;
    ++plan->matches;
    Identity identity;
    if (!identityOf(path, &identity))
        return true;
    for (int i = 0; i < plan->aboveCount; ++i) {
        if (sameIdentity(identity, plan->above[i]))
            return false;
    }
    return true;
}

// Whether the shell may be asked for the copy: the source matches something,
// a folder is not copied onto a file, every destination path fits the
// platform's limit, and the destination lies neither on nor inside what is
// copied. Where the destination is a folder already, the longer paths of a
// copy into it count.
bool copyIsPossible(const char* from, const CopySource& source, const char* to, const wchar_t* wideTo)
{
    DWORD toAttributes = attributesOf(to);
    if (!source.wildcard && toAttributes != INVALID_FILE_ATTRIBUTES && !isFolder(toAttributes) &&
        isFolder(attributesOf(from)))
        return false;
    CopyPlan plan;
    plan.destination.to = wideTo;
    plan.destination.into = source.wildcard || isFolder(toAttributes);
    plan.matches = 0;
    identifyDestination(wideTo, &plan);
    return walkEntries(source.folder, source.pattern, planEntry, &plan) && plan.matches > 0;
}

// Each source entry must be at its destination: a folder as a folder, a
// file as a file of the source's length.
bool entryWasCopied(const wchar_t*, const wchar_t* relative, const WIN32_FIND_DATAW& entry, void* data)
{
    wchar_t copy[kPathSize];
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (!destinationOf(*(const Destination*)data, relative, copy) ||
        !GetFileAttributesExW(copy, GetFileExInfoStandard, &found))
        return false;
    bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder != ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
        return false;
    return folder || (found.nFileSizeHigh == entry.nFileSizeHigh && found.nFileSizeLow == entry.nFileSizeLow);
}

// Counts the wildcard's matches found in the destination folder.
struct CopiedCount {
    Destination destination;
    int copied;
};

bool countCopied(const wchar_t*, const wchar_t* relative, const WIN32_FIND_DATAW&, void* data)
{
    CopiedCount* count = (CopiedCount*)data;
    wchar_t copy[kPathSize];
    if (relative[partLength(relative)] == L'\0' && destinationOf(count->destination, relative, copy) &&
        GetFileAttributesW(copy) != INVALID_FILE_ATTRIBUTES)
        ++count->copied;
    return true;
}

// Whether what the shell reported as copied is there: every entry of a
// file or folder, at every depth, under the destination's name or, where
// the destination was a folder already, in it; for a wildcard, at least one
// match in the destination folder, or the destination made a file (the
// shell may pair the first match with it).
bool copyIsThere(const CopySource& source, const char* to, const wchar_t* wideTo, bool toWasFolder)
{
    if (source.wildcard) {
        CopiedCount count = {{wideTo, true}, 0};
        DWORD attributes = attributesOf(to);
        return walkEntries(source.folder, source.pattern, countCopied, &count) &&
               (count.copied > 0 || (attributes != INVALID_FILE_ATTRIBUTES && !isFolder(attributes)));
    }
    Destination named = {wideTo, false}, into = {wideTo, true};
    return walkEntries(source.folder, source.pattern, entryWasCopied, &named) ||
           (toWasFolder && walkEntries(source.folder, source.pattern, entryWasCopied, &into));
}

// Makes `path` (kPathSize bytes) the full path the system resolves it to;
// false when that does not fit with the shell's second terminator.
bool makeFullPath(char* path)
{
    char full[kPathSize];
    DWORD length = GetFullPathNameA(path, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full)
        return false;
    memcpy(path, full, length + 1);
    return true;
}

} // namespace

QV_NATIVE(nativeMkdir) { return answerPathPredicate(context, argc, argv, result, makeFolder); }
QV_NATIVE(nativeRemove) { return answerPathPredicate(context, argc, argv, result, removeFile); }

QV_NATIVE(nativeRename)
{
    char from[kPathSize + 1], to[kPathSize + 1];
    if (!fetchTwoPaths(context, argc, argv, from, to))
        return kRefused;
    return returnPredicate(result, renameEntry(from, to));
}

QV_NATIVE(nativeCopy)
{
    char from[kPathSize + 1], to[kPathSize + 1];
    if (!fetchTwoPaths(context, argc, argv, from, to))
        return kRefused;
    // The shell resolves relative paths against the current folder: the
    // checks measure and walk what it will write.
    if (!makeFullPath(from) || !makeFullPath(to) || !isWindowsName(lastName(to, isAnsiLeadByte)))
        return returnPredicate(result, false);
    CopySource source;
    wchar_t wideTo[kPathSize];
    if (!splitSource(from, &source) || !toWide(to, wideTo))
        return returnPredicate(result, false);
    bool toWasFolder = isFolder(attributesOf(to));
    if (!copyIsPossible(from, source, to, wideTo))
        return returnPredicate(result, false);
    endNameList(from);
    endNameList(to);
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = NULL;
    operation.wFunc = FO_COPY;
    operation.pFrom = from;
    operation.pTo = to;
    operation.fFlags = FOF_MULTIDESTFILES | FOF_SILENT;
    operation.fAnyOperationsAborted = TRUE;
    operation.hNameMappings = NULL;
    operation.lpszProgressTitle = NULL;
    int outcome = SHFileOperationA(&operation);
    bool copied = outcome == 0 && !operation.fAnyOperationsAborted && copyIsThere(source, to, wideTo, toWasFolder);
    return returnPredicate(result, copied);
}
