// Saving a screen capture as JPEG: EncodeJpeg (row conversion, stream output, error guard)
// against libjpeg-turbo fed the same 24-bit rows directly into memory with the same
// settings (quality 90, baseline, default subsampling). The ratios of the two medians are
// printed at the end of the run; close to 1 means the wrapper costs nothing worth noting.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include <jpeglib.h>

#include "framework/base/Classes.h"
#include "framework/imaging/JpegCodec.h"

using namespace kaptor;

namespace {

// Something like a desktop: flat window backgrounds, title-bar gradients, dense dark "text"
// on white, and a photo-like noisy wallpaper between the windows.
const Dib& Capture() {
    static const Dib dib = [] {
        Dib d = Dib::Make(1920, 1080, 24);
        std::uint32_t seed = 2024;
        auto rnd = [&] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
        for (int y = 0; y < 1080; ++y) {
            std::uint8_t* row = d.Row(y);
            for (int x = 0; x < 1920; ++x) {
                std::uint8_t* p = row + 3 * x;
                const bool window = (x > 100 && x < 1100 && y > 80 && y < 760) || (x > 900 && x < 1800 && y > 400 && y < 1000);
                int r, g, b;
                if (!window) {  // wallpaper
                    r = 40 + (x * 90) / 1920 + static_cast<int>(rnd() % 24);
                    g = 80 + (y * 60) / 1080 + static_cast<int>(rnd() % 24);
                    b = 140 + static_cast<int>(rnd() % 24);
                } else if ((y > 80 && y < 104) || (y > 400 && y < 424)) {  // title bars
                    r = 10 + (x % 1000) / 8;
                    g = 36 + (x % 1000) / 8;
                    b = 106 + (x % 1000) / 8;
                } else if ((y / 16) % 2 == 0 && ((x * 7 + y * 3) % 11 < 4) && (x % 90) < 70) {  // text
                    r = g = b = 20;
                } else {
                    r = g = b = 250;
                }
                p[0] = static_cast<std::uint8_t>(b);
                p[1] = static_cast<std::uint8_t>(g);
                p[2] = static_cast<std::uint8_t>(r);
            }
        }
        return d;
    }();
    return dib;
}

void BM_EncodeJpeg(benchmark::State& state) {
    const Dib& dib = Capture();
    std::size_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream out;
        EncodeJpeg(dib, out);
        bytes = out.Memory().size();
        benchmark::DoNotOptimize(out.Memory().data());
    }
    state.counters["jpeg_bytes"] = static_cast<double>(bytes);
}

void BM_LibjpegDirect(benchmark::State& state) {
    const Dib& dib = Capture();
    std::size_t bytes = 0;
    for (auto _ : state) {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* buf = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &buf, &size);
        c.image_width = static_cast<JDIMENSION>(dib.Width);
        c.image_height = static_cast<JDIMENSION>(dib.Height);
        c.input_components = 3;
        c.in_color_space = JCS_EXT_BGR;  // the Dib's rows as they are
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, JpegQuality, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(dib.Row(static_cast<int>(c.next_scanline)));
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        bytes = size;
        benchmark::DoNotOptimize(buf);
        std::free(buf);
    }
    state.counters["jpeg_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond)->Repetitions(7);
BENCHMARK(BM_LibjpegDirect)->Unit(benchmark::kMillisecond)->Repetitions(7);

// Prints as usual, keeps each benchmark's median, and ends with the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians_[r.run_name.function_name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto ours = medians_.find("BM_EncodeJpeg"), ref = medians_.find("BM_LibjpegDirect");
        if (ours == medians_.end() || ref == medians_.end() || ref->second.first <= 0 || ref->second.second <= 0)
            return;
        // CPU time too: on a shared machine the wall clock also counts other people's work.
        std::printf("EncodeJpeg / libjpeg-turbo direct, medians: real time %.3f, CPU time %.3f\n",
                    ours->second.first / ref->second.first, ours->second.second / ref->second.second);
    }

private:
    std::map<std::string, std::pair<double, double>> medians_;  // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
