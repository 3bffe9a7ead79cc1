// Opening 1920 x 1080 pictures end to end, as the user does it: a file dropped on the view
// of the main window that already shows a picture (the replace question answered OK),
// read by the picture format of its extension with the hooks the program installs at
// start-up (busy cursor, GIF progress and message pump), installed with its clean copy and
// repainted. Each is timed alternately with decoding the same file's bytes in memory:
//   GIF   drop of a screenshot-like GIF      vs our GIF reader on the bytes, no hooks
//         our GIF reader with the real hooks vs the same without hooks
//   JPEG  drop of the same picture as JPEG   vs libjpeg-turbo decoding the bytes to BGR rows
//   BMP   drop of the same picture as BMP    vs our BMP reader on the bytes, into a new Dib
//                                            and into memory already there
// and, to show where an open's time goes, the install of a picture already read against
// making that bitmap alone.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <jpeglib.h>

#include "BenchPictures.h"
#include "WinTiming.h"
#include "app/MainWindow.h"
#include "view/PictureView.h"
#include "framework/imaging/BmpCodec.h"
#include "framework/imaging/JpegCodec.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"
#include "gif/GifReader.h"

using namespace kaptor;
using bench::RunInterleaved;
using bench::Timed;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The picture's colours: index i is (i, 255 - i, i / 2), for every format alike.
RgbQuad ColorOf(std::uint8_t i) {
    return RgbQuad{static_cast<std::uint8_t>(i / 2), static_cast<std::uint8_t>(255 - i), i, 0};
}

// A plain GIF 89a writer for the test file: global 256-colour table, one image, LZW with a
// clear code before the table would fill.
Bytes EncodeGif(const benchpic::Picture& p) {
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    put16(p.Width);
    put16(p.Height);
    out.insert(out.end(), {0xF7, 0, 0});
    for (int i = 0; i < 256; ++i) {
        const RgbQuad c = ColorOf(static_cast<std::uint8_t>(i));
        out.insert(out.end(), {c.Red, c.Green, c.Blue});
    }
    out.push_back(0x2C);
    put16(0);
    put16(0);
    put16(p.Width);
    put16(p.Height);
    out.insert(out.end(), {0, 8});

    Bytes lzw;
    std::uint32_t acc = 0;
    unsigned bits = 0, width = 9, next = 258;
    auto emit = [&](unsigned code) {
        acc |= code << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8) lzw.push_back(static_cast<std::uint8_t>(acc));
    };
    std::unordered_map<std::uint32_t, std::uint16_t> table;
    emit(256);
    unsigned current = p.Pixels[0];
    for (std::size_t i = 1; i < p.Pixels.size(); ++i) {
        const std::uint32_t key = current << 8 | p.Pixels[i];
        const auto it = table.find(key);
        if (it != table.end()) {
            current = it->second;
            continue;
        }
        emit(current);
        if (next < 4096) {
            table.emplace(key, static_cast<std::uint16_t>(next++));
            if (next > (1u << width) && width < 12) ++width;
        } else {
            emit(256);
            table.clear();
            width = 9;
            next = 258;
        }
        current = p.Pixels[i];
    }
    emit(current);
    emit(257);
    if (bits > 0) lzw.push_back(static_cast<std::uint8_t>(acc));
    for (std::size_t at = 0; at < lzw.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, lzw.size() - at);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), lzw.begin() + static_cast<std::ptrdiff_t>(at), lzw.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    out.insert(out.end(), {0, 0x3B});
    return out;
}

Dib TrueColour(const benchpic::Picture& p) {
    Dib dib = Dib::Make(p.Width, p.Height, 24);
    for (int y = 0; y < p.Height; ++y) {
        std::uint8_t* row = dib.Row(y);
        for (int x = 0; x < p.Width; ++x) {
            const RgbQuad c = ColorOf(p.Pixels[static_cast<std::size_t>(y) * p.Width + x]);
            row[3 * x] = c.Blue;
            row[3 * x + 1] = c.Green;
            row[3 * x + 2] = c.Red;
        }
    }
    return dib;
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    const std::string path = std::string(base) + name;
    TMemoryStream(bytes).SaveToFile(path);
    return path;
}

Bytes Serialised(const auto& write) {
    TMemoryStream s;
    write(s);
    return s.Memory();
}

// libjpeg-turbo alone: the bytes in memory, decoded at full size to blue-green-red rows in a
// new buffer (any reader needs somewhere to put the picture).
std::size_t DecodeJpegDirect(const Bytes& file) {
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d);
    const std::size_t stride = (d.output_width * 3 + 3) & ~3u;
    Bytes pixels(stride * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = pixels.data() + stride * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return pixels.size();
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) Application->DispatchOne(msg);
}

// The user's drop of one file on the view, with the repaint that follows it.
void Drop(TMainWindow& form, const std::string& path) {
    TStringList files;
    files.Add(path);
    form.DropFiles(files);  // the sender is not used
    Pump();
}

void Compare(const char* title, Timed& ours, Timed& reference) {
    const auto t = RunInterleaved({&ours, &reference});
    bench::PrintRatio(title, t[0].Median, t[1].Median);
}

}  // namespace

void BenchOpen(TMainWindow& form) {
    const benchpic::Picture picture = benchpic::Screenshot();
    const Bytes gif = EncodeGif(picture);
    const Dib dib = TrueColour(picture);
    const Bytes jpeg = Serialised([&](TStream& s) { EncodeJpeg(dib, s); });
    const Bytes bmp = Serialised([&](TStream& s) { WriteBmp(dib, s); });
    const std::string gifPath = WriteTemp("kaptor-open.gif", gif), jpegPath = WriteTemp("kaptor-open.jpg", jpeg),
                      bmpPath = WriteTemp("kaptor-open.bmp", bmp);
    std::printf("open: %d x %d screenshot-like picture; GIF %zu bytes, JPEG %zu bytes, BMP %zu bytes (24 bits)\n",
                picture.Width, picture.Height, gif.size(), jpeg.size(), bmp.size());

    // The replace question is answered as the user would; other messages are shown.
    auto oldHook = Application->MessageBoxHook;
    Application->MessageBoxHook = [](const std::string& text, const std::string&, UINT flags) {
        if ((flags & MB_OKCANCEL) == 0) std::printf("message: %s\n", text.c_str());
        return IDOK;
    };

    Timed gifOpen("GIF: drop on the view (read, install, repaint)", [&] { Drop(form, gifPath); });
    Timed gifMemory("GIF: our reader on the bytes in memory, no hooks", [&] {
        TGifFile file;
        file.Hooks = {};
        TMemoryStream s(gif);
        file.LoadFromStream(s);
    });
    Compare("GIF open end to end / GIF decode in memory", gifOpen, gifMemory);

    Timed gifHooked("GIF: our reader in memory, the program's hooks", [&] {
        TGifFile file;  // starts with the hooks installed at start-up
        TMemoryStream s(gif);
        file.LoadFromStream(s);
        Pump();
    });
    Timed gifBare("GIF: our reader in memory, no hooks", [&] {
        TGifFile file;
        file.Hooks = {};
        TMemoryStream s(gif);
        file.LoadFromStream(s);
        Pump();
    });
    Compare("GIF decode with the program's row hook / without", gifHooked, gifBare);

    Timed jpegOpen("JPEG: drop on the view (read, install, repaint)", [&] { Drop(form, jpegPath); });
    Timed jpegDirect("JPEG: libjpeg-turbo on the bytes in memory, to BGR", [&] { DecodeJpegDirect(jpeg); });
    Compare("JPEG open end to end / libjpeg-turbo decode in memory", jpegOpen, jpegDirect);

    // Where the rest of an open goes: the install of a picture already read (its clean copy,
    // the two repaints the install asks for, status, command states) and what follows it.
    Timed install("install of the decoded picture (clean copy, repaints)", [&] {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->LoadFromDib(dib);
        form.View().Install(std::move(bitmap));
        Pump();
    });
    Timed loadOnly("the same picture made from its Dib alone", [&] { TBitmap().LoadFromDib(dib); });
    Compare("install of a read picture / making the bitmap alone", install, loadOnly);

    Timed bmpOpen("BMP: drop on the view (read, install, repaint)", [&] { Drop(form, bmpPath); });
    Timed bmpMemory("BMP: our reader on the bytes in memory", [&] { ReadBmp(std::span<const std::uint8_t>(bmp)); });
    Compare("BMP open end to end / BMP read in memory", bmpOpen, bmpMemory);
    // The least read: into memory that is already there, as the open's section is when a
    // picture of the same size went before.
    TMemoryStream bmpStream(bmp);
    std::vector<std::uint8_t> kept;
    Timed bmpKept("BMP: our reader on the bytes in memory, into memory already there", [&] {
        bmpStream.SetPosition(0);
        ReadBmp(bmpStream, [&kept](const Dib& format, bool) {
            kept.resize(static_cast<std::size_t>(format.Stride() * format.Height));
            return kept.data();
        });
    });
    Compare("BMP open end to end / BMP read into memory already there", bmpOpen, bmpKept);

    Application->MessageBoxHook = oldHook;
    DeleteFileA(gifPath.c_str());
    DeleteFileA(jpegPath.c_str());
    DeleteFileA(bmpPath.c_str());
}
