#include "IniFiles.h"

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

void TCustomIniFile::ThrowWriteError() const { throw Exception(Format(texts::CannotWrite, FileName.c_str())); }

}  // namespace kaptor
