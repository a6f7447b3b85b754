#include "FlatSkinKinds.h"

#include "Buttons.h"
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "ToolWin.h"
#include "Menus.h"

namespace skinkinds {

namespace {
bool NamedAny(const TComponent* c, std::initializer_list<const char*> names)
{
    if (!c) return false;
    for (const char* n : names)
        if (NameIs(c, n)) return true;
    return false;
}
template <class T> bool Kind(const TComponent* c) { return c && c->Is<T>(); }
}  // namespace

bool IsFrame(const TComponent* c) { return Kind<TCustomFrame>(c); }
bool IsListBox(const TComponent* c) { return Kind<TCustomListBox>(c); }
bool IsLabeledEdit(const TComponent* c) { return Kind<TCustomLabeledEdit>(c); }
bool IsMemo(const TComponent* c) { return Kind<TCustomMemo>(c); }
bool IsRichEdit(const TComponent* c) { return Kind<TCustomRichEdit>(c); }
bool IsSpeedButton(const TComponent* c) { return Kind<TSpeedButton>(c); }
bool IsTreeView(const TComponent* c) { return Kind<TCustomTreeView>(c); }
bool IsListView(const TComponent* c) { return Kind<TCustomListView>(c); }
bool IsHotKey(const TComponent* c) { return Kind<TCustomHotKey>(c); }
bool IsToolBar(const TComponent* c) { return Kind<TToolBar>(c); }
bool IsCoolBar(const TComponent* c) { return Kind<TCoolBar>(c); }
bool IsControlBar(const TComponent* c) { return Kind<TControlBar>(c); }
bool IsScrollBox(const TComponent* c) { return Kind<TScrollBox>(c); }
// the toolkit has no tab control of its own: one from elsewhere is known by its name
bool IsTabControl(const TComponent* c) { return NamedAny(c, {"TTabControl", "TCustomTabControl"}); }
bool IsPageScroller(const TComponent* c) { return Kind<TPageScroller>(c); }
bool IsMenuItem(const TComponent* c) { return Kind<TMenuItem>(c); }
bool IsToolButton(const TComponent* c) { return Kind<TToolButton>(c); }

bool ListCtl3D(TControl* c)
{
    auto* w = dynamic_cast<TWinControl*>(c);
    return w && w->Ctl3D();
}

TBorderStyle ListBorderStyle(TControl* c)
{
    if (auto* l = dynamic_cast<TCustomListBox*>(c)) return l->BorderStyle();
    if (auto* l = dynamic_cast<TCustomListView*>(c)) return l->BorderStyle();
    if (auto* t = dynamic_cast<TCustomTreeView*>(c)) return t->BorderStyle();
    return bsSingle;
}

void SetListLook(TControl* c, bool ctl3D, TBorderStyle border)
{
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->SetCtl3D(ctl3D);
    if (auto* l = dynamic_cast<TCustomListBox*>(c)) l->SetBorderStyle(border);
    if (auto* l = dynamic_cast<TCustomListView*>(c)) l->SetBorderStyle(border);
    if (auto* t = dynamic_cast<TCustomTreeView*>(c)) t->SetBorderStyle(border);
}

}  // namespace skinkinds
