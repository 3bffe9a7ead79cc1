// What the options have done with every new capture at once: copied to the clipboard, saved
// into the chosen folder under the name pattern.
#pragma once

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

// The picture the view has just taken, saved and copied as Settings say; returns what the
// status bar says (empty when neither is on). A save that fails shows "保存が失敗しました" once
// and leaves the picture in the view; the copy is still made. Copy errors reach the caller.
std::string KeepCapturedPicture(TPictureView& view, const TCaptureNameParts& parts);

}  // namespace kaptor
