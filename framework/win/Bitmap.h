// TBitmap: a picture held as a DIB section, so its pixels keep their format (1, 4, 8, 16, 24
// or 32 bits) and are reachable without copying, and GDI can draw on it through its canvas.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/imaging/Dib.h"
#include "framework/win/Graphics.h"

namespace kaptor {

namespace texts {
inline constexpr const char* ScanLineIndex = "ｽｷｬﾝﾗｲﾝのｲﾝﾃﾞｯｸｽが範囲外です";
}

// pf15bit is 16 bits in 5-5-5, pf16bit 16 bits in 5-6-5; pfCustom other bit fields.
enum TPixelFormat { pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// What the clipboard takes: a device-dependent copy and, for a bitmap with a colour table,
// a palette. The guards own both until SetClipboardData has taken them (release() then).
struct TClipboardBitmap {
    UniqueBitmap Bitmap;
    UniquePalette Palette;
};

class TBitmapCanvas;

class TBitmap : public TGraphic {
public:
    // An empty bitmap; its first size makes it 32 bits per pixel, like the screen's.
    TBitmap();
    TBitmap(int width, int height, TPixelFormat format = pf32bit);
    ~TBitmap() override;

    const char* ClassName() const override { return "TBitmap"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool Empty() const override { return width_ == 0 || height_ == 0; }
    // A new size keeps the pixels that still fit; new area is filled with the canvas brush.
    // EOutOfMemory when the bitmap cannot be made, and then nothing changes.
    void SetSize(int width, int height);
    // A new section of this size and format whose pixels are left as the system gives them
    // (zero), for a caller that writes them all; nothing is kept. EOutOfMemory as SetSize.
    void Reallocate(int width, int height);
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }

    int BitCount() const { return bitCount_; }
    TPixelFormat PixelFormat() const;
    // Converts the pixels (GDI maps colours; 1, 4 and 8 bits get a standard colour table).
    void SetPixelFormat(TPixelFormat format);
    // The colour table for 1, 4 and 8 bits, empty otherwise.
    const std::vector<RgbQuad>& Colors() const { return colors_; }

    TCanvas& Canvas();
    // The DIB section (we keep it). Taking it ends the canvas's hold on it, so it can be
    // selected elsewhere; the canvas takes it back when it next draws.
    HBITMAP Handle();
    // Gives the DIB section away (to the clipboard) and leaves this bitmap empty.
    HBITMAP ReleaseHandle();
    // Built from the colour table for 1 to 8 bits, null for more (we keep it).
    HPALETTE Palette() const override;

    // A device-dependent copy and a copy of the palette for CF_BITMAP and CF_PALETTE.
    // Null handles for an empty bitmap.
    TClipboardBitmap SaveToClipboardFormat();
    // Copies a bitmap we do not own (the clipboard's CF_BITMAP) in its own depth; the
    // palette, when given, gives the colours of a device-dependent bitmap of 8 bits or less.
    void LoadFromClipboardFormat(HBITMAP bitmap, HPALETTE palette = nullptr);

    using TGraphic::Assign;
    // Copies another bitmap (an independent copy, into this one's own section when the two
    // have the same size and format); other kinds convert themselves if they can.
    void Assign(const TGraphic& source) override;
    void Clear() override;
    std::unique_ptr<TGraphic> Clone() const override;
    void Draw(TCanvas& canvas, const RECT& r) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

    // Hands the pixels over to a bitmap dest (any other kind gets a copy); this one is left
    // empty.
    void MoveInto(TGraphic& dest) override;

    Dib ToDib() const;
    // The layout of the rows ScanLine gives (size, bit count, masks, colour table) without
    // their pixels, for an encoder that reads the rows in place; false for a 16- or 32-bit
    // layout with masks it cannot name (ToDib carries those).
    bool RowLayout(Dib& layout);
    void LoadFromDib(const Dib& dib);
    // What a new section's pixels hold: zeros, or anything when the caller writes every
    // pixel, which spares clearing a section of the same size let go of lately that is taken
    // again (the padding at the rows' ends is still zero).
    enum class TNewRows { Zeroed, WrittenByCaller };

    // Replaces the content with a new section in format's size, bit count, masks, colour
    // table and resolution (format's Bits are not read) and returns its pixels in the Dib
    // layout, for a reader to write its rows straight into. Call Modified once they are
    // written. EInvalidGraphic for a format Dib cannot hold, EOutOfMemory for a size a
    // 32-bit process cannot.
    std::uint8_t* NewPixels(const Dib& format, TNewRows rows = TNewRows::Zeroed);

    // Row y counted from the top, pending GDI drawing done first. Call Modified after
    // writing through it.
    std::uint8_t* ScanLine(int y);
    void Modified(const RECT* r = nullptr) { Changed(r); }

private:
    friend class TBitmapCanvas;
    struct Section {
        UniqueBitmap Handle;
        void* Bits = nullptr;
    };
    Section MakeSection(int width, int height, int bitCount, const std::vector<RgbQuad>& colors,
                        const std::uint32_t (&masks)[3], TNewRows rows = TNewRows::Zeroed) const;
    void Adopt(Section section, int width, int height);
    // Lets go of the section, keeping a plain one for the next picture of its size.
    void LetGoOfSection();
    HDC AcquireDC();
    void FreeContext();
    void CanvasChanged(const RECT& r);
    std::uint64_t Stride() const { return Dib::StrideFor(width_, bitCount_); }

    int width_ = 0, height_ = 0;
    int bitCount_ = 32;
    std::uint32_t masks_[3] = {0, 0, 0};  // red, green, blue; all zero: BI_RGB
    std::vector<RgbQuad> colors_;
    std::int32_t xPelsPerMeter_ = 0, yPelsPerMeter_ = 0;
    UniqueBitmap handle_;
    void* bits_ = nullptr;
    mutable UniquePalette palette_;
    UniqueMemDC dc_;
    HGDIOBJ oldBitmap_ = nullptr;
    std::unique_ptr<TBitmapCanvas> canvas_;
};

// Draws a whole Dib scaled into dest with StretchDIBits (DIB_RGB_COLORS): the path to
// printers, which take device-independent pixels better than a blit from a memory DC.
void StretchDib(HDC dc, const RECT& dest, const Dib& dib, DWORD rop = SRCCOPY);

}  // namespace kaptor
