// The picture dialogs: the standard file dialog with a preview pane on its right that shows
// the selected picture file scaled to fit, with its size below it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/win/Dialogs.h"

namespace kaptor {
class TBitmap;
// The preview pane both picture dialogs share: the picture file at path as a bitmap (null
// for a folder, a missing file or anything not read as a picture), and its painting, scaled
// to fit, never enlarged, centred.
std::unique_ptr<TBitmap> LoadPreviewBitmap(const std::string& path);
void PaintPreviewPane(const DRAWITEMSTRUCT& item, TBitmap* preview);
}  // namespace kaptor

namespace kaptor {

class TBitmap;

class TSavePictureDialog : public TSaveDialog {
public:
    explicit TSavePictureDialog(TComponent* owner);
    ~TSavePictureDialog() override;

    // The picture now previewed (empty when the selection is no readable picture).
    const TBitmap* Preview() const { return preview_.get(); }

    // Control ids of the preview pane, for tests that look at the real dialog.
    static constexpr int PreviewId = 0x4A0, PreviewSizeId = 0x4A1;

protected:
    void PrepareTemplate(OPENFILENAMEA& ofn) override;
    bool WantsHook() const override { return true; }
    UINT_PTR DialogMessage(HWND child, UINT msg, WPARAM wp, LPARAM lp) override;
    void DoSelectionChange() override;
    void DoClose() override;

private:
    void LoadPreview(const std::string& path);
    void PaintPreview(const DRAWITEMSTRUCT& item);
    std::vector<DWORD> template_;  // the pane's dialog template, DWORD-aligned
    std::unique_ptr<TBitmap> preview_;
    HWND child_ = nullptr;
};

}  // namespace kaptor
