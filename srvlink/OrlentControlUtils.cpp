#include "OrlentControlUtils.h"

#include "TypInfo.h"

void SetControlEnabled(TControl* Control, bool Enabled)
{
    Control->SetEnabled(Enabled);
    SetControlFontColor(Control, Enabled ? TColor(0x000000) : TColor(0x808080));
}

void SetControlFontColor(TControl* Control, TColor Color)
{
    const TPropInfo* info = GetPropInfo(Control, "Font");
    if (!info) return;
    if (TFont* font = GetObjectProp<TFont>(Control, info)) font->SetColor(Color);
}
