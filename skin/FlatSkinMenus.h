// Menu, tool bar and control bar drawing of the flat skin, and the text and icon routines that
// tool buttons and button painters share with menu items. Every routine reads its colours from
// the TFlatSkin it is given (derived colours and properties).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "FlatSkin.h"

class TMenuItem;
class TMainMenu;
class TToolButton;
class TCustomImageList;

// Caption and short-cut text of a menu item, tool button or button. Format: DT_ flags. A
// disabled tool button's caption is drawn through a bitmap filled with the canvas's brush.
void DrawMenuItemText(TFlatSkin& Skin, TComponent* AComponent, const std::string& Text,
                      UINT Format, TFont& AFont, bool RightToLeft, bool IsBarItem, bool Default,
                      bool Enabled, bool Selected, TRect TR, TCanvas& ACanvas,
                      const std::string& ShortCutText);
// The icon in IR with its dimmed, gray, raised and shadow looks. ABitmap is changed by the
// filters: pass a scratch copy.
void DrawMenuItemIcon(TFlatSkin& Skin, TComponent* AComponent, TCanvas& ACanvas, bool RightToLeft,
                      bool IsBarItem, bool Checked, bool Enabled, bool Pressed, bool Highlighted,
                      TRect IR, TBitmap* ABitmap);
// A text colour readable on the background: the skin font's colour on light ones.
TColor TextColorForBackground(TFlatSkin& Skin, TCanvas& ACanvas, TColor Background);
// The selection of a bar item (with its shadow on the right) or of a tool button with a menu.
void DrawMenuBarSelection(TFlatSkin& Skin, TComponent* AComponent, TCanvas& ACanvas,
                          bool RightToLeft, TColor BackColor, TRect R);

// Measuring and drawing of owner-drawn menu items.
void MeasureMenuItem(TFlatSkin& Skin, TMenuItem* Item, TCanvas& ACanvas, int& Width, int& Height);
void DrawMenuItem(TFlatSkin& Skin, TMenuItem* Item, TCanvas& ACanvas, bool Selected, TRect A);
// Size of the item's icon; for popup items (no bar menu) at least IconWidth wide.
SIZE GetItemImageSize(TFlatSkin& Skin, TMenuItem* Item, TMainMenu* BarMenu);
// Whether the item is a top-level item of a main menu.
bool IsBarItem(TMenuItem* Item);
void DrawCheckMarkBox(TFlatSkin& Skin, TMenuItem* Item, bool Selected, TRect Box, TCanvas& ACanvas,
                      bool HasIcon, bool Enabled);
// Gradient background of a popup item, one column at a time.
void FillIconColumnGradient(TFlatSkin& Skin, TCanvas& ACanvas, TRect R, bool RightToLeft);

// Window procedure put on popup-menu windows that have a flat border; the window's previous
// procedure waits in its user data slot (GWLP_USERDATA) until the window hides or goes.
LRESULT CALLBACK PopupMenuWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// Scratch bitmaps of the drawing routines, kept between calls: making a bitmap costs far more
// than drawing an item. ItemScratch is at least w x h (only the top-left part is meant); an
// IconScratch is exactly w x h and white, as a new bitmap is. GUI thread only.
TBitmap& ItemScratch(int w, int h);
TBitmap& IconScratch(int w, int h);
// The image of a list as an icon bitmap: the list's size, white where the image is transparent
// (drawn once per image with ImageList_DrawEx, then copied).
TBitmap& ImageListIcon(TCustomImageList* List, int Index);

// The 32-bit pixels of the DIB section selected into a memory context, row 0 first (Stride in
// pixels, negative for bottom-up pictures), or null for anything else. GdiFlush before use.
uint32_t* Pixels32(HDC MemoryDC, int& Stride, int* Width = nullptr, int* Height = nullptr);

// One-pixel frame of a hot tool button (two for a drop-down button).
void DrawHotFrame(TFlatSkin& Skin, TCanvas& ACanvas, TToolButton* Button, TRect B);
