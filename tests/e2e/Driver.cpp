#include "Driver.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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
        // The test's own windows stay alive while it waits: they paint, and set the pointer's
        // shape when it moves over them, as any program's windows would.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
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

long long Milliseconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000 / frequency.QuadPart;
}

Program::Program(const std::string& ini, const std::string& args, const std::string& output) : dir_(NewTempDir()) {
    const std::string exe = dir_ + "Kaptor32.exe";
    if (!CopyFileA((ExeDir() + "Kaptor32.exe").c_str(), exe.c_str(), FALSE))
        throw std::runtime_error("cannot copy Kaptor32.exe");
    if (!ini.empty()) std::ofstream(IniPath(), std::ios::binary) << ini;
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE out = output.empty() ? INVALID_HANDLE_VALUE
                                : CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                              CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = out;
    }
    const BOOL started = CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE, 0,
                                        nullptr, dir_.c_str(), &si, &pi_);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (!started) throw std::runtime_error("cannot start Kaptor32.exe");
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

DWORD Program::ExitCode(int timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    if (WaitFor([&] { return !Running(); }, timeoutMs)) GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

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

namespace {
// One mouse event at an absolute screen position. Button events carry the position too: the
// pointer's warps reach the program late under load, and a bare button event lands wherever
// the pointer was before. Positions count on the virtual screen, so every monitor is reached.
void SendMouseAt(int x, int y, DWORD buttons) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = (x - GetSystemMetrics(SM_XVIRTUALSCREEN)) * 65535 / (GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
    in.mi.dy = (y - GetSystemMetrics(SM_YVIRTUALSCREEN)) * 65535 / (GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | buttons;
    SendInput(1, &in, sizeof in);
}
}  // namespace

void MoveMouse(int x, int y) {
    SetCursorPos(x, y);
    SendMouseAt(x, y, 0);
    Sleep(50);
}

void Click(int x, int y, bool right, bool dbl) {
    MoveMouse(x, y);
    for (int i = 0; i < (dbl ? 2 : 1); ++i) {
        SendMouseAt(x, y, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
        SendMouseAt(x, y, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    }
    Sleep(150);
}

void Drag(int x1, int y1, int x2, int y2, const std::function<void()>& whileHeld) {
    auto send = [](int x, int y, DWORD button) {
        SendMouseAt(x, y, button);
        Sleep(80);
    };
    MoveMouse(x1, y1);
    Sleep(300);
    send(x1, y1, MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= 4; ++i) send(x1 + (x2 - x1) * i / 4, y1 + (y2 - y1) * i / 4, 0);
    if (whileHeld) whileHeld();
    send(x2, y2, MOUSEEVENTF_LEFTUP);
    Sleep(100);
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

void SaveShot(const std::string& name) {
    const char* dir = std::getenv("KAPTOR_E2E_SHOTS");
    if (!dir || !*dir) return;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    WriteBmpFile(std::string(dir) + "\\" + name + ".bmp", w, h, ScreenPixels(RECT{0, 0, w, h}));
}

void WriteBmpFile(const std::string& path, int w, int h, const std::vector<std::uint32_t>& px) {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = -h;  // rows from the top
    info.biPlanes = 1;
    info.biBitCount = 32;
    const DWORD bytes = static_cast<DWORD>(px.size() * 4);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(px.data()), bytes);
}

std::string WriteTempBmp(const std::string& name, int w, int h, const std::function<std::uint32_t(int, int)>& pixel) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + name;
    std::vector<std::uint32_t> px;
    px.reserve(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(pixel(x, y));
    WriteBmpFile(path, w, h, px);
    return path;
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

bool TestPattern::Shown(int timeoutMs) const {
    SetWindowPos(wnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    return WaitFor(
        [&] {
            const RECT r = ClientRectOnScreen(wnd_);
            const int w = r.right - r.left, h = r.bottom - r.top;
            const auto px = ScreenPixels(r);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (px[static_cast<std::size_t>(y) * w + x] != ColorAt(x, y, w, h)) return false;
            return w > 0 && h > 0;
        },
        timeoutMs);
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

// ---------------------------------------------------------------- files, dialogs, clipboard

HWND WaitDialog(DWORD pid, const std::string& title, int timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND w : WindowsOf(pid, "#32770", true))
                if (WindowText(w) == title) {
                    found = w;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

bool AnswerSaveDialog(HWND dialog, const std::string& fileName, int typeEntry) {
    if (!dialog) return false;
    // The file type list first: choosing a type may rewrite the name box.
    HWND types = GetDlgItem(dialog, 0x470);
    if (!types) return false;
    SendMessageA(types, CB_SETCURSEL, static_cast<WPARAM>(typeEntry - 1), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
    if (SendMessageA(types, CB_GETCURSEL, 0, 0) != typeEntry - 1) return false;
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) name = GetDlgItem(dialog, 0x480);
    if (!name) return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return WaitFor([&] { return !IsWindow(dialog); }, 8000);
}

namespace {

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A hidden window of ours: the clipboard needs an owner for SetClipboardData.
HWND ClipboardOwner() {
    static HWND owner = CreateWindowExA(0, "STATIC", "e2e clipboard", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    return owner;
}

// Opens the clipboard, trying again while another process holds it.
bool OpenClipboardSoon(HWND owner) {
    return WaitFor([&] { return OpenClipboard(owner) != FALSE; }, 5000);
}

}  // namespace

std::vector<std::uint8_t> FileStart(const std::string& path, std::size_t count) {
    std::vector<std::uint8_t> b = ReadFileBytes(path);
    if (b.size() > count) b.resize(count);
    return b;
}

bool ReadBmpFile(const std::string& path, Pixels& out) {
    const std::vector<std::uint8_t> b = ReadFileBytes(path);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const std::uint32_t offset = Le32(b, 10);
    const auto width = static_cast<std::int32_t>(Le32(b, 18));
    const auto height = static_cast<std::int32_t>(Le32(b, 22));
    const int bits = b[28] | (b[29] << 8);
    const std::uint32_t compression = Le32(b, 30);
    if ((bits != 24 && bits != 32) || (compression != BI_RGB && compression != BI_BITFIELDS) || width <= 0 ||
        height == 0)
        return false;
    const int rows = height < 0 ? -height : height;
    const std::size_t stride = (static_cast<std::size_t>(width) * bits / 8 + 3) & ~std::size_t{3};
    if (offset + stride * rows > b.size()) return false;
    out.Width = width;
    out.Height = rows;
    out.Data.assign(static_cast<std::size_t>(width) * rows, 0);
    for (int y = 0; y < rows; ++y) {
        const std::size_t row = offset + stride * (height < 0 ? y : rows - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = &b[row + static_cast<std::size_t>(x) * bits / 8];
            out.Data[static_cast<std::size_t>(y) * width + x] = (p[2] << 16) | (p[1] << 8) | p[0];
        }
    }
    return true;
}

// An exported function of a loaded module; void (*)() is the cast that carries any type.
template <class F>
F Proc(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

namespace {
std::string decodeFailure;
}

const std::string& DecodeFailure() { return decodeFailure; }

bool DecodePictureFile(const std::string& path, Pixels& out) {
    // GDI+'s flat interface, loaded when needed so the driver links against nothing more.
    struct StartupInput {
        UINT32 Version = 1;
        void* DebugEventCallback = nullptr;
        BOOL SuppressBackgroundThread = FALSE;
        BOOL SuppressExternalCodecs = FALSE;
    };
    using Startup = int(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
    using Shutdown = void(WINAPI*)(ULONG_PTR);
    using FromFile = int(WINAPI*)(const WCHAR*, void**);
    using Size = int(WINAPI*)(void*, UINT*);
    using PixelAt = int(WINAPI*)(void*, INT, INT, DWORD*);
    using Dispose = int(WINAPI*)(void*);
    static HMODULE gdiplus = LoadLibraryA("gdiplus.dll");
    if (!gdiplus) return false;
    auto startup = Proc<Startup>(gdiplus, "GdiplusStartup");
    auto shutdown = Proc<Shutdown>(gdiplus, "GdiplusShutdown");
    auto fromFile = Proc<FromFile>(gdiplus, "GdipCreateBitmapFromFile");
    auto width = Proc<Size>(gdiplus, "GdipGetImageWidth");
    auto height = Proc<Size>(gdiplus, "GdipGetImageHeight");
    auto pixel = Proc<PixelAt>(gdiplus, "GdipBitmapGetPixel");
    auto dispose = Proc<Dispose>(gdiplus, "GdipDisposeImage");
    if (!startup || !shutdown || !fromFile || !width || !height || !pixel || !dispose) return false;
    ULONG_PTR token = 0;
    StartupInput input;
    if (startup(&token, &input, nullptr) != 0) return false;
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(),
                                                             static_cast<int>(wide.size()))));
    void* bitmap = nullptr;
    const int status = fromFile(wide.c_str(), &bitmap);
    WIN32_FILE_ATTRIBUTE_DATA file{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &file);
    decodeFailure = "GdipCreateBitmapFromFile " + std::to_string(status) + ", the file " +
                    std::to_string(file.nFileSizeLow) + " bytes";
    bool ok = status == 0 && bitmap;
    UINT w = 0, h = 0;
    ok = ok && width(bitmap, &w) == 0 && height(bitmap, &h) == 0;
    if (ok) {
        out.Width = static_cast<int>(w);
        out.Height = static_cast<int>(h);
        out.Data.assign(static_cast<std::size_t>(w) * h, 0);
        for (UINT y = 0; ok && y < h; ++y)
            for (UINT x = 0; ok && x < w; ++x) {
                DWORD argb = 0;
                ok = pixel(bitmap, static_cast<INT>(x), static_cast<INT>(y), &argb) == 0;
                out.Data[static_cast<std::size_t>(y) * w + x] = argb & 0xFFFFFF;
            }
    }
    if (bitmap) dispose(bitmap);
    shutdown(token);
    return ok;
}

bool EmptyClipboardNow() {
    if (!OpenClipboardSoon(ClipboardOwner())) return false;
    const bool ok = EmptyClipboard() != FALSE;
    CloseClipboard();
    return ok;
}

bool PutClipboardText(const std::string& text) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!mem) return false;
    std::memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
    GlobalUnlock(mem);
    if (!OpenClipboardSoon(ClipboardOwner())) {
        GlobalFree(mem);
        return false;
    }
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_TEXT, mem) != nullptr;
    if (!ok) GlobalFree(mem);
    CloseClipboard();
    return ok;
}

bool PutClipboardBitmap(const Pixels& picture) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.Width, picture.Height);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.Width, -picture.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const bool set = bitmap && SetDIBits(screen, bitmap, 0, static_cast<UINT>(picture.Height), picture.Data.data(), &bi,
                                         DIB_RGB_COLORS) == picture.Height;
    ReleaseDC(nullptr, screen);
    if (!set || !OpenClipboardSoon(ClipboardOwner())) {
        if (bitmap) DeleteObject(bitmap);
        return false;
    }
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_BITMAP, bitmap) != nullptr;  // the clipboard owns it now
    if (!ok) DeleteObject(bitmap);
    CloseClipboard();
    return ok;
}

bool ClipboardHas(UINT format) { return IsClipboardFormatAvailable(format) != FALSE; }

bool ReadClipboardBitmap(Pixels& out) {
    if (!OpenClipboardSoon(nullptr)) return false;
    bool ok = false;
    if (auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
        BITMAP bm{};
        if (GetObject(bitmap, sizeof bm, &bm)) {
            out.Width = bm.bmWidth;
            out.Height = bm.bmHeight;
            out.Data.assign(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight, 0);
            BITMAPINFO bi{};
            bi.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            HDC screen = GetDC(nullptr);
            ok = GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), out.Data.data(), &bi, DIB_RGB_COLORS) ==
                 bm.bmHeight;
            ReleaseDC(nullptr, screen);
            for (std::uint32_t& p : out.Data) p &= 0xFFFFFF;
        }
    }
    CloseClipboard();
    return ok;
}

bool ReadClipboardBytes(UINT format, std::vector<std::uint8_t>& out) {
    if (!OpenClipboardSoon(nullptr)) return false;
    bool ok = false;
    if (HANDLE data = GetClipboardData(format)) {
        if (const void* p = GlobalLock(data)) {
            const auto* bytes = static_cast<const std::uint8_t*>(p);
            out.assign(bytes, bytes + GlobalSize(data));
            GlobalUnlock(data);
            ok = true;
        }
    }
    CloseClipboard();
    return ok;
}

// ---------------------------------------------------------------- picture, range

HWND PictureControl(HWND main) { return FindChild(FindChild(main, "TScrollBox"), "TImage"); }

std::string SizeText(int w, int h) { return "ｻｲｽﾞ : " + std::to_string(w) + " x " + std::to_string(h); }

std::vector<std::string> ListBoxLines(HWND list) {
    std::vector<std::string> lines;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::vector<wchar_t> wide(2048, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()));
        char narrow[4096] = {};
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, narrow, sizeof narrow - 1, nullptr, nullptr);
        lines.push_back(narrow);
    }
    return lines;
}
HWND MainStatusBar(HWND main) { return FindChild(main, "msctls_statusbar32"); }

bool CopyPicture(HWND main, Pixels& out) {
    if (!EmptyClipboardNow() || !Activate(main)) return false;
    PressKey('C', true);
    return WaitFor([] { return ClipboardHas(CF_BITMAP); }, 5000) && ReadClipboardBitmap(out);
}

bool CaptureWholeScreen(HWND main) {
    if (!Activate(main)) return false;
    HWND status = MainStatusBar(main);
    const std::string size = "ｻｲｽﾞ : " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                             std::to_string(GetSystemMetrics(SM_CYSCREEN));
    // Panel 0 is written last, after the window is back. (A size left by an earlier capture
    // of the same screen would pass at once: call this for the first capture only.)
    PressKey(VK_F5);
    return WaitFor([&] { return IsWindowVisible(main) && StatusPanel(status, 0) == size; }, 15000);
}

bool EnterRangeMode(HWND main) {
    HWND range = FindChild(main, "Button", 0);
    if (!range) return false;
    const RECT b = ClientRectOnScreen(range);
    Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    return WaitFor([&] { return SendMessageA(range, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 3000);
}

namespace {
std::string PointerText(int x, int y) {
    char text[32];
    wsprintfA(text, "X=%4d,Y=%4d", x, y);
    return text;
}
}  // namespace

bool MarkRange(HWND main, int x1, int y1, int x2, int y2) {
    HWND status = MainStatusBar(main);
    const RECT ir = ClientRectOnScreen(PictureControl(main));
    // A point on the band's first horizontal edge: the open band inverts it.
    const POINT mid{ir.left + (x1 + x2) / 2, ir.top + y1};
    const COLORREF before = ScreenPixel(mid.x, mid.y);
    bool open = false;
    for (int attempt = 0; attempt < 3 && !open; ++attempt) {
        Click(ir.left + x1, ir.top + y1);
        // Moves until the program has seen one reach the second corner.
        bool moved = false;
        for (int i = 0; i < 5 && !moved; ++i) {
            MoveMouse(ir.left + x2 - 1, ir.top + y2);
            MoveMouse(ir.left + x2, ir.top + y2);
            moved = WaitFor([&] { return StatusPanel(status, 1) == PointerText(x2, y2); }, 2000);
        }
        if (!moved) return false;
        // No band: the first click was lost on the way (it happens under Wine); click again.
        open = WaitFor([&] { return ScreenPixel(mid.x, mid.y) == (before ^ 0xFFFFFF); }, 2000);
    }
    if (!open) return false;
    Click(ir.left + x2, ir.top + y2);
    const std::string range = "範囲 : " + std::to_string(std::abs(x2 - x1)) + " x " + std::to_string(std::abs(y2 - y1));
    return WaitFor([&] { return StatusPanel(status, 2) == range; }, 5000);
}

bool FrameShown(HWND main, const RECT& range, std::uint32_t color) {
    const RECT ir = ClientRectOnScreen(PictureControl(main));
    const POINT corners[] = {{range.left, range.top},
                             {range.right - 1, range.top},
                             {range.left, range.bottom - 1},
                             {range.right - 1, range.bottom - 1}};
    return WaitFor(
        [&] {
            for (const POINT& c : corners) {
                const COLORREF p = ScreenPixel(ir.left + c.x, ir.top + c.y);
                const std::uint32_t rgb = (static_cast<std::uint32_t>(GetRValue(p)) << 16) | (GetGValue(p) << 8) | GetBValue(p);
                if (rgb != color) return false;
            }
            return true;
        },
        3000);
}

}  // namespace e2e
