#include "app/CommandStates.h"

#include <algorithm>

namespace kaptor {

namespace {

// The range menu items: both off until something happened; after a range switch the item for
// the other mode; after a new picture both; after a resize only entering (a resize leaves the
// selection behind).
bool RangeItem(const TCommandFacts& f, bool entering) {
    const int by = std::max({f.rangeSwitchedAt, f.pictureAnnouncedAt, f.resizeStartedAt});
    if (by == 0) return false;
    if (by == f.rangeSwitchedAt) return entering ? !f.rangeMode : f.rangeMode;
    return entering || by == f.pictureAnnouncedAt;
}

}  // namespace

bool Holds(TRule rule, const TCommandFacts& f) {
    switch (rule) {
        case TRule::Always: return true;
        case TRule::Picture: return f.PictureExists();
        case TRule::EnterRangeItem: return RangeItem(f, true);
        case TRule::LeaveRangeItem: return RangeItem(f, false);
        case TRule::Resize: {
            // A resize begun leaves the resize commands as they were.
            const int by = std::max(f.rangeSwitchedAt, f.pictureAnnouncedAt);
            return by == 0 ? false : by == f.pictureAnnouncedAt ? true : !f.rangeMode;
        }
        case TRule::WholeScreenCapture: return !f.captureLocked;
        case TRule::ActiveWindowCapture: return !f.activeCaptureLocked;
        case TRule::FullScreen: return f.fullScreen;
        case TRule::RangeMode: return f.rangeMode;
        case TRule::NoRangeMode: return !f.rangeMode;
        case TRule::ToolBarShown: return f.toolBarShown;
        case TRule::StatusBarShown: return f.statusBarShown;
        case TRule::MarkupMode: return f.markupMode;
        case TRule::FillShapes: return f.fillShapes;
        default: return f.markupTool == static_cast<int>(rule) - static_cast<int>(TRule::SelectTool);
    }
}

bool ZoomBoxEnabled(const TCommandFacts& f) { return f.rangeSwitchedAt > f.resizeStartedAt ? !f.rangeMode : true; }

}  // namespace kaptor
