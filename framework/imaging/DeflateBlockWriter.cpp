// A block's symbols are counted, the dynamic code built for them, and the three ways of
// writing the block costed in bits before one is written.
#include "DeflateBlockWriter.h"

#include <algorithm>
#include <array>

#include "framework/imaging/DeflateFormat.h"
#include "framework/imaging/HuffmanCode.h"

namespace kaptor {

namespace {

using deflate::kDistanceBase;
using deflate::kDistanceExtra;
using deflate::kLengthBase;
using deflate::kLengthExtra;

// The length code (0-28, i.e. symbol 257 on) of each match length.
constexpr std::array<std::uint8_t, 259> kLengthSlot = [] {
    std::array<std::uint8_t, 259> t{};
    for (unsigned slot = 0; slot < 29; ++slot)
        for (unsigned len = kLengthBase[slot]; len < (slot < 28 ? kLengthBase[slot + 1] : 259u); ++len)
            t[len] = static_cast<std::uint8_t>(slot);
    t[258] = 28;  // 258 has a code of its own, not 227 + 31
    return t;
}();

// The distance code of distance d: near[d - 1] up to 256, far[(d - 1) >> 7] beyond.
struct DistanceSlots {
    std::uint8_t Near[256], Far[256];
};
constexpr DistanceSlots kDistanceSlots = [] {
    DistanceSlots t{};
    for (unsigned slot = 0; slot < 30; ++slot) {
        const unsigned end = slot < 29 ? kDistanceBase[slot + 1] : 32769u;
        for (unsigned d = kDistanceBase[slot]; d < end; ++d) {
            if (d <= 256) t.Near[d - 1] = static_cast<std::uint8_t>(slot);
            else t.Far[(d - 1) >> 7] = static_cast<std::uint8_t>(slot);
        }
    }
    return t;
}();

inline unsigned DistanceSlot(unsigned d) { return d <= 256 ? kDistanceSlots.Near[d - 1] : kDistanceSlots.Far[(d - 1) >> 7]; }

constexpr unsigned kLiteralCodes = 286, kDistanceCodes = 30;

struct Code {
    std::uint8_t Lengths[288];
    std::uint16_t Codes[288];
};

struct FixedCodes {
    Code Literals, Distances;
    FixedCodes() {
        std::uint8_t lengths[288 + 30];
        deflate::FixedLengths(lengths);
        std::copy(lengths, lengths + 288, Literals.Lengths);
        std::copy(lengths + 288, lengths + 288 + 30, Distances.Lengths);
        HuffmanCodes(Literals.Lengths, 288, Literals.Codes);
        HuffmanCodes(Distances.Lengths, 30, Distances.Codes);
    }
};

const FixedCodes& Fixed() {
    static const FixedCodes codes;
    return codes;
}

// The code lengths of both codes as code-length symbols (RFC 1951, 3.2.7): 16 repeats the
// previous length 3-6 times, 17 and 18 give 3-10 and 11-138 zeros.
struct LengthRuns {
    std::uint8_t Symbol[320], Extra[320];
    unsigned Count = 0;
    void Add(unsigned symbol, unsigned extra) {
        Symbol[Count] = static_cast<std::uint8_t>(symbol);
        Extra[Count++] = static_cast<std::uint8_t>(extra);
    }
    explicit LengthRuns(const std::uint8_t* lengths, unsigned total) {
        for (unsigned i = 0; i < total;) {
            const unsigned v = lengths[i];
            unsigned run = 1;
            while (i + run < total && lengths[i + run] == v) ++run;
            i += run;
            if (v == 0) {
                for (; run >= 11; run -= std::min(run, 138u)) Add(18, std::min(run, 138u) - 11);
                if (run >= 3) Add(17, run - 3), run = 0;
            } else {
                Add(v, 0);
                --run;
                for (; run >= 3; run -= std::min(run, 6u)) Add(16, std::min(run, 6u) - 3);
            }
            for (; run; --run) Add(v, 0);
        }
    }
};

constexpr std::uint8_t kRunExtraBits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

void WriteSymbols(DeflateBits& bits, const DeflateSymbol* symbols, std::size_t n, const Code& literals,
                  const Code& distances) {
    for (std::size_t i = 0; i < n; ++i) {
        const DeflateSymbol s = symbols[i];
        if (!s.Distance) {
            bits.Put(literals.Codes[s.Value], literals.Lengths[s.Value]);
            continue;
        }
        const unsigned slot = kLengthSlot[s.Value];
        bits.Put(literals.Codes[257 + slot], literals.Lengths[257 + slot]);
        bits.Put(s.Value - kLengthBase[slot], kLengthExtra[slot]);
        const unsigned d = DistanceSlot(s.Distance);
        bits.Put(distances.Codes[d], distances.Lengths[d]);
        bits.Put(s.Distance - kDistanceBase[d], kDistanceExtra[d]);
    }
    bits.Put(literals.Codes[256], literals.Lengths[256]);
}

// Bits of the symbols under the given lengths, extra bits included.
std::uint64_t SymbolBits(const std::uint32_t* literalCounts, const std::uint32_t* distanceCounts,
                         const std::uint8_t* literalLengths, const std::uint8_t* distanceLengths) {
    std::uint64_t total = 0;
    for (unsigned s = 0; s < kLiteralCodes; ++s)
        total += static_cast<std::uint64_t>(literalCounts[s]) * (literalLengths[s] + (s > 256 ? kLengthExtra[s - 257] : 0));
    for (unsigned s = 0; s < kDistanceCodes; ++s)
        total += static_cast<std::uint64_t>(distanceCounts[s]) * (distanceLengths[s] + kDistanceExtra[s]);
    return total;
}

void WriteStored(DeflateBits& bits, const std::uint8_t* raw, std::size_t size, bool final) {
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(size - at, 0xFFFF);
        bits.Put(final && at + n == size ? 1 : 0, 3);
        bits.ToByte();
        bits.Put(static_cast<std::uint32_t>(n | (~n & 0xFFFF) << 16), 32);
        bits.PutBytes(raw + at, n);
        at += n;
    } while (at < size);
}

}  // namespace

void WriteDeflateBlock(DeflateBits& bits, const DeflateSymbol* symbols, std::size_t n, const std::uint8_t* raw,
                       std::size_t rawSize, bool final) {
    std::uint32_t literalCounts[kLiteralCodes] = {}, distanceCounts[kDistanceCodes] = {};
    for (std::size_t i = 0; i < n; ++i) {
        const DeflateSymbol s = symbols[i];
        if (!s.Distance) {
            ++literalCounts[s.Value];
        } else {
            ++literalCounts[257 + kLengthSlot[s.Value]];
            ++distanceCounts[DistanceSlot(s.Distance)];
        }
    }
    literalCounts[256] = 1;

    Code literals, distances;
    HuffmanLengths(literalCounts, kLiteralCodes, 15, literals.Lengths);
    HuffmanLengths(distanceCounts, kDistanceCodes, 15, distances.Lengths);
    unsigned nLiterals = kLiteralCodes, nDistances = kDistanceCodes;
    while (nLiterals > 257 && !literals.Lengths[nLiterals - 1]) --nLiterals;
    while (nDistances > 1 && !distances.Lengths[nDistances - 1]) --nDistances;
    std::uint8_t all[kLiteralCodes + kDistanceCodes];
    std::copy(literals.Lengths, literals.Lengths + nLiterals, all);
    std::copy(distances.Lengths, distances.Lengths + nDistances, all + nLiterals);
    const LengthRuns runs(all, nLiterals + nDistances);
    std::uint32_t runCounts[19] = {};
    for (unsigned i = 0; i < runs.Count; ++i) ++runCounts[runs.Symbol[i]];
    std::uint8_t runLengths[19];
    std::uint16_t runCodes[19];
    HuffmanLengths(runCounts, 19, 7, runLengths);
    unsigned nRunLengths = 19;
    while (nRunLengths > 4 && !runLengths[deflate::kCodeLengthOrder[nRunLengths - 1]]) --nRunLengths;

    std::uint64_t dynamicBits = 3 + 5 + 5 + 4 + 3 * nRunLengths;
    for (unsigned s = 0; s < 19; ++s) dynamicBits += static_cast<std::uint64_t>(runCounts[s]) * (runLengths[s] + kRunExtraBits[s]);
    dynamicBits += SymbolBits(literalCounts, distanceCounts, literals.Lengths, distances.Lengths);
    const FixedCodes& fixed = Fixed();
    const std::uint64_t fixedBits = 3 + SymbolBits(literalCounts, distanceCounts, fixed.Literals.Lengths, fixed.Distances.Lengths);
    const std::uint64_t storedBits = (rawSize + 5 * (rawSize / 0xFFFF + 1)) * std::uint64_t{8} + 7;

    if (storedBits <= dynamicBits && storedBits <= fixedBits) return WriteStored(bits, raw, rawSize, final);
    if (fixedBits <= dynamicBits) {
        bits.Put(final ? 3 : 2, 3);  // BFINAL, then BTYPE 01
        return WriteSymbols(bits, symbols, n, fixed.Literals, fixed.Distances);
    }
    bits.Put(final ? 5 : 4, 3);  // BTYPE 10
    bits.Put(nLiterals - 257, 5);
    bits.Put(nDistances - 1, 5);
    bits.Put(nRunLengths - 4, 4);
    for (unsigned i = 0; i < nRunLengths; ++i) bits.Put(runLengths[deflate::kCodeLengthOrder[i]], 3);
    HuffmanCodes(runLengths, 19, runCodes);
    for (unsigned i = 0; i < runs.Count; ++i) {
        const unsigned s = runs.Symbol[i];
        bits.Put(runCodes[s], runLengths[s]);
        bits.Put(runs.Extra[i], kRunExtraBits[s]);
    }
    HuffmanCodes(literals.Lengths, kLiteralCodes, literals.Codes);
    HuffmanCodes(distances.Lengths, kDistanceCodes, distances.Codes);
    WriteSymbols(bits, symbols, n, literals, distances);
}

void WriteDeflateSync(DeflateBits& bits) {
    bits.Put(0, 3);
    bits.ToByte();
    bits.Put(0xFFFF0000u, 32);
}

}  // namespace kaptor
