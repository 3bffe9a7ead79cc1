// Decoding compared index for index with giflib: files written by ImageMagick and pictures
// of many sizes, colour depths and interlacing run through a plain LZW encoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "GifTestSupport.h"

using namespace kaptor;
using namespace giftest;

namespace {

void ExpectSameAsGiflib(const Bytes& file, const std::string& name) {
    const GiflibFile ref = GiflibDecode(file);
    ASSERT_TRUE(ref.Ok) << name << ": giflib error " << ref.Error;
    auto gif = Load(file);
    ASSERT_EQ(gif->Images.Count(), static_cast<int>(ref.Images.size())) << name;
    for (std::size_t i = 0; i < ref.Global.size(); ++i)
        EXPECT_EQ(gif->GlobalColorTable.Colors[i], ref.Global[i]) << name << " global colour " << i;
    for (int i = 1; i <= gif->Images.Count(); ++i) {
        const TGifSubImage& img = gif->Image(i);
        const GiflibImage& r = ref.Images[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(img.Pixels->Columns(), r.Width) << name << " image " << i;
        EXPECT_EQ(img.Pixels->Rows(), r.Height) << name << " image " << i;
        EXPECT_EQ(img.Interlaced, r.Interlaced) << name << " image " << i;
        EXPECT_TRUE(PixelsOf(img) == r.Pixels) << name << " image " << i << ": pixels differ";
        EXPECT_EQ(img.HasLocalColorTable, !r.Local.empty()) << name << " image " << i;
        for (std::size_t c = 0; c < r.Local.size(); ++c)
            EXPECT_EQ(img.ColorTable.Colors[c], r.Local[c]) << name << " image " << i << " colour " << c;
    }
}

}  // namespace

TEST(GifGiflib, ImageMagickFilesDecodeAsGiflibDecodesThem) {
    const std::filesystem::path dir = std::filesystem::path(KAPTOR_TEST_DATA) / "gif";
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".gif") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 10u);
    bool sawInterlaced = false, sawLocal = false, sawSeveral = false;
    for (const auto& f : files) {
        const Bytes file = ReadFile(f.string());
        ExpectSameAsGiflib(file, f.filename().string());
        auto gif = Load(file);
        sawSeveral |= gif->Images.Count() > 1;
        for (int i = 1; i <= gif->Images.Count(); ++i) {
            sawInterlaced |= gif->Image(i).Interlaced;
            sawLocal |= gif->Image(i).HasLocalColorTable;
        }
    }
    // The set must keep covering these.
    EXPECT_TRUE(sawInterlaced);
    EXPECT_TRUE(sawLocal);
    EXPECT_TRUE(sawSeveral);
}

TEST(GifGiflib, EncodedPicturesOfManyShapesDecodeAsGiflibDecodesThem) {
    std::mt19937 rng(2024);
    int cases = 0;
    for (int bits = 1; bits <= 8; ++bits)
        for (int shape = 0; shape < 6; ++shape) {
            const int w = 1 + static_cast<int>(rng() % 90);
            const int h = 1 + static_cast<int>(rng() % 40);
            const int colors = 1 << bits;
            // Runs of varying length, so strings of all lengths occur.
            Bytes pic(static_cast<std::size_t>(w) * h);
            std::uint8_t v = 0;
            for (auto& p : pic) {
                if (rng() % (shape + 2) == 0) v = static_cast<std::uint8_t>(rng() % colors);
                p = v;
            }
            const bool interlaced = shape % 2 == 1;
            const int codeSize = bits < 2 ? 2 : bits;
            const Bytes stored = interlaced ? Interlace(pic, w, h) : pic;
            const Bytes file = GifBuilder()
                                   .Screen(w, h, bits, true)
                                   .Image(w, h, interlaced, shape % 3 == 0 ? bits : 0, codeSize, LzwEncode(stored, codeSize))
                                   .Trailer()
                                   .bytes();
            ExpectSameAsGiflib(file, "bits " + std::to_string(bits) + " shape " + std::to_string(shape));
            EXPECT_EQ(PixelsOf(Load(file)->Image(1)), pic);
            ++cases;
        }
    EXPECT_EQ(cases, 48);
}
