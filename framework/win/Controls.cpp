#include "framework/win/Controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <map>

#include "framework/win/Forms.h"
#include "framework/win/Menus.h"
#include "framework/win/WindowTable.h"

namespace kaptor {

// ---------------------------------------------------------------- TComponent

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) {
        owner_->Insert(this);
        loading_ = owner_->Loading();
    }
}

TComponent::~TComponent() {
    destroying_ = true;
    // Owned components go first, newest first, as they were built on each other.
    while (!components_.empty()) {
        TComponent* c = components_.back();
        delete c;  // its destructor removes it from our list
    }
    for (TComponent* other : std::vector<TComponent*>(notified_)) {
        // Components of the same owner hear of it through the owner below.
        if (!owner_ || other->owner_ != owner_) other->Notification(this, TOperation::opRemove);
        auto& back = other->notified_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
    }
    if (owner_) {
        owner_->Notification(this, TOperation::opRemove);
        owner_->Remove(this);
    }
}

void TComponent::Insert(TComponent* c) {
    components_.push_back(c);
    Notification(c, TOperation::opInsert);
}

void TComponent::Remove(TComponent* c) {
    components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
}

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this) return;
    if (std::find(notified_.begin(), notified_.end(), other) == notified_.end()) notified_.push_back(other);
    if (std::find(other->notified_.begin(), other->notified_.end(), this) == other->notified_.end())
        other->notified_.push_back(this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) {
        notified_.erase(std::remove(notified_.begin(), notified_.end(), component), notified_.end());
        // Owned components hear of each other's removal too, as forms' fields refer to them.
        for (TComponent* c : std::vector<TComponent*>(components_))
            if (c != component) c->Notification(component, operation);
    }
}

void TComponent::LoadedAll() {
    for (TComponent* c : std::vector<TComponent*>(components_)) c->LoadedAll();
    if (loading_) Loaded();
}

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

// ---------------------------------------------------------------- window classes

HINSTANCE MainInstance() { return GetModuleHandleA(nullptr); }

HCURSOR ArrowCursor() {
    static const HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    return arrow;
}

HICON ProgramIcon() {
    static const HICON icon = LoadIconA(MainInstance(), "MAINICON");
    return icon;
}

namespace {

// The control of each of our windows. Never destroyed: a window may get its last messages
// while the program's statics are being torn down.
TWindowTable<TWinControl>& ControlOf() {
    static auto* table = new TWindowTable<TWinControl>;
    return *table;
}

TShiftState MouseShift(WPARAM wp) {
    TShiftState s = 0;
    if (wp & MK_SHIFT) s |= ssShift;
    if (wp & MK_CONTROL) s |= ssCtrl;
    if (wp & MK_LBUTTON) s |= ssLeft;
    if (wp & MK_RBUTTON) s |= ssRight;
    if (wp & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

}  // namespace

LRESULT CALLBACK ControlWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    TWinControl* control = TWinControl::FromHandle(wnd);
    if (!control && msg == WM_NCCREATE) {
        // Windows of our own classes carry their control in the creation parameter.
        control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        if (control) {
            control->handle_ = wnd;
            ControlOf().Add(wnd, control);
        }
    }
    if (!control) return DefWindowProcA(wnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        const LRESULT r = control->DefaultHandler(msg, wp, lp);
        ControlOf().Remove(wnd);
        control->handle_ = nullptr;
        detail::CountHandle(HandleKind::Window, -1);
        return r;
    }
    // Exceptions never cross into Windows: the application shows them and the program goes on.
    try {
        return control->WndProc(msg, wp, lp);
    } catch (const std::exception& e) {
        Application->HandleException(e);
    } catch (...) {
        Application->HandleException(Exception("?"));
    }
    return 0;
}

const char* RegisterClassFor(const std::string& className, UINT classStyle, HICON icon) {
    static std::map<std::string, std::string> registered;
    auto it = registered.find(className);
    if (it != registered.end()) return it->second.c_str();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = ControlWndProc;
    wc.hInstance = MainInstance();
    wc.hCursor = ArrowCursor();
    wc.hIcon = icon;
    wc.lpszClassName = className.c_str();
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Exception(Format("ｳｨﾝﾄﾞｳｸﾗｽ %s を登録できません", className.c_str()));
    return registered.emplace(className, className).first->second.c_str();
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() {
    BeginDestroy();
    if (parent_) {
        auto& siblings = parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    for (TWinControl* child : children_) child->parent_ = nullptr;
    DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
    return ControlOf().Find(wnd);
}

HWND TWinControl::Handle() const {
    // Made on first need: the window is a cache of the control's state.
    if (!handle_) const_cast<TWinControl*>(this)->HandleNeeded();
    return handle_;
}

void TWinControl::HandleNeeded() {
    if (handle_ || Destroying()) return;
    if (parent_) {
        parent_->HandleNeeded();  // ours is made with the parent's
        return;
    }
    if (!windowOnDemand_) return;
    windowOnDemand_ = false;  // once: a window the system destroyed does not come back
    CreateHandle();
    ApplyFont();
    CreateChildHandles();
}

void TWinControl::CreateChildHandles() {
    for (TWinControl* child : children_) {
        child->CreateHandle();
        child->ApplyFont();
        child->CreateChildHandles();
    }
    Realign();
}

TForm* TWinControl::ParentForm() {
    TWinControl* c = this;
    while (c->parent_) c = c->parent_;
    return dynamic_cast<TForm*>(c);
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) {
        auto& siblings = parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        parent_->Realign();
    }
    parent_ = parent;
    if (parent_) {
        parent_->children_.push_back(this);
        // Without the parent's window ours waits for it; with it, children added meanwhile
        // get theirs too.
        if (!handle_ && parent_->handle_) {
            CreateHandle();
            CreateChildHandles();
        } else if (handle_) {
            ::SetParent(handle_, parent_->Handle());
        }
        ApplyFont();
        parent_->Realign();
    }
}

void TWinControl::CreateParamsFor(CreateParams& params) {
    params.ClassName = "STATIC";
    if (parent_) params.Parent = parent_->handle_;
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    CreateParams params;
    CreateParamsFor(params);
    if (visible_) params.Style |= WS_VISIBLE;
    if (!enabled_) params.Style |= WS_DISABLED;
    if (tabStop_) params.Style |= WS_TABSTOP;
    ownClass_ = params.OwnClass;
    HWND wnd = CreateWindowExA(params.ExStyle, params.ClassName.c_str(), caption_.c_str(), params.Style, left_, top_,
                               width_, height_, params.Parent, params.Menu, MainInstance(), ownClass_ ? this : nullptr);
    if (!wnd) throw Exception(Format("ｳｨﾝﾄﾞｳを作成できません (%s)", params.ClassName.c_str()));
    detail::CountHandle(HandleKind::Window, +1);
    if (ownClass_) {
        defProc_ = DefWindowProcA;
    } else {
        handle_ = wnd;
        ControlOf().Add(wnd, this);
        defProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlWndProc)));
    }
    // Windows may have given the window another size than asked (minimum frame sizes).
    SyncBounds();
    if (!hint_.empty()) SetHint(hint_);
    CreateWnd();
}

bool TWinControl::HasFrame() const {
    RECT window, client;
    if (!(GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) || !GetWindowRect(handle_, &window) ||
        !GetClientRect(handle_, &client))
        return true;
    return window.right - window.left != client.right || window.bottom - window.top != client.bottom;
}

void TWinControl::SyncBounds() {
    RECT w;
    if (!handle_ || !GetWindowRect(handle_, &w)) return;
    if (HWND parent = GetParent(handle_); parent && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&w), 2);
    left_ = w.left;
    top_ = w.top;
    width_ = w.right - w.left;
    height_ = w.bottom - w.top;
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    DestroyWindow(handle_);  // WM_NCDESTROY clears handle_ and the count
}

void TWinControl::RecreateWnd() {
    if (!handle_) return;
    // Children are destroyed with the window; they are created again below.
    for (TWinControl* child : children_) child->handle_ = nullptr;
    DestroyHandle();
    CreateHandle();
    ApplyFont();
    CreateChildHandles();
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
    if (!handle_) return 0;
    return defProc_ ? CallWindowProcA(defProc_, handle_, msg, wp, lp) : DefWindowProcA(handle_, msg, wp, lp);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (lp) {
                if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lp)))
                    if (child->CNCommand(HIWORD(wp))) return 0;
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (TWinControl* child = FromHandle(header->hwndFrom)) {
                LRESULT result = 0;
                if (child->CNNotify(header, result)) return result;
            }
            break;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const TMouseButton b = msg == WM_RBUTTONDOWN ? TMouseButton::mbRight
                                   : msg == WM_MBUTTONDOWN ? TMouseButton::mbMiddle
                                                           : TMouseButton::mbLeft;
            TShiftState s = MouseShift(wp);
            if (msg == WM_LBUTTONDBLCLK) {
                s |= ssDouble;
                if (OnDblClick) OnDblClick(this);
            }
            const LRESULT r = DefaultHandler(msg, wp, lp);
            DoMouseDown(b, s, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return r;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: {
            const LRESULT r = DefaultHandler(msg, wp, lp);
            if (OnMouseUp)
                OnMouseUp(this, msg == WM_RBUTTONUP ? TMouseButton::mbRight : TMouseButton::mbLeft, MouseShift(wp),
                          GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return r;
        }
        case WM_MOUSEMOVE: {
            const LRESULT r = DefaultHandler(msg, wp, lp);
            DoMouseMove(MouseShift(wp), GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return r;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            WORD key = static_cast<WORD>(wp);
            DoKeyDown(key, KeyboardShiftState());
            if (key == 0) return 0;
            break;
        }
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == handle_) {
                if (HCURSOR c = CursorHandle()) {
                    ::SetCursor(c);
                    return TRUE;
                }
            }
            break;
        case WM_CONTEXTMENU:
            if (popupMenu_ && reinterpret_cast<HWND>(wp) == handle_) {
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                if (p.x == -1 && p.y == -1) {  // from the keyboard: at the control's corner
                    p = {0, 0};
                    ClientToScreen(handle_, &p);
                }
                if (ShowContextMenu(p.x, p.y)) return 0;
            }
            break;
        case WM_NCPAINT:
            // A child with nothing outside its client area (no border, edge or scroll bar) has
            // no frame to paint; the default would only get a window DC and give it back, one
            // round trip for each of the many controls shown with their window.
            if (!HasFrame()) return 0;
            break;
        case WM_WINDOWPOSCHANGED: {
            // Keep the stored bounds true to the window, whoever moved it.
            const LRESULT r = DefaultHandler(msg, wp, lp);
            SyncBounds();
            return r;
        }
        case WM_SIZE: {
            const LRESULT r = DefaultHandler(msg, wp, lp);
            if (wp != SIZE_MINIMIZED) {
                Realign();
                Resized();
            }
            return r;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Children without a colour of their own show ours.
            TWinControl* child = FromHandle(reinterpret_cast<HWND>(lp));
            if (child && child->color_ == CLR_INVALID && color_ != CLR_INVALID && colorBrush_) {
                SetBkColor(reinterpret_cast<HDC>(wp), color_);
                return reinterpret_cast<LRESULT>(colorBrush_.get());
            }
            if (child && child->color_ != CLR_INVALID && child->colorBrush_) {
                SetBkColor(reinterpret_cast<HDC>(wp), child->color_);
                return reinterpret_cast<LRESULT>(child->colorBrush_.get());
            }
            break;
        }
        default:
            break;
    }
    return DefaultHandler(msg, wp, lp);
}

bool TWinControl::ShowContextMenu(int x, int y) {
    if (!popupMenu_ || !popupMenu_->AutoPopup) return false;
    popupMenu_->PopupComponent = this;
    popupMenu_->Popup(x, y);
    return true;
}

void TWinControl::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TWinControl::DoMouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TWinControl::DoKeyDown(WORD& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::Click() {
    if (OnClick) OnClick(this);
}

void TWinControl::Resized() {
    if (OnResize) OnResize(this);
}

HCURSOR TWinControl::CursorHandle() { return cursor_ == crDefault ? nullptr : Screen->Cursors(cursor_); }

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    ApplyBounds();
    if (parent_ && align_ != TAlign::alNone) parent_->Realign();
    if (parent_) parent_->ControlBoundsChanged(this);
}

void TWinControl::ApplyBounds() {
    if (handle_) MoveWindow(handle_, left_, top_, width_, height_, TRUE);
}

void TWinControl::Styles(DWORD& style, DWORD& exStyle) const {
    if (handle_) {
        style = static_cast<DWORD>(GetWindowLongA(handle_, GWL_STYLE));
        exStyle = static_cast<DWORD>(GetWindowLongA(handle_, GWL_EXSTYLE));
        return;
    }
    CreateParams params;
    const_cast<TWinControl*>(this)->CreateParamsFor(params);
    style = params.Style;
    exStyle = params.ExStyle;
}

RECT TWinControl::ClientRect() const {
    RECT r{0, 0, width_, height_};
    if (handle_) {
        GetClientRect(handle_, &r);
        return r;
    }
    // Not made yet: what the frame it will be made with leaves.
    DWORD style = 0, exStyle = 0;
    Styles(style, exStyle);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, HasMenuBar(), exStyle);
    r.right = std::max<LONG>(0, width_ - (frame.right - frame.left));
    r.bottom = std::max<LONG>(0, height_ - (frame.bottom - frame.top));
    return r;
}

int TWinControl::ClientWidth() const {
    const RECT r = ClientRect();
    return r.right - r.left;
}

int TWinControl::ClientHeight() const {
    const RECT r = ClientRect();
    return r.bottom - r.top;
}

void TWinControl::SetClientSize(int width, int height) {
    DWORD style = 0, exStyle = 0;
    Styles(style, exStyle);
    if (!(style & WS_CHILD)) {
        // Top-level: the frame around a client area of that size.
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, style, HasMenuBar(), exStyle);
        SetBounds(left_, top_, r.right - r.left, r.bottom - r.top);
        // A menu bar that wraps takes more room than one line: correct by what is left over.
        const RECT got = ClientRect();
        if (got.bottom - got.top != height || got.right - got.left != width)
            SetBounds(left_, top_, width_ + width - (got.right - got.left), height_ + height - (got.bottom - got.top));
        return;
    }
    const RECT client = ClientRect();
    SetBounds(left_, top_, width_ + width - (client.right - client.left),
              height_ + height - (client.bottom - client.top));
}

void TWinControl::SetAlign(TAlign align) {
    align_ = align;
    if (parent_) parent_->Realign();
}

void TWinControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    // A hidden control cannot take keys: the focus inside it goes to its form, which would
    // otherwise hear nothing (the platform leaves it on a hidden child).
    if (!visible && handle_) {
        const HWND focus = GetFocus(), form = GetAncestor(handle_, GA_ROOT);
        if (focus && form != handle_ && (focus == handle_ || IsChild(handle_, focus))) ::SetFocus(form);
    }
    if (handle_) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
    if (parent_ && align_ != TAlign::alNone) parent_->Realign();
}

bool TWinControl::Showing() const {
    for (const TWinControl* c = this; c; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void TWinControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (handle_) EnableWindow(handle_, enabled);
}

std::string TWinControl::Caption() const { return caption_; }

void TWinControl::SetCaption(const std::string& text) {
    caption_ = text;
    if (handle_) SetWindowTextA(handle_, text.c_str());
}

void TWinControl::SetHint(const std::string& hint) {
    hint_ = hint;
    if (!handle_) return;
    if (TForm* form = ParentForm()) form->SetHintFor(this, hint_);
}

void TWinControl::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    // Show the new cursor at once when the pointer is over us.
    POINT p;
    if (handle_ && GetCursorPos(&p) && WindowFromPoint(p) == handle_)
        ::SetCursor(cursor_ == crDefault ? ArrowCursor() : CursorHandle());
}

void TWinControl::SetPopupMenu(TPopupMenu* menu) {
    popupMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TWinControl::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

void TWinControl::SetTabStop(bool tabStop) {
    tabStop_ = tabStop;
    SetStyleBit(WS_TABSTOP, tabStop);
}

void TWinControl::SetFocus() {
    if (handle_) ::SetFocus(handle_);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFont(const TFontSpec& font) {
    font_ = font;
    ParentFont = false;
    fontHandle_.reset();
    ApplyFont();
}

HFONT TWinControl::FontHandle() {
    if (ParentFont && parent_) return parent_->FontHandle();
    if (!fontHandle_) {
        LOGFONTA lf{};
        lf.lfHeight = -font_.Height;
        lf.lfWeight = font_.Bold ? FW_BOLD : FW_NORMAL;
        lf.lfCharSet = font_.Charset;
        lstrcpynA(lf.lfFaceName, font_.Name.c_str(), LF_FACESIZE);
        fontHandle_.reset(CreateFontIndirectA(&lf));
    }
    return fontHandle_.get();
}

void TWinControl::ApplyFont() {
    if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
    for (TWinControl* child : children_)
        if (child->ParentFont) child->ApplyFont();
}

void TWinControl::SetColor(COLORREF color) {
    color_ = color;
    colorBrush_.reset(color == CLR_INVALID ? nullptr : CreateSolidBrush(color));
    Invalidate();
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
    if (handle_) UpdateWindow(handle_);
}

void TWinControl::SetStyleBit(DWORD bit, bool on, bool ex) {
    if (!handle_) return;
    const int index = ex ? GWL_EXSTYLE : GWL_STYLE;
    const LONG style = GetWindowLongA(handle_, index);
    const LONG next = on ? (style | static_cast<LONG>(bit)) : (style & ~static_cast<LONG>(bit));
    if (next != style) {
        SetWindowLongA(handle_, index, next);
        SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void TWinControl::Realign() {
    if (aligning_ || !handle_) return;
    aligning_ = true;
    AlignChildren();
    aligning_ = false;
}

void TWinControl::AlignChildren() {
    RECT area = ClientRect();
    auto place = [](TWinControl* c, int l, int t, int w, int h) {
        if (c->left_ == l && c->top_ == t && c->width_ == w && c->height_ == h) return;
        c->left_ = l;
        c->top_ = t;
        c->width_ = std::max(0, w);
        c->height_ = std::max(0, h);
        c->ApplyBounds();
    };
    for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
        for (TWinControl* c : children_) {
            if (c->align_ != pass || !c->visible_) continue;
            const int w = area.right - area.left, h = area.bottom - area.top;
            switch (pass) {
                case TAlign::alTop:
                    place(c, area.left, area.top, w, c->height_);
                    area.top += c->height_;
                    break;
                case TAlign::alBottom:
                    place(c, area.left, area.bottom - c->height_, w, c->height_);
                    area.bottom -= c->height_;
                    break;
                case TAlign::alLeft:
                    place(c, area.left, area.top, c->width_, h);
                    area.left += c->width_;
                    break;
                case TAlign::alRight:
                    place(c, area.right - c->width_, area.top, c->width_, h);
                    area.right -= c->width_;
                    break;
                case TAlign::alClient: place(c, area.left, area.top, w, h); break;
                default: break;
            }
        }
    }
}

void TWinControl::ScaleBy(int m, int d) {
    if (m == d) return;
    // A top-level window's layout is its client area: the frame, caption and menu bar are the
    // system's and do not grow by the same ratio.
    DWORD style = 0, exStyle = 0;
    Styles(style, exStyle);
    const bool topLevel = !(style & WS_CHILD);
    const RECT client = ClientRect();
    left_ = MulDiv(left_, m, d);
    top_ = MulDiv(top_, m, d);
    width_ = MulDiv(width_, m, d);
    height_ = MulDiv(height_, m, d);
    if (!ParentFont || !parent_) {
        font_.Height = MulDiv(font_.Height, m, d);
        fontHandle_.reset();
    }
    ApplyBounds();
    if (topLevel) SetClientSize(MulDiv(client.right - client.left, m, d), MulDiv(client.bottom - client.top, m, d));
    for (TWinControl* child : children_) child->ScaleBy(m, d);
    ApplyFont();
    Realign();
}

// ---------------------------------------------------------------- TCustomControl

void TCustomControl::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = RegisterClassFor("TKaptorControl");
    params.OwnClass = true;
    params.Style |= WS_CLIPCHILDREN;
}

LRESULT TCustomControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(Handle(), &r);
            const COLORREF c = Color() == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : Color();
            UniqueBrush b(CreateSolidBrush(c));
            FillRect(reinterpret_cast<HDC>(wp), &r, b.get());
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            try {
                Paint(dc, ps.rcPaint);
            } catch (...) {
                EndPaint(Handle(), &ps);
                throw;
            }
            EndPaint(Handle(), &ps);
            return 0;
        }
        default: return TWinControl::WndProc(msg, wp, lp);
    }
}

}  // namespace kaptor
