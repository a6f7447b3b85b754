// Image lists: pictures of one size over a system image list (with masks), for menus and tool bars.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "Controls.h"

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* AOwner);
    ~TCustomImageList() override;
    const char* ClassName() const override { return "TCustomImageList"; }

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // A new size empties the list.
    void SetWidth(int v);
    void SetHeight(int v);
    int Count() const;

    // Adds a picture of the list's size; the mask colour is left out (transparent). Gives its index.
    int AddMasked(TBitmap& Image, TColor MaskColor);
    void Clear();
    // Draws one picture at x, y (disabled: the system's dimmed look).
    void Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled = true);

    HIMAGELIST Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    // Tells this list from every other one made in the process, and each state of its pictures
    // from the states before: together they identify the pictures (for caches of drawn images).
    unsigned Id() const { return FId; }
    unsigned ChangeStamp() const { return FStamp; }

    TNotifyEvent OnChange;

private:
    void Changed();
    int FWidth = 16, FHeight = 16;
    HIMAGELIST FHandle = nullptr;
    unsigned FId;
    unsigned FStamp = 0;
};

class TImageList : public TCustomImageList {
public:
    explicit TImageList(TComponent* AOwner) : TCustomImageList(AOwner) {}
    const char* ClassName() const override { return "TImageList"; }
};
