#include "Driver.h"

#include <commctrl.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {

void Sleep(int ms) {
    const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        ::Sleep(10);
    } while (static_cast<LONG>(until - GetTickCount()) > 0);
}

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) return false;
        Sleep(20);
    }
}

namespace {

std::string ExeDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1);
}

std::string NewTempDir() {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    static int counter = 0;
    std::string dir = std::string(tmp) + "kaptor-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(++counter) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

}  // namespace

Program::Program(const std::string& ini, const std::string& args) : dir_(NewTempDir()) {
    const std::string exe = dir_ + "Kaptor32.exe";
    if (!CopyFileA((ExeDir() + "Kaptor32.exe").c_str(), exe.c_str(), FALSE))
        throw std::runtime_error("cannot copy Kaptor32.exe");
    if (!ini.empty()) std::ofstream(IniPath(), std::ios::binary) << ini;
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si, &pi_))
        throw std::runtime_error("cannot start Kaptor32.exe");
}

Program::~Program() {
    Close();
    if (pi_.hProcess) CloseHandle(pi_.hProcess);
    if (pi_.hThread) CloseHandle(pi_.hThread);
    DeleteFileA(IniPath().c_str());
    DeleteFileA((dir_ + "Kaptor32.exe").c_str());
    RemoveDirectoryA(dir_.c_str());
}

bool Program::Running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

std::string Program::ReadIni() const {
    std::ifstream in(IniPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

HWND Program::WaitMainWindow(bool visible, int timeoutMs) {
    WaitFor(
        [&] {
            auto w = WindowsOf(pi_.dwProcessId, "TKaptor32", visible);
            main_ = w.empty() ? nullptr : w.front();
            return main_ != nullptr;
        },
        timeoutMs);
    return main_;
}

void Program::Close() {
    if (!Running()) return;
    for (HWND w : WindowsOf(pi_.dwProcessId, "TKaptor32", false)) PostMessageA(w, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi_.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(pi_.hProcess, 1);
        WaitForSingleObject(pi_.hProcess, 5000);
    }
}

namespace {
struct EnumArgs {
    DWORD pid;
    std::string cls;
    bool visibleOnly;
    std::vector<HWND> found;
};
BOOL CALLBACK CollectWindow(HWND w, LPARAM lp) {
    auto* a = reinterpret_cast<EnumArgs*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == a->pid && (!a->visibleOnly || IsWindowVisible(w)) && (a->cls.empty() || ClassOf(w) == a->cls))
        a->found.push_back(w);
    return TRUE;
}
}  // namespace

std::vector<HWND> WindowsOf(DWORD pid, const std::string& className, bool visibleOnly) {
    EnumArgs a{pid, className, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

namespace {
struct ChildArgs {
    std::string cls;
    int index;
    HWND found;
};
BOOL CALLBACK MatchChild(HWND w, LPARAM lp) {
    auto* a = reinterpret_cast<ChildArgs*>(lp);
    if (ClassOf(w) == a->cls && a->index-- == 0) {
        a->found = w;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindChild(HWND parent, const std::string& className, int index) {
    ChildArgs a{className, index, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

std::string WindowText(HWND wnd) {
    char buf[1024] = {};
    SendMessageTimeoutA(wnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
    return buf;
}

std::string ClassOf(HWND wnd) {
    char buf[256] = {};
    GetClassNameA(wnd, buf, sizeof buf);
    return buf;
}

RECT ClientRectOnScreen(HWND wnd) {
    RECT r;
    GetClientRect(wnd, &r);
    MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string StatusPanel(HWND statusBar, int index) {
    DWORD pid = 0;
    GetWindowThreadProcessId(statusBar, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return "<no process>";
    void* remote = VirtualAllocEx(process, nullptr, 1024, MEM_COMMIT, PAGE_READWRITE);
    std::string text;
    if (remote) {
        SendMessageTimeoutA(statusBar, SB_GETTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote),
                            SMTO_ABORTIFHUNG, 2000, nullptr);
        char buf[1024] = {};
        SIZE_T read = 0;
        ReadProcessMemory(process, remote, buf, sizeof buf - 1, &read);
        text = buf;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    // Centred panels carry a leading tab.
    while (!text.empty() && text[0] == '\t') text.erase(0, 1);
    return text;
}

namespace {
void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}
}  // namespace

void PressKey(WORD vk, bool ctrl, bool shift, bool alt) {
    if (ctrl) SendKey(VK_CONTROL, false);
    if (shift) SendKey(VK_SHIFT, false);
    if (alt) SendKey(VK_MENU, false);
    SendKey(vk, false);
    SendKey(vk, true);
    if (alt) SendKey(VK_MENU, true);
    if (shift) SendKey(VK_SHIFT, true);
    if (ctrl) SendKey(VK_CONTROL, true);
    Sleep(100);
}

void TypeText(const std::string& ascii) {
    for (char c : ascii) {
        const SHORT vk = VkKeyScanA(c);
        PressKey(static_cast<WORD>(vk & 0xFF), (vk & 0x200) != 0, (vk & 0x100) != 0);
    }
}

void MoveMouse(int x, int y) {
    SetCursorPos(x, y);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    Sleep(50);
}

void Click(int x, int y, bool right, bool dbl) {
    MoveMouse(x, y);
    for (int i = 0; i < (dbl ? 2 : 1); ++i) {
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof in[0]);
    }
    Sleep(150);
}

bool Activate(HWND wnd) {
    SetForegroundWindow(wnd);
    return WaitFor([&] { return GetForegroundWindow() == wnd; }, 3000);
}

COLORREF ScreenPixel(int x, int y) {
    HDC dc = GetDC(nullptr);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(nullptr, dc);
    return c;
}

std::vector<std::uint32_t> ScreenPixels(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * h);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = px[i] & 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

// ---------------------------------------------------------------- TestPattern

std::uint32_t TestPattern::ColorAt(int x, int y, int w, int h) {
    if (x % 16 == 0 || y % 16 == 0) return 0x000000;  // grid lines
    const bool right = x >= w / 2, bottom = y >= h / 2;
    if (!right && !bottom) return 0xFF0000;
    if (right && !bottom) return 0x00FF00;
    if (!right && bottom) return 0x0000FF;
    return 0xFFFF00;
}

namespace {
LRESULT CALLBACK PatternProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT r;
        GetClientRect(w, &r);
        const int cw = r.right, ch = r.bottom;
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), cw, -ch, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<std::uint32_t> px(static_cast<std::size_t>(cw) * ch);
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) px[static_cast<std::size_t>(y) * cw + x] = TestPattern::ColorAt(x, y, cw, ch);
        SetDIBitsToDevice(dc, 0, 0, cw, ch, 0, 0, 0, ch, px.data(), &bi, DIB_RGB_COLORS);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}
}  // namespace

TestPattern::TestPattern(const std::string& title, int x, int y, int w, int h) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = PatternProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.lpszClassName = "KaptorTestPattern";
        RegisterClassA(&wc);
        registered = true;
    }
    wnd_ = CreateWindowExA(0, "KaptorTestPattern", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(wnd_);
    Sleep(200);
}

TestPattern::~TestPattern() {
    if (wnd_) DestroyWindow(wnd_);
}

std::string AnswerMessageBox(DWORD pid, int button, int timeoutMs) {
    HWND box = nullptr;
    WaitFor(
        [&] {
            auto w = WindowsOf(pid, "#32770", true);
            box = w.empty() ? nullptr : w.front();
            return box != nullptr;
        },
        timeoutMs);
    if (!box) return "<no message box>";
    // The text is the static control with id 0xFFFF.
    std::string text = WindowText(GetDlgItem(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    WaitFor([&] { return !IsWindow(box); }, 5000);
    return text;
}

}  // namespace e2e
