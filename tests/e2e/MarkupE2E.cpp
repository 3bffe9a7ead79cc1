// Markup drawn as a user draws it, read back from the clipboard, a saved PNG and the screen:
// shapes at zoom 100 and 200, a redaction and a pixelation over a pattern, and undo.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "Driver.h"

using namespace e2e;

namespace {

constexpr int W = 320, H = 240;
constexpr std::uint32_t White = 0xFFFFFF, Red = 0xFF0000, Black = 0x000000;
const RECT Pattern{200, 100, 260, 160};  // a checker of two colours no markup uses

std::uint32_t Original(int x, int y) {
    const bool inPattern = x >= Pattern.left && x < Pattern.right && y >= Pattern.top && y < Pattern.bottom;
    return !inPattern ? White : (x + y) % 2 ? 0xFF8000 : 0x00C0FF;
}

std::string PictureFile() {
    return WriteTempBmp("markup.bmp", W, H, Original);
}

struct Find {
    std::string text;
    HWND found;
};
BOOL CALLBACK FindVisible(HWND w, LPARAM p) {
    auto* f = reinterpret_cast<Find*>(p);
    if (IsWindowVisible(w) && WindowText(w) == f->text) f->found = w;
    return f->found ? FALSE : TRUE;
}

struct MarkupSession {
    Program Prog{"[Kaptor32]\r\nRunCapture=0\r\nShowBar=1\r\nShowStsBar=1\r\n", "\"" + PictureFile() + "\""};
    HWND Main = Prog.WaitMainWindow();

    // The markup band's button with that caption, once it shows.
    HWND Button(const std::string& caption) {
        Find find{caption, nullptr};
        WaitFor([&] {
            EnumChildWindows(Main, FindVisible, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        }, 5000);
        return find.found;
    }
    bool Press(const std::string& caption) {
        HWND b = Button(caption);
        if (!b || !Activate(Main)) return false;
        const RECT r = ClientRectOnScreen(b);
        Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return true;
    }
    bool Start() {
        if (!Main || !Activate(Main)) return false;
        PressKey('D', true);
        return Button("□") != nullptr;
    }
    // A drag on the picture between display points (the view not scrolled).
    void DragOn(int x1, int y1, int x2, int y2) {
        const RECT pic = ClientRectOnScreen(PictureControl(Main));
        Drag(pic.left + x1, pic.top + y1, pic.left + x2, pic.top + y2);
    }
    bool Zoom(int to) {  // the zoom box's up arrow key, from 100
        HWND box = FindChild(Main, "Edit");
        const RECT b = ClientRectOnScreen(box);
        Activate(Main);
        Click(b.left + 8, (b.top + b.bottom) / 2);
        for (int i = 100; i < to; ++i) PressKey(VK_UP);
        return WaitFor([&] { return WindowText(box) == std::to_string(to); }, 20000);
    }
};

// Pixels of r that still show the pattern.
int PatternLeft(const Pixels& p, const RECT& r) {
    int left = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) left += p.At(x, y) == Original(x, y);
    return left;
}

}  // namespace

TEST(MarkupE2E, ShapesLandOnTheirPicturePixelsAtZoom100And200) {
    MarkupSession s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.Press("□"));  // red, 3 pixels wide, not filled
    s.DragOn(20, 20, 110, 70);
    ASSERT_TRUE(s.Press("→"));
    s.DragOn(20, 150, 150, 150);
    // Edited: the box's bottom-right handle dragged out and the box made blue; a line placed,
    // selected and deleted.
    ASSERT_TRUE(s.Press("選択"));
    s.DragOn(110, 70, 110, 70);  // selected: its handles show
    s.DragOn(110, 70, 120, 80);
    ASSERT_TRUE(s.Press("青"));
    ASSERT_TRUE(s.Press("／"));
    s.DragOn(250, 200, 300, 200);
    ASSERT_TRUE(s.Press("選択"));
    s.DragOn(275, 200, 275, 200);
    PressKey(VK_DELETE);
    ASSERT_TRUE(s.Press("赤"));
    // A pen stroke, selected and moved down as a whole.
    ASSERT_TRUE(s.Press("ﾍﾟﾝ"));
    s.DragOn(30, 190, 70, 190);
    ASSERT_TRUE(s.Press("選択"));
    s.DragOn(50, 190, 50, 215);
    // Text: Latin and Japanese typed into the text box, in red.
    ASSERT_TRUE(s.Press("ﾃｷｽﾄ"));
    const RECT pic = ClientRectOnScreen(PictureControl(s.Main));
    Click(pic.left + 220, pic.top + 60);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = FindWindowA("TMarkupTextDialog", "ﾃｷｽﾄ")) && IsWindowVisible(dialog); }));
    TypeText("Ab");
    // Japanese pasted: Wine here has no IME, and Unicode key input reaches the program's
    // windows as "・".
    HWND edit = FindChild(dialog, "Edit");
    ASSERT_TRUE(PutClipboardText("字"));
    PressKey('V', true);
    ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "Ab字"; }, 3000)) << WindowText(edit);
    PressKey(VK_RETURN);
    TypeText("W");
    const RECT ok = ClientRectOnScreen(FindChild(dialog, "Button"));
    Click((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 3000));
    ASSERT_TRUE(s.Zoom(200));
    ASSERT_TRUE(s.Press("□"));
    s.DragOn(320, 40, 400, 100);  // picture (160, 20)-(200, 50)
    SaveShot("markup at 200");
    Pixels p;
    ASSERT_TRUE(CopyPicture(s.Main, p));
    ASSERT_EQ(p.Width, W);
    ASSERT_EQ(p.Height, H);
    for (auto [x, y] : {std::pair{20, 50}, {120, 50}, {70, 20}, {70, 80}})
        EXPECT_EQ(p.At(x, y), 0x0000FF) << x << ", " << y;
    for (auto [x, y] : {std::pair{80, 150}, {147, 150}, {160, 35}, {200, 35}, {180, 20}, {180, 50}, {50, 215}})
        EXPECT_EQ(p.At(x, y), Red) << x << ", " << y;
    for (auto [x, y] : {std::pair{70, 50}, {15, 50}, {80, 140}, {180, 35}, {210, 35}, {155, 35}, {110, 50}, {275, 200}, {50, 190}})
        EXPECT_EQ(p.At(x, y), White) << x << ", " << y;
    // Each line of the text, the Japanese character beside the Latin ones: red there only.
    auto reddish = [&](int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += (p.At(x, y) & 0xFF00FF) == 0xFF0000 && p.At(x, y) != White;
        return n;
    };
    EXPECT_GT(reddish(220, 60, 240, 80), 10) << "Ab";
    EXPECT_GT(reddish(240, 60, 270, 80), 10) << "字";
    EXPECT_GT(reddish(220, 80, 235, 100), 5) << "W on the second line";
    EXPECT_EQ(reddish(260, 100, 320, 140), 0);

    // The range crop takes the marked-up picture (range mode leaves markup mode, at 100 %).
    ASSERT_TRUE(EnterRangeMode(s.Main) && MarkRange(s.Main, 10, 10, 130, 90));
    ASSERT_TRUE(CopyPicture(s.Main, p));
    ASSERT_EQ(p.Width, 120);
    EXPECT_EQ(p.At(10, 40), 0x0000FF);
    EXPECT_EQ(p.At(60, 40), White);
}

TEST(MarkupE2E, RedactionLeavesNoTraceAndUndoGivesTheOriginalBack) {
    MarkupSession s;
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.Press("黒"));
    ASSERT_TRUE(s.Press("■"));
    s.DragOn(Pattern.left, Pattern.top, Pattern.right, Pattern.bottom);
    SaveShot("markup redacted");
    Pixels copied, saved;
    ASSERT_TRUE(CopyPicture(s.Main, copied));
    EXPECT_EQ(PatternLeft(copied, Pattern), 0);
    EXPECT_EQ(copied.At(Pattern.left + 7, Pattern.top + 9), Black);
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string png = std::string(dir) + "markup-redacted.png";
    DeleteFileA(png.c_str());
    PressKey('S', true);
    HWND dialog = WaitDialog(s.Prog.Pid(), "ｷｬﾌﾟﾁｬｰ画像の保存");
    ASSERT_TRUE(dialog && AnswerSaveDialog(dialog, png, 3));
    ASSERT_TRUE(WaitFor([&] { return DecodePictureFile(png, saved); }));
    EXPECT_EQ(PatternLeft(saved, Pattern), 0);

    // Pixelated instead: blocks of the mean colour, none of the pattern's two.
    ASSERT_TRUE(Activate(s.Main));
    PressKey('Z', true);
    ASSERT_TRUE(s.Press("ﾓｻﾞｲｸ"));
    s.DragOn(Pattern.left, Pattern.top, Pattern.right, Pattern.bottom);
    ASSERT_TRUE(CopyPicture(s.Main, copied));
    EXPECT_EQ(PatternLeft(copied, Pattern), 0);
    EXPECT_NE(copied.At(Pattern.left + 1, Pattern.top + 1), White);

    // Undone: the view and the copy hold exactly the original pixels again.
    PressKey('Z', true);
    ASSERT_TRUE(CopyPicture(s.Main, copied));
    int wrong = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) wrong += copied.At(x, y) != Original(x, y);
    EXPECT_EQ(wrong, 0);
    MoveMouse(0, GetSystemMetrics(SM_CYSCREEN) - 1);
    const RECT pic = ClientRectOnScreen(PictureControl(s.Main));
    EXPECT_TRUE(WaitFor([&] {
        const auto shown = ScreenPixels(RECT{pic.left + Pattern.left, pic.top + Pattern.top, pic.left + Pattern.right, pic.top + Pattern.bottom});
        for (int i = 0; i < static_cast<int>(shown.size()); ++i)
            if (shown[i] != Original(Pattern.left + i % 60, Pattern.top + i / 60)) return false;
        return true;
    }, 3000));

    // Markup not saved since: a capture asks first, and Cancel keeps the picture.
    ASSERT_TRUE(Activate(s.Main));
    PressKey(VK_F5);
    EXPECT_EQ(AnswerMessageBox(s.Prog.Pid(), IDCANCEL), "現在の画像を置き換えてもよろしいですか？");
    ASSERT_TRUE(CopyPicture(s.Main, copied));
    EXPECT_EQ(copied.Width, W);
}
