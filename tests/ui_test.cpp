// setDropSize against real dialogs and combo boxes, the busy cursor, and the
// tick counter.
#include <windows.h>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "../ui/ui_natives.h"
#include "scratch.h"
#include "test_host.h"

namespace {

// The first height each combo box was asked to take since the last call:
// the combo box may resize itself afterwards.
std::map<HWND, int> requestedHeights;
std::map<HWND, WNDPROC> originalProcedures;

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_WINDOWPOSCHANGING) {
        const WINDOWPOS* position = (const WINDOWPOS*)lParam;
        if ((position->flags & SWP_NOSIZE) == 0 && requestedHeights.count(window) == 0)
            requestedHeights[window] = position->cy;
    }
    return CallWindowProcA(originalProcedures[window], window, message, wParam, lParam);
}

class DropSize : public ::testing::Test {
protected:
    void SetUp() override { host.initialise(); }
    void TearDown() override
    {
        for (HWND dialog : dialogs)
            DestroyWindow(dialog);
        requestedHeights.clear();
        originalProcedures.clear();
    }

    HWND dialog(const std::string& title, const char* windowClass = "#32770")
    {
        HWND window = CreateWindowExA(0, windowClass, title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10,
                                      400, 300, NULL, NULL, NULL, NULL);
        EXPECT_NE(window, nullptr) << title;
        dialogs.push_back(window);
        return window;
    }
    // A drop-down list combo box under `parent` holding `items`, asked for
    // 13 pixels an item, whose size requests are recorded.
    HWND comboBox(HWND parent, std::vector<std::string> items)
    {
        HWND combo = CreateWindowExA(0, "ComboBox", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL,
                                     10, 10, 150, 200, parent, NULL, NULL, NULL);
        EXPECT_NE(combo, nullptr);
        for (const std::string& item : items)
            SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)item.c_str());
        SendMessageA(combo, CB_SETITEMHEIGHT, 0, 13);
        originalProcedures[combo] =
            (WNDPROC)SetWindowLongPtrA(combo, GWLP_WNDPROC, (LONG_PTR)recordingProcedure);
        return combo;
    }
    Answer setDropSize(const std::string& title, const std::string& item, int rows)
    {
        requestedHeights.clear();
        return host.call("setDropSize", {host.text(title), host.text(item), host.integer(rows)});
    }
    bool resized(HWND combo) const { return requestedHeights.count(combo) != 0; }
    int requested(HWND combo) const
    {
        auto found = requestedHeights.find(combo);
        return found == requestedHeights.end() ? INT_MIN : found->second;
    }

    TestHost host;
    std::vector<HWND> dialogs;
};

// Collects the enumerated windows, in the platform's order.
BOOL CALLBACK collectWindow(HWND window, LPARAM windows)
{
    ((std::vector<HWND>*)windows)->push_back(window);
    return TRUE;
}

int itemHeightOf(HWND combo)
{
    return (int)SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0);
}

int windowHeight(HWND window)
{
    RECT bounds;
    GetWindowRect(window, &bounds);
    return bounds.bottom - bounds.top;
}

TEST_F(DropSize, RowsPlusTwoItemHeights)
{
    HWND combo = comboBox(dialog("Publish settings"), {"First", "Second"});
    int itemHeight = itemHeightOf(combo);
    int closedHeight = windowHeight(combo);
    Answer answer = setDropSize("Publish settings", "First", 5);
    EXPECT_EQ(answer.flag, 1);
    EXPECT_FALSE(answer.touched) << "setDropSize stores no result";
    EXPECT_EQ(requested(combo), 7 * itemHeight);
    EXPECT_EQ(windowHeight(combo), closedHeight) << "the closed combo box keeps its height";
    EXPECT_EQ(setDropSize("Publish settings", "First", 0).flag, 1);
    EXPECT_EQ(requested(combo), 2 * itemHeight);
}

TEST_F(DropSize, NegativeRowsGoUnchangedIntoTheHeight)
{
    HWND combo = comboBox(dialog("Negative"), {"First"});
    EXPECT_EQ(setDropSize("Negative", "First", -5).flag, 1);
    EXPECT_TRUE(resized(combo));
    if (runningUnderWine())
        GTEST_SKIP() << "Wine's SetWindowPos turns a negative height into 0 before the window sees it";
    EXPECT_EQ(requested(combo), -3 * itemHeightOf(combo));
}

TEST_F(DropSize, DroppedListTakesTheHeight)
{
    HWND combo = comboBox(dialog("Dropped list"), {"First"});
    EXPECT_EQ(setDropSize("Dropped list", "First", 5).flag, 1);
    RECT dropped, bounds;
    SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped);
    GetWindowRect(combo, &bounds);
    if (runningUnderWine())
        GTEST_SKIP() << "Wine's combo box reports its dropped rectangle 3 pixels short of the "
                        "height it was given";
    EXPECT_EQ(dropped.bottom - bounds.top, 7 * itemHeightOf(combo));
}

TEST_F(DropSize, TitlesAreComparedExactlyAndWholeUpTo62Characters)
{
    std::string title62(62, 't'), title63(63, 'u'), title75(75, 'v');
    HWND fits = comboBox(dialog(title62), {"Item"});
    HWND tooLong = comboBox(dialog(title63), {"Item"});
    HWND longer = comboBox(dialog(title75), {"Item"});
    HWND cased = comboBox(dialog("Export Options"), {"Item"});
    EXPECT_EQ(setDropSize(title62, "Item", 1).flag, 1);
    EXPECT_EQ(requested(fits), 3 * itemHeightOf(fits));
    EXPECT_EQ(setDropSize(title63, "Item", 1).flag, 1);
    EXPECT_FALSE(resized(tooLong)) << "a title over 62 characters never matches";
    for (const std::string& title : {title63, title75}) {
        EXPECT_EQ(setDropSize(title.substr(0, 62), "Item", 1).flag, 1);
        EXPECT_EQ(setDropSize(title, "Item", 1).flag, 1);
    }
    EXPECT_FALSE(resized(tooLong)) << "62 characters name only a title of exactly those 62";
    EXPECT_FALSE(resized(longer));
    EXPECT_EQ(setDropSize("export options", "Item", 1).flag, 1);
    EXPECT_EQ(setDropSize("Export Options ", "Item", 1).flag, 1);
    EXPECT_EQ(setDropSize("Export Option", "Item", 1).flag, 1);
    EXPECT_FALSE(resized(cased));
}

TEST_F(DropSize, OnlyDialogsAndComboBoxesAreSearched)
{
    WNDCLASSA plain = {};
    plain.lpfnWndProc = DefWindowProcA;
    plain.lpszClassName = "QvPlainWindow";
    RegisterClassA(&plain);
    HWND notDialog = comboBox(dialog("Same title", "QvPlainWindow"), {"Item"});
    HWND parent = dialog("Other dialog");
    HWND notCombo = CreateWindowExA(0, "ListBox", "", WS_CHILD, 0, 0, 50, 50, parent, NULL, NULL, NULL);
    SendMessageA(notCombo, LB_ADDSTRING, 0, (LPARAM) "Item");
    int listHeight = windowHeight(notCombo);
    EXPECT_EQ(setDropSize("Same title", "Item", 3).flag, 1);
    EXPECT_EQ(setDropSize("Other dialog", "Item", 3).flag, 1);
    EXPECT_FALSE(resized(notDialog));
    EXPECT_EQ(windowHeight(notCombo), listHeight) << "a list box is not a combo box";
}

// Which of several matches is used follows the platform's own enumeration:
// the first dialog, and the last combo box.
TEST_F(DropSize, FirstDialogAndLastComboBoxWin)
{
    HWND one = dialog("Twin"), two = dialog("Twin");
    HWND comboOne = comboBox(one, {"Same"}), comboTwo = comboBox(two, {"Same"});
    std::vector<HWND> order;
    EnumWindows(collectWindow, (LPARAM)&order);
    bool oneFirst = std::find(order.begin(), order.end(), one) < std::find(order.begin(), order.end(), two);
    EXPECT_EQ(setDropSize("Twin", "Same", 2).flag, 1);
    EXPECT_TRUE(resized(oneFirst ? comboOne : comboTwo));
    EXPECT_FALSE(resized(oneFirst ? comboTwo : comboOne));

    HWND nested = dialog("Nested");
    HWND top = comboBox(nested, {"Same"});
    HWND panel = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 300, 200, nested, NULL, NULL, NULL);
    HWND deep = comboBox(panel, {"Same"});
    HWND empty = comboBox(nested, {});
    std::vector<HWND> children;
    EnumChildWindows(nested, collectWindow, (LPARAM)&children);
    HWND last = NULL;
    for (HWND child : children)
        if (child == top || child == deep)
            last = child;
    EXPECT_EQ(setDropSize("Nested", "Same", 2).flag, 1);
    EXPECT_TRUE(resized(last));
    EXPECT_FALSE(resized(last == top ? deep : top));
    EXPECT_EQ(setDropSize("Nested", "", 2).flag, 1);
    EXPECT_FALSE(resized(empty)) << "a combo box without items is never chosen";
}

// A first item longer than 255 characters is compared whole; an item longer
// than any accepted text (260) simply never matches.
TEST_F(DropSize, LongFirstItemsAreComparedWhole)
{
    std::string item258(258, 'i');
    HWND combo = comboBox(dialog("Long items"), {item258});
    EXPECT_EQ(setDropSize("Long items", item258.substr(0, 255), 1).flag, 1);
    EXPECT_FALSE(resized(combo)) << "a prefix is not the item";
    EXPECT_EQ(setDropSize("Long items", item258, 1).flag, 1);
    EXPECT_EQ(requested(combo), 3 * itemHeightOf(combo));

    HWND huge = comboBox(dialog("Huge item"), {std::string(5000, 'h')});
    EXPECT_EQ(setDropSize("Huge item", std::string(255, 'h'), 1).flag, 1);
    EXPECT_FALSE(resized(huge));
}

// A host may run script code to convert an argument, and that code may call
// setDropSize itself; the host frees the inner call's texts when it returns.
// The outer call still searches with its own title and item.
TEST_F(DropSize, CallMadeWhileConvertingAnArgumentKeepsItsOwnTexts)
{
    HWND outer = comboBox(dialog("Outer dialog"), {"First"});
    HWND inner = comboBox(dialog("Inner dialog"), {"Other"});
    ScriptValue item = host.text("First");
    bool reentered = false;
    host.onTextFromValue = [&](ScriptValue value) {
        if (value != item || reentered)
            return;
        reentered = true;
        Answer answer = host.call("setDropSize", {host.text("Inner dialog"), host.text("Other"), host.integer(1)});
        EXPECT_EQ(answer.flag, 1);
    };
    requestedHeights.clear();
    EXPECT_EQ(host.call("setDropSize", {host.text("Outer dialog"), item, host.integer(4)}).flag, 1);
    host.onTextFromValue = nullptr;
    ASSERT_TRUE(reentered);
    EXPECT_EQ(requested(inner), 3 * itemHeightOf(inner));
    EXPECT_EQ(requested(outer), 6 * itemHeightOf(outer));
}

TEST_F(DropSize, RefusedArguments)
{
    ScriptValue title = host.text("t"), item = host.text("i"), rows = host.integer(1);
    for (std::vector<ScriptValue> args :
         {std::vector<ScriptValue>{}, {title, item}, {title, item, rows, rows},
          {host.unconvertible(), item, rows}, {title, host.unconvertible(), rows},
          {title, item, host.text("three")}, {host.text(std::string(261, 't')), item, rows},
          {title, host.text(std::string(261, 'i')), rows}}) {
        Answer answer = host.call("setDropSize", args);
        EXPECT_EQ(answer.flag, 0) << args.size();
        EXPECT_FALSE(answer.touched);
    }
}

class BusyCursor : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.initialise();
        arrow = LoadCursorA(NULL, MAKEINTRESOURCEA(32512));
        wait = LoadCursorA(NULL, MAKEINTRESOURCEA(32514));
    }
    void TearDown() override { host.call("clearBusyCursor", {}); }
    Answer call(const char* name) { return host.call(name, {host.text("ignored")}); }

    TestHost host;
    HCURSOR arrow, wait;
};

TEST_F(BusyCursor, RepeatedSetsRestoreTheFirstCursor)
{
    SetCursor(arrow);
    EXPECT_EQ(call("setBusyCursor").flag, 1);
    EXPECT_EQ(GetCursor(), wait);
    SetCursor(arrow);
    EXPECT_EQ(call("setBusyCursor").flag, 1);
    EXPECT_EQ(GetCursor(), arrow) << "a second set does nothing";
    Answer cleared = call("clearBusyCursor");
    EXPECT_EQ(cleared.flag, 1);
    EXPECT_FALSE(cleared.touched);
    EXPECT_EQ(GetCursor(), arrow);
    SetCursor(wait);
    EXPECT_EQ(call("clearBusyCursor").flag, 1);
    EXPECT_EQ(GetCursor(), wait) << "a clear without a set changes nothing";
}

TEST_F(BusyCursor, NoPreviousCursorIsNotSaved)
{
    SetCursor(NULL);
    EXPECT_EQ(call("setBusyCursor").flag, 1);
    EXPECT_EQ(GetCursor(), wait);
    EXPECT_EQ(call("clearBusyCursor").flag, 1);
    EXPECT_EQ(GetCursor(), wait) << "nothing saved, nothing to restore";
    SetCursor(NULL);
    EXPECT_EQ(call("setBusyCursor").flag, 1);
    EXPECT_EQ(GetCursor(), wait) << "nothing was saved, so the wait cursor is set again";
}

int32_t decoded(ScriptValue value) { return (int32_t)value >> 1; }

TEST(TickCount, CountsMilliseconds)
{
    TestHost host;
    host.initialise();
    Answer before = host.call("getTickCount", {host.text("ignored")});
    Sleep(1000);
    Answer after = host.call("getTickCount", {});
    ASSERT_EQ(before.flag, 1);
    ASSERT_EQ(after.flag, 1);
    ASSERT_TRUE(before.touched && after.touched);
    int32_t elapsed = (decoded(after.value) - decoded(before.value)) & 0x7FFFFFFF;
    EXPECT_GE(elapsed, 950);
    EXPECT_LE(elapsed, 1500);
}

} // namespace
