// Start-up: Kaptor32.exe from CreateProcess until its first window is shown and painted and
// its thread has come to its message loop, against minimal_window.exe started and waited for
// the same way, alternately, and minimal_window_imports.exe (the same program importing the
// DLLs Kaptor32 imported before they were loaded on first use) for what those DLLs cost, and
// minimal_window_comctl6.exe (with Kaptor32's manifest and common controls 6 started) for what
// the platform's controls cost any program that shows them. Not WaitForInputIdle: under Wine
// it returns at the first look into an empty message queue, which may come before the window
// exists. All are ended with TerminateProcess, so nothing is written. Then where the time
// goes: the program's own start-up steps (as app/main.cpp takes them) timed in a child process
// of this benchmark, started with KAPTOR_START_STEPS set (not an argument: the main window
// takes its first argument for a file), each step its first time, as in a real start.
// KAPTOR_START_ONCE=<exe in this folder>: that program started once, nothing else, to trace
// its start. Run from the build folder under the Wine harness:
//   ../../scripts/winrun -- wine win_start_bench.exe
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "WinTiming.h"
#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "capture/WindowListDialog.h"
#include "gif/GifBitmap.h"

using namespace kaptor;

namespace {

struct TShown {
    DWORD process;
    HWND window = nullptr;
};

BOOL CALLBACK MarkUnpainted(HWND c, LPARAM p) {
    if (IsWindowVisible(c) && GetUpdateRect(c, nullptr, FALSE)) *reinterpret_cast<bool*>(p) = true;
    return TRUE;
}

// A visible top-level window of the process with nothing left to paint, its children neither.
BOOL CALLBACK FindPainted(HWND w, LPARAM lp) {
    auto& shown = *reinterpret_cast<TShown*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != shown.process || !IsWindowVisible(w) || GetUpdateRect(w, nullptr, FALSE)) return TRUE;
    bool pending = false;
    EnumChildWindows(w, MarkUnpainted, reinterpret_cast<LPARAM>(&pending));
    if (pending) return TRUE;
    shown.window = w;
    return FALSE;
}

// Milliseconds until the program started from exe shows a painted window and answers a
// message sent to it (its start-up code is done); negative on failure.
double StartMs(const std::string& exe) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    const double t0 = bench::NowMs();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    double ms = -1;
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT && bench::NowMs() - t0 < 30000) {
        TShown shown{pi.dwProcessId};
        EnumWindows(FindPainted, reinterpret_cast<LPARAM>(&shown));
        DWORD_PTR answer = 0;
        if (shown.window && SendMessageTimeoutA(shown.window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer) &&
            !GetUpdateRect(shown.window, nullptr, FALSE)) {
            ms = bench::NowMs() - t0;
            break;
        }
        Sleep(1);
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Sleep(200);  // let the server and the display settle between starts
    return ms;
}

// The steps of app/main.cpp, each timed, up to the first paint of the main window.
int Steps() {
    double t = bench::NowMs();
    auto step = [&](const char* what) {
        const double now = bench::NowMs();
        std::printf("  %-48s %7.1f ms\n", what, now - t);
        t = now;
    };
    TApplication app;
    step("TApplication (common controls, button window)");
    TGifSupport gifSupport;
    Screen->SetCursor(1, LoadCursorA(GetModuleHandleA(nullptr), "CUT"));
    app.SetTitle("Kaptor32");
    step("GIF support, cursor, title");
    auto* form = app.CreateForm<TMainWindow>();
    step("main window (controls, glyphs, settings, tray)");
    app.CreateForm<TOptionsDialog>();
    step("options dialog");
    app.CreateForm<TAboutBox>();
    step("About box");
    app.CreateForm<TWindowListDialog>();
    step("window list dialog");
    // As TApplication::Run shows them: the task-bar button's window, then the main window.
    ShowWindow(app.Handle(), SW_SHOWNOACTIVATE);
    form->Show();
    step("shown");
    UpdateWindow(form->Handle());
    step("painted");
    // What the message loop does first: the hints are given after the first paint.
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&m);
    step("first messages (the hints)");
    // What the dialogs made on demand cost when first opened, after the start.
    TheOptionsDialog->HandleNeeded();
    step("later: the options dialog's windows");
    AboutBox->HandleNeeded();
    step("later: the About box's windows");
    WindowList->HandleNeeded();
    step("later: the window list's windows");
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main() {
    if (std::getenv("KAPTOR_START_STEPS")) return Steps();
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir = self;
    dir.resize(dir.find_last_of('\\') + 1);
    const std::string program = dir + "Kaptor32.exe", minimal = dir + "minimal_window.exe",
                      imports = dir + "minimal_window_imports.exe", comctl6 = dir + "minimal_window_comctl6.exe";
    // One start of one program and nothing else, for a trace of it (the wineserver's with -d).
    if (const char* once = std::getenv("KAPTOR_START_ONCE")) {
        std::printf("%s: %.1f ms\n", once, StartMs(dir + once));
        return 0;
    }
    std::vector<double> ours, reference, imported, controls;
    // warm up: files cached, Wine's own first start
    StartMs(program), StartMs(minimal), StartMs(imports), StartMs(comctl6);
    for (int i = 0; i < 11; ++i) {
        ours.push_back(StartMs(program));
        reference.push_back(StartMs(minimal));
        imported.push_back(StartMs(imports));
        controls.push_back(StartMs(comctl6));
    }
    for (double v : ours)
        if (v < 0) return std::printf("failed: Kaptor32.exe did not start\n"), 1;
    const double a = bench::Median(ours), b = bench::Median(reference), c = bench::Median(imported),
                 d = bench::Median(controls);
    std::printf("start-up to the first painted window: Kaptor32 %.1f ms, minimal %.1f ms, "
                "minimal with the imports %.1f ms, minimal with common controls 6 %.1f ms\n",
                a, b, c, d);
    bench::PrintRatio("start-up / minimal Win32 program", a, b);
    bench::PrintRatio("minimal with the imports / minimal", c, b);
    bench::PrintRatio("minimal with common controls 6 / minimal", d, b);
    bench::PrintRatio("start-up / minimal with common controls 6", a, d);
    std::printf("the program's steps, in a fresh process:\n");
    std::fflush(stdout);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + std::string(self) + "\"";
    SetEnvironmentVariableA("KAPTOR_START_STEPS", "1");
    if (CreateProcessA(self, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 30000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return 0;
}
