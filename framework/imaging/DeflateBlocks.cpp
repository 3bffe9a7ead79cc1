// Each block's codes are read as an inflater reads them (RFC 1951), but symbols are only
// skipped: codes up to 10 bits through a table, longer ones bit by bit the canonical way.
#include "DeflateBlocks.h"

#include <algorithm>
#include <cstring>

#include "framework/imaging/DeflateFormat.h"

namespace kaptor {

namespace {

class Bits {
public:
    Bits(const std::uint8_t* s, std::size_t size) : s_(s), size_(size) {}

    // The next n bits (n <= 32) without taking them; zeros past the end, which Past() tells.
    std::uint32_t Peek(unsigned n) {
        if (count_ < n) Refill();
        return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << n) - 1));
    }
    void Skip(unsigned n) {
        buffer_ >>= n;
        count_ -= n;
    }
    std::uint32_t Take(unsigned n) {
        const std::uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    void ToByte() { Skip(count_ % 8); }
    // At a byte boundary: n whole bytes on.
    void SkipBytes(std::size_t n) {
        if (n * 8 <= count_) return Skip(static_cast<unsigned>(n * 8));
        at_ += n - count_ / 8;
        buffer_ = 0;
        count_ = 0;
    }
    std::uint64_t Position() const { return at_ * std::uint64_t{8} - count_; }
    bool Past() const { return Position() > size_ * std::uint64_t{8}; }

private:
    // Up to 56 bits: away from the end eight bytes in one go (the bits above count_ then hold
    // the bytes that follow, so taking them again later changes nothing), near it a byte at a time.
    void Refill() {
        if (size_ - std::min(at_, size_) >= 8) {
            std::uint64_t w = 0;
            for (int i = 7; i >= 0; --i) w = w << 8 | s_[at_ + i];
            buffer_ |= w << count_;
            at_ += (63 - count_) / 8;
            count_ |= 56;
            return;
        }
        while (count_ <= 56) {
            buffer_ |= static_cast<std::uint64_t>(at_ < size_ ? s_[at_] : 0) << count_;
            ++at_;
            count_ += 8;
        }
    }

    const std::uint8_t* s_;
    std::size_t size_, at_ = 0;
    std::uint64_t buffer_ = 0;
    unsigned count_ = 0;
};

constexpr unsigned kTableBits = 10;
constexpr std::uint16_t kLong = 0xFFFF;  // a code longer than the table: decoded bit by bit

// A canonical Huffman code from its lengths.
class Code {
public:
    // False for lengths no valid stream has (more codes of a length than there is room for).
    bool Build(const std::uint8_t* lengths, unsigned n) {
        std::memset(counts_, 0, sizeof counts_);
        for (unsigned s = 0; s < n; ++s) ++counts_[lengths[s]];
        counts_[0] = 0;
        unsigned offsets[16], next[16];
        int left = 1;
        offsets[1] = 0;
        next[1] = 0;
        for (unsigned len = 1; len < 16; ++len) {
            left = left * 2 - counts_[len];
            if (left < 0) return false;
            if (len < 15) offsets[len + 1] = offsets[len] + counts_[len], next[len + 1] = (next[len] + counts_[len]) << 1;
        }
        for (std::uint16_t& t : table_) t = kLong;
        for (unsigned s = 0; s < n; ++s) {
            const unsigned len = lengths[s];
            if (!len) continue;
            sorted_[offsets[len]++] = static_cast<std::uint16_t>(s);
            const unsigned code = next[len]++;
            if (len > kTableBits) continue;
            unsigned reversed = 0;  // the stream holds codes from their first bit on
            for (unsigned i = 0; i < len; ++i) reversed |= ((code >> i) & 1u) << (len - 1 - i);
            for (unsigned r = reversed; r < (1u << kTableBits); r += 1u << len)
                table_[r] = static_cast<std::uint16_t>(s << 4 | len);
        }
        return true;
    }

    // The next symbol, or -1 when no code matches.
    int Decode(Bits& bits) const {
        const std::uint16_t e = table_[bits.Peek(kTableBits)];
        if (e != kLong) {
            bits.Skip(e & 15);
            return e >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (unsigned len = 1; len < 16; ++len) {
            code |= static_cast<int>(bits.Take(1));
            const int count = counts_[len];
            if (code - first < count) return sorted_[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    std::uint16_t counts_[16];
    std::uint16_t sorted_[288];
    std::uint16_t table_[1u << kTableBits];
};

using deflate::kDistanceExtra;
using deflate::kLengthExtra;

// The literal/length and distance codes of a dynamic block's header.
bool ReadCodes(Bits& bits, Code& literals, Code& distances) {
    const unsigned nLiterals = bits.Take(5) + 257, nDistances = bits.Take(5) + 1, nLengths = bits.Take(4) + 4;
    if (nLiterals > 286 || nDistances > 30) return false;
    std::uint8_t lengths[320] = {};
    for (unsigned i = 0; i < nLengths; ++i)
        lengths[deflate::kCodeLengthOrder[i]] = static_cast<std::uint8_t>(bits.Take(3));
    Code lengthCode;
    if (!lengthCode.Build(lengths, 19)) return false;
    std::memset(lengths, 0, sizeof lengths);
    for (unsigned i = 0; i < nLiterals + nDistances;) {
        const int s = lengthCode.Decode(bits);
        if (s < 0 || bits.Past()) return false;
        if (s < 16) {
            lengths[i++] = static_cast<std::uint8_t>(s);
            continue;
        }
        if (s == 16 && i == 0) return false;
        const std::uint8_t value = s == 16 ? lengths[i - 1] : 0;
        const unsigned repeat = s == 16 ? 3 + bits.Take(2) : s == 17 ? 3 + bits.Take(3) : 11 + bits.Take(7);
        if (i + repeat > nLiterals + nDistances) return false;
        for (unsigned r = 0; r < repeat; ++r) lengths[i++] = value;
    }
    return literals.Build(lengths, nLiterals) && distances.Build(lengths + nLiterals, nDistances);
}

}  // namespace

bool FindDeflateBlockEnds(const std::uint8_t* s, std::size_t size, DeflateBlockEnds& ends) {
    Bits bits(s, size);
    Code literals, distances;
    for (bool last = false; !last;) {
        ends.LastHeader = bits.Position();
        last = bits.Take(1);
        const unsigned type = bits.Take(2);
        if (type == 0) {
            bits.ToByte();
            const unsigned length = bits.Take(16), check = bits.Take(16);
            if ((length ^ 0xFFFF) != check) return false;
            bits.SkipBytes(length);
        } else {
            if (type == 1) {
                std::uint8_t lengths[288 + 30];
                deflate::FixedLengths(lengths);
                if (!literals.Build(lengths, 288) || !distances.Build(lengths + 288, 30)) return false;
            } else if (type != 2 || !ReadCodes(bits, literals, distances)) {
                return false;
            }
            for (;;) {
                const int symbol = literals.Decode(bits);
                if (symbol < 0 || symbol > 285 || bits.Past()) return false;
                if (symbol == 256) break;
                if (symbol < 256) continue;
                bits.Take(kLengthExtra[symbol - 257]);
                const int distance = distances.Decode(bits);
                if (distance < 0 || distance > 29) return false;
                bits.Take(kDistanceExtra[distance]);
            }
        }
        if (bits.Past()) return false;
    }
    ends.End = bits.Position();
    return (ends.End + 7) / 8 == size;
}

}  // namespace kaptor
