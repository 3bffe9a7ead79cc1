// What is done with every new capture at once: copied to the clipboard, saved into the
// options' folder under the name pattern or to a file of its own, as the options or a
// command line ask.
#pragma once

#include <exception>
#include <string>

#include "exchange/FileNamePattern.h"

namespace kaptor {

class TPictureView;

namespace texts {
// Where the new picture went, for the status bar.
inline constexpr const char* SavedTo = "%s に保存しました";
inline constexpr const char* CopiedToClipboard = "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました";
inline constexpr const char* CopiedAndSavedTo = "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰし、%s に保存しました";
}  // namespace texts

struct TKeepActions {
    bool copy = false;
    bool save = false;
    std::string saveTo;  // empty: into the options' folder under their name pattern
};

// How it went. Nothing is shown: the caller decides who is told.
struct TKept {
    std::string savedTo;    // the file, when saved
    std::string saveError;  // the error's text, when the save failed
    std::exception_ptr copyError;
    bool copied = false;
    // What the status bar says (empty when nothing was kept).
    std::string Status() const;
};

// Saves, then copies the picture the view has just taken; the copy is made whether the save
// went or not. The file's type follows its extension.
TKept KeepPicture(TPictureView& view, const TCaptureNameParts& parts, const TKeepActions& actions);

// The options' after-capture actions; returns what the status bar says. A save that fails
// shows "保存が失敗しました" once and leaves the picture in the view; the copy is still made.
// Copy errors reach the caller.
std::string KeepCapturedPicture(TPictureView& view, const TCaptureNameParts& parts);

}  // namespace kaptor
