// Save and clipboard commands in process: the three save paths through the dialog's seam,
// the temporary-file replacement, empty ranges, and the clipboard round trip (a PNG pasted
// when no bitmap is offered among it).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "RangeTestSupport.h"
#include "exchange/Save.h"
#include "framework/imaging/BmpCodec.h"
#include "framework/imaging/JpegCodec.h"
#include "framework/win/Clipbrd.h"
#include "framework/win/Dialogs.h"
#include "framework/win/PngImage.h"
#include "view/PictureView.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

std::string TempDir() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base) + "k4save\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int FilesIn(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
}

void Clean(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string path = dir + data.cFileName;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

// Answers the save dialog with a name and type entry; counts how often it was asked.
struct SaveAnswer {
    int asked = 0;
    SaveAnswer(const std::string& name, int type) {
        TSaveDialog::ExecuteHook = [this, name, type](TSaveDialog& d) {
            ++asked;
            EXPECT_EQ(d.Title, "ｷｬﾌﾟﾁｬｰ画像の保存");
            EXPECT_EQ(d.DefaultExt, "bmp");
            EXPECT_TRUE(d.Options & ofOverwritePrompt);
            d.FileName = name;
            d.FilterIndex = type;
            return true;
        };
    }
    ~SaveAnswer() {
        TSaveDialog::ExecuteHook = nullptr;
        TMainWindow& form = MainWindow();
        if (form.Down(TCommandId::EnterRange)) form.Execute(TCommandId::LeaveRange);
    }
};

TEST(Save, FramedRangeIsWrittenWithoutFrameAndTheFrameComesBack) {
    const std::string dir = TempDir();
    Clean(dir);
    SaveAnswer answer(dir + "range.bmp", SaveTypeBitmap);
    TMainWindow& form = WithPattern(400, 300);
    Frame(form, 100, 50, 300, 150);
    form.Execute(TCommandId::Save);
    EXPECT_EQ(answer.asked, 1);
    const Dib dib = ReadBmp(ReadAll(dir + "range.bmp"));
    ASSERT_EQ(dib.Width, 200);
    ASSERT_EQ(dib.Height, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const std::uint8_t* p = dib.Row(y) + x * (dib.BitCount / 8);
            ASSERT_EQ(RGB(p[2], p[1], p[0]), PatternColor(100 + x, 50 + y)) << x << "," << y;
        }
    EXPECT_EQ(Pixel(form, 100, 50), ColorToRGB(static_cast<COLORREF>(Settings.FrameColour)));
    EXPECT_EQ(FilesIn(dir), 1);  // no temporary file left
    EXPECT_TRUE(TakeMessages().empty());
}

TEST(Save, TypeTwoWritesJpegWhateverTheExtension) {
    const std::string dir = TempDir();
    Clean(dir);
    SaveAnswer answer(dir + "picture.bmp", SaveTypeJpeg);
    TMainWindow& form = WithPattern(160, 120);
    form.Execute(TCommandId::Save);
    const auto bytes = ReadAll(dir + "picture.bmp");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    const Dib dib = DecodeJpeg(bytes.data(), bytes.size());
    EXPECT_EQ(dib.Width, 160);
    EXPECT_EQ(dib.Height, 120);
}

TEST(Save, OpenBandIsSavedWithThePicture) {
    const std::string dir = TempDir();
    Clean(dir);
    SaveAnswer answer(dir + "band.bmp", SaveTypeBitmap);
    TMainWindow& form = WithPattern(200, 100);
    form.Execute(TCommandId::EnterRange);
    LeftDown(form, 20, 10);
    Move(form, 120, 60);
    form.Execute(TCommandId::Save);
    const Dib dib = ReadBmp(ReadAll(dir + "band.bmp"));
    ASSERT_EQ(dib.Width, 200);
    const std::uint8_t* p = dib.Row(30) + 20 * (dib.BitCount / 8);
    EXPECT_EQ(RGB(p[2], p[1], p[0]), PatternColor(20, 30) ^ 0xFFFFFF);
}

TEST(Save, EmptyRangeAsksNothingAndWritesNothing) {
    const std::string dir = TempDir();
    Clean(dir);
    SaveAnswer answer(dir + "empty.bmp", SaveTypeBitmap);
    TMainWindow& form = WithPattern(200, 100);
    form.Execute(TCommandId::EnterRange);
    LeftDown(form, 10, 20);
    LeftDown(form, 10, 20);  // 2 x 0
    form.Execute(TCommandId::Save);
    EXPECT_EQ(answer.asked, 0);
    EXPECT_EQ(FilesIn(dir), 0);
    form.Execute(TCommandId::Copy);
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{texts::EmptyRange, texts::EmptyRange}));
}

TEST(Save, FailedWriteKeepsTheFileItWouldReplace) {
    const std::string dir = TempDir();
    Clean(dir);
    const std::string target = dir + "keep.jpg";
    {
        std::ofstream out(target, std::ios::binary);
        out << "old contents";
    }
    TBitmap empty;  // libjpeg refuses an empty image half way through
    EXPECT_THROW(SavePictureFile(empty, target, SaveTypeJpeg), std::exception);
    EXPECT_EQ(ReadAll(target), (std::vector<std::uint8_t>{'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'}));
    EXPECT_EQ(FilesIn(dir), 1);

    // (A read-only target cannot be tested here: the tests run as root, whom Wine lets
    // replace read-only files.)
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Save, FailedRangeSaveReportsTheErrorAndKeepsTheFrame) {
    SaveAnswer answer("Q:\\no\\such\\folder\\x.bmp", SaveTypeBitmap);
    TMainWindow& form = WithPattern(200, 100);
    Frame(form, 10, 10, 60, 40);
    try {
        form.Execute(TCommandId::Save);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "ﾌｧｲﾙ Q:\\no\\such\\folder\\x.bmp を作成できません");
    }
    EXPECT_TRUE(form.View().Marking().Fixed);
    EXPECT_EQ(Pixel(form, 10, 10), ColorToRGB(static_cast<COLORREF>(Settings.FrameColour)));
}

TEST(Save, UnknownTypeEntryWritesNothing) {
    const std::string dir = TempDir();
    Clean(dir);
    TBitmap bitmap(4, 4);
    SavePictureFile(bitmap, dir + "x.bmp", 4);
    EXPECT_EQ(FilesIn(dir), 0);
}

struct LeaveRange {
    ~LeaveRange() {
        TMainWindow& form = MainWindow();
        if (form.Down(TCommandId::EnterRange)) form.Execute(TCommandId::LeaveRange);
    }
};

TEST(ClipboardCommands, CopyOfAFramedRangeIsExactlyThatBitmap) {
    LeaveRange leave;
    TMainWindow& form = WithPattern(300, 200);
    Frame(form, 30, 20, 180, 100);
    form.Execute(TCommandId::Copy);
    EXPECT_EQ(Pixel(form, 30, 20), ColorToRGB(static_cast<COLORREF>(Settings.FrameColour)));
    ASSERT_TRUE(Clipboard().HasFormat(CF_BITMAP));
    TBitmap got;
    Clipboard().GetBitmap(got);
    ASSERT_EQ(got.Width(), 150);
    ASSERT_EQ(got.Height(), 80);
    for (int y = 0; y < 80; y += 3)
        for (int x = 0; x < 150; x += 5) ASSERT_EQ(got.Canvas().Pixels(x, y), PatternColor(30 + x, 20 + y));
}

TEST(ClipboardCommands, PasteOfTextSaysSoAndChangesNothing) {
    LeaveRange leave;
    TMainWindow& form = WithPattern(300, 200);
    Frame(form, 30, 20, 180, 100);
    Clipboard().SetTextBuf("not a picture");
    form.Execute(TCommandId::Paste);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｸﾘｯﾌﾟﾎﾞｰﾄﾞ形式が違います"});
    EXPECT_TRUE(form.Down(TCommandId::EnterRange));
    EXPECT_TRUE(form.View().Marking().Fixed);
    EXPECT_EQ(form.View().NaturalSize().cx, 300);
}

TEST(ClipboardCommands, PasteLeavesRangeModeAndInstallsAtFullSize) {
    LeaveRange leave;
    {
        TBitmap source(90, 70);
        FillPattern(source);
        Clipboard().Assign(source);
    }
    TMainWindow& form = WithPattern(300, 200);
    Frame(form, 30, 20, 180, 100);
    form.Execute(TCommandId::Paste);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_FALSE(form.Down(TCommandId::EnterRange));
    EXPECT_FALSE(form.View().Marking().Fixed);
    EXPECT_EQ(form.View().NaturalSize().cx, 90);
    EXPECT_EQ(form.View().Shown().Width(), 90);
    EXPECT_EQ(form.View().Shown().Height(), 70);
    EXPECT_EQ(form.StatusText(0), "ｻｲｽﾞ : 90 x 70");
    EXPECT_EQ(form.StatusText(2), "");
    EXPECT_EQ(Pixel(form, 89, 69), PatternColor(89, 69));
}

TEST(ClipboardCommands, PasteTakesAPngWhenNoBitmapIsOffered) {
    // The pattern's every pixel differs (an RGB file); in blocks of 16 it has 30 colours, which
    // the writer makes a palette file of: that pastes as the same kind of picture.
    LeaveRange leave;
    TMainWindow& form = WithPattern(300, 200);
    TPixelFormat pasted[2] = {};
    for (int block : {1, 16}) {
        TMemoryStream png;
        {
            TBitmap source(90, 70);
            FillPattern(source, block);
            WritePng(source, png);
        }
        ASSERT_EQ(png.Memory()[25], block == 1 ? 2 : 3);  // RGB, palette
        {
            UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, png.Memory().size()));
            ASSERT_TRUE(memory);
            std::memcpy(GlobalLockGuard(memory.get()).get(), png.Memory().data(), png.Memory().size());
            ClipboardOpenGuard open(Application->Handle());
            EmptyClipboard();
            ASSERT_TRUE(SetClipboardData(RegisterClipboardFormatA("PNG"), memory.get()));
            memory.release();
        }
        ASSERT_FALSE(Clipboard().HasFormat(CF_BITMAP));
        form.Execute(TCommandId::Paste);
        EXPECT_TRUE(TakeMessages().empty());
        EXPECT_EQ(form.View().NaturalSize().cx, 90);
        EXPECT_EQ(form.StatusText(0), "ｻｲｽﾞ : 90 x 70");
        pasted[block > 1] = form.View().Shown().Picture().Bitmap().PixelFormat();
        for (int y = 0; y < 70; y += 3)
            for (int x = 0; x < 90; x += 4)
                ASSERT_EQ(Pixel(form, x, y), PatternColor(x / block * block, y / block * block)) << block << ": " << x << "," << y;
    }
    EXPECT_EQ(pasted[1], pasted[0]);
}

}  // namespace
