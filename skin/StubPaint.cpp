// Empty painters until the real ones land.
#include "FlatSkinPaint.h"

void PaintComboBox(TControlSubClass&) {}
void PaintLookupComboBox(TControlSubClass&) {}
void PaintEdit(TControlSubClass&) {}
void PaintRichEdit(TControlSubClass&) {}
void PaintListFrame(TControlSubClass&) {}
void PaintProgressBar(TControlSubClass&) {}
void PaintHotKey(TControlSubClass&) {}
void PaintCheckBox(TControlSubClass&) {}
void PaintRadioButton(TControlSubClass&) {}
void PaintUpDown(TControlSubClass&) {}
void PaintGroupBox(TControlSubClass&) {}
void PaintPanel(TControlSubClass&) {}
void PaintButton(TControlSubClass&) {}
void PaintBitBtn(TControlSubClass&) {}
void PaintSpeedButton(TControlSubClass&) {}
