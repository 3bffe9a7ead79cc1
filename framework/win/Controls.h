// Components and controls: the ownership tree (TComponent), and windowed controls over
// Win32 (TWinControl) with bounds, alignment, visibility, fonts, hints, cursors, context
// menus and mouse/key events. Standard Windows controls are used wherever Windows has one;
// TCustomControl is for the few the program paints itself.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/base/SysUtils.h"
#include "framework/win/Handles.h"

namespace kaptor {

class TPopupMenu;
class TForm;
class TWinControl;

enum class TOperation { opInsert, opRemove };

// Owner of other components: an owner frees what it owns, newest first, and tells every
// component that asked (FreeNotification) when one goes away.
class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }

    // Another component that must hear of this one's removal.
    void FreeNotification(TComponent* other);
    virtual void Notification(TComponent* component, TOperation operation);

    // Runs after a form has built all its components (the framework's "loaded" step).
    virtual void Loaded() { loading_ = false; }
    bool Loading() const { return loading_; }
    bool Destroying() const { return destroying_; }
    void SetLoading(bool loading) { loading_ = loading; }
    // Loaded for this component and everything it owns, depth first.
    void LoadedAll();

    std::string Name;
    std::intptr_t Tag = 0;

protected:
    void BeginDestroy() { destroying_ = true; }

private:
    void Insert(TComponent* c);
    void Remove(TComponent* c);

    TComponent* owner_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> notified_;  // components told of our removal
    bool loading_ = false;
    bool destroying_ = false;
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
// Shift state bits, as the framework's TShiftState.
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
using TCursor = int;
inline constexpr TCursor crDefault = 0;

using TNotifyEvent = std::function<void(TComponent* sender)>;
using TMouseEvent = std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TComponent* sender, WORD& key, TShiftState shift)>;

TShiftState KeyboardShiftState();

// Font of a control: face, pixel height and character set; shared through ParentFont.
struct TFontSpec {
    std::string Name = "ＭＳ Ｐゴシック";
    int Height = 12;  // pixels at the form's design resolution
    BYTE Charset = SHIFTJIS_CHARSET;
    bool Bold = false;
};

// A control with a window of its own. The window is created as soon as the control's parent
// has one (forms make theirs in their constructor, or when first needed); until then the
// control holds its state itself and gives it to the window when that is made. While the
// window exists it is the truth, and every property writes through.
class TWinControl : public TComponent {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The window; asking for it makes it when it is due (HandleNeeded).
    HWND Handle() const;
    bool HandleAllocated() const { return handle_ != nullptr; }
    // Makes the window of a form made on demand, with every control on it; a control asks
    // its parent. A control without a parent gets no window.
    void HandleNeeded();
    TWinControl* Parent() const { return parent_; }
    void SetParent(TWinControl* parent);
    const std::vector<TWinControl*>& Controls() const { return children_; }
    // The form this control sits on (itself for a form).
    TForm* ParentForm();

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    RECT ClientRect() const;
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientSize(int width, int height);

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);

    virtual std::string Caption() const;
    virtual void SetCaption(const std::string& text);

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool ShowHint = true;

    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu);

    int HelpContext = 0;
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop);
    void SetFocus();
    bool Focused() const;

    const TFontSpec& Font() const { return font_; }
    void SetFont(const TFontSpec& font);
    bool ParentFont = true;

    COLORREF Color() const { return color_; }
    void SetColor(COLORREF color);

    void Invalidate();
    void Update();   // paint pending invalid areas now
    void Repaint() { Invalidate(); Update(); }
    // Lays out the aligned children of this control.
    void Realign();
    // Scales bounds and font by m/d, children included (forms do this once at creation).
    virtual void ScaleBy(int m, int d);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TKeyEvent OnKeyDown;
    TNotifyEvent OnResize;

    // The control behind a window handle of ours, or null.
    static TWinControl* FromHandle(HWND wnd);

    void Notification(TComponent* component, TOperation operation) override;

protected:
    struct CreateParams {
        std::string ClassName;  // a standard class, or one registered by RegisterClassFor
        DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD ExStyle = 0;
        HWND Parent = nullptr;
        HMENU Menu = nullptr;   // a top-level window's menu bar
        bool OwnClass = false;  // our own class: the window procedure is ours from the start
    };
    // Fills in the window class and styles; called once, when the window is created.
    virtual void CreateParamsFor(CreateParams& params);
    // After the window exists: set anything that needs a handle.
    virtual void CreateWnd() {}
    // A menu bar above the client area (a form's, once given; a window made without one has none).
    virtual bool HasMenuBar() const { return handle_ && GetMenu(handle_) != nullptr; }
    void CreateHandle();
    void DestroyHandle();
    // Re-creates the window, e.g. after a style that cannot change in place.
    void RecreateWnd();
    // Whether a parentless control makes its window when first needed (forms made on demand).
    bool windowOnDemand_ = false;

    // The message handler; the default passes to the window's original procedure.
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
    // Notifications a parent reflects back to the control that sent them.
    virtual bool CNCommand(WORD code) { return false; }
    virtual bool CNNotify(NMHDR* header, LRESULT& result) { return false; }
    virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoMouseMove(TShiftState shift, int x, int y);
    virtual void DoKeyDown(WORD& key, TShiftState shift);
    virtual void Click();
    virtual void Resized();
    // Paint for controls of our own class.
    virtual void Paint(HDC dc, const RECT& update) {}
    // A child was moved or resized (scroll boxes follow their content).
    virtual void ControlBoundsChanged(TWinControl* child) {}
    // The screen cursor handle to show over this control.
    virtual HCURSOR CursorHandle();
    virtual void ApplyFont();
    HFONT FontHandle();

    void SetStyleBit(DWORD bit, bool on, bool ex = false);
    std::string caption_;
    bool visible_ = true;

    friend LRESULT CALLBACK ControlWndProc(HWND, UINT, WPARAM, LPARAM);
    friend class TForm;

private:
    // The children's windows, theirs in turn, in the order the children were added (the
    // windows' order and the tab order), then the layout.
    void CreateChildHandles();
    // The window's styles, or those it will be made with.
    void Styles(DWORD& style, DWORD& exStyle) const;
    void AlignChildren();
    void ApplyBounds();
    void SyncBounds();
    bool HasFrame() const;  // anything to paint outside the client area (a top-level window always)
    bool ShowContextMenu(int x, int y);

    HWND handle_ = nullptr;
    WNDPROC defProc_ = nullptr;
    TWinControl* parent_ = nullptr;
    std::vector<TWinControl*> children_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = TAlign::alNone;
    bool enabled_ = true;
    bool tabStop_ = false;
    std::string hint_;
    TCursor cursor_ = crDefault;
    TPopupMenu* popupMenu_ = nullptr;
    TFontSpec font_;
    UniqueFont fontHandle_;
    COLORREF color_ = CLR_INVALID;
    UniqueBrush colorBrush_;
    bool aligning_ = false;
    bool ownClass_ = false;
};

using TControl = TWinControl;

// A control the program paints itself, on a window class of its own.
class TCustomControl : public TWinControl {
public:
    using TWinControl::TWinControl;

protected:
    void CreateParamsFor(CreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// Registers (once) a window class of ours with the given name; returns the name.
const char* RegisterClassFor(const std::string& className, UINT classStyle = CS_DBLCLKS, HICON icon = nullptr);
HINSTANCE MainInstance();
// The system's arrow and the program's own icon, each loaded once: they are shared for the
// process's life, and each load asks the window server again.
HCURSOR ArrowCursor();
HICON ProgramIcon();

}  // namespace kaptor
