// Menus: items with captions, shortcut keys, check marks and sub-items; the window's menu
// bar and pop-up menus. The Windows menus are built from the items, anew after an item
// changes (a window's menu bar at once, others when next needed), so hidden items simply
// leave them; shortcuts are matched against the items themselves and work whether or not
// their menu is shown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/win/Controls.h"

namespace kaptor {

// Shortcut codes: virtual key plus modifier bits.
using TShortCut = WORD;
inline constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
TShortCut ShortCut(WORD key, TShiftState shift);
std::string ShortCutToText(TShortCut shortCut);

class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut shortCut);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool IsSeparator() const { return caption_ == "-"; }
    int HelpContext = 0;

    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    TMenuItem* Parent() const { return parent_; }
    UINT Command() const { return command_; }

    // Runs OnClick (when enabled: a disabled item does nothing).
    virtual void Click();
    TNotifyEvent OnClick;

    static TMenuItem* FromCommand(UINT command);
    // The item with this shortcut in the tree below this one, or null.
    TMenuItem* FindShortCut(TShortCut shortCut);

    void SetMenu(TMenu* menu) { menu_ = menu; }

private:
    void Changed();
    // Enabled or checked changed: the built menu is updated in place where it can be (a
    // rebuild of a whole menu bar costs far more; a capture switches items every time).
    void StateChanged();
    TMenu* OwningMenu();
    std::string caption_;
    TShortCut shortCut_ = 0;
    bool enabled_ = true, checked_ = false, visible_ = true;
    std::vector<TMenuItem*> items_;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;
    UINT command_;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    TMenuItem* Items() const { return items_; }
    HMENU Handle();
    // Builds a fresh Windows menu from the items.
    virtual void Rebuild();
    // An item was added, removed, shown, hidden or renamed: the built menu is dropped, to be
    // built from the items when next needed (adding a menu's items one by one builds it once).
    virtual void ItemsChanged();
    // Gives the built menu item's enabled and checked state; false when only a rebuild can.
    bool UpdateItemState(const TMenuItem& item);
    // Runs the enabled item with this shortcut; true when there was one.
    bool IsShortCut(WORD key, TShiftState shift);

protected:
    virtual HMENU NewMenu() = 0;
    void Fill(HMENU menu, TMenuItem* parent);
    UniqueMenu handle_;
    TMenuItem* items_;
};

class TMainMenu : public TMenu {
public:
    using TMenu::TMenu;
    void Rebuild() override;
    void ItemsChanged() override;
    TForm* Form = nullptr;  // the form whose menu bar this is

protected:
    HMENU NewMenu() override { return CreateMenu(); }
};

class TPopupMenu : public TMenu {
public:
    using TMenu::TMenu;
    bool AutoPopup = true;
    TComponent* PopupComponent = nullptr;
    TNotifyEvent OnPopup;
    // Shows the menu at screen point (x, y) and runs the chosen item.
    virtual void Popup(int x, int y);

protected:
    HMENU NewMenu() override { return CreatePopupMenu(); }
};

}  // namespace kaptor
