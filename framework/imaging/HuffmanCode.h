// Canonical Huffman codes of limited length from symbol counts, as deflate's dynamic blocks
// send them (RFC 1951, 3.2.2).
#pragma once

#include <cstdint>

namespace kaptor {

// lengths[s] for each of the n symbols (n <= 288): 0 for a symbol not counted, else at most
// limit bits. The code is always complete (what every inflater accepts): fewer than two counted
// symbols get a second of length 1.
void HuffmanLengths(const std::uint32_t* counts, unsigned n, unsigned limit, std::uint8_t* lengths);

// codes[s] from the lengths, bit-reversed: deflate sends a code's first bit first.
void HuffmanCodes(const std::uint8_t* lengths, unsigned n, std::uint16_t* codes);

}  // namespace kaptor
