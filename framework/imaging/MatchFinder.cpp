// Hash chains of 4-byte strings, every position in them, searched 96 candidates deep with one
// step of lazy matching (a match is put off by a byte when the next position has a longer
// one). A candidate is looked at only when its byte just past the best length so far and
// its first four bytes agree, so most of a deep chain costs two compares a candidate.
#include "MatchFinder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "framework/base/SysUtils.h"
#include "framework/imaging/DeflateBlockWriter.h"

namespace kaptor {

namespace {

constexpr unsigned kWindow = 32768, kMinMatch = 4, kMaxMatch = 258;
// 128 K chains for 32 K positions: on noisy pictures (few matches, many distinct strings) the
// chains stay short; 15 bits took 40 % longer there, for the same file.
constexpr unsigned kHashBits = 17;
// Measured on filtered screen content (bench/README.md): 96 candidates find nearly what 300
// find; a shallower search or one that stops at a shorter match gives up more (the long
// matches a row or more back run through many short stretches of zeros).
constexpr unsigned kDepth = 96;
// Matches of 4 and 5 bytes only this near: farther, their distance's extra bits cost about
// what the literals would, and on noisy pictures the literals' code came out shorter.
constexpr std::int32_t kFar4 = 1024, kFar5 = 8192;
constexpr std::size_t kBlockSymbols = 16384;  // a block's own codes pay for themselves at this size

inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline std::uint32_t Hash(const std::uint8_t* p) { return (Load32(p) * 0x9E3779B1u) >> (32 - kHashBits); }

// How many bytes of a and b agree, up to max.
inline unsigned Agree(const std::uint8_t* a, const std::uint8_t* b, unsigned max) {
    unsigned n = 0;
    while (n + sizeof(std::size_t) <= max) {
        std::size_t x, y;
        std::memcpy(&x, a + n, sizeof x);
        std::memcpy(&y, b + n, sizeof y);
        if (x != y) {
            if constexpr (sizeof(std::size_t) == 8) return n + static_cast<unsigned>(__builtin_ctzll(x ^ y)) / 8;
            else return n + static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(x ^ y))) / 8;
        }
        n += sizeof(std::size_t);
    }
    while (n < max && a[n] == b[n]) ++n;
    return n;
}

class Chains {
public:
    Chains() : head_(new (std::nothrow) std::int32_t[1u << kHashBits]), prev_(new (std::nothrow) std::int32_t[kWindow]) {
        if (!head_ || !prev_) throw EOutOfMemory();
        std::fill(head_.get(), head_.get() + (1u << kHashBits), kNone);
    }

    // Puts position pos (4 bytes left at least) at the head of its chain; returns the chain
    // as it was.
    std::int32_t Insert(const std::uint8_t* data, std::int32_t pos) {
        std::int32_t& h = head_[Hash(data + pos)];
        const std::int32_t first = h;
        prev_[pos & (kWindow - 1)] = first;
        h = pos;
        return first;
    }

    // The positions [from, to) inside a match. All of them: the runs of zeros inside
    // matches are where the next match, a row or more back, most often starts, so leaving
    // them out of the chains made screen content's files half as large again.
    void InsertMatch(const std::uint8_t* data, std::int32_t from, std::int32_t to, std::int32_t hashEnd) {
        for (std::int32_t p = from; p < to && p < hashEnd; ++p) Insert(data, p);
    }

    // The longest match for pos among up to depth candidates from first on, longer than
    // best; its length (0 if none) and distance.
    unsigned Longest(const std::uint8_t* data, std::int32_t pos, std::int32_t first, unsigned maxLen, unsigned depth,
                     unsigned best, unsigned& distance) const {
        const std::uint8_t* here = data + pos;
        const std::int32_t limit = pos - static_cast<std::int32_t>(kWindow);
        unsigned found = 0;
        if (best < kMinMatch - 1) best = kMinMatch - 1;
        if (best >= maxLen) return 0;
        for (std::int32_t c = first; c > limit && depth; c = prev_[c & (kWindow - 1)], --depth) {
            const std::uint8_t* there = data + c;
            if (there[best] != here[best] || Load32(there) != Load32(here)) continue;
            const unsigned len = Agree(there, here, maxLen);
            if (len > best && (len > 5 || pos - c <= (len == 4 ? kFar4 : kFar5))) {
                best = found = len;
                distance = static_cast<unsigned>(pos - c);
                if (len >= maxLen) break;
            }
        }
        return found;
    }

private:
    static constexpr std::int32_t kNone = -0x10000 - static_cast<std::int32_t>(kWindow);
    std::unique_ptr<std::int32_t[]> head_, prev_;
};

// Symbols gathered for one block at a time, written when the block is full.
class BlockBuffer {
public:
    BlockBuffer(DeflateBits& bits, const std::uint8_t* data) : bits_(bits), data_(data), symbols_(kBlockSymbols) {}
    void Literal(std::size_t at) {
        symbols_[n_++] = {data_[at], 0};
        if (n_ == kBlockSymbols) Flush(at + 1, false);
    }
    void Match(std::size_t at, unsigned len, unsigned distance) {
        symbols_[n_++] = {static_cast<std::uint16_t>(len), static_cast<std::uint16_t>(distance)};
        if (n_ == kBlockSymbols) Flush(at + len, false);
    }
    // Writes the symbols up to end as a block.
    void Flush(std::size_t end, bool final) {
        if (!n_ && !final) return;
        WriteDeflateBlock(bits_, symbols_.data(), n_, data_ + start_, end - start_, final);
        start_ = end;
        n_ = 0;
    }

private:
    DeflateBits& bits_;
    const std::uint8_t* data_;
    std::vector<DeflateSymbol> symbols_;
    std::size_t n_ = 0, start_ = 0;
};

}  // namespace

std::size_t MatchDeflateBound(std::size_t size) { return DeflateOutputBound(size, kBlockSymbols); }

std::size_t MatchDeflate(const std::uint8_t* data, std::size_t size, std::uint8_t* out, bool last) {
    Chains chains;
    DeflateBits bits(out);
    BlockBuffer block(bits, data);
    const std::int32_t end = static_cast<std::int32_t>(size);
    const std::int32_t hashEnd = end - static_cast<std::int32_t>(kMinMatch) + 1;  // positions with 4 bytes
    unsigned pendingLen = 0, pendingDistance = 0;  // the match at pos - 1 that waits for a look at pos
    std::int32_t pos = 0;
    while (pos < end) {
        if (pos >= hashEnd) {
            if (pendingLen) {
                block.Match(static_cast<std::size_t>(pos - 1), pendingLen, pendingDistance);
                pos += static_cast<std::int32_t>(pendingLen) - 1;
                pendingLen = 0;
                continue;
            }
            block.Literal(static_cast<std::size_t>(pos++));
            continue;
        }
        const std::int32_t first = chains.Insert(data, pos);
        const unsigned maxLen = static_cast<unsigned>(std::min<std::int32_t>(kMaxMatch, end - pos));
        unsigned distance = 0;
        if (pendingLen) {
            const unsigned len = chains.Longest(data, pos, first, maxLen, kDepth, pendingLen, distance);
            if (len > pendingLen) {  // the later match is longer: the byte before goes as a literal
                block.Literal(static_cast<std::size_t>(pos - 1));
                pendingLen = len;
                pendingDistance = distance;
                ++pos;
                continue;
            }
            const std::int32_t start = pos - 1, next = start + static_cast<std::int32_t>(pendingLen);
            block.Match(static_cast<std::size_t>(start), pendingLen, pendingDistance);
            chains.InsertMatch(data, pos + 1, next, hashEnd);
            pos = next;
            pendingLen = 0;
            continue;
        }
        const unsigned len = chains.Longest(data, pos, first, maxLen, kDepth, 0, distance);
        if (len) {
            pendingLen = len;
            pendingDistance = distance;
            ++pos;
        } else {
            block.Literal(static_cast<std::size_t>(pos++));
        }
    }
    block.Flush(size, last);
    if (!last) WriteDeflateSync(bits);
    bits.ToByte();
    return bits.Finish();
}

}  // namespace kaptor
