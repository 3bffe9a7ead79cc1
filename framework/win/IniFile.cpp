#include "framework/win/IniFile.h"

#include <windows.h>

namespace kaptor {

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) {
    char buffer[1024];
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer, sizeof buffer,
                                             FileName.c_str());
    return std::string(buffer, n);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), FileName.c_str()))
        ThrowWriteError();
}

}  // namespace kaptor
