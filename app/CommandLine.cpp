#include "app/CommandLine.h"

#include <cctype>

#include "exchange/FileNamePattern.h"

namespace kaptor {

namespace {

// The delay's range, as the options dialog allows it.
constexpr int MaxDelay = 1200;

[[noreturn]] void Refuse(const std::string& text, bool quiet) {
    ECommandLine error(text + "\r\n\r\n" + texts::SwitchUsage);
    error.quiet = quiet;
    throw error;
}

bool Digits(const std::string& text) {
    if (text.empty() || text.size() > 4) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// The capture kind of a /capture value; false for none we know.
bool ReadKind(const std::string& value, TCaptureSwitches& s) {
    static const std::pair<const char*, TRequestedCapture> kinds[] = {
        {"screen", TRequestedCapture::WholeScreen},
        {"active", TRequestedCapture::ActiveWindow},
        {"region", TRequestedCapture::Region},
        {"last", TRequestedCapture::LastRegion},
    };
    for (auto [name, kind] : kinds)
        if (SameText(value, name)) return s.kind = kind, true;
    constexpr std::string_view window = "window:";
    if (value.size() <= window.size() || !SameText(value.substr(0, window.size()), window)) return false;
    s.kind = TRequestedCapture::Window;
    s.title = value.substr(window.size());
    return true;
}

}  // namespace

TCaptureSwitches ReadSwitches(const std::vector<std::string>& args) {
    // /quit first: a bad line of a script that asked for no window shows none.
    bool quiet = false;
    for (const std::string& a : args) quiet = quiet || SameText(a, "/quit");

    TCaptureSwitches s;
    s.quiet = quiet;
    bool seen[5] = {};
    for (const std::string& a : args) {
        const std::size_t eq = a.find('=');
        const std::string name = LowerCase(a.substr(0, eq));
        const bool valued = eq != std::string::npos;
        const std::string value = valued ? a.substr(eq + 1) : std::string();
        int which = -1;
        bool good = false;
        if (name == "/capture") {
            which = 0, good = valued && ReadKind(value, s);
        } else if (name == "/delay") {
            which = 1, good = valued && Digits(value) && std::stoi(value) <= MaxDelay;
            if (good) s.delay = std::stoi(value);
        } else if (name == "/save") {
            // The type follows the file's extension; a file of another type is refused
            // before anything is captured.
            which = 2, good = !valued || SaveTypeOfName(value) != 0;
            s.save = true, s.saveTo = value;
        } else if (name == "/copy") {
            which = 3, good = !valued, s.copy = true;
        } else if (name == "/quit") {
            which = 4, good = !valued;
        }
        if (!good || seen[which]) Refuse(Format(texts::BadSwitch, a.c_str()), quiet);
        seen[which] = true;
    }
    if (!seen[0]) Refuse(texts::NoCaptureSwitch, quiet);
    return s;
}

std::string PackSwitches(const TCaptureSwitches& s) {
    static const char* const kinds[] = {"screen", "active", "region", "last", "window:"};
    std::vector<std::string> args{std::string("/capture=") + kinds[static_cast<int>(s.kind)] + s.title};
    if (s.delay) args.push_back("/delay=" + std::to_string(*s.delay));
    if (s.save) args.push_back(s.saveTo.empty() ? "/save" : "/save=" + s.saveTo);
    if (s.copy) args.push_back("/copy");
    if (s.quiet) args.push_back("/quit");
    std::string packed;
    for (const std::string& a : args) packed += a + '\0';
    return packed;
}

TCaptureSwitches UnpackSwitches(const std::string& packed) {
    std::vector<std::string> args;
    for (std::size_t at = 0; at < packed.size();) {
        const std::size_t end = packed.find('\0', at);
        args.push_back(packed.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return ReadSwitches(args);
}

}  // namespace kaptor
