#include "settings/Settings.h"
#include "framework/win/IniFile.h"

namespace kaptor {

std::string ProgramDir;

std::string SettingsPath() { return ProgramDir + SettingsFileName; }

void LoadSettings() {
    TIniFile ini(SettingsPath());
    LoadSettings(ini, Settings);
}

void SaveSettings() {
    TIniFile ini(SettingsPath());
    SaveSettings(ini, Settings);
}

}  // namespace kaptor
