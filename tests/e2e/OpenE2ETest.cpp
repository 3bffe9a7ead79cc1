// Opening picture files from outside: drops on the view, the confirmation, failures that keep
// the old picture, a JPEG over a framed range, and a file named on the command line.
//
// The drop is a real WM_DROPFILES posted to the view with a DROPFILES block from GlobalAlloc
// in this process, as the shell builds it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

const char* const Replace = "現在の画像を置き換えてもよろしいですか？";

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

// A JPEG of our own fuzz corpus (24 x 17), in the source tree.
std::string JpegFile() {
    std::string src = __FILE__;
    for (char& c : src)
        if (c == '/') c = '\\';
    const std::string root = src.substr(0, src.rfind("\\tests\\"));
    return (root[0] == '\\' ? "Z:" : "") + root + "\\tests\\fuzz\\corpus\\jpeg\\baseline-444.jpg";
}

HWND StatusBarOf(HWND main) { return FindChild(main, "msctls_statusbar32"); }
HWND ImageOf(HWND main) { return FindChild(main, "TImage"); }
HWND ViewOf(HWND main) { return GetParent(ImageOf(main)); }

SIZE ImageSize(HWND main) {
    RECT r;
    GetClientRect(ImageOf(main), &r);
    return SIZE{r.right, r.bottom};
}

void PostDrop(HWND target, const std::vector<std::string>& names) {
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const auto& n : names) size += n.size() + 1;
    HGLOBAL mem = GlobalAlloc(GHND, size);
    auto* block = static_cast<DROPFILES*>(GlobalLock(mem));
    block->pFiles = sizeof(DROPFILES);
    block->pt = POINT{20, 20};
    char* p = reinterpret_cast<char*>(block + 1);
    for (const auto& n : names) {
        std::memcpy(p, n.c_str(), n.size() + 1);
        p += n.size() + 1;
    }
    GlobalUnlock(mem);
    PostMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

bool SizeShown(HWND main, int w, int h) {
    return WaitFor([&] {
        SIZE s = ImageSize(main);
        return s.cx == w && s.cy == h;
    }, 5000);
}

}  // namespace

TEST(OpenE2E, DropsAskCancelKeepOkReplaceAndFailuresKeepThePicture) {
    const std::string red = BmpFile("red.bmp", 50, 40, 255, 0, 0);
    const std::string shot = BmpFile("shot.BMP", 64, 30, 0, 0, 255);
    Program p("[Kaptor32]\r\nWait=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    HWND view = ViewOf(w);
    ASSERT_NE(view, nullptr);
    HWND status = StatusBarOf(w);

    // Empty view: no question.
    PostDrop(view, {red});
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 50 x 40"; }, 8000))
        << StatusPanel(status, 0);
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
    EXPECT_TRUE(SizeShown(w, 50, 40));

    // A picture is shown: asked; Cancel keeps it.
    PostDrop(view, {shot});
    EXPECT_EQ(AnswerMessageBox(p.Pid(), IDCANCEL), Replace);
    Sleep(300);
    EXPECT_EQ(StatusPanel(status, 0), "ｻｲｽﾞ : 50 x 40");
    EXPECT_TRUE(SizeShown(w, 50, 40));

    // OK replaces it (upper-case extension).
    PostDrop(view, {shot});
    EXPECT_EQ(AnswerMessageBox(p.Pid(), IDOK), Replace);
    EXPECT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == "ｻｲｽﾞ : 64 x 30"; }, 5000));
    EXPECT_TRUE(SizeShown(w, 64, 30));

    // Two files: the message, nothing else.
    PostDrop(view, {red, shot});
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "複数ﾌｧｲﾙのﾄﾞﾗｯｸﾞはできません");
    Sleep(300);
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
    EXPECT_TRUE(SizeShown(w, 64, 30));

    // A text file and an icon fail with their texts; the picture stays.
    PostDrop(view, {TextFile("notes.txt")});
    EXPECT_EQ(AnswerMessageBox(p.Pid(), IDOK), Replace);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ｵｰﾌﾟﾝに失敗！：［拡張子 .txt の画像形式は処理できません］");
    PostDrop(view, {IcoFile("red.ico")});
    EXPECT_EQ(AnswerMessageBox(p.Pid(), IDOK), Replace);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ｵｰﾌﾟﾝに失敗！：［TIcon を TBitmap に代入することはできません］");
    Sleep(300);
    EXPECT_EQ(StatusPanel(status, 0), "ｻｲｽﾞ : 64 x 30");
    EXPECT_TRUE(SizeShown(w, 64, 30));
    EXPECT_TRUE(p.Running());
}

TEST(OpenE2E, JpegDroppedOverAFramedRangeLeavesRangeMode) {
    const std::string big = BmpFile("big.bmp", 200, 150, 0, 128, 0);
    Program p("[Kaptor32]\r\nWait=0\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    HWND view = ViewOf(w);
    HWND status = StatusBarOf(w);
    PostDrop(view, {big});
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

    PostDrop(view, {JpegFile()});
    EXPECT_EQ(AnswerMessageBox(p.Pid(), IDOK), Replace);
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
