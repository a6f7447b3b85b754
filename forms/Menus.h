// Menus: the form's menu bar (TMainMenu), popup menus (TPopupMenu) and their items, over the
// system's menus. Owner-drawn items raise OnMeasureItem / OnDrawItem from WM_MEASUREITEM and
// WM_DRAWITEM; a changed item rebuilds the system menu it stands in.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

class TMenu;
class TMenuItem;
class TCustomImageList;
class TBitmap;
class TForm;

// Short cuts are TShortCut values (Controls.h): a key with the scShift/scCtrl/scAlt bits.
TShortCut ShortCut(WORD Key, TShiftState Shift);
// "Ctrl+S", "Shift+F5", "Del"...; empty for 0.
std::string ShortCutToText(TShortCut s);

using TMenuMeasureItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;
    const char* ClassName() const override { return "TMenuItem"; }

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& v);
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut v);
    bool Checked() const { return FChecked; }
    void SetChecked(bool v);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool v);
    bool Default() const { return FDefault; }
    void SetDefault(bool v);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v);
    bool Visible() const { return FVisible; }
    void SetVisible(bool v);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int v);
    // The item's own picture (made on first use); shown when no image list gives one.
    TBitmap& Bitmap();
    bool HasBitmap() const { return FBitmap != nullptr; }
    // Images for the sub-items of this item (before the menu's Images).
    TCustomImageList* SubMenuImages() const { return FSubMenuImages; }
    void SetSubMenuImages(TCustomImageList* v);

    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int i) const { return FItems.at(static_cast<size_t>(i)); }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item);
    int IndexOf(const TMenuItem* item) const;
    TMenuItem* Parent() const { return FParent; }
    int MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }
    // The menu this item belongs to (through its parents), or null.
    TMenu* GetParentMenu() const;
    bool IsLine() const { return FCaption == "-"; }

    // The system menu of the sub-items (made on first use); the id of the item's command.
    HMENU Handle();
    UINT Command() const { return FCommand; }

    // Fires OnClick (a click on the item, or its short cut).
    virtual void Click();

    TNotifyEvent OnClick;
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnDrawItem;

    // Called with WM_MEASUREITEM / WM_DRAWITEM of the item: the handler, or the default look.
    void MeasureItem(TCanvas& ACanvas, int& Width, int& Height);
    void DrawItem(TCanvas& ACanvas, const TRect& ARect, bool Selected);

    // Puts the sub-items into the system menu again.
    void RebuildHandle();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Something shown of the item changed: its parent's system menu is built again.
    void Changed();
    void FillEntry(MENUITEMINFOW& mi, std::wstring& text);

    std::string FCaption;
    TShortCut FShortCut = 0;
    bool FChecked = false, FRadioItem = false, FDefault = false;
    bool FEnabled = true, FVisible = true;
    int FImageIndex = -1;
    std::unique_ptr<TBitmap> FBitmap;
    TCustomImageList* FSubMenuImages = nullptr;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr;  // set on the root item of a menu
    HMENU FHandle = nullptr;
    UINT FCommand = 0;
    friend class TMenu;
    friend class TMainMenu;
    friend class TPopupMenu;
};

// Base of the two menus: the root item, owner-draw mode, images and reading order.
class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    const char* ClassName() const override { return "TMenu"; }

    TMenuItem* Items() const { return FItems; }
    bool OwnerDraw() const { return FOwnerDraw; }
    void SetOwnerDraw(bool v);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* v);
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode v);
    bool IsRightToLeft() const { return FBiDiMode != bdLeftToRight; }
    // The system menu (made on first use).
    virtual HMENU Handle() = 0;
    // The window that gets the menu's drawing messages.
    virtual HWND WindowHandle() const = 0;
    // The item with that command id, or null.
    TMenuItem* FindItem(UINT command) const;
    // Runs the click of the item with that command id; false when none has it.
    bool DispatchCommand(UINT command);
    // The menu, of those that exist, whose items hold this one, or null. Made for pointers kept
    // across a posted message: the item is compared, never read, so it may be a freed one.
    static TMenu* Holding(const TMenuItem* item);

    // Called when an item changed; the bar or popup is rebuilt.
    virtual void MenuChanged(TMenuItem* item);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    TMenuItem* FItems;
    bool FOwnerDraw = false;
    TBiDiMode FBiDiMode = bdLeftToRight;
    TCustomImageList* FImages = nullptr;
};

// The menu bar of the form that owns it (the form's Menu).
class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* AOwner);
    ~TMainMenu() override;
    const char* ClassName() const override { return "TMainMenu"; }
    HMENU Handle() override;
    HWND WindowHandle() const override;
    void MenuChanged(TMenuItem* item) override;
    // The form it shows on (set by TForm::SetMenu).
    TForm* Form() const { return FForm; }

private:
    HMENU FHandle = nullptr;
    TForm* FForm = nullptr;
    friend class TForm;
};

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;
    const char* ClassName() const override { return "TPopupMenu"; }
    HMENU Handle() override;
    HWND WindowHandle() const override;
    // Shows the menu at a screen point and waits until it closes; a chosen item's click runs.
    virtual void Popup(int X, int Y);
    TNotifyEvent OnPopup;

private:
    HMENU FHandle = nullptr;
};

// The measure and draw messages of owner-drawn menu items reaching any window: true when m was
// one of them (m.Result set).
bool DispatchMenuOwnerDraw(TMessage& m);
