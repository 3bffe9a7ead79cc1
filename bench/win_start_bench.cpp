// Start-up: Kaptor32.exe from CreateProcess until its first window is shown and painted and
// its thread waits for input (WaitForInputIdle), against minimal_window.exe started and
// waited for the same way, alternately. Both are ended with TerminateProcess, so nothing is
// written. Then where the time goes: the program's own start-up steps (as app/main.cpp takes
// them) timed in a child process of this benchmark, started with KAPTOR_START_STEPS set (not an argument:
// the main window takes its first argument for a file), each step its first time, as in a
// real start. Run from the build folder under the Wine harness:
//   ../../scripts/winrun -- wine win_start_bench.exe
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "WinTiming.h"
#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "capture/WindowListDialog.h"
#include "gif/GifBitmap.h"

using namespace kaptor;

namespace {

// Milliseconds until the program started from exe waits for input; negative on failure.
double StartMs(const std::string& exe) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    const double t0 = bench::NowMs();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    const DWORD idle = WaitForInputIdle(pi.hProcess, 30000);
    const double ms = bench::NowMs() - t0;
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Sleep(200);  // let the server and the display settle between starts
    return idle == 0 ? ms : -1;
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
    form->Show();
    UpdateWindow(form->Handle());
    step("shown and painted");
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
    const std::string program = dir + "Kaptor32.exe", minimal = dir + "minimal_window.exe";
    std::vector<double> ours, reference;
    StartMs(program), StartMs(minimal);  // warm up: files cached, Wine's own first start
    for (int i = 0; i < 11; ++i) {
        ours.push_back(StartMs(program));
        reference.push_back(StartMs(minimal));
    }
    for (double v : ours)
        if (v < 0) return std::printf("failed: Kaptor32.exe did not start\n"), 1;
    const double a = bench::Median(ours), b = bench::Median(reference);
    std::printf("start-up to the first painted window, waiting for input: Kaptor32 %.1f ms, minimal %.1f ms\n", a, b);
    bench::PrintRatio("start-up / minimal Win32 program", a, b);
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
