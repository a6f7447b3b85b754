// The recording "Excel.Application" as an in-process server: the tests load the same library and
// steer and read the recorder through the exports below.
#include "Recorder.h"

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID riid, void** ppv)
{
    // Registered under one class id only, so any request is for it.
    return excelrec::ApplicationFactory()->QueryInterface(riid, ppv);
}

HRESULT WINAPI DllCanUnloadNow()
{
    return excelrec::LiveObjects() == 0 && excelrec::ServerLocks() == 0 ? S_OK : S_FALSE;
}

// Test controls.
const char* StubLog() { return excelrec::LogText().c_str(); }
void StubReset() { excelrec::Reset(); }
int StubLiveObjects() { return excelrec::LiveObjects(); }
void StubFailAt(int n) { excelrec::FailAt(n); }
}
