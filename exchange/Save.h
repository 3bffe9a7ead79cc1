// Writing a picture file for the save command.
#pragma once

#include <functional>
#include <string>

namespace kaptor {

class TBitmap;
class TPictureView;

namespace texts {
inline constexpr const char* SaveFailed = "保存が失敗しました";
}

// The save dialog's type entries.
inline constexpr int SaveTypeBitmap = 1, SaveTypeJpeg = 2, SaveTypePng = 3;

// Writes bitmap to fileName as a Windows bitmap (type 1), a JPEG file (type 2) or a PNG file
// (type 3); any other type writes nothing. The file is written under a temporary name in the same folder and
// then replaces fileName, so on failure an existing fileName is left as it was. A folder
// that takes no new file raises EFCreateError with the target's name.
void SavePictureFile(TBitmap& bitmap, const std::string& fileName, int type);

// The save command: the framed range (a range with no area is refused first) or else the
// picture as displayed, to the file and type chooseFile gives (false: cancelled). A failed
// save of the range reaches the caller with its own text; of the whole picture it is shown
// as "保存が失敗しました". True when the whole picture was written.
bool SaveViewPicture(TPictureView& view, const std::function<bool(std::string& fileName, int& type)>& chooseFile);

}  // namespace kaptor
