#include "PngPalette.h"

#include <cstring>

namespace kaptor {

namespace {

// Open addressing over 1024 slots for at most 256 colours: short probes, and the table fits
// in the first-level cache.
class ColourTable {
public:
    ColourTable() { std::memset(keys_, 0xFF, sizeof keys_); }  // no 24-bit colour is all ones

    // The index of colour key (0x00RRGGBB), added if new; -1 past 256 colours.
    int Find(std::uint32_t key, std::vector<RgbQuad>& colours) {
        for (std::uint32_t slot = (key * 0x9E3779B1u) >> 22;; slot = (slot + 1) & 1023) {
            if (keys_[slot] == key) return index_[slot];
            if (keys_[slot] != kEmpty) continue;
            if (colours.size() == 256) return -1;
            keys_[slot] = key;
            index_[slot] = static_cast<std::uint8_t>(colours.size());
            colours.push_back(RgbQuad{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                      static_cast<std::uint8_t>(key >> 16), 0});
            return index_[slot];
        }
    }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::uint32_t keys_[1024];
    std::uint8_t index_[1024];
};

template <int Step>
std::uint32_t KeyAt(const std::uint8_t* p) {
    if constexpr (Step == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v & 0xFFFFFFu;  // little-endian BGRX: the fourth byte is not part of the colour
    } else {
        return p[0] | p[1] << 8 | static_cast<std::uint32_t>(p[2]) << 16;
    }
}

template <int Step>
bool IndexRows(const std::vector<const std::uint8_t*>& rows, std::size_t width, std::uint8_t* out,
               std::size_t outStride, std::vector<RgbQuad>& colours) {
    ColourTable table;
    std::size_t changes = 0;  // pixels whose colour differs from the one before them
    const std::size_t early = rows.size() / 8;
    std::uint32_t lastKey = KeyAt<Step>(rows[0]);
    int last = table.Find(lastKey, colours);
    for (std::size_t y = 0; y < rows.size(); ++y, out += outStride) {
        if (y == early && y > 0 && changes * 2 > y * width) return false;
        const std::uint8_t* row = rows[y];
        // Screen content repeats whole rows; 32-bit rows are compared with their fourth bytes,
        // which only makes a rare equal row go the long way.
        if (y > 0 && std::memcmp(row, rows[y - 1], width * Step) == 0) {
            std::memcpy(out, out - outStride, width);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x, row += Step) {
            const std::uint32_t key = KeyAt<Step>(row);
            if (key != lastKey) {  // most pixels are their left neighbour's colour
                ++changes;
                last = table.Find(key, colours);
                if (last < 0) return false;
                lastKey = key;
            }
            out[x] = static_cast<std::uint8_t>(last);
        }
    }
    return changes * 2 <= rows.size() * width;
}

}  // namespace

bool CanIndexColours(const Dib& format) {
    return format.BitCount == 24 || (format.BitCount == 32 && !format.HasBitFields());
}

bool IndexColours(const std::vector<const std::uint8_t*>& rows, std::size_t width, int bitCount,
                  std::uint8_t* out, std::size_t outStride, std::vector<RgbQuad>& colours) {
    colours.clear();
    if (rows.empty() || width == 0) return false;
    return bitCount == 32 ? IndexRows<4>(rows, width, out, outStride, colours)
                          : IndexRows<3>(rows, width, out, outStride, colours);
}

}  // namespace kaptor
