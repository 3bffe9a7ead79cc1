// The number box: change events only on real changes, stepping and its limits, typing
// rules, and the correction when the box loses the focus.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "TestApp.h"
#include "framework/win/Spin.h"
#include "framework/win/StdCtrls.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

class SpinForm : public TForm {
public:
    explicit SpinForm(TComponent* owner) : TForm(owner, "TKaptorSpinTestForm") {
        SetClientSize(305, 120);
        Spin = new TSpinEdit(this);
        Spin->SetParent(this);
        Spin->SetBounds(114, 4, 47, 21);
        Spin->OnChange = [this](TComponent*) { Changes.push_back(Spin->Text()); };
        Other = new TButton(this);
        Other->SetParent(this);
        Other->SetBounds(10, 60, 75, 25);
    }
    TSpinEdit* Spin;
    TButton* Other;
    std::vector<std::string> Changes;
};

// The zoom box of the main window.
void MakeZoomBox(TSpinEdit& spin) {
    spin.SetMinValue(0);
    spin.SetMaxValue(300);
    spin.SetMaxLength(3);
    spin.SetEditorEnabled(false);
    spin.SetValue(100);
}

// The delay box of the options dialog.
void MakeDelayBox(TSpinEdit& spin) {
    spin.SetMinValue(0);
    spin.SetMaxValue(1200);
    spin.SetMaxLength(3);
    spin.SetValue(1);
}

void Type(TSpinEdit& spin, const std::string& text) {
    for (char c : text) SendMessageA(spin.Handle(), WM_CHAR, static_cast<unsigned char>(c), 1);
}

void Key(TSpinEdit& spin, WORD key) {
    SendMessageA(spin.Handle(), WM_KEYDOWN, key, 1);
    SendMessageA(spin.Handle(), WM_KEYUP, key, 0xC0000001);
}

// A click on the upper (up) or lower (down) half of the spin buttons.
void ClickArrow(TSpinEdit& spin, bool up) {
    HWND ud = spin.UpDownHandle();
    RECT r;
    GetClientRect(ud, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
    SendMessageA(ud, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(ud, WM_LBUTTONUP, 0, at);
}

}  // namespace

TEST(SpinEdit, ChangeEventsOnlyWhenTheTextReallyChanges) {
    TestApp();
    SpinForm form(nullptr);
    MakeZoomBox(*form.Spin);
    form.Changes.clear();
    form.Spin->SetValue(100);  // already shown
    form.Spin->SetText("100");
    EXPECT_TRUE(form.Changes.empty());
    form.Spin->SetValue(50);
    form.Spin->SetValue(50);
    ASSERT_EQ(form.Changes, std::vector<std::string>{"50"});
    EXPECT_EQ(form.Spin->Text(), "50");
    // A value out of range shows the bound.
    form.Spin->SetValue(999);
    EXPECT_EQ(form.Spin->Text(), "300");
    form.Spin->SetValue(-3);
    EXPECT_EQ(form.Spin->Text(), "0");
    EXPECT_EQ(form.Changes.size(), 3u);
}

TEST(SpinEdit, KeysAndButtonsStepWithinTheRange) {
    TestApp();
    SpinForm form(nullptr);
    MakeZoomBox(*form.Spin);
    std::vector<WORD> keys;
    form.Spin->OnKeyDown = [&](TComponent*, WORD& key, TShiftState) { keys.push_back(key); };
    form.Show();
    form.Spin->SetFocus();
    form.Changes.clear();

    Key(*form.Spin, VK_UP);
    EXPECT_EQ(form.Spin->Value(), 101);
    Key(*form.Spin, VK_DOWN);
    Key(*form.Spin, VK_DOWN);
    EXPECT_EQ(form.Spin->Value(), 99);
    ClickArrow(*form.Spin, true);
    EXPECT_EQ(form.Spin->Text(), "100");
    ClickArrow(*form.Spin, false);
    EXPECT_EQ(form.Spin->Text(), "99");
    EXPECT_EQ(form.Changes.size(), 5u);
    // Every key pressed in the box reaches the key handler, the arrows included.
    Key(*form.Spin, VK_ESCAPE);
    const std::vector<WORD> expected = {VK_UP, VK_DOWN, VK_DOWN, VK_ESCAPE};
    EXPECT_EQ(keys, expected);

    // Up at the top and Down at the bottom change nothing and raise nothing.
    form.Spin->SetValue(300);
    form.Changes.clear();
    Key(*form.Spin, VK_UP);
    ClickArrow(*form.Spin, true);
    EXPECT_EQ(form.Spin->Text(), "300");
    form.Spin->SetValue(0);
    form.Changes.clear();
    Key(*form.Spin, VK_DOWN);
    ClickArrow(*form.Spin, false);
    EXPECT_EQ(form.Spin->Text(), "0");
    EXPECT_TRUE(form.Changes.empty());

    // Steps of another size stop at the bound, not beyond it.
    form.Spin->SetIncrement(7);
    form.Spin->SetValue(296);
    Key(*form.Spin, VK_UP);
    EXPECT_EQ(form.Spin->Value(), 300);
    // A disabled box does not step.
    form.Spin->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(form.Spin->UpDownHandle()));
    form.Spin->DownClick();
    EXPECT_EQ(form.Spin->Value(), 300);
    form.Hide();
}

TEST(SpinEdit, WithTheEditorOffNothingCanBeTyped) {
    TestApp();
    SpinForm form(nullptr);
    MakeZoomBox(*form.Spin);
    form.Changes.clear();
    form.Spin->SelectAll();
    Type(*form.Spin, "5");
    Type(*form.Spin, "\b");
    Key(*form.Spin, VK_DELETE);
    SendMessageA(form.Spin->Handle(), WM_CLEAR, 0, 0);
    SendMessageA(form.Spin->Handle(), WM_CUT, 0, 0);
    EXPECT_EQ(form.Spin->Text(), "100");
    EXPECT_TRUE(form.Changes.empty());
    // The program and the keys still change it.
    Key(*form.Spin, VK_UP);
    EXPECT_EQ(form.Spin->Text(), "101");
}

TEST(SpinEdit, TypingTakesNumbersUpToTheLengthTheProgramMayExceed) {
    TestApp();
    SpinForm form(nullptr);
    MakeDelayBox(*form.Spin);
    form.Spin->SelectAll();
    Type(*form.Spin, "a1x2.3");  // letters refused, the fourth character too
    EXPECT_EQ(form.Spin->Text(), "12.");
    form.Spin->SelectAll();
    Type(*form.Spin, "-5");
    EXPECT_EQ(form.Spin->Text(), "-5");
    EXPECT_EQ(form.Spin->Value(), -5);
    form.Spin->SelectAll();
    Type(*form.Spin, "+７");  // a double-byte digit is refused whole
    EXPECT_EQ(form.Spin->Text(), "+");
    EXPECT_EQ(form.Spin->Value(), 0);  // no number: the minimum
    form.Spin->SetValue(1200);
    EXPECT_EQ(form.Spin->Text(), "1200");
}

TEST(SpinEdit, EnterKeepsTheTextAndLeavingTheBoxCorrectsIt) {
    TestApp();
    SpinForm form(nullptr);
    MakeDelayBox(*form.Spin);
    form.DialogKeys = true;
    auto* ok = new TButton(&form);
    ok->SetParent(&form);
    ok->SetBounds(75, 90, 75, 25);
    ok->SetDefault(true);
    std::string seenByOk;
    ok->OnClick = [&](TComponent*) { seenByOk = form.Spin->Text(); };
    form.Show();
    form.Spin->SetFocus();
    form.Spin->SelectAll();
    Type(*form.Spin, "-5");
    PostMessageA(form.Spin->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    Pump();
    EXPECT_EQ(seenByOk, "-5");
    EXPECT_TRUE(form.Spin->Focused());
    EXPECT_EQ(form.Spin->Text(), "-5");

    form.Other->SetFocus();
    EXPECT_EQ(form.Spin->Text(), "0");
    form.Spin->SetText("1500");
    form.Spin->SetFocus();
    form.Other->SetFocus();
    EXPECT_EQ(form.Spin->Text(), "1200");
    // Text that is no whole number is left for the program to refuse.
    for (const char* text : {"1.5", "", "-"}) {
        form.Spin->SetText(text);
        form.Spin->SetFocus();
        form.Other->SetFocus();
        EXPECT_EQ(form.Spin->Text(), text);
    }
    // Hiding the window with the focus in the box is no exit: the typed text stays, as the
    // dialog shows it again when it comes back.
    form.Spin->SetFocus();
    form.Spin->SetText("-5");
    form.Hide();
    Pump();
    EXPECT_EQ(form.Spin->Text(), "-5");
}
