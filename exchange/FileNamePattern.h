// The file names the after-capture save gives: a pattern of the user's with parts filled in
// from the capture. Portable: the folder is asked through `exists`, never read here.
#pragma once

#include <functional>
#include <string>

namespace kaptor {

// What a pattern's parts are filled from.
struct TCaptureNameParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::string kind;   // the capture command: Screen, Window, Region
    std::string title;  // the captured window's title; empty for the screen and a region
};

// The pattern's parts: %Y year, %m month, %d day, %H hour, %M minute, %S second (two digits,
// the year four), %k the kind, %t the title, %n the counter (three digits at least), %% a
// percent sign. Anything else stays as written.

// The name made safe for a file name: characters Windows refuses (\ / : * ? " < > | and
// control characters) become '_', trailing dots and spaces go. Shift-JIS pairs stay whole,
// so a second byte that happens to be '\' or '|' is kept. A device's name (CON, NUL, COM1, ...)
// gets a '_' before it.
std::string SafeFileName(const std::string& name);

// The pattern expanded with counter n, made safe; a pattern without %n gets "-n" before its
// extension from the second try on.
std::string ExpandCaptureName(const std::string& pattern, const TCaptureNameParts& parts, int n);

// The save type the name's extension says (.bmp, .jpg/.jpeg, .png, any case), or 0.
int SaveTypeOfName(const std::string& name);

// The folder the after-capture save writes into, with its trailing separator: the program's
// own folder when none is set. A relative folder lies beside the program too, as the settings
// file does: the current folder depends on how the program was started (a shortcut, the
// tray, a script).
std::string CaptureFolder(const std::string& setting, const std::string& programDir);

// The first name from the pattern in folder (with its trailing separator) for which exists
// says no, counting n from 1; a name with no known extension gets ".png". Throws when every
// counter up to a limit is taken.
std::string FreeCaptureName(const std::string& folder, const std::string& pattern, const TCaptureNameParts& parts,
                            const std::function<bool(const std::string&)>& exists);

}  // namespace kaptor
