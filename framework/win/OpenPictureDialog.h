// The picture open dialog: the standard open dialog with a preview pane on its right that
// shows the selected picture file scaled to fit, with its size below it.
#pragma once

#include <string>

#include "framework/win/ExtDlgs.h"

namespace kaptor {

class TOpenPictureDialog : public TOpenDialog {
public:
    explicit TOpenPictureDialog(TComponent* owner);
    ~TOpenPictureDialog() override;

    // The picture now previewed (null when the selection is no readable picture) and the
    // size text under it ("640 x 480", empty then).
    const TBitmap* Preview() const { return pane_.Picture(); }
    const std::string& PreviewSize() const { return pane_.SizeText(); }

    // Reads the file at path into the preview (what a selection change does); a file that is
    // missing, of an unknown kind or damaged leaves the pane empty.
    void LoadPreview(const std::string& path) { pane_.Load(path); }

    // Control ids of the preview pane, for tests that look at the real dialog.
    static constexpr int PreviewId = 0x4B0, PreviewSizeId = 0x4B1;

protected:
    void PrepareTemplate(OPENFILENAMEA& ofn) override { pane_.PrepareTemplate(ofn); }
    bool WantsHook() const override { return true; }
    UINT_PTR DialogMessage(HWND child, UINT msg, WPARAM, LPARAM lp) override {
        return pane_.DialogMessage(child, msg, lp);
    }
    void DoSelectionChange() override;
    void DoClose() override;

private:
    TPreviewPane pane_{PreviewId, PreviewSizeId};
};

}  // namespace kaptor
