// GIF files as bitmaps: the bitmap stream made from the first image, palettes from local
// and global tables, loading through the picture registry, the per-row hook and handles.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "GraphicsTestSupport.h"
#include "TestApp.h"
#include "framework/base/Classes.h"
#include "framework/win/Handles.h"
#include "framework/win/Picture.h"
#include "gif/ProgressForm.h"
#include "gif/GifBitmap.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;

// LZW data any decoder reads: a clear code before every second index keeps the table from
// growing past the first code width (minimum code size 2 or more).
Bytes LiteralLzw(const Bytes& indexes, int codeSize) {
    const unsigned clear = 1u << codeSize, width = codeSize + 1;
    Bytes out;
    std::uint32_t acc = 0;
    unsigned bits = 0;
    auto put = [&](unsigned code) {
        acc |= code << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<std::uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (i % 2 == 0) put(clear);
        put(indexes[i]);
    }
    put(clear + 1);
    if (bits) out.push_back(static_cast<std::uint8_t>(acc));
    return out;
}

void Add16(Bytes& b, int v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

struct TestImage {
    int Width, Height;
    Bytes Indexes;               // top row first
    std::vector<COLORREF> Local;  // empty: no local table (2^n entries otherwise)
};

// A GIF89a file: global table of globalColors entries (0 for none), then the images.
Bytes MakeGif(const std::vector<COLORREF>& global, const std::vector<TestImage>& images) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a'};
    Add16(b, images.empty() ? 1 : images[0].Width);
    Add16(b, images.empty() ? 1 : images[0].Height);
    auto bitsFor = [](std::size_t n) {
        int bits = 1;
        while ((1u << bits) < n) ++bits;
        return bits;
    };
    auto table = [&](const std::vector<COLORREF>& colors) {
        for (COLORREF c : colors) {
            b.push_back(GetRValue(c));
            b.push_back(GetGValue(c));
            b.push_back(GetBValue(c));
        }
    };
    b.push_back(static_cast<std::uint8_t>(global.empty() ? 0 : 0x80 | (bitsFor(global.size()) - 1)));
    b.push_back(0);
    b.push_back(0);
    table(global);
    for (const TestImage& image : images) {
        b.push_back(0x2C);
        Add16(b, 0);
        Add16(b, 0);
        Add16(b, image.Width);
        Add16(b, image.Height);
        b.push_back(static_cast<std::uint8_t>(image.Local.empty() ? 0 : 0x80 | (bitsFor(image.Local.size()) - 1)));
        table(image.Local);
        const int codeSize = 2;
        b.push_back(codeSize);
        const Bytes lzw = LiteralLzw(image.Indexes, codeSize);
        for (std::size_t at = 0; at < lzw.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, lzw.size() - at);
            b.push_back(static_cast<std::uint8_t>(n));
            b.insert(b.end(), lzw.begin() + static_cast<std::ptrdiff_t>(at), lzw.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        b.push_back(0);
    }
    b.push_back(0x3B);
    return b;
}

std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

std::unique_ptr<TGifFile> LoadGif(const Bytes& bytes) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), bytes.size());
    auto gif = std::make_unique<TGifFile>();
    gif->LoadFromStream(stream);
    return gif;
}

Bytes StreamBytes(TMemoryStream& stream) { return stream.Memory(); }

void WriteFile(const std::string& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// tests/data/gif through Wine's Z: drive.
std::string DataFile(const std::string& name) { return "Z:" KAPTOR_SOURCE_DIR "/tests/data/gif/" + name; }

const std::vector<COLORREF> kFour{RGB(10, 20, 30), RGB(200, 100, 50), RGB(0, 255, 0), RGB(255, 255, 255)};

}  // namespace

TEST(GifBitmapStream, ThreeByTwoImageGivesEveryFieldOfThe1086ByteStream) {
    const auto gif = LoadGif(MakeGif(kFour, {{3, 2, {0, 1, 2, 3, 2, 1}, {}}}));
    TMemoryStream out;
    out.WriteBuffer("junk that must be overwritten", 29);
    WriteBitmap(gif->Image(1), out);
    const Bytes b = StreamBytes(out);
    ASSERT_EQ(1086u, b.size());
    EXPECT_EQ(0, out.Position());
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    EXPECT_EQ(1086u, Get32(b, 2));
    EXPECT_EQ(0, Get16(b, 6));
    EXPECT_EQ(0, Get16(b, 8));
    EXPECT_EQ(1078u, Get32(b, 10));
    EXPECT_EQ(40u, Get32(b, 14));
    EXPECT_EQ(3u, Get32(b, 18));
    EXPECT_EQ(2u, Get32(b, 22));
    EXPECT_EQ(1, Get16(b, 26));
    EXPECT_EQ(8, Get16(b, 28));
    EXPECT_EQ(0u, Get32(b, 30));
    EXPECT_EQ(0u, Get32(b, 34));
    EXPECT_EQ(143u, Get32(b, 38));
    EXPECT_EQ(143u, Get32(b, 42));
    EXPECT_EQ(0u, Get32(b, 46));
    EXPECT_EQ(0u, Get32(b, 50));
    // Palette as blue, green, red, 0.
    EXPECT_EQ((Bytes{30, 20, 10, 0, 50, 100, 200, 0}), Bytes(b.begin() + 54, b.begin() + 62));
    // The second image row first, each padded with one zero byte.
    EXPECT_EQ((Bytes{3, 2, 1, 0, 0, 1, 2, 0}), Bytes(b.begin() + 1078, b.end()));
}

TEST(GifBitmapStream, PaletteComesFromTheFirstImagesLocalTableElseTheGlobalOne) {
    // Global table of four colours: entries 4 to 255 are black.
    {
        const auto gif = LoadGif(MakeGif(kFour, {{2, 2, {0, 1, 2, 3}, {}}}));
        TMemoryStream out;
        WriteBitmap(gif->Image(1), out);
        const Bytes b = StreamBytes(out);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(GetBValue(kFour[i]), b[54 + 4 * i]) << i;
            EXPECT_EQ(GetRValue(kFour[i]), b[54 + 4 * i + 2]) << i;
        }
        for (int i = 4; i < 256; ++i)
            ASSERT_EQ(0u, Get32(b, 54 + 4 * i)) << "entry " << i;
    }
    // A local table on the first image wins; the second image's table plays no part.
    {
        const std::vector<COLORREF> local{RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(11, 12, 13)};
        const std::vector<COLORREF> later{RGB(99, 99, 99), RGB(98, 98, 98), RGB(97, 97, 97), RGB(96, 96, 96)};
        const auto gif = LoadGif(MakeGif(kFour, {{2, 1, {3, 0}, local}, {2, 1, {1, 1}, later}}));
        ASSERT_EQ(2, gif->Images.Count());
        TMemoryStream out;
        WriteBitmap(gif->Image(1), out);
        const Bytes b = StreamBytes(out);
        EXPECT_EQ((Bytes{3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0, 13, 12, 11, 0}), Bytes(b.begin() + 54, b.begin() + 70));
        EXPECT_EQ((Bytes{3, 0, 0, 0}), Bytes(b.begin() + 1078, b.end()));
    }
}

TEST(GifBitmap, LoadsAnImageMagickFileThroughThePictureRegistryWithTheDecodersPixels) {
    RegisterGifFormat();
    for (const char* name : {"four.gif", "plasma_interlaced.gif", "noise256.gif", "anim.gif"}) {
        SCOPED_TRACE(name);
        TPicture picture;
        picture.LoadFromFile(DataFile(name));
        ASSERT_NE(nullptr, dynamic_cast<TGifBitmap*>(picture.Graphic()));
        TBitmap& bitmap = picture.Bitmap();

        TFileStream file(DataFile(name), TFileMode::fmOpenRead);
        TGifFile gif;
        gif.LoadFromStream(file);
        const TGifSubImage& first = gif.Image(1);
        ASSERT_EQ(first.Descriptor.Width, bitmap.Width());
        ASSERT_EQ(first.Descriptor.Height, bitmap.Height());
        ASSERT_EQ(8, bitmap.BitCount());
        const TColorTable& table = first.HasLocalColorTable ? first.ColorTable : gif.GlobalColorTable;
        ASSERT_EQ(256u, bitmap.Colors().size());
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(table.Colors[i].Red, bitmap.Colors()[i].Red) << i;
            ASSERT_EQ(table.Colors[i].Blue, bitmap.Colors()[i].Blue) << i;
        }
        for (int y = 0; y < bitmap.Height(); ++y)
            ASSERT_EQ(0, std::memcmp(first.Pixels->RowData(y), bitmap.ScanLine(y), bitmap.Width())) << "row " << y;
    }
}

TEST(GifBitmap, FailuresLeaveThePreviousPictureAndCopiesStayGifBitmaps) {
    RegisterGifFormat();
    TempDir dir;
    WriteFile(dir / "a.gif", MakeGif(kFour, {{3, 2, {0, 1, 2, 3, 2, 1}, {}}}));
    // A bitmap file named .gif.
    {
        TBitmap bmp(4, 4, pf24bit);
        TFileStream f(dir / "bmp.gif", TFileMode::fmCreate);
        bmp.SaveToStream(f);
    }
    WriteFile(dir / "noimage.gif", MakeGif(kFour, {}));

    TPicture picture;
    picture.LoadFromFile(dir / "a.gif");
    ASSERT_EQ(3, picture.Width());
    const TGraphic* held = picture.Graphic();
    try {
        picture.LoadFromFile(dir / "bmp.gif");
        FAIL() << "a bitmap read as GIF";
    } catch (const Exception& e) {
        EXPECT_EQ("Gif Version must be 87a or 89a", e.Message);
    }
    EXPECT_THROW(picture.LoadFromFile(dir / "noimage.gif"), EListError);
    EXPECT_EQ(held, picture.Graphic());
    EXPECT_EQ(3, picture.Width());

    // The same object keeps its content when its own load fails.
    TGifBitmap direct;
    TFileStream good(dir / "a.gif", TFileMode::fmOpenRead);
    direct.LoadFromStream(good);
    TFileStream bad(dir / "noimage.gif", TFileMode::fmOpenRead);
    EXPECT_THROW(direct.LoadFromStream(bad), EListError);
    EXPECT_EQ(3, direct.Width());
    EXPECT_EQ(0, direct.ScanLine(0)[0]);  // rows from the top: 0 1 2, then 3 2 1
    EXPECT_EQ(3, direct.ScanLine(1)[0]);
    // A picture given the bitmap holds a copy of the same kind with the same pixels.
    TPicture other;
    other.SetGraphic(&direct);
    auto* copy = dynamic_cast<TGifBitmap*>(other.Graphic());
    ASSERT_NE(nullptr, copy);
    ASSERT_NE(&direct, copy);
    EXPECT_EQ(8, copy->BitCount());
    EXPECT_EQ(0, std::memcmp(direct.ScanLine(1), copy->ScanLine(1), 3));
    // Assigning a plain bitmap to it makes it that bitmap.
    TBitmap plain(5, 7, pf24bit);
    copy->Assign(plain);
    EXPECT_EQ(5, copy->Width());
    EXPECT_EQ(24, copy->BitCount());
}

namespace {
// The installed progress hook, watched: the fractions it is given, the gauge whenever the
// form shows, and how many calls had been made when a posted message was answered.
std::vector<float> fractions;
std::vector<int> gaugeShown;
std::size_t answeredAtCall = 0;
TProgressHook installed = nullptr;
constexpr UINT kProbeMessage = WM_APP + 17;

LRESULT CALLBACK ProbeProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kProbeMessage && answeredAtCall == 0) answeredAtCall = fractions.size();
    return DefWindowProcA(wnd, msg, wp, lp);
}

void WatchingHook(float fraction) {
    fractions.push_back(fraction);
    installed(fraction);
    if (ProgressForm->Visible()) gaugeShown.push_back(ProgressForm->Gauge->Progress());
}
}  // namespace

TEST(GifBitmap, ProgressMovesOncePerFrameNotPerRowAnswersMessagesAndReachesHundred) {
    TestApp();
    TGifSupport support;  // the start-up state: format, hooks, progress form
    ASSERT_NE(nullptr, ProgressHook);
    installed = ProgressHook;
    ProgressHook = &WatchingHook;
    // A long load: two rows take longer than a frame each, as on a busy machine.
    TGifLoadHooks& hooks = GifLoadHooks();
    const auto rowHook = hooks.RowDecoded;
    hooks.RowDecoded = [&rowHook](int done, int count) {
        if (done == 40 || done == 80) Sleep(20);
        rowHook(done, count);
    };
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GifRowProbe";
    RegisterClassA(&wc);
    HWND probe = CreateWindowA("GifRowProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, probe);
    PostMessageA(probe, kProbeMessage, 0, 0);

    const int rows = 120;
    TempDir dir;
    const std::string file = dir / "long.gif", quick = dir / "quick.gif";
    WriteFile(file, MakeGif(kFour, {{4, rows, Bytes(4 * rows, 1), {}}}));
    WriteFile(quick, MakeGif(kFour, {{4, 2, Bytes(8, 1), {}}}));
    TPicture picture;
    picture.LoadFromFile(file);
    hooks.RowDecoded = rowHook;

    // Answered at a step on the way, not only at the end; far fewer steps than rows.
    EXPECT_GE(answeredAtCall, 1u);
    ASSERT_GE(fractions.size(), 3u);
    EXPECT_LT(fractions[answeredAtCall - 1], 1.0f);
    EXPECT_LT(fractions.size(), static_cast<std::size_t>(rows / 4));
    EXPECT_FLOAT_EQ(1.0f, fractions.back());
    // The gauge moved and showed 100 % before the form went away.
    ASSERT_GE(gaugeShown.size(), 2u);
    EXPECT_LT(gaugeShown.front(), 100);
    EXPECT_EQ(100, gaugeShown.back());
    EXPECT_FALSE(ProgressForm->Visible());

    // A load that ends within its first frame never shows the form.
    fractions.clear();
    gaugeShown.clear();
    picture.LoadFromFile(quick);
    EXPECT_EQ(std::vector<float>{1.0f}, fractions);
    EXPECT_TRUE(gaugeShown.empty());
    ProgressHook = installed;
    DestroyWindow(probe);
}

TEST(GifBitmap, RepeatedLoadsDoNotGrowHandles) {
    RegisterGifFormat();
    auto once = [] {
        TPicture picture;
        picture.LoadFromFile(DataFile("noise256.gif"));
        TPicture copy;
        copy.Assign(picture);
        picture.Bitmap().Canvas().Pixels(1, 1);  // a DC for the canvas as well
    };
    once();
    const long before = OwnedGdiHandles();
    const long slotsBefore = GdiSlotsReached();
    for (int i = 0; i < 40; ++i) once();
    EXPECT_EQ(before, OwnedGdiHandles());
    EXPECT_LE(GdiSlotsReached(), slotsBefore + 2);
}

TEST(GifBitmapStream, HugeImageIsRefusedBeforeAnyAllocation) {
    TGifFile gif;
    TGifSubImage image(4, &gif);
    image.Descriptor.Width = 65535;
    image.Descriptor.Height = 65535;
    TMemoryStream out;
    EXPECT_THROW(WriteBitmap(image, out), ENotEnoughMemory);
    EXPECT_EQ(0, out.Size());
}
