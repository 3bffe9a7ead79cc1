#include "app/HandOver.h"

#include <memory>
#include <vector>

#include "framework/win/Handles.h"

namespace kaptor {

namespace {

constexpr const char* AnswerClass = "TKaptorAnswer";

struct TWaiting {
    bool answered = false;
    TRequestResult result;
};

LRESULT CALLBACK AnswerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(wnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    auto* waiting = reinterpret_cast<TWaiting*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (msg != WM_COPYDATA || !waiting || data->dwData < AnswerTag ||
        data->dwData > AnswerTag + static_cast<ULONG_PTR>(TExitStatus::NoAnswer))
        return DefWindowProcA(wnd, msg, wp, lp);
    waiting->result.status = static_cast<TExitStatus>(data->dwData - AnswerTag);
    const std::string text = CopiedText(*data);
    const std::size_t nul = text.find('\0');
    waiting->result.savedTo = text.substr(0, nul);
    if (nul != std::string::npos) waiting->result.message = text.substr(nul + 1);
    waiting->answered = true;
    return TRUE;
}

void Write(DWORD which, const std::string& text) {
    if (text.empty()) return;
    HANDLE out = GetStdHandle(which);
    // A program without a console of its own writes to the one it was started from.
    UniqueKernel console;
    if (!out || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return;
        console = Kernel(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        out = console.get();
        if (!out) return;
    }
    const std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

bool SwitchLine(int argc, char** argv) {
    return argc > 1 && argv[1][0] == '/' && GetFileAttributesA(argv[1]) == INVALID_FILE_ATTRIBUTES;
}

TCaptureSwitches ReadStartSwitches(int argc, char** argv) {
    TCaptureSwitches switches = ReadSwitches(std::vector<std::string>(argv + 1, argv + argc));
    if (!switches.saveTo.empty()) {
        char full[MAX_PATH] = {};
        const DWORD n = GetFullPathNameA(switches.saveTo.c_str(), MAX_PATH, full, nullptr);
        if (n == 0 || n >= MAX_PATH) {
            ECommandLine error(Format(texts::BadSwitch, ("/save=" + switches.saveTo).c_str()));
            error.quiet = switches.quiet;
            throw error;
        }
        switches.saveTo = full;
    }
    return switches;
}

bool HandOver(const TCaptureSwitches& switches, TRequestResult& result) {
    HWND running = FindWindowA("TKaptor32", nullptr);
    if (!running) return false;
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = AnswerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = AnswerClass;
        return RegisterClassA(&wc) != 0;
    }();
    TWaiting waiting;
    result = {TExitStatus::NoAnswer, texts::NoAnswer, {}};
    // A message-only window: the answer comes to it, and nothing of ours shows.
    UniqueWindow answer(registered ? CreateWindowExA(0, AnswerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                     GetModuleHandleA(nullptr), &waiting)
                                   : nullptr);
    if (!answer) return true;

    const std::string packed = PackSwitches(switches);
    COPYDATASTRUCT data{RequestTag, static_cast<DWORD>(packed.size()), const_cast<char*>(packed.data())};
    DWORD_PTR taken = FALSE;
    if (!SendMessageTimeoutA(running, WM_COPYDATA, reinterpret_cast<WPARAM>(answer.get()),
                             reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 10000, &taken))
        return true;
    if (taken != TRUE) return false;  // a quiet program that is ending: the request is ours

    // The answer comes when the capture has ended, however long the user takes; a program
    // that ends before it answers will never answer.
    DWORD pid = 0;
    GetWindowThreadProcessId(running, &pid);
    const UniqueKernel process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    HANDLE handles[1] = {process.get()};
    while (!waiting.answered) {
        const DWORD woke = MsgWaitForMultipleObjects(handles[0] ? 1 : 0, handles, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (handles[0] && woke == WAIT_OBJECT_0 && !waiting.answered) return true;
    }
    result = waiting.result;
    return true;
}

std::string CopiedText(const COPYDATASTRUCT& data) {
    return data.lpData ? std::string(static_cast<const char*>(data.lpData), data.cbData) : std::string();
}

void Answer(HWND to, HWND from, const TRequestResult& result) {
    const std::string text = result.savedTo + '\0' + result.message;
    COPYDATASTRUCT data{AnswerTag + static_cast<ULONG_PTR>(result.status), static_cast<DWORD>(text.size()),
                        const_cast<char*>(text.data())};
    // The second start waits in its loop: a gone one is simply not answered.
    SendMessageTimeoutA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
}

void TellCaller(const TRequestResult& result) {
    Write(STD_OUTPUT_HANDLE, result.savedTo);
    Write(STD_ERROR_HANDLE, result.message);
}

}  // namespace kaptor
