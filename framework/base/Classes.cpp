#include "Classes.h"

#include <algorithm>
#include <cstring>

namespace kaptor {

void ThrowListIndexError(std::ptrdiff_t index) {
    throw EListError(Format(texts::ListIndexError, static_cast<int>(index)));
}

void TStrings::Check(int index) const {
    if (index < 0 || index >= Count()) ThrowListIndexError(index);
}

const std::string& TStrings::operator[](int index) const {
    Check(index);
    return lines_[static_cast<std::size_t>(index)].first;
}

void TStrings::Put(int index, std::string text) {
    Check(index);
    lines_[static_cast<std::size_t>(index)].first = std::move(text);
    Changed();
}

std::intptr_t TStrings::Objects(int index) const {
    Check(index);
    return lines_[static_cast<std::size_t>(index)].second;
}

int TStrings::Add(std::string text, std::intptr_t object) {
    lines_.emplace_back(std::move(text), object);
    Changed();
    return Count() - 1;
}

void TStrings::Insert(int index, std::string text, std::intptr_t object) {
    if (index < 0 || index > Count()) ThrowListIndexError(index);
    lines_.insert(lines_.begin() + index, {std::move(text), object});
    Changed();
}

void TStrings::Delete(int index) {
    Check(index);
    lines_.erase(lines_.begin() + index);
    Changed();
}

void TStrings::Clear() {
    lines_.clear();
    Changed();
}

int TStrings::IndexOf(std::string_view text) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(lines_[static_cast<std::size_t>(i)].first, text)) return i;
    return -1;
}

std::string TStrings::Text() const {
    std::string out;
    for (const auto& line : lines_) out += line.first + "\r\n";
    return out;
}

void TStrings::SetText(std::string_view text) {
    lines_.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines_.emplace_back(std::string(text.substr(start, end - start)), 0);
        if (end < text.size() && text[end] == '\r') ++end;
        if (end < text.size() && text[end] == '\n') ++end;
        start = end;
    }
    Changed();
}

std::int64_t TStream::Size() {
    const std::int64_t pos = Position();
    const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(texts::ReadError);
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(texts::WriteError);
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<std::uint8_t> buf(64 * 1024);
    std::int64_t left = count;
    while (left > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(buf.size())));
        source.ReadBuffer(buf.data(), n);
        WriteBuffer(buf.data(), n);
        left -= static_cast<std::int64_t>(n);
    }
    return count;
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    if (pos_ >= data_.size()) return 0;
    const std::size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return 0;
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = static_cast<std::int64_t>(pos_);
    if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(data_.size());
    const std::int64_t target = base + offset;
    if (target < 0) throw EStreamError(texts::ReadError);
    pos_ = static_cast<std::size_t>(target);
    return target;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::fmOpenRead);
    const std::int64_t size = file.Size();
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    file.ReadBuffer(bytes.data(), bytes.size());
    data_ = std::move(bytes);
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, TFileMode::fmCreate);
    file.WriteBuffer(data_.data(), data_.size());
    file.Close();
}

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : name_(fileName) {
    const char* how = mode == TFileMode::fmOpenRead ? "rb" : mode == TFileMode::fmOpenReadWrite ? "r+b" : "wb";
    file_ = std::fopen(fileName.c_str(), how);
    if (!file_) {
        if (mode == TFileMode::fmCreate) throw EFCreateError(Format(texts::FCreateError, fileName.c_str()));
        throw EFOpenError(Format(texts::FOpenError, fileName.c_str()));
    }
}

TFileStream::~TFileStream() {
    if (file_) std::fclose(file_);
}

void TFileStream::Close() {
    if (!file_) return;
    const bool ok = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || !closed) throw EWriteError(texts::WriteError);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    if (!file_) return 0;
    return std::fread(buffer, 1, count, file_);
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
    if (!file_) return 0;
    return std::fwrite(buffer, 1, count, file_);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    if (!file_) throw EStreamError(texts::ReadError);
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
#ifdef _WIN32
    if (_fseeki64(file_, offset, whence) != 0) throw EStreamError(texts::ReadError);
    return _ftelli64(file_);
#else
    if (fseeko(file_, static_cast<off_t>(offset), whence) != 0) throw EStreamError(texts::ReadError);
    return static_cast<std::int64_t>(ftello(file_));
#endif
}

}  // namespace kaptor
