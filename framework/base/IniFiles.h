// Reading and writing keys of a profile (INI) file. TCustomIniFile holds the number and
// Boolean rules; the Windows profile API behind TIniFile (framework/win) supplies the text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kaptor {

class TCustomIniFile {
public:
    explicit TCustomIniFile(std::string fileName) : FileName(std::move(fileName)) {}
    virtual ~TCustomIniFile() = default;

    // The value text, or def when the file, section or key is missing.
    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& def) = 0;
    // Raises Exception "%s に書き込めません" with FileName when the write fails.
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;

    // "0x"/"0X" followed by at least one character is hexadecimal; otherwise a signed decimal
    // integer, or "$" and hexadecimal. Anything else gives def.
    std::int32_t ReadInteger(const std::string& section, const std::string& key, std::int32_t def);
    // An integer, any non-zero value true; def decides the default integer (1 or 0).
    bool ReadBool(const std::string& section, const std::string& key, bool def);
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    const std::string FileName;

protected:
    [[noreturn]] void ThrowWriteError() const;
};

// The integer rule on its own, for callers that already hold the text.
std::int32_t IniTextToInt(const std::string& text, std::int32_t def);

// The keys of one section as the profile API gives them all at once ("key=value" strings,
// each ended by a zero, a second zero after the last), answered key by key by the rules of
// reading a single key: the first key of that name in any letter case, blanks around the key
// and the value dropped, one pair of matching quotes around the value dropped, at most 1023
// characters, and the default without its trailing blanks when the key is missing. A key that
// starts with ";" cannot be answered from it: the block leaves comment lines out.
class TProfileSection {
public:
    explicit TProfileSection(const char* block);
    std::string Value(const std::string& key, const std::string& def) const;

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace kaptor
