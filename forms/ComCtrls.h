// Common controls: page control with tab sheets, progress bar.
#pragma once
#include <vector>

#include "Controls.h"

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
