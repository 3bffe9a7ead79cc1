// The task tray icon: one icon with a tooltip in the notification area of the task bar, the
// mouse activity on it turned into component events, and a menu popped up when a button is
// pressed on it. Every tray icon of the program shares one hidden receiver window, to which
// the shell sends the callback messages of all of them.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/win/ComCtrls.h"
#include "framework/win/Controls.h"
#include "framework/win/Picture.h"

namespace kaptor {

class TPopupMenu;

namespace texts {
inline constexpr const char* TrayIconFailed = "タスクトレイにアイコンを登録できません。";
}

// The shell's callback message of every tray icon. wParam: the icon's identifier (uID);
// lParam: the mouse message that occurred on the icon (WM_MOUSEMOVE, WM_LBUTTONDOWN, ...).
inline constexpr UINT WM_TRAYICON = WM_USER + 200;  // 1224

// Identifiers run from 1 to this; a new icon gets one above the largest live one.
inline constexpr int MaxTrayIconId = 99;
// The record handed to the shell has its oldest, 88-byte layout (tip of 64 bytes).
inline constexpr DWORD TrayNotifySize = NOTIFYICONDATAA_V1_SIZE;
// Tooltip bytes kept, without the terminating NUL.
inline constexpr std::size_t TrayTipMax = 62;

// The one seam to the shell's tray: every Shell_NotifyIconA call goes through here, so tests
// can see the records passed (and still hand them on with RealShellNotifyIcon). Empty: the
// real shell.
using TShellNotifyIcon = std::function<BOOL(DWORD message, NOTIFYICONDATAA& data)>;
extern TShellNotifyIcon ShellNotifyIconHook;
BOOL RealShellNotifyIcon(DWORD message, NOTIFYICONDATAA& data);

// The hidden window that receives the callbacks of every tray icon, and the task bar's
// "TaskbarCreated" broadcast after the shell restarts. It is a top-level window owned by the
// form it was made for, so it goes with that form, never shows a task-bar button, and still
// hears broadcasts (which reach top-level windows only).
class TCallbackWindow : public TWinControl {
public:
    explicit TCallbackWindow(TComponent* owner);
    ~TCallbackWindow() override;
    // The window handle, created on first request.
    HWND Receiver();

protected:
    void CreateParamsFor(CreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// The receiver window all tray icons share, or null before the first one exists.
TCallbackWindow* TrayCallbackWindow();
// The registered "TaskbarCreated" message.
UINT TaskbarCreatedMessage();

class TTrayIcon : public TComponent {
public:
    // Raises EOutOfMemory with TrayIconFailed when identifier 99 is taken.
    explicit TTrayIcon(TComponent* owner);
    ~TTrayIcon() override;

    // Frames and interval for an icon animation. The program never animates its icon, so the
    // settings are only kept (and there is no animation timer).
    TImageList* AnimateIcons() const { return animateIcons_; }
    void SetAnimateIcons(TImageList* list);  // ignored while an animation runs
    int AnimateRate() const { return animateRate_; }
    void SetAnimateRate(int rate);  // milliseconds, at least 100
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool autoPopup) { autoPopup_ = autoPopup; }
    // The owned icon; changing its image while in the tray updates the tray at once.
    TIcon* Icon() const { return icon_.get(); }
    // Copies icon into the owned one; null empties it and takes the icon out of the tray.
    void SetIcon(const TIcon* icon);
    TPopupMenu* LBPopupMenu() const { return lbPopupMenu_; }
    void SetLBPopupMenu(TPopupMenu* menu);
    TPopupMenu* RBPopupMenu() const { return rbPopupMenu_; }
    void SetRBPopupMenu(TPopupMenu* menu);
    // Shift-JIS text of at most 62 bytes, cut before a double-byte character that would not fit.
    const std::string& TipHelp() const { return tipHelp_; }
    void SetTipHelp(const std::string& tip);
    // True puts the icon into the tray (only with an icon image), false takes it out.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    TNotifyEvent OnDblClick;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;

    int IconId() const { return iconId_; }
    bool Registered() const { return registered_; }
    bool Animating() const { return animating_; }
    int AnimateIndex() const { return animateIndex_; }

private:
    // Restore: after "TaskbarCreated", an update if the shell still knows the icon (the
    // message also comes for other reasons), else an add.
    enum class TTrayAction { Add, Modify, Delete, Restore };
    // The only place the shell is called.
    void UpdateTray(TTrayAction action);
    void IconChanged();
    // One callback from the shell: mouseMessage at screen point (x, y).
    void MouseEvent(UINT mouseMessage, int x, int y);
    void ButtonDown(TMouseButton button, TPopupMenu* TTrayIcon::*menu, int x, int y);
    void Popup(TPopupMenu* TTrayIcon::*menu, int x, int y);
    // The shell has lost its icons: add again every icon that should be in the tray.
    static void ShellRestarted();
    static void Callback(WPARAM id, LPARAM mouseMessage);
    friend class TCallbackWindow;

    bool animating_ = false;
    TImageList* animateIcons_ = nullptr;
    bool animatePaused_ = false;
    int animateRate_ = 500;
    bool autoPopup_ = true;
    std::unique_ptr<TIcon> icon_;
    TPopupMenu* lbPopupMenu_ = nullptr;
    TPopupMenu* rbPopupMenu_ = nullptr;
    std::string tipHelp_;
    bool visible_ = false;
    int animateIndex_ = 0;
    std::unique_ptr<TIcon> animateIcon_;  // the current animation frame; none while not animating
    int iconId_ = 0;
    bool registered_ = false;
    std::unique_ptr<NOTIFYICONDATAA> notifyData_;  // the record the shell is given, cbSize 88
};

}  // namespace kaptor
