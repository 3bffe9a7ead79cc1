#include "WindowKit.h"

#include "Driver.h"

namespace e2e {

namespace {

LRESULT CALLBACK PlainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(w, &r);
        HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(w, GWLP_USERDATA)));
        FillRect(reinterpret_cast<HDC>(wp), &r, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

const char* PlainClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.lpszClassName = "KaptorTestPlain";
        RegisterClassA(&wc);
        registered = true;
    }
    return "KaptorTestPlain";
}

}  // namespace

PlainWindow::PlainWindow(const std::string& title, int x, int y, int w, int h, int show, COLORREF color) {
    wnd_ = CreateWindowExA(0, PlainClass(), title.c_str(), WS_OVERLAPPEDWINDOW, x, y, w, h, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    if (show != SW_HIDE) ShowWindow(wnd_, show);
    UpdateWindow(wnd_);
    Sleep(100);
}

PlainWindow::~PlainWindow() { Destroy(); }

void PlainWindow::Destroy() {
    if (wnd_) DestroyWindow(wnd_);
    wnd_ = nullptr;
}

ControlsWindow::ControlsWindow(const std::string& title, int x, int y, int w, int h) {
    wnd_ = CreateWindowExA(0, PlainClass(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, static_cast<LONG_PTR>(RGB(0xE0, 0xE0, 0xE0)));
    group_ = CreateWindowExA(0, "BUTTON", "Group", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 20, 20, 200, 120, wnd_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    inner_ = CreateWindowExA(0, "BUTTON", "Inner", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 40, 40, 100, 40, group_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    outer_ = CreateWindowExA(0, "BUTTON", "Outer", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 240, 20, 80, 30, wnd_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(wnd_);
    Sleep(100);
}

ControlsWindow::~ControlsWindow() {
    if (wnd_) DestroyWindow(wnd_);
}

POINT CenterOf(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace e2e

namespace e2e {

namespace {

LRESULT CALLBACK VanishingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SIZE && wp == SIZE_RESTORED && GetWindowLongPtrA(w, GWLP_USERDATA) == 1) {
        DestroyWindow(w);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

LRESULT CALLBACK LateColourProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<LateColourWindow::State*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (s) {
        if (msg == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE && s->armed) {
            s->armed = false;
            s->activatedAt = Milliseconds();
            SetTimer(w, 1, static_cast<UINT>(s->delayMs), nullptr);
        } else if (msg == WM_TIMER && wp == 1) {
            KillTimer(w, 1);
            s->changed = true;
            s->changedAt = Milliseconds();
            InvalidateRect(w, nullptr, TRUE);
            UpdateWindow(w);
            return 0;
        } else if (msg == WM_ERASEBKGND) {
            RECT r;
            GetClientRect(w, &r);
            HBRUSH brush = CreateSolidBrush(s->changed ? s->later : s->first);
            FillRect(reinterpret_cast<HDC>(wp), &r, brush);
            DeleteObject(brush);
            return 1;
        }
    }
    return DefWindowProcA(w, msg, wp, lp);
}

const char* ClassWith(const char* name, WNDPROC proc) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = name;
    RegisterClassA(&wc);  // already registered after the first window: harmless
    return name;
}

}  // namespace

VanishingWindow::VanishingWindow(const std::string& title, int x, int y, int w, int h) {
    wnd_ = CreateWindowExA(0, ClassWith("KaptorTestVanishing", VanishingProc), title.c_str(), WS_OVERLAPPEDWINDOW, x,
                           y, w, h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(wnd_, SW_SHOWMINIMIZED);
    Sleep(100);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, 1);
}

VanishingWindow::~VanishingWindow() {
    if (IsWindow(wnd_)) DestroyWindow(wnd_);
}

LateColourWindow::LateColourWindow(const std::string& title, int x, int y, int w, int h, COLORREF first,
                                   COLORREF later, int delayMs)
    : state_{first, later, delayMs} {
    wnd_ = CreateWindowExA(0, ClassWith("KaptorTestLateColour", LateColourProc), title.c_str(), WS_OVERLAPPEDWINDOW,
                           x, y, w, h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state_));
    ShowWindow(wnd_, SW_SHOWNORMAL);
    UpdateWindow(wnd_);
    Sleep(100);
}

LateColourWindow::~LateColourWindow() {
    if (IsWindow(wnd_)) DestroyWindow(wnd_);
}

void LateColourWindow::Arm() {
    KillTimer(wnd_, 1);
    state_.armed = true;
    state_.changed = false;
    state_.activatedAt = state_.changedAt = 0;
    InvalidateRect(wnd_, nullptr, TRUE);
    UpdateWindow(wnd_);
}

long long LateColourWindow::ActivatedAt() const { return state_.activatedAt; }
long long LateColourWindow::ChangedAt() const { return state_.changedAt; }

}  // namespace e2e
