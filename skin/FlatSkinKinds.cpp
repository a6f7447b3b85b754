#include "FlatSkinKinds.h"

namespace skinkinds {

namespace {
bool NamedAny(const TComponent* c, std::initializer_list<const char*> names)
{
    if (!c) return false;
    for (const char* n : names)
        if (NameIs(c, n)) return true;
    return false;
}
}  // namespace

bool IsFrame(const TComponent* c) { return NamedAny(c, {"TFrame", "TCustomFrame"}); }
bool IsListBox(const TComponent* c) { return NamedAny(c, {"TListBox", "TCustomListBox"}); }
bool IsLabeledEdit(const TComponent* c) { return NamedAny(c, {"TLabeledEdit", "TCustomLabeledEdit"}); }
bool IsMemo(const TComponent* c) { return NamedAny(c, {"TMemo", "TCustomMemo"}); }
bool IsRichEdit(const TComponent* c) { return NamedAny(c, {"TRichEdit", "TCustomRichEdit"}); }
bool IsSpeedButton(const TComponent* c) { return NamedAny(c, {"TSpeedButton"}); }
bool IsTreeView(const TComponent* c) { return NamedAny(c, {"TTreeView", "TCustomTreeView"}); }
bool IsListView(const TComponent* c) { return NamedAny(c, {"TListView", "TCustomListView"}); }
bool IsHotKey(const TComponent* c) { return NamedAny(c, {"THotKey", "TCustomHotKey"}); }
bool IsToolBar(const TComponent* c) { return NamedAny(c, {"TToolBar"}); }
bool IsCoolBar(const TComponent* c) { return NamedAny(c, {"TCoolBar"}); }
bool IsControlBar(const TComponent* c) { return NamedAny(c, {"TControlBar", "TCustomControlBar"}); }
bool IsScrollBox(const TComponent* c) { return NamedAny(c, {"TScrollBox"}); }
bool IsTabControl(const TComponent* c) { return NamedAny(c, {"TTabControl", "TCustomTabControl"}); }
bool IsPageScroller(const TComponent* c) { return NamedAny(c, {"TPageScroller"}); }
bool IsMenuItem(const TComponent* c) { return NamedAny(c, {"TMenuItem"}); }
bool IsToolButton(const TComponent* c) { return NamedAny(c, {"TToolButton"}); }

bool ListCtl3D(TControl* c)
{
    auto* w = dynamic_cast<TWinControl*>(c);
    return w && w->Ctl3D();
}

TBorderStyle ListBorderStyle(TControl*) { return bsSingle; }

void SetListLook(TControl* c, bool ctl3D, TBorderStyle)
{
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->SetCtl3D(ctl3D);
}

}  // namespace skinkinds
