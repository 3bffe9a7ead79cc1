// The main window driven from outside: first start, whole-screen capture, start-up capture.
#include <gtest/gtest.h>

#include "Driver.h"

using namespace e2e;

namespace {

HWND StatusBarOf(HWND main) { return FindChild(main, "msctls_statusbar32"); }

// The view's picture control (our own window class) inside the scroll box.
HWND ImageOf(HWND main) { return FindChild(FindChild(main, "TScrollBox"), "TImage"); }

}  // namespace

TEST(FirstStart, WindowCentredWithEmptyPanelsAndNoSettingsFileWritten) {
    Program p;
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(WindowText(w), "Kaptor32");
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 594);
    EXPECT_EQ(client.bottom, 348);
    RECT r;
    GetWindowRect(w, &r);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR((r.left + r.right) / 2, sw / 2, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, sh / 2, 1);
    HWND status = StatusBarOf(w);
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(IsWindowVisible(status));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(StatusPanel(status, i), "") << i;
    // Picture commands have no effect yet: Ctrl+S opens nothing.
    ASSERT_TRUE(Activate(w));
    PressKey('S', true);
    Sleep(300);
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
    p.Close();
    EXPECT_EQ(GetFileAttributesA(p.IniPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WholeScreenCapture, F5ShowsTheScreenPixelForPixel) {
    // No waiting and no cursor: the picture must be exactly the screen.
    Program p("[Kaptor32]\r\nWait=0\r\nShow Cursor=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    // A pattern of known colours, placed where the view will show it at 100 %.
    TestPattern pattern("pattern", 10, 30, 200, 140);
    ASSERT_TRUE(pattern.Shown());
    RECT pc = ClientRectOnScreen(pattern.Handle());
    MoveMouse(GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5);
    ASSERT_TRUE(Activate(w));
    PressKey(VK_F5);
    HWND status = StatusBarOf(w);
    const std::string size = "ｻｲｽﾞ : " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                             std::to_string(GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == size; }, 10000)) << StatusPanel(status, 0);
    EXPECT_TRUE(IsWindowVisible(w));
    Sleep(300);
    // The view shows picture pixel (x, y) at the picture control's client point (x, y).
    HWND image = ImageOf(w);
    ASSERT_NE(image, nullptr);
    RECT ir = ClientRectOnScreen(image);
    EXPECT_EQ(ir.right - ir.left, GetSystemMetrics(SM_CXSCREEN));
    const int cw = pc.right - pc.left, ch = pc.bottom - pc.top;
    RECT shown{ir.left + pc.left, ir.top + pc.top, ir.left + pc.right, ir.top + pc.bottom};
    auto px = ScreenPixels(shown);
    int wrong = 0;
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x)
            if (px[static_cast<std::size_t>(y) * cw + x] != TestPattern::ColorAt(x, y, cw, ch)) ++wrong;
    EXPECT_EQ(wrong, 0) << "of " << cw * ch << " pixels";
}

TEST(StartUpCapture, RunCaptureTakesThePictureBeforeTheWindowShows) {
    Program p("[Kaptor32]\r\nRunCapture=1\r\n");
    HWND w = p.WaitMainWindow(true, 20000);
    ASSERT_NE(w, nullptr);
    HWND status = StatusBarOf(w);
    EXPECT_TRUE(WaitFor([&] { return StatusPanel(status, 0).rfind("ｻｲｽﾞ : ", 0) == 0; }, 5000))
        << StatusPanel(status, 0);
}

TEST(WholeScreenCapture, KeysWorkAtOnceAfterTheCaptureAndTheSaveDialogFitsTheScreen) {
    // The window hides for the capture and comes back: the user's next key must reach it
    // without a click first.
    Program p("[Kaptor32]\r\nWait=0\r\nHideForm=1\r\nShow Cursor=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(Activate(w));
    PressKey(VK_F5);
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(StatusBarOf(w), 0).rfind("ｻｲｽﾞ : ", 0) == 0; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(w) != 0; }, 5000));
    Sleep(500);
    PressKey('S', true);
    HWND dialog = WaitDialog(p.Pid(), "ｷｬﾌﾟﾁｬｰ画像の保存", 15000);
    ASSERT_NE(dialog, nullptr) << "Ctrl+S after the capture opened nothing";
    // Our preview pane makes the dialog wider than the system places it for: it is moved
    // back inside the screen.
    RECT r;
    ASSERT_TRUE(WaitFor(
        [&] {
            GetWindowRect(dialog, &r);
            return r.right <= GetSystemMetrics(SM_CXSCREEN) && r.left >= 0;
        },
        3000))
        << r.left << ".." << r.right;
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000));
}
