#include "app/CommandStates.h"

#include <algorithm>

namespace kaptor {

TCommandStates CommandStates(const TCommandFacts& f) {
    TCommandStates s{};
    s.pictureCommands = f.PictureExists();
    s.rangeButtonDown = f.rangeMode;

    const int rangeItemsBy = std::max({f.rangeSwitchedAt, f.pictureAnnouncedAt, f.resizeStartedAt});
    if (rangeItemsBy == 0) {
        s.enterRangeItem = s.leaveRangeItem = false;
    } else if (rangeItemsBy == f.rangeSwitchedAt) {
        s.enterRangeItem = !f.rangeMode;
        s.leaveRangeItem = f.rangeMode;
    } else {
        // A resize leaves the selection behind; a new picture offers both.
        s.enterRangeItem = true;
        s.leaveRangeItem = rangeItemsBy == f.pictureAnnouncedAt;
    }

    // A resize begun leaves the resize commands as they were.
    const int resizeBy = std::max(f.rangeSwitchedAt, f.pictureAnnouncedAt);
    s.resize = resizeBy == 0 ? false : resizeBy == f.pictureAnnouncedAt ? true : !f.rangeMode;

    // The zoom works on the whole picture: not while a range is marked, again once a resize begins.
    s.zoomBox = f.rangeSwitchedAt > f.resizeStartedAt ? !f.rangeMode : true;

    s.wholeScreenAndChosenCapture = !f.captureLocked;
    s.activeWindowCapture = !f.activeCaptureLocked;
    s.leaveFullScreen = f.fullScreen;
    return s;
}

}  // namespace kaptor
