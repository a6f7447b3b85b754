// File dialogs and message boxes, with a hook that lets tests answer them unattended.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"

class TCommonDialog : public TComponent {
public:
    explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
    const char* ClassName() const override { return "TCommonDialog"; }
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& v) { FTitle = v; }

protected:
    std::string FTitle;
};

// "Text|*.txt|Excel|*.xls": pairs of description and pattern; FilterIndex counts from 1.
class TOpenDialog : public TCommonDialog {
public:
    explicit TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    const char* ClassName() const override { return "TOpenDialog"; }
    const std::string& Filter() const { return FFilter; }
    void SetFilter(const std::string& v) { FFilter = v; }
    int FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int v) { FFilterIndex = v; }
    const std::string& InitialDir() const { return FInitialDir; }
    void SetInitialDir(const std::string& v) { FInitialDir = v; }
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& v) { FFileName = v; }
    // Appended by the system dialog to a typed name that has no extension.
    const std::string& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const std::string& v) { FDefaultExt = v; }
    // Shows the dialog; true with FileName and FilterIndex set when the user chose a file.
    virtual bool Execute();

protected:
    bool DoExecute(bool save);
    std::string FFilter;
    int FFilterIndex = 1;
    std::string FInitialDir, FFileName, FDefaultExt;
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
    const char* ClassName() const override { return "TSaveDialog"; }
    bool Execute() override;
};

// The platform's simple message: the text in a box with one OK button, the application's title
// as caption.
void ShowMessage(const std::string& Text);

// What a dialog shows, as the test hook sees it.
enum TDialogKind { dkMessageBox, dkShowMessage, dkOpenDialog, dkSaveDialog };
struct TDialogCall {
    TDialogKind Kind = dkMessageBox;
    std::string Caption;  // box caption or dialog title
    std::string Text;     // message text
    UINT Flags = 0;       // MB_ flags of a message box
    // File dialogs: as the program set them up; the hook may change FileName and FilterIndex.
    std::string Filter, InitialDir, FileName, DefaultExt;
    int FilterIndex = 1;
};
// Replaces every message box and file dialog while set: gets the call and gives the answer
// (ID* of a message box; nonzero = OK for a file dialog). An empty hook brings the real ones back.
using TDialogHook = std::function<int(TDialogCall& Call)>;
TDialogHook SetDialogHook(TDialogHook Hook);
// A message box through the hook or the system (Application->MessageBox and ShowMessage use it).
int ShowMessageBox(TDialogKind Kind, const std::string& Text, const std::string& Caption, UINT Flags);

// For tests: records every dialog and answers from a queue (empty queue: the first button of
// a message box - IDOK, IDYES, IDABORT or IDRETRY - and Cancel for a file dialog).
// Installs itself while it lives.
class TDialogScript {
public:
    TDialogScript();
    ~TDialogScript();
    TDialogScript(const TDialogScript&) = delete;
    TDialogScript& operator=(const TDialogScript&) = delete;

    void Answer(int id);  // next message box gives id
    void AnswerFile(const std::string& fileName, int filterIndex = 0);  // 0: keep the index
    void CancelFile();

    std::vector<TDialogCall> Shown;
    // Texts of the message boxes shown, in order.
    std::vector<std::string> Texts() const;

private:
    struct Reply {
        bool File = false;
        int Id = IDOK;
        std::string FileName;
        int FilterIndex = 0;
    };
    int Handle(TDialogCall& call);
    std::deque<Reply> FReplies;
    TDialogHook FPrevious;
};
