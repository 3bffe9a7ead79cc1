#include "gif/ByteArrays.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace kaptor {

EIndexOutOfBounds::EIndexOutOfBounds() : Exception("Dynamic array index out of bounds") {}

ENotEnoughMemory::ENotEnoughMemory(std::uint64_t requested)
    : Exception("error in TBigByteArray.create: Not enough contiguous memory available\r\n requested memory block: " +
                std::to_string(requested) + " bytes") {}

void CheckBlockSize(std::uint64_t bytes) {
    if (bytes > MaxBlockSize) throw ENotEnoughMemory(bytes);
}

TBigByteArray::TBigByteArray(std::uint64_t count, std::uint64_t spare) {
    CheckBlockSize(count);
    if (count + spare == 0) return;
    // calloc: large blocks come zeroed from the system without a pass over them.
    data_ = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(count + spare), 1));
    if (!data_) throw ENotEnoughMemory(count);
    count_ = static_cast<std::int32_t>(count);
}

TBigByteArray::~TBigByteArray() { std::free(data_); }

TBigByteArray::TBigByteArray(TBigByteArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)) {}

TBigByteArray& TBigByteArray::operator=(TBigByteArray&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        count_ = std::exchange(other.count_, 0);
    }
    return *this;
}

void TBigByteArray::Put(std::int64_t i, std::uint8_t value) {
    if (i < 1 || i > count_) throw EIndexOutOfBounds();
    data_[i - 1] = value;
}

std::uint8_t TBigByteArray::Get(std::int64_t i) const {
    if (i < 1 || i > count_) throw EIndexOutOfBounds();
    return data_[i - 1];
}

namespace {

std::uint64_t MatrixBytes(std::int32_t columns, std::int32_t rows) {
    if (columns < 0 || rows < 0) throw EIndexOutOfBounds();
    return static_cast<std::uint64_t>(columns) * static_cast<std::uint64_t>(rows);
}

}  // namespace

TByteArray2D::TByteArray2D(std::int32_t columns, std::int32_t rows, std::uint64_t spare)
    : columns_(columns), rows_(rows), bytes_(MatrixBytes(columns, rows), spare) {}

TByteArray2D::~TByteArray2D() {
    columns_ = 0;
    rows_ = 0;
}

std::uint8_t* TByteArray2D::RowData(std::int32_t y) {
    if (y < 0 || y >= rows_) throw EIndexOutOfBounds();
    return bytes_.Data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_);
}

const std::uint8_t* TByteArray2D::RowData(std::int32_t y) const {
    if (y < 0 || y >= rows_) throw EIndexOutOfBounds();
    return bytes_.Data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_);
}

TBigByteArray TByteArray2D::GetRow(std::int32_t r) const {
    const std::uint8_t* src = RowData(r - 1);
    TBigByteArray row(static_cast<std::uint64_t>(columns_));
    if (columns_ > 0) std::memcpy(row.Data(), src, static_cast<std::size_t>(columns_));
    return row;
}

void TByteArray2D::SetRow(std::int32_t r, const TBigByteArray& a) {
    std::uint8_t* dst = RowData(r - 1);
    if (a.Count() != columns_) throw Exception("Row doesn't have equal number of elements as Matrix row");
    if (columns_ > 0) std::memcpy(dst, a.Data(), static_cast<std::size_t>(columns_));
}

}  // namespace kaptor
