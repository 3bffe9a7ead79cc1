#include "framework/win/ComCtrls.h"

#include <algorithm>

#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"
#include "framework/win/GlyphMask.h"

namespace kaptor {

namespace {

// Tool button commands share one range, apart from the menu commands, so that a command can
// never be mistaken for a menu item's even if it reaches a form.
int NextButtonCommand() {
    static int next = 30000;
    return next++;
}

}  // namespace

// ---------------------------------------------------------------- TImageList

TImageList::TImageList(TComponent* owner, int width, int height)
    : TComponent(owner), width_(width), height_(height) {
    list_ = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 4);
    if (!list_) throw EOutOfMemory();
}

TImageList::~TImageList() {
    BeginDestroy();
    ImageList_Destroy(list_);
}

int TImageList::Count() const { return ImageList_GetImageCount(list_); }

int TImageList::AddMaskedHandle(HBITMAP bitmap, COLORREF mask) {
    const TGlyphMask glyph = MaskGlyph(bitmap, mask);
    if (!glyph.colour) throw EOutOfMemory();
    const int first = ImageList_Add(list_, glyph.colour.get(), glyph.mask.get());
    if (first < 0) throw EInvalidGraphicOperation("ｲﾒｰｼﾞを追加できません");
    return first;
}

int TImageList::AddMasked(TBitmap& bitmap, COLORREF mask) {
    if (bitmap.Empty()) throw EInvalidGraphicOperation("ｲﾒｰｼﾞを追加できません");
    return AddMaskedHandle(bitmap.Handle(), mask);
}

int TImageList::AddResource(const char* name, COLORREF mask) {
    UniqueBitmap bitmap(
        static_cast<HBITMAP>(LoadImageA(MainInstance(), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) {
        // A numbered resource's "name" is its number, not text.
        const std::string shown = IS_INTRESOURCE(name) ? "#" + IntToStr(reinterpret_cast<std::uintptr_t>(name)) : name;
        throw Exception(Format("ﾘｿｰｽ %s が見つかりません", shown.c_str()));
    }
    return AddMaskedHandle(bitmap.get(), mask);
}

void TImageList::Clear() { ImageList_Remove(list_, -1); }

UniqueIcon TImageList::ExtractIcon(int index) const { return UniqueIcon(ImageList_GetIcon(list_, index, ILD_NORMAL)); }

void TImageList::ScaleBy(int m, int d) {
    if (m == d) return;
    const int w = MulDiv(width_, m, d), h = MulDiv(height_, m, d);
    std::vector<UniqueIcon> icons;
    for (int i = 0; i < Count(); ++i) icons.push_back(ExtractIcon(i));
    // A new size empties the list; the images come back stretched, with their masks.
    if (!ImageList_SetIconSize(list_, w, h)) throw EOutOfMemory();
    width_ = w;
    height_ = h;
    for (const UniqueIcon& icon : icons) {
        UniqueIcon stretched(static_cast<HICON>(CopyImage(icon.get(), IMAGE_ICON, w, h, 0)));
        if (!stretched || ImageList_AddIcon(list_, stretched.get()) < 0)
            throw EInvalidGraphicOperation("ｲﾒｰｼﾞを追加できません");
    }
}

// ---------------------------------------------------------------- TStatusBar

void TStatusPanel::SetText(const std::string& text) {
    text_ = text;
    bar_->UpdateText(*this);
}

void TStatusPanel::SetWidth(int width) {
    width_ = std::max(0, width);
    bar_->UpdateParts();
}

void TStatusPanel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    bar_->UpdateText(*this);
}

TStatusPanel& TStatusPanels::Add() {
    items_.push_back(std::make_unique<TStatusPanel>(bar_, Count()));
    bar_->UpdateParts();
    return *items_.back();
}

void TStatusPanels::Clear() {
    items_.clear();
    bar_->UpdateParts();
}

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner), panels_(this) { SetBounds(0, 0, 0, 19); }

void TStatusBar::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = STATUSCLASSNAMEA;
    // Our alignment places and sizes the bar, not the control itself.
    params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | (sizeGrip_ ? SBARS_SIZEGRIP : 0);
}

void TStatusBar::CreateWnd() { UpdateParts(); }  // the parts, then every panel's text

void TStatusBar::SetSizeGrip(bool sizeGrip) {
    sizeGrip_ = sizeGrip;
    SetStyleBit(SBARS_SIZEGRIP, sizeGrip);
    Invalidate();
}

void TStatusBar::UpdateParts() {
    if (!HandleAllocated()) return;
    std::vector<int> edges;
    int edge = 0;
    for (int i = 0; i < panels_.Count(); ++i) {
        edge += panels_[i].Width();
        edges.push_back(edge);
    }
    // The last panel reaches the right end, however wide the bar is.
    if (edges.empty()) edges.push_back(-1);
    else edges.back() = -1;
    SendMessageA(Handle(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    // A new part count drops texts beyond the old count: write them all again.
    for (int i = 0; i < panels_.Count(); ++i) UpdateText(panels_[i]);
}

void TStatusBar::UpdateText(const TStatusPanel& panel) {
    if (!HandleAllocated()) return;
    // An empty panel reads back as empty, whatever its alignment.
    const char* prefix = panel.Text().empty()                              ? ""
                         : panel.Alignment() == TAlignment::taCenter       ? "\t"
                         : panel.Alignment() == TAlignment::taRightJustify ? "\t\t"
                                                                           : "";
    const std::string text = prefix + panel.Text();
    SendMessageA(Handle(), SB_SETTEXTA, static_cast<WPARAM>(panel.Index()), reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::ScaleBy(int m, int d) {
    TWinControl::ScaleBy(m, d);
    if (m == d) return;
    for (int i = 0; i < panels_.Count(); ++i) panels_[i].width_ = MulDiv(panels_[i].width_, m, d);
    UpdateParts();
}

// ---------------------------------------------------------------- TToolButton

TToolButton::TToolButton(TComponent* owner) : TComponent(owner), command_(NextButtonCommand()) {}

TToolButton::~TToolButton() {
    BeginDestroy();
    if (toolBar_) toolBar_->Remove(this);
}

void TToolButton::SetParent(TToolBar* toolBar) {
    if (toolBar == toolBar_) return;
    if (toolBar_) toolBar_->Remove(this);
    if (toolBar) toolBar->Insert(this);
}

int TToolButton::Index() const {
    if (!toolBar_) return -1;
    const auto& list = toolBar_->buttons_;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

TBBUTTON TToolButton::Describe() const {
    TBBUTTON b{};
    b.idCommand = command_;
    b.iBitmap = imageIndex_ >= 0 ? imageIndex_ : I_IMAGENONE;
    if (enabled_) b.fsState |= TBSTATE_ENABLED;
    if (!visible_) b.fsState |= TBSTATE_HIDDEN;
    switch (style_) {
        case TToolButtonStyle::tbsButton:
            b.fsStyle = BTNS_BUTTON;
            if (down_) b.fsState |= TBSTATE_PRESSED;
            break;
        case TToolButtonStyle::tbsCheck:
            b.fsStyle = BTNS_CHECK | (grouped_ ? BTNS_GROUP : 0);
            if (down_) b.fsState |= TBSTATE_CHECKED;
            break;
        case TToolButtonStyle::tbsSeparator:
            b.fsStyle = BTNS_SEP;
            b.iBitmap = 6;  // a separator's width
            break;
    }
    const bool text = toolBar_ && toolBar_->ShowCaptions && !caption_.empty() && style_ != TToolButtonStyle::tbsSeparator;
    b.iString = text ? reinterpret_cast<INT_PTR>(caption_.c_str()) : -1;
    return b;
}

void TToolButton::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (!toolBar_ || !toolBar_->HandleAllocated()) return;
    TBBUTTONINFOA info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<char*>(caption_.c_str());
    SendMessageA(toolBar_->Handle(), TB_SETBUTTONINFOA, static_cast<WPARAM>(command_), reinterpret_cast<LPARAM>(&info));
    toolBar_->ApplySizes();
}

void TToolButton::SetEnabled(bool enabled) {
    // Only a change is sent: the tool bar redraws the button at every state message, and the
    // picture commands are enabled again after every capture.
    if (enabled == enabled_) return;
    enabled_ = enabled;
    UpdateState();
}

void TToolButton::SetVisible(bool visible) {
    visible_ = visible;
    UpdateState();
}

void TToolButton::SetStyle(TToolButtonStyle style) {
    if (style == style_) return;
    down_ = Down();
    style_ = style;
    if (toolBar_) toolBar_->RebuildButtons();
}

void TToolButton::SetGrouped(bool grouped) {
    if (grouped == grouped_) return;
    down_ = Down();
    grouped_ = grouped;
    if (toolBar_) toolBar_->RebuildButtons();
}

bool TToolButton::Down() const {
    if (!toolBar_ || !toolBar_->HandleAllocated()) return down_;
    const LRESULT state = SendMessageA(toolBar_->Handle(), TB_GETSTATE, static_cast<WPARAM>(command_), 0);
    if (state < 0) return down_;
    return (state & (style_ == TToolButtonStyle::tbsCheck ? TBSTATE_CHECKED : TBSTATE_PRESSED)) != 0;
}

void TToolButton::SetDown(bool down) {
    down_ = down;
    UpdateState();
    // A button put down in a group pops the others up (the control does that for us).
    if (toolBar_)
        for (TToolButton* b : toolBar_->buttons_)
            if (b != this) b->down_ = b->Down();
}

void TToolButton::SetImageIndex(int index) {
    imageIndex_ = index;
    if (!toolBar_ || !toolBar_->HandleAllocated()) return;
    SendMessageA(toolBar_->Handle(), TB_CHANGEBITMAP, static_cast<WPARAM>(command_),
                 MAKELPARAM(index >= 0 ? index : I_IMAGENONE, 0));
}

void TToolButton::UpdateState() {
    if (!toolBar_ || !toolBar_->HandleAllocated()) return;
    HWND bar = toolBar_->Handle();
    const auto id = static_cast<WPARAM>(command_);
    SendMessageA(bar, TB_ENABLEBUTTON, id, MAKELPARAM(enabled_, 0));
    SendMessageA(bar, TB_HIDEBUTTON, id, MAKELPARAM(!visible_, 0));
    if (style_ == TToolButtonStyle::tbsCheck) SendMessageA(bar, TB_CHECKBUTTON, id, MAKELPARAM(down_, 0));
    else SendMessageA(bar, TB_PRESSBUTTON, id, MAKELPARAM(down_, 0));
}

RECT TToolButton::BoundsRect() const {
    RECT r{};
    if (toolBar_ && toolBar_->HandleAllocated() && visible_)
        SendMessageA(toolBar_->Handle(), TB_GETRECT, static_cast<WPARAM>(command_), reinterpret_cast<LPARAM>(&r));
    return r;
}

void TToolButton::Click() {
    if (OnClick) OnClick(this);
}

// ---------------------------------------------------------------- TToolBar

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner) {}

TToolBar::~TToolBar() {
    BeginDestroy();
    for (TToolButton* b : buttons_) b->toolBar_ = nullptr;
    buttons_.clear();
    // The tool bar goes before the window that hears its notifications.
    DestroyHandle();
    if (notify_) {
        SetWindowLongPtrA(notify_, GWLP_USERDATA, 0);
        DestroyWindow(notify_);
        detail::CountHandle(HandleKind::Window, -1);
    }
}

void TToolBar::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = TOOLBARCLASSNAMEA;
    params.Style |= TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | WS_CLIPCHILDREN;
}

void TToolBar::CreateWnd() {
    if (!notify_) {
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = NotifyWndProc;
            wc.hInstance = MainInstance();
            wc.lpszClassName = "TKaptorToolBarNotify";
            return RegisterClassA(&wc) != 0;
        }();
        (void)registered;
        notify_ = CreateWindowExA(0, "TKaptorToolBarNotify", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, MainInstance(),
                                  nullptr);
        if (!notify_) throw Exception("ｳｨﾝﾄﾞｳを作成できません (TKaptorToolBarNotify)");
        detail::CountHandle(HandleKind::Window, +1);
        SetWindowLongPtrA(notify_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    SendMessageA(Handle(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(Handle(), TB_SETPARENT, reinterpret_cast<WPARAM>(notify_), 0);
    if (images_) SendMessageA(Handle(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_->Handle()));
    RebuildButtons();
}

void TToolBar::ApplyFont() {
    TWinControl::ApplyFont();
    // A new font makes the control measure its buttons again.
    ApplySizes();
}

LRESULT TToolBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && (lp == 0 || reinterpret_cast<HWND>(lp) == Handle()) && FindButton(LOWORD(wp))) {
        ButtonClicked(LOWORD(wp));
        return 0;
    }
    return TWinControl::WndProc(msg, wp, lp);
}

TToolButton* TToolBar::FindButton(int command) const {
    for (TToolButton* b : buttons_)
        if (b->command_ == command) return b;
    return nullptr;
}

void TToolBar::SetImages(TImageList* images) {
    images_ = images;
    if (images) images->FreeNotification(this);
    if (!HandleAllocated()) return;
    SendMessageA(Handle(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images ? images->Handle() : nullptr));
    ApplySizes();
}

void TToolBar::SetButtonSize(int width, int height) {
    buttonWidth_ = width;
    buttonHeight_ = height;
    ApplySizes();
}

void TToolBar::ApplySizes() {
    if (!HandleAllocated()) return;
    const int bw = images_ ? images_->Width() : 0, bh = images_ ? images_->Height() : 0;
    SendMessageA(Handle(), TB_SETBITMAPSIZE, 0, MAKELPARAM(bw, bh));
    // The control grows buttons to fit their captions; the size asked for is the size we want.
    SendMessageA(Handle(), TB_SETBUTTONWIDTH, 0, MAKELPARAM(buttonWidth_, buttonWidth_));
    SendMessageA(Handle(), TB_SETBUTTONSIZE, 0, MAKELPARAM(buttonWidth_, buttonHeight_));
    Invalidate();
}

void TToolBar::Insert(TToolButton* button) {
    buttons_.push_back(button);
    button->toolBar_ = this;
    if (!HandleAllocated()) return;
    const TBBUTTON b = button->Describe();
    SendMessageA(Handle(), TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
    ApplySizes();
}

void TToolBar::Remove(TToolButton* button) {
    auto it = std::find(buttons_.begin(), buttons_.end(), button);
    if (it == buttons_.end()) return;
    button->down_ = button->Down();
    if (HandleAllocated()) {
        const LRESULT index = SendMessageA(Handle(), TB_COMMANDTOINDEX, static_cast<WPARAM>(button->command_), 0);
        if (index >= 0) SendMessageA(Handle(), TB_DELETEBUTTON, static_cast<WPARAM>(index), 0);
    }
    buttons_.erase(it);
    button->toolBar_ = nullptr;
    ApplySizes();
}

void TToolBar::RebuildButtons() {
    if (!HandleAllocated()) return;
    for (TToolButton* b : buttons_) b->down_ = b->Down();
    while (SendMessageA(Handle(), TB_BUTTONCOUNT, 0, 0) > 0)
        if (!SendMessageA(Handle(), TB_DELETEBUTTON, 0, 0)) break;
    std::vector<TBBUTTON> list;
    for (TToolButton* b : buttons_) list.push_back(b->Describe());
    if (!list.empty())
        SendMessageA(Handle(), TB_ADDBUTTONSA, list.size(), reinterpret_cast<LPARAM>(list.data()));
    ApplySizes();
}

void TToolBar::ButtonClicked(int command) {
    TToolButton* button = FindButton(command);
    if (!button || !button->enabled_) return;
    // The control has already toggled a check button (and popped its group up).
    for (TToolButton* b : buttons_) b->down_ = b->Down();
    button->Click();
}

bool TToolBar::TipText(NMHDR* header) {
    TToolButton* button = FindButton(static_cast<int>(header->idFrom));
    if (!button || !ShowHint || button->hint_.empty()) return false;
    if (header->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        info->hinst = nullptr;
        info->lpszText = const_cast<char*>(button->hint_.c_str());
        return true;
    }
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    const std::string& hint = button->hint_;
    const int n = MultiByteToWideChar(CP_ACP, 0, hint.data(), static_cast<int>(hint.size()), nullptr, 0);
    tipW_.assign(static_cast<std::size_t>(std::max(0, n)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, hint.data(), static_cast<int>(hint.size()), tipW_.data(), n);
    info->hinst = nullptr;
    info->lpszText = tipW_.data();
    return true;
}

LRESULT CALLBACK TToolBar::NotifyWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* bar = reinterpret_cast<TToolBar*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!bar) return DefWindowProcA(wnd, msg, wp, lp);
    try {
        switch (msg) {
            case WM_COMMAND:
                bar->ButtonClicked(LOWORD(wp));
                return 0;
            case WM_NOTIFY: {
                auto* header = reinterpret_cast<NMHDR*>(lp);
                if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) bar->TipText(header);
                return 0;
            }
            case WM_NOTIFYFORMAT: return NFR_ANSI;
            default: break;
        }
    } catch (const std::exception& e) {
        Application->HandleException(e);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == images_) {
        images_ = nullptr;
        if (HandleAllocated() && !Destroying()) SendMessageA(Handle(), TB_SETIMAGELIST, 0, 0);
    }
}

void TToolBar::ScaleBy(int m, int d) {
    TWinControl::ScaleBy(m, d);
    if (m == d) return;
    buttonWidth_ = MulDiv(buttonWidth_, m, d);
    buttonHeight_ = MulDiv(buttonHeight_, m, d);
    // The bar's glyphs grow with its buttons.
    if (images_) {
        images_->ScaleBy(m, d);
        if (HandleAllocated())
            SendMessageA(Handle(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_->Handle()));
    }
    ApplySizes();
}

// ---------------------------------------------------------------- TCoolBar

int TCoolBand::Index() const {
    const auto& list = bar_->bands_;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == this) return static_cast<int>(i);
    return -1;
}

void TCoolBand::SetMinHeight(int height) {
    minHeight_ = height;
    Apply();
}

void TCoolBand::SetMinWidth(int width) {
    minWidth_ = width;
    Apply();
}

void TCoolBand::SetBreak(bool brk) {
    break_ = brk;
    Apply();
}

void TCoolBand::SetVisible(bool visible) {
    visible_ = visible;
    if (!bar_->HandleAllocated()) return;
    // RB_SHOWBAND hides or shows the band's control with it; the style bit alone would leave
    // the control where it was.
    const LRESULT index = SendMessageA(bar_->Handle(), RB_IDTOINDEX, id_, 0);
    if (index >= 0) SendMessageA(bar_->Handle(), RB_SHOWBAND, static_cast<WPARAM>(index), visible);
    bar_->FitHeight();
}

namespace {

REBARBANDINFOA BandInfo(UINT id, HWND child, int minWidth, int minHeight, bool brk, bool visible) {
    REBARBANDINFOA info{};
    // The oldest layout every version of the control takes; we need none of the later fields.
    info.cbSize = REBARBANDINFOA_V3_SIZE;
    info.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_ID;
    info.fStyle = (brk ? RBBS_BREAK : 0) | (visible ? 0 : RBBS_HIDDEN);
    info.hwndChild = child;
    info.cxMinChild = static_cast<UINT>(std::max(0, minWidth));
    info.cyMinChild = static_cast<UINT>(std::max(0, minHeight));
    info.wID = id;
    return info;
}

}  // namespace

void TCoolBand::Apply() {
    if (!bar_->HandleAllocated()) return;
    const LRESULT index = SendMessageA(bar_->Handle(), RB_IDTOINDEX, id_, 0);
    if (index < 0) return;
    REBARBANDINFOA info =
        BandInfo(id_, control_ ? control_->Handle() : nullptr, minWidth_, minHeight_, break_, visible_);
    SendMessageA(bar_->Handle(), RB_SETBANDINFOA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info));
    bar_->FitHeight();
}

TCoolBar::TCoolBar(TComponent* owner) : TWinControl(owner) {}

TCoolBar::~TCoolBar() { BeginDestroy(); }

void TCoolBar::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = REBARCLASSNAMEA;
    // Our alignment places the bar; FitHeight gives it the height of its bands.
    params.Style |= RBS_VARHEIGHT | RBS_BANDBORDERS | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE |
                    WS_CLIPCHILDREN;
}

void TCoolBar::CreateWnd() {
    REBARINFO info{};
    info.cbSize = sizeof info;
    SendMessageA(Handle(), RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    for (auto& band : bands_) InsertBand(*band);
    FitHeight();
}

TCoolBand* TCoolBar::AddBand(TWinControl* control, int minHeight) {
    if (control) {
        control->SetParent(this);
        control->FreeNotification(this);
    }
    bands_.push_back(std::unique_ptr<TCoolBand>(new TCoolBand(this, nextId_++, control)));
    TCoolBand& band = *bands_.back();
    band.minHeight_ = minHeight;
    InsertBand(band);
    FitHeight();
    return &band;
}

void TCoolBar::InsertBand(TCoolBand& band) {
    if (!HandleAllocated()) return;
    REBARBANDINFOA info = BandInfo(band.id_, band.control_ ? band.control_->Handle() : nullptr, band.minWidth_,
                                   band.minHeight_, band.break_, band.visible_);
    SendMessageA(Handle(), RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&info));
    // The control shows the child it takes in; a control hidden by the program stays hidden.
    if (band.control_ && band.control_->HandleAllocated() && (!band.control_->Visible() || !band.visible_))
        ShowWindow(band.control_->Handle(), SW_HIDE);
}

int TCoolBar::BarHeight() const {
    return HandleAllocated() ? static_cast<int>(SendMessageA(Handle(), RB_GETBARHEIGHT, 0, 0)) : 0;
}

void TCoolBar::FitHeight() {
    if (!AutoSize || !HandleAllocated()) return;
    const int h = BarHeight();
    if (h == Height()) return;
    SetHeight(h);
    // Our window may already have the height (the control sized itself): lay out anyway.
    if (Parent() && Align() != TAlign::alNone) Parent()->Realign();
}

bool TCoolBar::CNNotify(NMHDR* header, LRESULT& result) {
    if (header->code == RBN_HEIGHTCHANGE || header->code == RBN_AUTOSIZE) {
        FitHeight();
        result = 0;
        return true;
    }
    return false;
}

void TCoolBar::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation != TOperation::opRemove || Destroying()) return;
    for (auto it = bands_.begin(); it != bands_.end(); ++it) {
        if ((*it)->control_ != component) continue;
        if (HandleAllocated()) {
            const LRESULT index = SendMessageA(Handle(), RB_IDTOINDEX, (*it)->id_, 0);
            if (index >= 0) SendMessageA(Handle(), RB_DELETEBAND, static_cast<WPARAM>(index), 0);
        }
        bands_.erase(it);
        FitHeight();
        return;
    }
}

void TCoolBar::ScaleBy(int m, int d) {
    TWinControl::ScaleBy(m, d);
    if (m == d) return;
    for (auto& band : bands_) {
        band->minHeight_ = MulDiv(band->minHeight_, m, d);
        band->minWidth_ = MulDiv(band->minWidth_, m, d);
        band->Apply();
    }
    FitHeight();
}

// ---------------------------------------------------------------- TSpeedButton

TSpeedButton::TSpeedButton(TComponent* owner) : TWinControl(owner) {}

void TSpeedButton::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "BUTTON";
    // A push-like check box: it looks like a button and keeps a check state, which is our
    // down state. We set that state ourselves (not an automatic check box).
    params.Style |= BS_CHECKBOX | BS_PUSHLIKE | (Flat ? BS_FLAT : 0);
    if (glyph_ && caption_.empty()) params.Style |= BS_ICON;
}

void TSpeedButton::CreateWnd() {
    // A new button is up and shows no image: only what differs is sent (each send repaints).
    if (down_) SendMessageA(Handle(), BM_SETCHECK, BST_CHECKED, 0);
    if (glyph_) ApplyGlyph();
}

void TSpeedButton::SetGroupIndex(int index) {
    groupIndex_ = std::max(0, index);
    if (groupIndex_ == 0 && down_) {
        down_ = false;
        if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void TSpeedButton::SetDown(bool down) {
    if (groupIndex_ == 0) down = false;
    if (down == down_) return;
    // In a group that must keep one button down, only another button's going down lifts it.
    if (down_ && !AllowAllUp) return;
    down_ = down;
    if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, down ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!down || !Parent()) return;
    for (TWinControl* c : Parent()->Controls()) {
        auto* other = dynamic_cast<TSpeedButton*>(c);
        if (!other || other == this || other->groupIndex_ != groupIndex_ || !other->down_) continue;
        other->down_ = false;
        if (other->HandleAllocated()) SendMessageA(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void TSpeedButton::Click() {
    if (groupIndex_ > 0) {
        if (!down_) SetDown(true);
        else if (AllowAllUp) SetDown(false);
    }
    TWinControl::Click();
}

bool TSpeedButton::CNCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    Click();
    return true;
}

void TSpeedButton::SetGlyph(TBitmap& glyph) { SetGlyph(glyph.Handle()); }

void TSpeedButton::SetGlyph(HBITMAP glyph) {
    glyph_ = MaskedIcon(glyph);
    ApplyGlyph();
}

void TSpeedButton::SetCaption(const std::string& text) {
    TWinControl::SetCaption(text);
    ApplyGlyph();
}

void TSpeedButton::ScaleBy(int m, int d) {
    TWinControl::ScaleBy(m, d);
    if (m == d || !glyph_) return;
    ICONINFO info{};
    if (!GetIconInfo(glyph_.get(), &info)) return;
    UniqueBitmap mask(info.hbmMask), colour(info.hbmColor);
    BITMAP bm{};
    if (!GetObjectA(info.hbmMask, sizeof bm, &bm)) return;
    const int height = colour ? bm.bmHeight : bm.bmHeight / 2;  // a monochrome icon's mask is doubled
    UniqueIcon stretched(
        static_cast<HICON>(CopyImage(glyph_.get(), IMAGE_ICON, MulDiv(bm.bmWidth, m, d), MulDiv(height, m, d), 0)));
    if (!stretched) return;
    glyph_ = std::move(stretched);
    ApplyGlyph();
}

void TSpeedButton::ApplyGlyph() {
    if (!HandleAllocated()) return;
    // A glyph alone needs BS_ICON; with a caption too, the button shows both where it can.
    SetStyleBit(BS_ICON, glyph_ && caption_.empty());
    SendMessageA(Handle(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph_.get()));
    Invalidate();
}

}  // namespace kaptor
