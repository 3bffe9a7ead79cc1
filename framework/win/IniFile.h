// TIniFile: a settings file read and written key by key through the Windows profile API.
#pragma once

#include "framework/base/IniFiles.h"

namespace kaptor {

class TIniFile : public TCustomIniFile {
public:
    using TCustomIniFile::TCustomIniFile;
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) override;
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
};

}  // namespace kaptor
