// The after-capture actions from outside: every capture saved under the name pattern (never
// over a file that is there) and copied; a folder that takes no file keeps the picture and
// says so once.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

#include "Driver.h"

using namespace e2e;

TEST(AfterCaptureE2E, ThreeCapturesGiveThreeFilesOfTheScreenAndAnUnwritableFolderOneMessage) {
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    const std::string folder = std::string(tmp) + "kaptor-after-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string there = folder + "shot-Screen-001.png";  // the counter must step over it
    std::ofstream(there, std::ios::binary) << "not ours";
    TestPattern pattern("after-capture pattern", 5, 5, 200, 300);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    {
        Program p("[Kaptor32]\r\nWait=0\r\nShow Cursor=0\r\nCopy After Capture=1\r\nSave After Capture=1\r\n"
                  "Save Folder=" + folder + "\r\nSave Name=shot-%k-%n\r\n");
        HWND w = p.WaitMainWindow();
        ASSERT_TRUE(w && pattern.Shown());
        const RECT pc = ClientRectOnScreen(pattern.Handle());
        const int cw = pc.right - pc.left, ch = pc.bottom - pc.top;
        for (int i = 2; i <= 4; ++i) {
            const std::string file = folder + "shot-Screen-00" + std::to_string(i) + ".png";
            ASSERT_TRUE(Activate(w));
            PressKey(VK_F5);
            const std::string said = "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰし、" + file + " に保存しました";
            ASSERT_TRUE(WaitFor([&] { return StatusPanel(MainStatusBar(w), 3) == said; }, 15000))
                << StatusPanel(MainStatusBar(w), 3);
            Pixels saved, copied;
            ASSERT_TRUE(DecodePictureFile(file, saved) && saved.Width == sw && saved.Height == sh) << file;
            int wrong = 0;
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    if (saved.At(pc.left + x, pc.top + y) != TestPattern::ColorAt(x, y, cw, ch)) ++wrong;
            EXPECT_EQ(wrong, 0) << file;
            ASSERT_TRUE(ReadClipboardBitmap(copied));
            EXPECT_TRUE(copied.Data == saved.Data) << file;
        }
        EXPECT_EQ(FileStart(there, 16), (std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'o', 'u', 'r', 's'}));
    }
    for (int i = 2; i <= 4; ++i) DeleteFileA((folder + "shot-Screen-00" + std::to_string(i) + ".png").c_str());

    // A file stands where the folder should be: nothing can be made in it.
    Program p("[Kaptor32]\r\nWait=0\r\nSave After Capture=1\r\nSave Folder=" + there + "\r\n");
    HWND w = p.WaitMainWindow();
    ASSERT_TRUE(w && Activate(w));
    PressKey(VK_F5);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "保存が失敗しました");
    // Once: no second message comes, and the picture is in the window.
    Sleep(1500);
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
    EXPECT_EQ(StatusPanel(MainStatusBar(w), 0), SizeText(sw, sh));
    EXPECT_EQ(StatusPanel(MainStatusBar(w), 3), "");
    p.Close();
    DeleteFileA(there.c_str());
    RemoveDirectoryA(folder.c_str());
}
