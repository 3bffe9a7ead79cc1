#include "exchange/FileNamePattern.h"

#include <cstdio>
#include <cstring>

#include "exchange/Save.h"
#include "framework/base/SysUtils.h"

namespace kaptor {

namespace {

// A window title can be as long as it likes; the file name takes this much of it.
constexpr std::size_t TitleBytes = 80;

std::string Number(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    return text;
}

std::string Expand(const std::string& pattern, const TCaptureNameParts& p, int n, bool& counted) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(pattern[i]);
        if (IsSjisLeadByte(c) && i + 1 < pattern.size()) {
            out.append(pattern, i++, 2);
            continue;
        }
        if (c != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        switch (pattern[++i]) {
            case 'Y': out += Number(p.year, 4); break;
            case 'm': out += Number(p.month, 2); break;
            case 'd': out += Number(p.day, 2); break;
            case 'H': out += Number(p.hour, 2); break;
            case 'M': out += Number(p.minute, 2); break;
            case 'S': out += Number(p.second, 2); break;
            case 'k': out += p.kind; break;
            case 't': out += SjisTruncate(p.title, TitleBytes); break;
            case 'n': out += Number(n, 3), counted = true; break;
            case '%': out += '%'; break;
            default: out += '%', out += pattern[i];
        }
    }
    return out;
}

// Names Windows opens as devices whatever folder and extension they have: "CON.png" would
// write the picture to nowhere and report it saved.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (SameText(stem, device)) return true;
    return stem.size() == 4 && (SameText(stem.substr(0, 3), "COM") || SameText(stem.substr(0, 3), "LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string SafeFileName(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsSjisLeadByte(c) && i + 1 < name.size()) {
            out.append(name, i++, 2);
            continue;
        }
        out += c < 0x20 || std::strchr("\\/:*?\"<>|", c) ? '_' : static_cast<char>(c);
    }
    // Windows drops trailing dots and spaces from a name: the saved file would not be the
    // one we checked for. A pair's second byte is never a dot or a space.
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    if (IsDeviceName(out)) out.insert(0, "_");
    return out;
}

std::string ExpandCaptureName(const std::string& pattern, const TCaptureNameParts& parts, int n) {
    bool counted = false;
    std::string name = SafeFileName(Expand(pattern, parts, n, counted));
    if (name.empty()) name = "_";
    if (!counted && n > 1) {
        const std::size_t dot = name.rfind('.');
        name.insert(dot == std::string::npos || dot == 0 ? name.size() : dot, "-" + std::to_string(n));
    }
    return name;
}

int SaveTypeOfName(const std::string& name) {
    const std::string ext = ExtractFileExt(name);
    if (SameText(ext, ".png")) return SaveTypePng;
    if (SameText(ext, ".bmp")) return SaveTypeBitmap;
    if (SameText(ext, ".jpg") || SameText(ext, ".jpeg")) return SaveTypeJpeg;
    return 0;
}

std::string CaptureFolder(const std::string& setting, const std::string& programDir) {
    const bool absolute = !setting.empty() && (setting[0] == '\\' || setting[0] == '/' || (setting.size() > 1 && setting[1] == ':'));
    std::string folder = absolute ? setting : programDir + setting;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

std::string FreeCaptureName(const std::string& folder, const std::string& pattern, const TCaptureNameParts& parts,
                            const std::function<bool(const std::string&)>& exists) {
    // A pattern with no changing part would look through every counter; this many names of
    // one capture second are more than anyone keeps.
    constexpr int Limit = 100000;
    for (int n = 1; n <= Limit; ++n) {
        std::string name = ExpandCaptureName(pattern, parts, n);
        if (!SaveTypeOfName(name)) name += ".png";
        if (!exists(folder + name)) return folder + name;
    }
    throw EFCreateError(Format(texts::FCreateError, (folder + ExpandCaptureName(pattern, parts, Limit)).c_str()));
}

}  // namespace kaptor
