// The chosen-window capture's less travelled paths, inside the test process: the list shown
// again modally after the window's rectangle could not be read, the order of the delays,
// a maximised window, and the list's help button.
#include <gtest/gtest.h>

#include <functional>

#include "TestApp.h"
#include "app/MainWindow.h"
#include "app/HelpViewer.h"
#include "settings/Settings.h"
#include "capture/WindowListDialog.h"
#include "components/TrayIcon.h"
#include "framework/base/SysUtils.h"
#include "framework/win/SysWin.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

TWindowListDialog& Dialog() {
    MainWindow();  // first, so it stays the main form
    if (!WindowList) TestApp().CreateForm<TWindowListDialog>();
    WindowList->CaptureWith(MainWindow().Captures());
    return *WindowList;
}

// A top-level window of its own class. Armed, it destroys itself as soon as it is restored
// from the minimised state: the capture then finds no rectangle to read.
LRESULT CALLBACK TargetProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SIZE && wp == SIZE_RESTORED && GetWindowLongPtrA(w, GWLP_USERDATA) == 1) {
        DestroyWindow(w);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

struct Target {
    HWND h = nullptr;
    Target(const std::string& title, int show, bool vanishing = false) {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = TargetProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
            wc.lpszClassName = "K6MoreTarget";
            RegisterClassA(&wc);
            registered = true;
        }
        h = CreateWindowExA(0, "K6MoreTarget", title.c_str(), WS_OVERLAPPEDWINDOW, 120, 90, 310, 215, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
        ShowWindow(h, show);
        Pump();
        if (vanishing) SetWindowLongPtrA(h, GWLP_USERDATA, 1);
    }
    ~Target() {
        if (IsWindow(h)) DestroyWindow(h);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
};

int LineOf(HWND wnd) {
    const std::string text = IntToStr(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(wnd)));
    for (int i = 0; i < Dialog().Handles.Count(); ++i)
        if (Dialog().Handles[i] == text) return i;
    return -1;
}

void Refill() {
    Dialog().Handles.Clear();
    Dialog().List->Items().Clear();
    EnumWindows(AddWindowToList, reinterpret_cast<LPARAM>(&Dialog()));
}

struct CaptureSettings {
    TSettings saved = Settings;
    explicit CaptureSettings(bool hide, bool client = false, int wait = 0) {
        Settings.Wait = wait;
        Settings.HideForm = hide;
        Settings.ShowCursor = false;
        Settings.ShowAfterCapturing = true;
        Settings.CaptureClient = client;
        Settings.CaptureControl = false;
    }
    ~CaptureSettings() {
        Settings = saved;
        // Whatever a test left, the shared main window is shown again for the next one.
        ShowWindow(Application->Handle(), SW_SHOW);
        MainWindow().Show();
        Pump();
    }
};

bool CaptureButtonsEnabled(TMainWindow& m) {
    return m.Enabled(TCommandId::CaptureWholeScreen, TPlace::ToolBar) && m.Enabled(TCommandId::CaptureChosenWindow, TPlace::ToolBar) && m.Enabled(TCommandId::CaptureActiveWindow, TPlace::ToolBar);
}

// Runs action once, from the message loop that is running 300 ms from now (the modal
// dialog's, in these tests).
std::function<void()> pendingAction;
void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto action = std::exchange(pendingAction, nullptr);
    if (action) action();
}
void Later(std::function<void()> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 300, RunPending);
}

}  // namespace

TEST(ChosenWindowRectFailure, ListComesBackModallyUnrefilledAndCancelBringsTheProgramBack) {
    TMainWindow& m = MainWindow();
    TWindowListDialog& dlg = Dialog();
    CaptureSettings settings(true);
    Target vanishing("K6 vanishing", SW_SHOWMINIMIZED, true);
    ASSERT_TRUE(IsIconic(vanishing.h));
    Refill();
    const int lines = dlg.List->Items().Count();
    const int line = LineOf(vanishing.h);
    ASSERT_GE(line, 0);
    const int oldW = m.View().NaturalSize().cx, oldH = m.View().NaturalSize().cy;
    TakeMessages();
    dlg.Show();
    dlg.List->SetItemIndex(line);

    bool ran = false, dlgShown = false, mainShown = true, buttons = false;
    int linesInModal = -1;
    std::vector<std::string> shown;
    Later([&] {
        ran = true;
        dlgShown = IsWindowVisible(dlg.Handle());
        mainShown = IsWindowVisible(m.Handle());
        buttons = CaptureButtonsEnabled(m);
        linesInModal = dlg.List->Items().Count();
        shown = TakeMessages();
        dlg.Dismiss();
    });
    dlg.CaptureChosen();
    pendingAction = nullptr;  // never run later, against this test's gone locals

    ASSERT_TRUE(ran) << "the list was not shown modally";
    EXPECT_EQ(shown, std::vector<std::string>{"ｳｨﾝﾄﾞｳの位置取得に失敗"});
    EXPECT_FALSE(IsWindow(vanishing.h));
    EXPECT_TRUE(dlgShown);
    EXPECT_FALSE(mainShown);    // HideForm hid it, and it stays hidden while the list is up
    EXPECT_TRUE(buttons);
    EXPECT_EQ(linesInModal, lines);  // the same list, the vanished window still on it
    // Cancelled: no picture, and the hidden program must not be left without a window.
    EXPECT_FALSE(IsWindowVisible(dlg.Handle()));
    EXPECT_TRUE(IsWindowVisible(m.Handle()));
    EXPECT_TRUE(IsWindowVisible(Application->Handle()));
    EXPECT_TRUE(IsWindowEnabled(m.Handle()));
    EXPECT_EQ(m.View().NaturalSize().cx, oldW);
    EXPECT_EQ(m.View().NaturalSize().cy, oldH);
    EXPECT_EQ(m.View().ZoomBoxValue(), 100);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST(ChosenWindowRectFailure, AnotherChoiceInTheModalListIsCaptured) {
    TMainWindow& m = MainWindow();
    TWindowListDialog& dlg = Dialog();
    CaptureSettings settings(true);
    Target vanishing("K6 vanishing too", SW_SHOWMINIMIZED, true);
    Target keep("K6 kept", SW_SHOWNORMAL);
    Refill();
    const int gone = LineOf(vanishing.h), other = LineOf(keep.h);
    ASSERT_GE(gone, 0);
    ASSERT_GE(other, 0);
    RECT r;
    GetWindowRect(keep.h, &r);
    TakeMessages();
    dlg.Show();
    dlg.List->SetItemIndex(gone);

    bool ran = false;
    Later([&] {
        ran = true;
        dlg.List->SetItemIndex(other);
        dlg.CaptureChosen();  // as a double-click on the line does
    });
    dlg.CaptureChosen();
    pendingAction = nullptr;  // never run later, against this test's gone locals

    ASSERT_TRUE(ran) << "the list was not shown modally";
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｳｨﾝﾄﾞｳの位置取得に失敗"});
    EXPECT_EQ(m.View().NaturalSize().cx, r.right - r.left);
    EXPECT_EQ(m.View().NaturalSize().cy, r.bottom - r.top);
    EXPECT_EQ(m.StatusText(0),
              "ｻｲｽﾞ : " + IntToStr(r.right - r.left) + " x " + IntToStr(r.bottom - r.top));
    EXPECT_FALSE(IsWindowVisible(dlg.Handle()));
    EXPECT_TRUE(IsWindowVisible(m.Handle()));
    EXPECT_TRUE(IsWindowEnabled(m.Handle()));
    EXPECT_TRUE(CaptureButtonsEnabled(m));
}

// A window that notes when a message posted to it is handled, and which window was in
// front at that moment.
struct Stamp {
    long long at = 0;
    HWND front = nullptr;
};
Stamp stamp;
LRESULT CALLBACK StampProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) {
        stamp = {Milliseconds(), GetForegroundWindow()};
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

struct Stamper {
    HWND h = nullptr;
    Stamper() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = StampProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "K6MoreStamp";
        RegisterClassA(&wc);  // fails harmlessly when already registered
        h = CreateWindowExA(0, "K6MoreStamp", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr),
                            nullptr);
    }
    ~Stamper() { DestroyWindow(h); }
};

TEST(ChosenWindowDelay, WaitZeroStillCopiesASecondAfterTheWindowCameToTheFront) {
    TMainWindow& m = MainWindow();
    TWindowListDialog& dlg = Dialog();
    CaptureSettings settings(false);
    Target target("K6 delay zero", SW_SHOWNORMAL);
    Stamper stamper;
    Refill();
    const int line = LineOf(target.h);
    ASSERT_GE(line, 0);
    SetForegroundWindow(m.Handle());
    Pump();
    dlg.Show();
    dlg.List->SetItemIndex(line);
    stamp = {};
    TakeMessages();
    PostMessageA(stamper.h, WM_APP, 0, 0);
    const long long start = Milliseconds();
    dlg.CaptureChosen();
    const long long end = Milliseconds();
    EXPECT_TRUE(TakeMessages().empty());
    ASSERT_NE(stamp.at, 0);
    // Without a wait, messages first run once the chosen window is in front ...
    EXPECT_EQ(stamp.front, target.h);
    EXPECT_LT(stamp.at - start, 700);
    // ... and the copy still comes a full second after that.
    EXPECT_GE(end - stamp.at, 980);
    EXPECT_LT(end - start, 3000);
    RECT r;
    GetWindowRect(target.h, &r);
    EXPECT_EQ(m.View().NaturalSize().cx, r.right - r.left);
}

TEST(ChosenWindowDelay, EachWaitSecondSleepsBeforeMessagesRun) {
    TMainWindow& m = MainWindow();
    TWindowListDialog& dlg = Dialog();
    CaptureSettings settings(false, false, 1);
    Target target("K6 delay one", SW_SHOWNORMAL);
    Stamper stamper;
    Refill();
    const int line = LineOf(target.h);
    ASSERT_GE(line, 0);
    SetForegroundWindow(m.Handle());
    Pump();
    dlg.Show();
    dlg.List->SetItemIndex(line);
    stamp = {};
    PostMessageA(stamper.h, WM_APP, 0, 0);
    const long long start = Milliseconds();
    dlg.CaptureChosen();
    const long long end = Milliseconds();
    ASSERT_NE(stamp.at, 0);
    EXPECT_GE(stamp.at - start, 980);  // no message ran before the first sleep
    EXPECT_NE(stamp.front, target.h);   // nor after the window came to the front
    EXPECT_GE(end - start, 1980);      // the wait, then the fixed second
    EXPECT_TRUE(CaptureButtonsEnabled(m));
}

TEST(ChosenWindowMaximised, TakenAtItsMaximisedSizeAndLeftMaximised) {
    TMainWindow& m = MainWindow();
    TWindowListDialog& dlg = Dialog();
    for (bool client : {false, true}) {
        SCOPED_TRACE(client ? "client area" : "whole window");
        CaptureSettings settings(false, client);
        Target target("K6 maximised", SW_SHOWMAXIMIZED);
        ASSERT_TRUE(IsZoomed(target.h));
        RECT r;
        if (client) GetClientRect(target.h, &r);
        else GetWindowRect(target.h, &r);
        Refill();
        const int line = LineOf(target.h);
        ASSERT_GE(line, 0);
        SetForegroundWindow(m.Handle());
        Pump();
        dlg.Show();
        dlg.List->SetItemIndex(line);
        TakeMessages();
        dlg.CaptureChosen();
        EXPECT_TRUE(TakeMessages().empty());
        // The whole rectangle, borders beyond the screen included: left and top subtracted.
        EXPECT_EQ(m.View().NaturalSize().cx, r.right - r.left);
        EXPECT_EQ(m.View().NaturalSize().cy, r.bottom - r.top);
        if (!client) {
            EXPECT_GE(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
        }
        EXPECT_TRUE(IsZoomed(target.h));
        EXPECT_FALSE(IsIconic(target.h));
    }
}

TEST(ChosenWindowHelp, HelpButtonOpensTopic100300InTheViewer) {
    TWindowListDialog& dlg = Dialog();
    struct HelpRestore {
        decltype(Application->OnHelp) handler = Application->OnHelp;
        std::string file = Application->HelpFile;
        ~HelpRestore() {
            Application->OnHelp = handler;
            Application->HelpFile = file;
            if (HelpViewer) HelpViewer->Hide();
        }
    } restore;
    std::vector<std::pair<UINT, ULONG_PTR>> sent;
    Application->OnHelp = [&](const std::string&, UINT command, ULONG_PTR data) {
        sent.emplace_back(command, data);
        return true;
    };
    dlg.Show();
    SendMessageA(dlg.HelpButton->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::make_pair(UINT{HELP_CONTEXT}, ULONG_PTR{100300}));

    // Through the real viewer, with the help file built beside the test program.
    Application->OnHelp = HelpViewerCommand;
    Application->HelpFile = ExtractFilePath(ExeName()) + "Kaptor.hlp";
    TakeMessages();
    SendMessageA(dlg.HelpButton->Handle(), BM_CLICK, 0, 0);
    Pump();
    EXPECT_TRUE(TakeMessages().empty());
    ASSERT_NE(HelpViewer, nullptr);
    ASSERT_NE(HelpViewer->Current(), nullptr);
    EXPECT_EQ(HelpViewer->Current()->Context, 100300);
    EXPECT_TRUE(IsWindowVisible(HelpViewer->Handle()));
    EXPECT_EQ(HelpViewer->Caption(), "Kaptor32 ﾍﾙﾌﾟ - ｳｨﾝﾄﾞｳの選択");
    HelpViewer->Hide();

    // Also while the list is shown modally after a failure: the viewer opens usable.
    TMainWindow& m = MainWindow();
    CaptureSettings settings(false);
    Target vanishing("K6 vanishing help", SW_SHOWMINIMIZED, true);
    Refill();
    const int line = LineOf(vanishing.h);
    ASSERT_GE(line, 0);
    dlg.List->SetItemIndex(line);
    bool ran = false, viewerShown = false, viewerEnabled = false;
    Later([&] {
        ran = true;
        SendMessageA(dlg.HelpButton->Handle(), BM_CLICK, 0, 0);
        viewerShown = HelpViewer && IsWindowVisible(HelpViewer->Handle());
        viewerEnabled = HelpViewer && IsWindowEnabled(HelpViewer->Handle());
        dlg.Dismiss();
    });
    dlg.CaptureChosen();
    pendingAction = nullptr;
    EXPECT_TRUE(ran);
    EXPECT_TRUE(viewerShown);
    EXPECT_TRUE(viewerEnabled);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｳｨﾝﾄﾞｳの位置取得に失敗"});
    EXPECT_TRUE(IsWindowVisible(m.Handle()));
}

TEST(ChosenWindowRectFailure, CancelledInTheTrayTheProgramStaysThere) {
    TMainWindow& m = MainWindow();
    TWindowListDialog& dlg = Dialog();
    CaptureSettings settings(true);
    struct Resident {
        TMainWindow& m;
        explicit Resident(TMainWindow& main) : m(main) {
            m.Tray().SetVisible(true);
            m.Hide();
            ShowWindow(Application->Handle(), SW_HIDE);
        }
        ~Resident() {
            if (m.Tray().Visible()) m.Execute(TCommandId::ShowWindow);
        }
    } resident(m);
    Target vanishing("K6 vanishing tray", SW_SHOWMINIMIZED, true);
    Refill();
    const int line = LineOf(vanishing.h);
    ASSERT_GE(line, 0);
    TakeMessages();
    dlg.Show();
    dlg.List->SetItemIndex(line);
    bool ran = false;
    Later([&] {
        ran = true;
        dlg.Dismiss();
    });
    dlg.CaptureChosen();
    pendingAction = nullptr;
    ASSERT_TRUE(ran);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｳｨﾝﾄﾞｳの位置取得に失敗"});
    // Its icon still reaches it, so it is not pulled out of the tray.
    EXPECT_TRUE(m.Tray().Visible());
    EXPECT_FALSE(IsWindowVisible(m.Handle()));
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
}
