#include "OrlentSrv_TLB.h"

#include <olectl.h>

#include <exception>

#include "Cp1251.h"
#include "Forms.h"

using namespace orlent;

namespace {

TServerData AnyMasterServerData = {CLSID_AnyMaster, IID_IAnyMaster, DIID_IAnyMasterEvents, 500, 0};
TServerData AnyTransportServerData = {CLSID_AnyTransport, IID_IAnyTransport, DIID_IAnyTransportEvents, 500, 0};

const char* const NotConnected =
    "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
    "'ConnectTo' before this operation";

class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EAssertionFailed"; }
};

[[noreturn]] void AssertNotConnected(int line)
{
    throw EAssertionFailed(std::string(NotConnected) + " (OrlentSrv_TLB.cpp, line " + IntToStr(line) + ")");
}

bool IsOwnComputer(const std::string& name)
{
    char buf[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof buf;
    if (!GetComputerNameA(buf, &n)) return false;
    return UpperCase(std::string(buf, n)) == UpperCase(name);
}

}  // namespace

// The sink the server calls through the connection point. It may outlive its proxy (the server
// holds it until it lets go), so the proxy detaches it on destruction.
class TServerEventDispatch : public IDispatch {
public:
    TServerEventDispatch(TOleServer* Server, const GUID& EventIID) : FServer(Server), FEventIID(EventIID) {}
    virtual ~TServerEventDispatch() = default;
    void Detach() { FServer = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == FEventIID) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&FRefs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&FRefs);
        if (n == 0) delete this;
        return ULONG(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** t) override
    {
        *t = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        if (!FServer) return S_OK;
        AddRef();  // a handler may free the proxy, which lets go of this sink
        UINT count = p ? p->cArgs : 0;
        std::vector<OleVariant> params(count);
        // The wire brings the last argument first.
        for (UINT i = 0; i < count; ++i)
            VariantCopyInd(&params[i].Raw(), &p->rgvarg[count - 1 - i]);
        HRESULT hr = S_OK;
        try {
            FServer->DeliverEvent(id, params);
        } catch (...) {
            hr = DISP_E_EXCEPTION;
            if (Application) Application->HandleException(nullptr);
        }
        // From here on only this sink's own list and the wire arguments are touched.
        for (UINT i = 0; i < count; ++i) {
            VARIANT& arg = p->rgvarg[count - 1 - i];
            if (arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal) {
                VariantClear(arg.pvarVal);
                VariantCopy(arg.pvarVal, &params[i].Raw());
            }
        }
        Release();
        return hr;
    }

private:
    LONG FRefs = 1;
    TOleServer* FServer;
    GUID FEventIID;
};

void ServerCheck(HRESULT hr, IUnknown* Intf, REFIID Iid)
{
    if (SUCCEEDED(hr)) return;
    // The thread's error object is taken in any case, so that it cannot reach a later failure;
    // its text counts only where the object says it gives error information for this interface.
    bool supported = false;
    ISupportErrorInfo* support = nullptr;
    if (Intf && !ServerGone(hr) &&
        SUCCEEDED(Intf->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) && support) {
        supported = support->InterfaceSupportsErrorInfo(Iid) == S_OK;
        support->Release();
    }
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        std::string d, s;
        if (supported) {
            BSTR desc = nullptr, source = nullptr;
            info->GetDescription(&desc);
            info->GetSource(&source);
            d = desc ? FromWide(desc, int(SysStringLen(desc))) : std::string();
            s = source ? FromWide(source, int(SysStringLen(source))) : std::string();
            SysFreeString(desc);
            SysFreeString(source);
        }
        info->Release();
        if (!d.empty()) throw EOleException(d, hr, s);
    }
    OleCheck(hr);
}

bool ServerGone(HRESULT hr)
{
    switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case RPC_E_CONNECTION_TERMINATED:
    case CO_E_OBJNOTCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
        return true;
    default:
        return false;
    }
}

// ---- TOleServer ------------------------------------------------------------------------------

TOleServer::TOleServer(TComponent* AOwner) : TComponent(AOwner) {}

TOleServer::~TOleServer()
{
    if (FEventDispatch) {
        FEventDispatch->Detach();
        FEventDispatch->Release();
    }
}

IUnknown* TOleServer::GetServer()
{
    const GUID& clsid = FServerData->ClassID;
    IUnknown* unk = nullptr;
    TConnectKind kind = FRemoteMachineName.empty() ? FConnectKind : ckRemote;
    switch (kind) {
    case ckRemote: {
        std::wstring name = ToWide(FRemoteMachineName);
        COSERVERINFO info{};
        info.pwszName = const_cast<LPWSTR>(name.c_str());
        MULTI_QI qi{&IID_IUnknown, nullptr, S_OK};
        DWORD ctx = CLSCTX_REMOTE_SERVER;
        if (IsOwnComputer(FRemoteMachineName)) ctx |= CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
        OleCheck(CoCreateInstanceEx(clsid, nullptr, ctx, &info, 1, &qi));
        OleCheck(qi.hr);
        unk = qi.pItf;
        break;
    }
    case ckRunningInstance:
        OleCheck(GetActiveObject(clsid, nullptr, &unk));
        break;
    case ckRunningOrNew:
        if (SUCCEEDED(GetActiveObject(clsid, nullptr, &unk)) && unk) break;
        unk = nullptr;
        [[fallthrough]];
    default:
        OleCheck(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&unk)));
        break;
    }
    return unk;
}

void TOleServer::ConnectEvents(IUnknown* Obj)
{
    if (!FEventDispatch) FEventDispatch = new TServerEventDispatch(this, FServerData->EventIID);
    IConnectionPointContainer* cpc = nullptr;
    if (FAILED(Obj->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) || !cpc) return;
    IConnectionPoint* cp = nullptr;
    HRESULT hr = cpc->FindConnectionPoint(FServerData->EventIID, &cp);
    cpc->Release();
    if (FAILED(hr) || !cp) return;
    if (FAILED(cp->Advise(FEventDispatch, &FCookie))) {
        cp->Release();
        FCookie = 0;
        return;
    }
    FConnectionPoint = cp;
}

void TOleServer::DisconnectEvents()
{
    IConnectionPoint* cp = FConnectionPoint;
    if (!cp) return;
    FConnectionPoint = nullptr;
    if (!FServerGone) cp->Unadvise(FCookie);
    cp->Release();
    FCookie = 0;
}

// ---- TAnyMaster ------------------------------------------------------------------------------

TAnyMaster::TAnyMaster(TComponent* AOwner) : TOleServer(AOwner)
{
    InitServerData();
    ++FServerData->InstanceCount;
}

TAnyMaster::~TAnyMaster()
{
    Disconnect();
    --FServerData->InstanceCount;
}

void TAnyMaster::InitServerData() { FServerData = &AnyMasterServerData; }

void TAnyMaster::Connect()
{
    if (FIntf) return;
    IUnknown* unk = GetServer();
    ConnectEvents(unk);
    IAnyMaster* intf = nullptr;
    HRESULT hr = unk->QueryInterface(IID_IAnyMaster, reinterpret_cast<void**>(&intf));
    unk->Release();
    if (FAILED(hr) || !intf) {
        DisconnectEvents();
        OleCheck(FAILED(hr) ? hr : E_NOINTERFACE);
    }
    FIntf = intf;
}

void TAnyMaster::Disconnect()
{
    if (!FIntf) return;
    DisconnectEvents();
    IAnyMaster* intf = FIntf;
    FIntf = nullptr;
    intf->Release();
}

IAnyMaster* TAnyMaster::DefaultInterface()
{
    if (!FIntf) Connect();
    if (!FIntf) AssertNotConnected(__LINE__);
    FIntf->AddRef();
    return FIntf;
}

void TAnyMaster::InvokeEvent(DISPID DispID, std::vector<OleVariant>& Params)
{
    if (DispID != EventDispId || !OnExchange || Params.empty()) return;
    TAnyMasterOnExchange handler = OnExchange;  // the handler may free this proxy
    handler(this, Params[0]);
}

namespace {
// One wrapped call: a counted reference for the call only, so that a handler that frees the
// proxy during the call leaves nothing of it in use here. A call that finds the server gone
// tells the owner first (through a copy of its handler, taken while the proxy surely lived).
template <class Intf, class Call> void Wrapped(TOleServer* proxy, Intf* intf, const IID& iid, Call call)
{
    std::function<void()> lost = proxy->OnServerLost;
    HRESULT hr = call(intf);
    if (FAILED(hr)) {
        std::exception_ptr error;
        try {
            ServerCheck(hr, intf, iid);
        } catch (...) {
            error = std::current_exception();
        }
        intf->Release();
        if (lost && ServerGone(hr)) lost();
        std::rethrow_exception(error);
    }
    intf->Release();
}

struct VariantCopyArg {
    explicit VariantCopyArg(const OleVariant& v)
    {
        VariantInit(&value);
        OleCheck(VariantCopy(&value, const_cast<VARIANT*>(&v.Raw())));
    }
    ~VariantCopyArg() { VariantClear(&value); }
    VARIANT value;
};
}  // namespace

void TAnyMaster::SendQuery(const OleVariant& Request)
{
    VariantCopyArg arg(Request);
    Wrapped(this, DefaultInterface(), IID_IAnyMaster, [&](IAnyMaster* i) { return i->SendQuery(arg.value); });
}

void TAnyMaster::SetSettings(const OleVariant& Settings)
{
    VariantCopyArg arg(Settings);
    Wrapped(this, DefaultInterface(), IID_IAnyMaster, [&](IAnyMaster* i) { return i->SetSettings(arg.value); });
}

void TAnyMaster::SetChannel(int ChannelID)
{
    Wrapped(this, DefaultInterface(), IID_IAnyMaster, [&](IAnyMaster* i) { return i->SetChannel(ChannelID); });
}

// ---- TAnyTransport ---------------------------------------------------------------------------

TAnyTransport::TAnyTransport(TComponent* AOwner) : TOleServer(AOwner)
{
    InitServerData();
    ++FServerData->InstanceCount;
}

TAnyTransport::~TAnyTransport()
{
    Disconnect();
    --FServerData->InstanceCount;
}

void TAnyTransport::InitServerData() { FServerData = &AnyTransportServerData; }

void TAnyTransport::Connect()
{
    if (FIntf) return;
    IUnknown* unk = GetServer();
    ConnectEvents(unk);
    IAnyTransport* intf = nullptr;
    HRESULT hr = unk->QueryInterface(IID_IAnyTransport, reinterpret_cast<void**>(&intf));
    unk->Release();
    if (FAILED(hr) || !intf) {
        DisconnectEvents();
        OleCheck(FAILED(hr) ? hr : E_NOINTERFACE);
    }
    FIntf = intf;
}

void TAnyTransport::Disconnect()
{
    if (!FIntf) return;
    DisconnectEvents();
    IAnyTransport* intf = FIntf;
    FIntf = nullptr;
    intf->Release();
}

IAnyTransport* TAnyTransport::DefaultInterface()
{
    if (!FIntf) Connect();
    if (!FIntf) AssertNotConnected(__LINE__);
    FIntf->AddRef();
    return FIntf;
}

void TAnyTransport::InvokeEvent(DISPID DispID, std::vector<OleVariant>& Params)
{
    if (DispID != EventDispId || !OnStateChanged) return;
    int oldState = Params.size() > 0 ? Params[0].AsInteger() : 0;
    int newState = Params.size() > 1 ? Params[1].AsInteger() : 0;
    int id = Params.size() > 2 ? Params[2].AsInteger() : 0;
    TAnyTransportOnStateChanged handler = OnStateChanged;  // the handler may free this proxy
    handler(this, oldState, newState, id);
}

void TAnyTransport::SetSettings(const OleVariant& Settings)
{
    VariantCopyArg arg(Settings);
    Wrapped(this, DefaultInterface(), IID_IAnyTransport, [&](IAnyTransport* i) { return i->SetSettings(arg.value); });
}

void TAnyTransport::SetChannelOpen(VARIANT_BOOL Open)
{
    Wrapped(this, DefaultInterface(), IID_IAnyTransport, [&](IAnyTransport* i) { return i->SetChannelOpen(Open); });
}
