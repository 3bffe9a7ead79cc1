// GIF decoding throughput: our reader (with a per-row hook installed, as the program runs
// it) against giflib's DGifSlurp, on pictures made at start-up and encoded by giflib:
// a 1920 x 1080 screenshot-like picture, photo-like 256-colour ones (1280 x 960, the same
// interlaced, and 1920 x 1080). Prints the ratio giflib time / our time for each at the end.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "gif/GifReader.h"

using benchpic::Bytes;
using benchpic::Picture;
using benchpic::Photo;
using benchpic::Screenshot;

namespace {

int WriteMemory(GifFileType* gif, const GifByteType* buf, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), buf, buf + n);
    return n;
}

Bytes Encode(const Picture& p, bool interlaced) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteMemory, &error);
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i) colors[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i), static_cast<GifByteType>(i / 2)};
    ColorMapObject* map = GifMakeMapObject(256, colors);
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, p.Width, p.Height, 8, 0, map) != GIF_OK ||
        EGifPutImageDesc(gif, 0, 0, p.Width, p.Height, interlaced, nullptr) != GIF_OK)
        std::abort();
    static constexpr int first[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    auto row = [&](int y) {
        if (EGifPutLine(gif, const_cast<GifPixelType*>(&p.Pixels[static_cast<std::size_t>(y) * p.Width]), p.Width) != GIF_OK)
            std::abort();
    };
    if (interlaced) {
        for (int pass = 0; pass < 4; ++pass)
            for (int y = first[pass]; y < p.Height; y += step[pass]) row(y);
    } else {
        for (int y = 0; y < p.Height; ++y) row(y);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

struct MemoryInput {
    const Bytes* Data;
    std::size_t Pos;
};

int ReadMemory(GifFileType* gif, GifByteType* buf, int n) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const std::size_t k = std::min<std::size_t>(in->Data->size() - in->Pos, static_cast<std::size_t>(n));
    std::memcpy(buf, in->Data->data() + in->Pos, k);
    in->Pos += k;
    return static_cast<int>(k);
}

// Decodes with giflib; the pixels of the first image, rows top first.
Bytes GiflibDecode(const Bytes& file) {
    MemoryInput in{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, ReadMemory, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
    const SavedImage& s = gif->SavedImages[0];
    Bytes out(s.RasterBits, s.RasterBits + static_cast<std::size_t>(s.ImageDesc.Width) * s.ImageDesc.Height);
    DGifCloseFile(gif, &error);
    return out;
}

struct Input {
    std::string Name;
    Picture Pic;
    Bytes File;
};

std::vector<Input>& Inputs() {
    static std::vector<Input> inputs = [] {
        std::vector<Input> v;
        Picture photo = Photo(1280, 960);
        v.push_back({"screenshot_1920x1080", Screenshot(), {}});
        v.push_back({"photo_1280x960", photo, {}});
        v.push_back({"photo_1920x1080", Photo(1920, 1080), {}});
        v.push_back({"photo_1280x960_interlaced", photo, {}});
        for (auto& in : v) in.File = Encode(in.Pic, in.Name.find("interlaced") != std::string::npos);
        return v;
    }();
    return inputs;
}

void OurDecode(benchmark::State& state, const Input* in) {
    kaptor::TMemoryStream stream(in->File);
    long rows = 0;
    for (auto _ : state) {
        kaptor::TGifFile gif;
        gif.Hooks.RowDecoded = [&rows](int, int) { ++rows; };  // as the program installs one
        gif.LoadFromStream(stream);
        benchmark::DoNotOptimize(gif.Image(1).Pixels->Data());
    }
    benchmark::DoNotOptimize(rows);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(in->Pic.Pixels.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(in->File.size()));
}

void GiflibSlurp(benchmark::State& state, const Input* in) {
    for (auto _ : state) {
        MemoryInput mem{&in->File, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&mem, ReadMemory, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) {
            state.SkipWithError("giflib failed");
            break;
        }
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(in->Pic.Pixels.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(in->File.size()));
}

// Keeps each run's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
                Times[r.run_name.function_name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::pair<double, double>> Times;  // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
    // Both decoders must give the same indexes, or the comparison means nothing.
    for (const Input& in : Inputs()) {
        kaptor::TMemoryStream stream(in.File);
        kaptor::TGifFile gif;
        gif.LoadFromStream(stream);
        const kaptor::TByteArray2D& px = *gif.Image(1).Pixels;
        const Bytes ours(px.Data(), px.Data() + in.Pic.Pixels.size());
        if (ours != in.Pic.Pixels || GiflibDecode(in.File) != in.Pic.Pixels) {
            std::fprintf(stderr, "%s: decoders disagree\n", in.Name.c_str());
            return 1;
        }
        std::printf("%-28s %5d x %4d, %8zu bytes of GIF\n", in.Name.c_str(), in.Pic.Width, in.Pic.Height, in.File.size());
    }
    for (const Input& in : Inputs()) {
        benchmark::RegisterBenchmark(("kaptor/" + in.Name).c_str(), OurDecode, &in)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("giflib/" + in.Name).c_str(), GiflibSlurp, &in)->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nspeed ratio, giflib time / our time (above 1: faster than giflib)\n  %-28s %6s %6s\n", "", "real", "CPU");
    for (const Input& in : Inputs()) {
        const auto a = reporter.Times.find("kaptor/" + in.Name), b = reporter.Times.find("giflib/" + in.Name);
        if (a != reporter.Times.end() && b != reporter.Times.end() && a->second.first > 0 && a->second.second > 0)
            std::printf("  %-28s %6.2f %6.2f\n", in.Name.c_str(), b->second.first / a->second.first,
                        b->second.second / a->second.second);
    }
    benchmark::Shutdown();
    return 0;
}
