// Ownership of Windows handles. Every GDI object, device context, icon, menu and window the
// framework creates is held by exactly one of these guards and released in its destructor.
// Each guard counts what it holds, so tests can prove that repeated commands leak nothing.
#pragma once

#include <windows.h>

#include <utility>

namespace kaptor {

// Live handles owned by the framework, by kind.
enum class HandleKind { Gdi, DC, Icon, Menu, Window, Global, Kernel, Count };
long OwnedHandles(HandleKind kind);
long OwnedGdiHandles();   // GDI objects and device contexts
long OwnedUserHandles();  // icons, cursors, menus, windows

namespace detail {
void CountHandle(HandleKind kind, int delta);
}

// One handle of type H released by Traits::Close; move-only.
template <class H, class Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {
        if (h_) detail::CountHandle(Traits::Kind, +1);
    }
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, H{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, H{});
        }
        return *this;
    }
    H get() const { return h_; }
    explicit operator bool() const { return h_ != H{}; }
    void reset(H h = H{}) {
        if (h_) {
            Traits::Close(h_);
            detail::CountHandle(Traits::Kind, -1);
        }
        h_ = h;
        if (h_) detail::CountHandle(Traits::Kind, +1);
    }
    // Gives up ownership, e.g. when the clipboard takes the handle.
    H release() {
        if (h_) detail::CountHandle(Traits::Kind, -1);
        return std::exchange(h_, H{});
    }

private:
    H h_{};
};

struct GdiTraits {
    static constexpr HandleKind Kind = HandleKind::Gdi;
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct MemDCTraits {
    static constexpr HandleKind Kind = HandleKind::DC;
    static void Close(HDC h) { DeleteDC(h); }
};
struct IconTraits {
    static constexpr HandleKind Kind = HandleKind::Icon;
    static void Close(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
    static constexpr HandleKind Kind = HandleKind::Menu;
    static void Close(HMENU h) { DestroyMenu(h); }
};
struct WindowTraits {
    static constexpr HandleKind Kind = HandleKind::Window;
    static void Close(HWND h) { DestroyWindow(h); }
};
struct GlobalTraits {
    static constexpr HandleKind Kind = HandleKind::Global;
    static void Close(HGLOBAL h) { GlobalFree(h); }
};

struct KernelTraits {
    static constexpr HandleKind Kind = HandleKind::Kernel;
    static void Close(HANDLE h) { CloseHandle(h); }
};

template <class T>
using UniqueGdi = UniqueHandle<T, GdiTraits>;
using UniqueBitmap = UniqueGdi<HBITMAP>;
using UniquePen = UniqueGdi<HPEN>;
using UniqueBrush = UniqueGdi<HBRUSH>;
using UniqueFont = UniqueGdi<HFONT>;
using UniquePalette = UniqueGdi<HPALETTE>;
using UniqueRgn = UniqueGdi<HRGN>;
using UniqueMemDC = UniqueHandle<HDC, MemDCTraits>;
using UniqueIcon = UniqueHandle<HICON, IconTraits>;
using UniqueMenu = UniqueHandle<HMENU, MenuTraits>;
using UniqueGlobal = UniqueHandle<HGLOBAL, GlobalTraits>;
// A kernel object (a process, a file); make it from INVALID_HANDLE_VALUE through Kernel().
using UniqueKernel = UniqueHandle<HANDLE, KernelTraits>;
inline UniqueKernel Kernel(HANDLE h) { return UniqueKernel(h == INVALID_HANDLE_VALUE ? nullptr : h); }
// A plain window of our own class (the framework's controls keep theirs themselves).
using UniqueWindow = UniqueHandle<HWND, WindowTraits>;

// A window's device context from GetDC / GetWindowDC, released with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND wnd, bool wholeWindow = false);
    ~WindowDC();
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

// Selects an object into a DC for one scope and puts the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
    ~ScopedSelect() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// GlobalLock for one scope.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL h) : h_(h), p_(GlobalLock(h)) {}
    ~GlobalLockGuard() {
        if (p_) GlobalUnlock(h_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    void* get() const { return p_; }

private:
    HGLOBAL h_;
    void* p_;
};

}  // namespace kaptor
