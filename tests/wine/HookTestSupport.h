// Windows the hook and drop-target tests hang their hooks on.
#pragma once

#include <windows.h>

#include "TestApp.h"
#include "framework/win/StdCtrls.h"

namespace kaptor::testing::hooktest {

// Answers 42 in its own window procedure, so a test sees whether a message got through.
inline constexpr UINT WM_PROBE = WM_APP + 17;

class ProbePanel : public TPanel {
public:
    using TPanel::TPanel;
    int Probes = 0;
    int Drops = 0;
    // The framework re-creates windows internally; tests ask for it directly.
    void Recreate() { RecreateWnd(); }

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_PROBE) {
            ++Probes;
            return 42;
        }
        if (msg == WM_DROPFILES) ++Drops;
        return TPanel::WndProc(msg, wp, lp);
    }
};

class HookTestForm : public TForm {
public:
    explicit HookTestForm(TComponent* owner) : TForm(owner, "TKaptorHookTestForm") {
        SetBounds(40, 40, 300, 200);
        Panel = new ProbePanel(this);
        Panel->SetParent(this);
        Panel->SetBounds(10, 10, 200, 120);
    }
    ProbePanel* Panel;
};

inline WNDPROC WndProcOf(HWND wnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)); }

}  // namespace kaptor::testing::hooktest
