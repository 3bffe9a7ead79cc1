// The clipboard between the program and another process: a framed range copied out (as a
// bitmap and as a PNG file), text refused, a bitmap pasted in and copied out again as a PNG
// that outlives the picture and the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

// Colours that differ from pixel to pixel, so a shift or a swapped channel shows.
Pixels Gradient(int w, int h) {
    Pixels p;
    p.Width = w;
    p.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.Data.push_back((static_cast<std::uint32_t>(x * 2 & 0xFF) << 16) | ((y * 5 & 0xFF) << 8) | ((x + y) & 0xFF));
    return p;
}

// The clipboard's "PNG" file, decoded by the system's decoder.
bool ReadClipboardPng(Pixels& decoded) {
    std::vector<std::uint8_t> png;
    if (!ReadClipboardBytes(RegisterClipboardFormatA("PNG"), png)) return false;
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string file = std::string(dir) + "clipboard-copy.png";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    const bool ok = DecodePictureFile(file, decoded);
    DeleteFileA(file.c_str());
    return ok;
}

}  // namespace

TEST(ClipboardE2E, CopyOfAFramedRangeIsExactlyThatBitmap) {
    Program p("[Kaptor32]\r\nWait=0\r\nShow Cursor=0\r\n");
    TestPattern pattern("copy pattern", 5, 5, 200, 300);
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(pattern.Shown());
    const RECT pc = ClientRectOnScreen(pattern.Handle());
    const int cw = pc.right - pc.left, ch = pc.bottom - pc.top;
    // Lower half of the pattern: blue and yellow with grid lines, never the red frame colour.
    const RECT range{pc.left + 20, pc.top + ch / 2 + 3, pc.left + 170, pc.top + ch / 2 + 63};
    MoveMouse(GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5);
    ASSERT_TRUE(CaptureWholeScreen(w));
    // The range lies in the part of the picture the view shows.
    const RECT view = ClientRectOnScreen(FindChild(w, "TScrollBox"));
    ASSERT_GT(view.bottom - view.top, range.bottom + 2);
    ASSERT_TRUE(EnterRangeMode(w));
    ASSERT_TRUE(MarkRange(w, range.left, range.top, range.right, range.bottom))
        << "panel 1 '" << StatusPanel(MainStatusBar(w), 1) << "', panel 2 '" << StatusPanel(MainStatusBar(w), 2) << "'";
    MoveMouse(GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5);
    ASSERT_TRUE(FrameShown(w, range, 0xFF0000));

    ASSERT_TRUE(EmptyClipboardNow());
    ASSERT_FALSE(ClipboardHas(CF_BITMAP));
    ASSERT_TRUE(Activate(w));
    PressKey('C', true);
    ASSERT_TRUE(WaitFor([] { return ClipboardHas(CF_BITMAP); }, 5000));
    Pixels copied;
    ASSERT_TRUE(ReadClipboardBitmap(copied));
    ASSERT_EQ(copied.Width, 150);
    ASSERT_EQ(copied.Height, 60);
    int wrong = 0;
    for (int y = 0; y < copied.Height; ++y)
        for (int x = 0; x < copied.Width; ++x)
            if (copied.At(x, y) != TestPattern::ColorAt(range.left - pc.left + x, range.top - pc.top + y, cw, ch)) ++wrong;
    EXPECT_EQ(wrong, 0) << "of " << copied.Width * copied.Height << " pixels";
    EXPECT_TRUE(FrameShown(w, range, 0xFF0000));

    // The same pixels as a PNG file in the registered "PNG" format, read by the system's decoder.
    Pixels decoded;
    ASSERT_TRUE(ReadClipboardPng(decoded));
    EXPECT_EQ(decoded.Width, copied.Width);
    EXPECT_EQ(decoded.Height, copied.Height);
    EXPECT_TRUE(decoded.Data == copied.Data);
}

TEST(ClipboardE2E, PasteOfTextSaysTheFormatIsWrongAndChangesNothing) {
    Program p("[Kaptor32]\r\nWait=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(PutClipboardText("not a picture"));
    ASSERT_TRUE(Activate(w));
    PressKey('V', true);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞ形式が違います");
    EXPECT_TRUE(WaitFor([&] { return WindowsOf(p.Pid(), "#32770").empty(); }, 3000));
    EXPECT_EQ(StatusPanel(MainStatusBar(w), 0), "");
    RECT r;
    GetClientRect(PictureControl(w), &r);
    EXPECT_EQ(r.right, 0);
    EXPECT_TRUE(ClipboardHas(CF_TEXT));  // the program took nothing away
    EXPECT_TRUE(p.Running());
}

TEST(ClipboardE2E, PastedBitmapBecomesThePictureAtFullSize) {
    Program p("[Kaptor32]\r\nWait=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    const Pixels picture = Gradient(123, 45);
    ASSERT_TRUE(PutClipboardBitmap(picture));
    ASSERT_TRUE(Activate(w));
    PressKey('V', true);
    HWND status = MainStatusBar(w);
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 123 x 45"; }, 5000)) << StatusPanel(status, 0);
    EXPECT_EQ(StatusPanel(status, 2), "");
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
    HWND image = PictureControl(w);
    RECT r;
    GetClientRect(image, &r);
    EXPECT_EQ(r.right, 123);
    EXPECT_EQ(r.bottom, 45);
    // Shown pixel for pixel, once the view has painted it.
    const RECT shown = ClientRectOnScreen(image);
    int wrong = -1;
    WaitFor([&] {
        const auto px = ScreenPixels(shown);
        wrong = 0;
        for (int y = 0; y < 45; ++y)
            for (int x = 0; x < 123; ++x)
                if (px[static_cast<std::size_t>(y) * 123 + x] != picture.At(x, y)) ++wrong;
        return wrong == 0;
    }, 3000);
    EXPECT_EQ(wrong, 0) << "of " << 123 * 45 << " pixels";

    // Copied, then replaced by a capture and the program closed before anyone asked for the
    // PNG: it still pastes, and holds the picture that was copied.
    ASSERT_TRUE(EmptyClipboardNow());
    ASSERT_TRUE(Activate(w));
    PressKey('C', true);
    ASSERT_TRUE(WaitFor([] { return ClipboardHas(CF_BITMAP); }, 5000));
    ASSERT_TRUE(CaptureWholeScreen(w));
    p.Close();
    ASSERT_FALSE(p.Running());
    Pixels decoded;
    ASSERT_TRUE(ReadClipboardPng(decoded));
    EXPECT_EQ(decoded.Width, 123);
    EXPECT_EQ(decoded.Height, 45);
    EXPECT_TRUE(decoded.Data == picture.Data);
}
