#include "SysUtils.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kaptor {

EOutOfMemory::EOutOfMemory() : Exception(texts::OutOfMemory) {}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    }
    va_end(args);
    return out;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string IntToHex(std::uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, static_cast<unsigned>(value));
    return buf;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;

    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        if (hex) {
            const int d = HexDigit(text[i]);
            if (d < 0) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(d);
            if (value > 0xFFFFFFFFull) return std::nullopt;
        } else {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (value > 0x80000000ull) return std::nullopt;
        }
    }
    if (hex) {
        // Hexadecimal covers the full 32 bits: $FFFFFFFF is -1.
        auto bits = static_cast<std::uint32_t>(value);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    if (negative) return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
    if (value > 0x7FFFFFFFull) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw EConvertError(Format(texts::InvalidInteger, std::string(text).c_str()));
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) {
    return TryStrToInt(text).value_or(def);
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (IsSjisLeadByte(c) && i + 1 < out.size()) {
            ++i;  // the trail byte may look like an ASCII letter
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (IsSjisLeadByte(c) && i + 1 < out.size()) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool SameText(std::string_view a, std::string_view b) { return UpperCase(a) == UpperCase(b); }

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return std::string(text.substr(b, e - b));
}

namespace {

// Index one past the last byte of `path` that is one of `delims`, honouring double-byte
// characters; 0 when there is none.
std::size_t AfterLastDelimiter(std::string_view path, std::string_view delims) {
    std::size_t after = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (IsSjisLeadByte(c) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (delims.find(static_cast<char>(c)) != std::string_view::npos) after = i + 1;
    }
    return after;
}

}  // namespace

std::string ExtractFilePath(std::string_view path) {
    return std::string(path.substr(0, AfterLastDelimiter(path, "\\/:")));
}

std::string ExtractFileName(std::string_view path) {
    return std::string(path.substr(AfterLastDelimiter(path, "\\/:")));
}

std::string ExtractFileExt(std::string_view path) {
    const std::size_t after = AfterLastDelimiter(path, "\\/:.");
    if (after == 0 || path[after - 1] != '.') return {};
    return std::string(path.substr(after - 1));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    const std::size_t after = AfterLastDelimiter(path, "\\/:.");
    std::string_view stem = path;
    if (after != 0 && path[after - 1] == '.') stem = path.substr(0, after - 1);
    return std::string(stem) + std::string(ext);
}

std::string_view SjisTruncate(std::string_view text, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = IsSjisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + len > maxBytes) break;
        i += len;
    }
    return text.substr(0, std::min(i, text.size()));
}

}  // namespace kaptor
