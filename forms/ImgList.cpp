#include "ImgList.h"

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner)
{
    static unsigned next = 0;
    FId = ++next;
}

TCustomImageList::~TCustomImageList()
{
    if (FHandle) ImageList_Destroy(FHandle);
}

HIMAGELIST TCustomImageList::Handle()
{
    if (!FHandle) FHandle = ImageList_Create(FWidth, FHeight, ILC_COLOR32 | ILC_MASK, 4, 4);
    return FHandle;
}

void TCustomImageList::Changed()
{
    ++FStamp;
    if (OnChange) OnChange(this);
}

void TCustomImageList::SetWidth(int v)
{
    if (v == FWidth || v <= 0) return;
    FWidth = v;
    Clear();
    ++FStamp;
    if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
}

void TCustomImageList::SetHeight(int v)
{
    if (v == FHeight || v <= 0) return;
    FHeight = v;
    Clear();
    ++FStamp;
    if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
}

int TCustomImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

int TCustomImageList::AddMasked(TBitmap& Image, TColor MaskColor)
{
    if (Image.Empty()) return -1;
    // the list keeps a copy; the caller's bitmap must not stay selected into a context meanwhile
    TBitmap copy;
    copy.SetSize(FWidth, FHeight);
    BitBlt(copy.Canvas().Handle(), 0, 0, FWidth, FHeight, Image.Canvas().Handle(), 0, 0, SRCCOPY);
    HDC dc = copy.Canvas().Handle();
    HBITMAP bmp = CreateCompatibleBitmap(dc, FWidth, FHeight);
    HDC tmp = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(tmp, bmp);
    BitBlt(tmp, 0, 0, FWidth, FHeight, dc, 0, 0, SRCCOPY);
    SelectObject(tmp, old);
    DeleteDC(tmp);
    int i = ImageList_AddMasked(Handle(), bmp, ColorToRGB(MaskColor));
    DeleteObject(bmp);
    Changed();
    return i;
}

void TCustomImageList::Clear()
{
    if (FHandle && ImageList_GetImageCount(FHandle) > 0) {
        ImageList_Remove(FHandle, -1);
        Changed();
    }
}

void TCustomImageList::Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled)
{
    if (!FHandle || Index < 0 || Index >= Count()) return;
    UINT style = ILD_TRANSPARENT | (Enabled ? 0 : ILD_BLEND50);
    ImageList_DrawEx(FHandle, Index, Canvas.Handle(), X, Y, 0, 0, CLR_NONE, CLR_DEFAULT, style);
}
