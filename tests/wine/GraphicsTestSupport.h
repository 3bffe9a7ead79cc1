// Helpers shared by the graphics tests: a scratch folder, pictures with known pixels and
// pixel comparison.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "framework/win/Bitmap.h"
#include "framework/win/Handles.h"

namespace kaptor::testing {

// A folder of its own under the temp path, removed with what is left in it.
class TempDir {
public:
    TempDir() {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        static int serial = 0;
        path_ = std::string(tmp) + "kaptor-gfx-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempDir() {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((path_ + "*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path_ + fd.cFileName).c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(path_.c_str());
    }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Every byte of every row random (seeded), so a wrong or missed pixel shows.
inline void FillRandom(TBitmap& bitmap, unsigned seed) {
    std::mt19937 rng(seed);
    const int rowBytes = static_cast<int>(Dib::StrideFor(bitmap.Width(), bitmap.BitCount()));
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (int i = 0; i < rowBytes; ++i) row[i] = static_cast<std::uint8_t>(rng());
    }
    bitmap.Modified();
}

inline void FillColor(TBitmap& bitmap, TColor color) {
    bitmap.Canvas().Brush.Color = color;
    bitmap.Canvas().Brush.Style = bsSolid;
    bitmap.Canvas().FillRect(RECT{0, 0, bitmap.Width(), bitmap.Height()});
}

// How far the handle table must reach to hold 3000 more objects: free slots are used first,
// then new ones, so with every object alive (guarded or not) holding a slot, a leak pushes
// this up. It counts what GetGuiResources would count on Windows (Wine reports 0 there).
// Valid when fewer than 3000 slots were free, as after an earlier measure.
template <class H, class Make>
long SlotsReached(Make make) {
    std::vector<H> held;
    long top = 0;
    for (int i = 0; i < 3000; ++i) {
        held.emplace_back(make());
        top = std::max(top, static_cast<long>(reinterpret_cast<std::uintptr_t>(held.back().get()) & 0xFFFF));
    }
    return top;
}
inline long GdiSlotsReached() { return SlotsReached<UniqueRgn>([] { return CreateRectRgn(0, 0, 1, 1); }); }
inline long UserSlotsReached() { return SlotsReached<UniqueMenu>([] { return CreateMenu(); }); }

inline COLORREF Px(TBitmap& bitmap, int x, int y) { return bitmap.Canvas().Pixels(x, y); }

}  // namespace kaptor::testing
