// TSpinEdit: a number box. The control is a standard EDIT (its text is the value, readable
// with WM_GETTEXT from anywhere) with a standard up-down control (msctls_updown32) inside its
// right edge.
#pragma once

#include <string>

#include "framework/win/Controls.h"

namespace kaptor {

// Rules:
// - The spin buttons and the Up and Down keys step the value by Increment, kept within
//   MinValue..MaxValue (no limits while both are equal).
// - When the focus moves to another control of the same window, a whole number outside the
//   range becomes the nearer bound (hiding or leaving the window keeps the text as typed);
//   text that is no whole number stays as it is.
// - OnChange runs only when the text really changes.
// - Typed characters: digits, "+", "-" and the decimal separator, at most MaxLength of
//   them; the program may still set a longer text. With EditorEnabled off nothing can be
//   typed (a beep), only the buttons, the keys and the program change the value.
// - Every key pressed in the box reaches OnKeyDown.
class TSpinEdit : public TWinControl {
public:
    explicit TSpinEdit(TComponent* owner);

    int MinValue() const { return min_; }
    void SetMinValue(int value) { min_ = value; }
    int MaxValue() const { return max_; }
    void SetMaxValue(int value) { max_ = value; }
    int Increment() const { return increment_; }
    void SetIncrement(int value) { increment_ = value; }
    // The text as a number; MinValue when the text is no whole number.
    int Value() const;
    // Shows the value, brought into the range.
    void SetValue(int value);
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }
    std::string Caption() const override;
    void SetCaption(const std::string& text) override;

    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool enabled) { editorEnabled_ = enabled; }
    void SetEnabled(bool enabled) override;
    void SelectAll();

    // One step up or down (what the buttons and the keys do).
    void UpClick() { Step(+1); }
    void DownClick() { Step(-1); }

    TNotifyEvent OnChange;
    TNotifyEvent OnExit;

    HWND UpDownHandle() const { return upDown_; }  // we keep it (a child of the box)

protected:
    void CreateParamsFor(CreateParams& params) override;
    void CreateWnd() override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool CNCommand(WORD code) override;
    void Resized() override;

private:
    int Clamp(long long value) const;
    void Step(int direction);
    void CheckValue();
    bool IsValidChar(unsigned char c) const;
    RECT UpDownRect() const;  // where the up-down belongs in the box
    void PlaceUpDown();
    void TextChanged();

    int min_ = 0, max_ = 0, increment_ = 1;
    int maxLength_ = 0;
    bool editorEnabled_ = true;
    HWND upDown_ = nullptr;
    std::string lastText_;  // what OnChange last saw
    bool skipTrail_ = false;  // the second byte of a refused double-byte character
};

}  // namespace kaptor
