// Portable containers and streams: TList, TStrings/TStringList, TStream and its memory and
// file kinds. Index and I/O failures raise the framework's exceptions with their texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SysUtils.h"

namespace kaptor {

[[noreturn]] void ThrowListIndexError(std::ptrdiff_t index);

// A checked list: every index is validated and a bad one raises EListError.
template <class T>
class TList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    int Add(T item) {
        items_.push_back(std::move(item));
        return Count() - 1;
    }
    void Insert(int index, T item) {
        if (index < 0 || index > Count()) ThrowListIndexError(index);
        items_.insert(items_.begin() + index, std::move(item));
    }
    void Delete(int index) {
        Check(index);
        items_.erase(items_.begin() + index);
    }
    int IndexOf(const T& item) const {
        for (int i = 0; i < Count(); ++i)
            if (items_[static_cast<std::size_t>(i)] == item) return i;
        return -1;
    }
    int Remove(const T& item) {
        const int i = IndexOf(item);
        if (i >= 0) Delete(i);
        return i;
    }
    void Clear() { items_.clear(); }
    const T& operator[](int index) const {
        Check(index);
        return items_[static_cast<std::size_t>(index)];
    }
    T& operator[](int index) {
        Check(index);
        return items_[static_cast<std::size_t>(index)];
    }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    void Check(int index) const {
        if (index < 0 || index >= Count()) ThrowListIndexError(index);
    }
    std::vector<T> items_;
};

// A list of strings with an optional tag per line (the framework's Objects), compared
// without regard to ASCII case.
class TStrings {
public:
    virtual ~TStrings() = default;
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const;
    void Put(int index, std::string text);
    std::intptr_t Objects(int index) const;
    int Add(std::string text, std::intptr_t object = 0);
    void Insert(int index, std::string text, std::intptr_t object = 0);
    void Delete(int index);
    void Clear();
    int IndexOf(std::string_view text) const;
    // The lines joined by CR LF, each line ended by one; assigning splits on CR, LF or CR LF.
    std::string Text() const;
    void SetText(std::string_view text);
    void Assign(const TStrings& other) { lines_ = other.lines_; }

protected:
    // Notified after every change, so a control can mirror the list.
    virtual void Changed() {}

private:
    void Check(int index) const;
    std::vector<std::pair<std::string, std::intptr_t>> lines_;
};

class TStringList : public TStrings {};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes; returns how many were read (short only at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    std::int64_t Size();
    // Exactly count bytes or EReadError / EWriteError.
    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
    // Copies count bytes from source (all of it from its start when count is 0).
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    const std::vector<std::uint8_t>& Memory() const { return data_; }
    std::vector<std::uint8_t>& Memory() { return data_; }
    void Clear() {
        data_.clear();
        pos_ = 0;
    }
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

private:
    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
};

enum class TFileMode { fmOpenRead, fmOpenReadWrite, fmCreate };

// A file on disk; the name is in the program's ANSI code page.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    // Flushes and closes now, raising EWriteError when data could not be written; the
    // destructor closes quietly.
    void Close();

private:
    std::FILE* file_ = nullptr;
    std::string name_;
};

}  // namespace kaptor
