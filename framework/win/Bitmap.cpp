#include "framework/win/Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "framework/base/SpareSlot.h"
#include "framework/base/SysUtils.h"
#include "framework/imaging/BmpCodec.h"

namespace kaptor {

// The canvas of a bitmap: draws on the bitmap's memory DC, made when first needed, and tells
// the bitmap what it touched.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
    ~TBitmapCanvas() override { SetHandle(nullptr); }

protected:
    void CreateHandle() override { SetHandle(bitmap_.AcquireDC()); }
    void Changed(const RECT& r) override {
        bitmap_.CanvasChanged(r);
        TCanvas::Changed(r);
    }

private:
    TBitmap& bitmap_;
};

namespace {

// Nothing larger fits one block of a 32-bit process; refusing it here keeps CreateDIBSection
// from being asked for sizes that wrap.
constexpr std::uint64_t kMaxSectionBytes = 0x7FFFFFFFull;

bool ValidBitCount(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

std::vector<RgbQuad> DefaultColors(int bits) {
    std::vector<RgbQuad> c;
    auto add = [&](int r, int g, int b) {
        c.push_back(RgbQuad{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0});
    };
    if (bits == 1) {
        add(0, 0, 0);
        add(255, 255, 255);
    } else if (bits == 4) {
        // The sixteen colours of every display since VGA.
        static const int vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                       {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                       {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                       {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (const auto& v : vga) add(v[0], v[1], v[2]);
    } else if (bits == 8) {
        // A 6 x 6 x 6 colour cube and 40 further greys, eight in each step of the cube but
        // not right beside its levels: colour matching that works on rounded values (Wine's
        // does) would otherwise turn black into a near-black grey.
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
        for (int level = 0; level < 5; ++level)
            for (int k = 0; k < 8; ++k) {
                const int v = level * 51 + 9 + (k * 33 + 3) / 7;
                add(v, v, v);
            }
    }
    return c;
}

// BITMAPINFO with room for masks and a full colour table.
struct InfoBuffer {
    alignas(BITMAPINFO) std::uint8_t bytes[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(bytes); }
};

void FillInfo(InfoBuffer& info, int width, int height, int bits, const std::vector<RgbQuad>& colors,
              const std::uint32_t (&masks)[3]) {
    BITMAPINFOHEADER& h = info.get()->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;  // bottom-up, the layout of Dib
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bits);
    const bool fields = (bits == 16 || bits == 32) && (masks[0] | masks[1] | masks[2]);
    h.biCompression = fields ? BI_BITFIELDS : BI_RGB;
    auto* tail = reinterpret_cast<std::uint8_t*>(info.get()->bmiColors);
    if (fields) {
        std::memcpy(tail, masks, sizeof masks);
    } else if (bits <= 8) {
        h.biClrUsed = static_cast<DWORD>(colors.size());
        std::memcpy(tail, colors.data(), colors.size() * sizeof(RgbQuad));
    }
}

// A plain 24- or 32-bit section let go of, kept for the next picture of its size.
struct SpareSection {
    UniqueBitmap Handle;
    void* Bits = nullptr;
    int Width = 0, Height = 0, BitCount = 0;
};

TSpareSlot<SpareSection>& Spares() {
    static TSpareSlot<SpareSection> slot;
    return slot;
}

bool Plain(int bitCount, const std::uint32_t (&masks)[3]) {
    return (bitCount == 24 || bitCount == 32) && !(masks[0] | masks[1] | masks[2]);
}

UniquePalette MakePalette(const std::vector<RgbQuad>& colors) {
    if (colors.empty()) return {};
    std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + colors.size() * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(colors.size());
    for (std::size_t i = 0; i < colors.size(); ++i)
        lp->palPalEntry[i] = PALETTEENTRY{colors[i].Red, colors[i].Green, colors[i].Blue, 0};
    UniquePalette p(CreatePalette(lp));
    if (!p) detail::RaiseLastGdiError();
    return p;
}

// Selects a palette into a DC for one scope (SelectObject does not take palettes).
class ScopedPalette {
public:
    ScopedPalette(HDC dc, HPALETTE palette, bool background) : dc_(dc) {
        if (palette) {
            old_ = SelectPalette(dc_, palette, background);
            if (old_) RealizePalette(dc_);
        }
    }
    ~ScopedPalette() {
        if (old_) SelectPalette(dc_, old_, TRUE);
    }
    ScopedPalette(const ScopedPalette&) = delete;
    ScopedPalette& operator=(const ScopedPalette&) = delete;

private:
    HDC dc_;
    HPALETTE old_ = nullptr;
};

}  // namespace

TBitmap::TBitmap() : canvas_(std::make_unique<TBitmapCanvas>(*this)) {}

TBitmap::TBitmap(int width, int height, TPixelFormat format) : TBitmap() {
    SetPixelFormat(format);
    SetSize(width, height);
}

TBitmap::~TBitmap() {
    FreeContext();
    LetGoOfSection();
}

TBitmap::Section TBitmap::MakeSection(int width, int height, int bitCount, const std::vector<RgbQuad>& colors,
                                      const std::uint32_t (&masks)[3], TNewRows rows) const {
    if (width < 0 || height < 0) throw EInvalidGraphic(texts::InvalidBitmap);
    const std::uint64_t stride = Dib::StrideFor(width, bitCount);
    if (stride * static_cast<std::uint64_t>(height) > kMaxSectionBytes) throw EOutOfMemory();
    Section s;
    if (width == 0 || height == 0) return s;
    if (Plain(bitCount, masks)) {
        if (auto spare = Spares().Take([&](const SpareSection& k) {
                return k.Width == width && k.Height == height && k.BitCount == bitCount;
            })) {
            GdiFlush();
            // Nothing of the picture before may show: where the caller writes the pixels,
            // what lies beyond them in each row is cleared (it reaches files), else all.
            auto* bits = static_cast<std::uint8_t*>(spare->Bits);
            const std::size_t used =
                rows == TNewRows::WrittenByCaller ? (static_cast<std::size_t>(width) * bitCount + 7) / 8 : 0;
            if (used == 0)
                std::memset(bits, 0, static_cast<std::size_t>(stride * height));
            else if (used < stride)
                for (int y = 0; y < height; ++y) std::memset(bits + y * stride + used, 0, stride - used);
            s.Handle = std::move(spare->Handle);
            s.Bits = spare->Bits;
            return s;
        }
    }
    InfoBuffer info;
    FillInfo(info, width, height, bitCount, colors, masks);
    s.Handle.reset(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &s.Bits, nullptr, 0));
    // Short of memory, the kept section goes first.
    if ((!s.Handle || !s.Bits) && Spares().Release())
        s.Handle.reset(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &s.Bits, nullptr, 0));
    if (!s.Handle || !s.Bits) throw EOutOfMemory();
    return s;
}

void TBitmap::LetGoOfSection() {
    // The section is asked for its own layout: callers change the bitmap's format before
    // they hand it a new section.
    DIBSECTION ds{};
    if (handle_ && GetObjectW(handle_.get(), sizeof ds, &ds) == sizeof ds && ds.dsBmih.biCompression == BI_RGB &&
        (ds.dsBm.bmBitsPixel == 24 || ds.dsBm.bmBitsPixel == 32) &&
        WorthKeeping(static_cast<std::uint64_t>(ds.dsBm.bmWidthBytes) * ds.dsBm.bmHeight))
        Spares().Offer(SpareSection{std::move(handle_), ds.dsBm.bmBits, ds.dsBm.bmWidth, ds.dsBm.bmHeight,
                                    ds.dsBm.bmBitsPixel});
    handle_.reset();
    bits_ = nullptr;
}

void TBitmap::Adopt(Section section, int width, int height) {
    FreeContext();
    LetGoOfSection();
    handle_ = std::move(section.Handle);
    bits_ = section.Bits;
    // A zero side is kept as asked: 0 x 5 is empty but still 5 high.
    width_ = width;
    height_ = height;
    palette_.reset();
}

HDC TBitmap::AcquireDC() {
    if (!dc_) {
        SetLastError(0);
        UniqueMemDC dc(CreateCompatibleDC(nullptr));
        if (!dc) detail::RaiseLastGdiError();
        if (handle_) {
            HGDIOBJ old = SelectObject(dc.get(), handle_.get());
            if (!old || old == HGDI_ERROR) detail::RaiseLastGdiError();
            oldBitmap_ = old;
        }
        dc_ = std::move(dc);
    }
    return dc_.get();
}

void TBitmap::FreeContext() {
    if (canvas_) canvas_->SetHandle(nullptr);
    if (dc_ && oldBitmap_) SelectObject(dc_.get(), oldBitmap_);
    oldBitmap_ = nullptr;
    dc_.reset();
}

void TBitmap::CanvasChanged(const RECT& r) {
    RECT clipped;
    const RECT bounds{0, 0, width_, height_};
    if (IntersectRect(&clipped, &r, &bounds)) Changed(&clipped);
}

void TBitmap::Reallocate(int width, int height) {
    Section s = MakeSection(width, height, bitCount_, colors_, masks_);
    Adopt(std::move(s), width, height);
    Changed();
}

void TBitmap::SetSize(int width, int height) {
    if (width == width_ && height == height_) return;
    Section s = MakeSection(width, height, bitCount_, colors_, masks_);
    SetLastError(0);
    if (s.Handle) {
        UniqueMemDC dc(CreateCompatibleDC(nullptr));
        if (!dc) detail::RaiseLastGdiError();
        ScopedSelect select(dc.get(), s.Handle.get());
        const bool covered = width <= width_ && height <= height_;
        if (!covered) {
            UniqueBrush brush(CreateSolidBrush(ColorToRGB(canvas_->Brush.Color)));
            const RECT all{0, 0, width, height};
            if (!brush || !::FillRect(dc.get(), &all, brush.get())) detail::RaiseLastGdiError();
        }
        if (handle_ && !BitBlt(dc.get(), 0, 0, std::min(width, width_), std::min(height, height_), AcquireDC(), 0, 0,
                               SRCCOPY))
            detail::RaiseLastGdiError();
    }
    Adopt(std::move(s), width, height);
    Changed();
}

TPixelFormat TBitmap::PixelFormat() const {
    const bool fields = masks_[0] | masks_[1] | masks_[2];
    switch (bitCount_) {
        case 1: return pf1bit;
        case 4: return pf4bit;
        case 8: return pf8bit;
        case 16:
            if (!fields || (masks_[0] == 0x7C00 && masks_[1] == 0x03E0 && masks_[2] == 0x001F)) return pf15bit;
            if (masks_[0] == 0xF800 && masks_[1] == 0x07E0 && masks_[2] == 0x001F) return pf16bit;
            return pfCustom;
        case 24: return pf24bit;
        case 32:
            if (!fields || (masks_[0] == 0xFF0000 && masks_[1] == 0xFF00 && masks_[2] == 0xFF)) return pf32bit;
            return pfCustom;
    }
    return pfCustom;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == PixelFormat() || format == pfCustom) return;
    int bits = 32;
    std::uint32_t masks[3] = {0, 0, 0};
    switch (format) {
        case pf1bit: bits = 1; break;
        case pf4bit: bits = 4; break;
        case pf8bit: bits = 8; break;
        case pf15bit: bits = 16; break;
        case pf16bit:
            bits = 16;
            masks[0] = 0xF800;
            masks[1] = 0x07E0;
            masks[2] = 0x001F;
            break;
        case pf24bit: bits = 24; break;
        case pf32bit:
        case pfCustom: bits = 32; break;
    }
    std::vector<RgbQuad> colors = DefaultColors(bits);
    Section s = MakeSection(width_, height_, bits, colors, masks);
    SetLastError(0);
    if (s.Handle) {
        UniqueMemDC dc(CreateCompatibleDC(nullptr));
        if (!dc) detail::RaiseLastGdiError();
        ScopedSelect select(dc.get(), s.Handle.get());
        if (!BitBlt(dc.get(), 0, 0, width_, height_, AcquireDC(), 0, 0, SRCCOPY)) detail::RaiseLastGdiError();
    }
    bitCount_ = bits;
    std::copy(std::begin(masks), std::end(masks), masks_);
    colors_ = std::move(colors);
    Adopt(std::move(s), width_, height_);
    Changed();
}

TCanvas& TBitmap::Canvas() { return *canvas_; }

HBITMAP TBitmap::Handle() {
    FreeContext();
    return handle_.get();
}

HBITMAP TBitmap::ReleaseHandle() {
    FreeContext();
    HBITMAP h = handle_.release();
    bits_ = nullptr;
    width_ = height_ = 0;
    palette_.reset();
    Changed();
    return h;
}

HPALETTE TBitmap::Palette() const {
    if (bitCount_ <= 8 && !palette_) palette_ = MakePalette(colors_);
    return palette_.get();
}

TClipboardBitmap TBitmap::SaveToClipboardFormat() {
    TClipboardBitmap out;
    if (Empty()) return out;
    SetLastError(0);
    WindowDC screen(nullptr);
    if (!screen.get()) detail::RaiseLastGdiError();
    out.Bitmap.reset(CreateCompatibleBitmap(screen.get(), width_, height_));
    if (!out.Bitmap) throw EOutOfMemory();
    UniqueMemDC dc(CreateCompatibleDC(screen.get()));
    if (!dc) detail::RaiseLastGdiError();
    {
        ScopedSelect select(dc.get(), out.Bitmap.get());
        ScopedPalette pal(dc.get(), Palette(), false);
        if (!BitBlt(dc.get(), 0, 0, width_, height_, AcquireDC(), 0, 0, SRCCOPY)) detail::RaiseLastGdiError();
    }
    if (bitCount_ <= 8) out.Palette = MakePalette(colors_);
    return out;
}

void TBitmap::LoadFromClipboardFormat(HBITMAP bitmap, HPALETTE palette) {
    BITMAP bm{};
    if (!bitmap || !GetObject(bitmap, sizeof bm, &bm)) throw EInvalidGraphic(texts::InvalidBitmap);
    const int width = bm.bmWidth;
    const int height = std::abs(bm.bmHeight);
    int bits = bm.bmBitsPixel * bm.bmPlanes;
    if (!ValidBitCount(bits)) bits = 32;
    if (Dib::StrideFor(width, bits) * static_cast<std::uint64_t>(height) > kMaxSectionBytes) throw EOutOfMemory();

    SetLastError(0);
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    if (!dc) detail::RaiseLastGdiError();
    ScopedPalette pal(dc.get(), palette, false);
    InfoBuffer info;
    const std::uint32_t noMasks[3] = {0, 0, 0};
    FillInfo(info, width, height, bits, {}, noMasks);
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(Dib::StrideFor(width, bits) * static_cast<std::uint64_t>(height)));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    if (height > 0 && GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), info.get(),
                                 DIB_RGB_COLORS) != height)
        detail::RaiseLastGdiError();
    std::vector<RgbQuad> colors;
    if (bits <= 8) {
        const auto* table = reinterpret_cast<const RgbQuad*>(info.get()->bmiColors);
        colors.assign(table, table + (1u << bits));
    }
    Section s = MakeSection(width, height, bits, colors, noMasks, TNewRows::WrittenByCaller);
    if (s.Handle) std::memcpy(s.Bits, pixels.data(), pixels.size());
    bitCount_ = bits;
    std::fill(std::begin(masks_), std::end(masks_), 0u);
    colors_ = std::move(colors);
    xPelsPerMeter_ = yPelsPerMeter_ = 0;
    Adopt(std::move(s), width, height);
    Changed();
}

void TBitmap::Assign(const TGraphic& source) {
    if (&source == this) return;
    const auto* other = dynamic_cast<const TBitmap*>(&source);
    if (!other) {
        TGraphic::Assign(source);
        return;
    }
    GdiFlush();  // either canvas may still have drawing queued
    // A section of the same layout is reused: no second one at the peak, no fresh pages.
    if (bits_ && width_ == other->width_ && height_ == other->height_ && bitCount_ == other->bitCount_ &&
        std::equal(std::begin(masks_), std::end(masks_), std::begin(other->masks_)) && colors_ == other->colors_) {
        std::memcpy(bits_, other->bits_, static_cast<std::size_t>(Stride() * height_));
        xPelsPerMeter_ = other->xPelsPerMeter_;
        yPelsPerMeter_ = other->yPelsPerMeter_;
        Changed();
        return;
    }
    Section s = MakeSection(other->width_, other->height_, other->bitCount_, other->colors_, other->masks_,
                            TNewRows::WrittenByCaller);
    if (s.Handle) std::memcpy(s.Bits, other->bits_, static_cast<std::size_t>(other->Stride() * other->height_));
    bitCount_ = other->bitCount_;
    std::copy(std::begin(other->masks_), std::end(other->masks_), masks_);
    colors_ = other->colors_;
    xPelsPerMeter_ = other->xPelsPerMeter_;
    yPelsPerMeter_ = other->yPelsPerMeter_;
    Adopt(std::move(s), other->width_, other->height_);
    Changed();
}

void TBitmap::Clear() {
    FreeContext();
    LetGoOfSection();
    width_ = height_ = 0;
    palette_.reset();
    Changed();
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(*this);
    return copy;
}

void TBitmap::Draw(TCanvas& canvas, const RECT& r) {
    if (Empty() || r.right == r.left || r.bottom == r.top) return;
    HDC dst = canvas.Handle();
    HDC src = AcquireDC();
    // Nearest neighbour for colour pictures (no smoothing, rows and columns dropped or
    // repeated); a monochrome one keeps its black lines. Only when the target shows fewer
    // colours than the picture, and at most 256, does halftoning look better.
    const int dstBits = GetDeviceCaps(dst, BITSPIXEL) * GetDeviceCaps(dst, PLANES);
    int mode = bitCount_ == 1 ? STRETCH_ANDSCANS : STRETCH_DELETESCANS;
    if (dstBits <= 8 && dstBits < bitCount_) mode = HALFTONE;
    const int oldMode = SetStretchBltMode(dst, mode);
    POINT oldOrg{};
    if (mode == HALFTONE) SetBrushOrgEx(dst, 0, 0, &oldOrg);
    const bool paletteDevice = GetDeviceCaps(dst, RASTERCAPS) & RC_PALETTE;
    SetLastError(0);
    const bool ok = [&] {
        ScopedPalette pal(dst, paletteDevice ? Palette() : nullptr, true);
        return StretchBlt(dst, r.left, r.top, r.right - r.left, r.bottom - r.top, src, 0, 0, width_, height_,
                          canvas.CopyMode) != FALSE;
    }();
    if (mode == HALFTONE) SetBrushOrgEx(dst, oldOrg.x, oldOrg.y, nullptr);
    if (oldMode) SetStretchBltMode(dst, oldMode);
    if (!ok) detail::RaiseLastGdiError();
}

void TBitmap::LoadFromStream(TStream& stream) {
    // Read straight into a new bitmap's section, taken over only when complete.
    TBitmap read;
    ReadBmp(stream, [&read](const Dib& format, bool everyRowRead) {
        const std::uint64_t bytes = format.Stride() * static_cast<std::uint64_t>(format.Height);
        if (bytes > kMaxSectionBytes) throw EOutOfMemory();
        return read.NewPixels(format, everyRowRead ? TNewRows::WrittenByCaller : TNewRows::Zeroed);
    });
    read.Changed();
    read.MoveInto(*this);
}

void TBitmap::SaveToStream(TStream& stream) {
    Dib dib = ToDib();
    // The fourth byte of a plain 32-bit pixel is unused, but GDI leaves alpha there where it
    // drew an icon (the cursor overlay) and 0 elsewhere, and viewers that read it as alpha
    // would show such a capture as transparent except for the cursor. Files get 0 throughout.
    if (dib.BitCount == 32 && !dib.HasBitFields())
        for (std::size_t i = 3; i < dib.Bits.size(); i += 4) dib.Bits[i] = 0;
    WriteBmp(dib, stream);
}

bool TBitmap::RowLayout(Dib& layout) {
    const TPixelFormat pf = PixelFormat();
    if (pf == pfCustom) return false;
    layout = Dib{};
    layout.Width = Width();
    layout.Height = Height();
    layout.BitCount = static_cast<std::uint16_t>(BitCount());
    if (pf == pf16bit) {
        layout.RedMask = 0xF800;
        layout.GreenMask = 0x07E0;
        layout.BlueMask = 0x001F;
    }
    layout.Palette = Colors();
    return true;
}

Dib TBitmap::ToDib() const {
    Dib d = Dib::Make(width_, height_, static_cast<std::uint16_t>(bitCount_));
    if (bitCount_ == 16 || bitCount_ == 32) {
        d.RedMask = masks_[0];
        d.GreenMask = masks_[1];
        d.BlueMask = masks_[2];
    }
    d.Palette = colors_;
    d.XPelsPerMeter = xPelsPerMeter_;
    d.YPelsPerMeter = yPelsPerMeter_;
    if (bits_ && !d.Bits.empty()) {
        GdiFlush();
        std::memcpy(d.Bits.data(), bits_, d.Bits.size());
    }
    return d;
}

void TBitmap::LoadFromDib(const Dib& dib) {
    if (!ValidBitCount(dib.BitCount) || dib.Width < 0 || dib.Height < 0) throw EInvalidGraphic(texts::InvalidBitmap);
    const std::uint64_t bytes = dib.Stride() * static_cast<std::uint64_t>(dib.Height);
    if (bytes > kMaxSectionBytes) throw EOutOfMemory();
    if (dib.Bits.size() != bytes) throw EInvalidGraphic(texts::InvalidBitmap);
    std::uint8_t* pixels = NewPixels(dib, TNewRows::WrittenByCaller);
    if (pixels) std::memcpy(pixels, dib.Bits.data(), static_cast<std::size_t>(bytes));
    Changed();
}

std::uint8_t* TBitmap::NewPixels(const Dib& format, TNewRows rows) {
    const int bits = format.BitCount;
    if (!ValidBitCount(bits) || format.Width < 0 || format.Height < 0) throw EInvalidGraphic(texts::InvalidBitmap);
    std::vector<RgbQuad> colors;
    if (bits <= 8) {
        if (format.Palette.size() > (1u << bits)) throw EInvalidGraphic(texts::InvalidBitmap);
        colors = format.Palette.empty() ? DefaultColors(bits) : format.Palette;
    }
    std::uint32_t masks[3] = {0, 0, 0};
    if ((bits == 16 || bits == 32) && format.HasBitFields()) {
        if (!ValidBitFields(format.RedMask, format.GreenMask, format.BlueMask, bits))
            throw EInvalidGraphic(texts::InvalidBitmap);
        masks[0] = format.RedMask;
        masks[1] = format.GreenMask;
        masks[2] = format.BlueMask;
    }
    Section s = MakeSection(format.Width, format.Height, bits, colors, masks, rows);
    bitCount_ = bits;
    std::copy(std::begin(masks), std::end(masks), masks_);
    colors_ = std::move(colors);
    xPelsPerMeter_ = format.XPelsPerMeter;
    yPelsPerMeter_ = format.YPelsPerMeter;
    Adopt(std::move(s), format.Width, format.Height);
    return static_cast<std::uint8_t*>(bits_);
}

void TBitmap::MoveInto(TGraphic& dest) {
    auto* bitmap = dynamic_cast<TBitmap*>(&dest);
    if (!bitmap || bitmap == this) {
        TGraphic::MoveInto(dest);
        return;
    }
    FreeContext();
    Section s;
    s.Handle = std::move(handle_);
    s.Bits = std::exchange(bits_, nullptr);
    bitmap->bitCount_ = bitCount_;
    std::copy(std::begin(masks_), std::end(masks_), bitmap->masks_);
    bitmap->colors_ = std::move(colors_);
    bitmap->xPelsPerMeter_ = xPelsPerMeter_;
    bitmap->yPelsPerMeter_ = yPelsPerMeter_;
    bitmap->Adopt(std::move(s), width_, height_);
    bitmap->Changed();
    colors_.clear();
    Clear();
}

std::uint8_t* TBitmap::ScanLine(int y) {
    if (y < 0 || y >= height_ || !bits_) throw EInvalidGraphicOperation(texts::ScanLineIndex);
    GdiFlush();
    return static_cast<std::uint8_t*>(bits_) + static_cast<std::size_t>(height_ - 1 - y) * Stride();
}

void StretchDib(HDC dc, const RECT& dest, const Dib& dib, DWORD rop) {
    const int bits = dib.BitCount;
    if (!ValidBitCount(bits) || dib.Width <= 0 || dib.Height <= 0 || dib.Bits.size() != dib.Stride() * dib.Height ||
        (bits <= 8 && dib.Palette.size() > (1u << bits)))
        throw EInvalidGraphic(texts::InvalidBitmap);
    InfoBuffer info;
    const std::uint32_t masks[3] = {dib.RedMask, dib.GreenMask, dib.BlueMask};
    FillInfo(info, dib.Width, dib.Height, bits, dib.Palette, masks);
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    if (w == 0 || h == 0) return;
    SetLastError(0);
    if (StretchDIBits(dc, dest.left, dest.top, w, h, 0, 0, dib.Width, dib.Height, dib.Bits.data(), info.get(),
                      DIB_RGB_COLORS, rop) == 0)
        detail::RaiseLastGdiError();
}

}  // namespace kaptor
