// TFlatSkin: properties, derived colours and the walk that skins the components of its form.
#include <cstring>

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "FlatSkin.h"
#include "FlatSkinKinds.h"
#include "StdCtrls.h"
#include "SysUtils.h"

using namespace skinkinds;

namespace {

// The screen's menu font, as the system reports it.
void CopyMenuFont(TFont& f)
{
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof(m);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0)) return;
    const LOGFONTW& lf = m.lfMenuFont;
    f.SetName(FromWide(lf.lfFaceName, static_cast<int>(wcslen(lf.lfFaceName))));
    f.SetHeight(lf.lfHeight);
    f.SetCharset(lf.lfCharSet);
    TFontStyles st = 0;
    if (lf.lfWeight >= FW_BOLD) st |= fsBold;
    if (lf.lfItalic) st |= fsItalic;
    if (lf.lfUnderline) st |= fsUnderline;
    if (lf.lfStrikeOut) st |= fsStrikeOut;
    f.SetStyle(st);
}

// A canvas on the screen, for the colour depth when the form has no window to ask.
class TScreenCanvas {
public:
    TScreenCanvas() : FDC(GetDC(nullptr)) { FCanvas.SetHandle(FDC); }
    ~TScreenCanvas()
    {
        FCanvas.SetHandle(nullptr);
        ReleaseDC(nullptr, FDC);
    }
    TCanvas& Canvas() { return FCanvas; }

private:
    HDC FDC;
    TCanvas FCanvas;
};

}  // namespace

TFlatSkin::TFlatSkin(TComponent* AOwner) : TComponent(AOwner)
{
    CopyMenuFont(FFont);
    FDisableSubclassing = false;
    if (AOwner) {
        OwnerForm = dynamic_cast<TForm*>(AOwner);
        if (!OwnerForm && IsFrame(AOwner)) OwnerForm = dynamic_cast<TWinControl*>(AOwner);
        if (!OwnerForm) throw EInvalidCast("Invalid class typecast");
    }
    FSelectFontColor = FFont.Color();
    SetSkinContainers(AllSkinContainers);
    SetSkinControls(AllSkinControls);
    if (OwnerForm) {
        TScreenCanvas sc;
        ComputeDerivedColors(sc.Canvas());
    }
    ColorsDirty = false;
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);  // the 148-byte record
    if (GetVersionExA(&vi)) {
        IsWindowsNT = vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
        IsWindowsXP = IsWindowsNT && vi.dwMajorVersion == 5 && vi.dwMinorVersion == 1;
    }
    if (!Designing()) EnsureMenuManager();
}

TFlatSkin::~TFlatSkin()
{
    // The owner form may already be half gone (its own destructor frees us): then there is
    // nothing left to unskin, and the form is not touched.
    bool ownerAlive = OwnerForm && !OwnerForm->InState(csDestroying);
    if (ownerAlive) ApplyToFormComponents(OwnerForm, false, false);
    if (MenuManager && !Designing()) {
        MenuManager->RemoveSkin(this);
        if (ownerAlive) OwnerForm->Update();
        if (MenuManager->Menus.empty()) ReleaseMenuManager();
    }
}

void TFlatSkin::Loaded()
{
    TComponent::Loaded();
    if (MenuManager && !Designing()) MenuManager->AddSkin(this);
}

void TFlatSkin::Notification(TComponent* AComponent, TOperation Operation)
{
    if (!MenuManager) return;
    if (!Designing()) MenuManager->FormNotification(AComponent, Operation);
    TComponent::Notification(AComponent, Operation);
    if (FActive && FAutoDetect && Operation == opInsert && !Designing() && IsAutoDetected(AComponent))
        SkinComponent(AComponent, true, true);
}

// ---------------------------------------------------------------- properties

void TFlatSkin::RedrawMenuBar()
{
    if (OwnerForm && OwnerForm->HandleAllocated()) ::DrawMenuBar(OwnerForm->Handle());
}

void TFlatSkin::SetFont(const TFont& v)
{
    FFont.Assign(v);
    RedrawMenuBar();
}

#define SKIN_COLOR_SETTER(Prop)          \
    void TFlatSkin::Set##Prop(TColor v)  \
    {                                    \
        F##Prop = v;                     \
        ColorsDirty = true;              \
    }
SKIN_COLOR_SETTER(Color)
SKIN_COLOR_SETTER(IconBackColor)
SKIN_COLOR_SETTER(CheckedColor)
SKIN_COLOR_SETTER(SeparatorColor)
SKIN_COLOR_SETTER(SelectBorderColor)
SKIN_COLOR_SETTER(SelectColor)
SKIN_COLOR_SETTER(DisabledColor)
SKIN_COLOR_SETTER(SelectFontColor)
#undef SKIN_COLOR_SETTER

void TFlatSkin::SetMenuBarColor(TColor v)
{
    FMenuBarColor = v;
    ColorsDirty = true;
    RedrawMenuBar();
}

void TFlatSkin::SetUseSystemColors(bool v)
{
    FUseSystemColors = v;
    RedrawMenuBar();
}

void TFlatSkin::SetOverrideOwnerDraw(bool v)
{
    FOverrideOwnerDraw = v;
    if (FActive && OwnerForm) {
        FActive = false;
        ApplyToFormComponents(OwnerForm, false, true);
        FActive = true;
        ApplyToFormComponents(OwnerForm, true, true);
    }
}

void TFlatSkin::SetSkinContainers(TSkinContainers v)
{
    if (v != FSkinContainers && FActive) {
        // off while unskinning, so that each subclass lets go at its invalidation
        FActive = false;
        ApplyToFormComponents(OwnerForm, false, true);
        FActive = true;
        FSkinContainers = v;
        ApplyToFormComponents(OwnerForm, true, true);
    }
    FSkinContainers = v;
}

void TFlatSkin::SetSkinControls(TSkinControls v)
{
    if (v != FSkinControls && FActive) {
        // off while unskinning, so that each subclass lets go at its invalidation
        FActive = false;
        ApplyToFormComponents(OwnerForm, false, true);
        FActive = true;
        FSkinControls = v;
        ApplyToFormComponents(OwnerForm, true, true);
    }
    FSkinControls = v;
}

void TFlatSkin::SetActive(bool v)
{
    if (v == FActive) return;
    FActive = v;
    ApplyToFormComponents(OwnerForm, FActive, true);
    // the window is not made for this: a form without one yet draws its bar when it shows
    RedrawMenuBar();
}

void TFlatSkin::SetDisableSubclassing(bool v)
{
    if (v == FDisableSubclassing) return;
    FDisableSubclassing = v;
    if (!MenuManager) return;
    if (MenuManager->ActiveMenu == this)
        MenuManager->HandOverActiveMenu(this);
    else if (!MenuManager->ActiveMenu && !v)
        MenuManager->HandOverActiveMenu(nullptr);
}

// ---------------------------------------------------------------- derived colours

void TFlatSkin::ComputeDerivedColors(TCanvas& ACanvas)
{
    ColorsDirty = false;
    HDC dc = ACanvas.Handle();
    HighColor = dc && GetDeviceCaps(dc, BITSPIXEL) >= 16;
    ParentLightenNormal = 16;
    ParentLightenHot = 40;
    TCanvas* c = &ACanvas;
    ItemBackColor = FColor;
    IconColumnColor = FIconBackColor;
    if (HighColor) {
        if (FUseDimColor) {
            SelectFillColor = LightenColor(c, FSelectColor, 68);
            CheckedFillColor = LightenColor(c, FSelectColor, 80);
            PressedFillColor = LightenColor(c, FSelectColor, 50);
        } else {
            SelectFillColor = CheckedFillColor = PressedFillColor = FSelectColor;
        }
        PopupBorderColor = ShadeColor(c, clBtnFace, 90);
        PopupShadowColor = ShadeColor(c, clBtnFace, 76);
    } else {
        SelectFillColor = FSelectColor;
        CheckedFillColor = clWhite;
        PressedFillColor = clSilver;
        PopupBorderColor = PopupShadowColor = clBtnShadow;
    }
    SelectFrameColor = FSelectBorderColor;
    SelectTextColor = FSelectFontColor;
    BarColor = FMenuBarColor;
    DisabledTextColor = FDisabledColor;
    CheckMarkColor = FCheckedColor;
    SeparatorLineColor = FSeparatorColor;
    if (!FUseSystemColors) return;
    SelectTextColor = FFont.Color();
    SelectFrameColor = clHighlight;
    BarColor = clBtnFace;
    CheckMarkColor = clHighlight;
    if (HighColor) {
        ItemBackColor = LightenColor(c, clBtnFace, 86);
        IconColumnColor = LightenColor(c, clBtnFace, 16);
        SelectFillColor = LightenColor(c, clHighlight, 68);
        DisabledTextColor = LightenColor(c, clBtnShadow, 10);
        SeparatorLineColor = LightenColor(c, clBtnShadow, 25);
        CheckedFillColor = LightenColor(c, clHighlight, 80);
        PressedFillColor = LightenColor(c, clHighlight, 50);
    } else {
        ItemBackColor = clWhite;
        IconColumnColor = clBtnFace;
        SelectFillColor = clWhite;
        DisabledTextColor = clBtnShadow;
        SeparatorLineColor = clBtnShadow;
        CheckedFillColor = clWhite;
        PressedFillColor = clWhite;
    }
}

// ---------------------------------------------------------------- the walk

void TFlatSkin::ApplyToFormComponents(TComponent* AContainer, bool Skin, bool Redraw)
{
    if (!AContainer) return;
    int n = AContainer->ComponentCount();
    for (int i = 0; i < n && i < AContainer->ComponentCount(); ++i)
        SkinComponent(AContainer->Components(i), Skin, Redraw);
}

bool TFlatSkin::Accepts(TControl* c) const
{
    auto on = [&](TSkinControl k) { return (FSkinControls & SkinControlBit(k)) != 0; };
    return (on(skCombo) && c->Is<TCustomCombo>()) ||
           (on(skListBox) && IsListBox(c)) ||
           (on(skEdit) && (c->Is<TEdit>() || IsLabeledEdit(c))) ||
           (on(skMaskEdit) && (NameIs(c, "TMaskEdit") || NameIs(c, "TDBEdit"))) ||
           (on(skMemo) && IsMemo(c)) ||
           (on(skRichEdit) && IsRichEdit(c)) ||
           (on(skCheckBox) && c->Is<TCustomCheckBox>()) ||
           (on(skRadioButton) && c->Is<TRadioButton>()) ||
           (on(skButton) && (NameIs(c, "TButton") || NameIs(c, "TDBNavigator") ||
                             NameIs(c, "TDBLookupComboBox"))) ||
           (on(skBitBtn) && NameIs(c, "TBitBtn")) ||
           (on(skSpeedButton) && IsSpeedButton(c)) ||
           (on(skUpDown) && NameIs(c, "TUpDown")) ||
           (on(skPanel) && c->Is<TCustomPanel>()) ||
           (on(skGroupBox) && c->Is<TCustomGroupBox>()) ||
           (on(skTreeView) && IsTreeView(c)) ||
           (on(skListView) && IsListView(c)) ||
           (on(skProgressBar) && c->Is<TProgressBar>()) ||
           (on(skHotKey) && IsHotKey(c));
}

bool TFlatSkin::Admits(TWinControl* p) const
{
    if (!p) return false;
    auto on = [&](TSkinContainer k) { return (FSkinContainers & SkinContainerBit(k)) != 0; };
    return (on(skcForm) && p->Is<TForm>()) ||
           (on(skcFrame) && (IsFrame(p) || NameIs(p, "TDBCtrlPanel"))) ||
           (on(skcToolbar) && IsToolBar(p)) ||
           (on(skcCoolbar) && IsCoolBar(p)) ||
           (on(skcControlbar) && IsControlBar(p)) ||
           (on(skcPanel) && p->Is<TCustomPanel>()) ||
           (on(skcScrollBox) && IsScrollBox(p)) ||
           (on(skcGroupBox) && p->Is<TCustomGroupBox>()) ||
           (on(skcTabSheet) && (p->Is<TTabSheet>() || IsTabControl(p) || NameIs(p, "TdxTabSheet"))) ||
           (on(skcPageScroller) && IsPageScroller(p));
}

void TFlatSkin::AttachSubclass(TControl* c)
{
    auto* s = new TControlSubClass(this);
    s->SetControl(c);
    if (!TControlSubClass::IsSubclassProc(c->WindowProc())) {
        s->OrgWindowProc = c->WindowProc();
        c->SetWindowProc(s->SubclassMethod());
    }
    s->OwnerMenu = this;
    if (auto* e = dynamic_cast<TCustomEdit*>(c)) {
        s->SavedCtl3D = e->Ctl3D();
        s->SavedBorderStyle = e->BorderStyle();
    } else if (NameIs(c, "TDBLookupComboBox")) {
        if (auto* w = dynamic_cast<TWinControl*>(c)) s->SavedCtl3D = w->Ctl3D();
    } else if (IsListBox(c) || IsListView(c) || IsTreeView(c)) {
        s->SavedCtl3D = ListCtl3D(c);
        s->SavedBorderStyle = ListBorderStyle(c);
    }
}

void TFlatSkin::SkinComponent(TComponent* AComponent, bool Skin, bool Redraw)
{
    if (!AComponent) return;
    SkinMenusAndBars(AComponent, Skin, Redraw);
    if (!Designing()) {
        auto* c = dynamic_cast<TControl*>(AComponent);
        if (c && Accepts(c) && Admits(c->Parent())) {
            if (Skin && c->Tag() != SkinTagExclude && c->Parent()->Tag() != SkinTagExclude)
                AttachSubclass(c);
            if (Redraw) c->Invalidate();
        }
    }
    if (AComponent->Is<TCustomRadioGroup>() && (FSkinContainers & SkinContainerBit(skcGroupBox)))
        ApplyToFormComponents(AComponent, Skin, Redraw);
    if ((IsFrame(AComponent) && (FSkinContainers & SkinContainerBit(skcFrame))) ||
        NameIs(AComponent, "TDBNavigator") || AComponent->Is<TForm>())
        ApplyToFormComponents(AComponent, Skin, Redraw);
}
