// The flat control skin: colour and bitmap routines, the skin component TFlatSkin that a form
// carries, the control subclass that paints one control flat, and the global manager that ties
// the skin components of a program together and serves forms that have none of their own.
#pragma once
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "Controls.h"
#include "Forms.h"
#include "Graphics.h"

class TMenuItem;
class TMenu;
class TToolBar;
class TToolButton;
class TControlBar;
class TFlatSkin;

// ---------------------------------------------------------------- colour and bitmap routines
// Colours are resolved (system colours included) before any arithmetic; the canvas argument
// is there because callers pass it and plays no part in the result.

// Darkens each channel by Value (green by 2 less), clamped to 0..255.
TColor ShadeColor(TCanvas* ACanvas, TColor AColor, int32_t Value);
// Per-channel average; each share is truncated before it is summed.
TColor AverageColor(std::initializer_list<TColor> Colors);
TColor AverageColor(const std::vector<TColor>& Colors);
// Moves each channel towards 255 by Percent of the distance (above 100 counts as 100).
TColor LightenColor(TCanvas* ACanvas, TColor AColor, int32_t Percent);
// The gray of a colour: channel mean plus Value, at most 240.
TColor GrayOfColor(TCanvas* ACanvas, TColor AColor, int32_t Value);
// In place, pixel by pixel: GrayOfColor / LightenColor of every pixel.
void GrayBitmapFilter(TBitmap& ABitmap, int32_t Value);
void DimBitmapFilter(TBitmap& ABitmap, int32_t Percent);
// Paints every pixel that differs from the bitmap's bottom-left pixel at (X, Y) + its position.
void DrawImageShadow(TBitmap& ABitmap, TCanvas& ACanvas, int32_t X, int32_t Y, TColor AColor);
// Small glyphs drawn with the canvas's current pen.
void DrawSubmenuArrow(TCanvas& ACanvas, int32_t X, int32_t Y);
// Direction 0: up, 1: down, anything else draws nothing.
void DrawUpDownArrows(TCanvas& ACanvas, int32_t X, int32_t Y, int32_t Direction);
// (X, Y) is the bottom-left corner of the check box.
void DrawTickMark(TCanvas& ACanvas, int32_t X, int32_t Y);

// ---------------------------------------------------------------- sets of the skin component

enum TSkinContainer {
    skcForm,
    skcFrame,
    skcToolbar,
    skcCoolbar,
    skcControlbar,
    skcPanel,
    skcScrollBox,
    skcGroupBox,
    skcTabSheet,
    skcPageScroller
};
// Bit n is member n (two bytes in form files).
using TSkinContainers = uint16_t;
constexpr TSkinContainers AllSkinContainers = 0x03FF;

enum TSkinControl {
    skMainMenu,
    skPopupMenu,
    skToolbar,
    skControlbar,
    skCombo,
    skListBox,
    skEdit,
    skMaskEdit,
    skMemo,
    skRichEdit,
    skMiscEdit,
    skCheckBox,
    skRadioButton,
    skButton,
    skBitBtn,
    skSpeedButton,
    skUpDown,
    skPanel,
    skGroupBox,
    skTreeView,
    skListView,
    skProgressBar,
    skHotKey
};
// Bit n is member n (four bytes in form files).
using TSkinControls = uint32_t;
constexpr TSkinControls AllSkinControls = 0x007FFFFF;

constexpr TSkinContainers SkinContainerBit(TSkinContainer c) { return TSkinContainers(1u << c); }
constexpr TSkinControls SkinControlBit(TSkinControl c) { return TSkinControls(1u << c); }

// Tags other components carry for the skin.
constexpr intptr_t SkinTagExclude = 999;       // keep out of the skin
constexpr intptr_t SkinTagParentColor = 1000;  // face colour from the parent

// The private messages menu drawing posts to the application window for a popup border.
constexpr UINT WM_SKIN_POPUPBORDER_ITEM = 0xBCB3;    // lParam: the menu item
constexpr UINT WM_SKIN_POPUPBORDER_WINDOW = 0xBCB4;  // wParam: right to left, lParam: the window

// ---------------------------------------------------------------- control subclass

// Sits between one control and its own window procedure: the control's procedure runs first,
// then the control is painted flat. Owned by the TFlatSkin that attached it.
class TControlSubClass : public TComponent {
public:
    explicit TControlSubClass(TComponent* AOwner);
    // Gives a control that still runs through this object its window procedure back.
    ~TControlSubClass() override;
    const char* ClassName() const override { return "TControlSubClass"; }

    TControl* Control = nullptr;
    // While set, WM_DESTROY (window re-creation) leaves the subclass in place.
    bool KeepOnDestroy = false;
    bool Hot = false;
    bool MouseDown = false;
    bool SpaceDown = false;
    bool SpaceHeld = false;
    bool Focused = false;
    TWndMethod OrgWindowProc;
    TFlatSkin* OwnerMenu = nullptr;
    bool SavedCtl3D = false;
    TBorderStyle SavedBorderStyle = bsNone;
    uint32_t LastMessage = 0;
    // While a panel handles a WM_PAINT of its own: the region that paint covers (client
    // coordinates). Null otherwise, and then painters draw the whole look.
    HRGN PaintRegion = nullptr;

    void ControlWindowProc(TMessage& Message);
    void PaintSkinnedControl();

    // Sets Control and asks to be told when the control goes, so that Control never dangles.
    void SetControl(TControl* AControl);

    // The window method that makes a control run through this object.
    TWndMethod SubclassMethod() { return WndMethod<&TControlSubClass::ControlWindowProc>(this); }
    // Whether a control's window procedure is some subclass's ControlWindowProc.
    static bool IsSubclassProc(const TWndMethod& m);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Procedure back, look restored; the skin was switched off.
    void DetachInactive(TMessage& Message);
    // Procedure back; the control's window goes for good.
    void DetachDestroyed();
    // Gives the control its window procedure back when it still runs through this object.
    void RestoreWindowProc();
    // Nesting depth of ControlWindowProc: a detach inside a nested message frees the object
    // only when the outermost call returns.
    int FDepth = 0;
    bool FDetached = false;
};

// ---------------------------------------------------------------- skin component

class TFlatSkin : public TComponent {
public:
    explicit TFlatSkin(TComponent* AOwner);
    ~TFlatSkin() override;
    const char* ClassName() const override { return "TFlatSkin"; }

    // Published properties, in their declared (and loading) order.
    uint8_t DimLevel() const { return FDimLevel; }
    void SetDimLevel(uint8_t v) { FDimLevel = v; }
    uint8_t GrayLevel() const { return FGrayLevel; }
    void SetGrayLevel(uint8_t v) { FGrayLevel = v; }
    TFont& Font() { return FFont; }
    void SetFont(const TFont& v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    bool DrawMenuBar() const { return FDrawMenuBar; }
    void SetDrawMenuBar(bool v) { FDrawMenuBar = v; }
    TColor IconBackColor() const { return FIconBackColor; }
    void SetIconBackColor(TColor v);
    TColor MenuBarColor() const { return FMenuBarColor; }
    void SetMenuBarColor(TColor v);
    TColor SelectColor() const { return FSelectColor; }
    void SetSelectColor(TColor v);
    TColor SelectBorderColor() const { return FSelectBorderColor; }
    void SetSelectBorderColor(TColor v);
    TColor SelectFontColor() const { return FSelectFontColor; }
    void SetSelectFontColor(TColor v);
    TColor DisabledColor() const { return FDisabledColor; }
    void SetDisabledColor(TColor v);
    TColor SeparatorColor() const { return FSeparatorColor; }
    void SetSeparatorColor(TColor v);
    TColor CheckedColor() const { return FCheckedColor; }
    void SetCheckedColor(TColor v);
    int IconWidth() const { return FIconWidth; }
    void SetIconWidth(int v) { FIconWidth = v; }
    bool DrawSelect() const { return FDrawSelect; }
    void SetDrawSelect(bool v) { FDrawSelect = v; }
    bool UseSystemColors() const { return FUseSystemColors; }
    void SetUseSystemColors(bool v);
    bool UseDimColor() const { return FUseDimColor; }
    void SetUseDimColor(bool v) { FUseDimColor = v; }
    bool OverrideOwnerDraw() const { return FOverrideOwnerDraw; }
    void SetOverrideOwnerDraw(bool v);
    bool Gradient() const { return FGradient; }
    void SetGradient(bool v) { FGradient = v; }
    bool FlatMenu() const { return FFlatMenu; }
    void SetFlatMenu(bool v) { FFlatMenu = v; }
    bool AutoDetect() const { return FAutoDetect; }
    void SetAutoDetect(bool v) { FAutoDetect = v; }
    TSkinContainers SkinContainers() const { return FSkinContainers; }
    void SetSkinContainers(TSkinContainers v);
    TSkinControls SkinControls() const { return FSkinControls; }
    void SetSkinControls(TSkinControls v);
    bool Active() const { return FActive; }
    void SetActive(bool v);
    bool DisableSubclassing() const { return FDisableSubclassing; }
    void SetDisableSubclassing(bool v);

    // Private state that all drawing of the skin reads.
    TWinControl* OwnerForm = nullptr;  // form or frame that owns this component
    bool ColorsDirty = false;
    TColor ItemBackColor = 0;
    TColor IconColumnColor = 0;
    TColor SelectFillColor = 0;
    TColor SelectFrameColor = 0;
    TColor SelectTextColor = 0;
    TColor CheckedFillColor = 0;
    TColor PressedFillColor = 0;
    TColor CheckMarkColor = 0;
    TColor BarColor = 0;
    TColor DisabledTextColor = 0;
    TColor SeparatorLineColor = 0;
    TColor PopupBorderColor = 0;
    TColor PopupShadowColor = 0;
    bool HighColor = false;
    int ParentLightenNormal = 16;
    int ParentLightenHot = 40;
    bool PopupBorderBusy = false;
    bool IsWindowsNT = false;
    bool IsWindowsXP = false;

    void ApplyToFormComponents(TComponent* AContainer, bool Skin, bool Redraw);
    void SkinComponent(TComponent* AComponent, bool Skin, bool Redraw);
    void HookMenuItems(TMenuItem* AItem, bool Skin);
    void ComputeDerivedColors(TCanvas& ACanvas);

    // Handlers the walk installs (menu drawing, tool bar and control bar drawing).
    void MeasureItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height);
    void DrawItem(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected);
    // State: the custom-draw item state flags (CDIS_*).
    void ToolBarCustomDrawButton(TToolBar* Sender, TToolButton* Button, UINT State,
                                 bool& DefaultDraw);
    // Options: the band paint options (BPO_* bits), left empty by the handler.
    void ControlBarBandPaint(TObject* Sender, TControl* Control, TCanvas* ACanvas, TRect& ARect,
                             unsigned& Options);
    // Flat border and shadow of a popup menu window (asked for through the manager).
    void DrawPopupBorder(HWND Wnd, bool RightToLeft);
    // The menus, tool bars and control bars in the container (and what it owns) that draw
    // through this skin go to Successor's handlers, or are unskinned when there is none: nothing
    // is left pointing at a skin that stops serving.
    void HandOverMenusAndBars(TComponent* AContainer, TFlatSkin* Successor);

protected:
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Asks the platform to redraw the owner form's menu bar.
    void RedrawMenuBar();
    bool Designing() const { return InState(csDesigning); }
    // Steps of the walk for menus, tool bars and control bars.
    void SkinMenusAndBars(TComponent* AComponent, bool Skin, bool Redraw);
    // Kinds that AutoDetect skins when they are inserted later.
    static bool IsAutoDetected(TComponent* AComponent);
    bool Accepts(TControl* c) const;
    bool Admits(TWinControl* parent) const;
    void AttachSubclass(TControl* c);

    uint8_t FDimLevel = 30;
    uint8_t FGrayLevel = 10;
    TFont FFont;
    TColor FColor = clBtnFace;
    bool FDrawMenuBar = false;
    TColor FIconBackColor = clBtnFace;
    TColor FMenuBarColor = clBtnFace;
    TColor FSelectColor = clHighlight;
    TColor FSelectBorderColor = clHighlight;
    TColor FSelectFontColor = 0;
    TColor FDisabledColor = clInactiveCaption;
    TColor FSeparatorColor = clBtnFace;
    TColor FCheckedColor = clHighlight;
    int FIconWidth = 24;
    bool FDrawSelect = true;
    bool FUseSystemColors = true;
    bool FUseDimColor = false;
    bool FOverrideOwnerDraw = false;
    bool FGradient = false;
    bool FFlatMenu = false;
    bool FAutoDetect = false;
    TSkinContainers FSkinContainers = 0;
    TSkinControls FSkinControls = 0;
    bool FActive = false;
    bool FDisableSubclassing = false;
};

// ---------------------------------------------------------------- manager

class TFlatSkinManager {
public:
    TFlatSkinManager();
    virtual ~TFlatSkinManager();
    TFlatSkinManager(const TFlatSkinManager&) = delete;
    TFlatSkinManager& operator=(const TFlatSkinManager&) = delete;

    std::vector<TFlatSkin*> Menus;
    std::vector<TForm*> PendingForms;
    std::vector<TForm*> SkinnedForms;
    TFlatSkin* ActiveMenu = nullptr;

    void AddSkin(TFlatSkin* Menu);
    void RemoveSkin(TFlatSkin* Menu);
    void FormNotification(TComponent* AComponent, TOperation Operation);
    TFlatSkin* FindOtherActiveMenu(TFlatSkin* Excluded) const;
    void HandOverActiveMenu(TFlatSkin* Leaving);
    void CollectUnskinnedForms();
    void RestoreFormControls(TForm* AForm);
    bool MainWindowHook(TMessage& Message);

private:
    // The border request by item: finds the popup window that shows the item.
    void PopupBorderForItem(TMenuItem* Item);
    int FHookId = 0;
};

extern TFlatSkinManager* MenuManager;
void EnsureMenuManager();
void ReleaseMenuManager();
// Whether the control holds the mouse capture and the cursor, taken relative to the control's
// Left and Top, lies in R (its bottom row excluded).
bool IsMouseOverCapturedControl(TControl* AControl, const TRect& R);
// Whether c is the control itself or lies anywhere inside it.
bool ControlLiesOn(TControl* c, TControl* container);
// The colour of the parent's background (the control's own colour when it has no parent).
TColor ParentColorOf(TControl* c);
