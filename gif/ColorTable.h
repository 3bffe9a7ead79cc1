// A GIF colour table: up to 256 entries in file order (Red, Green, Blue) and the number in
// use. A new table comes with the standard presets for 2, 16 and 256 colours.
#pragma once

#include <array>
#include <cstdint>

namespace kaptor {

struct TGifColor {
    std::uint8_t Red = 0, Green = 0, Blue = 0;
    friend bool operator==(const TGifColor&, const TGifColor&) = default;
};

class TColorTable {
public:
    // n = 0 or 2: black and white; 16: the sixteen standard colours; 256: a grey ramp;
    // any other n leaves every entry black. Count becomes n.
    explicit TColorTable(std::uint16_t n);

    // Entries in use. Changing it leaves the entries as they are.
    std::int32_t Count = 0;
    std::array<TGifColor, 256> Colors{};
};

}  // namespace kaptor
