// The stand-in OrlentSrv: an out-of-process automation server (local server) with the classes
// AnyTransport and AnyMaster, plus a control class for tests.
//   orlentsrv /RegServer     builds and registers the type library, enters the classes
//   orlentsrv /UnregServer   takes both out again
//   orlentsrv -Embedding     as COM starts it; ends when its last object goes
//   orlentsrv /Serve [FILE]  serves until killed; offers the classes and registers its control
//                            object as running (tests find a successor so), then writes FILE;
//                            ends with code 5 and no FILE when either is refused
//   orlentsrv /Probe         asks the running control object "objects": code 0 and its reply
//                            when the serving instance is found and answers, else nonzero
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "Server.h"

namespace orlent {
namespace {

const UINT WM_RUN = WM_APP + 1;
HWND gWindow = nullptr;
bool gServe = false;
int gObjects = 0;
DWORD gCookies[3] = {};
bool gRevoked = false;
DWORD gRunningControl = 0;
std::wstring gReadyPath;

struct ClassEntry {
    const GUID* clsid;
    const wchar_t* progId;
    HRESULT (*create)(REFIID, void**);
};
const ClassEntry gClasses[] = {
    {&CLSID_AnyTransport, L"OrlentSrv.AnyTransport", CreateTransport},
    {&CLSID_AnyMaster, L"OrlentSrv.AnyMaster", CreateMaster},
    {&CLSID_OrlentSrvControl, L"OrlentSrv.Control", CreateControl},
};

class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(HRESULT (*create)(REFIID, void**)) : FCreate(create) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return FCreate(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? ObjectCreated() : ObjectDestroyed();
        return S_OK;
    }

private:
    HRESULT (*FCreate)(REFIID, void**);
};

std::wstring GuidText(const GUID& g)
{
    wchar_t buf[64];
    StringFromGUID2(g, buf, 64);
    return buf;
}

bool SetKey(const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

std::wstring ModulePath()
{
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    return std::wstring(buf, n);
}

std::wstring TypeLibPath()
{
    std::wstring p = ModulePath();
    size_t dot = p.rfind(L'.');
    return (dot == std::wstring::npos ? p : p.substr(0, dot)) + L".tlb";
}

int Register()
{
    std::wstring tlb = TypeLibPath();
    HRESULT hr = BuildTypeLib(tlb);
    if (SUCCEEDED(hr)) {
        ITypeLib* lib = nullptr;
        hr = LoadTypeLibEx(tlb.c_str(), REGKIND_REGISTER, &lib);
        if (lib) lib->Release();
    }
    if (FAILED(hr)) return 2;
    std::wstring exe = L"\"" + ModulePath() + L"\"";
    for (const ClassEntry& c : gClasses) {
        std::wstring clsid = GuidText(*c.clsid);
        std::wstring key = L"CLSID\\" + clsid;
        bool ok = SetKey(key, nullptr, c.progId) && SetKey(key + L"\\LocalServer32", nullptr, exe) &&
                  SetKey(key + L"\\ProgID", nullptr, c.progId) &&
                  SetKey(key + L"\\TypeLib", nullptr, GuidText(LIBID_OrlentSrv)) &&
                  SetKey(c.progId, nullptr, c.progId) && SetKey(std::wstring(c.progId) + L"\\CLSID", nullptr, clsid);
        if (!ok) return 3;
    }
    return 0;
}

int Unregister()
{
    for (const ClassEntry& c : gClasses) {
        SHDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(*c.clsid)).c_str());
        SHDeleteKeyW(HKEY_CLASSES_ROOT, c.progId);
    }
    UnRegisterTypeLib(LIBID_OrlentSrv, LibMajor, LibMinor, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return 0;
}

void Revoke()
{
    if (gRevoked) return;
    gRevoked = true;
    for (DWORD c : gCookies)
        if (c) CoRevokeClassObject(c);
}

LRESULT CALLBACK WindowProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_RUN) {
        auto* f = reinterpret_cast<std::function<void()>*>(l);
        (*f)();
        delete f;
        return 0;
    }
    if (msg == WM_TIMER) {
        KillTimer(h, w);
        auto* f = reinterpret_cast<std::function<void()>*>(w);
        (*f)();
        delete f;
        return 0;
    }
    return DefWindowProcW(h, msg, w, l);
}

// A connection point and its container that nobody calls: they only hold stubs (see PinInterfaces).
class Pinned : public IConnectionPointContainer, public IConnectionPoint {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) *out = static_cast<IConnectionPoint*>(this);
        else if (riid == IID_IConnectionPointContainer) *out = static_cast<IConnectionPointContainer*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID, IConnectionPoint**) override { return CONNECT_E_NOCONNECTION; }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown*, DWORD*) override { return CONNECT_E_CANNOTCONNECT; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return CONNECT_E_NOCONNECTION; }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
};

// When the last stub of an interface goes, Wine's apartment waits for the calls on that interface
// still on their way in, and those wait for this very thread: one test letting go of the last
// connection point while another calls in hung the shared server for good. So while it serves the
// tests, one stub of each interface that every client uses stays up.
void PinInterfaces()
{
    static Pinned pinned;
    IUnknown* control = nullptr;
    CreateControl(IID_IUnknown, reinterpret_cast<void**>(&control));
    const struct {
        IUnknown* object;
        const IID* iid;
    } pins[] = {{static_cast<IConnectionPoint*>(&pinned), &IID_IConnectionPoint},
                {static_cast<IConnectionPoint*>(&pinned), &IID_IConnectionPointContainer},
                {control, &IID_IDispatch},
                {control, &IID_IOrlentSrvControl}};
    for (const auto& p : pins) {
        IStream* s = nullptr;  // kept, with the stub it holds, for the server's life
        HRESULT hr = p.object ? CreateStreamOnHGlobal(nullptr, TRUE, &s) : E_POINTER;
        if (SUCCEEDED(hr)) hr = CoMarshalInterface(s, *p.iid, p.object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_TABLESTRONG);
        if (FAILED(hr)) std::fprintf(stderr, "orlentsrv: no lasting stub for an interface (0x%08lx)\n", static_cast<unsigned long>(hr));
    }
}

// What a test does first: find the serving instance as the running object and get a reply from it.
int Probe()
{
    IUnknown* unk = nullptr;
    HRESULT hr = GetActiveObject(CLSID_OrlentSrvControl, nullptr, &unk);
    if (FAILED(hr) || !unk) {
        std::fprintf(stderr, "orlentsrv: no running control object (GetActiveObject 0x%08lx)\n",
                     static_cast<unsigned long>(hr));
        return 6;
    }
    IOrlentSrvControl* control = nullptr;
    hr = unk->QueryInterface(IID_IOrlentSrvControl, reinterpret_cast<void**>(&control));
    unk->Release();
    if (FAILED(hr) || !control) {
        std::fprintf(stderr, "orlentsrv: the running object is no control object (0x%08lx)\n",
                     static_cast<unsigned long>(hr));
        return 7;
    }
    BSTR in = SysAllocString(L"objects"), out = nullptr;
    hr = control->Command(in, &out);
    SysFreeString(in);
    control->Release();
    std::string reply;
    for (UINT i = 0; out && i < SysStringLen(out); ++i) reply += char(out[i]);
    SysFreeString(out);
    if (FAILED(hr) || reply.rfind("OK", 0) != 0) {
        std::fprintf(stderr, "orlentsrv: the control object answers \"%s\" (0x%08lx)\n", reply.c_str(),
                     static_cast<unsigned long>(hr));
        return 8;
    }
    std::printf("orlentsrv: serving, %s\n", reply.c_str());
    return 0;
}

}  // namespace

void ObjectCreated() { ++gObjects; }

void ObjectDestroyed()
{
    // The class objects go the moment the last object does: a client that asks later then
    // starts a new server instead of reaching one on its way out.
    if (--gObjects == 0 && !gServe) {
        Revoke();
        PostQuitMessage(0);
    }
}

void Die()
{
    if (gRunningControl) RevokeActiveObject(gRunningControl, nullptr);
    gRunningControl = 0;
    Revoke();
    if (gServe) {
        // The tests share one serving instance: a successor takes its place once this one is gone
        // from the class table.
        std::wstring cmd = L"\"" + ModulePath() + L"\" /Serve";
        if (!gReadyPath.empty()) {
            DeleteFileW(gReadyPath.c_str());
            cmd += L" \"" + gReadyPath + L"\"";
        }
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    // As a crash ends it: no library runs its detach code, which could wait for a lock that one of
    // the threads ended here held, and leave the process half alive with its endpoints open.
    TerminateProcess(GetCurrentProcess(), 0);
}

void Post(std::function<void()> f, int ms)
{
    auto* p = new std::function<void()>(std::move(f));
    if (ms > 0) SetTimer(gWindow, reinterpret_cast<UINT_PTR>(p), UINT(ms), nullptr);
    else PostMessageW(gWindow, WM_RUN, 0, reinterpret_cast<LPARAM>(p));
}

}  // namespace orlent

using namespace orlent;

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring mode = argc > 1 ? argv[1] : L"";
    for (auto& ch : mode) ch = wchar_t(towlower(ch));
    if (!mode.empty() && (mode[0] == L'-' || mode[0] == L'/')) mode.erase(0, 1);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int rc = 0;
    if (mode == L"regserver") {
        rc = Register();
    } else if (mode == L"unregserver") {
        rc = Unregister();
    } else if (mode == L"probe") {
        rc = Probe();
    } else if (mode == L"embedding" || mode == L"serve") {
        gServe = mode == L"serve";
        if (FAILED(LoadServerTypeLib(TypeLibPath()))) {
            CoUninitialize();
            return 4;
        }
        WNDCLASSW wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = inst;
        wc.lpszClassName = L"OrlentSrvStandIn";
        RegisterClassW(&wc);
        gWindow = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
        static ClassFactory factories[3] = {ClassFactory(gClasses[0].create), ClassFactory(gClasses[1].create),
                                            ClassFactory(gClasses[2].create)};
        HRESULT offered = S_OK;
        for (int i = 0; i < 3; ++i) {
            HRESULT hr = CoRegisterClassObject(*gClasses[i].clsid, &factories[i], CLSCTX_LOCAL_SERVER,
                                               REGCLS_MULTIPLEUSE, &gCookies[i]);
            if (SUCCEEDED(offered)) offered = hr;
        }
        if (gServe) {
            // Tests find the serving instance only as the running object: one that is not there
            // must not say it is ready.
            HRESULT running = offered;
            if (SUCCEEDED(running)) {
                PinInterfaces();
                IUnknown* control = nullptr;  // kept for the server's life
                running = CreateControl(IID_IUnknown, reinterpret_cast<void**>(&control));
                if (SUCCEEDED(running))
                    running = RegisterActiveObject(control, CLSID_OrlentSrvControl, ACTIVEOBJECT_STRONG,
                                                   &gRunningControl);
            }
            if (FAILED(running)) {
                std::fprintf(stderr, "orlentsrv: %s refused (0x%08lx): not serving\n",
                             FAILED(offered) ? "CoRegisterClassObject" : "RegisterActiveObject",
                             static_cast<unsigned long>(running));
                Revoke();
                CoUninitialize();
                return 5;
            }
        }
        if (gServe && argc > 2) {
            gReadyPath = argv[2];
            HANDLE f = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD n;
            if (f != INVALID_HANDLE_VALUE) {
                WriteFile(f, "READY\n", 6, &n, nullptr);
                CloseHandle(f);
            }
        }
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Revoke();
    }
    LocalFree(argv);
    CoUninitialize();
    return rc;
}
