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

void TClipboard::Assign(TBitmap& bitmap, const TClipboardBytes* alongside) {
    TClipboardBitmap data = bitmap.SaveToClipboardFormat();
    UniqueGlobal extra = alongside && alongside->Format ? GlobalCopy(alongside->Bytes) : UniqueGlobal();
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
    if (extra) {
        if (!SetClipboardData(alongside->Format, extra.get())) throw EInvalidOperation(texts::ClipboardWrite);
        extra.release();
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
