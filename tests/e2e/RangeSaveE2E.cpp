// Cropping as a user does it: capture a window of known colours, range mode, two clicks on
// the picture, then save through the real save dialog as a bitmap, a JPEG and a PNG file.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

// A window of smooth colours that differ from pixel to pixel: JPEG keeps such a picture
// closely, so a frame pixel in the file stands out, and any shift shows in a bitmap.
class GradientWindow {
public:
    GradientWindow(int x, int y, int w, int h) {
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
            wc.lpszClassName = "KaptorTestGradient";
            return RegisterClassA(&wc) != 0;
        }();
        (void)registered;
        wnd_ = CreateWindowExA(0, "KaptorTestGradient", "gradient", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        UpdateWindow(wnd_);
        e2e::Sleep(200);
    }
    ~GradientWindow() {
        if (wnd_) DestroyWindow(wnd_);
    }
    GradientWindow(const GradientWindow&) = delete;
    GradientWindow& operator=(const GradientWindow&) = delete;
    HWND Handle() const { return wnd_; }
    // The colour at client point (x, y), 0x00RRGGBB.
    static std::uint32_t ColorAt(int x, int y) {
        const std::uint32_t r = 40 + std::min(x, 200), g = 20 + std::min(y, 300) * 3 / 4, b = 90 + (x + y) / 8;
        return (r << 16) | (g << 8) | std::min<std::uint32_t>(b, 255);
    }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg != WM_PAINT) return DefWindowProcA(w, msg, wp, lp);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT r;
        GetClientRect(w, &r);
        std::vector<std::uint32_t> px(static_cast<std::size_t>(r.right) * r.bottom);
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x) px[static_cast<std::size_t>(y) * r.right + x] = ColorAt(x, y);
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        SetDIBitsToDevice(dc, 0, 0, r.right, r.bottom, 0, 0, 0, r.bottom, px.data(), &bi, DIB_RGB_COLORS);
        EndPaint(w, &ps);
        return 0;
    }
    HWND wnd_ = nullptr;
};

// The program with the gradient window beside it, captured, and a range framed inside the
// gradient (whose colours are never the red of the frame).
struct RangeSession {
    Program Prog{"[Kaptor32]\r\nWait=0\r\nShow Cursor=0\r\n"};
    GradientWindow Pattern{5, 5, 200, 300};
    HWND Main = nullptr;
    RECT Client{};  // the pattern's client area on the screen, so in the picture too
    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;

    ::testing::AssertionResult CaptureAndFrame() {
        const auto captured = Capture();
        return captured ? Frame() : captured;
    }
    ::testing::AssertionResult Capture() {
        Main = Prog.WaitMainWindow();
        if (!Main) return ::testing::AssertionFailure() << "no main window";
        RECT mainRect, patternRect, overlap;
        GetWindowRect(Main, &mainRect);
        GetWindowRect(Pattern.Handle(), &patternRect);
        if (IntersectRect(&overlap, &mainRect, &patternRect)) return ::testing::AssertionFailure() << "windows overlap";
        Client = ClientRectOnScreen(Pattern.Handle());
        X1 = Client.left + 30;
        X2 = Client.left + 150;
        Y1 = Client.top + 100;
        Y2 = Y1 + 70;
        MoveMouse(GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5);
        // What the capture takes there must be the gradient: on top and painted.
        const bool shown = WaitFor([&] {
            const auto px = ScreenPixels(Client);
            const int w = Client.right - Client.left;
            for (std::size_t i = 0; i < px.size(); ++i)
                if (px[i] != GradientWindow::ColorAt(static_cast<int>(i % w), static_cast<int>(i / w))) return false;
            return true;
        });
        if (!shown) return ::testing::AssertionFailure() << "the gradient is not on the screen";
        if (!CaptureWholeScreen(Main)) return ::testing::AssertionFailure() << "capture did not finish";
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult Frame() {
        // The range must lie in the part of the picture the view shows.
        const RECT view = ClientRectOnScreen(FindChild(Main, "TScrollBox"));
        if (view.bottom - view.top <= Y2 + 2 || view.right - view.left <= X2 + 2)
            return ::testing::AssertionFailure() << "view too small for the range";
        if (!EnterRangeMode(Main)) return ::testing::AssertionFailure() << "range mode not entered";
        if (!MarkRange(Main, X1, Y1, X2, Y2))
            return ::testing::AssertionFailure() << "range not marked: panel 1 '" << StatusPanel(MainStatusBar(Main), 1)
                                                 << "', panel 2 '" << StatusPanel(MainStatusBar(Main), 2) << "'";
        MoveMouse(GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5);
        if (!FrameShown()) return ::testing::AssertionFailure() << "no frame on the screen";
        return ::testing::AssertionSuccess();
    }
    int RangeWidth() const { return X2 - X1; }
    int RangeHeight() const { return Y2 - Y1; }
    // The captured colour of picture pixel (x, y) inside the pattern.
    std::uint32_t Expected(int x, int y) const {
        return GradientWindow::ColorAt(x - Client.left, y - Client.top);
    }
    bool FrameShown() const { return e2e::FrameShown(Main, RECT{X1, Y1, X2, Y2}, 0xFF0000); }
    static std::string TempFolder() {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        const std::string dir = std::string(base) + "k4e2e\\";
        CreateDirectoryA(dir.c_str(), nullptr);
        return dir;
    }
};

const char* const SaveTitle = "ｷｬﾌﾟﾁｬｰ画像の保存";

// Ctrl+S, the save dialog, a name and a type; true once the file is there (at path when the
// dialog is to complete the typed name).
::testing::AssertionResult SaveAs(RangeSession& s, const std::string& typed, int typeEntry, std::string path = "") {
    if (path.empty()) path = typed;
    DeleteFileA(path.c_str());
    if (!Activate(s.Main)) return ::testing::AssertionFailure() << "main window not in front";
    PressKey('S', true);
    HWND dialog = WaitDialog(s.Prog.Pid(), SaveTitle);
    if (!dialog) return ::testing::AssertionFailure() << "no save dialog";
    if (!AnswerSaveDialog(dialog, typed, typeEntry)) return ::testing::AssertionFailure() << "dialog not answered";
    // There, and let go of: the rename that puts the file in place holds it open a moment
    // longer, and a reader that shares only reading (as GDI+'s decoder does) is refused then.
    const auto settled = [&] {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        return h != INVALID_HANDLE_VALUE && CloseHandle(h);
    };
    if (!WaitFor(settled, 10000)) return ::testing::AssertionFailure() << "no file " << path;
    return ::testing::AssertionSuccess();
}

int ChannelError(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

}  // namespace

TEST(RangeSaveE2E, FramedRangeSavedAsBmpAndJpegHoldsOnlyTheRange) {
    RangeSession s;
    ASSERT_TRUE(s.CaptureAndFrame());
    const std::string dir = s.TempFolder();

    // Bitmap: exactly the range's pixels, none of the frame's.
    const std::string bmp = dir + "range.bmp";
    ASSERT_TRUE(SaveAs(s, bmp, 1));
    Pixels saved;
    ASSERT_TRUE(ReadBmpFile(bmp, saved));
    ASSERT_EQ(saved.Width, s.RangeWidth());
    ASSERT_EQ(saved.Height, s.RangeHeight());
    int wrong = 0;
    for (int y = 0; y < saved.Height; ++y)
        for (int x = 0; x < saved.Width; ++x)
            if (saved.At(x, y) != s.Expected(s.X1 + x, s.Y1 + y)) ++wrong;
    EXPECT_EQ(wrong, 0) << "of " << saved.Width * saved.Height << " pixels";
    EXPECT_TRUE(s.FrameShown()) << "after the bitmap save";
    EXPECT_TRUE(WindowsOf(s.Prog.Pid(), "#32770").empty());

    // JPEG: the same pixels within what quality 90 with subsampled colour keeps of a smooth
    // picture. A frame pixel (pure red on the gradient) would be off by far more.
    const std::string jpg = dir + "range.jpg";
    ASSERT_TRUE(SaveAs(s, jpg, 2));
    const auto head = FileStart(jpg, 3);
    ASSERT_EQ(head.size(), 3u);
    EXPECT_EQ(head[0], 0xFF);
    EXPECT_EQ(head[1], 0xD8);
    Pixels decoded;
    ASSERT_TRUE(DecodePictureFile(jpg, decoded));
    ASSERT_EQ(decoded.Width, s.RangeWidth());
    ASSERT_EQ(decoded.Height, s.RangeHeight());
    long long total = 0;
    int worst = 0, worstBorder = 0;
    for (int y = 0; y < decoded.Height; ++y)
        for (int x = 0; x < decoded.Width; ++x) {
            const int e = ChannelError(decoded.At(x, y), s.Expected(s.X1 + x, s.Y1 + y));
            total += e;
            worst = std::max(worst, e);
            if (x == 0 || y == 0 || x == decoded.Width - 1 || y == decoded.Height - 1) worstBorder = std::max(worstBorder, e);
        }
    const double mean = static_cast<double>(total) / (decoded.Width * decoded.Height);
    EXPECT_LT(mean, 3.0);
    EXPECT_LE(worst, 16);
    EXPECT_LE(worstBorder, 16);
    EXPECT_TRUE(s.FrameShown()) << "after the JPEG save";
    DeleteFileA(bmp.c_str());
    DeleteFileA(jpg.c_str());
}

TEST(RangeSaveE2E, TypeEntryTwoWithABmpNameWritesJpeg) {
    RangeSession s;
    ASSERT_TRUE(s.CaptureAndFrame());
    const std::string path = s.TempFolder() + "typed.bmp";
    ASSERT_TRUE(SaveAs(s, path, 2));
    const auto head = FileStart(path, 3);
    ASSERT_EQ(head.size(), 3u);
    EXPECT_EQ(head[0], 0xFF);
    EXPECT_EQ(head[1], 0xD8);
    EXPECT_EQ(head[2], 0xFF);
    Pixels decoded;
    ASSERT_TRUE(DecodePictureFile(path, decoded));
    EXPECT_EQ(decoded.Width, s.RangeWidth());
    EXPECT_EQ(decoded.Height, s.RangeHeight());
    EXPECT_TRUE(s.FrameShown());
    DeleteFileA(path.c_str());
}

TEST(RangeSaveE2E, CaptureAndRangeSavedAsPngHoldExactlyTheirPixels) {
    RangeSession s;
    ASSERT_TRUE(s.Capture());
    const std::string dir = s.TempFolder();
    // The whole capture: the PNG decodes (by the system's decoder) to the bitmap's pixels.
    const std::string bmp = dir + "whole.bmp", png = dir + "whole.png";
    ASSERT_TRUE(SaveAs(s, bmp, 1));
    ASSERT_TRUE(SaveAs(s, png, 3));
    Pixels captured, decoded;
    ASSERT_TRUE(ReadBmpFile(bmp, captured));
    ASSERT_TRUE(DecodePictureFile(png, decoded));
    ASSERT_EQ(decoded.Width, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(decoded.Height, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(decoded.Data == captured.Data);
    EXPECT_EQ(decoded.At(s.Client.left + 7, s.Client.top + 9), s.Expected(s.Client.left + 7, s.Client.top + 9));

    // The range, typed without extension: the PNG entry gives it ".png".
    ASSERT_TRUE(s.Frame());
    const std::string range = dir + "range.png";
    ASSERT_TRUE(SaveAs(s, dir + "range", 3, range));
    ASSERT_TRUE(DecodePictureFile(range, decoded)) << DecodeFailure();
    ASSERT_EQ(decoded.Width, s.RangeWidth());
    ASSERT_EQ(decoded.Height, s.RangeHeight());
    int wrong = 0;
    for (int y = 0; y < decoded.Height; ++y)
        for (int x = 0; x < decoded.Width; ++x)
            if (decoded.At(x, y) != s.Expected(s.X1 + x, s.Y1 + y)) ++wrong;
    EXPECT_EQ(wrong, 0) << "of " << decoded.Width * decoded.Height << " pixels";
    EXPECT_TRUE(s.FrameShown());
    for (const std::string& f : {bmp, png, range}) DeleteFileA(f.c_str());
}
