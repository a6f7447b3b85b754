#include "Dialogs.h"

#include <commdlg.h>

#include "Cp1251.h"
#include "Forms.h"
#include "Graphics.h"

namespace {

TDialogHook& Hook()
{
    static TDialogHook h;
    return h;
}

HWND DialogOwner()
{
    HWND a = GetActiveWindow();
    if (a) return a;
    if (TForm* m = Application->MainForm(); m && m->HandleAllocated()) return m->Handle();
    return nullptr;
}

// "a|b|c|d" as the system wants it: parts ended by a null, the list by another.
std::wstring FilterList(const std::string& filter)
{
    std::wstring w = ToWide(filter);
    for (wchar_t& c : w)
        if (c == L'|') c = L'\0';
    w.push_back(L'\0');
    w.push_back(L'\0');
    return w;
}

bool HasExtension(const std::string& name)
{
    size_t slash = name.find_last_of("\\/");
    size_t dot = name.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

// The chosen file's name in cp1251, never turned into another file's name (a look-alike letter or
// "?" in place of one cp1251 lacks): as it is where cp1251 holds it, else through short names (the
// folder's, and an existing file's own); false when neither reaches it.
bool ExactName(const std::wstring& w, std::string& out)
{
    if (FromWideExact(w, out)) return true;
    const size_t slash = w.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : w.substr(0, slash + 1);
    std::wstring name = w.substr(folder.size());
    std::string f, n;
    if (!FromWideExact(folder, f)) {
        std::wstring s;
        if (!ShortPathName(folder, s) || !FromWideExact(s, f)) return false;
    }
    if (!FromWideExact(name, n)) {
        std::wstring s;
        if (!ShortPathName(w, s) || !FromWideExact(s.substr(s.find_last_of(L"\\/") + 1), n)) return false;
    }
    out = f + n;
    return true;
}

}  // namespace

TDialogHook SetDialogHook(TDialogHook hook)
{
    TDialogHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

int ShowMessageBox(TDialogKind kind, const std::string& text, const std::string& caption,
                   UINT flags)
{
    if (Hook()) {
        TDialogCall call;
        call.Kind = kind;
        call.Caption = caption;
        call.Text = text;
        call.Flags = flags;
        TDialogHook h = Hook();  // the hook may replace itself
        return h(call);
    }
    return MessageBoxW(DialogOwner(), ToWide(text).c_str(), ToWide(caption).c_str(),
                       flags | MB_TASKMODAL);
}

void ShowMessage(const std::string& Text)
{
    ShowMessageBox(dkShowMessage, Text, Application->Title(), MB_OK);
}

bool TOpenDialog::Execute() { return DoExecute(false); }
bool TSaveDialog::Execute() { return DoExecute(true); }

bool TOpenDialog::DoExecute(bool save)
{
    if (Hook()) {
        TDialogCall call;
        call.Kind = save ? dkSaveDialog : dkOpenDialog;
        call.Caption = FTitle;
        call.Filter = FFilter;
        call.FilterIndex = FFilterIndex;
        call.InitialDir = FInitialDir;
        call.FileName = FFileName;
        call.DefaultExt = FDefaultExt;
        TDialogHook h = Hook();
        if (!h(call)) return false;
        FFileName = call.FileName;
        // as the system dialog does with a typed name
        if (!FDefaultExt.empty() && !HasExtension(FFileName)) FFileName += "." + FDefaultExt;
        FFilterIndex = call.FilterIndex;
        return true;
    }
    std::wstring filter = FilterList(FFilter);
    std::wstring title = ToWide(FTitle), dir = ToWide(FInitialDir), ext = ToWide(FDefaultExt);
    std::wstring file = ToWide(FFileName);
    std::vector<wchar_t> buf(32768, L'\0');
    wcsncpy(buf.data(), file.c_str(), buf.size() - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = DialogOwner();
    ofn.lpstrFilter = FFilter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(FFilterIndex);
    ofn.lpstrFile = buf.data();
    ofn.nMaxFile = static_cast<DWORD>(buf.size());
    ofn.lpstrInitialDir = FInitialDir.empty() ? nullptr : dir.c_str();
    ofn.lpstrTitle = FTitle.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = FDefaultExt.empty() ? nullptr : ext.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR;
    BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok) return false;
    std::string name;
    if (!ExactName(buf.data(), name)) {
        // Shown with "?" for each letter cp1251 lacks: a look-alike letter would name another file.
        std::string shown;
        FromWideExact(buf.data(), shown);
        ShowMessage("Имя файла содержит знаки, которых нет в кодировке Windows-1251:\n" + shown +
                    (save ? "\nФайл под этим именем не может быть сохранён." : "\nФайл с этим именем не может быть открыт.") +
                    " Выберите другое имя или другую папку.");
        return false;
    }
    FFileName = name;
    FFilterIndex = static_cast<int>(ofn.nFilterIndex);
    return true;
}

// ---- TDialogScript

TDialogScript::TDialogScript()
{
    FPrevious = SetDialogHook([this](TDialogCall& c) { return Handle(c); });
}

TDialogScript::~TDialogScript() { SetDialogHook(std::move(FPrevious)); }

void TDialogScript::Answer(int id)
{
    Reply r;
    r.Id = id;
    FReplies.push_back(r);
}

void TDialogScript::AnswerFile(const std::string& fileName, int filterIndex)
{
    Reply r;
    r.File = true;
    r.Id = 1;
    r.FileName = fileName;
    r.FilterIndex = filterIndex;
    FReplies.push_back(r);
}

void TDialogScript::CancelFile()
{
    Reply r;
    r.File = true;
    r.Id = 0;
    FReplies.push_back(r);
}

std::vector<std::string> TDialogScript::Texts() const
{
    std::vector<std::string> v;
    for (const auto& c : Shown)
        if (c.Kind == dkMessageBox || c.Kind == dkShowMessage) v.push_back(c.Text);
    return v;
}

int TDialogScript::Handle(TDialogCall& call)
{
    Shown.push_back(call);
    bool file = call.Kind == dkOpenDialog || call.Kind == dkSaveDialog;
    for (auto it = FReplies.begin(); it != FReplies.end(); ++it) {
        if (it->File != file) continue;
        Reply r = *it;
        FReplies.erase(it);
        if (file && r.Id) {
            call.FileName = r.FileName;
            if (r.FilterIndex > 0) call.FilterIndex = r.FilterIndex;
        }
        return r.Id;
    }
    if (file) return 0;
    switch (call.Flags & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
    }
}
