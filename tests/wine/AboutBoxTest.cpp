// The About box: version label, icon animation and its stop on closing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestApp.h"
#include "app/AboutBox.h"
#include "framework/win/Handles.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

TAboutBox& Box() {
    MainWindow();
    if (!AboutBox) Application->CreateForm<TAboutBox>();
    return *AboutBox;
}

// The pixels an image's icon draws on white, to tell the frames apart.
std::vector<std::uint32_t> Pixels(TImage& image) {
    auto* icon = dynamic_cast<TIcon*>(image.Picture().Graphic());
    if (!icon) return {};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 32;
    bi.bmiHeader.biHeight = -32;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueBitmap bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    ScopedSelect select(dc.get(), bmp.get());
    RECT r{0, 0, 32, 32};
    FillRect(dc.get(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc.get(), 0, 0, icon->Handle(), 32, 32, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    return std::vector<std::uint32_t>(p, p + 32 * 32);
}

TEST(AboutBox, LayoutFollowsTheDesign) {
    TAboutBox& b = Box();
    EXPECT_EQ(b.Caption(), "ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(b.ClientWidth(), 247);
    EXPECT_EQ(b.ClientHeight(), 115);
    EXPECT_EQ(b.ProductName->Caption(), "Ｋａｐｔｏｒ ");
    EXPECT_EQ(b.Version->Left() + b.Version->Width(), 223);
    EXPECT_EQ(b.DefaultButton, b.OKButton);
    EXPECT_FALSE(b.FrameA->Visible());
    EXPECT_FALSE(b.FrameB->Visible());
    EXPECT_FALSE(b.RestingIcon->Visible());
    EXPECT_FALSE(b.AnimationTimer->Enabled());
    EXPECT_EQ(b.AnimationTimer->Interval(), 1000u);
    // The three frames are three different pictures, loaded with the box's window.
    b.HandleNeeded();
    EXPECT_NE(Pixels(*b.FrameA), Pixels(*b.FrameB));
    EXPECT_NE(Pixels(*b.FrameA), Pixels(*b.RestingIcon));
    EXPECT_NE(Pixels(*b.FrameB), Pixels(*b.RestingIcon));
}

TEST(AboutBox, WithoutAVersionResourceTheLabelKeepsItsTrailingBlank) {
    // The test program carries the program's resources, so a file without a version block
    // stands in for a program built without one.
    char dir[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
    const std::string path = std::string(dir) + "kaptor-no-version.exe";
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("MZ not really a program", f);
        std::fclose(f);
    }
    TAboutBox& b = Box();
    b.ReadVersion();
    ASSERT_NE(b.GetStringInfo("FileVersion"), "");  // the block of the test program itself
    b.ReadVersion(path);
    EXPECT_EQ(FileVersionText, "");
    EXPECT_EQ(b.Version->Caption(), "Version ");
    EXPECT_EQ(b.GetStringInfo("FileVersion"), "");  // nothing left from the earlier read
    DeleteFileA(path.c_str());
}

TEST(AboutBox, DoubleClickAnimatesUntilTheBoxCloses) {
    TAboutBox& b = Box();
    b.FormShow(&b);
    EXPECT_EQ(Pixels(*b.Icon), Pixels(*b.RestingIcon));
    b.IconDoubleClicked(b.Icon);
    EXPECT_TRUE(b.AnimationTimer->Enabled());
    EXPECT_EQ(Pixels(*b.Icon), Pixels(*b.FrameA));
    b.AnimationTick(b.AnimationTimer);
    EXPECT_EQ(AnimationPhase, 1);
    EXPECT_EQ(Pixels(*b.Icon), Pixels(*b.FrameB));
    b.AnimationTick(b.AnimationTimer);
    EXPECT_EQ(AnimationPhase, 0);
    EXPECT_EQ(Pixels(*b.Icon), Pixels(*b.FrameA));
    b.AnimationTick(b.AnimationTimer);
    bool canClose = false;
    b.FormCloseQuery(&b, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_FALSE(b.AnimationTimer->Enabled());
    // Shown again: the resting icon, not moving, phase reset.
    b.FormShow(&b);
    EXPECT_EQ(AnimationPhase, 0);
    EXPECT_EQ(Pixels(*b.Icon), Pixels(*b.RestingIcon));
}

TEST(AboutBox, SecondDoubleClickDoesNotRestartTheTimer) {
    TAboutBox& b = Box();
    b.FormShow(&b);
    const long long start = Milliseconds();
    b.IconDoubleClicked(b.Icon);
    while (Milliseconds() - start < 600) Pump(1);
    b.IconDoubleClicked(b.Icon);
    while (AnimationPhase == 0 && Milliseconds() - start < 3000) Pump(1);
    const long long firstTick = Milliseconds() - start;
    bool canClose = true;
    b.FormCloseQuery(&b, canClose);
    EXPECT_EQ(AnimationPhase, 1);
    // One interval after the first double-click, not after the second (which would be 1600).
    EXPECT_LT(firstTick, 1450);
    EXPECT_GE(firstTick, 900);
    // Started again, one timer ticks: the stopped one is gone.
    b.IconDoubleClicked(b.Icon);
    const long long again = Milliseconds();
    while (Milliseconds() - again < 1400) Pump(1);
    b.FormCloseQuery(&b, canClose);
    EXPECT_EQ(AnimationPhase, 0);
}

TEST(AboutBox, EscapeDoesNotCloseButTheTitleBarButtonDoesAndStopsTheTimer) {
    TAboutBox& b = Box();
    b.AnimationTimer->SetEnabled(false);
    // Esc arrives as the dialog manager's IDCANCEL; had it closed the box, the double-click
    // posted after it would never run.
    PostMessageA(b.Handle(), WM_COMMAND, IDCANCEL, 0);
    PostMessageA(b.Icon->Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
    PostMessageA(b.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    const int result = b.ShowModal();
    EXPECT_EQ(result, mrCancel);
    EXPECT_FALSE(b.AnimationTimer->Enabled());
    EXPECT_EQ(Pixels(*b.Icon), Pixels(*b.FrameA));  // the double-click did run, before closing
}

}  // namespace
