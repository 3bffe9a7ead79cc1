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

void SaveMarkupSettings() {
    TIniFile ini(SettingsPath());
    ini.WriteInteger(SettingsSection, "Markup Tool", Settings.MarkupTool);
    ini.WriteInteger(SettingsSection, "Markup Colour", Settings.MarkupColour);
    ini.WriteInteger(SettingsSection, "Markup Width", Settings.MarkupWidth);
}

}  // namespace kaptor
