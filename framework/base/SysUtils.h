// Portable runtime helpers: the exception hierarchy, text formatting and the integer
// conversions the whole program shares. No Windows headers here, so everything can be
// tested natively.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace kaptor {

// Every failure in the program is an Exception carrying the text the user is shown.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

// The framework's families of failures; each carries its own fixed text where one exists.
class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
    using Exception::Exception;
};
class EListError : public Exception {
public:
    using Exception::Exception;
};
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

// The framework's message texts, in one place so tests and callers share them.
namespace texts {
inline constexpr const char* OutOfMemory = "メモリが不足しています";
inline constexpr const char* InvalidInteger = "'%s' は整数ではありません";
inline constexpr const char* ListIndexError = "リストのインデックスが範囲を超えています (%d)";
inline constexpr const char* FOpenError = "ﾌｧｲﾙ %s は開けません";
inline constexpr const char* FCreateError = "ﾌｧｲﾙ %s を作成できません";
inline constexpr const char* ReadError = "ストリームの読み込みエラー";
inline constexpr const char* WriteError = "ストリームの書き込みエラー";
inline constexpr const char* InvalidBitmap = "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です";
inline constexpr const char* AssignError = "%s を %s に代入することはできません";
inline constexpr const char* UnknownExtension = "拡張子 .%s の画像形式は処理できません";
inline constexpr const char* OutOfRange = "%d から %d の間の値でなければなりません";
inline constexpr const char* CannotWrite = "%s に書き込めません";
}  // namespace texts

// printf-style formatting into a std::string; the program's texts use %s and %d only, but
// any printf conversion works.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string IntToStr(std::int64_t value);
std::string IntToHex(std::uint32_t value, int digits);

// Integer parsing as the settings file and the dialogs read numbers: optional blanks, an
// optional sign, then decimal digits, or "$" / "0x" followed by hexadecimal digits. Hex
// values take all 32 bits (so "$FFFFFFFF" is -1); decimal values must fit a signed 32-bit
// integer.
std::optional<std::int32_t> TryStrToInt(std::string_view text);
std::int32_t StrToInt(std::string_view text);  // EConvertError "'%s' は整数ではありません"
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);

// ASCII-only case mapping: Shift-JIS lead and trail bytes are left untouched.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
std::string Trim(std::string_view text);

// Path helpers over Windows paths ("\" or "/" separators, "C:" drives). Shift-JIS aware:
// a trail byte of 0x5C inside a double-byte character is not a separator.
std::string ExtractFilePath(std::string_view path);  // up to and including the last separator
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);  // with the dot, "" when there is none
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// Shift-JIS (code page 932) lead-byte test, used wherever text is cut or scanned by bytes.
constexpr bool IsSjisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
// The longest prefix of text of at most maxBytes bytes that does not split a double-byte
// character.
std::string_view SjisTruncate(std::string_view text, std::size_t maxBytes);

}  // namespace kaptor
