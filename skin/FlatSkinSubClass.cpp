// TControlSubClass: the message table between a skinned control and its own window procedure.
#include "Buttons.h"
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "FlatSkin.h"
#include "FlatSkinKinds.h"
#include "FlatSkinPaint.h"
#include "StdCtrls.h"

using namespace skinkinds;

TControlSubClass::TControlSubClass(TComponent* AOwner) : TComponent(AOwner) {}

TControlSubClass::~TControlSubClass()
{
    // A control must never call a freed subclass.
    RestoreWindowProc();
    if (Control) RemoveFreeNotification(Control);
}

bool TControlSubClass::IsSubclassProc(const TWndMethod& m)
{
    // the code part is one for every object
    static const TWndMethod::Thunk code =
        WndMethod<&TControlSubClass::ControlWindowProc>(static_cast<TControlSubClass*>(nullptr)).Code();
    return m.Code() == code;
}

void TControlSubClass::SetControl(TControl* AControl)
{
    if (Control == AControl) return;
    if (Control) RemoveFreeNotification(Control);
    Control = AControl;
    if (Control) FreeNotification(Control);
}

void TControlSubClass::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == Control) Control = nullptr;
}

void TControlSubClass::RestoreWindowProc()
{
    if (Control && Control->WindowProc() == SubclassMethod()) Control->SetWindowProc(OrgWindowProc);
}

void TControlSubClass::DetachInactive(TMessage& Message)
{
    Message.Result = 1;
    try {
        if (TControl* c = Control) {
            RestoreWindowProc();
            if (auto* e = dynamic_cast<TCustomEdit*>(c)) e->SetCtl3D(SavedCtl3D);
            if (IsRichEdit(c)) {
                if (auto* e = dynamic_cast<TCustomEdit*>(c)) e->SetBorderStyle(SavedBorderStyle);
            }
            if (NameIs(c, "TDBLookupComboBox"))
                if (auto* w = dynamic_cast<TWinControl*>(c)) w->SetCtl3D(SavedCtl3D);
            if (IsListBox(c) || IsListView(c) || IsTreeView(c)) SetListLook(c, SavedCtl3D, SavedBorderStyle);
            SetControl(nullptr);
        }
    } catch (...) {
    }
    FDetached = true;
}

void TControlSubClass::DetachDestroyed()
{
    try {
        RestoreWindowProc();
        KeepOnDestroy = false;
        SetControl(nullptr);
    } catch (...) {
    }
    FDetached = true;
}

void TControlSubClass::ControlWindowProc(TMessage& Message)
{
    ++FDepth;
    struct Leave {
        TControlSubClass* s;
        ~Leave()
        {
            // the very last action: nothing of the object is read after it is freed
            if (--s->FDepth == 0 && s->FDetached) delete s;
        }
    } leave{this};

    // A panel's frame needs drawing again only where its paint drew over it: keep the region that
    // the paint is about to validate.
    struct Region {
        HRGN Handle = nullptr;
        ~Region()
        {
            if (Handle) DeleteObject(Handle);
        }
    } paintRegion;
    if (Message.Msg == WM_PAINT && !Message.WParam && Control && Control->Is<TCustomPanel>()) {
        auto* w = static_cast<TWinControl*>(Control);
        if (w->HandleAllocated()) {
            paintRegion.Handle = CreateRectRgn(0, 0, 0, 0);
            if (GetUpdateRgn(w->Handle(), paintRegion.Handle, FALSE) == ERROR) {
                DeleteObject(paintRegion.Handle);
                paintRegion.Handle = nullptr;
            }
        }
    }

    bool graphic = Control && Control->Is<TGraphicControl>();
    if ((Message.Msg == WM_PAINT && graphic) ||
        (Message.Msg == WM_NCPAINT && Control && NameIs(Control, "TDBLookupComboBox")))
        Message.Result = 1;
    else if (OrgWindowProc)
        OrgWindowProc(Message);
    // the control's own handling may have detached us or freed the control
    if (FDetached) return;
    if (OwnerMenu && !OwnerMenu->Active()) {
        DetachInactive(Message);
        return;
    }
    LastMessage = Message.Msg;
    TControl* c = Control;
    if (!c) return;
    switch (Message.Msg) {
    case WM_DESTROY:
        if (!KeepOnDestroy) DetachDestroyed();
        break;
    case WM_SETFOCUS:
        Hot = true;
        PaintSkinnedControl();
        break;
    case WM_KILLFOCUS:
        Hot = false;
        PaintSkinnedControl();
        break;
    case WM_PAINT: {
        KeepOnDestroy = false;
        HRGN outer = PaintRegion;
        PaintRegion = paintRegion.Handle;
        PaintSkinnedControl();
        PaintRegion = outer;
        break;
    }
    case WM_WINDOWPOSCHANGED:
    case EM_GETMODIFY:
    case CM_CTL3DCHANGED:
    case CM_PARENTCTL3DCHANGED:
    case CM_INVALIDATE:
    case CN_PARENTNOTIFY:
        KeepOnDestroy = true;
        break;
    case WM_NCPAINT:
        if (IsListBox(c) || IsTreeView(c) || IsListView(c)) PaintListFrame(*this);
        break;
    case BM_GETCHECK:
    case BM_SETCHECK:
        Hot = false;
        PaintSkinnedControl();
        break;
    case BM_SETSTATE:
        PaintSkinnedControl();
        break;
    case WM_KEYDOWN:
        if (Message.WParam == VK_SPACE) {
            SpaceDown = true;
            if (!SpaceHeld) PaintSkinnedControl();
            SpaceHeld = true;
        }
        break;
    case WM_KEYUP:
        if (Message.WParam == VK_SPACE) {
            SpaceDown = false;
            SpaceHeld = false;
            PaintSkinnedControl();
        }
        break;
    case WM_MOUSEMOVE:
        if (c->Enabled() && NameIs(c, "TUpDown")) PaintSkinnedControl();
        break;
    case WM_LBUTTONDOWN:
        MouseDown = true;
        PaintSkinnedControl();
        break;
    case WM_LBUTTONUP:
        MouseDown = false;
        if (graphic)
            c->Repaint();
        else
            PaintSkinnedControl();
        break;
    case WM_LBUTTONDBLCLK:
        if (c->Is<TButton>() || IsSpeedButton(c) || c->Is<TCheckBox>())
            c->Perform(WM_LBUTTONDOWN, Message.WParam, Message.LParam);
        break;
    case CM_FOCUSCHANGED:
    case CM_PARENTCOLORCHANGED:
    case CM_TEXTCHANGED:
        PaintSkinnedControl();
        break;
    case CM_ENABLEDCHANGED:
        if (Message.WParam == 0) Hot = false;
        PaintSkinnedControl();
        break;
    case CM_MOUSEENTER:
        if (c->Enabled()) {
            Hot = true;
            if (graphic)
                c->Repaint();
            else
                PaintSkinnedControl();
        }
        break;
    case CM_MOUSELEAVE:
        if (c->Enabled()) {
            Hot = false;
            if (graphic)
                c->Invalidate();
            else
                PaintSkinnedControl();
        }
        break;
    case CM_EXIT:
        Hot = false;
        PaintSkinnedControl();
        break;
    default:
        break;
    }
}

void TControlSubClass::PaintSkinnedControl()
{
    TControl* c = Control;
    if (!c) return;
    auto* w = dynamic_cast<TWinControl*>(c);
    Focused = w && w->HandleAllocated() && GetFocus() == w->Handle();
    if (c->Is<TCustomCombo>()) PaintComboBox(*this);
    if (NameIs(c, "TDBLookupComboBox")) PaintLookupComboBox(*this);
    if (IsRichEdit(c))
        PaintRichEdit(*this);
    else if (c->Is<TCustomEdit>())
        PaintEdit(*this);
    if (c->Is<TCustomCheckBox>()) PaintCheckBox(*this);
    if (c->Is<TRadioButton>()) PaintRadioButton(*this);
    if (c->Is<TBitBtn>())
        PaintBitBtn(*this);
    else if (c->Is<TButton>())
        PaintButton(*this);
    if (NameIs(c, "TUpDown")) PaintUpDown(*this);
    if (IsSpeedButton(c) && c->Visible()) PaintSpeedButton(*this);
    if (c->Is<TCustomPanel>()) PaintPanel(*this);
    if (c->Is<TCustomGroupBox>()) PaintGroupBox(*this);
    if (IsListBox(c) || IsTreeView(c) || IsListView(c)) PaintListFrame(*this);
    if (c->Is<TProgressBar>()) PaintProgressBar(*this);
    if (IsHotKey(c)) PaintHotKey(*this);
}
