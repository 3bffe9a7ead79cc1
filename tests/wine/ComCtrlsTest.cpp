// The common controls: status bar panels as another program reads them, tool bar buttons
// (states, sizes, tips, clicks wherever the bar sits), the band container's height and the
// speed buttons' groups.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "TestApp.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/StdCtrls.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

class BarForm : public TForm {
public:
    explicit BarForm(TComponent* owner) : TForm(owner, "TKaptorBarTestForm") { SetClientSize(594, 348); }
};

// Read as another program does. Wine's SB_GETTEXTLENGTHA counts characters, not bytes, so
// a generous buffer is used rather than that length.
std::string PanelText(HWND bar, int index) {
    char text[512] = {};
    SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ButtonText(HWND bar, int command) {
    char text[256] = {};
    SendMessageA(bar, TB_GETBUTTONTEXTA, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(text));
    return text;
}

// What the bar's tool tip gets when it asks for a button's text (the tip control asks the
// tool bar in UTF-16; the tool bar passes the request on).
std::string TipText(TToolBar& bar, TToolButton& button) {
    HWND tip = reinterpret_cast<HWND>(SendMessageA(bar.Handle(), TB_GETTOOLTIPS, 0, 0));
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = tip;
    info.hdr.idFrom = static_cast<UINT_PTR>(button.Command());
    info.hdr.code = TTN_GETDISPINFOW;
    info.lpszText = info.szText;
    SendMessageW(bar.Handle(), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    if (!info.lpszText || IS_INTRESOURCE(info.lpszText)) return {};
    char text[512] = {};
    WideCharToMultiByte(CP_ACP, 0, info.lpszText, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// A press and release of the left button in the middle of the tool button.
void ClickButton(TToolBar& bar, TToolButton& button) {
    const RECT r = button.BoundsRect();
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(bar.Handle(), WM_MOUSEMOVE, 0, at);
    SendMessageA(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar.Handle(), WM_LBUTTONUP, 0, at);
    Pump(1);
}

int RectWidth(const RECT& r) { return r.right - r.left; }

// Shown as far as the window itself goes (the test forms themselves stay hidden).
bool VisibleStyle(HWND wnd) { return (GetWindowLongA(wnd, GWL_STYLE) & WS_VISIBLE) != 0; }

std::unique_ptr<TBitmap> Glyph(COLORREF background, COLORREF ink) {
    auto b = std::make_unique<TBitmap>(20, 20);
    b->Canvas().Brush.Color = background;
    b->Canvas().FillRect(RECT{0, 0, 20, 20});
    b->Canvas().Brush.Color = ink;
    b->Canvas().FillRect(RECT{5, 5, 15, 15});
    return b;
}

}  // namespace

TEST(StatusBar, PanelTextsAndWidthsAreWhatAnotherProgramReads) {
    TestApp();
    BarForm form(nullptr);
    auto* bar = new TStatusBar(&form);
    bar->SetParent(&form);
    bar->SetAlign(TAlign::alBottom);
    for (int w : {120, 120, 120, 500}) {
        TStatusPanel& p = bar->Panels().Add();
        p.SetWidth(w);
        p.SetAlignment(w == 500 ? TAlignment::taLeftJustify : TAlignment::taCenter);
    }
    EXPECT_EQ(bar->Height(), 19);
    EXPECT_EQ(bar->Top(), form.ClientHeight() - 19);
    EXPECT_EQ(SendMessageA(bar->Handle(), SB_GETPARTS, 0, 0), 4);
    EXPECT_FALSE(GetWindowLongA(bar->Handle(), GWL_STYLE) & SBARS_SIZEGRIP);
    for (int i = 0; i < 3; ++i) {
        RECT r{};
        ASSERT_TRUE(SendMessageA(bar->Handle(), SB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)));
        // The control keeps a border of a pixel or two inside each part.
        EXPECT_NEAR(RectWidth(r), 120, 4) << "panel " << i;
    }
    int edges[4] = {};
    SendMessageA(bar->Handle(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], 120);
    EXPECT_EQ(edges[2], 360);

    bar->Panels()[0].SetText("ｻｲｽﾞ : 1024 x 768");
    bar->Panels()[1].SetText(Format("X=%4d,Y=%4d", 5, 12));
    bar->Panels()[3].SetText("左");
    // Centred texts carry the control's tab; a left-aligned one is as written.
    EXPECT_EQ(PanelText(bar->Handle(), 0), "\tｻｲｽﾞ : 1024 x 768");
    EXPECT_EQ(PanelText(bar->Handle(), 1), "\tX=   5,Y=  12");
    EXPECT_EQ(PanelText(bar->Handle(), 3), "左");
    EXPECT_EQ(bar->Panels()[0].Text(), "ｻｲｽﾞ : 1024 x 768");
    // Cleared reads back empty, not as a lone tab.
    bar->Panels()[2].SetText("範囲 : 3 x 4");
    bar->Panels()[2].SetText("");
    EXPECT_EQ(PanelText(bar->Handle(), 2), "");
    bar->Panels()[3].SetAlignment(TAlignment::taRightJustify);
    EXPECT_EQ(PanelText(bar->Handle(), 3), "\t\t左");

    // Texts and widths written before a panel is added survive the part count changing.
    bar->Panels().Add().SetWidth(10);
    EXPECT_EQ(PanelText(bar->Handle(), 0), "\tｻｲｽﾞ : 1024 x 768");
    bar->Panels()[1].SetWidth(80);
    SendMessageA(bar->Handle(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[1], 200);

    bar->SetSizeGrip(true);
    EXPECT_TRUE(GetWindowLongA(bar->Handle(), GWL_STYLE) & SBARS_SIZEGRIP);
}

TEST(StatusBar, PanelsSetBeforeTheWindowExistsAreWrittenWhenItIs) {
    TestApp();
    BarForm form(nullptr);
    auto* bar = new TStatusBar(&form);
    bar->Panels().Add().SetWidth(70);
    bar->Panels().Add().SetText("後");
    bar->Panels()[0].SetText("前");
    bar->Panels()[0].SetAlignment(TAlignment::taCenter);
    bar->SetParent(&form);
    EXPECT_EQ(PanelText(bar->Handle(), 0), "\t前");
    EXPECT_EQ(PanelText(bar->Handle(), 1), "後");
}

TEST(ToolBar, ButtonStatesSizesAndCaptionsAreTheControls) {
    TestApp();
    BarForm form(nullptr);
    auto* images = new TImageList(&form, 20, 20);
    auto red = Glyph(RGB(0, 128, 128), RGB(255, 0, 0));
    auto blue = Glyph(RGB(0, 128, 128), RGB(0, 0, 255));
    EXPECT_EQ(images->AddMasked(*red), 0);
    EXPECT_EQ(images->AddMasked(*blue), 1);
    EXPECT_EQ(images->Count(), 2);
    // A glyph missing from the program's resources is an error with its name or number.
    try {
        images->AddResource(MAKEINTRESOURCEA(9999));
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "ﾘｿｰｽ #9999 が見つかりません");
    }
    EXPECT_THROW(images->AddResource("NOGLYPH"), Exception);
    EXPECT_EQ(images->Count(), 2);
    // Transparent exactly where the bottom-left colour is (not the top-left's), in the list
    // and in a push button's icon.
    auto spotted = Glyph(RGB(0, 128, 128), RGB(255, 0, 0));
    spotted->Canvas().FillRect(RECT{0, 0, 2, 2});
    images->AddMasked(*spotted);
    const UniqueIcon icon = MaskedIcon(spotted->Handle());
    for (int drawn = 0; drawn < 2; ++drawn) {
        TBitmap back(20, 20);
        back.Canvas().Brush.Color = RGB(0, 255, 0);
        back.Canvas().FillRect(RECT{0, 0, 20, 20});
        if (drawn == 0) ImageList_Draw(images->Handle(), 2, back.Canvas().Handle(), 0, 0, ILD_NORMAL);
        else DrawIconEx(back.Canvas().Handle(), 0, 0, icon.get(), 20, 20, 0, nullptr, DI_NORMAL);
        EXPECT_EQ(back.Canvas().Pixels(0, 19), RGB(0, 255, 0)) << drawn;
        EXPECT_EQ(back.Canvas().Pixels(10, 10), RGB(255, 0, 0)) << drawn;
        EXPECT_EQ(back.Canvas().Pixels(0, 0), RGB(255, 0, 0)) << drawn;
    }

    auto* bar = new TToolBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(0, 0, 594, 44);
    bar->SetImages(images);
    bar->SetButtonSize(52, 40);
    const char* captions[] = {"終了", "開く", "全画面", "ﾌﾟﾘﾝﾀ設定", "印刷"};
    std::vector<TToolButton*> b;
    for (int i = 0; i < 5; ++i) {
        b.push_back(new TToolButton(&form));
        b[i]->SetCaption(captions[i]);
        b[i]->SetImageIndex(i % 2);
        b[i]->SetParent(bar);
    }
    b[2]->SetEnabled(false);
    b[3]->SetVisible(false);

    EXPECT_EQ(SendMessageA(bar->Handle(), TB_BUTTONCOUNT, 0, 0), 5);
    EXPECT_EQ(ButtonText(bar->Handle(), b[3]->Command()), "ﾌﾟﾘﾝﾀ設定");
    const auto state = [&](int i) {
        return SendMessageA(bar->Handle(), TB_GETSTATE, static_cast<WPARAM>(b[i]->Command()), 0);
    };
    EXPECT_TRUE(state(0) & TBSTATE_ENABLED);
    EXPECT_FALSE(state(2) & TBSTATE_ENABLED);
    EXPECT_TRUE(state(3) & TBSTATE_HIDDEN);
    EXPECT_FALSE(state(4) & TBSTATE_HIDDEN);

    for (int i : {0, 1, 2, 4}) {
        const RECT r = b[i]->BoundsRect();
        EXPECT_EQ(RectWidth(r), 52) << captions[i];
        EXPECT_EQ(r.bottom - r.top, 40) << captions[i];
    }
    // The hidden button takes no room: its right neighbour follows the one on its left.
    EXPECT_EQ(b[4]->BoundsRect().left, b[2]->BoundsRect().right);
    b[3]->SetVisible(true);
    EXPECT_EQ(b[4]->BoundsRect().left, b[3]->BoundsRect().right);
    b[3]->SetVisible(false);
    b[2]->SetEnabled(true);
    EXPECT_TRUE(state(2) & TBSTATE_ENABLED);

    // A caption set later keeps the size.
    b[1]->SetCaption("ｱｸﾃｨﾌﾞ");
    EXPECT_EQ(ButtonText(bar->Handle(), b[1]->Command()), "ｱｸﾃｨﾌﾞ");
    EXPECT_EQ(RectWidth(b[1]->BoundsRect()), 52);

    // A button freed leaves the bar; the others keep their states.
    delete b[0];
    EXPECT_EQ(SendMessageA(bar->Handle(), TB_BUTTONCOUNT, 0, 0), 4);
    EXPECT_EQ(bar->ButtonCount(), 4);
    EXPECT_TRUE(state(3) & TBSTATE_HIDDEN);
    EXPECT_EQ(b[1]->Index(), 0);
}

TEST(ToolBar, TipsShowTheHintNotTheCaption) {
    TestApp();
    BarForm form(nullptr);
    auto* bar = new TToolBar(&form);
    bar->SetParent(&form);
    auto* open = new TToolButton(&form);
    open->SetCaption("開く");
    open->SetHint("画像ﾌｧｲﾙを開く(Ctrl+O)");
    open->SetParent(bar);
    auto* plain = new TToolButton(&form);
    plain->SetCaption("貼付");
    plain->SetParent(bar);

    EXPECT_EQ(TipText(*bar, *open), "画像ﾌｧｲﾙを開く(Ctrl+O)");
    EXPECT_EQ(TipText(*bar, *plain), "");
    open->SetHint("環境設定  (Ctrl+O)");
    EXPECT_EQ(TipText(*bar, *open), "環境設定  (Ctrl+O)");
    bar->ShowHint = false;
    EXPECT_EQ(TipText(*bar, *open), "");
}

TEST(ToolBar, ClicksReachTheButtonWhereverTheBarSits) {
    TestApp();
    TakeMessages();
    BarForm form(nullptr);
    auto* cool = new TCoolBar(&form);
    cool->SetParent(&form);
    cool->SetAlign(TAlign::alTop);
    auto* bar = new TToolBar(&form);
    bar->SetButtonSize(52, 40);
    auto* capture = new TToolButton(&form);
    capture->SetCaption("全体");
    capture->SetParent(bar);
    auto* save = new TToolButton(&form);
    save->SetCaption("保存");
    save->SetEnabled(false);
    save->SetParent(bar);
    auto* failing = new TToolButton(&form);
    failing->SetCaption("印刷");
    failing->SetParent(bar);
    cool->AddBand(bar, 44);
    std::vector<TComponent*> clicks;
    capture->OnClick = save->OnClick = [&](TComponent* sender) { clicks.push_back(sender); };
    failing->OnClick = [](TComponent*) { throw Exception("印刷できません"); };
    form.Show();
    Pump();

    ASSERT_EQ(GetParent(bar->Handle()), cool->Handle());
    ClickButton(*bar, *capture);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], capture);
    ClickButton(*bar, *save);  // disabled: nothing
    EXPECT_EQ(clicks.size(), 1u);
    // Another program's click: the command sent to the tool bar itself.
    SendMessageA(bar->Handle(), WM_COMMAND, static_cast<WPARAM>(capture->Command()),
                 reinterpret_cast<LPARAM>(bar->Handle()));
    SendMessageA(bar->Handle(), WM_COMMAND, static_cast<WPARAM>(save->Command()),
                 reinterpret_cast<LPARAM>(bar->Handle()));
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1], capture);
    // The same bar moved onto a panel: still ours.
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 100, 400, 50);
    bar->SetParent(panel);
    bar->SetBounds(0, 0, 400, 44);
    ClickButton(*bar, *capture);
    EXPECT_EQ(clicks.size(), 3u);
    // A failing handler is reported, not thrown into Windows.
    ClickButton(*bar, *failing);
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "印刷できません");
    form.Hide();
}

TEST(ToolBar, GroupedCheckButtonsKeepOneDown) {
    TestApp();
    BarForm form(nullptr);
    auto* bar = new TToolBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(0, 0, 300, 30);
    TToolButton* b[2];
    for (auto*& button : b) {
        button = new TToolButton(&form);
        button->SetStyle(TToolButtonStyle::tbsCheck);
        button->SetGrouped(true);
        button->SetCaption("x");
        button->SetParent(bar);
    }
    b[0]->SetDown(true);
    EXPECT_TRUE(b[0]->Down());
    EXPECT_FALSE(b[1]->Down());
    int clicks = 0;
    b[1]->OnClick = [&](TComponent*) {
        ++clicks;
        EXPECT_TRUE(b[1]->Down());  // the handler sees the new state
    };
    form.Show();
    ClickButton(*bar, *b[1]);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(SendMessageA(bar->Handle(), TB_GETSTATE, static_cast<WPARAM>(b[1]->Command()), 0) & TBSTATE_CHECKED);
    EXPECT_FALSE(b[0]->Down());
    b[0]->SetDown(true);
    EXPECT_FALSE(b[1]->Down());
    form.Hide();
}

TEST(ToolBar, AHiddenRightAlignedChildLeavesTheButtonsAlone) {
    TestApp();
    BarForm form(nullptr);
    auto* bar = new TToolBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(0, 0, 594, 44);
    bar->SetButtonSize(52, 40);
    auto* button = new TToolButton(&form);
    button->SetCaption("終了");
    button->SetParent(bar);
    const RECT before = button->BoundsRect();
    // Like the main window's clean-copy image: 60 x 40, right-aligned, never shown.
    auto* hidden = new TPanel(&form);
    hidden->SetVisible(false);
    hidden->SetBounds(0, 0, 60, 40);
    hidden->SetAlign(TAlign::alRight);
    hidden->SetParent(bar);
    EXPECT_EQ(GetParent(hidden->Handle()), bar->Handle());
    EXPECT_FALSE(IsWindowVisible(hidden->Handle()));
    const RECT after = button->BoundsRect();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(RectWidth(after), 52);
    // Shown, it would sit at the right end.
    hidden->SetVisible(true);
    EXPECT_EQ(hidden->Left(), bar->ClientWidth() - 60);
    hidden->SetVisible(false);
    // The bar freed before its buttons: they just lose it.
    delete bar;
    EXPECT_EQ(button->Parent(), nullptr);
    EXPECT_EQ(button->Index(), -1);
}

TEST(CoolBar, HeightFollowsTheBandsAndHidingFreesTheRoom) {
    TestApp();
    BarForm form(nullptr);
    auto* cool = new TCoolBar(&form);
    cool->SetVisible(false);  // as the main window starts
    cool->SetParent(&form);
    cool->SetAlign(TAlign::alTop);
    auto* bar = new TToolBar(&form);
    bar->SetButtonSize(52, 40);
    auto* panel = new TPanel(&form);
    auto* view = new TPanel(&form);
    view->SetParent(&form);
    view->SetAlign(TAlign::alClient);
    TCoolBand* first = cool->AddBand(bar, 44);
    TCoolBand* second = cool->AddBand(panel, 27);
    EXPECT_EQ(SendMessageA(cool->Handle(), RB_GETBANDCOUNT, 0, 0), 2);
    EXPECT_EQ(first->Index(), 0);
    EXPECT_EQ(second->Index(), 1);
    EXPECT_EQ(view->Top(), 0);

    cool->Show();
    const int both = cool->Height();
    // Two rows: each band at least as tall as its minimum.
    EXPECT_GE(both, 44 + 27);
    EXPECT_EQ(both, cool->BarHeight());
    EXPECT_EQ(view->Top(), both);
    EXPECT_EQ(view->Height(), form.ClientHeight() - both);
    EXPECT_GE(bar->Height(), 44);
    EXPECT_GE(panel->Height(), 27);
    EXPECT_LT(bar->Top(), panel->Top());

    second->SetVisible(false);
    EXPECT_LT(cool->Height(), both);
    EXPECT_GE(cool->Height(), 44);
    EXPECT_EQ(view->Top(), cool->Height());
    EXPECT_FALSE(VisibleStyle(panel->Handle()));
    second->SetVisible(true);
    EXPECT_EQ(cool->Height(), both);
    EXPECT_TRUE(VisibleStyle(panel->Handle()));
    // A control the program hid stays hidden when its band is made.
    auto* hiddenControl = new TPanel(&form);
    hiddenControl->SetVisible(false);
    TCoolBand* third = cool->AddBand(hiddenControl, 20);
    EXPECT_FALSE(VisibleStyle(hiddenControl->Handle()));
    delete hiddenControl;
    EXPECT_EQ(cool->BandCount(), 2);
    (void)third;

    cool->Hide();
    EXPECT_EQ(view->Top(), 0);
    EXPECT_EQ(view->Height(), form.ClientHeight());

    // A band's control freed takes its band along.
    delete panel;
    EXPECT_EQ(cool->BandCount(), 1);
    EXPECT_EQ(SendMessageA(cool->Handle(), RB_GETBANDCOUNT, 0, 0), 1);
    cool->Show();
    EXPECT_LT(cool->Height(), both);
}

TEST(CoolBar, ANarrowerWindowWrapsTheBandsAndTheLayoutFollows) {
    TestApp();
    BarForm form(nullptr);
    auto* cool = new TCoolBar(&form);
    cool->SetParent(&form);
    cool->SetAlign(TAlign::alTop);
    auto* view = new TPanel(&form);
    view->SetParent(&form);
    view->SetAlign(TAlign::alClient);
    auto* left = new TPanel(&form);
    auto* right = new TPanel(&form);
    cool->AddBand(left, 30)->SetMinWidth(250);
    TCoolBand* second = cool->AddBand(right, 30);
    second->SetMinWidth(250);
    second->SetBreak(false);
    const int oneRow = cool->Height();
    EXPECT_GE(oneRow, 30);
    EXPECT_LT(oneRow, 60);
    EXPECT_EQ(left->Top(), right->Top());
    // Too narrow for both: the control puts the second band on a row of its own and tells
    // its parent, which lays the window out again.
    form.SetClientSize(400, 300);
    EXPECT_GE(cool->Height(), 60);
    EXPECT_EQ(cool->Height(), cool->BarHeight());
    EXPECT_EQ(view->Top(), cool->Height());
    form.SetClientSize(594, 300);
    EXPECT_EQ(cool->Height(), oneRow);
    EXPECT_EQ(view->Top(), oneRow);
}

TEST(CoolBar, BarsScaleWithTheForm) {
    // What a form does on a screen of 144 dots per inch.
    TestApp();
    BarForm form(nullptr);
    auto* cool = new TCoolBar(&form);
    cool->SetParent(&form);
    cool->SetAlign(TAlign::alTop);
    auto* bar = new TToolBar(&form);
    bar->SetButtonSize(52, 40);
    cool->AddBand(bar, 44);
    auto* button = new TToolButton(&form);
    button->SetCaption("終了");
    button->SetParent(bar);
    auto* status = new TStatusBar(&form);
    status->SetParent(&form);
    status->SetAlign(TAlign::alBottom);
    status->Panels().Add().SetWidth(120);
    status->Panels().Add().SetWidth(500);

    form.ScaleBy(3, 2);
    const RECT r = button->BoundsRect();
    EXPECT_EQ(RectWidth(r), 78);
    EXPECT_EQ(r.bottom - r.top, 60);
    EXPECT_GE(cool->Height(), 66);
    EXPECT_EQ(cool->Height(), cool->BarHeight());
    EXPECT_EQ(status->Height(), 29);  // 19 * 1.5 = 28.5, rounded up
    int edges[2] = {};
    SendMessageA(status->Handle(), SB_GETPARTS, 2, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], 180);
}

TEST(SpeedButton, AGroupKeepsExactlyOneDown) {
    TestApp();
    BarForm form(nullptr);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 300, 27);
    auto* range = new TSpeedButton(&form);
    auto* noRange = new TSpeedButton(&form);
    auto* resize = new TSpeedButton(&form);
    for (TSpeedButton* b : {range, noRange, resize}) b->SetParent(panel);
    range->SetGroupIndex(1);
    noRange->SetGroupIndex(1);
    noRange->SetDown(true);
    resize->SetCaption("ｻｲｽﾞ変更");
    auto glyph = Glyph(RGB(255, 0, 255), RGB(0, 0, 0));
    range->SetGlyph(*glyph);
    EXPECT_TRUE(GetWindowLongA(range->Handle(), GWL_STYLE) & BS_ICON);

    const auto checked = [](TSpeedButton* b) { return SendMessageA(b->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    const auto click = [&](TSpeedButton* b) {
        SendMessageA(panel->Handle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(b->Handle()));
    };
    std::vector<TComponent*> clicks;
    for (TSpeedButton* b : {range, noRange, resize}) b->OnClick = [&](TComponent* s) { clicks.push_back(s); };

    EXPECT_TRUE(checked(noRange));
    EXPECT_FALSE(checked(range));
    click(range);
    EXPECT_TRUE(range->Down());
    EXPECT_TRUE(checked(range));
    EXPECT_FALSE(checked(noRange));
    // Clicking the button that is down keeps it down, and still runs its handler.
    click(range);
    EXPECT_TRUE(checked(range));
    // Nor does the program lift it by itself: only another button going down does.
    range->SetDown(false);
    EXPECT_TRUE(range->Down());
    noRange->SetDown(true);
    EXPECT_TRUE(checked(noRange));
    EXPECT_FALSE(checked(range));
    // A button outside any group never stays down.
    click(resize);
    resize->SetDown(true);
    EXPECT_FALSE(checked(resize));
    EXPECT_FALSE(resize->Down());
    const std::vector<TComponent*> expected = {range, range, resize};
    EXPECT_EQ(clicks, expected);

    // With AllowAllUp a second click lifts it.
    noRange->AllowAllUp = true;
    click(noRange);
    EXPECT_FALSE(checked(noRange));
    EXPECT_FALSE(checked(range));
}

TEST(ComCtrls, ABarFormFreedLeavesNoHandlesBehind) {
    TestApp();
    const long user = OwnedUserHandles(), gdi = OwnedGdiHandles();
    {
        BarForm form(nullptr);
        auto* cool = new TCoolBar(&form);
        cool->SetParent(&form);
        cool->SetAlign(TAlign::alTop);
        auto* images = new TImageList(&form, 20, 20);
        auto* bar = new TToolBar(&form);
        cool->AddBand(bar, 44);
        bar->SetImages(images);
        auto glyph = Glyph(RGB(255, 0, 255), RGB(0, 0, 0));
        images->AddMasked(*glyph);
        for (int i = 0; i < 3; ++i) {
            auto* b = new TToolButton(&form);
            b->SetImageIndex(0);
            b->SetParent(bar);
        }
        auto* panel = new TPanel(&form);
        cool->AddBand(panel, 27);
        auto* speed = new TSpeedButton(&form);
        speed->SetParent(panel);
        speed->SetGlyph(*glyph);
        speed->SetGlyph(*glyph);  // the first icon goes
        auto* status = new TStatusBar(&form);
        status->SetParent(&form);
        status->Panels().Add().SetText("x");
        EXPECT_GT(OwnedUserHandles(), user);
    }
    EXPECT_EQ(OwnedUserHandles(), user);
    EXPECT_EQ(OwnedGdiHandles(), gdi);
}

