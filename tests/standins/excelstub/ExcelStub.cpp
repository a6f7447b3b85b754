// The recording "Excel.Application" as an in-process server: the tests load the same library and
// steer and read the recorder through the exports below.
#include "Recorder.h"

namespace {

LONG gLocks = 0;

class StubFactory : public IClassFactory {
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
        if (outer) return CLASS_E_NOAGGREGATION;
        IDispatch* o = excelrec::CreateApplication();
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

StubFactory gFactory;

}  // namespace

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID riid, void** ppv)
{
    // Registered under one class id only, so any request is for it.
    return gFactory.QueryInterface(riid, ppv);
}

HRESULT WINAPI DllCanUnloadNow() { return excelrec::LiveObjects() == 0 && gLocks == 0 ? S_OK : S_FALSE; }

// Test controls.
const char* StubLog() { return excelrec::LogText().c_str(); }
void StubReset() { excelrec::Reset(); }
int StubLiveObjects() { return excelrec::LiveObjects(); }
void StubFailAt(int n) { excelrec::FailAt(n); }
}
