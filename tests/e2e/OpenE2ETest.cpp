// Opening picture files from outside: drops on the view, the confirmation, failures that keep
// the old picture, a JPEG over a framed range, a file named on the command line, a PNG with
// alpha and a PNG cut short.
//
// Drops are tested in process (a real WM_DROPFILES with a DROPFILES block from GlobalAlloc,
// sent to the view): under Wine a WM_DROPFILES posted from another process arrives with the
// sender's memory handle, which is not valid in the program. From outside, files are opened
// through the tool button and the open dialog, and named on the command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

std::string TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base) + "k8e2e\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void Put16(std::vector<std::uint8_t>& v, unsigned x) {
    v.push_back(x & 0xFF);
    v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A w x h 24-bit bitmap file in one colour.
std::string BmpFile(const std::string& name, int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const int stride = (w * 3 + 3) & ~3;
    std::vector<std::uint8_t> v{'B', 'M'};
    Put32(v, 54 + stride * h);
    Put32(v, 0);
    Put32(v, 54);
    Put32(v, 40);
    Put32(v, w);
    Put32(v, h);
    Put16(v, 1);
    Put16(v, 24);
    for (int i = 0; i < 6; ++i) Put32(v, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) v.insert(v.end(), {b, g, r});
        v.resize(v.size() + stride - w * 3, 0);
    }
    const std::string path = TempFolder() + name;
    Write(path, v);
    return path;
}

// A 16 x 16, 32-bit icon file.
std::string IcoFile(const std::string& name) {
    std::vector<std::uint8_t> v;
    Put16(v, 0);
    Put16(v, 1);
    Put16(v, 1);
    const std::uint32_t size = 40 + 16 * 16 * 4 + 16 * 4;
    v.insert(v.end(), {16, 16, 0, 0});
    Put16(v, 1);
    Put16(v, 32);
    Put32(v, size);
    Put32(v, 22);
    Put32(v, 40);
    Put32(v, 16);
    Put32(v, 32);
    Put16(v, 1);
    Put16(v, 32);
    for (int i = 0; i < 6; ++i) Put32(v, 0);
    for (int i = 0; i < 16 * 16; ++i) v.insert(v.end(), {0, 0, 255, 255});
    v.resize(v.size() + 16 * 4, 0);
    const std::string path = TempFolder() + name;
    Write(path, v);
    return path;
}

std::string TextFile(const std::string& name) {
    const std::string path = TempFolder() + name;
    std::ofstream(path) << "not a picture";
    return path;
}

// A file of the source tree's tests folder, as a full path the program can open.
std::string TestsFile(const std::string& relative) {
    std::string root = KAPTOR_SOURCE_DIR;
    for (char& c : root)
        if (c == '/') c = '\\';
    return "Z:" + root + "\\tests\\" + relative;
}

// A JPEG of our own fuzz corpus (24 x 17).
std::string JpegFile() { return TestsFile("fuzz\\corpus\\jpeg\\baseline-444.jpg"); }

HWND StatusBarOf(HWND main) { return FindChild(main, "msctls_statusbar32"); }
// The view and its picture control.
HWND ViewOf(HWND main) { return FindChild(main, "TScrollBox"); }
HWND ImageOf(HWND main) { return FindChild(ViewOf(main), "TImage"); }

SIZE ImageSize(HWND main) {
    RECT r;
    GetClientRect(ImageOf(main), &r);
    return SIZE{r.right, r.bottom};
}

// Clicks the "開く" tool button, types the name into the open dialog and confirms it.
bool OpenThroughDialog(DWORD pid, HWND main, const std::string& file) {
    HWND toolbar = FindChild(main, "ToolbarWindow32");
    if (!toolbar) return false;
    RECT t = ClientRectOnScreen(toolbar);
    Click(t.left + 52 + 26, t.top + 20);  // the second button, 52 pixels wide
    HWND dialog = nullptr;
    if (!WaitFor([&] {
            auto boxes = WindowsOf(pid, "#32770");
            dialog = boxes.empty() ? nullptr : boxes.front();
            return dialog != nullptr;
        }, 8000))
        return false;
    Sleep(300);
    HWND name = GetDlgItem(dialog, 0x47C);  // the file name combo box
    if (!name) name = GetDlgItem(dialog, 0x480);
    if (!name) return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return WaitFor([&] { return !IsWindow(dialog); }, 5000);
}

::testing::AssertionResult SizeShown(HWND main, int w, int h) {
    SIZE s{};
    if (WaitFor([&] {
            s = ImageSize(main);
            return s.cx == w && s.cy == h;
        }, 5000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "picture control is " << s.cx << " x " << s.cy;
}

}  // namespace

TEST(OpenE2E, DialogOpensWithoutAskingAndFailuresKeepThePicture) {
    const std::string red = BmpFile("red.bmp", 50, 40, 255, 0, 0);
    const std::string shot = BmpFile("shot.BMP", 64, 30, 0, 0, 255);
    Program p("[Kaptor32]\r\nWait=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    HWND status = StatusBarOf(w);

    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, red));
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 50 x 40"; }, 8000))
        << "panel 0: " << StatusPanel(status, 0);
    EXPECT_TRUE(SizeShown(w, 50, 40));
    HWND zoom = FindChild(w, "Edit");
    SendMessageA(zoom, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("200"));
    ASSERT_TRUE(SizeShown(w, 100, 80));

    // A picture is shown: the dialog still does not ask. Upper-case extension. Shown at
    // 100 %, and the zoom box says so.
    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, shot));
    EXPECT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 64 x 30"; }, 5000));
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
    EXPECT_TRUE(SizeShown(w, 64, 30));
    EXPECT_EQ(WindowText(zoom), "100");

    // A text file and an icon fail with their texts; the picture stays.
    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, TextFile("notes.txt")));
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ｵｰﾌﾟﾝに失敗！：［拡張子 .txt の画像形式は処理できません］");
    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, IcoFile("red.ico")));
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ｵｰﾌﾟﾝに失敗！：［TIcon を TBitmap に代入することはできません］");
    Sleep(300);
    EXPECT_EQ(StatusPanel(status, 0), "ｻｲｽﾞ : 64 x 30");
    EXPECT_TRUE(SizeShown(w, 64, 30));
    EXPECT_TRUE(p.Running());
}

TEST(OpenE2E, JpegOpenedOverAFramedRangeLeavesRangeMode) {
    const std::string big = BmpFile("big.bmp", 200, 150, 0, 128, 0);
    Program p("[Kaptor32]\r\nWait=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    HWND status = StatusBarOf(w);
    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, big));
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 200 x 150"; }, 8000));

    // Range mode through its button, then two clicks on the picture.
    HWND rangeButton = FindChild(w, "Button", 0);
    ASSERT_NE(rangeButton, nullptr);
    RECT b = ClientRectOnScreen(rangeButton);
    Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(rangeButton, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 3000));
    RECT ir = ClientRectOnScreen(ImageOf(w));
    Click(ir.left + 20, ir.top + 20);
    Sleep(200);
    MoveMouse(ir.left + 80, ir.top + 60);
    Sleep(200);
    Click(ir.left + 80, ir.top + 60);
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 2).rfind("範囲 : ", 0) == 0; }, 3000))
        << StatusPanel(status, 2);

    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, JpegFile()));
    EXPECT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 24 x 17"; }, 5000)) << StatusPanel(status, 0);
    EXPECT_EQ(StatusPanel(status, 2), "");
    EXPECT_TRUE(SizeShown(w, 24, 17));
    EXPECT_EQ(SendMessageA(rangeButton, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST(OpenE2E, CommandLinePictureShownWithPanelZeroEmpty) {
    const std::string pic = BmpFile("start.bmp", 70, 45, 10, 20, 30);
    Program p("[Kaptor32]\r\nRunCapture=1\r\n", "\"" + pic + "\"");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(SizeShown(w, 70, 45));
    EXPECT_EQ(StatusPanel(StatusBarOf(w), 0), "");
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
}

TEST(OpenE2E, CommandLineTextFileFailsBeforeTheWindowShows) {
    const std::string txt = TextFile("start.txt");
    Program p("", "\"" + txt + "\"");
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        auto boxes = WindowsOf(p.Pid(), "#32770");
        box = boxes.empty() ? nullptr : boxes.front();
        return box != nullptr;
    }, 15000));
    // The main window is not shown yet while the message is up.
    EXPECT_TRUE(WindowsOf(p.Pid(), "TKaptor32", true).empty());
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ｵｰﾌﾟﾝに失敗！：［拡張子 .txt の画像形式は処理できません］");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(StatusPanel(StatusBarOf(w), 0), "");
    EXPECT_TRUE(SizeShown(w, 0, 0));
}

TEST(OpenE2E, PngWithAlphaOpensOverWhiteAndACutShortOneFailsKeepingIt) {
    // A 13 x 11 PNG with an alpha ramp, and what ImageMagick makes of it over white (it blends
    // at 16 bits and we round at 8, hence one step of slack; over black would be far off).
    const std::string png = TestsFile("data\\png\\rgba8.png");
    std::ifstream in(TestsFile("data\\png\\rgba8.rgb"), std::ios::binary);
    const std::vector<std::uint8_t> want{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::ifstream whole(png, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(whole), std::istreambuf_iterator<char>()};
    const std::string cut = TempFolder() + "cut.png";
    Write(cut, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() - 30)});
    ASSERT_EQ(want.size(), 13u * 11 * 3);
    Program p("[Kaptor32]\r\nWait=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    HWND status = StatusBarOf(w);
    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, png));
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 13 x 11"; }, 8000)) << StatusPanel(status, 0);
    auto wrongPixels = [&] {
        const std::vector<std::uint32_t> shown = ScreenPixels(ClientRectOnScreen(ImageOf(w)));
        int wrong = shown.size() == 13 * 11 ? 0 : 143;
        for (std::size_t i = 0; i < shown.size() && !wrong; ++i)
            for (int c = 0; c < 3; ++c)
                if (std::abs(static_cast<int>((shown[i] >> (16 - 8 * c)) & 0xFF) - want[i * 3 + c]) > 1) ++wrong;
        return wrong;
    };
    int wrong = -1;
    WaitFor([&] { return (wrong = wrongPixels()) == 0; }, 3000);
    EXPECT_EQ(wrong, 0);

    ASSERT_TRUE(OpenThroughDialog(p.Pid(), w, cut));
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ｵｰﾌﾟﾝに失敗！：［PNG ﾌｧｲﾙが途中で切れています］");
    Sleep(300);
    EXPECT_EQ(StatusPanel(status, 0), "ｻｲｽﾞ : 13 x 11");
    EXPECT_EQ(wrongPixels(), 0);
    EXPECT_TRUE(p.Running());
}
