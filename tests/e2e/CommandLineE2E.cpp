// The command line from a script: a window captured by its title saves exactly its pixels and
// exits 0; a bad switch exits 1 and writes nothing; a second start hands its request to the
// program already running and exits with its answer.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

// The file holds exactly the pattern's client area.
void ExpectPattern(const Pixels& saved, HWND pattern) {
    const RECT pc = ClientRectOnScreen(pattern);
    const int w = pc.right - pc.left, h = pc.bottom - pc.top;
    ASSERT_EQ(saved.Width, w);
    ASSERT_EQ(saved.Height, h);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) wrong += saved.At(x, y) != TestPattern::ColorAt(x, y, w, h);
    EXPECT_EQ(wrong, 0);
}

}  // namespace

TEST(CommandLineE2E, ATitledWindowSavesItsPixelsABadSwitchWritesNothingASecondStartHandsOver) {
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    const std::string base = std::string(tmp) + "kaptor-cmdline-" + std::to_string(GetCurrentProcessId());
    TestPattern pattern("command-line pattern", 60, 50, 240, 180);
    ASSERT_TRUE(pattern.Shown());
    const std::string ini = "[Kaptor32]\r\nWait=3\r\nShow Cursor=0\r\nCapture Client=1\r\n";
    const std::string window = "/capture=window:\"command-line pattern\" /delay=0 ";

    const std::string png = base + ".png";
    {
        Program p(ini, window + "/save=\"" + png + "\" /quit");
        EXPECT_EQ(p.ExitCode(), 0u);
    }
    Pixels saved;
    ASSERT_TRUE(DecodePictureFile(png, saved));
    ExpectPattern(saved, pattern.Handle());
    DeleteFileA(png.c_str());

    // Nothing is captured: no file, no window, status 1 (a type we do not write, a bad delay,
    // no window title, a file among the switches).
    const std::string bad = base + "-bad";
    const std::string told = base + ".txt";
    for (const std::string& args : {"/capture=screen /save=\"" + bad + ".gif\" /quit",
                                    "/capture=screen /delay=x /save=\"" + bad + ".png\" /quit",
                                    "/capture=window: /save=\"" + bad + ".png\" /quit",
                                    "/capture=screen x.png /save=\"" + bad + ".png\" /quit"}) {
        Program p(ini, args, told);
        EXPECT_EQ(p.ExitCode(), 1u) << args;
    }
    // The script is told which switch, on its standard error.
    const std::vector<std::uint8_t> start = FileStart(told, 200);
    EXPECT_EQ(std::string(start.begin(), start.end()).rfind("ｽｲｯﾁが正しくありません：［x.png］", 0), 0u);
    DeleteFileA(told.c_str());
    EXPECT_EQ(GetFileAttributesA((bad + ".gif").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((bad + ".png").c_str()), INVALID_FILE_ATTRIBUTES);

    // The running program takes it with its own options (the second start's have no client
    // capture) and answers; a title that is nowhere gives 3.
    Program running(ini);
    HWND main = running.WaitMainWindow();
    ASSERT_TRUE(main);
    const std::string bmp = base + ".bmp";
    {
        Program second("", window + "/save=\"" + bmp + "\" /copy /quit");
        EXPECT_EQ(second.ExitCode(), 0u);
    }
    ASSERT_TRUE(ReadBmpFile(bmp, saved));
    ExpectPattern(saved, pattern.Handle());
    EXPECT_EQ(StatusPanel(MainStatusBar(main), 3), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰし、" + bmp + " に保存しました");
    {
        Program second("", "/capture=window:nowhere /delay=0 /save=\"" + bmp + "\" /quit");
        EXPECT_EQ(second.ExitCode(), 3u);
    }
    EXPECT_TRUE(running.Running());
    DeleteFileA(bmp.c_str());
}
