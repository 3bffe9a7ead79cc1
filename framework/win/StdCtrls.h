// The standard Windows controls the forms use: labels, push buttons, check boxes, edits,
// list boxes, panels and bevels. Each is the real Windows control, so screen readers and
// other programs can read it.
#pragma once

#include "framework/base/Classes.h"
#include "framework/win/Controls.h"

namespace kaptor {

class TLabel : public TWinControl {
public:
    explicit TLabel(TComponent* owner);
    bool AutoSize = true;  // sized to the caption when it is set (or, without a window, when made)
    void SetCaption(const std::string& text) override;
    // Text does not grow in step with its font: an auto-sized label measures itself again.
    void ScaleBy(int m, int d) override;

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;

private:
    void FitCaption();
    bool fitPending_ = false;  // a caption set before the window was made
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    // A click first sets the form's modal result to this (when not mrNone), then OnClick.
    int ModalResult = 0;
    void SetDefault(bool isDefault);
    void SetCancel(bool isCancel);
    void Click() override;

protected:
    void CreateParamsFor(CreateParams& params) override;
    bool CNCommand(WORD code) override;

private:
    bool default_ = false;
};

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);
    bool Checked() const;
    void SetChecked(bool checked);
    bool LeftText = false;  // caption left of the box

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;
    bool CNCommand(WORD code) override;

private:
    bool checked_ = false;  // until the window is made
};

class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }
    std::string Caption() const override;
    int MaxLength = 0;
    // Several lines, Enter starting a new one (set before the control is made).
    bool MultiLine = false;
    TNotifyEvent OnChange;
    TNotifyEvent OnExit;

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;
    bool CNCommand(WORD code) override;
};

// A list box whose Items mirror the Windows control (and its selection, before it is made).
class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner);
    ~TListBox() override;
    class Strings : public TStrings {
    public:
        explicit Strings(TListBox* box) : box_(box) {}

    protected:
        void Changed() override;

    private:
        TListBox* box_;
    };
    Strings& Items() { return items_; }
    int ItemIndex() const;
    void SetItemIndex(int index);

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;
    bool CNCommand(WORD code) override;

private:
    void Sync();
    Strings items_;
    int itemIndex_ = -1;  // until the window is made
};

// A plain container.
class TPanel : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    bool Bevel = false;

protected:
    void Paint(HDC dc, const RECT& update) override;
};

// A sunken frame drawn around other controls.
class TBevel : public TWinControl {
public:
    using TWinControl::TWinControl;

protected:
    void CreateParamsFor(CreateParams& params) override;
};

}  // namespace kaptor
