#include "framework/win/Clipbrd.h"

#include <cstring>

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

HWND TClipboard::Owner() {
    // With no owner window EmptyClipboard leaves the clipboard without an owner and
    // SetClipboardData then fails.
    return Application ? Application->Handle() : nullptr;
}

bool TClipboard::HasFormat(UINT format) const { return IsClipboardFormatAvailable(format) != FALSE; }

void TClipboard::Assign(TBitmap& bitmap) {
    TClipboardBitmap data = bitmap.SaveToClipboardFormat();
    ClipboardOpenGuard open(Owner());
    EmptyClipboard();
    if (data.Bitmap) {
        if (!SetClipboardData(CF_BITMAP, data.Bitmap.get())) throw EInvalidOperation(texts::ClipboardWrite);
        data.Bitmap.release();  // the clipboard owns it now
    }
    if (data.Palette) {
        if (!SetClipboardData(CF_PALETTE, data.Palette.get())) throw EInvalidOperation(texts::ClipboardWrite);
        data.Palette.release();
    }
}

void TClipboard::GetBitmap(TBitmap& bitmap) {
    ClipboardOpenGuard open(Owner());
    auto handle = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!handle) throw EInvalidGraphic(texts::ClipboardNoBitmap);
    bitmap.LoadFromClipboardFormat(handle);  // a copy: the handle stays the clipboard's
}

void TClipboard::SetTextBuf(const char* text) {
    const std::size_t n = std::strlen(text) + 1;
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, n));
    if (!memory) throw EOutOfMemory(texts::OutOfMemory);
    {
        GlobalLockGuard lock(memory.get());
        if (!lock.get()) throw EOutOfMemory(texts::OutOfMemory);
        std::memcpy(lock.get(), text, n);
    }
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
