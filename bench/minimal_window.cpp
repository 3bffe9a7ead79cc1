// The start-up reference: a minimal Win32 program, one top-level window of the main window's
// size that paints itself, and its message loop. Built a second time with
// KAPTOR_SAME_IMPORTS, importing the DLLs Kaptor32 imported at load before some were loaded
// on first use (one function each, referenced so that the linker keeps the import), and a
// third time with KAPTOR_COMMON_CONTROLS: Kaptor32's manifest and common controls 6 started
// as Kaptor32 starts them.
#include <windows.h>
#ifdef KAPTOR_COMMON_CONTROLS
#include <commctrl.h>
#endif
#ifdef KAPTOR_SAME_IMPORTS
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <winspool.h>

void* volatile importedFunctions[] = {reinterpret_cast<void*>(&InitCommonControlsEx),
                                      reinterpret_cast<void*>(&GetOpenFileNameA), reinterpret_cast<void*>(&DragAcceptFiles),
                                      reinterpret_cast<void*>(&PlaySoundA), reinterpret_cast<void*>(&OpenPrinterA),
                                      reinterpret_cast<void*>(&GetFileVersionInfoSizeA)};
#endif

namespace {

LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(wnd, &ps);
            FillRect(dc, &ps.rcPaint, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
            EndPaint(wnd, &ps);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(wnd, msg, wp, lp);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
#ifdef KAPTOR_COMMON_CONTROLS
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);
#endif
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = "MinimalWindow";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowA("MinimalWindow", "Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 560, 420,
                             nullptr, nullptr, instance, nullptr);
    ShowWindow(wnd, show);
    UpdateWindow(wnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
