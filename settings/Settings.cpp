#include "settings/Settings.h"


namespace kaptor {

TSettings Settings;

namespace {

// One row per key: its name in the file, the field it fills and the value a missing or bad
// entry gives. Rows are in write order ("RunCapture" before "HideForm"): files written by
// earlier runs keep this order, so it stays. Reading follows the same rows; reads do not
// depend on their order.
struct TSettingKey {
    constexpr TSettingKey(const char* name, std::int32_t TSettings::*number, std::int32_t def)
        : Name(name), Number(number), Default(def) {}
    constexpr TSettingKey(const char* name, bool TSettings::*flag, bool def) : Name(name), Flag(flag), Default(def) {}
    constexpr TSettingKey(const char* name, std::string TSettings::*text, const char* def)
        : Name(name), Text(text), DefaultText(def) {}
    const char* Name;
    std::int32_t TSettings::*Number = nullptr;  // the field: a number, a flag or a text
    bool TSettings::*Flag = nullptr;
    std::string TSettings::*Text = nullptr;
    std::int32_t Default = 0;
    const char* DefaultText = "";
};

const TSettingKey SettingKeys[] = {
    {"Wait", &TSettings::Wait, 1},
    {"RunCapture", &TSettings::RunCapture, false},
    {"HideForm", &TSettings::HideForm, true},
    {"ShowBar", &TSettings::ShowBar, true},
    {"ShowStsBar", &TSettings::ShowStsBar, true},
    {"Start TrayIcon", &TSettings::StartTrayIcon, false},
    {"End TrayIcon", &TSettings::EndTrayIcon, false},
    {"Capture Client", &TSettings::CaptureClient, false},
    {"Show After Capturing", &TSettings::ShowAfterCapturing, false},
    {"Capture Control", &TSettings::CaptureControl, false},
    {"Show Cursor", &TSettings::ShowCursor, true},
    {"Hot Keys", &TSettings::HotKeys, false},
    {"Show Countdown", &TSettings::ShowCountdown, false},
    {"Copy After Capture", &TSettings::CopyAfterCapture, false},
    {"Save After Capture", &TSettings::SaveAfterCapture, false},
    {"Save Folder", &TSettings::SaveFolder, ""},
    {"Save Name", &TSettings::SaveName, DefaultSaveName},
    {"Monitor Under Pointer", &TSettings::MonitorUnderPointer, false},
    {"Markup Tool", &TSettings::MarkupTool, 1},
    {"Markup Colour", &TSettings::MarkupColour, 0x0000FF},
    {"Markup Width", &TSettings::MarkupWidth, 3},
};

}  // namespace

void LoadSettings(TCustomIniFile& ini, TSettings& into) {
    for (const TSettingKey& key : SettingKeys)
        if (key.Text)
            into.*key.Text = ini.ReadString(SettingsSection, key.Name, key.DefaultText);
        else if (key.Flag)
            into.*key.Flag = ini.ReadBool(SettingsSection, key.Name, key.Default != 0);
        else
            into.*key.Number = ini.ReadInteger(SettingsSection, key.Name, key.Default);
}

void SaveSettings(TCustomIniFile& ini, const TSettings& from) {
    for (const TSettingKey& key : SettingKeys)
        if (key.Text)
            ini.WriteString(SettingsSection, key.Name, from.*key.Text);
        else if (key.Flag)
            ini.WriteBool(SettingsSection, key.Name, from.*key.Flag);
        else
            ini.WriteInteger(SettingsSection, key.Name, from.*key.Number);
}

}  // namespace kaptor
