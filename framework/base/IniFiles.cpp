#include "IniFiles.h"

#include <algorithm>
#include <cctype>

#include "SysUtils.h"

namespace kaptor {

std::int32_t IniTextToInt(const std::string& text, std::int32_t def) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return StrToIntDef("$" + text.substr(2), def);
    return StrToIntDef(text, def);
}

std::int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& key, std::int32_t def) {
    return IniTextToInt(ReadString(section, key, ""), def);
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key, bool def) {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
    WriteString(section, key, IntToStr(value));
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

namespace {

std::string Trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool SameKey(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y && !(x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y))) return false;
    }
    return true;
}

}  // namespace

TProfileSection::TProfileSection(const char* block) {
    for (const char* p = block; p && *p; p += std::char_traits<char>::length(p) + 1) {
        const std::string line = p;
        // A line without "=" is no key to a single read: it gets the default.
        const auto eq = line.find('=');
        if (eq != std::string::npos) entries_.emplace_back(Trimmed(line.substr(0, eq)), Trimmed(line.substr(eq + 1)));
    }
}

std::string TProfileSection::Value(const std::string& key, const std::string& def) const {
    constexpr std::size_t longest = 1023;  // what a single read's buffer holds
    const std::string wanted = Trimmed(key);
    for (const auto& [name, text] : entries_) {
        if (!SameKey(name, wanted)) continue;
        std::string value = text;
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        if (value.size() > longest) value.resize(longest);
        return value;
    }
    std::size_t n = def.size();
    while (n > 1 && def[n - 1] == ' ') --n;
    return def.substr(0, std::min(n, longest));
}

void TCustomIniFile::ThrowWriteError() const { throw Exception(Format(texts::CannotWrite, FileName.c_str())); }

}  // namespace kaptor
