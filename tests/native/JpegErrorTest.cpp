// Damaged and hostile JPEG input: every failure is an exception with libjpeg's message
// number, nothing ends the process, and (under the sanitizer build) nothing leaks.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "framework/base/Classes.h"
#include "framework/imaging/JpegCodec.h"

using namespace kaptor;

namespace {

std::vector<std::uint8_t> SmallJpeg(int width = 48, int height = 40) {
    Dib dib = Dib::Make(width, height, 24);
    for (std::size_t i = 0; i < dib.Bits.size(); ++i) dib.Bits[i] = static_cast<std::uint8_t>(i * 7 + (i >> 5));
    TMemoryStream out;
    EncodeJpeg(dib, out);
    return out.Memory();
}

// Offset of the first marker segment with this code (its 0xFF byte).
std::size_t MarkerAt(const std::vector<std::uint8_t>& f, int marker) {
    std::size_t p = 2;
    while (p + 4 <= f.size() && f[p] == 0xFF) {
        if (f[p + 1] == marker) return p;
        if (f[p + 1] == 0xDA) break;
        p += 2 + ((f[p + 2] << 8) | f[p + 3]);
    }
    ADD_FAILURE() << "marker " << std::hex << marker << " not found";
    return 0;
}

// Runs both readers (stream and bytes) and checks they fail with exactly this code.
void ExpectJpegError(const std::vector<std::uint8_t>& bytes, int code, const char* what) {
    const std::function<void()> readers[] = {
        [&] {
            TMemoryStream s(bytes);
            DecodeJpeg(s);
        },
        [&] { DecodeJpeg(bytes.data(), bytes.size()); },
    };
    for (const auto& read : readers) {
        try {
            read();
            ADD_FAILURE() << what << ": no exception";
        } catch (const EJpegError& e) {
            EXPECT_EQ(e.Code, code) << what;
            EXPECT_EQ(e.Message, Format("JPEG ｴﾗｰ #%d", code)) << what;
            EXPECT_NE(dynamic_cast<const EInvalidGraphic*>(&e), nullptr);
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": wrong exception " << e.what();
        }
    }
}

}  // namespace

TEST(JpegErrors, EmptyAndForeignInput) {
    ExpectJpegError({}, JERR_INPUT_EMPTY, "empty");
    ExpectJpegError({'B', 'M', 0x36, 0, 0, 0, 0, 0}, JERR_NO_SOI, "a bitmap header");
    ExpectJpegError({0xFF}, JERR_NO_SOI, "one byte");
}

TEST(JpegErrors, TruncatedBeforeTheImageIsNoImage) {
    const auto f = SmallJpeg();
    // Cut at segment boundaries before the frame: the reader's EOI stand-in ends the header.
    ExpectJpegError({f.begin(), f.begin() + 2}, JERR_NO_IMAGE, "SOI only");
    const std::size_t dqt = MarkerAt(f, 0xDB);
    ExpectJpegError({f.begin(), f.begin() + static_cast<std::ptrdiff_t>(dqt)}, JERR_NO_IMAGE, "SOI and JFIF");
}

TEST(JpegErrors, CorruptHeadersGiveTheirOwnNumbers) {
    const auto f = SmallJpeg();
    const std::size_t sof = MarkerAt(f, 0xC0), dqt = MarkerAt(f, 0xDB), dht = MarkerAt(f, 0xC4),
                      sos = MarkerAt(f, 0xDA);
    // SOF: FF C0, length, precision (+4), height (+5), width (+7), count (+9), then per
    // component id, sampling, table (+10, +11, +12 for the first).
    struct Case {
        const char* what;
        std::vector<std::pair<std::size_t, std::uint8_t>> edits;
        int code;
    };
    const Case cases[] = {
        {"zero width", {{sof + 7, 0}, {sof + 8, 0}}, JERR_EMPTY_IMAGE},
        {"zero height", {{sof + 5, 0}, {sof + 6, 0}}, JERR_EMPTY_IMAGE},
        {"12-bit precision", {{sof + 4, 12}}, JERR_BAD_PRECISION},
        {"lossless frame", {{sof + 1, 0xC3}}, JERR_SOF_UNSUPPORTED},
        {"table index 5", {{dqt + 4, 5}}, JERR_DQT_INDEX},
        {"Huffman counts over 256", {{dht + 5, 0xFF}}, JERR_BAD_HUFF_TABLE},
        {"scan names no component", {{sos + 5, 9}}, JERR_BAD_COMPONENT_ID},
        // Found only when decoding starts, after the picture's memory is taken.
        {"undefined quantisation table", {{sof + 12, 3}}, JERR_NO_QUANT_TABLE},
    };
    for (const Case& c : cases) {
        auto bad = f;
        for (const auto& [offset, value] : c.edits) {
            ASSERT_LT(offset, bad.size());
            bad[offset] = value;
        }
        ExpectJpegError(bad, c.code, c.what);
    }
}

TEST(JpegErrors, TruncatedScanShowsWhatArrived) {
    // libjpeg's readers end a short file with an EOI marker and a warning, and warnings are
    // not shown: the picture keeps its size and the missing part is grey.
    const auto f = SmallJpeg(64, 64);
    const std::size_t sos = MarkerAt(f, 0xDA);
    const std::vector<std::uint8_t> cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(sos + 40));
    TMemoryStream s(cut);
    const Dib dib = DecodeJpeg(s);
    EXPECT_EQ(dib.Width, 64);
    EXPECT_EQ(dib.Height, 64);
    const std::uint8_t* last = dib.Row(63);
    EXPECT_NEAR(last[0], 128, 2);
    EXPECT_NEAR(last[1], 128, 2);
    EXPECT_NEAR(last[2], 128, 2);
    EXPECT_EQ(DecodeJpeg(cut.data(), cut.size()).Bits, dib.Bits);
}

TEST(JpegErrors, PicturesTooBigForA32BitProcessAreRefusedBeforeAllocating) {
    auto f = SmallJpeg();
    const std::size_t sof = MarkerAt(f, 0xC0);
    // 65500 x 65500: a 12 GB Dib.
    f[sof + 5] = 0xFF;
    f[sof + 6] = 0xDC;
    f[sof + 7] = 0xFF;
    f[sof + 8] = 0xDC;
    TMemoryStream s(f);
    EXPECT_THROW(DecodeJpeg(s), EOutOfMemory);
    EXPECT_THROW(DecodeJpeg(f.data(), f.size()), EOutOfMemory);

    // The limit is on the Dib's bytes: 48 x 40 at 24 bits is 144 * 40 = 5760.
    const auto ok = SmallJpeg();
    EXPECT_NO_THROW(DecodeJpeg(ok.data(), ok.size(), 5760));
    try {
        DecodeJpeg(ok.data(), ok.size(), 5759);
        ADD_FAILURE() << "no exception";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message, texts::OutOfMemory);
    }
}

namespace {
// Delivers the first `limit` bytes, then fails with the stream's own error.
class BrokenStream : public TStream {
public:
    BrokenStream(std::vector<std::uint8_t> data, std::size_t limit) : data_(std::move(data)), limit_(limit) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        if (pos_ >= limit_) throw EReadError(texts::ReadError);
        const std::size_t n = std::min({count, limit_ - pos_, data_.size() - pos_});
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        if (origin == TSeekOrigin::soCurrent) pos_ = static_cast<std::size_t>(static_cast<std::int64_t>(pos_) + offset);
        else if (origin == TSeekOrigin::soBeginning) pos_ = static_cast<std::size_t>(offset);
        else pos_ = data_.size();
        return static_cast<std::int64_t>(pos_);
    }

private:
    std::vector<std::uint8_t> data_;
    std::size_t limit_;
    std::size_t pos_ = 0;
};
}  // namespace

TEST(JpegErrors, AFailingStreamSurfacesAsTheStreamsOwnError) {
    const auto f = SmallJpeg(400, 300);
    ASSERT_GT(f.size(), 3 * 16 * 1024u);  // several buffer fills
    // At the start, inside the header, and deep inside the scan.
    for (std::size_t limit : {std::size_t{0}, std::size_t{100}, f.size() / 2, f.size() - 1}) {
        BrokenStream s(f, limit);
        try {
            DecodeJpeg(s);
            ADD_FAILURE() << "no exception at " << limit;
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message, texts::ReadError);
        }
    }
}

TEST(JpegErrors, EveryDamagedByteEitherDecodesOrRaisesAJpegError) {
    // Each byte of a small file in turn set to a few values that matter to the parser.
    const auto f = SmallJpeg(24, 16);
    int errors = 0, decoded = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        for (std::uint8_t v : {std::uint8_t{0x00}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(f[i] ^ 0x55)}) {
            auto bad = f;
            bad[i] = v;
            try {
                const Dib dib = DecodeJpeg(bad.data(), bad.size(), 64u << 20);
                ASSERT_EQ(dib.BitCount, 24);
                ASSERT_EQ(dib.Bits.size(), dib.Stride() * static_cast<std::uint64_t>(dib.Height));
                ++decoded;
            } catch (const EJpegError&) {
                ++errors;
            } catch (const EOutOfMemory&) {
                ++errors;
            }
        }
    }
    // Both outcomes occur; anything else (another exception, a crash) fails the test.
    EXPECT_GT(errors, 0);
    EXPECT_GT(decoded, 0);
}
