#include "TestApp.h"

#include "app/MainWindow.h"
#include "settings/Settings.h"

namespace kaptor::testing {

namespace {
std::vector<std::string> messages;
}

TApplication& TestApp() {
    if (!Application) {
        auto* app = new TApplication;  // lives for the whole test run
        app->SetTitle("Kaptor32");
        app->MessageBoxHook = [](const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return IDOK;
        };
    }
    return *Application;
}

TMainWindow& MainWindow() {
    TestApp();
    if (!TheMainWindow) {
        Application->CreateForm<TMainWindow>();
        // Tests set what they need; nothing waits or hides unless asked.
        Settings.Wait = 0;
        Settings.HideForm = false;
        Settings.ShowCursor = false;
        TheMainWindow->Show();
        Pump();
    }
    return *TheMainWindow;
}

std::vector<std::string> TakeMessages() { return std::exchange(messages, {}); }

void Pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) Application->DispatchOne(msg);
        Sleep(10);
    }
}

long long Milliseconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000 / frequency.QuadPart;
}

bool PointerAt(int x, int y) {
    POINT p{};
    return GetCursorPos(&p) && p.x == x && p.y == y;
}

bool PlacePointer(HCURSOR cursor, int x, int y) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        SetCursorPos(x, y);
        int steady = 0;
        for (int i = 0; i < 50 && steady < 5; ++i) {
            Pump(1);
            steady = PointerAt(x, y) ? steady + 1 : 0;
        }
        if (steady < 5) continue;
        SetCursor(cursor);
        if (PointerAt(x, y) && GetCursor() == cursor) return true;
    }
    return false;
}

}  // namespace kaptor::testing
