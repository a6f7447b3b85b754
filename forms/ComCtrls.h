// Common controls: page control with tab sheets, progress bar, up-down, rich edit, tree view,
// list view, hot key.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "StdCtrls.h"

class TPageControl;

// One page of a page control; its tab shows only while TabVisible.
class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;
    const char* ClassName() const override { return "TTabSheet"; }
    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* p);
    bool TabVisible() const { return FTabVisible; }
    void SetTabVisible(bool v);
    int PageIndex() const;
    // Index among the visible tabs, -1 while the tab is hidden.
    int TabIndex() const;
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    TPageControl* FPageControl = nullptr;
    bool FTabVisible = true;
    friend class TPageControl;
};

class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;
    const char* ClassName() const override { return "TPageControl"; }
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int i) const { return FPages.at(static_cast<size_t>(i)); }
    TTabSheet* ActivePage() const { return FActivePage; }
    void SetActivePage(TTabSheet* p);
    int ActivePageIndex() const;
    void SetActivePageIndex(int i);
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    TRect AlignRect() const override;
    void InsertPage(TTabSheet* p);
    void RemovePage(TTabSheet* p);
    void UpdateTabs();
    void ShowActive();

private:
    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
    friend class TTabSheet;
};

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* AOwner);
    const char* ClassName() const override { return "TProgressBar"; }
    int Min() const { return FMin; }
    void SetMin(int v);
    int Max() const { return FMax; }
    void SetMax(int v);
    int Position() const { return FPosition; }
    void SetPosition(int v);  // kept within Min..Max
    void StepBy(int delta) { SetPosition(FPosition + delta); }
    bool Smooth() const { return FSmooth; }
    void SetSmooth(bool v);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    int FilledPixels(int pos) const;

    int FMin = 0, FMax = 100, FPosition = 0;
    int FShownPosition = 0;  // the position the control was last told
    bool FSmooth = false;
};

// ---------------------------------------------------------------- up-down

enum TUDOrientation { udHorizontal, udVertical };
enum TUDBtnType { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;

// Arrow buttons that step a number; with an Associate (an edit) the edit shows the position and
// what is typed there is the position the next step starts from.
class TCustomUpDown : public TWinControl {
public:
    explicit TCustomUpDown(TComponent* AOwner);
    ~TCustomUpDown() override;
    const char* ClassName() const override { return "TCustomUpDown"; }
    TWinControl* Associate() const { return FAssociate; }
    void SetAssociate(TWinControl* v);
    int Min() const { return FMin; }
    void SetMin(int v);
    int Max() const { return FMax; }
    void SetMax(int v);
    int Increment() const { return FIncrement; }
    void SetIncrement(int v) { FIncrement = v; CreateWnd(); }
    // The window's position (it reads a number typed into the Associate first).
    int Position() const;
    // Kept within Min..Max; the Associate shows it.
    void SetPosition(int v);
    TUDOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TUDOrientation v);
    bool Wrap() const { return FWrap; }
    void SetWrap(bool v);
    bool ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(bool v);
    bool Thousands() const { return FThousands; }
    void SetThousands(bool v);
    // One step as a click on an arrow does (btNext up/right, btPrev down/left).
    void ClickButton(TUDBtnType Button);
    void WndProc(TMessage& Message) override;

    // Before a step: AllowChange false cancels it.
    std::function<void(TObject* Sender, bool& AllowChange)> OnChanging;
    TUDClickEvent OnClick;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void ShowInAssociate();
    // Binds the window to the associate's current window (an edit makes a new one when its
    // look changes).
    void SyncBuddy() const;

private:
    TWinControl* FAssociate = nullptr;
    int FMin = 0, FMax = 100, FIncrement = 1;
    mutable int FPosition = 0;
    TUDOrientation FOrientation = udVertical;
    bool FWrap = false;
    bool FArrowKeys = true;
    bool FThousands = true;
};

class TUpDown : public TCustomUpDown {
public:
    explicit TUpDown(TComponent* AOwner) : TCustomUpDown(AOwner) {}
    const char* ClassName() const override { return "TUpDown"; }
};

// ---------------------------------------------------------------- rich edit

// A memo over the system's rich text control (plain text is what the program puts in).
class TCustomRichEdit : public TCustomMemo {
public:
    explicit TCustomRichEdit(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomRichEdit"; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
};

class TRichEdit : public TCustomRichEdit {
public:
    explicit TRichEdit(TComponent* AOwner) : TCustomRichEdit(AOwner) {}
    const char* ClassName() const override { return "TRichEdit"; }
};

// ---------------------------------------------------------------- tree view

class TCustomTreeView;
class TTreeNodes;

class TTreeNode {
public:
    const std::string& Text() const { return FText; }
    void SetText(const std::string& v);
    TTreeNode* Parent() const { return FParent; }
    int Count() const { return static_cast<int>(FChildren.size()); }
    TTreeNode* Item(int i) const { return FChildren.at(static_cast<size_t>(i)).get(); }
    int Level() const { return FParent ? FParent->Level() + 1 : 0; }
    bool Expanded() const { return FExpanded; }
    void SetExpanded(bool v);
    void* Data = nullptr;
    HTREEITEM ItemId() const { return FItem; }

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    TTreeNodes* FOwner = nullptr;
    TTreeNode* FParent = nullptr;
    std::string FText;
    std::vector<std::unique_ptr<TTreeNode>> FChildren;
    HTREEITEM FItem = nullptr;
    bool FExpanded = false;
};

// The nodes of a tree view, kept here and put into the window whenever it is made.
class TTreeNodes {
public:
    explicit TTreeNodes(TCustomTreeView* owner) : FOwner(owner) {}
    // Count of all nodes, at every level.
    int Count() const;
    // The top-level nodes.
    int RootCount() const { return static_cast<int>(FRoots.size()); }
    TTreeNode* Root(int i) const { return FRoots.at(static_cast<size_t>(i)).get(); }
    // A new last top-level node (Parent null) or last child of Parent.
    TTreeNode* AddChild(TTreeNode* Parent, const std::string& S);
    TTreeNode* Add(const std::string& S) { return AddChild(nullptr, S); }
    void Delete(TTreeNode* Node);
    void Clear();

private:
    friend class TCustomTreeView;
    friend class TTreeNode;
    void InsertInto(TTreeNode* n);
    TCustomTreeView* FOwner;
    std::vector<std::unique_ptr<TTreeNode>> FRoots;
};

class TCustomTreeView : public TWinControl {
public:
    explicit TCustomTreeView(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomTreeView"; }
    TTreeNodes& Items() { return FItems; }
    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* n);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;

private:
    friend class TTreeNodes;
    friend class TTreeNode;
    TTreeNodes FItems;
    TTreeNode* FSelected = nullptr;
    TBorderStyle FBorderStyle = bsSingle;
};

class TTreeView : public TCustomTreeView {
public:
    explicit TTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {}
    const char* ClassName() const override { return "TTreeView"; }
};

// ---------------------------------------------------------------- list view

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

struct TListColumn {
    std::string Caption;
    int Width = 50;
};

class TListItem {
public:
    std::string Caption;
    std::vector<std::string> SubItems;
    void* Data = nullptr;
};

class TCustomListView : public TWinControl {
public:
    explicit TCustomListView(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomListView"; }
    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle v);
    // Columns and items are kept here; change them through these calls so the window follows.
    int ColumnCount() const { return static_cast<int>(FColumns.size()); }
    const TListColumn& Columns(int i) const { return FColumns.at(static_cast<size_t>(i)); }
    void AddColumn(const std::string& Caption, int Width);
    int ItemCount() const { return static_cast<int>(FListItems.size()); }
    TListItem* Items(int i) const { return FListItems.at(static_cast<size_t>(i)).get(); }
    TListItem* AddItem(const std::string& Caption, const std::vector<std::string>& SubItems = {});
    void DeleteItem(int i);
    void ClearItems();
    // The focused-and-selected item's index, or -1.
    int ItemIndex() const;
    void SetItemIndex(int i);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void InsertItemIntoWindow(int i);

private:
    TViewStyle FViewStyle = vsIcon;
    std::vector<TListColumn> FColumns;
    std::vector<std::unique_ptr<TListItem>> FListItems;
    mutable int FItemIndex = -1;
    TBorderStyle FBorderStyle = bsSingle;
};

class TListView : public TCustomListView {
public:
    explicit TListView(TComponent* AOwner) : TCustomListView(AOwner) {}
    const char* ClassName() const override { return "TListView"; }
};

// ---------------------------------------------------------------- hot key


class TCustomHotKey : public TWinControl {
public:
    explicit TCustomHotKey(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomHotKey"; }
    // What the control shows (the user's keys once the window exists).
    TShortCut HotKey() const;
    void SetHotKey(TShortCut v);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;

private:
    mutable TShortCut FHotKey = 0;
};

class THotKey : public TCustomHotKey {
public:
    explicit THotKey(TComponent* AOwner) : TCustomHotKey(AOwner) {}
    const char* ClassName() const override { return "THotKey"; }
};
