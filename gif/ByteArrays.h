// Heap byte blocks for decoded pictures: a one-dimensional array counted from 1 and the
// row-by-row matrix of colour indexes a GIF image decodes into. Every size is computed in
// 64 bits and refused before allocation when a 32-bit process could not hold it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/base/SysUtils.h"

namespace kaptor {

class EIndexOutOfBounds : public Exception {
public:
    EIndexOutOfBounds();
};

// Carries the size that was asked for, in full even when it does not fit 32 bits.
class ENotEnoughMemory : public Exception {
public:
    explicit ENotEnoughMemory(std::uint64_t requested);
};

// A 32-bit Windows process has 2 GB of address space for everything, so no single block can
// be larger than this; anything bigger is refused without asking the heap. The fuzzer builds
// with a lower cap to stay within its memory limit.
#ifndef KAPTOR_MAX_BLOCK_SIZE
#define KAPTOR_MAX_BLOCK_SIZE 0x7FFFFFFF
#endif
inline constexpr std::uint64_t MaxBlockSize = KAPTOR_MAX_BLOCK_SIZE;

// ENotEnoughMemory when bytes exceeds MaxBlockSize.
void CheckBlockSize(std::uint64_t bytes);

// Count bytes on the heap, zero-filled. Move-only: the block has one owner. spare bytes more
// are allocated behind them, outside the array, for writers that store in wide pieces; only
// count is checked against the size limit and named when the allocation fails.
class TBigByteArray {
public:
    explicit TBigByteArray(std::uint64_t count, std::uint64_t spare = 0);
    ~TBigByteArray();
    TBigByteArray(TBigByteArray&& other) noexcept;
    TBigByteArray& operator=(TBigByteArray&& other) noexcept;
    TBigByteArray(const TBigByteArray&) = delete;
    TBigByteArray& operator=(const TBigByteArray&) = delete;

    std::int32_t Count() const { return count_; }
    // Byte i counted from 1; EIndexOutOfBounds outside 1 .. Count.
    void Put(std::int64_t i, std::uint8_t value);
    std::uint8_t Get(std::int64_t i) const;
    std::uint8_t* Data() { return data_; }
    const std::uint8_t* Data() const { return data_; }

private:
    std::uint8_t* data_ = nullptr;
    std::int32_t count_ = 0;
};

// Columns x Rows bytes stored row after row, top row first. Cleared when made, so rows that
// a decoder never reaches hold index 0. spare: room behind the last row (see TBigByteArray).
class TByteArray2D {
public:
    TByteArray2D(std::int32_t columns, std::int32_t rows, std::uint64_t spare = 0);
    ~TByteArray2D();
    TByteArray2D(const TByteArray2D&) = delete;
    TByteArray2D& operator=(const TByteArray2D&) = delete;

    std::int32_t Columns() const { return columns_; }
    std::int32_t Rows() const { return rows_; }
    // Row r counted from 1. GetRow returns a copy; SetRow needs exactly Columns bytes.
    TBigByteArray GetRow(std::int32_t r) const;
    void SetRow(std::int32_t r, const TBigByteArray& a);
    // Row y counted from 0, for code that moves whole rows; EIndexOutOfBounds outside.
    std::uint8_t* RowData(std::int32_t y);
    const std::uint8_t* RowData(std::int32_t y) const;
    std::uint8_t* Data() { return bytes_.Data(); }
    const std::uint8_t* Data() const { return bytes_.Data(); }

private:
    std::int32_t columns_ = 0;
    std::int32_t rows_ = 0;
    TBigByteArray bytes_;
};

}  // namespace kaptor
