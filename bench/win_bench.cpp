// Windows-side benchmarks, run under the Wine harness. Each comparison puts one of the
// program's operations beside a reference measured in the same run and prints the ratio:
//   capture      whole-screen capture (Wait 0, no hiding, no cursor)  vs the platform's own part:
//                blitting the screen, making the clean copy
//   zoom         a zoom change on 4096 x 4096                          vs the same on 1024 x 768
//   band         one XOR band draw on 4096 x 4096                      vs one full copy of the picture
//   jpeg         JPEG save of a 1920 x 1080 capture                    vs libjpeg-turbo on the same pixels
//   open         opening GIF, JPEG and BMP files end to end (win_open_bench.cpp)
//   selector     the region selector's first paint on the frozen screen vs a bare window showing it
//   copy         Ctrl+C on a 1920 x 1080 picture                       vs the bitmap alone on the clipboard
//   markup       a pointer move dragging a shape, an undo, on 4096 x 4096 vs one full copy of the picture
//                (win_markup_bench.cpp)
//   png          PNG save of the same capture                          vs libpng on the same pixels, same settings;
//                zlib level and row filter against time and size; opening a 1080p PNG end to end
//                                                                      vs decoding it in memory
// KAPTOR_BENCH_ONLY (for example "capture,zoom") picks comparisons; all run by default. The
// command line is not used: the main window would take its first argument for a file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "BenchPictures.h"
#include "PngReference.h"
#include "WinTiming.h"
#include "app/MainWindow.h"
#include "view/PictureView.h"
#include "settings/Settings.h"
#include "capture/RegionSelector.h"
#include "exchange/Clipboard.h"
#include "exchange/Save.h"
#include "framework/imaging/JpegCodec.h"
#include "framework/imaging/PngCodec.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Clipbrd.h"
#include "framework/win/Picture.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Handles.h"
#include "framework/win/PngImage.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"
#include "gif/GifBitmap.h"

using namespace kaptor;
using bench::RunInterleaved;
using bench::Timed;

void BenchOpen(TMainWindow& form);    // win_open_bench.cpp
void BenchMarkup(TMainWindow& form);  // win_markup_bench.cpp

namespace {

// Rows of a 32-bit bitmap as the capture holds them, without GdiFlush per row.
std::vector<std::uint32_t*> Rows(TBitmap& bitmap) {
    std::vector<std::uint32_t*> rows;
    for (int y = 0; y < bitmap.Height(); ++y) rows.push_back(reinterpret_cast<std::uint32_t*>(bitmap.ScanLine(y)));
    return rows;
}

// Something like a desktop: a noisy (photo-like) wallpaper or a smooth one, flat windows with
// title-bar gradients and dense dark "text" on white. JPEG and PNG cost depends on content,
// so both sides get this.
void FillDesktop(TBitmap& bitmap, bool noisyWallpaper = true) {
    const auto px = benchpic::Desktop(bitmap.Width(), bitmap.Height(), noisyWallpaper);
    auto rows = Rows(bitmap);
    for (int y = 0; y < bitmap.Height(); ++y)
        std::memcpy(rows[y], px.data() + static_cast<std::size_t>(y) * bitmap.Width(), 4u * bitmap.Width());
    bitmap.Modified();
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) Application->DispatchOne(msg);
}

void InstallDesktop(TMainWindow& form, int w, int h) {
    if (form.Down(TCommandId::EnterRange)) form.Execute(TCommandId::LeaveRange);
    form.View().Shown().Picture().SetGraphic(nullptr);
    form.View().CleanCopy().Picture().SetGraphic(nullptr);
    TBitmap bitmap(w, h);
    FillDesktop(bitmap);
    form.View().Install(bitmap);
    Pump();
}

}  // namespace

// For the benchmarks in the other files.
void InstallBenchDesktop(TMainWindow& form, int w, int h) { InstallDesktop(form, w, h); }
void PumpBench() { Pump(); }

namespace {

// ---------------------------------------------------------------- capture

// Private memory committed in this process now: every block the system gave it, section
// memory included.
unsigned long long CommittedPrivateBytes() {
    unsigned long long sum = 0;
    MEMORY_BASIC_INFORMATION info;
    for (auto* p = static_cast<const char*>(nullptr); VirtualQuery(p, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) sum += info.RegionSize;
        const auto* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return sum;
}

// The most private memory committed while it runs, sampled as fast as a second thread can
// walk the address space (the platform keeps no peak of its own under Wine).
class CommitPeak {
public:
    CommitPeak() : peak_(CommittedPrivateBytes()) {
        thread_ = CreateThread(nullptr, 0, &CommitPeak::Run, this, 0, nullptr);
    }
    unsigned long long Stop() {
        stop_ = 1;
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return peak_;
    }
    ~CommitPeak() { Stop(); }

private:
    static DWORD WINAPI Run(void* self) {
        auto& me = *static_cast<CommitPeak*>(self);
        while (!me.stop_) me.peak_ = std::max(me.peak_, CommittedPrivateBytes());
        return 0;
    }
    volatile LONG stop_ = 0;
    unsigned long long peak_;
    HANDLE thread_ = nullptr;
};

// The most screen-sized buffers `body` holds beyond those held before it, three times.
void MeasurePeak(const char* what, std::size_t bytes, const std::function<void()>& body) {
    for (int round = 0; round < 3; ++round) {
        const unsigned long long rest = CommittedPrivateBytes();
        CommitPeak peak;
        body();
        const unsigned long long most = peak.Stop();
        std::printf("peak: %s: + %.2f screen-sized buffers (%.1f MB committed before)\n", what,
                    (static_cast<double>(most) - static_cast<double>(rest)) / static_cast<double>(bytes),
                    rest / 1048576.0);
    }
}

void BenchCapture(TMainWindow& form) {
    std::printf("capture: whole screen %d x %d, 32 bits\n", Screen->Width(), Screen->Height());
    const std::size_t bytes = static_cast<std::size_t>(Screen->Width()) * Screen->Height() * 4;
    Timed capture("whole-screen capture (copy, clean copy, show, status)", [&] {
        form.Execute(TCommandId::CaptureWholeScreen);
        Pump();
    });
    // What the platform itself costs: one BitBlt of the screen into a DIB section.
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), Screen->Width(), Screen->Height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP section = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, section);
    Timed blt("one BitBlt of the screen into a DIB section", [&] {
        BitBlt(mem, 0, 0, Screen->Width(), Screen->Height(), screen, 0, 0, SRCCOPY);
        GdiFlush();
    });
    // A new section with the screen blitted into it; the caller deletes it.
    auto screenInNewSection = [&](void*& pixels) {
        HBITMAP fresh = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ o = SelectObject(dc, fresh);
        BitBlt(dc, 0, 0, Screen->Width(), Screen->Height(), screen, 0, 0, SRCCOPY);
        GdiFlush();
        SelectObject(dc, o);
        DeleteDC(dc);
        return fresh;
    };
    // The least any capture does: a new section, the screen blitted into it, a second new
    // section for the clean copy and one memcpy.
    auto leastCapture = [&] {
        void* b1 = nullptr;
        void* b2 = nullptr;
        // The clean copy's section is there during the blit, as the program's is.
        HBITMAP s2 = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &b2, nullptr, 0);
        HBITMAP s1 = screenInNewSection(b1);
        std::memcpy(b2, b1, bytes);
        DeleteObject(s1);
        DeleteObject(s2);
    };
    Timed floor("new section + BitBlt + new section + memcpy", leastCapture);
    // The same when the clean copy goes into a section that is already there, as the
    // program's does when the new picture has the size of the last.
    void* heldBits = nullptr;
    HBITMAP held = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &heldBits, nullptr, 0);
    std::memset(heldBits, 0, bytes);
    Timed floorHeld("new section + BitBlt + memcpy into a held section", [&] {
        void* b1 = nullptr;
        HBITMAP s1 = screenInNewSection(b1);
        std::memcpy(heldBits, b1, bytes);
        DeleteObject(s1);
    });
    // Memory first, from a state that holds a screen-sized picture and its clean copy.
    form.Execute(TCommandId::CaptureWholeScreen);
    Pump();
    MeasurePeak("capture (holding 2 before)", bytes, [&] {
        form.Execute(TCommandId::CaptureWholeScreen);
        Pump();
    });
    MeasurePeak("new section + BitBlt + new section + memcpy", bytes, leastCapture);
    const auto t = RunInterleaved({&capture, &blt, &floor, &floorHeld});
    DeleteObject(held);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(section);
    ReleaseDC(nullptr, screen);
    bench::PrintRatio("capture / one plain screen BitBlt", t[0].Median, t[1].Median);
    bench::PrintRatio("capture / new section + BitBlt + clean copy", t[0].Median, t[2].Median);
    bench::PrintRatio("capture / new section + BitBlt + clean copy into a held section", t[0].Median, t[3].Median);
}

// ---------------------------------------------------------------- zoom

void BenchZoom(TMainWindow& form) {
    std::printf("zoom: view %d x %d\n", form.View().Area().ClientWidth(), form.View().Area().ClientHeight());
    // The two sizes alternate inside one run: before each sample (untimed) the form gets its
    // picture at 100 %.
    TBitmap large(4096, 4096), small(1024, 768);
    FillDesktop(large);
    FillDesktop(small);
    auto install = [&](TBitmap& picture) {
        form.View().ChooseZoom(100);
        form.View().Install(picture);
        Pump();
    };
    // Four steps a call, each a real change; all of them fill the view, whatever the picture.
    auto steps = [&] {
        for (int zoom : {150, 200, 250, 100}) {
            form.View().ChooseZoom(zoom);
            Pump();
        }
    };
    Timed onLarge("4 zoom changes on 4096 x 4096 (set, repaint)", steps, [&] { install(large); });
    Timed onSmall("4 zoom changes on 1024 x 768 (set, repaint)", steps, [&] { install(small); });
    const auto t = RunInterleaved({&onLarge, &onSmall});
    bench::PrintRatio("zoom change 4096x4096 / 1024x768", t[0].Median, t[1].Median);

    // Below 100 % the view averages; the reference is the same steps drawn by the nearest
    // pixel, as the view drew them before. All of them fill the view.
    TImage& shown = form.View().Shown();
    auto shrinking = [&] {
        for (int zoom : {75, 50, 25, 100}) {
            form.View().ChooseZoom(zoom);
            Pump();
        }
    };
    auto drawing = [&](bool averaged) {
        return [&, averaged] {
            shown.AverageWhenSmaller = averaged;
            install(large);
        };
    };
    Timed averaged("4 zoom changes, 3 below 100 %, on 4096 x 4096 (averaged)", shrinking, drawing(true));
    Timed nearest("the same by the nearest pixel", shrinking, drawing(false));
    const auto s = RunInterleaved({&averaged, &nearest});
    bench::PrintRatio("zoom below 100 % averaged / nearest pixel", s[0].Median, s[1].Median);
    shown.AverageWhenSmaller = true;
    form.View().ChooseZoom(100);
    Pump();
}

// ---------------------------------------------------------------- band

void BenchBand(TMainWindow& form) {
    std::printf("band: 4096 x 4096 picture, band (8, 8)-(4088, 4088)\n");
    InstallDesktop(form, 4096, 4096);
    form.Execute(TCommandId::EnterRange);
    TPictureView& view = form.View();
    view.MouseDown(TMouseButton::mbLeft, 8, 8);
    Pump();
    Timed band("one DrawBand (XOR, four lines)", [&] {
        view.DrawBand(POINT{8, 8}, POINT{4088, 4088});
        GdiFlush();
    });
    int x = 4088;
    Timed move("mouse move: erase, draw, status, repaint", [&] {
        x = x == 4088 ? 4087 : 4088;
        view.MouseMove(x, 4088);
        Pump();
    });
    Timed copy("one full copy of the picture (restore)", [&] {
        view.Shown().Picture().Assign(view.CleanCopy().Picture());
        GdiFlush();
    });
    const auto t = RunInterleaved({&band, &move, &copy});
    form.Execute(TCommandId::LeaveRange);
    Pump();
    bench::PrintRatio("band draw / full copy", t[0].Median, t[2].Median);
    bench::PrintRatio("mouse move in range mode / full copy", t[1].Median, t[2].Median);
}

// ---------------------------------------------------------------- jpeg

std::string TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base) + "kaptor-bench\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

// libjpeg-turbo alone: the bitmap's rows as they are (BGRX), the settings the save uses,
// into memory, then the file in one write.
std::size_t EncodeDirect(const std::vector<std::uint32_t*>& rows, int w, int h, const std::string& file) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, JpegQuality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(rows[c.next_scanline]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    if (!file.empty()) {
        HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (f != INVALID_HANDLE_VALUE) {
            WriteFile(f, buf, static_cast<DWORD>(size), &written, nullptr);
            CloseHandle(f);
        }
    }
    std::free(buf);
    return size;
}

std::size_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}

void BenchJpeg() {
    std::printf("jpeg: 1920 x 1080, 32 bits as captured, quality %d\n", JpegQuality);
    TBitmap capture(1920, 1080);
    FillDesktop(capture);
    const auto rows = Rows(capture);
    const std::string dir = TempFolder();
    const std::string saved = dir + "save.jpg", direct = dir + "direct.jpg";
    Timed save("SavePictureFile, JPEG entry (temp file, replace)", [&] {
        SavePictureFile(capture, saved, SaveTypeJpeg);
    });
    Timed ref("libjpeg-turbo on the same rows, one file write", [&] { EncodeDirect(rows, 1920, 1080, direct); });
    Timed encodeOnly("libjpeg-turbo on the same rows, into memory", [&] { EncodeDirect(rows, 1920, 1080, ""); });
    const auto t = RunInterleaved({&save, &ref, &encodeOnly}, 11);
    std::printf("  file sizes: saved %zu bytes, direct %zu bytes\n", FileSize(saved), FileSize(direct));
    bench::PrintRatio("JPEG save / libjpeg-turbo direct (with file write)", t[0].Median, t[1].Median);
    bench::PrintRatio("JPEG save / libjpeg-turbo direct (encode only)", t[0].Median, t[2].Median);
    DeleteFileA(saved.c_str());
    DeleteFileA(direct.c_str());
    RemoveDirectoryA(dir.c_str());
}

// ---------------------------------------------------------------- png

// libpng alone: the bitmap's rows as they are (BGRX, libpng swaps and drops the fourth byte),
// the settings given, into memory, then the file in one write.
std::size_t EncodePngDirect(const std::vector<std::uint32_t*>& rows, int w, int h, const TPngSettings& settings,
                            const std::string& file) {
    static const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH,
                                  PNG_ALL_FILTERS};
    const std::vector<std::uint8_t> out = benchpic::LibpngEncode(
        w, h, settings.Level, filters[static_cast<int>(settings.Filter)], [&](int y) { return rows[y]; });
    if (!file.empty()) {
        HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (f != INVALID_HANDLE_VALUE) {
            WriteFile(f, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
            CloseHandle(f);
        }
    }
    return out.size();
}

const char* FilterName(TPngFilter f) {
    static const char* names[] = {"none", "sub", "up", "average", "paeth", "adaptive"};
    return names[static_cast<int>(f)];
}

// The screen as it is now (the harness's desktop with the main window on it), as captured.
void CaptureScreen(TBitmap& bitmap) {
    HDC screen = GetDC(nullptr);
    TCanvas& canvas = bitmap.Canvas();
    BitBlt(canvas.Handle(), 0, 0, bitmap.Width(), bitmap.Height(), screen, 0, 0, SRCCOPY);
    ReleaseDC(nullptr, screen);
    bitmap.Modified();
}

// The rest of a PNG open: the install of the decoded bitmap (its copy, the clean copy, two
// repaints and the paint after them), beside the copy alone; and the same install and a bare
// blit to the view for the picture at 24 bits, as a PNG opens, and at 32, as the screen is.
void BenchPngInstall(TMainWindow& form, const std::string& saved) {
    TPicture picture;
    picture.LoadFromFile(saved);
    TBitmap decoded, wide;
    decoded.Assign(picture.Graphic());
    wide.Assign(decoded);
    wide.SetPixelFormat(pf32bit);
    const int w = decoded.Width(), h = decoded.Height();
    Timed install24("install of the decoded 24-bit bitmap", [&] { form.View().Install(decoded); Pump(); });
    Timed install32("install of the same at 32 bits", [&] { form.View().Install(wide); Pump(); });
    Timed copy("copy of the decoded bitmap alone", [&] { decoded.Clone(); });
    // The blits go to a bitmap like the screen's, all of the picture: the view on the test
    // display shows only part of it.
    HDC screen = GetDC(nullptr);
    const UniqueMemDC dc(CreateCompatibleDC(screen));
    const UniqueBitmap like(CreateCompatibleBitmap(screen, w, h));
    ReleaseDC(nullptr, screen);
    const ScopedSelect selected(dc.get(), like.get());
    Timed blit24("BitBlt of the 24-bit section to a screen bitmap", [&] {
        BitBlt(dc.get(), 0, 0, w, h, decoded.Canvas().Handle(), 0, 0, SRCCOPY);
        GdiFlush();
    });
    Timed blit32("BitBlt of the 32-bit section to a screen bitmap", [&] {
        BitBlt(dc.get(), 0, 0, w, h, wide.Canvas().Handle(), 0, 0, SRCCOPY);
        GdiFlush();
    });
    const auto t = RunInterleaved({&install24, &install32, &copy, &blit24, &blit32}, 9, 1);
    bench::PrintRatio("PNG install (24 bits) / copy of the bitmap alone", t[0].Median, t[2].Median);
    bench::PrintRatio("PNG install at 24 bits / at 32 bits", t[0].Median, t[1].Median);
    bench::PrintRatio("BitBlt to a screen bitmap, 24-bit / 32-bit section", t[3].Median, t[4].Median);
}

void BenchPng(TMainWindow& form) {
    std::printf("png: the program's encoder against libpng + zlib level 6, adaptive (what a save did before)\n");
    TBitmap capture(1920, 1080);
    FillDesktop(capture);
    const auto rows = Rows(capture);
    const std::string dir = TempFolder();
    const std::string saved = dir + "save.png", direct = dir + "direct.png";

    // Each kind of picture: time and size of both, alternated, into memory.
    TBitmap flat(1920, 1080), photo(1920, 1080), few(1920, 1080);
    FillDesktop(flat, false);
    for (auto [bitmap, px] : {std::pair{&photo, benchpic::ColourPhoto(1920, 1080)},
                              std::pair{&few, benchpic::FewColourScreenshot()}}) {
        auto r = Rows(*bitmap);
        for (int y = 0; y < 1080; ++y) std::memcpy(r[y], px.data() + y * 1920, 4 * 1920);
        bitmap->Modified();
    }
    // The screen before and after a picture is shown: the desktop with the empty main window
    // (flat, few colours), then with the noisy desktop picture in it.
    TBitmap bare(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    CaptureScreen(bare);
    InstallDesktop(form, 1920, 1080);
    TBitmap screen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    CaptureScreen(screen);
    struct Kind {
        const char* Name;
        TBitmap* Bitmap;
    };
    // Our encoder's levels and filters on the screenshot-like picture, where the choice is hardest,
    // and its levels on the indices of the few-colour pictures.
    auto levels = [&](const char* name, TBitmap& bitmap, std::initializer_list<int> tried,
                      std::initializer_list<TPngFilter> filters, bool index) {
        std::printf("  level filter         ms      bytes   (%s, ours)\n", name);
        for (int level : tried)
            for (TPngFilter f : filters) {
                std::size_t bytes = 0;
                bool indexed = false;
                Timed one("", [&] {
                    TMemoryStream m;
                    EncodePng(bitmap.ToDib(), m, TPngSettings{level, f, index});
                    bytes = m.Memory().size();
                    indexed = m.Memory()[25] == 3;
                });
                Timed copy("", [&] { (void)bitmap.ToDib(); });  // the Dib copy, taken off again
                const auto t = RunInterleaved({&one, &copy}, 3, 1);
                std::printf("  %5d %-8s %8.1f %10zu\n", level, indexed ? "indexed" : FilterName(f),
                            t[0].Median - t[1].Median, bytes);
            }
    };
    levels("screenshot-like", flat, {4, 6, 7, 8},
           {TPngFilter::None, TPngFilter::Up, TPngFilter::Paeth, TPngFilter::Adaptive}, false);
    levels("few-colour screenshot", few, {0, 1, 2, 3, 4, 5, 6, 8}, {TPngFilter::None}, true);
    levels("few-colour screenshot", few, {8}, {TPngFilter::Adaptive}, false);
    levels("real capture, empty window", bare, {0, 1, 2, 3, 4, 5, 6, 8}, {TPngFilter::None}, true);
    levels("real capture, empty window", bare, {8}, {TPngFilter::Adaptive}, false);
    levels("real screen capture", screen, {TPngSettings::ByPicture, 4, 6, 8}, {TPngFilter::Adaptive}, false);
    for (Kind k : {Kind{"screenshot-like", &flat}, Kind{"desktop, noisy wallpaper", &capture},
                   Kind{"photo-like", &photo}, Kind{"real screen capture", &screen},
                   Kind{"few-colour screenshot", &few}, Kind{"real capture, empty window", &bare}}) {
        const auto r = Rows(*k.Bitmap);
        std::size_t ours = 0, theirs = 0;
        int colours = 0;  // in the palette, if there is one
        Timed mine("EncodePng", [&] {
            TMemoryStream m;
            WritePng(*k.Bitmap, m);
            ours = m.Memory().size();
            colours = m.Memory()[25] == 3 ? (m.Memory()[35] << 8 | m.Memory()[36]) / 3 : 0;
        });
        Timed ref("libpng level 6 adaptive",
                  [&] { theirs = EncodePngDirect(r, k.Bitmap->Width(), k.Bitmap->Height(), TPngSettings{6, TPngFilter::Adaptive}, ""); });
        // The same write without the palette pass: what that pass costs where it finds too many colours.
        Dib layout;
        k.Bitmap->RowLayout(layout);
        Timed rgb("EncodePng without the palette pass", [&] {
            TMemoryStream m;
            EncodePng(layout, [&](int y) { return k.Bitmap->ScanLine(y); }, m,
                      TPngSettings{TPngSettings::ByPicture, TPngFilter::Adaptive, false});
        });
        const auto t = RunInterleaved({&mine, &ref, &rgb}, 5, 1);
        std::printf("  %-26s %d x %d: ours %.1f ms %zu bytes (%s %d), libpng %.1f ms %zu bytes, size ratio %.3f\n",
                    k.Name, k.Bitmap->Width(), k.Bitmap->Height(), t[0].Median, ours, colours ? "palette" : "RGB",
                    colours, t[1].Median, theirs, static_cast<double>(ours) / theirs);
        bench::PrintRatio((std::string("PNG encode / libpng 6 adaptive, ") + k.Name).c_str(), t[0].Median, t[1].Median);
        bench::PrintRatio((std::string("PNG encode / the same without the palette pass, ") + k.Name).c_str(), t[0].Median,
                          t[2].Median);
    }

    Timed save("SavePictureFile, PNG entry (temp file, replace)", [&] {
        SavePictureFile(capture, saved, SaveTypePng);
    });
    Timed ref("libpng level 6 adaptive on the same rows, one file write",
              [&] { EncodePngDirect(rows, 1920, 1080, TPngSettings{6, TPngFilter::Adaptive}, direct); });
    const auto t = RunInterleaved({&save, &ref}, 7, 1);
    std::printf("  file sizes: saved %zu bytes, direct %zu bytes\n", FileSize(saved), FileSize(direct));
    bench::PrintRatio("PNG save / libpng 6 adaptive direct (with file write)", t[0].Median, t[1].Median);

    // Opening: the open command as the user gives it (dialog answered), load, install, repaint,
    // against decoding the same bytes in memory.
    TMemoryStream file;
    file.LoadFromFile(saved);
    TOpenDialog::ExecuteHook = [&](TOpenDialog& d) {
        d.FileName = saved;
        return true;
    };
    Timed open("open command on the 1080p PNG (load, install, repaint)", [&] {
        form.Execute(TCommandId::Open);
        Pump();
    });
    // The load core's first three steps alone (read the file, decode, make the bitmap): what
    // the PNG format adds, apart from installing the picture in the view.
    Timed load("TPicture::LoadFromFile + bitmap Assign", [&] {
        TPicture picture;
        TBitmap bitmap;
        picture.LoadFromFile(saved);
        bitmap.Assign(picture.Graphic());
    });
    Timed decode("DecodePng of the same bytes in memory",
                 [&] { DecodePng(file.Memory().data(), file.Memory().size()); });
    std::vector<std::uint8_t> inflated;
    {  // the reference decodes the same pixels (RGB in rows after their filter byte; ours BGR)
        benchpic::InflateRgbPng(file.Memory(), inflated);
        const Dib ours = DecodePng(file.Memory().data(), file.Memory().size());
        bool same = true;
        for (int y = 0; y < ours.Height && same; ++y)
            for (int x = 0; x < ours.Width && same; ++x)
                for (int c = 0; c < 3; ++c)
                    same = same && ours.Row(y)[3 * x + c] == inflated[y * (3 * ours.Width + 1) + 1 + 3 * x + 2 - c];
        std::printf("  libdeflate decode gives the same pixels: %s\n", same ? "yes" : "NO");
    }
    Timed fastest("libdeflate inflate + unfiltering of the same bytes in memory",
                  [&] { benchpic::InflateRgbPng(file.Memory(), inflated); });
    const auto o = RunInterleaved({&open, &load, &decode, &fastest}, 9, 1);
    TOpenDialog::ExecuteHook = nullptr;
    bench::PrintRatio("PNG open end to end / decode in memory", o[0].Median, o[2].Median);
    bench::PrintRatio("PNG load (file, decode, bitmap) / decode in memory", o[1].Median, o[2].Median);
    bench::PrintRatio("PNG open end to end / libdeflate decode in memory", o[0].Median, o[3].Median);
    bench::PrintRatio("DecodePng / libdeflate decode in memory", o[2].Median, o[3].Median);
    BenchPngInstall(form, saved);
    DeleteFileA(saved.c_str());
    DeleteFileA(direct.c_str());
    RemoveDirectoryA(dir.c_str());
}

// ---------------------------------------------------------------- selector

// When a window of the given class has finished its first WM_PAINT, the time is taken and
// the window is asked to go (Esc for the selector, WM_CLOSE for the reference). A paint is
// dispatched, not sent, so no hook sees its end: a WM_NULL posted when it is taken from the
// queue comes out after it has run.
struct FirstPaint {
    const char* Class = nullptr;
    double At = 0;
    UINT Message = 0;
    WPARAM Param = 0;
    HWND Painted = nullptr;
};
FirstPaint gFirstPaint;

LRESULT CALLBACK AfterPaint(int code, WPARAM wp, LPARAM lp) {
    auto* m = reinterpret_cast<MSG*>(lp);
    char cls[64] = {};
    if (code == HC_ACTION && wp == PM_REMOVE && gFirstPaint.At == 0) {
        if (!gFirstPaint.Painted && m->message == WM_PAINT && GetClassNameA(m->hwnd, cls, sizeof cls) &&
            std::strcmp(cls, gFirstPaint.Class) == 0) {
            gFirstPaint.Painted = m->hwnd;
            PostMessageA(m->hwnd, WM_NULL, 0, 0);
        } else if (gFirstPaint.Painted && m->message == WM_NULL && m->hwnd == gFirstPaint.Painted) {
            GdiFlush();
            gFirstPaint.At = bench::NowMs();
            PostMessageA(m->hwnd, gFirstPaint.Message, gFirstPaint.Param, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The least frozen-screen window: top-most, borderless, the frozen screen blitted on paint.
LRESULT CALLBACK FrozenProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        auto* screen = reinterpret_cast<TBitmap*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        BitBlt(dc, 0, 0, screen->Width(), screen->Height(), screen->Canvas().Handle(), 0, 0, SRCCOPY);
        EndPaint(wnd, &ps);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

// From the call to the end of the first paint: the region selector on the frozen screen,
// against a bare window showing the same frozen screen.
void BenchSelector() {
    std::printf("selector: the frozen screen, %d x %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    TBitmap screen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    CaptureScreen(screen);
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrozenProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BenchFrozenScreen";
    RegisterClassA(&wc);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, AfterPaint, nullptr, GetCurrentThreadId());
    auto selector = [&] {
        gFirstPaint = {RegionSelectorClass, 0, WM_KEYDOWN, VK_ESCAPE, nullptr};
        const double t0 = bench::NowMs();
        SelectRegion(screen, RECT{0, 0, screen.Width(), screen.Height()});
        return gFirstPaint.At - t0;
    };
    auto bare = [&] {
        gFirstPaint = {"BenchFrozenScreen", 0, WM_CLOSE, 0, nullptr};
        const double t0 = bench::NowMs();
        HWND w = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "BenchFrozenScreen", "", WS_POPUP, 0, 0,
                                 screen.Width(), screen.Height(), nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&screen));
        ShowWindow(w, SW_SHOW);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0 && !(msg.message == WM_CLOSE && msg.hwnd == w)) DispatchMessageA(&msg);
        const double ms = gFirstPaint.At - t0;
        DestroyWindow(w);
        return ms;
    };
    selector(), bare();  // warm up
    std::vector<double> a, b;
    for (int i = 0; i < 11; ++i) a.push_back(selector()), b.push_back(bare());
    UnhookWindowsHookEx(hook);
    const double ma = bench::Median(a), mb = bench::Median(b);
    std::printf("  to the first paint: selector %.1f ms, bare frozen-screen window %.1f ms (medians of 11)\n", ma, mb);
    bench::PrintRatio("selector's dimmed screen / bare frozen-screen window", ma, mb);
}

// ---------------------------------------------------------------- copy

// Ctrl+C on a 1920 x 1080 picture (the bitmap on the clipboard, the PNG announced) against the
// least bitmap copy: the same bitmap alone through the same clipboard call.
void BenchCopy(TMainWindow& form) {
    std::printf("copy: 1920 x 1080, 32 bits, desktop-like\n");
    InstallDesktop(form, 1920, 1080);
    TBitmap& shown = form.View().Shown().Picture().Bitmap();
    Timed copy("CopyViewPicture (bitmap, PNG announced)", [&] { CopyViewPicture(form.View()); });
    Timed least("the bitmap alone on the clipboard", [&] { Clipboard().Assign(shown); });
    const auto t = RunInterleaved({&copy, &least}, 15, 1);
    bench::PrintRatio("Ctrl+C / least bitmap copy", t[0].Median, t[1].Median);
}

}  // namespace

int main() {
    const char* only = std::getenv("KAPTOR_BENCH_ONLY");
    const std::string wanted = only ? std::string(",") + only + "," : "";
    auto want = [&](const char* name) { return wanted.empty() || wanted.find(std::string(",") + name + ",") != std::string::npos; };
    try {
        TApplication app;
        TGifSupport gifSupport;  // as the program starts: "gif" format, load hooks, progress form
        app.MessageBoxHook = [](const std::string& text, const std::string&, UINT) {
            std::printf("message: %s\n", text.c_str());
            return IDOK;
        };
        Screen->SetCursor(1, LoadCursorA(GetModuleHandleA(nullptr), "CUT"));
        app.SetTitle("Kaptor32");
        TMainWindow* form = app.CreateForm<TMainWindow>();
        Settings.Wait = 0;
        Settings.HideForm = false;
        Settings.ShowCursor = false;
        form->Show();
        Pump();
        if (want("capture")) BenchCapture(*form);
        if (want("zoom")) BenchZoom(*form);
        if (want("band")) BenchBand(*form);
        if (want("markup")) BenchMarkup(*form);
        if (want("open")) BenchOpen(*form);
        form->View().Shown().Picture().SetGraphic(nullptr);
        form->View().CleanCopy().Picture().SetGraphic(nullptr);
        if (want("jpeg")) BenchJpeg();
        if (want("selector")) BenchSelector();
        if (want("copy")) BenchCopy(*form);
        if (want("png")) BenchPng(*form);
        app.DestroyForms();
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
