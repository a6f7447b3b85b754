#include "Recorder.h"

#include <cstdio>
#include <set>
#include <vector>

namespace excelrec {
namespace {

std::string gLog;
std::wstring gLogFile;
std::string gVersion = "16.0";
std::vector<std::wstring> gNames;
int gNextId = 0;
int gCalls = 0;
int gFailAt = 0;
int gEditingAt = 0;
int gInvokes = 0;
LONG gLive = 0;
void (*gLastGone)() = nullptr;

class Object;
std::set<Object*> gObjects;

BSTR Wide(const std::string& s)
{
    int len = MultiByteToWideChar(1251, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(len));
    MultiByteToWideChar(1251, 0, s.data(), static_cast<int>(s.size()), b, len);
    return b;
}

std::string Describe(const VARIANT& v);

class Object : public IDispatch {
public:
    Object() : FId(gNextId++)
    {
        gObjects.insert(this);
        InterlockedIncrement(&gLive);
    }
    virtual ~Object()
    {
        gObjects.erase(this);
        if (InterlockedDecrement(&gLive) == 0 && gLastGone) gLastGone();
    }
    int Id() const { return FId; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&FRefs);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        for (UINT i = 0; i < count; ++i) {
            std::wstring n = names[i];
            size_t k = 0;
            while (k < gNames.size() && gNames[k] != n) ++k;
            if (k == gNames.size()) gNames.push_back(n);
            ids[i] = static_cast<DISPID>(k + 1);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result,
                                     EXCEPINFO* ei, UINT*) override
    {
        if (id < 1 || static_cast<size_t>(id) > gNames.size()) return DISP_E_MEMBERNOTFOUND;
        const std::wstring& wn = gNames[static_cast<size_t>(id - 1)];
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        const bool get = !put && (flags & DISPATCH_PROPERTYGET) != 0;
        std::string line = "o" + std::to_string(FId) + (put ? " put " : get ? " get " : " call ") +
                           Narrow(wn.data(), static_cast<int>(wn.size()));
        UINT named = dp ? dp->cNamedArgs : 0, total = dp ? dp->cArgs : 0;
        if (put && named != 1) return DISP_E_PARAMNOTOPTIONAL;
        UINT positional = total - named;
        if (positional > 0) {
            line += "(";
            // rgvarg holds the arguments last first, after the named ones.
            for (UINT i = 0; i < positional; ++i) {
                if (i) line += ",";
                line += Describe(dp->rgvarg[total - 1 - i]);
            }
            line += ")";
        }
        if (put) line += " = " + Describe(dp->rgvarg[0]);
        if (++gInvokes == gEditingAt) {
            Log("editing");
            return static_cast<HRESULT>(0x800AC472);
        }
        ++gCalls;
        if (gFailAt == gCalls) {
            Log(line + " !");
            if (ei) {
                ZeroMemory(ei, sizeof(*ei));
                ei->bstrSource = SysAllocString(L"ExcelStub");
                ei->bstrDescription = SysAllocString(L"Stub failure");
                ei->scode = E_FAIL;
            }
            return DISP_E_EXCEPTION;
        }
        if (get && result && wn == L"Version") {
            VariantInit(result);
            result->vt = VT_BSTR;
            result->bstrVal = Wide(gVersion);
            line += " -> \"" + gVersion + "\"";
        } else if (get && result) {
            Object* o = new Object;
            o->AddRef();
            VariantInit(result);
            result->vt = VT_DISPATCH;
            result->pdispVal = o;
            line += " -> o" + std::to_string(o->Id());
        } else if (result) {
            VariantInit(result);
        }
        Log(line);
        return S_OK;
    }

private:
    int FId;
    LONG FRefs = 0;
};

std::string Describe(const VARIANT& v)
{
    char buf[64];
    switch (v.vt) {
    case VT_EMPTY: return "empty";
    case VT_NULL: return "null";
    case VT_I2: return std::to_string(v.iVal);
    case VT_I4: return std::to_string(v.lVal);
    case VT_R8:
        snprintf(buf, sizeof buf, "%g", v.dblVal);
        return buf;
    case VT_BOOL: return v.boolVal ? "true" : "false";
    case VT_BSTR: return "\"" + Narrow(v.bstrVal, static_cast<int>(SysStringLen(v.bstrVal))) + "\"";
    case VT_BSTR | VT_BYREF:
        return "&\"" + Narrow(*v.pbstrVal, static_cast<int>(SysStringLen(*v.pbstrVal))) + "\"";
    case VT_ERROR: return "missing";
    case VT_VARIANT | VT_BYREF: return "&" + Describe(*v.pvarVal);
    case VT_DISPATCH:
        for (Object* o : gObjects)
            if (static_cast<IDispatch*>(o) == v.pdispVal) return "o" + std::to_string(o->Id());
        return "dispatch";
    default: return "vt" + std::to_string(v.vt);
    }
}

}  // namespace

IDispatch* CreateApplication()
{
    Object* o = new Object;
    o->AddRef();
    Log("create -> o" + std::to_string(o->Id()));
    return o;
}

void Log(const std::string& line)
{
    gLog += line + "\n";
    if (gLogFile.empty()) return;
    // Opened for each line: the client reads the file while this server still runs.
    HANDLE f = CreateFileW(gLogFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD n;
    std::string text = line + "\n";
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(f);
}

const std::string& LogText() { return gLog; }
void SetLogFile(const std::wstring& path) { gLogFile = path; }
void SetVersion(const std::string& version) { gVersion = version; }

void Reset()
{
    gLog.clear();
    gNextId = 0;
    gCalls = 0;
    gFailAt = 0;
    gEditingAt = 0;
    gInvokes = 0;
}

int LiveObjects() { return static_cast<int>(gLive); }

void FailAt(int n)
{
    gCalls = 0;
    gFailAt = n;
}

void RefuseWhileEditingAt(int n) { gEditingAt = n; }

void OnLastObjectGone(void (*f)()) { gLastGone = f; }

namespace {

LONG gLocks = 0;

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        IDispatch* o = CreateApplication();
        HRESULT hr = o->QueryInterface(riid, ppv);
        o->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? InterlockedIncrement(&gLocks) : InterlockedDecrement(&gLocks);
        return S_OK;
    }
};

}  // namespace

IClassFactory* ApplicationFactory()
{
    static Factory factory;
    return &factory;
}

LONG ServerLocks() { return gLocks; }

std::string Narrow(const wchar_t* w, int n)
{
    if (!w || n <= 0) return {};
    int len = WideCharToMultiByte(1251, 0, w, n, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(1251, 0, w, n, s.data(), len, nullptr, nullptr);
    return s;
}

}  // namespace excelrec
