// TIniFile: a settings file read and written through the Windows profile API. A section is
// read whole at its first key and kept while the object lives: each profile call opens and
// reads the file again (about 0.2 ms under Wine), and the settings are read key by key.
#pragma once

#include <map>

#include "framework/base/IniFiles.h"

namespace kaptor {

class TIniFile : public TCustomIniFile {
public:
    using TCustomIniFile::TCustomIniFile;
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) override;
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;

private:
    const TProfileSection& Section(const std::string& name);
    std::map<std::string, TProfileSection> sections_;  // by name as asked; written ones are read again
};

}  // namespace kaptor
