// Panels, radio groups and the labeled edit.
#pragma once
#include <vector>

#include "StdCtrls.h"

// bvSpace takes the room of a bevel in the face colour.
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomPanel"; }
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut v);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut v);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    TRect AlignRect() const override;

private:
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    TAlignment FAlignment = taCenter;
};

class TPanel : public TCustomPanel {
public:
    explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
    const char* ClassName() const override { return "TPanel"; }
};

// A group box of radio buttons, one per item, laid out in Columns.
class TCustomRadioGroup : public TCustomGroupBox {
public:
    explicit TCustomRadioGroup(TComponent* AOwner);
    ~TCustomRadioGroup() override;
    const char* ClassName() const override { return "TCustomRadioGroup"; }
    TStrings& Items() { return FItems; }
    int ItemIndex() const { return FItemIndex; }
    // Checks the item's button (-1: none); fires OnClick when it changes.
    void SetItemIndex(int v);
    int Columns() const { return FColumns; }
    void SetColumns(int v);
    // The radio button of item i (tests click it; the skin paints it).
    TRadioButton* Buttons(int i) const { return FButtons.at(static_cast<size_t>(i)); }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void WndProc(TMessage& Message) override;

protected:
    void ItemsChanged();
    void ArrangeButtons();
    void ButtonClicked(TRadioButton* b);

private:
    TStrings FItems;
    std::vector<TRadioButton*> FButtons;
    int FItemIndex = -1;
    int FColumns = 1;
    bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
public:
    explicit TRadioGroup(TComponent* AOwner) : TCustomRadioGroup(AOwner) {}
    const char* ClassName() const override { return "TRadioGroup"; }
};

// ---------------------------------------------------------------- labeled edit

enum TLabelPosition { lpAbove, lpBelow, lpLeft, lpRight };

class TCustomLabeledEdit;

// The label of a labeled edit: it sits on the edit's parent and follows the edit.
class TBoundLabel : public TLabel {
public:
    explicit TBoundLabel(TComponent* AOwner) : TLabel(AOwner) {}
    const char* ClassName() const override { return "TBoundLabel"; }
};

// An edit with its caption label, kept LabelSpacing pixels away on the LabelPosition side.
class TCustomLabeledEdit : public TCustomEdit {
public:
    explicit TCustomLabeledEdit(TComponent* AOwner);
    ~TCustomLabeledEdit() override;
    const char* ClassName() const override { return "TCustomLabeledEdit"; }
    TBoundLabel* EditLabel() const { return FEditLabel; }
    TLabelPosition LabelPosition() const { return FLabelPosition; }
    void SetLabelPosition(TLabelPosition v);
    int LabelSpacing() const { return FLabelSpacing; }
    void SetLabelSpacing(int v);
    void SetParent(TWinControl* AParent) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetVisible(bool v) override;
    void SetEnabled(bool v) override;

protected:
    void PlaceLabel();
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TBoundLabel* FEditLabel = nullptr;
    TLabelPosition FLabelPosition = lpAbove;
    int FLabelSpacing = 3;
};

class TLabeledEdit : public TCustomLabeledEdit {
public:
    explicit TLabeledEdit(TComponent* AOwner) : TCustomLabeledEdit(AOwner) {}
    const char* ClassName() const override { return "TLabeledEdit"; }
};
