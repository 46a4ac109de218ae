// setDropSize: finds a dialog by its exact title and, inside it, a combo box
// by the exact text of its first item, then sizes its drop-down list to
// (rows + 2) item heights. The first matching dialog and the last matching
// combo box in enumeration order are used. A window whose title is longer
// than 62 characters is never chosen, so a longer title never matches and
// neither does its first 62 characters.
#include "ui_natives.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace {

// What one call searches for and what it found. Each call has its own, handed
// to the enumeration callbacks, so a call made while the host converts an
// argument never redirects another call's search.
struct DropSizeSearch {
    const char* dialogTitle;
    const char* firstItemText;
    HWND found;
};

// Buffers for titles and class names: read with a count of 63, so at most 62
// characters arrive.
const int kNameBufferSize = 64;
const int kNameReadCount = 63;
// Titles of more characters are never compared.
const int kLongestTitle = 62;
const size_t kItemBufferSize = 256;
// The longest search text a script may pass, as the host counts it.
const uint32_t kMaxSearchTextLength = 260;

bool hasClass(HWND window, const char* className)
{
    char name[kNameBufferSize] = "";
    GetClassNameA(window, name, kNameReadCount);
    return strcmp(name, className) == 0;
}

// Compares the whole first item with `text`, however long the item is.
bool firstItemMatches(HWND comboBox, const char* text)
{
    LRESULT length = SendMessageA(comboBox, CB_GETLBTEXTLEN, 0, 0);
    if (length < 0)
        return false;
    char local[kItemBufferSize];
    char* item = (size_t)length < sizeof local ? local : (char*)malloc((size_t)length + 1);
    if (item == NULL)
        return false;
    LRESULT copied = SendMessageA(comboBox, CB_GETLBTEXT, 0, (LPARAM)item);
    bool matches = false;
    if (copied >= 0 && copied <= length) {
        item[copied] = '\0';
        matches = strcmp(item, text) == 0;
    }
    if (item != local)
        free(item);
    return matches;
}

BOOL CALLBACK findDialogWindow(HWND window, LPARAM searchParameter)
{
    DropSizeSearch* search = (DropSizeSearch*)searchParameter;
    // One character more than a title may have shows that it has more: such
    // a window is never chosen, so no prefix of its title can name it.
    char title[kNameBufferSize + 1] = "";
    int length = GetWindowTextA(window, title, kNameBufferSize + 1);
    if (length <= kLongestTitle && hasClass(window, "#32770") &&
        strcmp(title, search->dialogTitle) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findComboBox(HWND window, LPARAM searchParameter)
{
    DropSizeSearch* search = (DropSizeSearch*)searchParameter;
    if (hasClass(window, "ComboBox") && SendMessageA(window, CB_GETCOUNT, 0, 0) > 0 &&
        firstItemMatches(window, search->firstItemText))
        search->found = window;
    return TRUE;
}

// Points `text` at the host's text of an argument of at most 260 characters.
bool fetchSearchText(NativeContext context, ScriptValue argument, const char** text)
{
    TextFromValueService textFromValue = hostServices.textFromValue;
    if (textFromValue == NULL)
        return false;
    uint32_t length = 0;
    *text = textFromValue(context, argument, &length);
    return *text != NULL && length <= kMaxSearchTextLength;
}

} // namespace

QV_NATIVE(nativeSetDropSize)
{
    DropSizeSearch search = {NULL, NULL, NULL};
    int32_t rows = 0;
    if (argc != 3 || !fetchSearchText(context, argv[0], &search.dialogTitle) ||
        !fetchSearchText(context, argv[1], &search.firstItemText))
        return kRefused;
    IntegerFromValueService integerFromValue = hostServices.integerFromValue;
    if (integerFromValue == NULL || integerFromValue(context, argv[2], &rows) == 0)
        return kRefused;

    EnumWindows(findDialogWindow, (LPARAM)&search);
    HWND dialog = search.found;
    if (dialog == NULL)
        return kDone;
    search.found = NULL;
    EnumChildWindows(dialog, findComboBox, (LPARAM)&search);
    HWND comboBox = search.found;
    if (comboBox == NULL)
        return kDone;

    int itemHeight = (int)SendMessageA(comboBox, CB_GETITEMHEIGHT, 0, 0);
    int height = (int)((unsigned)itemHeight * (unsigned)(rows + 2u));
    RECT bounds;
    GetWindowRect(comboBox, &bounds);
    SetWindowPos(comboBox, NULL, 0, 0, bounds.right - bounds.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return kDone;
}
