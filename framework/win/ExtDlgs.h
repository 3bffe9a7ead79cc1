// The picture dialogs: the standard open and save dialogs with a preview pane on their right
// that shows the selected picture file scaled to fit, with its size below it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/win/Dialogs.h"

namespace kaptor {

class TBitmap;

// The preview pane the picture dialogs add to the file dialog: its template, the picture of
// the selected file and the size text under it.
class TPreviewPane {
public:
    TPreviewPane(int previewId, int sizeId);
    ~TPreviewPane();

    // Adds the pane's template (the standard controls on its left) to the dialog's request.
    void PrepareTemplate(OPENFILENAMEA& ofn);
    // The pane's part of the hook: nonzero when the message was the pane's.
    UINT_PTR DialogMessage(HWND child, UINT msg, LPARAM lp);
    // Reads the file at path into the pane; a folder, a missing file or anything not read as
    // a picture leaves it empty.
    void Load(const std::string& path);
    void Clear();

    const TBitmap* Picture() const { return preview_.get(); }
    const std::string& SizeText() const { return sizeText_; }

private:
    const int previewId_, sizeId_;
    std::vector<DWORD> template_;  // DWORD-aligned, as the dialog needs it
    std::unique_ptr<TBitmap> preview_;
    std::string sizeText_;
    HWND child_ = nullptr;
};

// A file dialog (TOpenDialog or TSaveDialog) with the preview pane: the pane loads the file
// the selection moves to and forgets it when the dialog closes.
template <class Base>
class TPictureDialog : public Base {
public:
    explicit TPictureDialog(TComponent* owner) : Base(owner) {}

    // The picture now previewed (null when the selection is no readable picture) and the
    // size text under it ("640 x 480", empty then).
    const TBitmap* Preview() const { return pane_.Picture(); }
    const std::string& PreviewSize() const { return pane_.SizeText(); }

    // Reads the file at path into the preview (what a selection change does); a file that is
    // missing, of an unknown kind or damaged leaves the pane empty.
    void LoadPreview(const std::string& path) { pane_.Load(path); }

    // Control ids of the preview pane, for tests that look at the real dialog.
    static constexpr int PreviewId = 0x4A0, PreviewSizeId = 0x4A1;

protected:
    void PrepareTemplate(OPENFILENAMEA& ofn) override { pane_.PrepareTemplate(ofn); }
    bool WantsHook() const override { return true; }
    UINT_PTR DialogMessage(HWND child, UINT msg, WPARAM, LPARAM lp) override {
        return pane_.DialogMessage(child, msg, lp);
    }
    void DoSelectionChange() override {
        pane_.Load(this->SelectedPath());
        Base::DoSelectionChange();
    }
    void DoClose() override {
        pane_.Clear();
        Base::DoClose();
    }

private:
    TPreviewPane pane_{PreviewId, PreviewSizeId};
};

// Classes rather than aliases, so that headers can declare them ahead.
class TOpenPictureDialog final : public TPictureDialog<TOpenDialog> {
public:
    using TPictureDialog::TPictureDialog;
};

class TSavePictureDialog final : public TPictureDialog<TSaveDialog> {
public:
    using TPictureDialog::TPictureDialog;
};

}  // namespace kaptor
