// Feeds arbitrary bytes to the JPEG reader, through both of its entry points, and writes
// back whatever decodes. Rejected input must end as EJpegError or EOutOfMemory; any other
// exception, a crash, a leak or a sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "framework/base/Classes.h"
#include "framework/imaging/JpegCodec.h"

namespace {

// Keeps each run within the fuzzer's memory and time budget: about 350 000 pixels.
constexpr std::uint64_t kMaxDibBytes = 1u << 20;

enum class Outcome { Decoded, JpegError, OutOfMemory };

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckDib(const kaptor::Dib& dib) {
    Check(dib.BitCount == 24 && dib.Width > 0 && dib.Height > 0);
    Check(dib.Bits.size() == dib.Stride() * static_cast<std::uint64_t>(dib.Height));
}

template <class Read>
Outcome Run(Read&& read, kaptor::Dib& out, int& code) {
    try {
        out = read();
        CheckDib(out);
        return Outcome::Decoded;
    } catch (const kaptor::EJpegError& e) {
        code = e.Code;
        return Outcome::JpegError;
    } catch (const kaptor::EOutOfMemory&) {
        return Outcome::OutOfMemory;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kaptor::Dib fromBytes, fromStream;
    int bytesCode = -1, streamCode = -1;
    const Outcome a = Run([&] { return kaptor::DecodeJpeg(data, size, kMaxDibBytes); }, fromBytes, bytesCode);
    kaptor::TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    const Outcome b = Run([&] { return kaptor::DecodeJpeg(stream, kMaxDibBytes); }, fromStream, streamCode);

    // The two readers see the same bytes and must come to the same end.
    Check(a == b && bytesCode == streamCode);
    if (a != Outcome::Decoded) return 0;
    Check(fromBytes.Width == fromStream.Width && fromBytes.Height == fromStream.Height);
    Check(fromBytes.Bits == fromStream.Bits);

    // What decodes can be written again and read back at the same size.
    if (fromBytes.Bits.size() <= (256u << 10)) {
        kaptor::TMemoryStream out;
        kaptor::EncodeJpeg(fromBytes, out);
        out.SetPosition(0);
        const kaptor::Dib again = kaptor::DecodeJpeg(out);
        Check(again.Width == fromBytes.Width && again.Height == fromBytes.Height);
    }
    return 0;
}
