// The common controls the windows are built from: image lists, the status bar, the tool bar
// and its buttons, the band container (rebar) and flat speed buttons. Each is the standard
// Windows control (msctls_statusbar32, ToolbarWindow32, ReBarWindow32, BUTTON), so screen
// readers and other programs can read texts and states with the controls' own messages.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/win/Controls.h"
#include "framework/win/GlyphMask.h"

namespace kaptor {

class TBitmap;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };


// A strip of equally sized images with masks, for tool buttons and glyphs.
class TImageList : public TComponent {
public:
    TImageList(TComponent* owner, int width = 16, int height = 16);
    ~TImageList() override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const;
    HIMAGELIST Handle() const { return list_; }  // we keep it

    // Adds every Width-wide piece of the bitmap; pixels of the mask colour become
    // transparent. Returns the index of the first image added.
    int AddMasked(TBitmap& bitmap, COLORREF mask = clGlyphCorner);
    // The same from a bitmap resource of the program. Exception when there is none.
    int AddResource(const char* name, COLORREF mask = clGlyphCorner);
    void Clear();
    // A copy of one image as an icon with its transparency (for push buttons).
    UniqueIcon ExtractIcon(int index) const;
    // Every image stretched to m/d times the present size (a form scaled for the screen).
    void ScaleBy(int m, int d);

private:
    int AddMaskedHandle(HBITMAP bitmap, COLORREF mask);
    int width_, height_;
    HIMAGELIST list_ = nullptr;
};

// ---------------------------------------------------------------- status bar

class TStatusBar;

class TStatusPanel {
public:
    TStatusPanel(TStatusBar* bar, int index) : bar_(bar), index_(index) {}
    int Index() const { return index_; }
    const std::string& Text() const { return text_; }
    void SetText(const std::string& text);
    int Width() const { return width_; }
    void SetWidth(int width);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

private:
    friend class TStatusBar;
    TStatusBar* bar_;
    int index_;
    std::string text_;
    int width_ = 50;
    TAlignment alignment_ = TAlignment::taLeftJustify;
};

class TStatusPanels {
public:
    explicit TStatusPanels(TStatusBar* bar) : bar_(bar) {}
    TStatusPanel& Add();
    int Count() const { return static_cast<int>(items_.size()); }
    TStatusPanel& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    TStatusPanel& operator[](int index) { return Items(index); }
    void Clear();

private:
    TStatusBar* bar_;
    std::vector<std::unique_ptr<TStatusPanel>> items_;
};

// Panels side by side, each as wide as its Width (the last one takes the rest). Panel texts
// are written into the control at once, so SB_GETTEXTA reads them from anywhere; a centred
// panel's text carries one leading tab and a right-aligned one two, as the control wants.
class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* owner);
    TStatusPanels& Panels() { return panels_; }
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool sizeGrip);
    void ScaleBy(int m, int d) override;

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;

private:
    friend class TStatusPanel;
    friend class TStatusPanels;
    void UpdateParts();
    void UpdateText(const TStatusPanel& panel);
    TStatusPanels panels_;
    bool sizeGrip_ = false;
};

// ---------------------------------------------------------------- tool bar

class TToolBar;

enum class TToolButtonStyle { tbsButton, tbsCheck, tbsSeparator };

// One button of a tool bar. Not a window: the tool bar draws it and reports its clicks.
class TToolButton : public TComponent {
public:
    explicit TToolButton(TComponent* owner);
    ~TToolButton() override;

    // Appends the button to the tool bar (or takes it off with null).
    void SetParent(TToolBar* toolBar);
    TToolBar* Parent() const { return toolBar_; }
    int Index() const;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint) { hint_ = hint; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // A hidden button takes no room.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // Check buttons stay down after a click; Grouped check buttons next to each other
    // form a group of which exactly one is down.
    TToolButtonStyle Style() const { return style_; }
    void SetStyle(TToolButtonStyle style);
    bool Grouped() const { return grouped_; }
    void SetGrouped(bool grouped);
    bool Down() const;
    void SetDown(bool down);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    // The button's place on the tool bar, in its client coordinates (empty when hidden).
    RECT BoundsRect() const;

    // Runs OnClick.
    virtual void Click();
    TNotifyEvent OnClick;

    int Command() const { return command_; }

private:
    friend class TToolBar;
    TBBUTTON Describe() const;
    void UpdateState();

    TToolBar* toolBar_ = nullptr;
    int command_;
    std::string caption_;
    std::string hint_;
    bool enabled_ = true;
    bool visible_ = true;
    bool down_ = false;
    bool grouped_ = false;
    TToolButtonStyle style_ = TToolButtonStyle::tbsButton;
    int imageIndex_ = -1;
};

// A flat tool bar whose buttons show their glyph above their caption and their Hint as a
// tool tip. The tool bar's notifications go to a small window of its own (TB_SETPARENT), so
// clicks and tip requests reach the buttons whatever window the tool bar sits in. Another
// program may also click a button by sending WM_COMMAND with its command to the tool bar.
class TToolBar : public TWinControl {
public:
    explicit TToolBar(TComponent* owner);
    ~TToolBar() override;

    int ButtonCount() const { return static_cast<int>(buttons_.size()); }
    TToolButton* Buttons(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
    TToolButton* FindButton(int command) const;

    TImageList* Images() const { return images_; }
    void SetImages(TImageList* images);
    int ButtonWidth() const { return buttonWidth_; }
    int ButtonHeight() const { return buttonHeight_; }
    void SetButtonSize(int width, int height);
    // Buttons show their captions (below the glyph).
    bool ShowCaptions = true;

    void Notification(TComponent* component, TOperation operation) override;
    void ScaleBy(int m, int d) override;

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;
    void ApplyFont() override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend class TToolButton;
    void Insert(TToolButton* button);
    void Remove(TToolButton* button);
    void RebuildButtons();
    void ApplySizes();
    void ButtonClicked(int command);
    // Answers a tool tip's request for the text of button idFrom.
    bool TipText(NMHDR* header);
    static LRESULT CALLBACK NotifyWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    std::vector<TToolButton*> buttons_;
    TImageList* images_ = nullptr;
    int buttonWidth_ = 23, buttonHeight_ = 22;
    HWND notify_ = nullptr;  // ours: receives WM_COMMAND and WM_NOTIFY of the tool bar
    std::wstring tipW_;      // the last tip handed out, for requests in UTF-16
};

// ---------------------------------------------------------------- cool bar (rebar)

class TCoolBar;

// One band of a cool bar, holding one control. Bands start a new row unless Break is off.
class TCoolBand {
public:
    TWinControl* Control() const { return control_; }
    int MinHeight() const { return minHeight_; }
    void SetMinHeight(int height);
    int MinWidth() const { return minWidth_; }
    void SetMinWidth(int width);
    bool Break() const { return break_; }
    void SetBreak(bool brk);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    int Index() const;

private:
    friend class TCoolBar;
    TCoolBand(TCoolBar* bar, UINT id, TWinControl* control) : bar_(bar), id_(id), control_(control) {}
    void Apply();
    TCoolBar* bar_;
    UINT id_;
    TWinControl* control_;
    int minHeight_ = 25;
    int minWidth_ = 0;
    bool break_ = true;
    bool visible_ = true;
};

// The band container. Its height follows its bands (the caller aligns it, usually to the
// top, and hiding it frees the room).
class TCoolBar : public TWinControl {
public:
    explicit TCoolBar(TComponent* owner);
    ~TCoolBar() override;

    // Puts the control (made a child of the bar) into a new band at the end.
    TCoolBand* AddBand(TWinControl* control, int minHeight);
    int BandCount() const { return static_cast<int>(bands_.size()); }
    TCoolBand* Bands(int index) const { return bands_.at(static_cast<std::size_t>(index)).get(); }
    // The height the bands need.
    int BarHeight() const;
    bool AutoSize = true;

    void Notification(TComponent* component, TOperation operation) override;
    void ScaleBy(int m, int d) override;

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;
    bool CNNotify(NMHDR* header, LRESULT& result) override;

private:
    friend class TCoolBand;
    void InsertBand(TCoolBand& band);
    void FitHeight();
    std::vector<std::unique_ptr<TCoolBand>> bands_;
    UINT nextId_ = 1;
};

// ---------------------------------------------------------------- speed button

// A flat push button that never takes part in tabbing. Buttons of the same parent with the
// same GroupIndex (above 0) are a radio group: a click puts one down and the others up, and
// without AllowAllUp the one down stays down. The down state is the button's check state, so
// BM_GETCHECK reads it from anywhere.
class TSpeedButton : public TWinControl {
public:
    explicit TSpeedButton(TComponent* owner);

    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int index);
    bool Down() const { return down_; }
    void SetDown(bool down);
    bool AllowAllUp = false;
    bool Flat = true;
    // A glyph (transparent where its bottom-left colour is); shown alone without a caption.
    void SetGlyph(TBitmap& glyph);
    void SetGlyph(HBITMAP glyph);
    void SetCaption(const std::string& text) override;

    void Click() override;
    // The glyph grows with the button.
    void ScaleBy(int m, int d) override;

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;
    bool CNCommand(WORD code) override;

private:
    void ApplyStyle();
    void ApplyGlyph();
    int groupIndex_ = 0;
    bool down_ = false;
    UniqueIcon glyph_;
};

}  // namespace kaptor
