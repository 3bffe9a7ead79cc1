#include "framework/win/GlyphMask.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kaptor {

TGlyphMask MaskGlyph(HBITMAP bitmap, COLORREF maskColour) {
    BITMAP bm{};
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0) return {};
    const int width = bm.bmWidth, height = std::abs(bm.bmHeight);
    // 32-bit rows, top-down; the alpha bytes stay 0, so the colour is drawn through the mask.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    if (!dc || GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) != height)
        return {};
    // A pixel is 0x00RRGGBB, a COLORREF 0x00BBGGRR.
    const std::uint32_t corner = maskColour == clGlyphCorner
                                     ? pixels[static_cast<std::size_t>(height - 1) * width] & 0xFFFFFF
                                     : static_cast<std::uint32_t>(RGB(GetBValue(maskColour), GetGValue(maskColour),
                                                                      GetRValue(maskColour)));
    // Monochrome rows are whole 16-bit words.
    const int maskStride = (width + 15) / 16 * 2;
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(maskStride) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t& p = pixels[static_cast<std::size_t>(y) * width + x];
            p &= 0xFFFFFF;
            if (p != corner) continue;
            p = 0;
            maskBits[static_cast<std::size_t>(y) * maskStride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    TGlyphMask glyph;
    glyph.mask.reset(CreateBitmap(width, height, 1, 1, maskBits.data()));
    void* bits = nullptr;
    glyph.colour.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!glyph.mask || !glyph.colour || !bits) return {};
    std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    return glyph;
}

UniqueIcon MaskedIcon(HBITMAP bitmap) {
    const TGlyphMask glyph = MaskGlyph(bitmap);
    if (!glyph.colour) return {};
    ICONINFO info{TRUE, 0, 0, glyph.mask.get(), glyph.colour.get()};
    return UniqueIcon(CreateIconIndirect(&info));
}

}  // namespace kaptor
