// Empty button painters until the menu text and icon routines they draw with land.
#include "FlatSkinPaint.h"

void PaintButton(TControlSubClass&) {}
void PaintBitBtn(TControlSubClass&) {}
void PaintSpeedButton(TControlSubClass&) {}
