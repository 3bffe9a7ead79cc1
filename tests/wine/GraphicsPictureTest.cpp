// TPicture and the other picture kinds: loading by extension, the errors the user sees,
// icons drawn as the cursor overlay draws them, JPEG and metafiles.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "GraphicsTestSupport.h"
#include "framework/base/Classes.h"
#include "framework/imaging/JpegCodec.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Picture.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

struct EnhMetaTraits {
    static constexpr HandleKind Kind = HandleKind::Gdi;
    static void Close(HENHMETAFILE h) { DeleteEnhMetaFile(h); }
};
struct MetaTraits {
    static constexpr HandleKind Kind = HandleKind::Gdi;
    static void Close(HMETAFILE h) { DeleteMetaFile(h); }
};

void WriteBytes(const std::string& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

template <class E>
std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message;
    }
    return "(no error)";
}

// A 32 x 32 colour icon: red, its top-right quarter transparent.
HICON MakeColourIcon() {
    TBitmap colour(32, 32), mask(32, 32, pf1bit);
    FillColor(colour, clRed);
    FillColor(mask, clBlack);
    colour.Canvas().Brush.Color = clBlack;
    colour.Canvas().FillRect(RECT{16, 0, 32, 16});
    mask.Canvas().Brush.Color = clWhite;
    mask.Canvas().FillRect(RECT{16, 0, 32, 16});
    ICONINFO ii{TRUE, 0, 0, mask.Handle(), colour.Handle()};
    return CreateIconIndirect(&ii);
}

// A monochrome 32 x 32 cursor with its hot spot at (5, 5): black left half, transparent
// right half (AND mask above, XOR mask below, as cursors are kept).
HICON MakeCursor() {
    TBitmap mask(32, 64, pf1bit);
    FillColor(mask, clBlack);
    mask.Canvas().Brush.Color = clWhite;
    mask.Canvas().FillRect(RECT{16, 0, 32, 32});
    ICONINFO ii{FALSE, 5, 5, mask.Handle(), nullptr};
    return CreateIconIndirect(&ii);
}

TBitmap* DrawnOnGray(TIcon& icon, int x, int y) {
    auto* b = new TBitmap(100, 100);
    FillColor(*b, clGray);
    b->Canvas().Draw(x, y, icon);
    return b;
}

TEST(Icon, DrawnWithItsTopLeftAtThePointAndItsMask) {
    TIcon icon;
    icon.SetHandle(MakeColourIcon());
    ASSERT_FALSE(icon.Empty());
    EXPECT_EQ(icon.Width(), 32);
    EXPECT_EQ(icon.Height(), 32);
    std::unique_ptr<TBitmap> b(DrawnOnGray(icon, 10, 20));
    EXPECT_EQ(Px(*b, 10, 20 + 16), clRed);  // top-left of the opaque part
    EXPECT_EQ(Px(*b, 10, 51), clRed);
    EXPECT_EQ(Px(*b, 41, 51), clRed);       // bottom-right corner
    EXPECT_EQ(Px(*b, 9, 36), clGray);
    EXPECT_EQ(Px(*b, 42, 51), clGray);
    EXPECT_EQ(Px(*b, 10, 52), clGray);
    EXPECT_EQ(Px(*b, 10, 20), clRed);
    EXPECT_EQ(Px(*b, 10, 19), clGray);
    EXPECT_EQ(Px(*b, 30, 25), clGray);      // transparent quarter shows the picture
}

TEST(Icon, CursorIsDrawnAtThePointNotShiftedByItsHotSpot) {
    TIcon cursor;
    cursor.SetHandle(MakeCursor());
    EXPECT_EQ(cursor.Width(), 32);
    EXPECT_EQ(cursor.Height(), 32);
    std::unique_ptr<TBitmap> b(DrawnOnGray(cursor, 40, 30));
    EXPECT_EQ(Px(*b, 40, 30), clBlack);
    EXPECT_EQ(Px(*b, 55, 61), clBlack);
    EXPECT_EQ(Px(*b, 39, 30), clGray);
    EXPECT_EQ(Px(*b, 40, 29), clGray);
    EXPECT_EQ(Px(*b, 56, 30), clGray);  // transparent half
    EXPECT_EQ(Px(*b, 40, 62), clGray);
}

TEST(Icon, AssignCopiesAndFileRoundTripDrawsTheSame) {
    for (HICON h : {MakeColourIcon(), MakeCursor()}) {
        TIcon icon;
        icon.SetHandle(h);
        std::unique_ptr<TBitmap> expected(DrawnOnGray(icon, 3, 4));

        TIcon copy;
        copy.Assign(icon);
        EXPECT_NE(copy.Handle(), icon.Handle());
        icon.Clear();
        std::unique_ptr<TBitmap> fromCopy(DrawnOnGray(copy, 3, 4));
        EXPECT_EQ(fromCopy->ToDib(), expected->ToDib());

        TMemoryStream s;
        copy.SaveToStream(s);
        s.SetPosition(0);
        TIcon loaded;
        loaded.LoadFromStream(s);
        std::unique_ptr<TBitmap> fromFile(DrawnOnGray(loaded, 3, 4));
        EXPECT_EQ(fromFile->ToDib(), expected->ToDib());
    }
}

TEST(Icon, DamagedFileIsRefused) {
    TMemoryStream s(std::vector<std::uint8_t>{0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 0xFF, 0xFF, 0, 0, 22, 0, 0, 0});
    TIcon icon;
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { icon.LoadFromStream(s); }), "ｱｲｺﾝｲﾒｰｼﾞが不正です");
    EXPECT_TRUE(icon.Empty());
}

class PictureFiles : public ::testing::Test {
protected:
    TempDir dir;
    std::string SaveBitmap(const std::string& name, int w, int h) {
        TBitmap b(w, h, pf24bit);
        FillRandom(b, 31);
        b.SaveToFile(dir / name);
        return dir / name;
    }
};

TEST_F(PictureFiles, ExtensionsAreMatchedWithoutRegardToCase) {
    SaveBitmap("a.bmp", 4, 3);
    for (const char* name : {"shot.BMP", "shot.Bmp"}) {
        CopyFileA((dir / "a.bmp").c_str(), (dir / name).c_str(), FALSE);
        TPicture p;
        p.LoadFromFile(dir / name);
        ASSERT_NE(p.Graphic(), nullptr);
        EXPECT_STREQ(p.Graphic()->ClassName(), "TBitmap");
        EXPECT_EQ(p.Width(), 4);
    }
    TBitmap b(32, 32, pf24bit);
    FillColor(b, clBlue);
    TJPEGImage jpeg;
    jpeg.Assign(b);
    for (const char* name : {"x.JPG", "x.jpeg", "x.JPeG"}) {
        jpeg.SaveToFile(dir / name);
        TPicture p;
        p.LoadFromFile(dir / name);
        ASSERT_NE(p.Graphic(), nullptr);
        EXPECT_STREQ(p.Graphic()->ClassName(), "TJPEGImage");
    }
}

TEST_F(PictureFiles, UnknownExtensionIsRefusedBeforeTheFileIsOpened) {
    TPicture p;
    // The file does not exist: the extension decides first.
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { p.LoadFromFile(dir / "notes.TxT"); }),
              "拡張子 .TxT の画像形式は処理できません");
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { p.LoadFromFile(dir / "noext"); }),
              "拡張子 . の画像形式は処理できません");
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { p.LoadFromFile(dir / "x.gif.bak"); }),
              "拡張子 .bak の画像形式は処理できません");
    EXPECT_EQ(p.Graphic(), nullptr);
}

TEST_F(PictureFiles, MissingFileNamesTheFileAndKeepsThePicture) {
    TPicture p;
    p.LoadFromFile(SaveBitmap("keep.bmp", 7, 5));
    const std::string missing = dir / "missing.bmp";
    EXPECT_EQ(MessageOf<EFOpenError>([&] { p.LoadFromFile(missing); }), "ﾌｧｲﾙ " + missing + " は開けません");
    ASSERT_NE(p.Graphic(), nullptr);
    EXPECT_EQ(p.Width(), 7);
}

TEST_F(PictureFiles, DamagedFilesGiveTheirOwnTexts) {
    TPicture p;
    p.LoadFromFile(SaveBitmap("keep.bmp", 7, 5));
    WriteBytes(dir / "bad.bmp", {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { p.LoadFromFile(dir / "bad.bmp"); }), "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です");
    WriteBytes(dir / "bad.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 2, 3});
    const std::string jpegText = MessageOf<EJpegError>([&] { p.LoadFromFile(dir / "bad.jpg"); });
    EXPECT_EQ(jpegText.rfind("JPEG ｴﾗｰ #", 0), 0u) << jpegText;
    EXPECT_STREQ(p.Graphic()->ClassName(), "TBitmap");
    EXPECT_EQ(p.Width(), 7);
}

TEST_F(PictureFiles, JpegLoadsAsA24BitBitmapCloseToTheOriginal) {
    // Colour blocks on the encoder's 16-pixel grid, so compression barely touches them.
    TBitmap b(64, 32);
    const TColor colours[] = {clRed, clLime, clBlue, clWhite};
    for (int i = 0; i < 4; ++i) {
        b.Canvas().Brush.Color = colours[i];
        b.Canvas().FillRect(RECT{16 * i, 0, 16 * i + 16, 32});
    }
    TJPEGImage jpeg;
    jpeg.Assign(b);
    jpeg.SaveToFile(dir / "pic.jpg");

    TPicture p;
    p.LoadFromFile(dir / "pic.jpg");
    TBitmap loaded;
    loaded.Assign(p.Graphic());
    EXPECT_EQ(loaded.BitCount(), 24);
    ASSERT_EQ(loaded.Width(), 64);
    ASSERT_EQ(loaded.Height(), 32);
    for (int i = 0; i < 4; ++i) {
        const COLORREF got = Px(loaded, 16 * i + 8, 16), want = colours[i];
        EXPECT_NEAR(GetRValue(got), GetRValue(want), 8) << i;
        EXPECT_NEAR(GetGValue(got), GetGValue(want), 8) << i;
        EXPECT_NEAR(GetBValue(got), GetBValue(want), 8) << i;
    }
    // Saving what was loaded writes the same file again, not a second generation.
    TMemoryStream original, again;
    original.LoadFromFile(dir / "pic.jpg");
    p.Graphic()->SaveToStream(again);
    EXPECT_EQ(again.Memory(), original.Memory());
}

TEST_F(PictureFiles, IconAndMetafilesCannotBecomeBitmaps) {
    TIcon icon;
    icon.SetHandle(MakeColourIcon());
    icon.SaveToFile(dir / "app.ICO");

    // An enhanced metafile with a filled rectangle, 2 x 1 cm.
    RECT frame{0, 0, 2000, 1000};
    HDC mdc = CreateEnhMetaFileA(nullptr, (dir / "pic.EMF").c_str(), &frame, nullptr);
    ASSERT_NE(mdc, nullptr);
    UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
    RECT all{0, 0, 100, 100};
    FillRect(mdc, &all, red.get());
    UniqueHandle<HENHMETAFILE, EnhMetaTraits> emf(CloseEnhMetaFile(mdc));
    ASSERT_TRUE(emf);

    // A Windows metafile behind its placeable header (1 x 1 inch).
    HDC wdc = CreateMetaFileA(nullptr);
    ASSERT_NE(wdc, nullptr);
    Rectangle(wdc, 0, 0, 50, 50);
    UniqueHandle<HMETAFILE, MetaTraits> wmf(CloseMetaFile(wdc));
    ASSERT_TRUE(wmf);
    std::vector<std::uint8_t> body(GetMetaFileBitsEx(wmf.get(), 0, nullptr));
    ASSERT_FALSE(body.empty());
    GetMetaFileBitsEx(wmf.get(), static_cast<UINT>(body.size()), body.data());
    std::vector<std::uint8_t> file = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 100, 0, 100, 0, 100, 0, 0, 0, 0, 0};
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < 20; i += 2) sum ^= static_cast<std::uint16_t>(file[i] | (file[i + 1] << 8));
    file.push_back(static_cast<std::uint8_t>(sum));
    file.push_back(static_cast<std::uint8_t>(sum >> 8));
    file.insert(file.end(), body.begin(), body.end());
    WriteBytes(dir / "pic.wmf", file);

    const struct {
        const char* name;
        const char* cls;
    } cases[] = {{"app.ICO", "TIcon"}, {"pic.EMF", "TMetafile"}, {"pic.wmf", "TMetafile"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TPicture p;
        p.LoadFromFile(dir / c.name);
        ASSERT_NE(p.Graphic(), nullptr);
        EXPECT_STREQ(p.Graphic()->ClassName(), c.cls);
        EXPECT_GT(p.Width(), 0);
        EXPECT_GT(p.Height(), 0);
        TBitmap b(5, 5);
        EXPECT_EQ(MessageOf<EConvertError>([&] { b.Assign(p.Graphic()); }),
                  std::string(c.cls) + " を TBitmap に代入することはできません");
        EXPECT_EQ(b.Width(), 5);
    }

    // The metafile is real: it draws, and it keeps its size.
    TPicture p;
    p.LoadFromFile(dir / "pic.EMF");
    TBitmap target(40, 40);
    FillColor(target, clWhite);
    target.Canvas().StretchDraw(RECT{0, 0, 40, 40}, *p.Graphic());
    EXPECT_EQ(Px(target, 20, 20), clRed);
}

TEST(Picture, BitmapAccessorReplacesOtherKindsAndCopiesAreIndependent) {
    TPicture p;
    EXPECT_EQ(p.Graphic(), nullptr);
    EXPECT_EQ(p.Width(), 0);
    TBitmap& b = p.Bitmap();
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(&p.Bitmap(), &b);
    b.SetSize(20, 10);
    FillRandom(b, 41);

    TPicture q;
    q.Assign(p);
    ASSERT_NE(q.Graphic(), p.Graphic());
    const Dib copy = q.Bitmap().ToDib();
    FillColor(p.Bitmap(), clWhite);
    EXPECT_EQ(q.Bitmap().ToDib(), copy);

    p.Icon().SetHandle(MakeColourIcon());
    EXPECT_STREQ(p.Graphic()->ClassName(), "TIcon");
    EXPECT_TRUE(p.Bitmap().Empty());

    int whole = 0;
    q.OnChange = [&](const RECT* r) { whole += r == nullptr; };
    q.SetGraphic(nullptr);
    EXPECT_EQ(q.Graphic(), nullptr);
    EXPECT_EQ(whole, 1);
}

class TTestGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TTestGraphic"; }
};

TEST_F(PictureFiles, FormatsCanBeRegisteredAndListed) {
    TPicture::RegisterFileFormat<TTestGraphic>("XyZ", "ﾃｽﾄ");
    TPicture::RegisterFileFormat<TTestGraphic>(".xyz", "ﾃｽﾄ形式");  // replaces, not a second entry
    int found = 0;
    for (const TFileFormat& f : TPicture::FileFormats())
        if (f.Extension == "xyz") {
            ++found;
            EXPECT_EQ(f.Description, "ﾃｽﾄ形式");
        }
    EXPECT_EQ(found, 1);

    CopyFileA(SaveBitmap("a.bmp", 3, 2).c_str(), (dir / "a.XYZ").c_str(), FALSE);
    TPicture p;
    p.LoadFromFile(dir / "a.XYZ");
    EXPECT_STREQ(p.Graphic()->ClassName(), "TTestGraphic");
    EXPECT_EQ(p.Width(), 3);

    const std::string filter = GraphicFilter();
    EXPECT_EQ(filter.rfind("すべての画像ﾌｧｲﾙ (*.bmp;*.jpg;*.jpeg;*.ico;*.emf;*.wmf", 0), 0u) << filter;
    EXPECT_NE(filter.find("|JPEG ｲﾒｰｼﾞ ﾌｧｲﾙ (*.jpg;*.jpeg)|*.jpg;*.jpeg|"), std::string::npos) << filter;
    EXPECT_NE(filter.find("|ﾃｽﾄ形式 (*.xyz)|*.xyz"), std::string::npos) << filter;
}

}  // namespace
