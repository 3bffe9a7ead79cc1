// A small timing harness for the Windows benchmarks (Google Benchmark has no mingw build).
// Every comparison runs its subject and its reference alternately in one process, so both
// see the same machine load; each sample times a batch long enough for the clock, and the
// medians of the samples are compared.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Timing {
    double Median = 0;  // ms per call
    double Min = 0;
    int Batch = 1;      // calls per sample
};

class Timed {
public:
    // setup runs before every sample, untimed (the state a case needs, when cases share it).
    Timed(const char* name, std::function<void()> body, std::function<void()> setup = nullptr)
        : name_(name), body_(std::move(body)), setup_(std::move(setup)) {}
    const char* Name() const { return name_; }

    // Calls per sample so that one sample lasts about minMs.
    void Calibrate(double minMs) {
        if (setup_) setup_();
        body_();  // warm up: first-touch of memory, lazily made GDI objects
        const double t0 = NowMs();
        body_();
        const double one = std::max(NowMs() - t0, 1e-4);
        batch_ = std::clamp(static_cast<int>(minMs / one) + 1, 1, 100000);
    }
    void Sample() {
        if (setup_) setup_();
        const double t0 = NowMs();
        for (int i = 0; i < batch_; ++i) body_();
        samples_.push_back((NowMs() - t0) / batch_);
    }
    Timing Result() const {
        return Timing{Median(samples_), samples_.empty() ? 0 : *std::min_element(samples_.begin(), samples_.end()),
                      batch_};
    }

private:
    const char* name_;
    std::function<void()> body_;
    std::function<void()> setup_;
    int batch_ = 1;
    std::vector<double> samples_;
};

// Runs the cases interleaved, `samples` samples each, and prints one line per case.
inline std::vector<Timing> RunInterleaved(std::vector<Timed*> cases, int samples = 15, double minMs = 20) {
    for (Timed* c : cases) c->Calibrate(minMs);
    for (int s = 0; s < samples; ++s)
        for (Timed* c : cases) c->Sample();
    std::vector<Timing> out;
    for (Timed* c : cases) {
        out.push_back(c->Result());
        std::printf("  %-52s median %10.4f ms   min %10.4f ms   (%d per sample)\n", c->Name(), out.back().Median,
                    out.back().Min, out.back().Batch);
    }
    return out;
}

inline void PrintRatio(const char* what, double ours, double reference) {
    std::printf("RATIO %-60s %8.3f\n", what, reference > 0 ? ours / reference : 0.0);
    std::fflush(stdout);
}

}  // namespace bench
