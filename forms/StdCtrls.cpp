#include "StdCtrls.h"

#include <algorithm>

#include "Classes.h"
#include "Cp1251.h"
#include "SysUtils.h"

// ---------------------------------------------------------------- TStrings

void TStrings::Changed()
{
    if (FUpdating > 0) {
        FPending = true;
        return;
    }
    if (OnChange) OnChange();
}

void TStrings::EndUpdate()
{
    if (FUpdating > 0 && --FUpdating == 0 && FPending) {
        FPending = false;
        Changed();
    }
}

void TStrings::SetStrings(int i, const std::string& s)
{
    FItems.at(static_cast<size_t>(i)) = s;
    Changed();
}

static bool TextLess(const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; }

int TStrings::AddObject(const std::string& s, TObject* obj)
{
    size_t at = FItems.size();
    if (FSorted) at = static_cast<size_t>(std::upper_bound(FItems.begin(), FItems.end(), s, TextLess) - FItems.begin());
    FItems.insert(FItems.begin() + static_cast<ptrdiff_t>(at), s);
    FObjects.insert(FObjects.begin() + static_cast<ptrdiff_t>(at), obj);
    Changed();
    return static_cast<int>(at);
}

void TStrings::InsertObject(int i, const std::string& s, TObject* obj)
{
    if (i < 0 || i > Count()) throw Exception(Format("List index out of bounds (%d)", i));
    if (FSorted) throw Exception("Operation not allowed on sorted list");
    FItems.insert(FItems.begin() + i, s);
    FObjects.insert(FObjects.begin() + i, obj);
    Changed();
}

int TStrings::IndexOfObject(const TObject* obj) const
{
    for (size_t i = 0; i < FObjects.size(); ++i)
        if (FObjects[i] == obj) return static_cast<int>(i);
    return -1;
}

void TStrings::SetSorted(bool v)
{
    if (v == FSorted) return;
    FSorted = v;
    if (v) Sort();
}

void TStrings::Sort()
{
    std::vector<size_t> order(FItems.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t x, size_t y) { return TextLess(FItems[x], FItems[y]); });
    std::vector<std::string> items;
    std::vector<TObject*> objects;
    for (size_t i : order) {
        items.push_back(std::move(FItems[i]));
        objects.push_back(FObjects[i]);
    }
    FItems = std::move(items);
    FObjects = std::move(objects);
    Changed();
}

void TStrings::Delete(int i)
{
    if (i < 0 || i >= Count()) throw Exception(Format("List index out of bounds (%d)", i));
    FItems.erase(FItems.begin() + i);
    FObjects.erase(FObjects.begin() + i);
    Changed();
}

void TStrings::Clear()
{
    if (FItems.empty()) return;
    FItems.clear();
    FObjects.clear();
    Changed();
}

int TStrings::IndexOf(const std::string& s) const
{
    std::string u = UpperCase(s);
    for (size_t i = 0; i < FItems.size(); ++i)
        if (UpperCase(FItems[i]) == u) return static_cast<int>(i);
    return -1;
}

void TStrings::Assign(const TStrings& other)
{
    if (&other == this) return;
    FItems = other.FItems;
    FObjects = other.FObjects;
    if (FSorted) Sort();
    Changed();
}

void TStrings::Assign(const TStringList& other)
{
    FItems.assign(other.begin(), other.end());
    FObjects.clear();
    for (int i = 0; i < other.Count(); ++i) FObjects.push_back(other.Objects(i));
    if (FSorted) Sort();
    Changed();
}

std::string TStrings::Text() const
{
    std::string s;
    for (const auto& i : FItems) s += i + "\r\n";
    return s;
}

void TStrings::SetText(const std::string& text)
{
    TStringList l;
    l.SetText(text);
    Assign(l);
}

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FWidth = 65;
    FHeight = 13;
}

void TLabel::SetAutoSize(bool v)
{
    FAutoSize = v;
    AdjustSize();
}

void TLabel::SetAlignment(TAlignment v)
{
    FAlignment = v;
    Invalidate();
}

void TLabel::SetTransparent(bool v)
{
    FTransparent = v;
    Invalidate();
}

namespace {

// The size a label's text takes in a font; an empty text is as high as a blank and 0 wide.
// With trailingBlank the width of a blank is added to a text that has one.
SIZE LabelTextSize(TFont& font, const std::string& text, bool trailingBlank = false)
{
    // One memory DC serves every measurement: fetching the screen DC each time is slow under
    // some window systems, and a read changes a label's text for every record.
    static HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font.Handle());
    std::wstring w = ToWide(text.empty() ? std::string(" ") : text);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, w.data(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX);
    int width = text.empty() ? 0 : r.right - r.left;
    SIZE blank{0, 0};
    if (trailingBlank && !text.empty() && GetTextExtentPoint32W(dc, L" ", 1, &blank)) width += blank.cx;
    SelectObject(dc, old);
    return {width, r.bottom - r.top};
}

}  // namespace

void TLabel::AdjustSize()
{
    if (!FAutoSize) return;
    SIZE size = LabelTextSize(FFont, FText);
    int nw = size.cx;
    int nh = size.cy;
    int left = FLeft;
    if (FAlignment == taRightJustify) left = FLeft + FWidth - nw;  // keeps its right edge
    TControl::SetBounds(left, FTop, nw, nh);
}

void TLabel::Paint()
{
    TCanvas& c = FCanvas;
    TRect r = ClientRect();
    if (!FTransparent) {
        c.Brush().SetColor(FColor);
        c.FillRect(r);
    }
    c.Brush().SetStyle(bsClear);
    c.Font().Assign(FFont);
    UINT fmt = DT_EXPANDTABS | DT_NOPREFIX | DT_SINGLELINE;
    fmt |= FAlignment == taRightJustify ? DT_RIGHT : FAlignment == taCenter ? DT_CENTER : DT_LEFT;
    if (!FEnabled) {
        TRect s = r;
        s.Left += 1;
        s.Top += 1;
        s.Right += 1;
        s.Bottom += 1;
        c.Font().SetColor(clBtnHighlight);
        c.DrawText(FText, s, fmt);
        c.Font().SetColor(clBtnShadow);
    }
    c.DrawText(FText, r, fmt);
}

void TLabel::Invalidate()
{
    if (!FHoldInvalidate) TGraphicControl::Invalidate();
}

void TLabel::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_PARENTFONTCHANGED: {
        // A status label changes its text for every record of a read: one repaint of where the
        // text stood and where it stands now, not one for each step of the change.
        RECT before = BoundsRect(), after;
        {
            // Released on every way out: a resize or realign handler may throw.
            struct Hold {
                bool& held;
                explicit Hold(bool& h) : held(h) { held = true; }
                ~Hold() { held = false; }
            } hold(FHoldInvalidate);
            AdjustSize();
        }
        after = BoundsRect();
        if (FParent && FParent->HandleAllocated() && FVisible) {
            // An opaque label fills all of its rectangle: the parent need not erase it first,
            // unless the text left some of the old place.
            RECT both;
            UnionRect(&both, &before, &after);
            bool erase = FTransparent || !EqualRect(&both, &after);
            InvalidateRect(FParent->Handle(), &both, erase);
        }
        TControl::WndProc(m);  // past TGraphicControl, whose only part here is one more repaint
        return;
    }
    default:
        break;
    }
    TGraphicControl::WndProc(m);
}

// ---------------------------------------------------------------- TStaticText

TStaticText::TStaticText(TComponent* AOwner) : TCustomControl(AOwner)
{
    FWidth = 65;
    FHeight = 13;
}

void TStaticText::AdjustSize()
{
    // Substitute fonts may draw the last glyph a pixel or two past the measured extent, and a
    // window clips what a window-less label would let through: a blank's room keeps it whole.
    SIZE size = LabelTextSize(FFont, FText, true);
    SetBounds(FLeft, FTop, size.cx, size.cy);
}

void TStaticText::CreateWnd()
{
    // Child windows are made bottom first; this one is meant to be seen over its siblings.
    // It is no tab stop, so moving it leaves the tab order as it was.
    SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TStaticText::Paint()
{
    TCanvas& c = FCanvas;
    TRect r = ClientRect();
    c.Brush().SetColor(FColor);
    c.FillRect(r);
    c.Brush().SetStyle(bsClear);
    c.Font().Assign(FFont);
    c.DrawText(FText, r, DT_EXPANDTABS | DT_NOPREFIX | DT_SINGLELINE | DT_LEFT);
}

void TStaticText::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_PARENTFONTCHANGED:
        AdjustSize();
        Invalidate();
        break;
    default:
        break;
    }
    TCustomControl::WndProc(m);
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner)
{
    FWidth = 75;
    FHeight = 25;
}

void TButton::CreateParams(TCreateParams& p)
{
    TButtonControl::CreateParams(p);
    p.SysClassName = L"BUTTON";
    p.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool v)
{
    FDefault = v;
    if (HandleAllocated())
        SendMessageW(FHandle, BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::WndProc(TMessage& m)
{
    if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
        Click();
        return;
    }
    TButtonControl::WndProc(m);
}

// ---------------------------------------------------------------- TCustomCheckBox

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner)
{
    FWidth = 97;
    FHeight = 17;
}

void TCustomCheckBox::CreateParams(TCreateParams& p)
{
    TButtonControl::CreateParams(p);
    p.SysClassName = L"BUTTON";
    p.Style |= BS_3STATE;  // we keep the state ourselves
    if (FAlignment == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

static WPARAM CheckOf(TCheckBoxState s) { return s == cbGrayed ? BST_INDETERMINATE : s == cbChecked ? BST_CHECKED : BST_UNCHECKED; }

void TCustomCheckBox::CreateWnd() { SendMessageW(FHandle, BM_SETCHECK, CheckOf(State()), 0); }

void TCustomCheckBox::SetState(TCheckBoxState v)
{
    if (v == cbGrayed) {
        if (FGrayed) return;
        FGrayed = true;
        FChecked = false;
        if (HandleAllocated()) SendMessageW(FHandle, BM_SETCHECK, BST_INDETERMINATE, 0);
        TControl::Click();
        return;
    }
    SetChecked(v == cbChecked);
}

void TCustomCheckBox::SetChecked(bool v)
{
    if (v == FChecked && !FGrayed) return;
    FChecked = v;
    FGrayed = false;
    if (HandleAllocated()) SendMessageW(FHandle, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
    TControl::Click();
}

void TCustomCheckBox::WndProc(TMessage& m)
{
    if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
        Toggle();
        return;
    }
    TButtonControl::WndProc(m);
}

// ---------------------------------------------------------------- TRadioButton

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner)
{
    FWidth = 113;
    FHeight = 17;
}

void TRadioButton::CreateParams(TCreateParams& p)
{
    TButtonControl::CreateParams(p);
    p.SysClassName = L"BUTTON";
    p.Style |= BS_RADIOBUTTON;
    if (FAlignment == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

void TRadioButton::CreateWnd() { SendMessageW(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0); }

void TRadioButton::SetChecked(bool v)
{
    if (v == FChecked) return;
    FChecked = v;
    if (HandleAllocated()) SendMessageW(FHandle, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!v) return;
    if (FParent)
        for (int i = 0; i < FParent->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(FParent->Controls(i)); r && r != this)
                r->SetChecked(false);
    TControl::Click();
}

void TRadioButton::WndProc(TMessage& m)
{
    if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
        SetChecked(true);
        return;
    }
    TButtonControl::WndProc(m);
}

// ---------------------------------------------------------------- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 121;
    FHeight = 21;
    FTabStop = true;
    FParentColor = false;
    FColor = clWindow;
}

void TCustomEdit::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = L"EDIT";
    p.Style |= ES_AUTOHSCROLL | ES_LEFT;
    if (FReadOnly) p.Style |= ES_READONLY;
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            p.ExStyle |= WS_EX_CLIENTEDGE;
        else
            p.Style |= WS_BORDER;
    }
}

void TCustomEdit::CreateWnd()
{
    if (FMaxLength > 0) SendMessageW(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
}

void TButtonControl::SetAlignment(TAlignment v)
{
    if (v == FAlignment) return;
    FAlignment = v;
    RecreateWnd();
}

void TCustomEdit::Ctl3DChanged()
{
    if (FBorderStyle == bsSingle) RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle v)
{
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
}

void TCustomEdit::SetReadOnly(bool v)
{
    FReadOnly = v;
    if (HandleAllocated()) SendMessageW(FHandle, EM_SETREADONLY, v, 0);
}

void TCustomEdit::SetMaxLength(int v)
{
    FMaxLength = v;
    if (HandleAllocated()) SendMessageW(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(v > 0 ? v : 0), 0);
}

void TCustomEdit::SelectAll()
{
    if (HandleAllocated()) SendMessageW(FHandle, EM_SETSEL, 0, -1);
}

void TCustomEdit::Change()
{
    if (OnChange) OnChange(this);
}

void TCustomEdit::SetTextCore(const std::string& v)
{
    if (HandleAllocated()) {
        TWinControl::SetTextCore(v);  // the window answers with EN_CHANGE
    } else {
        FText = v;
        Change();
    }
}

void TCustomEdit::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case CN_COMMAND:
        if (HIWORD(m.WParam) == EN_CHANGE) {
            Change();
            return;
        }
        break;
    case CM_FONTCHANGED:
        if (HandleAllocated()) InvalidateRect(FHandle, nullptr, TRUE);
        break;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TCustomCombo

TCustomCombo::TCustomCombo(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 145;
    FHeight = 21;
    FTabStop = true;
    FParentColor = false;
    FColor = clWindow;
    FItems.OnChange = [this] { ItemsChanged(); };
}

void TCustomCombo::SetItemIndex(int v)
{
    if (v < -1 || v >= FItems.Count()) v = -1;
    FItemIndex = v;
    if (FHandle) {
        SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(v), 0);
        if (v < 0) SetWindowTextW(FHandle, L"");
    }
    FText = v >= 0 ? FItems.Strings(v) : std::string();
    Perform(CM_TEXTCHANGED);
}

bool TCustomCombo::DroppedDown() const
{
    return FHandle && SendMessageW(FHandle, CB_GETDROPPEDSTATE, 0, 0);
}

void TCustomCombo::Change()
{
    if (OnChange) OnChange(this);
}

void TCustomCombo::ItemsChanged()
{
    std::string text = Text();
    if (FItemIndex >= FItems.Count()) FItemIndex = -1;
    if (FItems.Count() == 0) FItemIndex = -1;
    if (!FHandle) {
        if (auto* cb = dynamic_cast<TComboBox*>(this); cb && cb->Style() == csDropDownList)
            FText = FItemIndex >= 0 ? FItems.Strings(FItemIndex) : std::string();
        return;
    }
    int keep = FItemIndex;
    SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
    SendMessageW(FHandle, CB_RESETCONTENT, 0, 0);
    for (const auto& s : FItems)
        SendMessageW(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(s).c_str()));
    if (keep >= FItems.Count()) keep = -1;
    if (FItems.Count() == 0) keep = -1;
    FItemIndex = keep;
    SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(keep), 0);
    // an editable box keeps what it showed
    if (auto* cb = dynamic_cast<TComboBox*>(this); cb && cb->Style() == csDropDown && keep < 0)
        SetWindowTextW(FHandle, FItems.Count() ? ToWide(text).c_str() : L"");
    SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FHandle, nullptr, TRUE);
}

// ---------------------------------------------------------------- TComboBox

void TComboBox::SetStyle(TComboBoxStyle v)
{
    if (v == FStyle) return;
    FStyle = v;
    RecreateWnd();
}

static int ListHeight(int count) { return count * 16 + 2; }

void TComboBox::CreateParams(TCreateParams& p)
{
    TCustomComboBox::CreateParams(p);
    p.SysClassName = L"COMBOBOX";
    p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL |
               (FStyle == csDropDownList ? CBS_DROPDOWNLIST : FStyle == csSimple ? CBS_SIMPLE : CBS_DROPDOWN);
    // the window's height holds the dropped list (a simple box shows it within its height)
    p.Height = FHeight + (FStyle == csSimple ? 0 : ListHeight(FDropDownCount));
}

void TComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TCustomComboBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FHandle)
        SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth,
                     FHeight + (FStyle == csSimple ? 0 : ListHeight(FDropDownCount)),
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TComboBox::CreateWnd()
{
    for (const auto& s : FItems)
        SendMessageW(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(s).c_str()));
    SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
    if (FStyle != csDropDownList && FItemIndex < 0) SetWindowTextW(FHandle, ToWide(FText).c_str());
    RECT r;
    GetWindowRect(FHandle, &r);
    FHeight = r.bottom - r.top;
}

void TComboBox::DestroyWnd() { FText = GetText(); }

std::string TComboBox::GetText() const
{
    if (!FHandle) return FText;
    return TCustomComboBox::GetText();
}

void TComboBox::SetTextCore(const std::string& v)
{
    if (FStyle == csDropDownList) {
        int i = FItems.IndexOf(v);
        if (i >= 0 && FItems.Strings(i) != v) i = -1;
        SetItemIndex(i);
        return;
    }
    FText = v;
    if (FHandle) SetWindowTextW(FHandle, ToWide(v).c_str());
}

void TComboBox::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case CN_COMMAND:
        switch (HIWORD(m.WParam)) {
        case CBN_SELCHANGE: {
            int i = static_cast<int>(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
            FItemIndex = i;
            // the edit shows the item only after this notice: put it there now
            if (i >= 0 && i < FItems.Count()) {
                FText = FItems.Strings(i);
                SetWindowTextW(FHandle, ToWide(FText).c_str());
            }
            Perform(CM_TEXTCHANGED);
            Change();
            return;
        }
        case CBN_EDITCHANGE: {
            // typed text selects the item it names exactly, or none
            std::string t = GetText();
            int i = -1;
            for (int k = 0; k < FItems.Count(); ++k)
                if (FItems.Strings(k) == t) {
                    i = k;
                    break;
                }
            FItemIndex = i;
            FText = t;
            Perform(CM_TEXTCHANGED);
            Change();
            return;
        }
        default:
            break;
        }
        break;
    default:
        break;
    }
    TCustomComboBox::WndProc(m);
}

// ---------------------------------------------------------------- TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner)
{
    FWidth = 185;
    FHeight = 105;
}

TRect TCustomGroupBox::AlignRect() const
{
    TRect r = ClientRect();
    r.Left += 2;
    r.Right -= 2;
    r.Top += 15;
    r.Bottom -= 2;
    return r;
}

void TCustomGroupBox::Paint()
{
    TCanvas& c = FCanvas;
    c.Font().Assign(FFont);
    int th = c.TextHeight("0");
    RECT r{0, th / 2, FWidth, FHeight};
    DrawEdge(c.Handle(), &r, EDGE_ETCHED, BF_RECT);
    if (!FText.empty()) {
        int tw = c.TextWidth(FText);
        TRect t(8, 0, 8 + tw + 2, th);
        c.Brush().SetColor(FColor);
        c.FillRect(t);
        c.Brush().SetStyle(bsClear);
        if (!FEnabled) c.Font().SetColor(clGrayText);
        c.TextOut(9, 0, FText);
    }
}

void TCustomGroupBox::WndProc(TMessage& m)
{
    if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED || m.Msg == CM_ENABLEDCHANGED)
        Invalidate();
    TCustomControl::WndProc(m);
}

void TCustomGroupBox::CreateParams(TCreateParams& p)
{
    TCustomControl::CreateParams(p);
    p.ExStyle |= WS_EX_CONTROLPARENT;  // Tab walks into the box
}

// ---------------------------------------------------------------- TCustomListBox

TCustomListBox::TCustomListBox(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 121;
    FHeight = 97;
    FTabStop = true;
    FParentColor = false;
    FColor = clWindow;
    FItems.OnChange = [this] { ItemsChanged(); };
}

void TCustomListBox::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = L"LISTBOX";
    p.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            p.ExStyle |= WS_EX_CLIENTEDGE;
        else
            p.Style |= WS_BORDER;
    }
}

void TCustomListBox::CreateWnd()
{
    for (const auto& s : FItems)
        SendMessageW(FHandle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(s).c_str()));
    SendMessageW(FHandle, LB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
}

void TCustomListBox::SetBorderStyle(TBorderStyle v)
{
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
}

void TCustomListBox::SetItemIndex(int v)
{
    if (v < -1 || v >= FItems.Count()) v = -1;
    FItemIndex = v;
    if (FHandle) SendMessageW(FHandle, LB_SETCURSEL, static_cast<WPARAM>(v), 0);
}

void TCustomListBox::ItemsChanged()
{
    if (FItemIndex >= FItems.Count()) FItemIndex = -1;
    if (!FHandle) return;
    SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
    SendMessageW(FHandle, LB_RESETCONTENT, 0, 0);
    CreateWnd();
    SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FHandle, nullptr, TRUE);
}

void TCustomListBox::WndProc(TMessage& m)
{
    if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == LBN_SELCHANGE) {
        FItemIndex = static_cast<int>(SendMessageW(FHandle, LB_GETCURSEL, 0, 0));
        TControl::Click();
        return;
    }
    TWinControl::WndProc(m);
}

void TCustomListBox::Ctl3DChanged()
{
    if (FBorderStyle == bsSingle) RecreateWnd();  // the frame shows it
}

// ---------------------------------------------------------------- TCustomMemo

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner)
{
    FWidth = 185;
    FHeight = 89;
    FLines.OnChange = [this] { LinesChanged(); };
}

void TCustomMemo::CreateParams(TCreateParams& p)
{
    TCustomEdit::CreateParams(p);
    p.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
    if (FWantReturns) p.Style |= ES_WANTRETURN;
    if (FWordWrap && FScrollBars != ssHorizontal && FScrollBars != ssBoth) p.Style &= ~ES_AUTOHSCROLL;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) p.Style |= WS_VSCROLL;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) p.Style |= WS_HSCROLL;
}

TStrings& TCustomMemo::Lines()
{
    // the window holds what the user typed: take it before the caller reads or changes lines
    if (FHandle && !FSyncing) {
        FSyncing = true;
        FLines.SetText(Text());
        FSyncing = false;
    }
    return FLines;
}

void TCustomMemo::LinesChanged()
{
    if (FSyncing) return;
    FSyncing = true;
    std::string t = FLines.Text();
    if (t.size() >= 2) t.resize(t.size() - 2);  // the last line has no line break of its own
    SetText(t);
    FSyncing = false;
}

void TCustomMemo::SetTextCore(const std::string& v)
{
    if (!FHandle) {
        TCustomEdit::SetTextCore(v);
        return;
    }
    // A multi-line edit does not report text put in by the program: report it here, once.
    FSettingText = true;
    TWinControl::SetTextCore(v);
    FSettingText = false;
    Change();
}

void TCustomMemo::Change()
{
    if (FSettingText) return;
    if (!FSyncing && !FHandle) {
        FSyncing = true;
        FLines.SetText(FText);
        FSyncing = false;
    }
    TCustomEdit::Change();
}

void TCustomMemo::SetWordWrap(bool v)
{
    if (v == FWordWrap) return;
    FWordWrap = v;
    RecreateWnd();
}

void TCustomMemo::SetScrollBars(TScrollStyle v)
{
    if (v == FScrollBars) return;
    FScrollBars = v;
    RecreateWnd();
}

void TCustomMemo::SetWantReturns(bool v)
{
    if (v == FWantReturns) return;
    FWantReturns = v;
    RecreateWnd();
}
