// The commands' states from the facts, with the history that decides some of them.
#include <gtest/gtest.h>

#include "app/CommandStates.h"

using namespace kaptor;

TEST(CommandStates, RangeAndResizeFollowWhicheverHappenedLast) {
    TCommandFacts f;
    TCommandStates s = CommandStates(f);
    EXPECT_FALSE(s.pictureCommands || s.rangeButtonDown || s.enterRangeItem || s.leaveRangeItem || s.resize);
    EXPECT_TRUE(s.zoomBox && s.wholeScreenAndChosenCapture && s.activeWindowCapture && !s.leaveFullScreen);

    f.RangeSwitched(false);  // a capture's start leaves range mode, before any picture exists
    s = CommandStates(f);
    EXPECT_TRUE(!s.pictureCommands && s.enterRangeItem && !s.leaveRangeItem && s.resize);

    f.PictureAnnounced();
    f.RangeSwitched(true);
    f.PictureAnnounced();  // a new picture in range mode offers both range items and resize
    s = CommandStates(f);
    EXPECT_TRUE(s.pictureCommands && s.rangeButtonDown && s.enterRangeItem && s.leaveRangeItem && s.resize);
    EXPECT_FALSE(s.zoomBox);

    f.ResizeStarted();
    s = CommandStates(f);
    EXPECT_TRUE(s.enterRangeItem && !s.leaveRangeItem && s.resize && s.zoomBox && s.rangeButtonDown);
}

TEST(CommandStates, CaptureLockIsWhatTheLatestStepSet) {
    TCommandFacts f;
    f.CaptureLockSet(true, false);  // a whole-screen capture waits
    EXPECT_TRUE(!CommandStates(f).wholeScreenAndChosenCapture && CommandStates(f).activeWindowCapture);
    f.CaptureLockSet(true, true);  // an active-window capture inside that wait
    EXPECT_FALSE(CommandStates(f).activeWindowCapture);
    f.CaptureLockSet(false, true);  // its wait ends: all three free while the outer one still waits
    EXPECT_TRUE(CommandStates(f).wholeScreenAndChosenCapture && CommandStates(f).activeWindowCapture);
    f.fullScreen = true;
    EXPECT_TRUE(CommandStates(f).leaveFullScreen);
}
