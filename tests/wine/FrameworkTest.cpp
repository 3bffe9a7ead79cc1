// The component framework's core behaviour: ownership, alignment, menus and shortcuts,
// the exception boundary and modal forms.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "TestApp.h"
#include "framework/win/Menus.h"
#include "framework/win/StdCtrls.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::vector<std::string>* log, std::string name) : TComponent(owner), log_(log) {
        Name = std::move(name);
    }
    ~Probe() override { log_->push_back("free " + Name); }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove) log_->push_back(Name + " heard " + c->Name);
    }
    void Loaded() override {
        TComponent::Loaded();
        log_->push_back("loaded " + Name);
    }

private:
    std::vector<std::string>* log_;
};

class TestForm : public TForm {
public:
    explicit TestForm(TComponent* owner, TFormWindow window = TFormWindow::AtOnce)
        : TForm(owner, "TKaptorTestForm", window) {}
};

}  // namespace

TEST(Components, OwnerFreesNewestFirstAndNotifies) {
    std::vector<std::string> log;
    {
        TComponent root(nullptr);
        root.Name = "root";
        auto* a = new Probe(&root, &log, "a");
        auto* b = new Probe(&root, &log, "b");
        a->FreeNotification(b);
        EXPECT_EQ(root.ComponentCount(), 2);
    }
    const std::vector<std::string> expected = {"free b", "a heard b", "free a"};
    EXPECT_EQ(log, expected);
}

TEST(Components, LoadedRunsOnceForEveryComponentBuiltWhileLoading) {
    std::vector<std::string> log;
    TComponent root(nullptr);
    root.SetLoading(true);
    new Probe(&root, &log, "x");
    new Probe(&root, &log, "y");
    root.LoadedAll();
    root.LoadedAll();
    EXPECT_EQ(std::count(log.begin(), log.end(), "loaded x"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "loaded y"), 1);
    EXPECT_FALSE(root.Loading());
}

// A form made on demand is laid out, and its controls get their state, when its window is made,
// as a form made at once was.
TEST(Controls, AlignedChildrenShareTheClientArea) {
    TestApp();
    SIZE labelAtOnce{};
    for (TFormWindow made : {TFormWindow::AtOnce, TFormWindow::OnDemand}) {
        TestForm form(nullptr, made);
        form.SetClientSize(300, 200);
        auto* top = new TPanel(&form);
        top->SetParent(&form);
        top->SetHeight(30);
        top->SetAlign(TAlign::alTop);
        auto* label = new TLabel(&form);
        label->SetParent(top);
        label->SetCaption("倍率");
        auto* list = new TListBox(&form);
        list->SetParent(top);
        list->Items().Add("a");
        list->Items().Add("b");
        list->SetItemIndex(1);
        auto* bottom = new TPanel(&form);
        bottom->SetParent(&form);
        bottom->SetHeight(19);
        bottom->SetAlign(TAlign::alBottom);
        auto* client = new TPanel(&form);
        client->SetParent(&form);
        client->SetAlign(TAlign::alClient);
        EXPECT_EQ(form.HandleAllocated(), made == TFormWindow::AtOnce);
        EXPECT_EQ(form.ClientHeight(), 200);
        EXPECT_EQ(list->ItemIndex(), 1);
        form.HandleNeeded();
        EXPECT_EQ(form.ClientWidth(), 300);
        EXPECT_EQ(form.ClientHeight(), 200);
        EXPECT_EQ(client->Top(), 30);
        EXPECT_EQ(client->Height(), 200 - 30 - 19);
        EXPECT_EQ(bottom->Top(), 181);
        EXPECT_EQ(SendMessageA(list->Handle(), LB_GETCURSEL, 0, 0), 1);
        if (made == TFormWindow::AtOnce) labelAtOnce = SIZE{label->Width(), label->Height()};
        EXPECT_GT(label->Width(), 0);
        EXPECT_EQ(label->Width(), labelAtOnce.cx);
        EXPECT_EQ(label->Height(), labelAtOnce.cy);
        top->Hide();
        EXPECT_EQ(client->Top(), 0);
        EXPECT_EQ(client->Height(), 181);
    }
}

TEST(Controls, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    TestApp();
    TakeMessages();
    TestForm form(nullptr);
    auto* button = new TButton(&form);
    button->SetParent(&form);
    button->OnClick = [](TComponent*) { throw Exception("ｴﾗｰ"); };
    SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(button->Handle()));
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "ｴﾗｰ");
}

TEST(Menus, ShortcutsRunEnabledItemsEvenWhenTheirMenuIsHidden) {
    TestApp();
    TestForm form(nullptr);
    auto* menu = new TMainMenu(&form);
    auto* file = new TMenuItem(&form);
    file->SetCaption("ﾌｧｲﾙ(&F)");
    menu->Items()->Add(file);
    auto* save = new TMenuItem(&form);
    save->SetCaption("画像を保存");
    save->SetShortCut(scCtrl | 'S');
    int clicks = 0;
    save->OnClick = [&](TComponent*) { ++clicks; };
    file->Add(save);
    form.SetMenu(menu);
    EXPECT_EQ(GetMenuItemCount(GetMenu(form.Handle())), 1);

    EXPECT_TRUE(menu->IsShortCut('S', ssCtrl));
    EXPECT_EQ(clicks, 1);
    file->SetVisible(false);
    EXPECT_EQ(GetMenuItemCount(GetMenu(form.Handle())), 0);
    EXPECT_TRUE(menu->IsShortCut('S', ssCtrl));
    EXPECT_EQ(clicks, 2);
    save->SetEnabled(false);
    EXPECT_FALSE(menu->IsShortCut('S', ssCtrl));
    EXPECT_FALSE(menu->IsShortCut('S', 0));
    EXPECT_EQ(clicks, 2);
    file->SetVisible(true);  // back on the bar with the state it took while hidden
    EXPECT_TRUE(GetMenuState(GetMenu(form.Handle()), save->Command(), MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(ShortCutToText(scCtrl | 'B'), "Ctrl+B");
    EXPECT_EQ(ShortCut('B', ssCtrl), 16450);
    EXPECT_EQ(ShortCutToText(VK_F12), "F12");
}

TEST(Forms, ModalResultOfTheButtonIsSetBeforeItsClickHandler) {
    TestApp();
    TestForm form(nullptr);
    auto* ok = new TButton(&form);
    ok->SetParent(&form);
    ok->ModalResult = mrOk;
    int seen = -1;
    ok->OnClick = [&](TComponent*) { seen = form.ModalResult; };
    PostMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(ok->Handle()));
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(seen, mrOk);
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
}

TEST(Forms, TitleBarCloseOfAModalFormGivesCancel) {
    TestApp();
    TestForm form(nullptr);
    PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form.ShowModal(), mrCancel);
}

TEST(Forms, HintsReachTheToolTipOnceTheFormHasBeenPainted) {
    TestApp();
    TestForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    auto* ok = new TButton(&form);
    ok->SetParent(&form);
    ok->SetHint("ﾋﾝﾄ");
    form.Show();
    HWND tip = nullptr;  // the form's tool tip control, made once the form has been painted
    for (int i = 0; i < 200 && !tip; ++i, Application->ProcessMessages(), Sleep(5))
        while ((tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) && GetWindow(tip, GW_OWNER) != form.Handle()) {}
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
}

TEST(Handles, FormsAndControlsReleaseEveryWindowAndFont) {
    TestApp();
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    for (int i = 0; i < 20; ++i) {
        TestForm form(nullptr);
        auto* label = new TLabel(&form);
        label->SetParent(&form);
        label->SetCaption("倍率");
        auto* menu = new TMainMenu(&form);
        auto* item = new TMenuItem(&form);
        item->SetCaption("x");
        menu->Items()->Add(item);
        form.SetMenu(menu);
    }
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
}
