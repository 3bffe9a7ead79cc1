// Feeds arbitrary bytes to the PNG reader and writes back whatever decodes. Rejected input
// must end as EPngError or EOutOfMemory; any other exception, a crash, a leak or a sanitizer
// report is a finding. What the quick reader takes, the libpng path must read to the same
// pixels: a file it reads that libpng refuses, or other pixels, are findings too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <libdeflate.h>

#include "framework/base/Classes.h"
#include "framework/imaging/PngCodec.h"
#include "framework/imaging/PngReader.h"

namespace {

// Keeps each run within the fuzzer's memory and time budget: about 350 000 pixels.
constexpr std::uint64_t kMaxDibBytes = 1u << 20;

void Check(bool ok) {
    if (!ok) std::abort();
}

kaptor::PngTarget Into(kaptor::Dib& dib) {
    return {[&dib](std::int32_t w, std::int32_t h) { dib = kaptor::Dib::Make(w, h, 24); },
            [&dib](int y) { return dib.Row(y); }};
}

// The input with every chunk's CRC made right, so that mutations reach past the CRC checks
// into the chunks and the stream.
std::vector<std::uint8_t> WithRightCrcs(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> f(data, data + size);
    for (std::size_t at = 8; at + 12 <= size;) {
        const std::uint32_t length = static_cast<std::uint32_t>(f[at]) << 24 | f[at + 1] << 16 | f[at + 2] << 8 | f[at + 3];
        if (length > size - at - 12) break;
        const std::uint32_t crc = libdeflate_crc32(0, &f[at + 4], length + 4);
        for (int i = 0; i < 4; ++i) f[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return f;
}

void CompareReaders(const std::vector<std::uint8_t>& file) {
    const std::uint8_t* data = file.data();
    const std::size_t size = file.size();
    kaptor::Dib quick, slow;
    try {
        if (!kaptor::ReadPlainPng(data, size, Into(quick), kMaxDibBytes)) return;
    } catch (const kaptor::EOutOfMemory&) {
        return;
    }
    kaptor::DecodePngWithLibpng(data, size, Into(slow), kMaxDibBytes);  // throws: a finding
    Check(quick.Width == slow.Width && quick.Height == slow.Height && quick.Bits == slow.Bits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CompareReaders(WithRightCrcs(data, size));
    kaptor::Dib dib;
    try {
        dib = kaptor::DecodePng(data, size, kMaxDibBytes);
    } catch (const kaptor::EPngError&) {
        return 0;
    } catch (const kaptor::EOutOfMemory&) {
        return 0;
    }
    Check(dib.BitCount == 24 && dib.Width > 0 && dib.Height > 0);
    Check(dib.Bits.size() == dib.Stride() * static_cast<std::uint64_t>(dib.Height));
    // What decodes is written again and reads back to the same pixels.
    if (dib.Bits.size() <= (256u << 10)) {
        kaptor::TMemoryStream out;
        kaptor::EncodePng(dib, out, kaptor::TPngSettings{1, kaptor::TPngFilter::Adaptive});
        const kaptor::Dib again = kaptor::DecodePng(out.Memory().data(), out.Memory().size());
        Check(again.Width == dib.Width && again.Height == dib.Height && again.Bits == dib.Bits);
    }
    return 0;
}
