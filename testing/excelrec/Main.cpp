// The recording "Excel.Application" as a local server, out of process as Excel itself is, so that
// calls cross the COM channel and meet the client's message filter.
//   excelrec [/Log FILE] [/Version TEXT] [/Busy N] [/Editing N] -Embedding
// COM starts it with the command line the test registered (plus -Embedding); each start serves
// one application object (single use) and ends when the client has let go of every object.
// /Busy N: the first N calls on the objects are refused as busy by the server's message filter,
// each logged as "busy"; /Editing N: the N-th call is answered once with Excel's "cannot take the
// call now" (0x800AC472), logged as "editing". The log file ends with "exit" once the server has
// let go of everything.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "Recorder.h"

namespace {

// {6E0B4A61-3C2F-4D7B-9A15-2B8E0C7D5F43}, the class id that tests register as Excel.Application.
const CLSID kClsid = {0x6E0B4A61, 0x3C2F, 0x4D7B, {0x9A, 0x15, 0x2B, 0x8E, 0x0C, 0x7D, 0x5F, 0x43}};

DWORD gCookie = 0;
int gBusy = 0;

void Revoke()
{
    if (gCookie) CoRevokeClassObject(gCookie);
    gCookie = 0;
}

void LastObjectGone()
{
    // The class object goes at once, so that no client reaches a server on its way out.
    Revoke();
    PostQuitMessage(0);
}

// Excel answers a call that comes while it is busy with "retry later". Wine runs such a call all
// the same, so there the refusal is made the one its channel does pass on: both reach the client
// as RPC_E_CALL_REJECTED unless its message filter retries them.
DWORD BusyReply()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") ? SERVERCALL_REJECTED : SERVERCALL_RETRYLATER;
}

class BusyFilter : public IMessageFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
            *ppv = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override
    {
        // Only the automation calls: COM's own housekeeping between the processes goes through.
        if (gBusy > 0 && info && IsEqualIID(info->iid, IID_IDispatch)) {
            --gBusy;
            excelrec::Log("busy");
            return BusyReply();
        }
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; i + 1 < argc; ++i) {
        std::wstring opt = argv[i];
        if (_wcsicmp(opt.c_str(), L"/Log") == 0) {
            excelrec::SetLogFile(argv[++i]);
        } else if (_wcsicmp(opt.c_str(), L"/Version") == 0) {
            const std::wstring v = argv[++i];
            excelrec::SetVersion(excelrec::Narrow(v.data(), static_cast<int>(v.size())));
        } else if (_wcsicmp(opt.c_str(), L"/Busy") == 0) {
            gBusy = _wtoi(argv[++i]);
        } else if (_wcsicmp(opt.c_str(), L"/Editing") == 0) {
            excelrec::RefuseWhileEditingAt(_wtoi(argv[++i]));
        }
    }
    LocalFree(argv);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    static BusyFilter filter;
    CoRegisterMessageFilter(&filter, nullptr);
    excelrec::OnLastObjectGone(LastObjectGone);
    if (SUCCEEDED(CoRegisterClassObject(kClsid, excelrec::ApplicationFactory(), CLSCTX_LOCAL_SERVER,
                                        REGCLS_SINGLEUSE, &gCookie))) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    Revoke();
    CoRegisterMessageFilter(nullptr, nullptr);
    CoUninitialize();
    excelrec::Log("exit");
    return 0;
}
