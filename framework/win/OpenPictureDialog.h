// The picture open dialog: the standard open dialog with a preview pane on its right that
// shows the selected picture file scaled to fit, with its size below it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/win/Dialogs.h"

namespace kaptor {

class TBitmap;

class TOpenPictureDialog : public TOpenDialog {
public:
    explicit TOpenPictureDialog(TComponent* owner);
    ~TOpenPictureDialog() override;

    // The picture now previewed (null when the selection is no readable picture) and the
    // size text under it ("640 x 480", empty then).
    const TBitmap* Preview() const { return preview_.get(); }
    const std::string& PreviewSize() const { return previewSize_; }

    // Reads the file at path into the preview (what a selection change does); a file that is
    // missing, of an unknown kind or damaged leaves the pane empty.
    void LoadPreview(const std::string& path);

    // Control ids of the preview pane, for tests that look at the real dialog.
    static constexpr int PreviewId = 0x4B0, PreviewSizeId = 0x4B1;

protected:
    void PrepareTemplate(OPENFILENAMEA& ofn) override;
    bool WantsHook() const override { return true; }
    UINT_PTR DialogMessage(HWND child, UINT msg, WPARAM wp, LPARAM lp) override;
    void DoSelectionChange() override;
    void DoClose() override;

private:
    void PaintPreview(const DRAWITEMSTRUCT& item);
    std::vector<DWORD> template_;  // the pane's dialog template, DWORD-aligned
    std::unique_ptr<TBitmap> preview_;
    std::string previewSize_;
    HWND child_ = nullptr;
};

}  // namespace kaptor
