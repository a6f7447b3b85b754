// The painters that give each skinned control its flat look, over what the control drew itself.
// Each takes the subclass of the control; which control reaches which painter is the dispatch
// table of TControlSubClass::PaintSkinnedControl.
#pragma once
#include "FlatSkin.h"

void PaintComboBox(TControlSubClass& S);
void PaintLookupComboBox(TControlSubClass& S);
void PaintEdit(TControlSubClass& S);
void PaintRichEdit(TControlSubClass& S);
void PaintListFrame(TControlSubClass& S);
void PaintProgressBar(TControlSubClass& S);
void PaintHotKey(TControlSubClass& S);
void PaintCheckBox(TControlSubClass& S);
void PaintRadioButton(TControlSubClass& S);
void PaintUpDown(TControlSubClass& S);
void PaintGroupBox(TControlSubClass& S);
void PaintPanel(TControlSubClass& S);
void PaintButton(TControlSubClass& S);
void PaintBitBtn(TControlSubClass& S);
void PaintSpeedButton(TControlSubClass& S);
