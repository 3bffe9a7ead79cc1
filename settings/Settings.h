// The user options (the eleven of old and the later ones after them): one program-wide record, filled once at start-up from
// "Kaptor.INI" beside the executable and written back only by the options dialog's OK.
#pragma once

#include <cstdint>
#include <string>

#include "framework/base/IniFiles.h"

namespace kaptor {

// The after-capture save's name pattern until the user sets one (its parts: see
// exchange/FileNamePattern.h).
inline constexpr const char* DefaultSaveName = "Kaptor%Y%m%d-%H%M%S-%n.png";

struct TSettings {
    std::int32_t Wait = 0;
    bool HideForm = false;
    bool RunCapture = false;
    bool ShowBar = false;
    bool ShowStsBar = false;
    bool StartTrayIcon = false;
    bool EndTrayIcon = false;
    bool CaptureClient = false;
    bool ShowAfterCapturing = false;
    bool CaptureControl = false;
    bool ShowCursor = false;
    // Kept after the eleven, which stay as they are; both off unless the user turns them on.
    bool HotKeys = false;        // "Hot Keys": Print Screen captures from anywhere
    bool ShowCountdown = false;  // "Show Countdown": the seconds left of a capture's delay
    // After every capture: the picture copied to the clipboard, saved into SaveFolder under a
    // name from the SaveName pattern (exchange/FileNamePattern.h; its extension gives the type).
    bool CopyAfterCapture = false;  // "Copy After Capture"
    bool SaveAfterCapture = false;  // "Save After Capture"
    std::string SaveFolder;         // "Save Folder": empty is the program's folder
    std::string SaveName = DefaultSaveName;  // "Save Name"
    // The whole-screen capture takes only the monitor under the pointer, not every monitor.
    bool MonitorUnderPointer = false;  // "Monitor Under Pointer"
    // The markup band as last left: "Markup Tool" (rectangle), "Markup Colour" (a COLORREF,
    // red) and "Markup Width" (pixels). Written also when markup mode is left.
    std::int32_t MarkupTool = 1;
    std::int32_t MarkupColour = 0x0000FF;
    std::int32_t MarkupWidth = 3;
    // Not kept in the file: the range frame's colour (a COLORREF) for this run, red until the
    // user picks another.
    std::uint32_t FrameColour = 0x0000FF;
    friend bool operator==(const TSettings&, const TSettings&) = default;
};

extern TSettings Settings;

// The executable's folder with its trailing backslash; the main window's FormCreate sets it
// first thing, before anything reads the settings or help files.
extern std::string ProgramDir;

inline constexpr const char* SettingsSection = "Kaptor32";
inline constexpr const char* SettingsFileName = "Kaptor.INI";

// The settings file: ProgramDir + "Kaptor.INI".
std::string SettingsPath();

// Read every key; missing or bad values give the key's default.
void LoadSettings(TCustomIniFile& ini, TSettings& into);
// Write every field in write order; a failed write stops there with "%s に書き込めません",
// keys already written stay written.
void SaveSettings(TCustomIniFile& ini, const TSettings& from);

// The program's calls: the real settings file and the program-wide record.
void LoadSettings();
void SaveSettings();
// Only the markup band's three keys.
void SaveMarkupSettings();

}  // namespace kaptor
