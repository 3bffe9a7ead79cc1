#include "framework/win/Forms.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/win/Menus.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* owner, const std::string& className, TFormWindow window)
    : TWinControl(owner), className_(className) {
    SetLoading(true);
    visible_ = false;
    if (window == TFormWindow::OnDemand) {
        windowOnDemand_ = true;
        return;
    }
    CreateHandle();
    ApplyFont();
}

TForm::~TForm() {
    BeginDestroy();
    if (!destroyed_ && OnDestroy) {
        destroyed_ = true;
        try {
            OnDestroy(this);
        } catch (const std::exception& e) {
            Application->HandleException(e);
        }
    }
    if (tooltip_) DestroyWindow(tooltip_);
}

void TForm::CreateParamsFor(CreateParams& params) {
    params.ClassName = RegisterClassFor(className_, CS_DBLCLKS);
    params.OwnClass = true;
    params.Parent = Application ? Application->Handle() : nullptr;
    params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (borderStyle_) {
        case TBorderStyle::bsNone: params.Style |= WS_POPUP; break;
        case TBorderStyle::bsSingle: params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER; break;
        case TBorderStyle::bsSizeable: params.Style |= WS_OVERLAPPEDWINDOW; break;
        case TBorderStyle::bsDialog:
            params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
            params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP;
            break;
        case TBorderStyle::bsToolWindow:
            params.Style |= WS_CAPTION | WS_SYSMENU;
            params.ExStyle |= WS_EX_TOOLWINDOW;
            break;
    }
    params.ExStyle |= WS_EX_CONTROLPARENT;
    // A window made after its menu was given gets it with the window, measured once.
    if (menu_ && !HandleAllocated()) params.Menu = menu_->Handle();
}

bool TForm::HasMenuBar() const { return HandleAllocated() ? TWinControl::HasMenuBar() : menu_ != nullptr; }

void TForm::SetBorderStyle(TBorderStyle style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    UpdateBorder();
}

// Changes the frame in place: the window (and any hook on it) stays the same.
void TForm::UpdateBorder() {
    if (!HandleAllocated()) return;
    CreateParams params;
    CreateParamsFor(params);
    const LONG keep = GetWindowLongA(Handle(), GWL_STYLE) & (WS_VISIBLE | WS_DISABLED | WS_MAXIMIZE | WS_MINIMIZE);
    SetWindowLongA(Handle(), GWL_STYLE, static_cast<LONG>(params.Style) | keep);
    SetWindowLongA(Handle(), GWL_EXSTYLE, static_cast<LONG>(params.ExStyle));
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::SetWindowState(TWindowState state) {
    if (!HandleAllocated()) return;
    const int show = state == TWindowState::wsMaximized   ? SW_MAXIMIZE
                     : state == TWindowState::wsMinimized ? SW_MINIMIZE
                                                          : SW_RESTORE;
    if (IsWindowVisible(Handle())) {
        ShowWindow(Handle(), show);
    } else {
        // A hidden window keeps the state for when it is shown.
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        GetWindowPlacement(Handle(), &wp);
        wp.showCmd = state == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                     : state == TWindowState::wsMinimized ? SW_SHOWMINIMIZED
                                                          : SW_SHOWNORMAL;
        wp.flags = 0;
        SetWindowPlacement(Handle(), &wp);
        ShowWindow(Handle(), SW_HIDE);
    }
}

TWindowState TForm::WindowState() const {
    if (!HandleAllocated()) return TWindowState::wsNormal;
    if (IsZoomed(Handle())) return TWindowState::wsMaximized;
    if (IsIconic(Handle())) return TWindowState::wsMinimized;
    return TWindowState::wsNormal;
}

void TForm::SetMenu(TMainMenu* menu) {
    menu_ = menu;
    if (!HandleAllocated()) {
        if (menu) menu->Form = this;  // the window takes it when it is made
        return;
    }
    if (menu) {
        // Built before it is the form's: a bar built for the form's window is given to it at
        // once, and each giving measures the bar anew. Given here, it is given once.
        menu->Form = nullptr;
        HMENU bar = menu->Handle();
        menu->Form = this;
        ::SetMenu(Handle(), bar);
    } else {
        ::SetMenu(Handle(), nullptr);
    }
}

void TForm::SetIcon(HICON icon) {
    // The small one first: a big icon given to a window without a small one is copied down to
    // a small one, which the small one given next would only replace.
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void TForm::CenterOnScreen() {
    SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(), Height());
}

void TForm::ScaleAdded(TWinControl& control) {
    const int dpi = Screen->PixelsPerInch();
    if (dpi != 96) control.ScaleBy(dpi, 96);
}

void TForm::AfterConstruction() {
    ScaleAdded(*this);
    LoadedAll();
    if (Position == TPosition::poScreenCenter) CenterOnScreen();
    if (OnCreate) OnCreate(this);
}

void TForm::SetVisible(bool visible) {
    if (visible) HandleNeeded();  // made hidden, then shown as one made at once
    if (visible == visible_ && HandleAllocated() && (IsWindowVisible(Handle()) != 0) == visible) return;
    visible_ = visible;
    if (!HandleAllocated()) return;
    if (visible) {
        ShowWindow(Handle(), IsZoomed(Handle()) ? SW_SHOWMAXIMIZED : SW_SHOW);
        SetForegroundWindow(Handle());
        if (OnShow) OnShow(this);
    } else {
        ShowWindow(Handle(), SW_HIDE);
        if (OnHide) OnHide(this);
    }
}

namespace {
BOOL CALLBACK CollectEnabledWindow(HWND wnd, LPARAM lp) {
    auto* list = reinterpret_cast<std::vector<HWND>*>(lp);
    if (IsWindowVisible(wnd) && IsWindowEnabled(wnd)) list->push_back(wnd);
    return TRUE;
}
}  // namespace

int TForm::ShowModal() {
    // Every other window of ours is disabled while the modal form runs.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
    disabled.erase(std::remove(disabled.begin(), disabled.end(), Handle()), disabled.end());
    for (HWND w : disabled) EnableWindow(w, FALSE);
    HWND previous = GetActiveWindow();

    ModalResult = mrNone;
    modal_ = true;
    bool quit = false;
    WPARAM quitCode = 0;
    try {
        Show();
        while (ModalResult == mrNone) {
            MSG msg;
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got <= 0) {
                quit = true;
                quitCode = msg.wParam;
                break;
            }
            Application->DispatchOne(msg);
            if (ModalResult != mrNone && OnClose) {
                // The form may refuse to close.
                TCloseAction action = TCloseAction::caHide;
                DoClose(action);
                if (action == TCloseAction::caNone) ModalResult = mrNone;
            }
        }
    } catch (...) {
        modal_ = false;
        for (HWND w : disabled) EnableWindow(w, TRUE);
        Hide();
        throw;
    }
    modal_ = false;
    for (HWND w : disabled) EnableWindow(w, TRUE);
    Hide();
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return ModalResult;
}

void TForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

void TForm::Close() {
    if (modal_) {
        ModalResult = mrCancel;
        return;
    }
    TCloseAction action = Application->MainForm() == this ? TCloseAction::caFree : TCloseAction::caHide;
    DoClose(action);
    switch (action) {
        case TCloseAction::caNone: break;
        case TCloseAction::caHide: Hide(); break;
        case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
        case TCloseAction::caFree:
            if (Application->MainForm() == this) Application->Terminate();
            else Application->ReleaseForm(this);
            break;
    }
}

void TForm::SetHintFor(TWinControl* control, const std::string& hint) {
    if (!hintsDue_) return;  // AddHints gives it with the others
    if (!tooltip_) {
        tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                   MainInstance(), nullptr);
        if (!tooltip_) return;
    }
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(control->Handle());
    ti.lpszText = const_cast<char*>(hint.c_str());
    SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    if (!hint.empty()) SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm::AddHints(TWinControl& control) {
    for (TWinControl* child : control.Controls()) {
        if (child->HandleAllocated() && !child->Hint().empty()) SetHintFor(child, child->Hint());
        AddHints(*child);
    }
}

bool TForm::HandleHelp(HELPINFO* info) {
    // The context of the control that asked, or of its nearest parent that has one.
    int context = 0;
    if (info && info->iContextType == HELPINFO_WINDOW) {
        for (TWinControl* c = FromHandle(static_cast<HWND>(info->hItemHandle)); c && !context; c = c->Parent())
            context = c->HelpContext;
    } else if (info && info->iContextType == HELPINFO_MENUITEM) {
        // F1 on a highlighted menu item: that item's topic.
        if (TMenuItem* item = TMenuItem::FromCommand(static_cast<UINT>(info->iCtrlId))) context = item->HelpContext;
    }
    if (!context) context = HelpContext;
    if (!context) return false;
    Application->HelpContext(context);
    return true;
}

bool TForm::WantsDialogKey(const MSG& msg) const { return DialogKeys && IsDialogMessageA(Handle(), const_cast<MSG*>(&msg)); }

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (lp == 0 && HIWORD(wp) == 0) {  // a menu item of our menu bar
                if (TMenuItem* item = TMenuItem::FromCommand(LOWORD(wp))) {
                    item->Click();
                    return 0;
                }
            }
            // Enter and Esc from the dialog manager.
            if (lp == 0 || LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
                if (LOWORD(wp) == IDOK && DefaultButton && DefaultButton->Enabled()) {
                    DefaultButton->Click();
                    return 0;
                }
                if (LOWORD(wp) == IDCANCEL && lp == 0) {
                    if (CancelButton && CancelButton->Enabled()) CancelButton->Click();
                    else if (CancelButton == nullptr && DialogKeys) Close();
                    return 0;
                }
            }
            break;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_TIMER:
            if (wp != HintTimerId) break;
            KillTimer(Handle(), HintTimerId);
            hintTimer_ = false;
            if (!hintsDue_) {
                hintsDue_ = true;
                AddHints(*this);
            }
            return 0;
        case WM_PAINT: {
            // The hints wait until the first paint is done: a timer's message comes after
            // every pending paint, the children's too.
            if (!hintsDue_ && !hintTimer_) hintTimer_ = SetTimer(Handle(), HintTimerId, 0, nullptr) != 0;
            if (!OnPaint) break;
            PAINTSTRUCT ps;
            paintDC_ = BeginPaint(Handle(), &ps);
            try {
                OnPaint(this);
            } catch (...) {
                paintDC_ = nullptr;
                EndPaint(Handle(), &ps);
                throw;
            }
            paintDC_ = nullptr;
            EndPaint(Handle(), &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(Handle(), &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_HELP:
            if (HandleHelp(reinterpret_cast<HELPINFO*>(lp))) return TRUE;
            break;
        case WM_GETMINMAXINFO:
            if (MinClientSize) {
                // The frame around that client area, with a menu bar of one line.
                const SIZE least = MinClientSize();
                RECT r{0, 0, least.cx, least.cy};
                if (AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE)), GetMenu(Handle()) != nullptr,
                                       static_cast<DWORD>(GetWindowLongA(Handle(), GWL_EXSTYLE)))) {
                    auto* info = reinterpret_cast<MINMAXINFO*>(lp);
                    info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, r.right - r.left);
                    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, r.bottom - r.top);
                }
                return 0;
            }
            break;
        case WM_SYSCOMMAND:
            // The main form minimises the application, which hides every form with it.
            if ((wp & 0xFFF0) == SC_MINIMIZE && Application->MainForm() == this) {
                Application->Minimize();
                return 0;
            }
            break;
        default: break;
    }
    return TWinControl::WndProc(msg, wp, lp);
}

// ---------------------------------------------------------------- TApplication

TApplication::TApplication() {
    Application = this;
    if (!Screen) Screen = new TScreen;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = AppWndProc;
    wc.hInstance = MainInstance();
    wc.hIcon = ProgramIcon();
    wc.hCursor = ArrowCursor();
    wc.lpszClassName = "TApplication";
    RegisterClassExA(&wc);
    // Zero size at the screen centre: only its task-bar button is ever seen.
    handle_ = CreateWindowExA(0, "TApplication", "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                              nullptr, MainInstance(), nullptr);
    if (!handle_) throw Exception("ｱﾌﾟﾘｹｰｼｮﾝｳｨﾝﾄﾞｳを作成できません");
}

TApplication::~TApplication() {
    DestroyForms();
    if (handle_) DestroyWindow(handle_);
    if (Application == this) Application = nullptr;
    delete Screen;
    Screen = nullptr;
}

namespace {
// Posted to the button window to hand the activation on to the main form.
constexpr UINT ActivateMainFormMessage = WM_APP + 0x4B1;
}  // namespace

LRESULT CALLBACK TApplication::AppWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE:
            // Closing the task-bar button closes the main form.
            if (Application && Application->MainForm()) {
                try {
                    Application->MainForm()->Close();
                } catch (const std::exception& e) {
                    Application->HandleException(e);
                }
            }
            return 0;
        case WM_SYSCOMMAND:
            if ((wp & 0xFFF0) == SC_RESTORE && Application && IsIconic(wnd)) {
                Application->Restore();
                return 0;
            }
            break;
        case WM_ACTIVATE:
            // Activation of the button window goes on to the main form, once the activation
            // in progress has ended: a nested one was undone by it on some systems, leaving
            // the button window active and the main form without the keyboard.
            if (LOWORD(wp) != WA_INACTIVE && Application && Application->MainForm() &&
                IsWindowVisible(Application->MainForm()->Handle()) && !IsIconic(wnd)) {
                SetFocus(Application->MainForm()->Handle());
                PostMessageA(wnd, ActivateMainFormMessage, 0, 0);
                return 0;
            }
            break;
        case ActivateMainFormMessage:
            if (GetActiveWindow() == wnd && Application && Application->MainForm() &&
                IsWindowVisible(Application->MainForm()->Handle()) && !IsIconic(wnd))
                SetFocus(Application->MainForm()->Handle());
            return 0;
        default: break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    SetWindowTextA(handle_, title.c_str());
}

void TApplication::Run() {
    if (mainForm_ && ShowMainForm) {
        ShowWindow(handle_, SW_SHOWNOACTIVATE);
        mainForm_->Show();
    }
    MSG msg;
    while (!terminated_) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) break;
        DispatchOne(msg);
        released_.clear();
    }
    terminated_ = true;
}

bool TApplication::IsShortCut(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root));
    // Keys that reach the task-bar button's window are the shown main form's.
    if (root == handle_ && mainForm_ && mainForm_->HandleAllocated() && IsWindowVisible(mainForm_->Handle())) {
        form = mainForm_;
        root = mainForm_->Handle();
    }
    if (!form || !form->Menu() || !IsWindowEnabled(root)) return false;
    return form->Menu()->IsShortCut(static_cast<WORD>(msg.wParam), KeyboardShiftState());
}

void TApplication::DispatchOne(MSG& msg) {
    try {
        if (IsShortCut(msg)) return;
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
            HWND root = GetAncestor(msg.hwnd, GA_ROOT);
            if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root)))
                if (form->WantsDialogKey(msg)) return;
        }
    } catch (const std::exception& e) {
        HandleException(e);
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            PostQuitMessage(static_cast<int>(msg.wParam));  // the main loop must see it too
            break;
        }
        DispatchOne(msg);
    }
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HandleException(const std::exception& e) {
    std::string text = e.what();
    if (dynamic_cast<const std::bad_alloc*>(&e)) text = texts::OutOfMemory;
    MessageBox(text, title_, MB_OK | MB_ICONERROR);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
    if (MessageBoxHook) return MessageBoxHook(text, caption, flags);
    HWND owner = GetActiveWindow();
    if (!owner) owner = handle_;
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags | MB_TASKMODAL);
}

bool TApplication::HelpCommand(UINT command, ULONG_PTR data) {
    return OnHelp ? OnHelp(HelpFile, command, data) : false;
}

bool TApplication::HelpContext(int context) { return HelpCommand(HELP_CONTEXT, static_cast<ULONG_PTR>(context)); }

void TApplication::Minimize() {
    if (IsIconic(handle_)) return;
    ShowWindow(handle_, SW_MINIMIZE);
    if (OnMinimize) OnMinimize(this);
}

namespace {
BOOL CALLBACK CollectTopMost(HWND wnd, LPARAM lp) {
    auto* list = reinterpret_cast<std::vector<HWND>*>(lp);
    if (IsWindowVisible(wnd) && IsWindowEnabled(wnd) && (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST))
        list->push_back(wnd);
    return TRUE;
}
}  // namespace

void TApplication::NormalizeTopMosts() {
    std::vector<HWND> topMost;
    EnumThreadWindows(GetCurrentThreadId(), CollectTopMost, reinterpret_cast<LPARAM>(&topMost));
    for (HWND wnd : topMost)
        if (wnd != handle_)
            SetWindowPos(wnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TApplication::Restore() {
    ShowWindow(handle_, SW_RESTORE);
    if (mainForm_ && IsWindowVisible(mainForm_->Handle())) SetForegroundWindow(mainForm_->Handle());
}

void TApplication::DestroyForms() {
    while (!forms_.empty()) {
        std::unique_ptr<TForm> form = std::move(forms_.back());
        forms_.pop_back();
        if (form.get() == mainForm_) mainForm_ = nullptr;
        form.reset();
    }
}

void TApplication::ReleaseForm(TForm* form) {
    // Freed from the message loop, not from inside one of its own handlers.
    auto it = std::find_if(forms_.begin(), forms_.end(), [&](const auto& f) { return f.get() == form; });
    if (it == forms_.end()) return;
    form->Hide();
    released_.push_back(std::move(*it));
    forms_.erase(it);
    PostMessageA(handle_, WM_NULL, 0, 0);
}

// ---------------------------------------------------------------- TScreen

int TScreen::PixelsPerInch() const {
    WindowDC dc(nullptr);
    return GetDeviceCaps(dc.get(), LOGPIXELSY);
}

HCURSOR TScreen::Cursors(TCursor index) const {
    auto it = cursors_.find(index);
    if (it != cursors_.end()) return it->second;
    return ArrowCursor();
}

void TScreen::SetCursor(TCursor index, HCURSOR cursor) { cursors_[index] = cursor; }

void ShowMessage(const std::string& text) { Application->MessageBox(text, Application->Title(), MB_OK); }

}  // namespace kaptor
