// Windows-side benchmarks, run under the Wine harness. Each comparison puts one of the
// program's operations beside a reference measured in the same run and prints the ratio:
//   capture      whole-screen capture (Wait 0, no hiding, no cursor)  vs two memcpy of its bytes
//                (and vs the platform's own part: blitting the screen, making the clean copy)
//   zoom         a zoom change on 4096 x 4096                          vs the same on 1024 x 768
//   band         one XOR band draw on 4096 x 4096                      vs one full copy of the picture
//   jpeg         JPEG save of a 1920 x 1080 capture                    vs libjpeg-turbo on the same pixels
// KAPTOR_BENCH_ONLY (for example "capture,zoom") picks comparisons; all run by default. The
// command line is not used: the main window would take its first argument for a file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "WinTiming.h"
#include "app/F_Kaptor.h"
#include "app/Settings.h"
#include "exchange/Save.h"
#include "framework/imaging/JpegCodec.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"

using namespace kaptor;
using bench::RunInterleaved;
using bench::Timed;

namespace {

// Rows of a 32-bit bitmap as the capture holds them, without GdiFlush per row.
std::vector<std::uint32_t*> Rows(TBitmap& bitmap) {
    std::vector<std::uint32_t*> rows;
    for (int y = 0; y < bitmap.Height(); ++y) rows.push_back(reinterpret_cast<std::uint32_t*>(bitmap.ScanLine(y)));
    return rows;
}

// Something like a desktop: a noisy wallpaper, flat windows with title-bar gradients and
// dense dark "text" on white. JPEG cost depends on content, so both sides get this.
void FillDesktop(TBitmap& bitmap) {
    std::uint32_t seed = 2024;
    auto rnd = [&] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
    const int w = bitmap.Width(), h = bitmap.Height();
    auto rows = Rows(bitmap);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool window = (x > w / 19 && x < w * 4 / 7 && y > h / 13 && y < h * 7 / 10) ||
                                (x > w * 15 / 32 && x < w * 15 / 16 && y > h * 10 / 27 && y < h * 25 / 27);
            unsigned r, g, b;
            if (!window) {
                r = 40 + x * 90 / w + rnd() % 24;
                g = 80 + y * 60 / h + rnd() % 24;
                b = 140 + rnd() % 24;
            } else if ((y / 24) % 14 == 3) {
                r = 10 + (x % 1000) / 8;
                g = 36 + (x % 1000) / 8;
                b = 106 + (x % 1000) / 8;
            } else if ((y / 16) % 2 == 0 && ((x * 7 + y * 3) % 11 < 4) && (x % 90) < 70) {
                r = g = b = 20;
            } else {
                r = g = b = 250;
            }
            rows[y][x] = (r << 16) | (g << 8) | b;
        }
    bitmap.Modified();
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) Application->DispatchOne(msg);
}

void InstallDesktop(TKaptor32& form, int w, int h) {
    if (form.SB_Range->Down()) form.SB_NoRangeClick(&form);
    form.Image1->Picture().SetGraphic(nullptr);
    form.Image2->Picture().SetGraphic(nullptr);
    TBitmap bitmap(w, h);
    FillDesktop(bitmap);
    form.InstallPicture(bitmap);
    Pump();
}

// ---------------------------------------------------------------- capture

void BenchCapture(TKaptor32& form) {
    std::printf("capture: whole screen %d x %d, 32 bits\n", Screen->Width(), Screen->Height());
    const std::size_t bytes = static_cast<std::size_t>(Screen->Width()) * Screen->Height() * 4;
    std::vector<std::uint8_t> a(bytes, 1), b(bytes, 2), c(bytes, 3);
    Timed capture("SB_CaptureClick (copy, clean copy, show, status)", [&] {
        form.SB_CaptureClick(form.SB_Capture);
        Pump();
    });
    Timed memcpys("two memcpy of the screen's bytes", [&] {
        std::memcpy(b.data(), a.data(), bytes);
        std::memcpy(c.data(), b.data(), bytes);
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
    // The least any capture does: a new section, the screen blitted into it, a second new
    // section for the clean copy and one memcpy.
    Timed floor("new section + BitBlt + new section + memcpy", [&] {
        void* b1 = nullptr;
        void* b2 = nullptr;
        HBITMAP s1 = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &b1, nullptr, 0);
        HBITMAP s2 = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &b2, nullptr, 0);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ o = SelectObject(dc, s1);
        BitBlt(dc, 0, 0, Screen->Width(), Screen->Height(), screen, 0, 0, SRCCOPY);
        GdiFlush();
        std::memcpy(b2, b1, bytes);
        SelectObject(dc, o);
        DeleteDC(dc);
        DeleteObject(s1);
        DeleteObject(s2);
    });
    const auto t = RunInterleaved({&capture, &memcpys, &blt, &floor});
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(section);
    ReleaseDC(nullptr, screen);
    bench::PrintRatio("capture / two memcpy", t[0].Median, t[1].Median);
    bench::PrintRatio("capture / one plain screen BitBlt", t[0].Median, t[2].Median);
    bench::PrintRatio("capture / new section + BitBlt + clean copy", t[0].Median, t[3].Median);
}

// ---------------------------------------------------------------- zoom

void BenchZoom(TKaptor32& form) {
    std::printf("zoom: view %d x %d\n", form.ScrollBox1->ClientWidth(), form.ScrollBox1->ClientHeight());
    // The two sizes alternate inside one run: before each sample (untimed) the form gets its
    // picture at 100 %.
    TBitmap large(4096, 4096), small(1024, 768);
    FillDesktop(large);
    FillDesktop(small);
    auto install = [&](TBitmap& picture) {
        form.SpinEdit1->SetValue(100);
        form.InstallPicture(picture);
        Pump();
    };
    // Four steps a call, each a real change; all of them fill the view, whatever the picture.
    auto steps = [&] {
        for (int zoom : {150, 200, 250, 100}) {
            form.SpinEdit1->SetValue(zoom);
            Pump();
        }
    };
    Timed onLarge("4 zoom changes on 4096 x 4096 (set, repaint)", steps, [&] { install(large); });
    Timed onSmall("4 zoom changes on 1024 x 768 (set, repaint)", steps, [&] { install(small); });
    const auto t = RunInterleaved({&onLarge, &onSmall});
    bench::PrintRatio("zoom change 4096x4096 / 1024x768", t[0].Median, t[1].Median);
    form.SpinEdit1->SetValue(100);
    Pump();
}

// ---------------------------------------------------------------- band

void BenchBand(TKaptor32& form) {
    std::printf("band: 4096 x 4096 picture, band (8, 8)-(4088, 4088)\n");
    InstallDesktop(form, 4096, 4096);
    form.SB_RangeClick(form.SB_Range);
    form.Image1MouseDown(form.Image1, TMouseButton::mbLeft, 0, 8, 8);
    form.RangeEnd = POINT{4088, 4088};
    Pump();
    Timed band("one DrawBand (XOR, four lines)", [&] {
        form.DrawBand();
        GdiFlush();
    });
    int x = 4088;
    Timed move("mouse move: erase, draw, status, repaint", [&] {
        x = x == 4088 ? 4087 : 4088;
        form.Image1MouseMove(form.Image1, 0, x, 4088);
        Pump();
    });
    Timed copy("one full copy of the picture (restore)", [&] {
        form.Image1->Picture().Assign(form.Image2->Picture());
        GdiFlush();
    });
    const auto t = RunInterleaved({&band, &move, &copy});
    form.SB_NoRangeClick(&form);
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

}  // namespace

int main() {
    const char* only = std::getenv("KAPTOR_BENCH_ONLY");
    const std::string wanted = only ? std::string(",") + only + "," : "";
    auto want = [&](const char* name) { return wanted.empty() || wanted.find(std::string(",") + name + ",") != std::string::npos; };
    try {
        TApplication app;
        app.MessageBoxHook = [](const std::string& text, const std::string&, UINT) {
            std::printf("message: %s\n", text.c_str());
            return IDOK;
        };
        Screen->SetCursor(1, LoadCursorA(GetModuleHandleA(nullptr), "CUT"));
        app.SetTitle("Kaptor32");
        TKaptor32* form = app.CreateForm<TKaptor32>();
        Settings.Wait = 0;
        Settings.HideForm = false;
        Settings.ShowCursor = false;
        form->Show();
        Pump();
        if (want("capture")) BenchCapture(*form);
        if (want("zoom")) BenchZoom(*form);
        if (want("band")) BenchBand(*form);
        form->Image1->Picture().SetGraphic(nullptr);
        form->Image2->Picture().SetGraphic(nullptr);
        if (want("jpeg")) BenchJpeg();
        app.DestroyForms();
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
