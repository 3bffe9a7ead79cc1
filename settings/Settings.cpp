#include "settings/Settings.h"

namespace kaptor {

TSettings Settings;

void LoadSettings(TCustomIniFile& ini, TSettings& into) {
    const char* s = SettingsSection;
    into.Wait = ini.ReadInteger(s, "Wait", 1);
    into.HideForm = ini.ReadBool(s, "HideForm", true);
    into.RunCapture = ini.ReadBool(s, "RunCapture", false);
    into.ShowBar = ini.ReadBool(s, "ShowBar", true);
    into.ShowStsBar = ini.ReadBool(s, "ShowStsBar", true);
    into.StartTrayIcon = ini.ReadBool(s, "Start TrayIcon", false);
    into.EndTrayIcon = ini.ReadBool(s, "End TrayIcon", false);
    into.CaptureClient = ini.ReadBool(s, "Capture Client", false);
    into.ShowAfterCapturing = ini.ReadBool(s, "Show After Capturing", false);
    into.CaptureControl = ini.ReadBool(s, "Capture Control", false);
    into.ShowCursor = ini.ReadBool(s, "Show Cursor", true);
    into.HotKeys = ini.ReadBool(s, "Hot Keys", false);
    into.ShowCountdown = ini.ReadBool(s, "Show Countdown", false);
}

// The write order differs from the read order ("RunCapture" before "HideForm"); files
// written by earlier runs keep this order, so it stays.
void SaveSettings(TCustomIniFile& ini, const TSettings& from) {
    const char* s = SettingsSection;
    ini.WriteInteger(s, "Wait", from.Wait);
    ini.WriteBool(s, "RunCapture", from.RunCapture);
    ini.WriteBool(s, "HideForm", from.HideForm);
    ini.WriteBool(s, "ShowBar", from.ShowBar);
    ini.WriteBool(s, "ShowStsBar", from.ShowStsBar);
    ini.WriteBool(s, "Start TrayIcon", from.StartTrayIcon);
    ini.WriteBool(s, "End TrayIcon", from.EndTrayIcon);
    ini.WriteBool(s, "Capture Client", from.CaptureClient);
    ini.WriteBool(s, "Show After Capturing", from.ShowAfterCapturing);
    ini.WriteBool(s, "Capture Control", from.CaptureControl);
    ini.WriteBool(s, "Show Cursor", from.ShowCursor);
    ini.WriteBool(s, "Hot Keys", from.HotKeys);
    ini.WriteBool(s, "Show Countdown", from.ShowCountdown);
}

}  // namespace kaptor
