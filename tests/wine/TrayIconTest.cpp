// The tray icon in process: identifiers, the records handed to the shell, the property
// rules, the callback dispatch and pop-up, the shell's restart and handle use. The shell is
// replaced by a recorder here; TrayIconShellTest.cpp talks to Wine's real tray.
#include <gtest/gtest.h>

#include <memory>

#include "TrayIconTestSupport.h"
#include "framework/win/Handles.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        form = std::make_unique<TrayTestForm>(nullptr);
        form->LoadedAll();  // built: components made from now on are not loading
        TakeMessages();
    }
    void TearDown() override {
        form.reset();
        Pump(1);
    }

    // A tray icon on the form with an image, not yet visible.
    TTrayIcon* NewIcon(TColor inner = clYellow) {
        auto* icon = new TTrayIcon(form.get());
        icon->Icon()->SetHandle(MakeSquareIcon(clBlue, inner));
        return icon;
    }
    HWND Receiver() const { return TrayCallbackWindow() ? TrayCallbackWindow()->Handle() : nullptr; }
    void Send(TTrayIcon* icon, UINT mouseMessage) {
        SendMessageA(Receiver(), WM_TRAYICON, static_cast<WPARAM>(icon->IconId()), mouseMessage);
    }

    std::unique_ptr<TrayTestForm> form;
    NotifyRecorder shell;
};

std::string FailureText(const std::function<void()>& f) {
    try {
        f();
    } catch (const EOutOfMemory& e) {
        return e.Message;
    } catch (const std::exception& e) {
        return std::string("other exception: ") + e.what();
    }
    return "(no error)";
}

// ---------------------------------------------------------------- identifiers

// Other tray icons of the process (the program's own main window may have one) take the
// lowest identifiers; these tests count from the first identifier they get.

TEST_F(TrayIconTest, IdentifiersFollowTheLargestLiveOne) {
    auto threeIcons = [&] {
        std::vector<TTrayIcon*> icons;
        for (int i = 0; i < 3; ++i) icons.push_back(new TTrayIcon(form.get()));
        return icons;
    };
    auto icons = threeIcons();
    const int base = icons[0]->IconId() - 1;  // 0 when no other tray icon lives
    EXPECT_GE(base, 0);
    EXPECT_EQ(icons[1]->IconId(), base + 2);
    EXPECT_EQ(icons[2]->IconId(), base + 3);

    // 1, 2, 3 alive, 2 freed: a hole below the largest is not reused.
    delete icons[1];
    auto* four = new TTrayIcon(form.get());
    EXPECT_EQ(four->IconId(), base + 4);
    delete four;
    delete icons[2];
    delete icons[0];

    // 1, 2, 3 alive, 3 freed: the largest comes back.
    icons = threeIcons();
    EXPECT_EQ(icons[0]->IconId(), base + 1) << "with ours all freed the count starts over";
    delete icons[2];
    auto* three = new TTrayIcon(form.get());
    EXPECT_EQ(three->IconId(), base + 3);
}

TEST_F(TrayIconTest, NoIdentifierAbove99) {
    std::vector<TTrayIcon*> icons;
    std::string error = "(no error)";
    while (icons.size() < 100) {  // at most 99 can succeed
        try {
            icons.push_back(new TTrayIcon(form.get()));
        } catch (const EOutOfMemory& e) {
            error = e.Message;
            break;
        }
    }
    ASSERT_FALSE(icons.empty());
    const int base = icons[0]->IconId() - 1;
    EXPECT_EQ(icons.size(), static_cast<std::size_t>(99 - base)) << "every identifier up to 99 is given";
    EXPECT_EQ(icons.back()->IconId(), 99);
    EXPECT_EQ(error, "タスクトレイにアイコンを登録できません。");
    const int components = form->ComponentCount();

    EXPECT_EQ(FailureText([&] { new TTrayIcon(form.get()); }), "タスクトレイにアイコンを登録できません。");
    EXPECT_EQ(form->ComponentCount(), components) << "the failed icon must not stay with its owner";

    // Identifier 99 alone is enough to refuse.
    for (std::size_t i = 0; i + 1 < icons.size(); ++i) delete icons[i];
    EXPECT_EQ(FailureText([&] { new TTrayIcon(form.get()); }), "タスクトレイにアイコンを登録できません。");

    delete icons.back();
    auto* fresh = new TTrayIcon(form.get());
    EXPECT_EQ(fresh->IconId(), base + 1) << "failed constructions must leave nothing in the list";
    delete fresh;
    EXPECT_TRUE(shell.calls.empty()) << "no icon was made visible";
}

// ---------------------------------------------------------------- records and properties

TEST_F(TrayIconTest, AddModifyDeleteRecords) {
    TTrayIcon* icon = NewIcon();
    EXPECT_EQ(icon->TipHelp(), "TipHelp");
    icon->SetTipHelp("Kaptor32");
    EXPECT_TRUE(shell.calls.empty()) << "nothing goes to the shell while invisible";

    icon->SetVisible(true);
    auto calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    const NOTIFYICONDATAA& add = calls[0].data;
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.cbSize, sizeof(void*) == 4 ? 88u : 104u) << "the oldest record, which every shell takes";
    EXPECT_EQ(add.hWnd, Receiver());
    EXPECT_TRUE(IsWindow(add.hWnd));
    EXPECT_EQ(add.uID, static_cast<UINT>(icon->IconId()));
    EXPECT_EQ(add.uFlags, 7u);
    EXPECT_EQ(add.uCallbackMessage, 1224u);
    EXPECT_EQ(add.hIcon, icon->Icon()->Handle());
    EXPECT_EQ(calls[0].Tip(), "Kaptor32");
    EXPECT_TRUE(icon->Registered());

    icon->SetTipHelp("");
    calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[0].data.uFlags, 3u) << "an empty tip goes without the tip flag";
    EXPECT_EQ(calls[0].data.hWnd, add.hWnd);

    icon->SetTipHelp("");
    EXPECT_TRUE(shell.Take().empty()) << "an unchanged tip is not sent again";

    // A new image while in the tray is sent at once.
    icon->Icon()->SetHandle(MakeSquareIcon(clBlue, clRed));
    calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[0].data.hIcon, icon->Icon()->Handle());

    icon->SetVisible(true);
    EXPECT_TRUE(shell.Take().empty());
    icon->SetVisible(false);
    calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[0].data.uID, static_cast<UINT>(icon->IconId()));
    EXPECT_FALSE(icon->Registered());

    // Destroyed while in the tray: deleted once, by the destructor.
    icon->SetVisible(true);
    shell.Take();
    delete icon;
    calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayIconTest, TipIsCutAt62BytesAndNeverInsideACharacter) {
    TTrayIcon* icon = NewIcon();
    icon->SetVisible(true);
    shell.Take();

    const std::string seventy(70, 'x');
    icon->SetTipHelp(seventy);
    EXPECT_EQ(icon->TipHelp(), std::string(62, 'x'));
    auto calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Tip(), std::string(62, 'x'));
    EXPECT_EQ(calls[0].data.szTip[62], '\0');

    // "あ" is two bytes in Shift-JIS: at bytes 62 and 63 it does not fit and is left out
    // whole; at 61 and 62 it fits.
    const std::string a = "あ";
    ASSERT_EQ(a.size(), 2u);
    icon->SetTipHelp(std::string(61, 'y') + a + "z");
    EXPECT_EQ(icon->TipHelp(), std::string(61, 'y'));
    icon->SetTipHelp(std::string(60, 'y') + a + "z");
    EXPECT_EQ(icon->TipHelp(), std::string(60, 'y') + a);
    calls = shell.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].Tip(), std::string(60, 'y') + a);

    // Japanese text through the whole limit: 31 characters of two bytes fit, the 32nd not.
    std::string kana;
    for (int i = 0; i < 40; ++i) kana += "ｶ" + a;  // 1 + 2 bytes each
    icon->SetTipHelp(kana);
    ASSERT_LE(icon->TipHelp().size(), 62u);
    EXPECT_EQ(icon->TipHelp().size(), 61u) << "20 pairs of 3 bytes, then the 21st pair's ｶ; its あ does not fit";
}

TEST_F(TrayIconTest, VisibleNeedsAnImage) {
    auto* icon = new TTrayIcon(form.get());
    icon->SetVisible(true);
    EXPECT_FALSE(icon->Visible());
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(TakeMessages().empty()) << "no error either";

    TIcon image;
    image.SetHandle(MakeSquareIcon(clGreen, clWhite));
    icon->SetIcon(&image);
    EXPECT_NE(icon->Icon()->Handle(), image.Handle()) << "the icon is copied, not shared";
    icon->SetVisible(true);
    EXPECT_TRUE(icon->Registered());
    shell.Take();

    // No icon: the emptied image is sent, then the icon leaves the tray.
    icon->SetIcon(nullptr);
    const auto calls = shell.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[0].data.hIcon, nullptr);
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(icon->Visible());
    EXPECT_FALSE(icon->Registered());
    EXPECT_TRUE(icon->Icon()->Empty());
    delete icon;
}

TEST_F(TrayIconTest, FailedAddAndModify) {
    TTrayIcon* icon = NewIcon();
    shell.fail[NIM_ADD] = true;
    EXPECT_EQ(FailureText([&] { icon->SetVisible(true); }), "タスクトレイにアイコンを登録できません。");
    EXPECT_FALSE(icon->Registered());
    EXPECT_FALSE(icon->Visible()) << "an icon the shell refused is not in the tray";

    // So the next attempt really tries again.
    shell.fail[NIM_ADD] = false;
    shell.Take();
    icon->SetVisible(true);
    auto calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(icon->Registered());

    shell.fail[NIM_MODIFY] = true;
    EXPECT_EQ(FailureText([&] { icon->SetTipHelp("new tip"); }), "タスクトレイにアイコンを登録できません。");
    EXPECT_TRUE(icon->Registered());
    EXPECT_EQ(icon->TipHelp(), "new tip");

    // A refused delete still counts as gone.
    shell.fail[NIM_DELETE] = true;
    icon->SetVisible(false);
    EXPECT_FALSE(icon->Registered());
    delete icon;
}

TEST_F(TrayIconTest, VisibleFromTheFormStreamAddsOnlyAtLoaded) {
    TrayTestForm loading(nullptr);  // a form still building its components
    auto* icon = new TTrayIcon(&loading);
    icon->Icon()->SetHandle(MakeSquareIcon(clBlue, clYellow));
    icon->SetTipHelp("Kaptor32");
    icon->SetVisible(true);
    EXPECT_TRUE(icon->Visible());
    EXPECT_TRUE(shell.calls.empty());

    loading.LoadedAll();
    const auto calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(icon->Registered());
}

TEST_F(TrayIconTest, FailedAddAtLoadedStillEndsLoading) {
    TrayTestForm loading(nullptr);
    auto* icon = new TTrayIcon(&loading);
    icon->Icon()->SetHandle(MakeSquareIcon(clBlue, clYellow));
    icon->SetVisible(true);
    shell.fail[NIM_ADD] = true;
    EXPECT_EQ(FailureText([&] { loading.LoadedAll(); }), "タスクトレイにアイコンを登録できません。");
    EXPECT_FALSE(icon->Loading());
    EXPECT_FALSE(icon->Visible());

    shell.fail[NIM_ADD] = false;
    shell.Take();
    icon->SetVisible(true);
    EXPECT_TRUE(icon->Registered()) << "a later Visible must add, not wait for a load that is over";
}

TEST_F(TrayIconTest, AnimateRateHasAFloorOf100) {
    auto* icon = new TTrayIcon(form.get());
    EXPECT_EQ(icon->AnimateRate(), 500);
    icon->SetAnimateRate(50);
    EXPECT_EQ(icon->AnimateRate(), 100);
    icon->SetAnimateRate(250);
    EXPECT_EQ(icon->AnimateRate(), 250);
    EXPECT_TRUE(icon->AutoPopup());
    EXPECT_FALSE(icon->Animating());

    auto* frames = new TImageList(form.get());
    icon->SetAnimateIcons(frames);
    EXPECT_EQ(icon->AnimateIcons(), frames);
    delete frames;
    EXPECT_EQ(icon->AnimateIcons(), nullptr);
}

// ---------------------------------------------------------------- callbacks

class TrayIconEvents : public TrayIconTest {
protected:
    void SetUp() override {
        TrayIconTest::SetUp();
        icon = NewIcon();
        icon->SetTipHelp("Kaptor32");
        icon->SetVisible(true);
        ASSERT_TRUE(IsWindow(Receiver()));
        icon->OnMouseDown = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
            log.push_back(Format("down %d %u %d,%d", static_cast<int>(b), sh, x, y));
            EXPECT_EQ(s, icon);
        };
        icon->OnMouseUp = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
            log.push_back(Format("up %d %u %d,%d", static_cast<int>(b), sh, x, y));
            EXPECT_EQ(s, icon);
        };
        icon->OnMouseMove = [this](TComponent* s, TShiftState sh, int x, int y) {
            log.push_back(Format("move %u %d,%d", sh, x, y));
            EXPECT_EQ(s, icon);
        };
        icon->OnDblClick = [this](TComponent* s) {
            log.push_back("dblclick");
            EXPECT_EQ(s, icon);
        };
        // Pointer moves asked for by earlier tests may still arrive: place ours until it stays.
        POINT p{};
        for (int stable = 0, tries = 0; stable < 3 && tries < 50; ++tries) {
            SetCursorPos(300, 200);
            Pump(1);
            GetCursorPos(&p);
            stable = p.x == 300 && p.y == 200 ? stable + 1 : 0;
        }
        at = Format("%d,%d", static_cast<int>(p.x), static_cast<int>(p.y));
    }

    TTrayIcon* icon = nullptr;
    std::vector<std::string> log;
    std::string at;  // the pointer position, as the events report it
};

TEST_F(TrayIconEvents, EveryMouseMessageAsItsEvent) {
    // Wine moves the pointer late: the events report wherever it is when they run.
    POINT p;
    GetCursorPos(&p);
    at = Format("%d,%d", static_cast<int>(p.x), static_cast<int>(p.y));
    for (UINT m : std::initializer_list<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN,
                   WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_RBUTTONDBLCLK, 0x0400u})
        Send(icon, m);
    const std::vector<std::string> expected = {
        "move 0 " + at, "down 0 8 " + at, "up 0 8 " + at,  "dblclick",      "up 0 8 " + at,
        "down 1 16 " + at, "up 1 16 " + at, "down 2 32 " + at, "up 2 32 " + at,
    };
    EXPECT_EQ(log, expected);
}

TEST_F(TrayIconEvents, TheSenderIsTheIconWithThatIdentifier) {
    TTrayIcon* other = NewIcon(clRed);
    std::vector<TComponent*> senders;
    other->OnDblClick = [&](TComponent* s) { senders.push_back(s); };
    icon->OnDblClick = [&](TComponent* s) { senders.push_back(s); };
    Send(other, WM_LBUTTONDBLCLK);
    Send(icon, WM_LBUTTONDBLCLK);
    const int gone = other->IconId();
    delete other;
    SendMessageA(Receiver(), WM_TRAYICON, static_cast<WPARAM>(gone), WM_LBUTTONDBLCLK);
    SendMessageA(Receiver(), WM_TRAYICON, 77, WM_LBUTTONDBLCLK);
    ASSERT_EQ(senders.size(), 2u) << "callbacks for identifiers no longer alive are ignored";
    EXPECT_EQ(senders[1], icon);
}

TEST_F(TrayIconEvents, RightPressPopsUpTheMenuInsteadOfMouseDown) {
    auto* menu = new RecordingMenu(form.get());
    menu->form = form.get();
    icon->SetRBPopupMenu(menu);

    // Another window in front; a message waiting for the form.
    form->Show();
    TrayTestForm front(nullptr);
    front.Show();
    Pump();
    PostMessageA(form->Handle(), WM_APP, 0, 0);

    Send(icon, WM_RBUTTONDOWN);
    ASSERT_EQ(menu->calls.size(), 1u);
    EXPECT_EQ(Format("%d,%d", menu->calls[0].x, menu->calls[0].y), at) << "at the pointer";
    EXPECT_EQ(menu->calls[0].foreground, form->Handle()) << "the form comes to the front first";
    EXPECT_EQ(menu->calls[0].appMessagesSeen, 1) << "pending messages run before the menu";
    EXPECT_EQ(menu->PopupComponent, icon);
    EXPECT_TRUE(log.empty()) << "no OnMouseDown for a press that popped up the menu";

    // The release still arrives; a right double click does nothing at all.
    Send(icon, WM_RBUTTONUP);
    Send(icon, WM_RBUTTONDBLCLK);
    EXPECT_EQ(menu->calls.size(), 1u);
    const std::vector<std::string> expected = {"up 1 16 " + at};
    EXPECT_EQ(log, expected);

    // A left press has no menu of its own.
    log.clear();
    Send(icon, WM_LBUTTONDOWN);
    EXPECT_EQ(menu->calls.size(), 1u);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "down 0 8 " + at);

    // Without AutoPopup the press is an ordinary OnMouseDown.
    log.clear();
    icon->SetAutoPopup(false);
    Send(icon, WM_RBUTTONDOWN);
    EXPECT_EQ(menu->calls.size(), 1u);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "down 1 16 " + at);
}

TEST_F(TrayIconEvents, LeftMenuPopsUpOnTheLeftPress) {
    auto* menu = new RecordingMenu(form.get());
    icon->SetLBPopupMenu(menu);
    Send(icon, WM_LBUTTONDOWN);
    Send(icon, WM_RBUTTONDOWN);
    ASSERT_EQ(menu->calls.size(), 1u);
    const std::vector<std::string> expected = {"down 1 16 " + at};
    EXPECT_EQ(log, expected);
}

TEST_F(TrayIconEvents, FreedMenusAreForgotten) {
    auto* menu = new RecordingMenu(form.get());
    icon->SetRBPopupMenu(menu);
    delete menu;
    EXPECT_EQ(icon->RBPopupMenu(), nullptr);
    Send(icon, WM_RBUTTONDOWN);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "down 1 16 " + at);

    // One menu for both buttons, owned elsewhere: both references go.
    log.clear();
    TComponent elsewhere(nullptr);
    auto* shared = new RecordingMenu(&elsewhere);
    icon->SetLBPopupMenu(shared);
    icon->SetRBPopupMenu(shared);
    delete shared;
    EXPECT_EQ(icon->LBPopupMenu(), nullptr);
    EXPECT_EQ(icon->RBPopupMenu(), nullptr);
    Send(icon, WM_LBUTTONDOWN);
    Send(icon, WM_RBUTTONDOWN);
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(TrayIconEvents, IconFreedWhilePendingMessagesRunDoesNotPopUp) {
    auto* menu = new RecordingMenu(form.get());
    icon->SetRBPopupMenu(menu);
    // A message that frees the icon waits in the queue when the press arrives.
    struct Freer : TrayTestForm {
        using TrayTestForm::TrayTestForm;
        TTrayIcon* victim = nullptr;
        LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
            if (msg == WM_APP + 1) {
                delete std::exchange(victim, nullptr);
                return 0;
            }
            return TrayTestForm::WndProc(msg, wp, lp);
        }
    } freer(nullptr);
    freer.victim = icon;
    PostMessageA(freer.Handle(), WM_APP + 1, 0, 0);
    Send(icon, WM_RBUTTONDOWN);
    EXPECT_EQ(freer.victim, nullptr);
    EXPECT_TRUE(menu->calls.empty());
}

// Closes the menu once it shows, noting where it was.
RECT menuShown;
bool menuClosed;
void CALLBACK CloseMenuOnceShown(HWND, UINT, UINT_PTR, DWORD) {
    HWND popup = FindWindowA("#32768", nullptr);
    if (menuClosed || !popup || !IsWindowVisible(popup)) return;
    GetWindowRect(popup, &menuShown);
    menuClosed = true;
    EndMenu();
}

TEST_F(TrayIconEvents, RealMenuOpensAtThePointer) {
    auto* menu = new TPopupMenu(form.get());
    auto* item = new TMenuItem(menu);
    item->SetCaption("ｷｬﾌﾟﾁｬｰ(&C)");
    menu->Items()->Add(item);
    icon->SetRBPopupMenu(menu);

    menuShown = RECT{};
    menuClosed = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseMenuOnceShown);
    Send(icon, WM_RBUTTONDOWN);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(menuClosed);
    EXPECT_EQ(Format("%d,%d", static_cast<int>(menuShown.left), static_cast<int>(menuShown.top)), at);
    EXPECT_TRUE(log.empty());
}

// ---------------------------------------------------------------- the shell's restart

TEST_F(TrayIconTest, TaskbarCreatedAddsVisibleIconsAgain) {
    TTrayIcon* shown = NewIcon();
    TTrayIcon* hidden = NewIcon(clRed);
    shown->SetTipHelp("Kaptor32");
    shown->SetVisible(true);
    shell.Take();
    ASSERT_NE(TaskbarCreatedMessage(), 0u);
    auto ours = [&] {  // the records for this test's icons (others may live in the process)
        std::vector<NotifyCall> calls;
        for (const NotifyCall& c : shell.Take())
            if (c.data.uID == static_cast<UINT>(shown->IconId()) || c.data.uID == static_cast<UINT>(hidden->IconId()))
                calls.push_back(c);
        return calls;
    };

    // A new shell knows none of our icons: the update is refused and the icon added. The
    // shell tells every top-level window, with a broadcast.
    shell.fail[NIM_MODIFY] = true;
    PostMessageA(HWND_BROADCAST, TaskbarCreatedMessage(), 0, 0);
    Pump();
    auto calls = ours();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[1].data.uID, static_cast<UINT>(shown->IconId()));
    EXPECT_EQ(calls[1].data.hWnd, Receiver());
    EXPECT_EQ(calls[1].data.uFlags, 7u);
    EXPECT_EQ(calls[1].Tip(), "Kaptor32");
    EXPECT_TRUE(shown->Registered());
    EXPECT_FALSE(hidden->Registered());

    // The same message for another reason, the shell still showing the icon: an update only,
    // no second icon and no error.
    shell.fail[NIM_MODIFY] = false;
    SendMessageA(Receiver(), TaskbarCreatedMessage(), 0, 0);
    calls = ours();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_TRUE(shown->Registered());
    EXPECT_TRUE(TakeMessages().empty());

    // Refused altogether: the error is shown, and the icon stays wanted for the next restart.
    shell.fail[NIM_MODIFY] = shell.fail[NIM_ADD] = true;
    SendMessageA(Receiver(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(shown->Registered());
    EXPECT_TRUE(shown->Visible());
    const auto boxes = TakeMessages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "タスクトレイにアイコンを登録できません。");
    shell.fail[NIM_MODIFY] = shell.fail[NIM_ADD] = false;
    SendMessageA(Receiver(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(shown->Registered());
}

// ---------------------------------------------------------------- the receiver window

// Runs this one test in a process of its own and returns its exit code.
DWORD RunAlone(const std::string& test) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = std::string("\"") + exe + "\" --gtest_filter=" + test;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // The child must not write its report over ours: a crash of this run would then leave a
    // report of the child's one passing test behind.
    SetEnvironmentVariableA("GTEST_OUTPUT", nullptr);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

TEST_F(TrayIconTest, ReceiverGoesWithItsFormAndIsMadeAgain) {
    if (TrayCallbackWindow()) {
        // A form that outlives this test (the program's main window) holds the receiver here.
        EXPECT_EQ(RunAlone("TrayIconTest.ReceiverGoesWithItsFormAndIsMadeAgain"), 0u);
        return;
    }
    auto first = std::make_unique<TrayTestForm>(nullptr);
    first->LoadedAll();
    new TTrayIcon(first.get());  // makes the receiver, owned by the first form
    TTrayIcon* late = NewIcon();
    late->SetVisible(true);
    const HWND before = Receiver();
    ASSERT_TRUE(IsWindow(before));
    EXPECT_EQ(GetWindowLongA(before, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetWindowLongA(before, GWL_STYLE) & WS_CHILD, 0) << "top-level, to hear broadcasts";
    EXPECT_EQ(GetWindow(before, GW_OWNER), first->Handle());
    shell.Take();

    // The receiver goes with its form; the other form's icon leaves the tray with it.
    first.reset();
    EXPECT_EQ(TrayCallbackWindow(), nullptr);
    EXPECT_FALSE(IsWindow(before));
    const auto calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(late->Registered());
    EXPECT_FALSE(late->Visible());

    // And comes back, for the icon's own form, when it is next made visible.
    late->SetVisible(true);
    ASSERT_NE(TrayCallbackWindow(), nullptr);
    EXPECT_EQ(TrayCallbackWindow()->Owner(), form.get());
    EXPECT_TRUE(IsWindow(Receiver()));
    EXPECT_TRUE(late->Registered());
    EXPECT_EQ(shell.Take().back().data.hWnd, Receiver());
}

// ---------------------------------------------------------------- handles

TEST_F(TrayIconTest, ShowAndHideLeakNoHandles) {
    NotifyRecorder real(true);  // to the real shell, recording on the way
    TTrayIcon* icon = NewIcon();
    icon->SetTipHelp("Kaptor32");
    icon->SetVisible(true);
    icon->SetVisible(false);
    const long user = OwnedUserHandles(), gdi = OwnedGdiHandles();
    TIcon other;
    for (int i = 0; i < 40; ++i) {
        icon->SetVisible(true);
        icon->SetTipHelp(i % 2 ? "Kaptor32" : "ｷｬﾌﾟﾁｬｰ");
        other.SetHandle(MakeSquareIcon(clBlue, i % 2 ? clRed : clYellow));
        icon->SetIcon(&other);
        Pump(1);
        icon->SetVisible(false);
    }
    other.Clear();
    EXPECT_EQ(OwnedUserHandles(), user);
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    int adds = 0;
    for (const NotifyCall& c : real.calls) adds += c.message == NIM_ADD;
    EXPECT_EQ(adds, 41);
    EXPECT_FALSE(icon->Registered());
}

}  // namespace
