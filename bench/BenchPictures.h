// Pictures the GIF benchmarks decode, made at start-up: a 1920 x 1080 screenshot-like one
// (gradient desktop, flat windows, title bars, dense "text"; 256 colours) and a photo-like
// one (smooth shapes with fine noise). Shared by the native and the Windows benchmarks so
// both measure the same content.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace benchpic {

using Bytes = std::vector<std::uint8_t>;

struct Picture {
    int Width, Height;
    Bytes Pixels;
};

// A desktop: gradient background, windows with title bars and borders, lines of "text".
inline Picture Screenshot() {
    Picture p{1920, 1080, Bytes(1920u * 1080u)};
    std::mt19937 rng(1);
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) p.Pixels[static_cast<std::size_t>(y) * p.Width + x] = static_cast<std::uint8_t>(16 + y * 32 / p.Height);
    auto fill = [&](int x0, int y0, int w, int h, std::uint8_t c) {
        for (int y = std::max(0, y0); y < std::min(p.Height, y0 + h); ++y)
            std::memset(&p.Pixels[static_cast<std::size_t>(y) * p.Width + std::max(0, x0)], c,
                        static_cast<std::size_t>(std::max(0, std::min(p.Width, x0 + w) - std::max(0, x0))));
    };
    for (int win = 0; win < 7; ++win) {
        const int x0 = static_cast<int>(rng() % 1300), y0 = static_cast<int>(rng() % 600);
        const int w = 400 + static_cast<int>(rng() % 500), h = 250 + static_cast<int>(rng() % 400);
        fill(x0 - 1, y0 - 1, w + 2, h + 2, 60);
        fill(x0, y0, w, h, 255);
        fill(x0, y0, w, 24, static_cast<std::uint8_t>(100 + win));
        for (int line = y0 + 34; line + 12 < y0 + h; line += 16)
            for (int x = x0 + 8; x + 8 < x0 + w - 8; x += 7) {
                if (rng() % 9 == 0) {
                    x += 7;
                    continue;
                }
                const std::uint32_t glyph = rng();
                // Windows may reach past the picture's right and bottom edges; their text is cut there.
                for (int gy = 0; gy < 10 && line + gy < p.Height; ++gy)
                    for (int gx = 0; gx < 5 && x + gx < p.Width; ++gx)
                        if (glyph >> ((gy * 5 + gx) % 32) & (gy % 3 == 0 ? 1u : 3u) & 1u)
                            p.Pixels[static_cast<std::size_t>(line + gy) * p.Width + x + gx] = 0;
            }
    }
    return p;
}

// Smooth shapes with fine noise, reduced to 256 colours with dithering, like a photo.
inline Picture Photo(int width, int height) {
    Picture p{width, height, Bytes(static_cast<std::size_t>(width) * height)};
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> noise(-6.0, 6.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double v = 128 + 60 * std::sin(x * 0.011 + std::cos(y * 0.007) * 3) + 40 * std::cos(y * 0.019 - x * 0.004) +
                             20 * std::sin((x + y) * 0.05) + noise(rng);
            p.Pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
        }
    return p;
}

// Something like a desktop as 32-bit rows (blue, green, red, unused), top row first: a noisy
// (photo-like) wallpaper or a smooth one, flat windows with title-bar gradients and dense dark
// "text" on white. The Windows benchmarks draw it into bitmaps, the native ones use it as is.
inline std::vector<std::uint32_t> Desktop(int w, int h, bool noisyWallpaper) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    std::uint32_t seed = 2024;
    auto rnd = [&] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool window = (x > w / 19 && x < w * 4 / 7 && y > h / 13 && y < h * 7 / 10) ||
                                (x > w * 15 / 32 && x < w * 15 / 16 && y > h * 10 / 27 && y < h * 25 / 27);
            unsigned r, g, b;
            if (!window) {
                const unsigned noise = noisyWallpaper ? 24 : 1;
                r = 40 + x * 90 / w + rnd() % noise;
                g = 80 + y * 60 / h + rnd() % noise;
                b = 140 + rnd() % noise;
            } else if ((y / 24) % 14 == 3) {
                r = 10 + (x % 1000) / 8;
                g = 36 + (x % 1000) / 8;
                b = 106 + (x % 1000) / 8;
            } else if ((y / 16) % 2 == 0 && ((x * 7 + y * 3) % 11 < 4) && (x % 90) < 70) {
                r = g = b = 20;
            } else {
                r = g = b = 250;
            }
            px[static_cast<std::size_t>(y) * w + x] = (r << 16) | (g << 8) | b;
        }
    return px;
}

// Photo() in colour: each grey level through a warm-to-cool ramp, as 32-bit rows.
inline std::vector<std::uint32_t> ColourPhoto(int w, int h) {
    const Picture grey = Photo(w, h);
    std::vector<std::uint32_t> px(grey.Pixels.size());
    for (std::size_t i = 0; i < px.size(); ++i) {
        const unsigned v = grey.Pixels[i], n = (i * 2654435761u) >> 29;  // a little colour noise
        px[i] = (std::min(255u, v + 30 + n) << 16) | (std::min(255u, v * 3 / 4 + 20 + (n >> 1)) << 8) | (255 - v) / 2;
    }
    return px;
}

// Screenshot() in colour (each grey level through a ramp): a desktop of 41 colours, flat
// windows and text without smoothing, as 32-bit rows.
inline std::vector<std::uint32_t> FewColourScreenshot() {
    const Picture grey = Screenshot();
    std::vector<std::uint32_t> px(grey.Pixels.size());
    for (std::size_t i = 0; i < px.size(); ++i) {
        const unsigned v = grey.Pixels[i];
        px[i] = (v << 16) | ((v * 3 / 4) << 8) | (255 - v);
    }
    return px;
}

}  // namespace benchpic
