// The window-list rules, the control search and the active-window capture's size rule and
// failure endings, run inside the test process.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestApp.h"
#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "capture/WindowListDialog.h"
#include "framework/base/SysUtils.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

// The program's main window, shared with other tests that need it.
TMainWindow& Main() {
    TestApp();
    if (!TheMainWindow) {
        Application->CreateForm<TMainWindow>();
        Settings.Wait = 0;
        Settings.HideForm = false;
        Settings.ShowCursor = false;
        TheMainWindow->Show();
        Pump();
    }
    return *TheMainWindow;
}

TWindowListDialog& Dialog() {
    Main();  // first, so it stays the main form
    if (!WindowList) TestApp().CreateForm<TWindowListDialog>();
    WindowList->CaptureWith(Main().Captures());
    return *WindowList;
}

// A top-level or child window of the plain static class.
struct Wnd {
    HWND h = nullptr;
    Wnd(const std::string& title, DWORD style, int x, int y, int w, int h_, HWND parent = nullptr) {
        h = CreateWindowExA(0, "STATIC", title.c_str(), style, x, y, w, h_, parent, nullptr, GetModuleHandleA(nullptr),
                            nullptr);
    }
    ~Wnd() {
        if (h) DestroyWindow(h);
    }
    Wnd(const Wnd&) = delete;
    Wnd& operator=(const Wnd&) = delete;
};

std::vector<int> LinesOf(HWND wnd) {
    std::vector<int> found;
    const std::string text = IntToStr(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(wnd)));
    for (int i = 0; i < Dialog().Handles.Count(); ++i)
        if (Dialog().Handles[i] == text) found.push_back(i);
    return found;
}

void Refill() {
    Dialog().Handles.Clear();
    Dialog().List->Items().Clear();
    EnumWindows(AddWindowToList, reinterpret_cast<LPARAM>(&Dialog()));
}

struct CaptureSettings {
    TSettings saved = Settings;
    CaptureSettings(bool client, bool control) {
        Settings.Wait = 0;
        Settings.HideForm = false;
        Settings.ShowCursor = false;
        Settings.ShowAfterCapturing = true;
        Settings.CaptureClient = client;
        Settings.CaptureControl = control;
    }
    ~CaptureSettings() { Settings = saved; }
};

bool CaptureButtonsEnabled(TMainWindow& m) {
    return m.Enabled(TCommandId::CaptureWholeScreen, TPlace::ToolBar) && m.Enabled(TCommandId::CaptureChosenWindow, TPlace::ToolBar) && m.Enabled(TCommandId::CaptureActiveWindow, TPlace::ToolBar);
}

}  // namespace

TEST(WindowListFill, ExactTitlesVisibleOnlyDuplicatesKeptLinesPaired) {
    const DWORD shown = WS_POPUP | WS_VISIBLE;
    Wnd same1("K6 same", shown, 0, 0, 30, 30), same2("K6 same", shown, 0, 0, 30, 30);
    Wnd hidden("K6 hidden", WS_POPUP, 0, 0, 30, 30), empty("", shown, 0, 0, 30, 30);
    Wnd app("Kaptor32", shown, 0, 0, 30, 30), appLower("kaptor32", shown, 0, 0, 30, 30);
    Wnd shell("Program Manager", shown, 0, 0, 30, 30), shellSpace("Program Manager ", shown, 0, 0, 30, 30);
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "ア";  // two bytes each
    Wnd dbcs(wide, shown, 0, 0, 30, 30);
    Refill();

    TListBox& list = *Dialog().List;
    ASSERT_EQ(list.Items().Count(), Dialog().Handles.Count());
    for (int i = 0; i < Dialog().Handles.Count(); ++i) {
        // Each line's handle is the window with that title.
        HWND w = reinterpret_cast<HWND>(static_cast<std::intptr_t>(StrToInt(Dialog().Handles[i])));
        char title[255] = {};
        GetWindowTextA(w, title, sizeof title);
        EXPECT_EQ(list.Items()[i], title) << i;
        EXPECT_FALSE(list.Items()[i].empty());
        EXPECT_TRUE(IsWindowVisible(w));
    }
    EXPECT_EQ(LinesOf(same1.h).size(), 1u);
    EXPECT_EQ(LinesOf(same2.h).size(), 1u);
    // Created later, so above: listed first.
    EXPECT_LT(LinesOf(same2.h).at(0), LinesOf(same1.h).at(0));
    EXPECT_TRUE(LinesOf(hidden.h).empty());
    EXPECT_TRUE(LinesOf(empty.h).empty());
    EXPECT_TRUE(LinesOf(app.h).empty());
    EXPECT_TRUE(LinesOf(Main().Handle()).empty());
    EXPECT_TRUE(LinesOf(shell.h).empty());
    EXPECT_EQ(LinesOf(appLower.h).size(), 1u);
    EXPECT_EQ(LinesOf(shellSpace.h).size(), 1u);
    ASSERT_EQ(LinesOf(dbcs.h).size(), 1u);
    const std::string& cut = list.Items()[LinesOf(dbcs.h)[0]];
    EXPECT_LE(cut.size(), 254u);
    EXPECT_GE(cut.size(), 252u);
    EXPECT_EQ(wide.compare(0, cut.size(), cut), 0);

    // Every request starts from empty lists.
    const int before = list.Items().Count();
    Refill();
    EXPECT_EQ(list.Items().Count(), before);
    EXPECT_EQ(Dialog().Handles.Count(), before);
}

TEST(WindowListCapture, NoSelectionAndMissingHandle) {
    TWindowListDialog& dlg = Dialog();
    TMainWindow& m = Main();
    CaptureSettings settings(false, false);
    const int oldW = m.View().NaturalSize().cx;
    TakeMessages();
    dlg.List->Items().Clear();
    dlg.List->Items().Add("one");
    dlg.List->Items().Add("two");
    Dialog().Handles.Clear();
    Dialog().Handles.Add("0");
    dlg.Show();
    dlg.List->SetItemIndex(-1);
    dlg.CaptureChosen();
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"選択されていません"});
    EXPECT_TRUE(IsWindowVisible(dlg.Handle()));

    dlg.List->SetItemIndex(0);  // handle 0
    dlg.CaptureChosen();
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｳｨﾝﾄﾞｳが見つかりません"});
    EXPECT_FALSE(IsWindowVisible(dlg.Handle()));
    EXPECT_TRUE(CaptureButtonsEnabled(m));

    dlg.Show();
    dlg.List->SetItemIndex(1);  // a line without a handle
    dlg.CaptureChosen();
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｳｨﾝﾄﾞｳが見つかりません"});
    EXPECT_EQ(m.View().NaturalSize().cx, oldW);
    EXPECT_TRUE(IsWindowVisible(m.Handle()));
}

TEST(ControlSearch, DirectChildrenInZOrderBoundsIncluded) {
    TestApp();
    Wnd parent("K6 parent", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200);
    Wnd a("", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, parent.h);
    Wnd b("", WS_CHILD | WS_VISIBLE, 40, 40, 50, 50, parent.h);
    Wnd hidden("", WS_CHILD, 150, 10, 40, 40, parent.h);
    Wnd box("", WS_CHILD | WS_VISIBLE, 150, 100, 80, 60, parent.h);
    Wnd inner("", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, box.h);
    auto at = [&](int x, int y) {
        SetCursorPos(x, y);
        // The new position may be reported a moment later, after the display's own events.
        Sleep(100);
        Pump(3);
        POINT p{};
        for (int i = 0; i < 100; ++i) {
            GetCursorPos(&p);
            if (p.x == x && p.y == y) break;
            Pump(1);
        }
        EXPECT_EQ(p.x, x);
        EXPECT_EQ(p.y, y);
        bool failed = true;
        HWND found = ControlUnderPointer(parent.h, failed);
        EXPECT_FALSE(failed);
        return found;
    };
    SetWindowPos(b.h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(at(145, 145), b.h);  // where both lie, the upper one
    SetWindowPos(a.h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(at(145, 145), a.h);
    // a spans 110..160 by 110..160: its right and bottom coordinates still count.
    EXPECT_EQ(at(160, 120), a.h);
    EXPECT_EQ(at(120, 160), a.h);
    EXPECT_EQ(at(161, 120), nullptr);
    EXPECT_EQ(at(110, 110), a.h);
    EXPECT_EQ(at(109, 110), nullptr);
    EXPECT_EQ(at(260, 120), hidden.h);  // hidden children are searched too
    EXPECT_EQ(at(265, 215), box.h);     // a grandchild yields its parent
    EXPECT_EQ(at(390, 290), nullptr);
    bool failed = true;
    EXPECT_EQ(ControlUnderPointer(inner.h, failed), nullptr);  // no children at all
    EXPECT_FALSE(failed);
}

TEST(ControlSearch, CursorAreaOfClientCapturesIsTheClientAreaOnScreen) {
    TestApp();
    Wnd w("K6 area", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 150, 300, 200);
    RECT client;
    GetClientRect(w.h, &client);
    POINT origin{0, 0};
    ClientToScreen(w.h, &origin);
    const RECT area = CursorArea(w.h, client, true);
    EXPECT_EQ(area.left, origin.x);
    EXPECT_EQ(area.top, origin.y);
    EXPECT_EQ(area.right, origin.x + client.right);
    EXPECT_EQ(area.bottom, origin.y + client.bottom);
    EXPECT_GT(origin.y, 150);  // below the caption: the conversion is not a no-op
    const RECT screenRect{1, 2, 3, 4};
    const RECT same = CursorArea(w.h, screenRect, false);
    EXPECT_EQ(same.left, 1);
    EXPECT_EQ(same.bottom, 4);
}

TEST(ActiveWindowCapture, MaximisedWindowCountsOnlyRightAndBottom) {
    TMainWindow& m = Main();
    CaptureSettings settings(false, false);
    Wnd w("K6 maximised", WS_OVERLAPPEDWINDOW, 50, 50, 300, 200);
    ShowWindow(w.h, SW_SHOWMAXIMIZED);
    SetForegroundWindow(w.h);
    Pump();
    ASSERT_EQ(GetForegroundWindow(), w.h);
    ASSERT_TRUE(IsZoomed(w.h));
    RECT r;
    GetWindowRect(w.h, &r);
    TakeMessages();
    m.Execute(TCommandId::CaptureActiveWindow);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(m.View().NaturalSize().cx, r.right);
    EXPECT_EQ(m.View().NaturalSize().cy, r.bottom);
    EXPECT_EQ(m.StatusText(0), "ｻｲｽﾞ : " + IntToStr(r.right) + " x " + IntToStr(r.bottom));
    EXPECT_TRUE(CaptureButtonsEnabled(m));
}

TEST(ActiveWindowCapture, ControlModeFailuresAndErrorsEndCleanly) {
    TMainWindow& m = Main();
    CaptureSettings settings(false, true);
    Wnd w("K6 childless", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 300, 200);
    SetForegroundWindow(w.h);
    Pump();
    ASSERT_EQ(GetForegroundWindow(), w.h);
    SetCursorPos(450, 300);
    const int oldW = m.View().NaturalSize().cx, oldH = m.View().NaturalSize().cy;
    TakeMessages();
    m.Execute(TCommandId::CaptureActiveWindow);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｺﾝﾄﾛｰﾙの位置取得に失敗"});
    EXPECT_EQ(m.View().NaturalSize().cx, oldW);
    EXPECT_EQ(m.View().NaturalSize().cy, oldH);
    EXPECT_TRUE(CaptureButtonsEnabled(m));
    EXPECT_TRUE(IsWindowVisible(m.Handle()));
    EXPECT_EQ(m.View().ZoomBoxValue(), 100);

    // A control far too large for a bitmap: the error is shown framed, and nothing leaks out.
    Wnd huge("", WS_CHILD | WS_VISIBLE, -16000, -16000, 32000, 32000, w.h);
    SetForegroundWindow(w.h);
    Pump();
    m.Execute(TCommandId::CaptureActiveWindow);
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("例外ｴﾗｰ！：［", 0), 0u) << messages[0];
    EXPECT_EQ(messages[0].substr(messages[0].size() - 2), "］");
    EXPECT_TRUE(CaptureButtonsEnabled(m));
    EXPECT_TRUE(IsWindowVisible(m.Handle()));
}
