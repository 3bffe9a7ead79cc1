// Feeds arbitrary bytes to the PNG reader and writes back whatever decodes. Rejected input
// must end as EPngError or EOutOfMemory; any other exception, a crash, a leak or a sanitizer
// report is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "framework/base/Classes.h"
#include "framework/imaging/PngCodec.h"

namespace {

// Keeps each run within the fuzzer's memory and time budget: about 350 000 pixels.
constexpr std::uint64_t kMaxDibBytes = 1u << 20;

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
