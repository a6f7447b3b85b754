#include "ExtCtrls.h"

#include <algorithm>

// ---------------------------------------------------------------- TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner)
{
    FWidth = 185;
    FHeight = 41;
}

void TCustomPanel::SetBevelOuter(TBevelCut v)
{
    FBevelOuter = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut v)
{
    FBevelInner = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelWidth(int v)
{
    FBevelWidth = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment v)
{
    FAlignment = v;
    Invalidate();
}

TRect TCustomPanel::AlignRect() const
{
    TRect r = ClientRect();
    int b = (FBevelOuter != bvNone ? FBevelWidth : 0) + (FBevelInner != bvNone ? FBevelWidth : 0);
    r.Left += b;
    r.Top += b;
    r.Right -= b;
    r.Bottom -= b;
    return r;
}

static void DrawBevel(HDC dc, RECT& r, TBevelCut cut, int width)
{
    if (cut == bvNone) return;
    COLORREF tl = GetSysColor(cut == bvRaised ? COLOR_BTNHIGHLIGHT : cut == bvSpace ? COLOR_BTNFACE : COLOR_BTNSHADOW);
    COLORREF br = GetSysColor(cut == bvRaised ? COLOR_BTNSHADOW : cut == bvSpace ? COLOR_BTNFACE : COLOR_BTNHIGHLIGHT);
    for (int i = 0; i < width; ++i) {
        HPEN p1 = CreatePen(PS_SOLID, 1, tl), p2 = CreatePen(PS_SOLID, 1, br);
        HGDIOBJ old = SelectObject(dc, p1);
        MoveToEx(dc, r.left, r.bottom - 1, nullptr);
        LineTo(dc, r.left, r.top);
        LineTo(dc, r.right - 1, r.top);
        SelectObject(dc, p2);
        LineTo(dc, r.right - 1, r.bottom - 1);
        LineTo(dc, r.left - 1, r.bottom - 1);
        SelectObject(dc, old);
        DeleteObject(p1);
        DeleteObject(p2);
        InflateRect(&r, -1, -1);
    }
}

void TCustomPanel::Paint()
{
    RECT r{0, 0, FWidth, FHeight};
    GetClientRect(FHandle, &r);
    DrawBevel(FCanvas.Handle(), r, FBevelOuter, FBevelWidth);
    DrawBevel(FCanvas.Handle(), r, FBevelInner, FBevelWidth);
    if (!FText.empty()) {
        FCanvas.Brush().SetStyle(bsClear);
        FCanvas.Font().Assign(FFont);
        TRect t(r);
        UINT fmt = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                   (FAlignment == taLeftJustify ? DT_LEFT : FAlignment == taRightJustify ? DT_RIGHT : DT_CENTER);
        FCanvas.DrawText(FText, t, fmt);
    }
}

void TCustomPanel::WndProc(TMessage& m)
{
    if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED) Invalidate();
    TCustomControl::WndProc(m);
}

// ---------------------------------------------------------------- TCustomRadioGroup

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner) : TCustomGroupBox(AOwner)
{
    FItems.OnChange = [this] { ItemsChanged(); };
}

TCustomRadioGroup::~TCustomRadioGroup() { FItems.OnChange = nullptr; }

void TCustomRadioGroup::ItemsChanged()
{
    FUpdating = true;
    while (static_cast<int>(FButtons.size()) > FItems.Count()) {
        TRadioButton* b = FButtons.back();
        FButtons.pop_back();
        delete b;
    }
    while (static_cast<int>(FButtons.size()) < FItems.Count()) {
        auto* b = new TRadioButton(this);
        b->OnClick = [this, b](TObject*) { ButtonClicked(b); };
        b->SetParent(this);
        FButtons.push_back(b);
    }
    for (size_t i = 0; i < FButtons.size(); ++i) {
        FButtons[i]->SetCaption(FItems.Strings(static_cast<int>(i)));
        FButtons[i]->SetEnabled(FEnabled);
    }
    if (FItemIndex >= FItems.Count()) FItemIndex = -1;
    if (FItems.Count() == 0) FItemIndex = -1;
    for (size_t i = 0; i < FButtons.size(); ++i)
        FButtons[i]->SetChecked(static_cast<int>(i) == FItemIndex);
    FUpdating = false;
    ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons()
{
    int n = static_cast<int>(FButtons.size());
    if (n == 0) return;
    int cols = std::max(FColumns, 1);
    int perCol = (n + cols - 1) / cols;
    int bw = (FWidth - 10) / cols;
    int th = 13;
    int avail = FHeight - th - 5;
    int bh = avail / perCol;
    int top = th + 1 + (avail % perCol) / 2;
    for (int i = 0; i < n; ++i) {
        int c = i / perCol, r = i % perCol;
        FButtons[static_cast<size_t>(i)]->SetBounds(c * bw + 8, r * bh + top, bw, bh);
    }
}

void TCustomRadioGroup::SetColumns(int v)
{
    if (v < 1) v = 1;
    if (v > 16) v = 16;
    FColumns = v;
    ArrangeButtons();
}

void TCustomRadioGroup::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TCustomGroupBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    ArrangeButtons();
}

void TCustomRadioGroup::SetItemIndex(int v)
{
    if (v < -1 || v >= FItems.Count()) v = -1;
    if (v == FItemIndex) return;
    if (v < 0) {
        FItemIndex = -1;
        FUpdating = true;
        for (auto* b : FButtons) b->SetChecked(false);
        FUpdating = false;
        return;
    }
    FButtons[static_cast<size_t>(v)]->SetChecked(true);  // reaches ButtonClicked
}

void TCustomRadioGroup::ButtonClicked(TRadioButton* b)
{
    if (FUpdating) return;
    auto it = std::find(FButtons.begin(), FButtons.end(), b);
    if (it == FButtons.end()) return;
    FItemIndex = static_cast<int>(it - FButtons.begin());
    Click();
}

void TCustomRadioGroup::WndProc(TMessage& m)
{
    if (m.Msg == CM_ENABLEDCHANGED)
        for (auto* b : FButtons) b->SetEnabled(FEnabled);
    TCustomGroupBox::WndProc(m);
}

// ---------------------------------------------------------------- TCustomLabeledEdit

TCustomLabeledEdit::TCustomLabeledEdit(TComponent* AOwner) : TCustomEdit(AOwner)
{
    // the label belongs to the edit, as a sub-component
    FEditLabel = new TBoundLabel(this);
    FEditLabel->SetName("SubEditLabel");
}

void TCustomLabeledEdit::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomEdit::Notification(AComponent, Operation);
    // a parent that goes first frees the label with its other controls
    if (Operation == opRemove && AComponent == FEditLabel) FEditLabel = nullptr;
}

TCustomLabeledEdit::~TCustomLabeledEdit()
{
    // the label may live on another parent: it goes with the edit, not with that parent
    if (FEditLabel) FEditLabel->SetParent(nullptr);
}

void TCustomLabeledEdit::SetParent(TWinControl* AParent)
{
    TCustomEdit::SetParent(AParent);
    if (FEditLabel) {
        FEditLabel->SetParent(AParent);
        PlaceLabel();
    }
}

void TCustomLabeledEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
    PlaceLabel();
}

void TCustomLabeledEdit::SetVisible(bool v)
{
    TCustomEdit::SetVisible(v);
    if (FEditLabel) FEditLabel->SetVisible(v);
}

void TCustomLabeledEdit::SetEnabled(bool v)
{
    TCustomEdit::SetEnabled(v);
    if (FEditLabel) FEditLabel->SetEnabled(v);
}

void TCustomLabeledEdit::SetLabelPosition(TLabelPosition v)
{
    FLabelPosition = v;
    PlaceLabel();
}

void TCustomLabeledEdit::SetLabelSpacing(int v)
{
    FLabelSpacing = v;
    PlaceLabel();
}

void TCustomLabeledEdit::PlaceLabel()
{
    if (!FEditLabel) return;
    TLabel* l = FEditLabel;
    int x = FLeft, y = FTop;
    switch (FLabelPosition) {
    case lpAbove: y = FTop - l->Height() - FLabelSpacing; break;
    case lpBelow: y = FTop + FHeight + FLabelSpacing; break;
    case lpLeft:
        x = FLeft - l->Width() - FLabelSpacing;
        y = FTop + (FHeight - l->Height()) / 2;
        break;
    case lpRight:
        x = FLeft + FWidth + FLabelSpacing;
        y = FTop + (FHeight - l->Height()) / 2;
        break;
    }
    l->SetBounds(x, y, l->Width(), l->Height());
}
