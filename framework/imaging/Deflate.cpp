// libdeflate makes a whole stream in one call and always ends it with a final block, so two
// halves deflated apart do not simply join. zlib's inflate, stopping at every block boundary
// (Z_BLOCK), tells where the first half's final block starts; its "final" bit is cleared and
// an empty stored block brings the stream to a byte boundary, where the second half's blocks
// follow. The same technique as zlib's own gzjoin example.
#include "Deflate.h"

#include <exception>
#include <memory>
#include <new>
#include <vector>
#include <system_error>
#include <thread>

#include <libdeflate.h>
#include <zlib.h>

#include "framework/base/SysUtils.h"

#ifndef KAPTOR_DEFLATE_SPLIT_BYTES
#define KAPTOR_DEFLATE_SPLIT_BYTES (1u << 20)  // the fuzz build splits small buffers too
#endif

namespace kaptor {

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// The raw deflate stream of data, appended to out.
void AppendRaw(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size, int level) {
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(libdeflate_alloc_compressor(level));
    if (!compressor) throw EOutOfMemory();
    const std::size_t start = out.size(), bound = libdeflate_deflate_compress_bound(compressor.get(), size);
    try {
        out.resize(start + bound);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    const std::size_t made = libdeflate_deflate_compress(compressor.get(), data, size, out.data() + start, bound);
    if (made == 0) throw EOutOfMemory();  // the bound is libdeflate's own: never short
    out.resize(start + made);
}

struct InflateEnd {
    void operator()(z_stream* z) const { inflateEnd(z); }
};

// Turns the complete raw stream in s (from byte start) into one that goes on: its final
// block made not final, then an empty stored block up to a byte boundary. False (s as it
// was) when zlib cannot follow the stream.
bool MakeNotFinal(std::vector<std::uint8_t>& s, std::size_t start) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    std::unique_ptr<z_stream, InflateEnd> end(&z);
    const std::size_t size = s.size() - start;
    z.next_in = s.data() + start;
    z.avail_in = static_cast<uInt>(size);
    std::vector<std::uint8_t> scratch(1 << 16);
    // Bit positions from start: the last block's header (the first block's when there is one),
    // and the end of the last block, where inflate stops once more before the padding.
    std::uint64_t lastHeader = 0, endBit = 0;
    for (;;) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        const int rc = inflate(&z, Z_BLOCK);
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK) return false;  // libdeflate's own stream: never
        const std::uint64_t bit = (size - z.avail_in) * std::uint64_t{8} - (z.data_type & 7);
        if (z.data_type & 128) (z.data_type & 64 ? endBit : lastHeader) = bit;  // at a block boundary
    }
    s[start + lastHeader / 8] &= static_cast<std::uint8_t>(~(1u << (lastHeader % 8)));
    s.resize(start + (endBit + 7) / 8);
    if (endBit % 8) s.back() &= static_cast<std::uint8_t>((1u << (endBit % 8)) - 1);  // the padding bits
    // The stored block's three header bits (all zero) fit in the last byte's padding, or need
    // another byte; then its length 0 and the length's complement.
    if (endBit % 8 == 0 || endBit % 8 > 5) s.push_back(0);
    s.insert(s.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

}  // namespace

void AppendZlibStream(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size, int level) {
    out.insert(out.end(), {0x78, 0x9C});  // deflate, 32 KB window
    const std::size_t half = size >= KAPTOR_DEFLATE_SPLIT_BYTES ? size / 2 : 0;
    std::vector<std::uint8_t> second;
    std::exception_ptr failed;
    std::thread other;
    if (half) {
        try {
            other = std::thread([&] {
                try {
                    AppendRaw(second, data + half, size - half, level);
                } catch (...) {
                    failed = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
        }
    }
    const std::size_t start = out.size();
    bool joined = false;
    try {
        AppendRaw(out, data, other.joinable() ? half : size, level);
        joined = other.joinable() && MakeNotFinal(out, start);
    } catch (...) {
        if (other.joinable()) other.join();
        throw;
    }
    if (other.joinable()) {
        other.join();
        if (failed) std::rethrow_exception(failed);
        if (joined) {
            out.insert(out.end(), second.begin(), second.end());
        } else {
            out.resize(start);
            AppendRaw(out, data, size, level);
        }
    }
    const std::uint32_t adler = libdeflate_adler32(1, data, size);
    out.insert(out.end(), {static_cast<std::uint8_t>(adler >> 24), static_cast<std::uint8_t>(adler >> 16),
                           static_cast<std::uint8_t>(adler >> 8), static_cast<std::uint8_t>(adler)});
}

}  // namespace kaptor
