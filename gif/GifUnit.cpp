#include "gif/GifUnit.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "gif/FmCanSav.h"
#include "gif/FmProgr.h"

namespace kaptor {

namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
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
    const TColorTable& table =
        image.HasLocalColorTable || !image.GifFile ? image.ColorTable : image.GifFile->GlobalColorTable;
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
    TMemoryStream bitmapStream;
    WriteBitmap(gif->Image(1), bitmapStream);
    gif.reset();  // the decoded matrix is no longer needed while the bitmap is built
    TBitmap::LoadFromStream(bitmapStream);
}

std::unique_ptr<TGraphic> TGifBitmap::Clone() const {
    auto copy = std::make_unique<TGifBitmap>();
    copy->Assign(*this);
    return copy;
}

namespace {

// Busy cursor for the length of a load; loads may nest through messages run per row.
int busyDepth = 0;
HCURSOR busySaved = nullptr;

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
    hooks.RowDecoded = [](int rowsDecoded, int rowCount) {
        if (ProgressHook && rowCount > 0) ProgressHook(static_cast<float>(rowsDecoded) / static_cast<float>(rowCount));
    };
    InstallProgressHook();
}

TGifSupport::TGifSupport() {
    RegisterGifFormat();
    std::unique_ptr<TCanSaveDialog> canSave(new TCanSaveDialog(nullptr));
    canSave->AfterConstruction();
    std::unique_ptr<TProgressForm> progress(new TProgressForm(nullptr));
    progress->AfterConstruction();
    CanSaveDialog = canSave.release();
    ProgressForm = progress.release();
}

TGifSupport::~TGifSupport() {
    delete ProgressForm;
    ProgressForm = nullptr;
    delete CanSaveDialog;
    CanSaveDialog = nullptr;
}

}  // namespace kaptor
