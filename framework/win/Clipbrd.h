// The system clipboard. It is opened for one access and closed again before the call
// returns (the guard below), so no other program ever waits on us.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kaptor {

class TBitmap;

namespace texts {
inline constexpr const char* ClipboardOpen = "ｸﾘｯﾌﾟﾎﾞｰﾄﾞを開けません";
inline constexpr const char* ClipboardWrite = "ｸﾘｯﾌﾟﾎﾞｰﾄﾞに書き込めません";
inline constexpr const char* ClipboardNoBitmap = "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにﾋﾞｯﾄﾏｯﾌﾟがありません";
}  // namespace texts

// OpenClipboard for one scope. Another program may hold the clipboard for a moment, so
// opening is tried a few times before it fails with EInvalidOperation (ClipboardOpen).
class ClipboardOpenGuard {
public:
    explicit ClipboardOpenGuard(HWND owner);
    ~ClipboardOpenGuard();
    ClipboardOpenGuard(const ClipboardOpenGuard&) = delete;
    ClipboardOpenGuard& operator=(const ClipboardOpenGuard&) = delete;
};

// Bytes offered in a registered format beside the bitmap (a PNG file, for instance), made
// only when a program asks for them (delayed rendering), or when the program ends while its
// copy is still on the clipboard, so a copy costs no more than the bitmap. Render must hold
// what it needs: it may run long after the picture has changed.
struct TClipboardRenderer {
    UINT Format = 0;
    std::function<std::vector<std::uint8_t>()> Render;
};

class TClipboard {
public:
    // Whether the clipboard offers the format (also a synthesized one: CF_BITMAP from a DIB).
    bool HasFormat(UINT format) const;
    // Empties the clipboard and puts a device-dependent copy of the bitmap on it as
    // CF_BITMAP, with CF_PALETTE when the bitmap has a colour table, and announces
    // alongside's format (when given), all in one opening of the clipboard.
    void Assign(TBitmap& bitmap, TClipboardRenderer alongside = {});
    // Copies the clipboard's CF_BITMAP into bitmap (no palette is taken).
    void GetBitmap(TBitmap& bitmap);
    // The bytes of a memory format on the clipboard; EInvalidGraphic when it offers none.
    std::vector<std::uint8_t> GetBytes(UINT format);
    // Empties the clipboard and puts text on it as CF_TEXT (for tests and tools).
    void SetTextBuf(const char* text);

    ~TClipboard();

private:
    // The window that owns what we put on the clipboard and is asked to render it: owned by
    // the application's window, so it is destroyed (and renders what is still pending) before
    // the program ends.
    HWND Owner();
    static LRESULT CALLBACK OwnerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    void Render(bool open);

    HWND owner_ = nullptr;
    TClipboardRenderer pending_;
};

// The one clipboard object of the program.
TClipboard& Clipboard();

}  // namespace kaptor
