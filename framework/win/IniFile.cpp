#include "framework/win/IniFile.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace kaptor {

const TProfileSection& TIniFile::Section(const std::string& name) {
    auto it = sections_.find(name);
    if (it != sections_.end()) return it->second;
    // The call says the buffer was too small by returning its size less two.
    std::vector<char> buffer(4096);
    for (;;) {
        const DWORD n = GetPrivateProfileSectionA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                  FileName.c_str());
        if (n + 2 < buffer.size() || buffer.size() >= (1u << 24)) {
            buffer.resize(std::min<std::size_t>(n, buffer.size() - 2));
            buffer.insert(buffer.end(), 2, '\0');  // the block's end, also when cut short
            break;
        }
        buffer.assign(buffer.size() * 4, '\0');
    }
    return sections_.emplace(name, TProfileSection(buffer.data())).first->second;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) {
    const auto first = key.find_first_not_of(" \t");
    if (first == std::string::npos || key[first] != ';') return Section(section).Value(key, def);
    char buffer[1024];
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer, sizeof buffer,
                                             FileName.c_str());
    return std::string(buffer, n);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    sections_.erase(section);
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), FileName.c_str()))
        ThrowWriteError();
}

}  // namespace kaptor
