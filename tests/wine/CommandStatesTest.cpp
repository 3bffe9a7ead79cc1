// The commands' states from the facts, with the history that decides some of them.
#include <gtest/gtest.h>

#include "app/CommandStates.h"

using namespace kaptor;

TEST(CommandStates, RangeAndResizeFollowWhicheverHappenedLast) {
    using R = TRule;
    TCommandFacts f;
    for (R r : {R::Picture, R::RangeMode, R::EnterRangeItem, R::LeaveRangeItem, R::Resize}) EXPECT_FALSE(Holds(r, f));
    EXPECT_TRUE(ZoomBoxEnabled(f) && Holds(R::WholeScreenCapture, f) && Holds(R::ActiveWindowCapture, f));
    EXPECT_FALSE(Holds(R::FullScreen, f));

    f.RangeSwitched(false);  // a capture's start leaves range mode, before any picture exists
    EXPECT_TRUE(!Holds(R::Picture, f) && Holds(R::EnterRangeItem, f) && !Holds(R::LeaveRangeItem, f));
    EXPECT_TRUE(Holds(R::Resize, f) && Holds(R::NoRangeMode, f));

    f.PictureAnnounced();
    f.RangeSwitched(true);
    f.PictureAnnounced();  // a new picture in range mode offers both range items and resize
    for (R r : {R::Picture, R::RangeMode, R::EnterRangeItem, R::LeaveRangeItem, R::Resize}) EXPECT_TRUE(Holds(r, f));
    EXPECT_FALSE(ZoomBoxEnabled(f));

    f.ResizeStarted();
    EXPECT_TRUE(Holds(R::EnterRangeItem, f) && !Holds(R::LeaveRangeItem, f) && Holds(R::Resize, f));
    EXPECT_TRUE(ZoomBoxEnabled(f) && Holds(R::RangeMode, f));
}

TEST(CommandStates, CaptureLockAndFullScreenAndBars) {
    using R = TRule;
    TCommandFacts f;
    f.captureLocked = true;  // a whole-screen capture waits
    EXPECT_TRUE(!Holds(R::WholeScreenCapture, f) && Holds(R::ActiveWindowCapture, f));
    f.activeCaptureLocked = true;
    EXPECT_FALSE(Holds(R::ActiveWindowCapture, f));
    f.fullScreen = true;
    EXPECT_TRUE(Holds(R::FullScreen, f) && Holds(R::Always, f));
    f.statusBarShown = true;
    EXPECT_TRUE(Holds(R::StatusBarShown, f) && !Holds(R::ToolBarShown, f));
}
