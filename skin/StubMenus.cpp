// Empty menu, tool bar and control bar handlers until the real ones land.
#include "FlatSkin.h"

void TFlatSkin::MeasureItem(TObject*, TCanvas*, int&, int&) {}
void TFlatSkin::DrawItem(TObject*, TCanvas*, TRect, bool) {}
void TFlatSkin::ToolBarCustomDrawButton(TToolBar*, TToolButton*, UINT, bool&) {}
void TFlatSkin::ControlBarBandPaint(TObject*, TControl*, TCanvas*, TRect&, unsigned&) {}
void TFlatSkin::DrawPopupBorder(HWND, bool) {}
