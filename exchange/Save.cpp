// Saving the picture, or the framed range of it, as a Windows bitmap, JPEG or PNG file. The
// format follows the type chosen in the dialog, not the typed extension. A file is written
// beside its target under a temporary name and put in its place only when complete, so a
// failed save never destroys the file it would have replaced.
#include <cstdint>
#include <memory>

#include "exchange/Save.h"
#include "framework/base/Classes.h"
#include "framework/imaging/JpegCodec.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Picture.h"
#include "framework/win/PngImage.h"
#include "view/PictureView.h"

namespace kaptor {

namespace {

// The JPEG file of the bitmap, encoded straight from its rows: the same file a JPEG image
// object given the bitmap writes, without first copying a screen-sized picture twice (into
// the object, then into the encoder's input).
void WriteJpeg(TBitmap& bitmap, TStream& stream) {
    Dib layout;
    if (!bitmap.RowLayout(layout)) {  // masks we cannot name here: the object knows them
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        jpeg.SaveToStream(stream);
        return;
    }
    EncodeJpeg(layout, [&bitmap](int y) { return bitmap.ScanLine(y); }, stream);
}

void WriteFormat(TBitmap& bitmap, int type, TStream& stream) {
    if (type == SaveTypeBitmap)
        bitmap.SaveToStream(stream);
    else if (type == SaveTypePng)
        WritePng(bitmap, stream);
    else
        WriteJpeg(bitmap, stream);
}

// Removes the temporary file unless it was put in place.
struct TempFile {
    std::string Name;
    ~TempFile() {
        if (!Name.empty()) DeleteFileA(Name.c_str());
    }
};

}  // namespace

void SavePictureFile(TBitmap& bitmap, const std::string& fileName, int type) {
    if (type != SaveTypeBitmap && type != SaveTypeJpeg && type != SaveTypePng) return;  // no other type is offered
    std::string dir = ExtractFilePath(fileName);
    if (dir.empty()) dir.assign(1, '.');  // assigning "." draws a false -Wrestrict from GCC 12
    char tempName[MAX_PATH] = {};
    if (!GetTempFileNameA(dir.c_str(), "kpt", 0, tempName))
        throw EFCreateError(Format(texts::FCreateError, fileName.c_str()));
    TempFile temp{tempName};
    {
        TFileStream stream(temp.Name, TFileMode::fmCreate);
        WriteFormat(bitmap, type, stream);
        stream.Close();
    }
    if (!MoveFileExA(temp.Name.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw EFCreateError(Format(texts::FCreateError, fileName.c_str()));
    temp.Name.clear();
}

bool SaveViewPicture(TPictureView& view, const std::function<bool(std::string& fileName, int& type)>& chooseFile) {
    const bool range = view.RangeFramed();
    if (range && view.RangeEmpty()) {
        ShowMessage(texts::EmptyRange);
        return false;
    }
    std::string fileName;
    int type = SaveTypeBitmap;
    if (!chooseFile(fileName, type)) return false;

    if (range) {
        // Errors go to the general report with their own text. The frame is put back on
        // failure too: the range is still framed, so the view must show it.
        std::unique_ptr<TBitmap> bitmap = view.CutRange();
        try {
            SavePictureFile(*bitmap, fileName, type);
        } catch (...) {
            view.DrawRangeFrame();
            throw;
        }
        view.DrawRangeFrame();
        return false;
    }
    // The picture as displayed, an open band's lines included.
    try {
        SavePictureFile(view.Shown().Picture().Bitmap(), fileName, type);
        return true;
    } catch (const std::exception&) {
        ShowMessage(texts::SaveFailed);
        return false;
    }
}

}  // namespace kaptor
