// libFuzzer entry for the bitmap reader and writer. A clean refusal (EInvalidGraphic,
// EOutOfMemory) is a pass; a crash, a sanitizer report, any other exception or a broken
// invariant is a failure. A picture that reads must read the same through a stream, convert
// every row, and come back unchanged from the writer.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "framework/base/Classes.h"
#include "framework/imaging/BmpCodec.h"

using namespace kaptor;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    Dib d;
    try {
        d = ReadBmp(file);
    } catch (const EInvalidGraphic&) {
        return 0;
    } catch (const EOutOfMemory&) {
        return 0;
    }
    Check(d.Width > 0 && d.Height > 0);
    Check(d.Bits.size() == d.Stride() * static_cast<std::uint64_t>(d.Height));
    Check(d.BitCount > 8 || (!d.Palette.empty() && d.Palette.size() <= (1u << d.BitCount)));

    // The stream path reads only what it needs; it must find the same picture.
    TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
    Check(ReadBmp(in) == d);
    Check(in.Position() <= static_cast<std::int64_t>(size));

    std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(d.Width));
    for (int y = 0; y < d.Height; ++y) d.RowToRgb(y, rgb.data());

    TMemoryStream out;
    WriteBmp(d, out);
    Check(ReadBmp(out.Memory()) == d);
    return 0;
}
