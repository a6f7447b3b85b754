#include "OleAuto.h"

#include "Cp1251.h"

#include <algorithm>
#include <cstddef>


namespace {

std::string SystemText(HRESULT hr)
{
    wchar_t* buf = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::string s = FromWide(buf, static_cast<int>(n));
    if (buf) LocalFree(buf);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    if (s.empty()) s = Format("OLE error %.8lX", static_cast<unsigned long>(hr));
    return s;
}

std::string BstrText(BSTR b) { return b ? FromWide(b, static_cast<int>(SysStringLen(b))) : std::string(); }

}  // namespace

class TOleRetryFilter::Filter : public IMessageFilter {
public:
    explicit Filter(DWORD retryForMs) : FRetryFor(retryForMs) {}

    // How long to wait before the next attempt of a call refused elapsedMs after it was first
    // made; -1: give up.
    DWORD Decide(DWORD elapsedMs) const { return elapsedMs < FRetryFor ? 200 : static_cast<DWORD>(-1); }
    // How often COM has consulted this filter about a refused call.
    unsigned Consulted() const { return FConsulted; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
            *ppv = static_cast<IMessageFilter*>(this);
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
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }
    // Either refusal is asked again: a server that is starting up gives one or the other.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override
    {
        ++FConsulted;
        if (rejectType != SERVERCALL_RETRYLATER && rejectType != SERVERCALL_REJECTED) return static_cast<DWORD>(-1);
        return Decide(elapsedMs);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    virtual ~Filter() = default;
    DWORD FRetryFor;
    unsigned FConsulted = 0;
    LONG FRefs = 1;
};

namespace {

// The retry filter in force on this thread, if any.
thread_local TOleRetryFilter::Filter* tRetry = nullptr;

// Excel's own answer to a call it cannot take now (a cell is being edited): the call reached it,
// so COM never consults a message filter about it.
constexpr HRESULT kCallNotTakenNow = static_cast<HRESULT>(0x800AC472);

// Makes a cross-process call, again while a retry filter is in force and the server refuses it
// without COM having asked the filter, or cannot take it now.
template <class Call>
HRESULT Retried(Call call)
{
    TOleRetryFilter::Filter* f = tRetry;
    const DWORD start = GetTickCount();
    for (;;) {
        const unsigned asked = f ? f->Consulted() : 0;
        HRESULT hr = call();
        const bool rejected = hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
        if (!f || !(hr == kCallNotTakenNow || (rejected && f->Consulted() == asked))) return hr;
        const DWORD wait = f->Decide(GetTickCount() - start);
        if (wait == static_cast<DWORD>(-1)) return hr;
        Sleep(wait);
    }
}

}  // namespace

TOleRetryFilter::TOleRetryFilter(DWORD retryForMs) : FFilter(new Filter(retryForMs)), FOuter(tRetry)
{
    // COM consults a message filter only in a single-threaded apartment; elsewhere the calls'
    // own retry still holds.
    FRegistered = SUCCEEDED(CoRegisterMessageFilter(FFilter, &FPrevious));
    tRetry = FFilter;
}

TOleRetryFilter::~TOleRetryFilter()
{
    tRetry = FOuter;
    if (FRegistered) {
        CoRegisterMessageFilter(FPrevious, nullptr);
        if (FPrevious) FPrevious->Release();
    }
    FFilter->Release();
}

void OleCheck(HRESULT hr)
{
    if (FAILED(hr)) throw EOleSysError(SystemText(hr), hr);
}

OleVariant::OleVariant(int32_t v)
{
    VariantInit(&FV);
    FV.vt = VT_I4;
    FV.lVal = v;
}

OleVariant::OleVariant(bool v)
{
    VariantInit(&FV);
    FV.vt = VT_BOOL;
    FV.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
}

OleVariant::OleVariant(double v)
{
    VariantInit(&FV);
    FV.vt = VT_R8;
    FV.dblVal = v;
}

OleVariant::OleVariant(const std::string& s)
{
    VariantInit(&FV);
    std::wstring w = ToWide(s);
    BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    if (!b) OleCheck(E_OUTOFMEMORY);
    FV.vt = VT_BSTR;
    FV.bstrVal = b;
}

OleVariant::OleVariant(IDispatch* d)
{
    VariantInit(&FV);
    FV.vt = VT_DISPATCH;
    FV.pdispVal = d;
    if (d) d->AddRef();
}

OleVariant::OleVariant(const OleVariant& o)
{
    VariantInit(&FV);
    OleCheck(VariantCopy(&FV, const_cast<VARIANT*>(&o.FV)));
}

OleVariant::OleVariant(OleVariant&& o) noexcept
{
    FV = o.FV;
    VariantInit(&o.FV);
}

OleVariant& OleVariant::operator=(OleVariant o) noexcept
{
    std::swap(FV, o.FV);
    return *this;
}

OleVariant OleVariant::Null()
{
    OleVariant v;
    v.FV.vt = VT_NULL;
    return v;
}

OleVariant OleVariant::ByRef(OleVariant& target)
{
    OleVariant v;
    if (target.FV.vt & VT_BYREF) return target;
    v.FV.vt = static_cast<VARTYPE>(target.FV.vt | VT_BYREF);
    // All value members of VARIANT share one place; point at it.
    v.FV.byref = &target.FV.lVal;
    return v;
}

OleVariant OleVariant::Array(const std::vector<OleVariant>& items)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), 0};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &bound);
    if (!sa) OleCheck(E_OUTOFMEMORY);
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        HRESULT hr = SafeArrayPutElement(sa, &i, const_cast<VARIANT*>(&items[static_cast<size_t>(i)].FV));
        if (FAILED(hr)) {
            SafeArrayDestroy(sa);
            OleCheck(hr);
        }
    }
    OleVariant v;
    v.FV.vt = VT_ARRAY | VT_VARIANT;
    v.FV.parray = sa;
    return v;
}

OleVariant OleVariant::Attach(VARIANT& raw)
{
    OleVariant v;
    v.FV = raw;
    VariantInit(&raw);
    return v;
}

std::string OleVariant::AsString() const
{
    if (FV.vt == VT_BSTR) return BstrText(FV.bstrVal);
    VARIANT t;
    VariantInit(&t);
    OleCheck(VariantChangeType(&t, const_cast<VARIANT*>(&FV), 0, VT_BSTR));
    std::string s = BstrText(t.bstrVal);
    VariantClear(&t);
    return s;
}

int32_t OleVariant::AsInteger() const
{
    VARIANT t;
    VariantInit(&t);
    OleCheck(VariantChangeType(&t, const_cast<VARIANT*>(&FV), 0, VT_I4));
    return t.lVal;
}

double OleVariant::AsDouble() const
{
    VARIANT t;
    VariantInit(&t);
    OleCheck(VariantChangeType(&t, const_cast<VARIANT*>(&FV), 0, VT_R8));
    return t.dblVal;
}

bool OleVariant::AsBool() const
{
    VARIANT t;
    VariantInit(&t);
    OleCheck(VariantChangeType(&t, const_cast<VARIANT*>(&FV), 0, VT_BOOL));
    return t.boolVal != VARIANT_FALSE;
}

bool SafeArrayElementsFit(SAFEARRAY* sa, VARTYPE et)
{
    const USHORT kinds = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT | FADF_RECORD;
    USHORT kind = 0;
    switch (et) {
    case VT_BSTR: kind = FADF_BSTR; break;
    case VT_UNKNOWN: kind = FADF_UNKNOWN; break;
    case VT_DISPATCH: kind = FADF_DISPATCH; break;
    case VT_VARIANT: kind = FADF_VARIANT; break;
    case VT_RECORD: return false;
    default: break;
    }
    if ((sa->fFeatures & kinds) != kind) return false;
    const UINT size = SafeArrayGetElemsize(sa);
    if (et == VT_VARIANT) return size == sizeof(VARIANT);
    if (et == VT_DECIMAL) return size == sizeof(DECIMAL);
    // A scalar array of another type (bytes under a claim of longs) would be read in part or as
    // the wrong kind of value.
    VARTYPE own = VT_EMPTY;
    if (!kind && SUCCEEDED(SafeArrayGetVartype(sa, &own)) && own != et) return false;
    return size <= sizeof(VARIANT) - offsetof(VARIANT, lVal);
}

std::vector<OleVariant> OleVariant::Elements() const
{
    if (!(FV.vt & VT_ARRAY)) OleCheck(DISP_E_TYPEMISMATCH);
    SAFEARRAY* sa = (FV.vt & VT_BYREF) ? *FV.pparray : FV.parray;
    if (!sa || SafeArrayGetDim(sa) != 1) OleCheck(DISP_E_TYPEMISMATCH);
    VARTYPE et = static_cast<VARTYPE>(FV.vt & VT_TYPEMASK);
    // The array comes from outside the process: refuse it whole before anything is read.
    if (!SafeArrayElementsFit(sa, et)) OleCheck(DISP_E_TYPEMISMATCH);
    LONG lo = 0, hi = -1;
    OleCheck(SafeArrayGetLBound(sa, 1, &lo));
    OleCheck(SafeArrayGetUBound(sa, 1, &hi));
    std::vector<OleVariant> out;
    for (LONG i = lo; i <= hi; ++i) {
        OleVariant e;
        if (et == VT_VARIANT) {
            OleCheck(SafeArrayGetElement(sa, &i, &e.FV));
        } else if (et == VT_DECIMAL) {
            DECIMAL d;
            OleCheck(SafeArrayGetElement(sa, &i, &d));
            e.FV.decVal = d;
            e.FV.vt = VT_DECIMAL;  // the decimal's first word is the variant's type
        } else {
            // The type is set once the variant owns what was read (a string or an object).
            OleCheck(SafeArrayGetElement(sa, &i, &e.FV.lVal));
            e.FV.vt = et;
        }
        out.push_back(std::move(e));
    }
    return out;
}

void OleVariant::Clear()
{
    VariantClear(&FV);
    VariantInit(&FV);
}

IDispatch* OleVariant::Dispatch(const std::string& name) const
{
    const VARIANT* v = &FV;
    if (v->vt == (VT_VARIANT | VT_BYREF)) v = v->pvarVal;
    IDispatch* d = nullptr;
    if (v->vt == VT_DISPATCH) d = v->pdispVal;
    else if (v->vt == (VT_DISPATCH | VT_BYREF)) d = *v->ppdispVal;
    if (!d) throw EOleSysError(Format("Variant does not reference an automation object ('%s')", name.c_str()),
                               DISP_E_TYPEMISMATCH);
    return d;
}

OleVariant OleVariant::Invoke(const std::string& name, WORD flags, const OleVariant* args, size_t count,
                              const OleVariant* putValue) const
{
    IDispatch* d = Dispatch(name);
    std::wstring wname = ToWide(name);
    LPOLESTR names[1] = {wname.data()};
    DISPID id = 0;
    HRESULT hr = Retried([&] { return d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); });
    if (FAILED(hr))
        throw EOleSysError(Format("Method '%s' not supported by automation object", name.c_str()), hr);

    // Arguments go in reverse order; a put's value comes first, as the named property-put argument.
    std::vector<VARIANTARG> rg;
    rg.reserve(count + 1);
    if (putValue) rg.push_back(putValue->FV);
    for (size_t i = count; i-- > 0;) rg.push_back(args[i].FV);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS dp{};
    dp.rgvarg = rg.empty() ? nullptr : rg.data();
    dp.cArgs = static_cast<UINT>(rg.size());
    if (putValue) {
        dp.rgdispidNamedArgs = &putId;
        dp.cNamedArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO ei{};
    UINT argErr = 0;
    hr = Retried([&] {
        return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, putValue ? nullptr : &result, &ei, &argErr);
    });
    if (hr == DISP_E_EXCEPTION) {
        if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
        std::string desc = BstrText(ei.bstrDescription), source = BstrText(ei.bstrSource);
        HRESULT code = ei.scode ? ei.scode : (ei.wCode ? MAKE_HRESULT(1, FACILITY_ITF, ei.wCode) : hr);
        SysFreeString(ei.bstrDescription);
        SysFreeString(ei.bstrSource);
        SysFreeString(ei.bstrHelpFile);
        VariantClear(&result);
        if (desc.empty()) desc = SystemText(code);
        throw EOleException(desc, code, source);
    }
    if (FAILED(hr)) {
        VariantClear(&result);
        throw EOleSysError(SystemText(hr), hr);
    }
    return Attach(result);
}

OleVariant OleVariant::Get(const std::string& name, std::initializer_list<OleVariant> args) const
{
    // Method or property: servers answer either to a get that allows both.
    return Invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args.begin(), args.size(), nullptr);
}

void OleVariant::Put(const std::string& name, const OleVariant& value) const
{
    Invoke(name, DISPATCH_PROPERTYPUT, nullptr, 0, &value);
}

void OleVariant::Put(const std::string& name, std::initializer_list<OleVariant> index, const OleVariant& value) const
{
    Invoke(name, DISPATCH_PROPERTYPUT, index.begin(), index.size(), &value);
}

OleVariant OleVariant::Call(const std::string& name, std::initializer_list<OleVariant> args) const
{
    return Invoke(name, DISPATCH_METHOD, args.begin(), args.size(), nullptr);
}

OleVariant CreateOleObject(const std::string& progId)
{
    std::wstring w = ToWide(progId);
    CLSID clsid;
    OleCheck(CLSIDFromProgID(w.c_str(), &clsid));
    IDispatch* d = nullptr;
    OleCheck(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&d)));
    OleVariant v;
    v.Raw().vt = VT_DISPATCH;
    v.Raw().pdispVal = d;  // the reference CoCreateInstance gave
    return v;
}
