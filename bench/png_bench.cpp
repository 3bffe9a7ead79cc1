// PNG writing: the program's encoder (libdeflate) at every level and filter against libpng +
// zlib as the program wrote before (level 6, adaptive filtering), on the same 1920 x 1080
// rows, into memory. Prints time and size of each and the ratios to the reference. Native,
// so it runs where Wine is not; win_bench png measures the save itself.
//   png_bench [FILE.png ...]   more pictures, real desktop captures for instance
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <spng.h>

#include "BenchPictures.h"
#include "PngReference.h"
#include "framework/base/Classes.h"
#include "framework/imaging/PngCodec.h"

using namespace kaptor;

namespace {

struct Sample {
    std::string Name;
    Dib Picture;  // 32 bits, as captured
};

Dib FromPixels(const std::vector<std::uint32_t>& px, int w, int h) {
    Dib d = Dib::Make(w, h, 32);
    for (int y = 0; y < h; ++y) std::memcpy(d.Row(y), px.data() + static_cast<std::size_t>(y) * w, 4u * w);
    return d;
}

Dib FromFile(const std::string& path) {
    TMemoryStream s;
    s.LoadFromFile(path);
    const Dib rgb = DecodePng(s.Memory().data(), s.Memory().size());
    Dib d = Dib::Make(rgb.Width, rgb.Height, 32);
    for (int y = 0; y < rgb.Height; ++y)
        for (int x = 0; x < rgb.Width; ++x) std::memcpy(d.Row(y) + 4 * x, rgb.Row(y) + 3 * x, 3);
    return d;
}

// libpng + zlib with the given level and filters, the rows as stored (libpng swaps blue and
// red and drops the fourth byte itself).
std::size_t Libpng(const Dib& d, int level, int filters) {
    return benchpic::LibpngEncode(d.Width, d.Height, level, filters, [&](int y) { return d.Row(y); }).size();
}

std::size_t Ours(const Dib& d, TPngSettings s) {
    TMemoryStream out;
    EncodePng(d, out, s);
    return out.Memory().size();
}

double Ms(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Sample> samples;
    samples.push_back({"screenshot-like", FromPixels(benchpic::Desktop(1920, 1080, false), 1920, 1080)});
    samples.push_back({"desktop, noisy wallpaper", FromPixels(benchpic::Desktop(1920, 1080, true), 1920, 1080)});
    samples.push_back({"photo-like", FromPixels(benchpic::ColourPhoto(1920, 1080), 1920, 1080)});
    samples.push_back({"few-colour screenshot", FromPixels(benchpic::FewColourScreenshot(), 1920, 1080)});
    for (int i = 1; i < argc; ++i) samples.push_back({argv[i], FromFile(argv[i])});

    static const char* names[] = {"none", "sub", "up", "average", "paeth", "adaptive"};
    for (const Sample& s : samples) {
        std::printf("%s (%d x %d)\n  %-10s %5s %-9s %9s %10s %8s %8s\n", s.Name.c_str(), s.Picture.Width,
                    s.Picture.Height, "encoder", "level", "filter", "ms", "bytes", "time", "size");
        // Each candidate alternates with the reference, 3 times; medians.
        auto run = [&](const char* encoder, int level, const char* filter, const std::function<std::size_t()>& f) {
            std::vector<double> mine, ref;
            std::size_t bytes = 0, refBytes = 0;
            for (int i = 0; i < 3; ++i) {
                mine.push_back(Ms([&] { bytes = f(); }));
                ref.push_back(Ms([&] { refBytes = Libpng(s.Picture, 6, PNG_ALL_FILTERS); }));
            }
            std::sort(mine.begin(), mine.end());
            std::sort(ref.begin(), ref.end());
            std::printf("  %-10s %5d %-9s %9.1f %10zu %8.2f %8.3f\n", encoder, level, filter, mine[1], bytes,
                        mine[1] / ref[1], static_cast<double>(bytes) / refBytes);
        };
        run("libpng", 6, "adaptive", [&] { return Libpng(s.Picture, 6, PNG_ALL_FILTERS); });
        run("libpng", 3, "none", [&] { return Libpng(s.Picture, 3, PNG_FILTER_NONE); });
        run("ours", -1, "adaptive", [&] { return Ours(s.Picture, TPngSettings{}); });  // what the program uses
        for (int level : {3, 4, 6, 8, 9})
            for (TPngFilter f : {TPngFilter::None, TPngFilter::Paeth, TPngFilter::Adaptive})
                run("ours", level, names[static_cast<int>(f)], [&] { return Ours(s.Picture, TPngSettings{level, f, false}); });
        // The palette indices of a flat picture of few colours, unfiltered, where the program makes them.
        TMemoryStream file;
        EncodePng(s.Picture, file);
        if (file.Memory()[25] == 3)
            for (int level : {1, 2, 3, 4, 6, 8})
                run("ours", level, "indexed", [&] { return Ours(s.Picture, TPngSettings{level, TPngFilter::None, true}); });
    }
    std::printf("time and size: against libpng level 6 adaptive on the same picture, alternated\n");

    // Reading: the program's files decoded by DecodePng (libpng), libspng and libdeflate's
    // inflate with unfiltering, alternated, medians of 7.
    std::printf("\ndecoding the program's file of each picture (ms): DecodePng, libspng, libdeflate\n");
    for (const Sample& s : samples) {
        TMemoryStream file;
        EncodePng(s.Picture, file, TPngSettings{TPngSettings::ByPicture, TPngFilter::Adaptive, false});  // RGB, as the references read
        const std::vector<std::uint8_t>& png = file.Memory();
        std::vector<std::uint8_t> rgb, inflated;
        auto spngDecode = [&] {
            spng_ctx* ctx = spng_ctx_new(0);
            spng_set_png_buffer(ctx, png.data(), png.size());
            std::size_t size = 0;
            spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
            rgb.resize(size);
            spng_decode_image(ctx, rgb.data(), rgb.size(), SPNG_FMT_RGB8, 0);
            spng_ctx_free(ctx);
        };
        std::vector<double> t[3];
        for (int i = 0; i < 7; ++i) {
            t[0].push_back(Ms([&] { DecodePng(png.data(), png.size()); }));
            t[1].push_back(Ms(spngDecode));
            t[2].push_back(Ms([&] { benchpic::InflateRgbPng(png, inflated); }));
        }
        for (auto& v : t) std::sort(v.begin(), v.end());
        // All three give the same pixels.
        const Dib ours = DecodePng(png.data(), png.size());
        bool same = rgb.size() == 3u * ours.Width * ours.Height;
        for (int y = 0; same && y < ours.Height; ++y)
            for (int x = 0; same && x < ours.Width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const std::uint8_t v = ours.Row(y)[3 * x + 2 - c];
                    same = same && v == rgb[(static_cast<std::size_t>(y) * ours.Width + x) * 3 + c] &&
                           v == inflated[y * (3 * ours.Width + 1) + 1 + 3 * x + c];
                }
        std::printf("  %-26s %8.1f %8.1f %8.1f   DecodePng / fastest %.2f%s\n", s.Name.c_str(), t[0][3], t[1][3],
                    t[2][3], t[0][3] / std::min(t[1][3], t[2][3]), same ? "" : "   PIXELS DIFFER");
    }
    return 0;
}
