#include "framework/win/Handles.h"

#include <atomic>

namespace kaptor {

namespace {
std::atomic<long> counts[static_cast<int>(HandleKind::Count)];
}

void detail::CountHandle(HandleKind kind, int delta) { counts[static_cast<int>(kind)] += delta; }

long OwnedHandles(HandleKind kind) { return counts[static_cast<int>(kind)]; }

long OwnedGdiHandles() { return OwnedHandles(HandleKind::Gdi) + OwnedHandles(HandleKind::DC); }

long OwnedUserHandles() {
    return OwnedHandles(HandleKind::Icon) + OwnedHandles(HandleKind::Menu) + OwnedHandles(HandleKind::Window);
}

WindowDC::WindowDC(HWND wnd, bool wholeWindow) : wnd_(wnd), dc_(wholeWindow ? GetWindowDC(wnd) : GetDC(wnd)) {
    if (dc_) detail::CountHandle(HandleKind::DC, +1);
}

WindowDC::~WindowDC() {
    if (dc_) {
        ReleaseDC(wnd_, dc_);
        detail::CountHandle(HandleKind::DC, -1);
    }
}

}  // namespace kaptor
