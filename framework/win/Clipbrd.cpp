#include "framework/win/Clipbrd.h"

#include <cstring>
#include <optional>

#include "framework/base/SysUtils.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"

namespace kaptor {

ClipboardOpenGuard::ClipboardOpenGuard(HWND owner) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(owner)) return;
        ::Sleep(20);
    }
    throw EInvalidOperation(texts::ClipboardOpen);
}

ClipboardOpenGuard::~ClipboardOpenGuard() { CloseClipboard(); }

namespace {

UniqueGlobal GlobalCopy(const std::vector<std::uint8_t>& bytes) {
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size()));
    if (!memory) throw EOutOfMemory(texts::OutOfMemory);
    GlobalLockGuard lock(memory.get());
    if (!lock.get()) throw EOutOfMemory(texts::OutOfMemory);
    if (!bytes.empty()) std::memcpy(lock.get(), bytes.data(), bytes.size());
    return memory;
}

}  // namespace

HWND TClipboard::Owner() {
    // With no owner window EmptyClipboard leaves the clipboard without an owner and
    // SetClipboardData then fails.
    if (owner_ && IsWindow(owner_)) return owner_;
    static const ATOM cls = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = MainInstance();
        wc.lpszClassName = "TClipboardOwner";
        return RegisterClassExA(&wc);
    }();
    owner_ = CreateWindowExA(0, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(cls)), "", WS_POPUP, 0, 0, 0, 0,
                             Application ? Application->Handle() : nullptr, nullptr, MainInstance(), nullptr);
    if (!owner_) throw EInvalidOperation(texts::ClipboardOpen);
    return owner_;
}

TClipboard::~TClipboard() {
    if (owner_ && IsWindow(owner_)) DestroyWindow(owner_);
}

// Puts the pending format on the clipboard. open: the clipboard is not open yet (at the end,
// WM_RENDERALLFORMATS); on WM_RENDERFORMAT the asking program holds it open.
void TClipboard::Render(bool open) {
    TClipboardRenderer job = std::move(pending_);
    pending_ = {};
    if (!job.Format || !job.Render) return;
    try {
        std::optional<ClipboardOpenGuard> guard;
        if (open) guard.emplace(owner_);  // tried a few times, as another program may hold it
        // Another program may have taken the clipboard since.
        if (!open || GetClipboardOwner() == owner_) {
            UniqueGlobal memory = GlobalCopy(job.Render());
            if (SetClipboardData(job.Format, memory.get())) memory.release();
        }
    } catch (const std::exception&) {
        // No data then: the asking program cannot show our message, and at the end there is
        // no one left to show it to.
    }
}

LRESULT CALLBACK TClipboard::OwnerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    TClipboard& self = Clipboard();
    switch (msg) {
        case WM_RENDERFORMAT:
            if (wnd == self.owner_ && static_cast<UINT>(wp) == self.pending_.Format) self.Render(false);
            return 0;
        case WM_RENDERALLFORMATS:
            if (wnd == self.owner_) self.Render(true);
            return 0;
        case WM_DESTROYCLIPBOARD:  // another copy replaced ours: what it needed can go
            if (wnd == self.owner_) self.pending_ = {};
            return 0;
        case WM_NCDESTROY:
            if (wnd == self.owner_) self.owner_ = nullptr;
            break;
        default: break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

bool TClipboard::HasFormat(UINT format) const { return IsClipboardFormatAvailable(format) != FALSE; }

void TClipboard::Assign(TBitmap& bitmap, TClipboardRenderer alongside) {
    TClipboardBitmap data = bitmap.SaveToClipboardFormat();
    ClipboardOpenGuard open(Owner());
    EmptyClipboard();  // tells the previous owner (us too) to let go of what it kept
    pending_ = {};
    if (data.Bitmap) {
        if (!SetClipboardData(CF_BITMAP, data.Bitmap.get())) throw EInvalidOperation(texts::ClipboardWrite);
        data.Bitmap.release();  // the clipboard owns it now
    }
    if (data.Palette) {
        if (!SetClipboardData(CF_PALETTE, data.Palette.get())) throw EInvalidOperation(texts::ClipboardWrite);
        data.Palette.release();
    }
    if (alongside.Format && alongside.Render) {
        // Announced without data, SetClipboardData gives null even when it succeeds.
        SetLastError(0);
        if (!SetClipboardData(alongside.Format, nullptr) && GetLastError() != 0)
            throw EInvalidOperation(texts::ClipboardWrite);
        pending_ = std::move(alongside);
    }
}

std::vector<std::uint8_t> TClipboard::GetBytes(UINT format) {
    ClipboardOpenGuard open(Owner());
    HANDLE handle = GetClipboardData(format);
    if (!handle) throw EInvalidGraphic(texts::ClipboardNoBitmap);
    GlobalLockGuard lock(handle);  // the handle stays the clipboard's
    if (!lock.get()) throw EInvalidGraphic(texts::ClipboardNoBitmap);
    const auto* p = static_cast<const std::uint8_t*>(lock.get());
    return std::vector<std::uint8_t>(p, p + GlobalSize(handle));
}

void TClipboard::GetBitmap(TBitmap& bitmap) {
    ClipboardOpenGuard open(Owner());
    auto handle = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!handle) throw EInvalidGraphic(texts::ClipboardNoBitmap);
    bitmap.LoadFromClipboardFormat(handle);  // a copy: the handle stays the clipboard's
}

void TClipboard::SetTextBuf(const char* text) {
    UniqueGlobal memory = GlobalCopy(std::vector<std::uint8_t>(text, text + std::strlen(text) + 1));
    ClipboardOpenGuard open(Owner());
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, memory.get())) throw EInvalidOperation(texts::ClipboardWrite);
    memory.release();
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}

}  // namespace kaptor
