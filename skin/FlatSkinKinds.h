// Kinds of the skin's tables, in one place (the rows that name a class in quotes compare the
// name where they stand).
#pragma once
#include <cstring>

#include "Controls.h"

namespace skinkinds {

inline bool NameIs(const TComponent* c, const char* name)
{
    return c && std::strcmp(c->ClassName(), name) == 0;
}
// Kinds of the tables, kept in one place (most follow the C++ classes).
bool IsFrame(const TComponent* c);
bool IsListBox(const TComponent* c);
bool IsLabeledEdit(const TComponent* c);
bool IsMemo(const TComponent* c);
bool IsRichEdit(const TComponent* c);
bool IsSpeedButton(const TComponent* c);
bool IsTreeView(const TComponent* c);
bool IsListView(const TComponent* c);
bool IsHotKey(const TComponent* c);
bool IsToolBar(const TComponent* c);
bool IsCoolBar(const TComponent* c);
bool IsControlBar(const TComponent* c);
bool IsScrollBox(const TComponent* c);
bool IsTabControl(const TComponent* c);
bool IsPageScroller(const TComponent* c);
bool IsMenuItem(const TComponent* c);
bool IsToolButton(const TComponent* c);

// Ctl3D and BorderStyle of list boxes, list views and tree views, which the skin keeps and
// gives back.
bool ListCtl3D(TControl* c);
TBorderStyle ListBorderStyle(TControl* c);
void SetListLook(TControl* c, bool ctl3D, TBorderStyle border);

}  // namespace skinkinds
