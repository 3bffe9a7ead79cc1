#include "gif/GifBitmap.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "gif/ProgressForm.h"

namespace kaptor {

namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The palette of the bitmap: the image's own table, else the file's global one.
const TColorTable& PaletteSource(const TGifSubImage& image) {
    return image.HasLocalColorTable || !image.GifFile ? image.ColorTable : image.GifFile->GlobalColorTable;
}

}  // namespace

void WriteBitmap(const TGifSubImage& image, TStream& stream) {
    const std::uint32_t width = image.Descriptor.Width, height = image.Descriptor.Height;
    // Refuses sizes a 32-bit process cannot hold before anything is written.
    const std::uint64_t size = GifBitmapStreamSize(width, height);
    const std::size_t stride = static_cast<std::size_t>(GifBitmapStride(width));

    std::uint8_t header[1078] = {};
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, static_cast<std::uint32_t>(size));
    Put32(header + 10, 1078);
    Put32(header + 14, 40);
    Put32(header + 18, width);
    Put32(header + 22, height);
    Put16(header + 26, 1);
    Put16(header + 28, 8);
    Put32(header + 38, 143);
    Put32(header + 42, 143);
    const TColorTable& table = PaletteSource(image);
    // All 256 entries whatever the table's Count: the unused ones are what the table was made with.
    for (int i = 0; i < 256; ++i) {
        std::uint8_t* entry = header + 54 + 4 * i;
        entry[0] = table.Colors[i].Blue;
        entry[1] = table.Colors[i].Green;
        entry[2] = table.Colors[i].Red;
        entry[3] = 0;
    }
    stream.SetPosition(0);
    stream.WriteBuffer(header, sizeof header);

    std::vector<std::uint8_t> row(stride, 0);
    for (std::uint32_t r = height; r >= 1; --r) {
        if (image.Pixels && width > 0)
            std::memcpy(row.data(), image.Pixels->RowData(static_cast<std::int32_t>(r - 1)), width);
        stream.WriteBuffer(row.data(), row.size());
    }
    stream.SetPosition(0);
}

void TGifBitmap::LoadFromStream(TStream& stream) {
    auto gif = std::make_unique<TGifFile>();
    gif->LoadFromStream(stream);
    const TGifSubImage& image = gif->Image(1);
    // The bitmap that WriteBitmap's stream describes, made from the decoded rows directly
    // rather than written out and read back: the same refusals (a size a 32-bit process
    // cannot hold, then an empty side, which the bitmap reader rejects), the same header
    // values, palette and rows.
    const std::uint32_t width = image.Descriptor.Width, height = image.Descriptor.Height;
    GifBitmapStreamSize(width, height);
    if (width == 0 || height == 0) throw EInvalidGraphic(texts::InvalidBitmap);
    Dib format;
    format.Width = static_cast<std::int32_t>(width);
    format.Height = static_cast<std::int32_t>(height);
    format.BitCount = 8;
    format.XPelsPerMeter = format.YPelsPerMeter = 143;
    const TColorTable& table = PaletteSource(image);
    for (int i = 0; i < 256; ++i) format.Palette.push_back({table.Colors[i].Blue, table.Colors[i].Green, table.Colors[i].Red, 0});
    TBitmap decoded;
    std::uint8_t* const pixels = decoded.NewPixels(format);
    const std::size_t stride = static_cast<std::size_t>(GifBitmapStride(width));
    for (std::uint32_t y = 0; y < height; ++y)
        std::memcpy(pixels + (height - 1 - y) * stride, image.Pixels->RowData(static_cast<std::int32_t>(y)), width);
    gif.reset();
    decoded.Modified();
    decoded.MoveInto(*this);
}

std::unique_ptr<TGraphic> TGifBitmap::Clone() const {
    auto copy = std::make_unique<TGifBitmap>();
    copy->Assign(*this);
    return copy;
}

namespace {

// Busy cursor for the length of a load; loads may nest through the messages run during one.
int busyDepth = 0;
HCURSOR busySaved = nullptr;

// The decoder reports every row, but a repaint and a round of pending messages cost far more
// than a row: the progress form is moved and messages run at most once a frame. A long load
// keeps its gauge moving and the program answering; one that ends within its first frame
// never shows the form. The last row always goes through: a form that was shown shows
// 100 % and is hidden again.
class TRowProgress {
public:
    void Row(int rowsDecoded, int rowCount) {
        if (!ProgressHook || rowCount <= 0) return;
        const std::int64_t now = Now();
        if (rowsDecoded == 1) {  // a new image: its first frame starts now
            due_ = now + Frame;
            shown_ = false;
        }
        if (rowsDecoded < rowCount) {
            if (now < due_) return;
            due_ = now + Frame;
            shown_ = true;
            ProgressHook(static_cast<float>(rowsDecoded) / static_cast<float>(rowCount));
            return;
        }
        if (shown_) ProgressHook(0.9999f);  // rounds to 100
        shown_ = false;
        ProgressHook(1.0f);
    }

private:
    // The performance counter, and a frame of it (15 ms).
    static std::int64_t Now() {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return t.QuadPart;
    }
    static std::int64_t FrameTicks() {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart * 15 / 1000;
    }
    const std::int64_t Frame = FrameTicks();
    std::int64_t due_ = 0;
    bool shown_ = false;
};

TRowProgress rowProgress;

}  // namespace

void RegisterGifFormat() {
    TPicture::RegisterFileFormat<TGifBitmap>("gif", "GIF-Format");
    TGifLoadHooks& hooks = GifLoadHooks();
    hooks.BeginBusy = [] {
        HCURSOR wait = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
        HCURSOR old = SetCursor(wait);
        if (busyDepth++ == 0) busySaved = old;
    };
    hooks.EndBusy = [] {
        if (busyDepth > 0 && --busyDepth == 0) SetCursor(busySaved);
    };
    hooks.RowDecoded = [](int rowsDecoded, int rowCount) { rowProgress.Row(rowsDecoded, rowCount); };
    InstallProgressHook();
}

TGifSupport::TGifSupport() {
    RegisterGifFormat();
    std::unique_ptr<TProgressForm> progress(new TProgressForm(nullptr));
    progress->AfterConstruction();
    ProgressForm = progress.release();
}

TGifSupport::~TGifSupport() {
    delete ProgressForm;
    ProgressForm = nullptr;
}

}  // namespace kaptor
