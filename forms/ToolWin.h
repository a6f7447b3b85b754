// Bars: the tool bar over the system tool bar (buttons, images, custom drawing of each button),
// the control bar whose bands are painted by the program, and the cool bar and page scroller as
// containers.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

#include "Controls.h"

class TToolBar;
class TCustomImageList;
class TMenuItem;
class TPopupMenu;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

// One button of a tool bar; the bar lays it out (BoundsRect is where the bar put it).
class TToolButton : public TControl {
public:
    explicit TToolButton(TComponent* AOwner);
    ~TToolButton() override;
    const char* ClassName() const override { return "TToolButton"; }

    void SetParent(TWinControl* AParent) override;
    TToolBar* ToolBar() const { return FToolBar; }
    // Position among the bar's buttons, -1 off a bar.
    int Index() const;

    TToolButtonStyle Style() const { return FStyle; }
    void SetStyle(TToolButtonStyle v);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int v);
    // Pressed in (check buttons).
    bool Down() const { return FDown; }
    void SetDown(bool v);
    bool Indeterminate() const { return FIndeterminate; }
    void SetIndeterminate(bool v);
    void SetEnabled(bool v) override;
    TMenuItem* MenuItem() const { return FMenuItem; }
    void SetMenuItem(TMenuItem* v);
    TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
    void SetDropdownMenu(TPopupMenu* v);

    void Click() override;

protected:
    void SetTextCore(const std::string& v) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void Changed();
    TToolBar* FToolBar = nullptr;
    TToolButtonStyle FStyle = tbsButton;
    int FImageIndex = -1;
    bool FDown = false, FIndeterminate = false;
    TMenuItem* FMenuItem = nullptr;
    TPopupMenu* FDropdownMenu = nullptr;
    friend class TToolBar;
};

// The custom-draw item state of the common controls (CDIS_ flags).
using TCustomDrawState = UINT;
using TTBCustomDrawBtnEvent = std::function<void(TToolBar* Sender, TToolButton* Button,
                                                 TCustomDrawState State, bool& DefaultDraw)>;

class TToolBar : public TWinControl {
public:
    explicit TToolBar(TComponent* AOwner);
    ~TToolBar() override;
    const char* ClassName() const override { return "TToolBar"; }

    int ButtonCount() const { return static_cast<int>(FButtons.size()); }
    TToolButton* Buttons(int i) const { return FButtons.at(static_cast<size_t>(i)); }

    bool Flat() const { return FFlat; }
    void SetFlat(bool v);
    // Captions beside the images instead of under them.
    bool List() const { return FList; }
    void SetList(bool v);
    bool ShowCaptions() const { return FShowCaptions; }
    void SetShowCaptions(bool v);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    int ButtonWidth() const { return FButtonWidth; }
    int ButtonHeight() const { return FButtonHeight; }
    void SetButtonWidth(int v);
    void SetButtonHeight(int v);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* v);
    TCustomImageList* HotImages() const { return FHotImages; }
    void SetHotImages(TCustomImageList* v);
    TCustomImageList* DisabledImages() const { return FDisabledImages; }
    void SetDisabledImages(TCustomImageList* v);

    // On the button's context while OnCustomDrawButton runs.
    TCanvas& Canvas() { return FCanvas; }
    TTBCustomDrawBtnEvent OnCustomDrawButton;

    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void SetImageList(TCustomImageList*& field, TCustomImageList* v, UINT msg);
    // Puts the buttons into the window again and reads back where they went.
    void RebuildButtons();
    void UpdateButtonBounds();
    void CustomDraw(TMessage& m);
    void InsertButton(TToolButton* b);
    void RemoveButton(TToolButton* b);

    std::vector<TToolButton*> FButtons;
    bool FFlat = false, FList = false, FShowCaptions = false, FTransparent = false;
    int FButtonWidth = 23, FButtonHeight = 22;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FHotImages = nullptr;
    TCustomImageList* FDisabledImages = nullptr;
    TCanvas FCanvas;
    bool FRebuilding = false;
    friend class TToolButton;
};

enum TBandPaintOption : unsigned { bpoGrabber = 1, bpoFrame = 2 };
using TBandPaintOptions = unsigned;  // or-ed TBandPaintOption bits
class TControlBar;
using TBandPaintEvent = std::function<void(TObject* Sender, TControl* Control, TCanvas* Canvas,
                                           TRect& ARect, TBandPaintOptions& Options)>;

// A bar whose child controls are bands, each with a grabber and a frame around it.
class TControlBar : public TCustomControl {
public:
    explicit TControlBar(TComponent* AOwner);
    const char* ClassName() const override { return "TControlBar"; }
    // The band around a child control.
    static TRect BandRect(const TControl* c);
    TBandPaintEvent OnBandPaint;

protected:
    void Paint() override;
};

// A bar of bands over the system rebar; here only a container.
class TCoolBar : public TWinControl {
public:
    explicit TCoolBar(TComponent* AOwner);
    const char* ClassName() const override { return "TCoolBar"; }

protected:
    void CreateParams(TCreateParams& Params) override;
};

// Scrolls one child that is larger than itself; here only a container.
class TPageScroller : public TWinControl {
public:
    explicit TPageScroller(TComponent* AOwner);
    const char* ClassName() const override { return "TPageScroller"; }

protected:
    void CreateParams(TCreateParams& Params) override;
};
