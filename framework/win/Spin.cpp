#include "framework/win/Spin.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>

namespace kaptor {

namespace {

char DecimalSeparator() {
    char buffer[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 1) return buffer[0];
    return '.';
}

}  // namespace

TSpinEdit::TSpinEdit(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    caption_ = "0";
}

void TSpinEdit::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "EDIT";
    // The up-down control lives inside the box; the box must not paint over it.
    params.Style |= ES_AUTOHSCROLL | WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TSpinEdit::CreateWnd() {
    if (maxLength_ > 0) SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
    // Made where it belongs: at the usual size nothing moves it again below.
    const RECT r = UpDownRect();
    const DWORD style = WS_CHILD | WS_VISIBLE | UDS_NOTHOUSANDS | (Enabled() ? 0 : WS_DISABLED);
    upDown_ = CreateWindowExA(0, UPDOWN_CLASSA, "", style, r.left, r.top, r.right - r.left, r.bottom - r.top, Handle(),
                              nullptr, MainInstance(), nullptr);
    if (!upDown_) throw Exception("ｳｨﾝﾄﾞｳを作成できません (msctls_updown32)");
    // The control's own position never moves (every step is refused in UDN_DELTAPOS and
    // done by us), so it never stops at an end of its range.
    SendMessageA(upDown_, UDM_SETRANGE32, 0, 100);
    SendMessageA(upDown_, UDM_SETPOS32, 0, 50);
    // Taking a buddy gives it its default width (16) again.
    SendMessageA(upDown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
    PlaceUpDown();
    lastText_ = Caption();
}

RECT TSpinEdit::UpDownRect() const {
    RECT client;
    GetClientRect(Handle(), &client);
    const int w = std::min<int>(GetSystemMetrics(SM_CXVSCROLL) - 1, (client.right - client.left) / 2);
    return RECT{client.right - w, 0, client.right, client.bottom - client.top};
}

void TSpinEdit::PlaceUpDown() {
    if (!upDown_) return;
    const RECT r = UpDownRect();
    RECT now;
    GetWindowRect(upDown_, &now);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&now), 2);
    if (!EqualRect(&now, &r)) {
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        SetWindowPos(upDown_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
    }
    // Keep the text clear of the buttons. The left margin is set too: the default one for a
    // Japanese font is wide enough to hide a digit of "300" in a 47-pixel box.
    SendMessageA(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, r.right - r.left + 1));
}

void TSpinEdit::Resized() {
    PlaceUpDown();
    TWinControl::Resized();
}

std::string TSpinEdit::Caption() const {
    if (!HandleAllocated()) return caption_;
    const int n = GetWindowTextLengthA(Handle());
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    const int got = GetWindowTextA(Handle(), text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(0, got)));
    return text;
}

void TSpinEdit::SetCaption(const std::string& text) {
    if (HandleAllocated() && Caption() == text) return;
    TWinControl::SetCaption(text);
    // EN_CHANGE has normally told us already; without a window nobody has.
    TextChanged();
}

void TSpinEdit::TextChanged() {
    std::string text = Caption();
    if (text == lastText_) return;
    lastText_ = std::move(text);
    if (OnChange) OnChange(this);
}

int TSpinEdit::Clamp(long long value) const {
    if (max_ != min_) {
        if (value < min_) value = min_;
        else if (value > max_) value = max_;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int TSpinEdit::Value() const { return StrToIntDef(Text(), min_); }

void TSpinEdit::SetValue(int value) { SetCaption(IntToStr(Clamp(value))); }

void TSpinEdit::Step(int direction) {
    if (!Enabled()) return;
    SetValue(Clamp(static_cast<long long>(Value()) + static_cast<long long>(direction) * increment_));
}

void TSpinEdit::CheckValue() {
    const auto value = TryStrToInt(Text());
    if (!value) return;  // no whole number: left for the program to judge
    const int inRange = Clamp(*value);
    if (inRange != *value) SetValue(inRange);
}

bool TSpinEdit::IsValidChar(unsigned char c) const {
    const bool typed = c >= 32 || c == VK_BACK;
    if (typed && !editorEnabled_) return false;
    if (c >= '0' && c <= '9') return true;
    if (c == '+' || c == '-' || c == static_cast<unsigned char>(DecimalSeparator())) return true;
    // Control characters (editing keys, Ctrl+C...) pass; Enter is not text.
    return c < 32 && c != VK_RETURN;
}

void TSpinEdit::SetMaxLength(int length) {
    maxLength_ = std::max(0, length);
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TSpinEdit::SetEnabled(bool enabled) {
    TWinControl::SetEnabled(enabled);
    if (upDown_) EnableWindow(upDown_, enabled);
}

void TSpinEdit::SelectAll() {
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

LRESULT TSpinEdit::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CHAR: {
            const auto c = static_cast<unsigned char>(wp);
            if (skipTrail_) {
                skipTrail_ = false;
                return 0;
            }
            if (!IsValidChar(c)) {
                skipTrail_ = IsSjisLeadByte(c);
                MessageBeep(0);
                return 0;
            }
            break;
        }
        case WM_KEYDOWN:
            if (wp == VK_UP || wp == VK_DOWN) {
                WORD key = static_cast<WORD>(wp);
                DoKeyDown(key, KeyboardShiftState());
                if (key == VK_UP) UpClick();
                else if (key == VK_DOWN) DownClick();
                return 0;
            }
            if (wp == VK_DELETE && !editorEnabled_) {  // Delete and Shift+Delete edit too
                WORD key = VK_DELETE;
                DoKeyDown(key, KeyboardShiftState());
                if (key != 0) MessageBeep(0);
                return 0;
            }
            break;
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
        case EM_UNDO:
            if (!editorEnabled_) return 0;
            break;
        case WM_KILLFOCUS: {
            const LRESULT r = DefaultHandler(msg, wp, lp);
            // Leaving the box for another control of the same window is an exit; the window
            // being hidden or deactivated is not (the box keeps what was typed).
            const HWND to = reinterpret_cast<HWND>(wp);
            const bool withinForm = to && GetAncestor(to, GA_ROOT) == GetAncestor(Handle(), GA_ROOT);
            if (!Destroying() && withinForm) {
                CheckValue();
                if (OnExit) OnExit(this);
            }
            return r;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (header->hwndFrom == upDown_ && header->code == UDN_DELTAPOS) {
                const auto* change = reinterpret_cast<NMUPDOWN*>(lp);
                if (GetFocus() != Handle()) SetFocus();
                if (change->iDelta > 0) UpClick();
                else if (change->iDelta < 0) DownClick();
                return 1;  // the control keeps its own position
            }
            break;
        }
        case WM_VSCROLL:
            if (reinterpret_cast<HWND>(lp) == upDown_) return 0;
            break;
        case WM_NCPAINT:
            // The edit paints its (themed) frame through a window DC over its whole rectangle,
            // which spares no child: the buttons inside would be painted over at every focus
            // change, and nothing draws them again. The frame is painted around them instead.
            if (upDown_ && IsWindowVisible(upDown_)) {
                RECT r;
                GetWindowRect(Handle(), &r);
                UniqueRgn area(CreateRectRgnIndirect(&r));
                GetWindowRect(upDown_, &r);
                UniqueRgn buttons(CreateRectRgnIndirect(&r));
                if (area && buttons) {
                    if (wp != 1) CombineRgn(area.get(), area.get(), reinterpret_cast<HRGN>(wp), RGN_AND);
                    CombineRgn(area.get(), area.get(), buttons.get(), RGN_DIFF);
                    return DefaultHandler(msg, reinterpret_cast<WPARAM>(area.get()), lp);
                }
            }
            break;
        default: break;
    }
    return TWinControl::WndProc(msg, wp, lp);
}

bool TSpinEdit::CNCommand(WORD code) {
    if (code != EN_CHANGE) return false;
    TextChanged();
    return true;
}

}  // namespace kaptor
