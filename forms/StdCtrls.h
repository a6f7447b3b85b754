// Standard controls: label, button, edit box, memo, combo box, list box, check box, radio button,
// group box, and the item list they share.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Controls.h"

class TStringList;

// An item list that tells its control about every change (combo box, radio group items).
class TStrings {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int i) const { return FItems.at(static_cast<size_t>(i)); }
    void SetStrings(int i, const std::string& s);
    int Add(const std::string& s) { return AddObject(s, nullptr); }
    // An object of the caller's beside the item (not owned): it moves with its string when the
    // list is sorted or items before it go.
    int AddObject(const std::string& s, TObject* obj);
    TObject* Objects(int i) const { return FObjects.at(static_cast<size_t>(i)); }
    void SetObjects(int i, TObject* obj) { FObjects.at(static_cast<size_t>(i)) = obj; }
    // The first item whose object is obj, or -1.
    int IndexOfObject(const TObject* obj) const;
    void Insert(int i, const std::string& s) { InsertObject(i, s, nullptr); }
    void InsertObject(int i, const std::string& s, TObject* obj);
    // A sorted list keeps its items in case-insensitive order: Add puts each in its place.
    bool Sorted() const { return FSorted; }
    void SetSorted(bool v);
    void Sort();
    void Delete(int i);
    void Clear();
    int IndexOf(const std::string& s) const;  // case-insensitive (ASCII)
    void Assign(const TStrings& other);
    void Assign(const TStringList& other);
    // Items joined with CR LF after each, and the reverse.
    std::string Text() const;
    void SetText(const std::string& text);
    // Many changes, one notice at the end.
    void BeginUpdate() { ++FUpdating; }
    void EndUpdate();

    std::vector<std::string>::const_iterator begin() const { return FItems.begin(); }
    std::vector<std::string>::const_iterator end() const { return FItems.end(); }

    std::function<void()> OnChange;

private:
    void Changed();
    std::vector<std::string> FItems;
    std::vector<TObject*> FObjects;
    bool FSorted = false;
    int FUpdating = 0;
    bool FPending = false;
};

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);
    const char* ClassName() const override { return "TLabel"; }
    // With AutoSize (default) the label takes the size of its text; a right-aligned label keeps
    // its right edge.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    void WndProc(TMessage& Message) override;
    void Invalidate() override;

protected:
    void Paint() override;
    void AdjustSize();

private:
    bool FAutoSize = true;
    bool FHoldInvalidate = false;
    TAlignment FAlignment = taLeftJustify;
    bool FTransparent = false;
};

// A label with a window of its own: it shows in front of the sibling windows it overlaps (a
// window-less label is covered by them). It takes no focus. Sizes itself to its text.
class TStaticText : public TCustomControl {
public:
    explicit TStaticText(TComponent* AOwner);
    const char* ClassName() const override { return "TStaticText"; }
    void WndProc(TMessage& Message) override;

protected:
    void CreateWnd() override;
    void Paint() override;
    void AdjustSize();
    bool StaysInFront() const override { return true; }
};

class TButtonControl : public TWinControl {
public:
    explicit TButtonControl(TComponent* AOwner) : TWinControl(AOwner) { FTabStop = true; }
    const char* ClassName() const override { return "TButtonControl"; }
    // Side of the caption for check boxes and radio buttons: taRightJustify (the default)
    // puts the caption right of the box, taLeftJustify left of it.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);

protected:
    TAlignment FAlignment = taRightJustify;
};

class TButton : public TButtonControl {
public:
    explicit TButton(TComponent* AOwner);
    const char* ClassName() const override { return "TButton"; }
    bool Default() const { return FDefault; }
    void SetDefault(bool v);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    bool FDefault = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
public:
    explicit TCustomCheckBox(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomCheckBox"; }
    bool Checked() const { return FChecked; }
    // A change fires OnClick, as a click by the user does.
    void SetChecked(bool v);
    // Toggles the check mark (and so fires OnClick): what a click of the user does.
    void Toggle() { SetChecked(!FChecked); }
    void Click() override { Toggle(); }
    // Grayed is neither checked nor unchecked; checking or unchecking ends it.
    TCheckBoxState State() const { return FGrayed ? cbGrayed : FChecked ? cbChecked : cbUnchecked; }
    void SetState(TCheckBoxState v);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    bool FChecked = false;
    bool FGrayed = false;
};

class TCheckBox : public TCustomCheckBox {
public:
    explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
    const char* ClassName() const override { return "TCheckBox"; }
};

class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    const char* ClassName() const override { return "TRadioButton"; }
    bool Checked() const { return FChecked; }
    // Checking one unchecks its siblings and fires OnClick.
    void SetChecked(bool v);
    void Click() override { SetChecked(true); }
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    bool FChecked = false;
};

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomEdit"; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int v);
    void SelectAll();
    void WndProc(TMessage& Message) override;
    // Fires OnChange (the window does so when its text changes).
    virtual void Change();

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Ctl3DChanged() override;
    void SetTextCore(const std::string& v) override;

private:
    TBorderStyle FBorderStyle = bsSingle;
    bool FReadOnly = false;
    int FMaxLength = 0;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
    const char* ClassName() const override { return "TEdit"; }
};

// csSimple: the list is always shown below the edit.
enum TComboBoxStyle { csDropDown, csDropDownList, csSimple };

class TCustomCombo : public TWinControl {
public:
    explicit TCustomCombo(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomCombo"; }
    TStrings& Items() { return FItems; }
    int ItemIndex() const { return FItemIndex; }
    // Selects an item (or none with -1) and shows its text; fires no OnChange.
    void SetItemIndex(int v);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int v) { FDropDownCount = v; }
    bool DroppedDown() const;
    // Fires OnChange: the window does so when the user picks an item or types.
    virtual void Change();

    TNotifyEvent OnChange;

protected:
    void ItemsChanged();
    TStrings FItems;
    int FItemIndex = -1;
    int FDropDownCount = 8;
};

class TCustomComboBox : public TCustomCombo {
public:
    explicit TCustomComboBox(TComponent* AOwner) : TCustomCombo(AOwner) {}
    const char* ClassName() const override { return "TCustomComboBox"; }
    // Items kept in case-insensitive order (with their objects).
    bool Sorted() const { return FItems.Sorted(); }
    void SetSorted(bool v) { FItems.SetSorted(v); }
};

class TComboBox : public TCustomComboBox {
public:
    explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
    const char* ClassName() const override { return "TComboBox"; }
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle v);
    // Height() is the closed box; the window itself also holds the dropped list.
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void SetTextCore(const std::string& v) override;
    std::string GetText() const override;

private:
    TComboBoxStyle FStyle = csDropDown;
    friend class TCustomCombo;
};

class TCustomGroupBox : public TCustomControl {
public:
    explicit TCustomGroupBox(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomGroupBox"; }
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    TRect AlignRect() const override;
};

class TGroupBox : public TCustomGroupBox {
public:
    explicit TGroupBox(TComponent* AOwner) : TCustomGroupBox(AOwner) {}
    const char* ClassName() const override { return "TGroupBox"; }
};

// ---------------------------------------------------------------- list box

class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomListBox"; }
    TStrings& Items() { return FItems; }
    // The selected item (-1: none); kept while Items change and it stays in range.
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int v);
    bool Sorted() const { return FItems.Sorted(); }
    void SetSorted(bool v) { FItems.SetSorted(v); }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Ctl3DChanged() override;
    void ItemsChanged();

private:
    TStrings FItems;
    int FItemIndex = -1;
    TBorderStyle FBorderStyle = bsSingle;
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
    const char* ClassName() const override { return "TListBox"; }
};

// ---------------------------------------------------------------- memo

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A multi-line edit; Lines() and Text() are the same text, line by line.
class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomMemo"; }
    TStrings& Lines();
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle v);
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool v);
    void Change() override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void SetTextCore(const std::string& v) override;

private:
    void LinesChanged();
    bool FSettingText = false;
    TStrings FLines;
    bool FWordWrap = true;
    bool FWantReturns = true;
    TScrollStyle FScrollBars = ssNone;
    bool FSyncing = false;
};

class TMemo : public TCustomMemo {
public:
    explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
    const char* ClassName() const override { return "TMemo"; }
};
