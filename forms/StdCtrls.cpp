#include "StdCtrls.h"

#include "Classes.h"
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

int TStrings::Add(const std::string& s)
{
    FItems.push_back(s);
    Changed();
    return Count() - 1;
}

void TStrings::Insert(int i, const std::string& s)
{
    if (i < 0 || i > Count()) throw Exception(Format("List index out of bounds (%d)", i));
    FItems.insert(FItems.begin() + i, s);
    Changed();
}

void TStrings::Delete(int i)
{
    if (i < 0 || i >= Count()) throw Exception(Format("List index out of bounds (%d)", i));
    FItems.erase(FItems.begin() + i);
    Changed();
}

void TStrings::Clear()
{
    if (FItems.empty()) return;
    FItems.clear();
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
    Changed();
}

void TStrings::Assign(const TStringList& other)
{
    FItems.assign(other.begin(), other.end());
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

void TLabel::WndProc(TMessage& m)
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
    p.Style |= BS_CHECKBOX;  // we keep the state ourselves
}

void TCustomCheckBox::CreateWnd() { SendMessageW(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0); }

void TCustomCheckBox::SetChecked(bool v)
{
    if (v == FChecked) return;
    FChecked = v;
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
    case CM_CTL3DCHANGED:
        RecreateWnd();
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
    p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | (FStyle == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
    // the window's height holds the dropped list
    p.Height = FHeight + ListHeight(FDropDownCount);
}

void TComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TCustomComboBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FHandle)
        SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight + ListHeight(FDropDownCount),
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TComboBox::CreateWnd()
{
    for (const auto& s : FItems)
        SendMessageW(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(s).c_str()));
    SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
    if (FStyle == csDropDown && FItemIndex < 0) SetWindowTextW(FHandle, ToWide(FText).c_str());
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
