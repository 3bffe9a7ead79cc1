#include "app/AboutBox.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "framework/base/SysUtils.h"
#include "framework/win/SysWin.h"
#include "resources/resource.h"
#include "framework/win/LazyLibraries.h"

namespace kaptor {

TAboutBox* AboutBox = nullptr;
int AnimationPhase = 0;
std::string FileVersionText;

namespace {

// The version resource is read into this, at most its size.
constexpr DWORD VersionBufferSize = 64000;
std::array<char, VersionBufferSize> versionBuffer;
bool versionRead = false;  // whether versionBuffer holds the last file's version block

// The panel's frame is sunken, not raised as a plain panel's.
class TSunkenPanel : public TPanel {
public:
    using TPanel::TPanel;

protected:
    void Paint(HDC dc, const RECT&) override {
        RECT r = ClientRect();
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    }
};

// A label whose right edge stays put as its text changes.
class TRightLabel : public TLabel {
public:
    explicit TRightLabel(TComponent* owner) : TLabel(owner) { AutoSize = false; }

protected:
    void CreateParamsFor(CreateParams& params) override {
        TLabel::CreateParamsFor(params);
        params.Style |= SS_RIGHT;
    }
};

TFontSpec LabelFont(int height, bool bold) {
    TFontSpec font;
    font.Height = height;
    font.Bold = bold;
    return font;
}

TImage* IconImage(TComponent* owner, TWinControl* parent, const char* name, int left, int top, bool visible) {
    auto* image = new TImage(owner);
    image->Name = name;
    image->SetBounds(left, top, 32, 32);
    image->SetVisible(visible);
    image->SetParent(parent);
    // Drawn to the control's size, which grows when the form is scaled for the screen.
    image->Stretch = true;
    return image;
}

void LoadIconInto(TImage& image, WORD iconId) {
    if (HICON icon = static_cast<HICON>(LoadImageA(MainInstance(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 32, 32, 0)))
        image.Picture().Icon().SetHandle(icon);
}

}  // namespace

TAboutBox::TAboutBox(TComponent* owner) : TForm(owner, "TAboutBox", TFormWindow::OnDemand) {
    AboutBox = this;
    SetBorderStyle(TBorderStyle::bsDialog);
    SetCaption("ﾊﾞｰｼﾞｮﾝ情報");
    Position = TPosition::poScreenCenter;
    DialogKeys = true;
    SetClientSize(247, 115);

    OKButton = new TButton(this);
    OKButton->SetCaption("OK");
    OKButton->ModalResult = mrOk;
    OKButton->SetBounds(94, 76, 64, 33);
    OKButton->SetParent(this);
    OKButton->SetDefault(true);
    OKButton->OnClick = [this](TComponent* s) { OkClicked(s); };

    AboutPanel = new TSunkenPanel(this);
    AboutPanel->SetBounds(8, 8, 229, 62);
    AboutPanel->SetParent(this);

    Icon = IconImage(this, AboutPanel, "Icon", 9, 8, true);
    Icon->OnDblClick = [this](TComponent* s) { IconDoubleClicked(s); };

    Description = new TLabel(this);
    Description->SetBounds(53, 3, 0, 0);
    Description->SetParent(AboutPanel);
    Description->SetCaption("画面ｷｬﾌﾟﾁｬｰﾂｰﾙ");

    ProductName = new TLabel(this);
    ProductName->SetBounds(77, 16, 0, 0);
    ProductName->SetParent(AboutPanel);
    ProductName->SetFont(LabelFont(19, true));
    ProductName->SetCaption("Ｋａｐｔｏｒ ");

    Version = new TRightLabel(this);
    // Wider to the left than designed so the bold version fits on one line with Wine's
    // fonts; the right edge stays at 223.
    Version->SetBounds(83, 34, 140, 13);
    Version->SetParent(AboutPanel);
    Version->SetFont(LabelFont(12, true));
    Version->SetCaption("Version 0.0.00.00");

    DoubleClickHint = new TLabel(this);
    DoubleClickHint->SetBounds(12, 47, 0, 0);
    DoubleClickHint->SetParent(AboutPanel);
    DoubleClickHint->SetCaption("ｱｲｺﾝをﾀﾞﾌﾞﾙｸﾘｯｸしてみてください");

    FrameA = IconImage(this, AboutPanel, "FrameA", 72, 35, false);
    FrameB = IconImage(this, AboutPanel, "FrameB", 8, 31, false);
    RestingIcon = IconImage(this, AboutPanel, "RestingIcon", 8, 7, false);

    AnimationTimer = new TTimer(this);
    AnimationTimer->SetEnabled(false);
    AnimationTimer->SetInterval(1000);
    AnimationTimer->OnTimer = [this](TComponent* s) { AnimationTick(s); };

    OnShow = [this](TComponent* s) {
        FormShow(s);
        OKButton->SetFocus();
    };
    OnClose = [this](TComponent* s, TCloseAction& action) {
        bool canClose = true;
        FormCloseQuery(s, canClose);
        if (!canClose) action = TCloseAction::caNone;
    };
}

void TAboutBox::CreateWnd() {
    TForm::CreateWnd();
    // The icons are loaded with the window, before their images get theirs: most starts
    // never show the box.
    LoadIconInto(*Icon, IDI_MAINICON);
    LoadIconInto(*FrameA, IDI_ABOUT_A);
    LoadIconInto(*FrameB, IDI_ABOUT_B);
    LoadIconInto(*RestingIcon, IDI_MAINICON);
}

LRESULT TAboutBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    // The box has no cancel button: Esc does nothing.
    if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL && lp == 0) return 0;
    return TForm::WndProc(msg, wp, lp);
}

void TAboutBox::FormShow(TComponent*) {
    ReadVersion();
    AnimationPhase = 0;
    Icon->Picture().Assign(RestingIcon->Picture());
}

void TAboutBox::ReadVersion() { ReadVersion(ExeName()); }

void TAboutBox::ReadVersion(const std::string& path) {
    DWORD handle = 0;
    DWORD size = lazy::GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size > VersionBufferSize) size = VersionBufferSize;
    std::string version;
    versionRead = size > 0 && lazy::GetFileVersionInfoA(path.c_str(), handle, size, versionBuffer.data());
    if (versionRead) version = GetStringInfo("FileVersion");
    FileVersionText = version;
    Version->SetCaption("Version " + FileVersionText);
    Repaint();
}

std::string TAboutBox::GetStringInfo(const std::string& name) {
    if (!versionRead) return {};  // no block: nothing stale from an earlier file
    void* value = nullptr;
    UINT length = 0;
    WORD language = 0x0409, codePage = 0;
    if (lazy::VerQueryValueA(versionBuffer.data(), "\\VarFileInfo\\Translation\\", &value, &length) && value &&
        length >= 4) {
        const auto* words = static_cast<const WORD*>(value);
        language = words[0];
        codePage = words[1];
    }
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\", static_cast<unsigned>(language),
                  static_cast<unsigned>(codePage));
    const std::string path = query + name;
    value = nullptr;
    length = 0;
    if (!lazy::VerQueryValueA(versionBuffer.data(), path.c_str(), &value, &length) || !value) return {};
    // The value is NUL-terminated; the length is not trusted beyond that.
    const char* text = static_cast<const char*>(value);
    std::string result(text, strnlen(text, 128));
    return " " + result;
}

void TAboutBox::IconDoubleClicked(TComponent*) {
    // Enabling a running timer would restart its interval: a second double-click must not.
    if (!AnimationTimer->Enabled()) AnimationTimer->SetEnabled(true);
    Icon->Picture().Assign(FrameA->Picture());
}

void TAboutBox::AnimationTick(TComponent*) {
    if (AnimationPhase == 1) {
        Icon->Picture().Assign(FrameA->Picture());
        AnimationPhase = 0;
    } else {
        Icon->Picture().Assign(FrameB->Picture());
        AnimationPhase = 1;
    }
    Icon->Repaint();
}

void TAboutBox::FormCloseQuery(TComponent*, bool& canClose) {
    AnimationTimer->SetEnabled(false);
    canClose = true;
}

void TAboutBox::OkClicked(TComponent*) { Close(); }

}  // namespace kaptor
