// TAnimateForm: its construction rules, the two hooks, and minimise and restore through the
// application window with their sounds. The component works only on the application's first
// form, so each test runs with an application object of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestApp.h"
#include "components/AnimateForm.h"
#include "framework/win/StdCtrls.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

struct Sound {
    std::string Name;
    HMODULE Module;
    DWORD Flags;
    std::string AppTitle;  // the application window's text when it was played
};
std::vector<Sound> sounds;

BOOL WINAPI RecordSound(LPCSTR name, HMODULE module, DWORD flags) {
    char title[256] = "";
    if (Application) GetWindowTextA(Application->Handle(), title, sizeof title);
    sounds.push_back({name ? name : "", module, flags, title});
    return TRUE;
}

BOOL WINAPI FailSound(LPCSTR, HMODULE, DWORD) { throw Exception("no sound device"); }

class AnimatedMainForm : public TForm {
public:
    explicit AnimatedMainForm(TComponent* owner) : TForm(owner, "TKaptorAnimateTestForm") {
        SetCaption("Kaptor32 - shot.bmp");
        SetBounds(120, 90, 360, 260);
        AnimateForm1 = new TAnimateForm(this);
    }
    TAnimateForm* AnimateForm1;
};

WNDPROC WndProcOf(HWND wnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)); }

std::string WindowText(HWND wnd) {
    char text[256] = "";
    GetWindowTextA(wnd, text, sizeof text);
    return text;
}

RECT NormalRect(HWND wnd) {
    WINDOWPLACEMENT p{};
    p.length = sizeof p;
    GetWindowPlacement(wnd, &p);
    return p.rcNormalPosition;
}

::testing::AssertionResult RectIs(const RECT& r, int left, int top, int width, int height) {
    if (r.left == left && r.top == top && r.right - r.left == width && r.bottom - r.top == height)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rect " << r.left << "," << r.top << " " << r.right - r.left << "x"
                                         << r.bottom - r.top << ", expected " << left << "," << top << " " << width
                                         << "x" << height;
}

// A fresh application object for one test, with no main form yet; the shared one (and its
// screen object) come back afterwards.
class AnimateForm : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        savedApp_ = Application;
        savedScreen_ = Screen;
        Screen = nullptr;
        app_ = new TApplication;
        app_->SetTitle("Kaptor32");
        app_->MessageBoxHook = [this](const std::string& text, const std::string&, UINT) {
            shown_.push_back(text);
            return IDOK;
        };
        sounds.clear();
        savedSound_ = TAnimateForm::PlaySoundProc;
        TAnimateForm::PlaySoundProc = &RecordSound;
    }
    void TearDown() override {
        TAnimateForm::PlaySoundProc = savedSound_;
        delete app_;
        Application = savedApp_;
        Screen = savedScreen_;
    }

    // The main form shown as the program's message loop shows it.
    AnimatedMainForm* ShowMainForm() {
        auto* form = app_->CreateForm<AnimatedMainForm>();
        ShowWindow(app_->Handle(), SW_SHOWNOACTIVATE);
        form->Show();
        Pump();
        return form;
    }

    TApplication* app_ = nullptr;
    std::vector<std::string> shown_;

private:
    TApplication* savedApp_ = nullptr;
    TScreen* savedScreen_ = nullptr;
    TAnimateForm::TPlaySound savedSound_ = nullptr;
};

template <class F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const EAnimateFormError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST_F(AnimateForm, OnlyTheFirstFormMayOwnIt) {
    const long instances = TWindowSubclass::LiveCount();
    TComponent plain(nullptr);
    EXPECT_EQ(ErrorOf([&] { new TAnimateForm(&plain); }), "Owner must be a form");
    EXPECT_EQ(ErrorOf([&] { new TAnimateForm(nullptr); }), "Owner must be a form");
    TForm holder(nullptr);
    auto* panel = new TPanel(&holder);
    panel->SetParent(&holder);
    EXPECT_EQ(ErrorOf([&] { new TAnimateForm(panel); }), "Owner must be a form");
    EXPECT_EQ(plain.ComponentCount(), 0);

    AnimatedMainForm* main = app_->CreateForm<AnimatedMainForm>();
    ASSERT_EQ(app_->MainForm(), main);
    TForm second(nullptr);
    const WNDPROC secondProc = WndProcOf(second.Handle());
    const WNDPROC appProc = WndProcOf(app_->Handle());
    EXPECT_EQ(ErrorOf([&] { new TAnimateForm(&second); }), "AnimateForm muse be placed in a main form");
    EXPECT_EQ(second.ComponentCount(), 0);
    EXPECT_EQ(WndProcOf(second.Handle()), secondProc);
    EXPECT_EQ(WndProcOf(app_->Handle()), appProc);
    // A second form built the way the main form was fails to be created at all.
    EXPECT_EQ(ErrorOf([&] { app_->CreateForm<AnimatedMainForm>(); }), "AnimateForm muse be placed in a main form");
    EXPECT_EQ(app_->MainForm(), main);
    EXPECT_EQ(TWindowSubclass::LiveCount(), instances + 2);  // the main form's two hooks
}

TEST_F(AnimateForm, HooksTheFormAndTheApplicationWindowUntilFreed) {
    TForm form(nullptr);
    HWND app = app_->Handle();
    const WNDPROC formProc = WndProcOf(form.Handle());
    const WNDPROC appProc = WndProcOf(app);
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    EXPECT_EQ(SendMessageA(app, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0), 0);

    auto* animate = new TAnimateForm(&form);
    EXPECT_NE(WndProcOf(form.Handle()), formProc);
    EXPECT_NE(WndProcOf(app), appProc);
    EXPECT_EQ(SendMessageA(app, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0), 1);
    // Other messages go on to the windows' own procedures.
    EXPECT_EQ(SendMessageA(form.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed")), TRUE);
    EXPECT_EQ(WindowText(form.Handle()), "renamed");

    delete animate;
    EXPECT_EQ(WndProcOf(form.Handle()), formProc);
    EXPECT_EQ(WndProcOf(app), appProc);
    EXPECT_EQ(SendMessageA(app, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0), 0);
    EXPECT_TRUE(sounds.empty());
}

TEST_F(AnimateForm, MinimisingTheMainFormAnimatesFromItsRectangleAndKeepsTheTitle) {
    AnimatedMainForm* form = ShowMainForm();
    HWND app = app_->Handle();
    ASSERT_FALSE(IsIconic(app));
    const int left = form->Left(), top = form->Top(), width = form->Width(), height = form->Height();

    EXPECT_EQ(SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_EQ(sounds[0].Name, "Minimize");
    EXPECT_EQ(sounds[0].Module, nullptr);
    EXPECT_EQ(sounds[0].Flags, 65539u);
    // While it animates the task-bar button shows the form's caption.
    EXPECT_EQ(sounds[0].AppTitle, "Kaptor32 - shot.bmp");
    EXPECT_TRUE(IsIconic(app));
    EXPECT_TRUE(RectIs(NormalRect(app), left, top, width, height));
    EXPECT_EQ(app_->Title(), "Kaptor32");
    EXPECT_EQ(WindowText(app), "Kaptor32");
    EXPECT_FALSE(IsIconic(form->Handle()));  // the application went down, not the form alone
    EXPECT_TRUE(shown_.empty());
}

TEST_F(AnimateForm, RestoringFromTheTaskBarLeavesTheApplicationWindowEmptyAtTheCentre) {
    AnimatedMainForm* form = ShowMainForm();
    HWND app = app_->Handle();
    SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(IsIconic(app));
    sounds.clear();

    EXPECT_EQ(SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0), 1);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_EQ(sounds[0].Name, "RestoreUp");
    EXPECT_EQ(sounds[0].Flags, 65539u);
    EXPECT_FALSE(IsIconic(app));
    RECT r;
    GetWindowRect(app, &r);
    EXPECT_TRUE(RectIs(r, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0));
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(WindowText(app), "Kaptor32");

    // And again: the same each time.
    SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    GetWindowRect(app, &r);
    EXPECT_TRUE(RectIs(r, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0));
    ASSERT_EQ(sounds.size(), 3u);
    EXPECT_EQ(sounds[1].Name, "Minimize");
    EXPECT_EQ(sounds[2].Name, "RestoreUp");
}

TEST_F(AnimateForm, MinimiseFromTheTaskBarMenuTakesTheFormsOwnWayWithTheSound) {
    AnimatedMainForm* form = ShowMainForm();
    HWND app = app_->Handle();
    RECT before;
    GetWindowRect(app, &before);

    EXPECT_EQ(SendMessageA(app, WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
    // One sound: the form's hook did not see the command a second time.
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_EQ(sounds[0].Name, "Minimize");
    EXPECT_EQ(sounds[0].Flags, 65539u);
    EXPECT_EQ(sounds[0].AppTitle, "Kaptor32");
    EXPECT_TRUE(IsIconic(app));
    // Not moved onto the form first.
    EXPECT_TRUE(RectIs(NormalRect(app), before.left, before.top, 0, 0));
    EXPECT_FALSE(IsIconic(form->Handle()));
}

TEST_F(AnimateForm, CommandsWithLowBitsSetGoToThePreviousProcedure) {
    AnimatedMainForm* form = ShowMainForm();
    HWND app = app_->Handle();
    RECT before;
    GetWindowRect(app, &before);

    // The framework's own minimise: no sound, no move onto the form.
    SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE | 2, 0);
    EXPECT_TRUE(sounds.empty());
    EXPECT_TRUE(IsIconic(app));
    EXPECT_TRUE(RectIs(NormalRect(app), before.left, before.top, 0, 0));

    // The framework's own restore: no sound either, and its result.
    EXPECT_EQ(SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE | 1, 0), 0);
    EXPECT_TRUE(sounds.empty());
    EXPECT_FALSE(IsIconic(app));

    for (WPARAM low = 1; low < 16; ++low) {
        SendMessageA(app, WM_SYSCOMMAND, SC_MINIMIZE | low, 0);
        SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE | low, 0);
    }
    EXPECT_TRUE(sounds.empty());
}

TEST_F(AnimateForm, MinimisingTakesOurTopMostWindowsOutOfTheTopMostRank) {
    AnimatedMainForm* form = ShowMainForm();
    TForm tool(nullptr);
    tool.SetBounds(10, 10, 100, 80);
    tool.Show();
    SetWindowPos(tool.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(GetWindowLongA(tool.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(GetWindowLongA(tool.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(AnimateForm, AnErrorDuringMinimiseIsShownAndTheTitleComesBack) {
    AnimatedMainForm* form = ShowMainForm();
    TAnimateForm::PlaySoundProc = &FailSound;
    EXPECT_EQ(SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0], "no sound device");
    EXPECT_EQ(app_->Title(), "Kaptor32");
    EXPECT_EQ(WindowText(app_->Handle()), "Kaptor32");
}

TEST_F(AnimateForm, TheApplicationIsToldOfTheMinimiseOnceWithItsTitleBack) {
    AnimatedMainForm* form = ShowMainForm();
    HWND app = app_->Handle();
    struct Told {
        TApplication* sender;
        std::string title;
        bool iconic;
        std::size_t soundsBefore;
    };
    std::vector<Told> told;
    app_->OnMinimize = [&](TApplication* sender) {
        told.push_back({sender, WindowText(app), IsIconic(app) != 0, sounds.size()});
    };

    SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].sender, app_);
    EXPECT_EQ(told[0].title, "Kaptor32");  // after the caption was put back
    EXPECT_TRUE(told[0].iconic);
    EXPECT_EQ(told[0].soundsBefore, 1u);  // after the sound, last of all

    // Restoring tells nothing; the task-bar menu's minimise goes the framework's own way,
    // which tells it too.
    SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(told.size(), 1u);
    SendMessageA(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].sender, app_);
    EXPECT_TRUE(told[1].iconic);
    SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);

    // A minimise that failed on the way is not reported as done.
    TAnimateForm::PlaySoundProc = &FailSound;
    SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(told.size(), 2u);
    EXPECT_EQ(shown_.size(), 1u);
    app_->OnMinimize = nullptr;
}
