#include "gif/ColorTable.h"

namespace kaptor {

namespace {

constexpr TGifColor Standard16[16] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

}  // namespace

TColorTable::TColorTable(std::uint16_t n) {
    switch (n) {
    case 0:
    case 2:
        Colors[0] = {0, 0, 0};
        Colors[1] = {255, 255, 255};
        break;
    case 16:
        for (int i = 0; i < 16; ++i) Colors[static_cast<std::size_t>(i)] = Standard16[i];
        break;
    case 256:
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            Colors[static_cast<std::size_t>(i)] = {v, v, v};
        }
        break;
    default:
        break;
    }
    Count = n;
}

}  // namespace kaptor
