// The server's objects: AnyTransport (a serial channel), AnyMaster (Modbus requests on a
// channel), their connection points and client registry, and the control object of tests.
#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

#include <olectl.h>

#include "Channel.h"
#include "OleAuto.h"
#include "Server.h"

namespace orlent {
namespace {

int gNextId = 0;
int gLive = 0;
std::string gLast;
LONG gNextChannel = 100;
NextFaults gNext;
std::map<LONG, ClientState> gClients;
std::map<LONG, std::weak_ptr<Channel>> gChannels;

std::string Narrow(const wchar_t* w, int n = -1)
{
    if (!w) return "";
    int len = WideCharToMultiByte(CP_UTF8, 0, w, n, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(std::max(len, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, n, s.data(), len, nullptr, nullptr);
    if (n < 0 && !s.empty()) s.pop_back();
    return s;
}

// The elements of a one-dimensional array; none when it is no such array or the client's rule
// refuses it.
std::vector<VARIANT> Elements(const VARIANT& v)
{
    const VARIANT* p = &v;
    while (p->vt == (VT_BYREF | VT_VARIANT)) p = p->pvarVal;
    std::vector<VARIANT> out;
    if (!(p->vt & VT_ARRAY)) return out;
    SAFEARRAY* sa = (p->vt & VT_BYREF) ? *p->pparray : p->parray;
    VARTYPE et = VARTYPE(p->vt & VT_TYPEMASK);
    if (!sa || SafeArrayGetDim(sa) != 1 || !SafeArrayElementsFit(sa, et)) return out;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(sa, 1, &lo);
    SafeArrayGetUBound(sa, 1, &hi);
    for (LONG i = lo; i <= hi; ++i) {
        VARIANT e;
        VariantInit(&e);
        DECIMAL d;
        if (et == VT_VARIANT) {
            SafeArrayGetElement(sa, &i, &e);
        } else if (et == VT_DECIMAL) {
            if (SUCCEEDED(SafeArrayGetElement(sa, &i, &d))) {
                e.decVal = d;
                e.vt = VT_DECIMAL;  // after the decimal, whose first word is the type's place
            }
        } else if (SUCCEEDED(SafeArrayGetElement(sa, &i, &e.lVal))) {
            e.vt = et;
        }
        out.push_back(e);
    }
    return out;
}

void Clear(std::vector<VARIANT>& v)
{
    for (auto& e : v) VariantClear(&e);
}

bool ToInt(const VARIANT& v, int& out)
{
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_I4))) return false;
    out = t.lVal;
    return true;
}

std::string ToStr(const VARIANT& v)
{
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR))) return "";
    std::string s = Narrow(t.bstrVal, int(SysStringLen(t.bstrVal)));
    VariantClear(&t);
    return s;
}

VARIANT MakeArray(const std::vector<VARIANT>& items)
{
    SAFEARRAYBOUND b{ULONG(items.size()), 0};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &b);
    for (LONG i = 0; i < LONG(items.size()); ++i) SafeArrayPutElement(sa, &i, const_cast<VARIANT*>(&items[size_t(i)]));
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_VARIANT;
    v.parray = sa;
    return v;
}

VARIANT I4(LONG x)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = x;
    return v;
}

bool gOmitErrorInfo = false;  // set while a call of a client that omits error information runs

HRESULT Fail(const char* why, HRESULT hr = E_FAIL)
{
    if (gOmitErrorInfo) return hr;
    ICreateErrorInfo* c = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&c))) {
        std::wstring w(why, why + strlen(why));
        c->SetDescription(const_cast<LPOLESTR>(w.c_str()));
        c->SetSource(const_cast<LPOLESTR>(L"OrlentSrv"));
        IErrorInfo* e = nullptr;
        if (SUCCEEDED(c->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&e)))) {
            SetErrorInfo(0, e);
            e->Release();
        }
        c->Release();
    }
    return hr;
}

// ---- common object base --------------------------------------------------------------------
class ConnectionPoint;

class ServerObject : public IConnectionPointContainer {
public:
    ServerObject(char letter, const GUID& defaultIid, const GUID& eventIid)
        : FDefaultIid(defaultIid), FEventIid(eventIid)
    {
        FName = letter + std::to_string(++gNextId);
        gLast = FName;
        ++gLive;
        ObjectCreated();
        FFaults = TakeNextFaults();
        Log("create");
    }
    virtual ~ServerObject()
    {
        Log("destroy");
        --gLive;
        ObjectDestroyed();
    }

    // IUnknown is implemented by the derived classes, which know their interfaces.
    virtual IUnknown* Unknown() = 0;
    void RegisterRunning(const GUID& clsid)
    {
        if (FFaults.run) RegisterActiveObject(Unknown(), clsid, ACTIVEOBJECT_WEAK, &FRunning);
    }
    // First thing of a derived destructor, while the object still answers its interfaces.
    void RevokeRunning()
    {
        if (FRunning) RevokeActiveObject(FRunning, nullptr);
        FRunning = 0;
    }

    void Log(const std::string& line)
    {
        if (FPid) Client(FPid).log.push_back(FName + " " + line);
        else FPending.push_back(FName + " " + line);
    }
    void SetPid(LONG pid)
    {
        if (FPid == pid) return;
        FPid = pid;
        for (auto& l : FPending) Client(pid).log.push_back(l);
        FPending.clear();
    }
    LONG Pid() const { return FPid; }
    const std::string& Name() const { return FName; }

    // The object's own event, raised inside the running call (fault event-in).
    virtual void EventInside() = 0;
    // Raises it once per object and method, when the client asked for it.
    void MaybeEventIn(const std::string& method)
    {
        if (!FPid || !Client(FPid).eventIn.count(method) || !FEventsIn.insert(method).second) return;
        Log("event-in " + method);
        EventInside();
    }
    bool OmitsErrorInfo() const { return FPid && Client(FPid).omitErrorInfo; }
    // Fault gone: the call fails as one to a server that has gone away.
    bool Gone() const { return FPid && Client(FPid).gone; }
    bool RefusesSettings() const { return FPid && Client(FPid).refuseSettings; }
    HRESULT SupportsErrorInfo(REFIID riid)
    {
        return riid == FDefaultIid || riid == IID_IAnyClientRegistry ? S_OK : S_FALSE;
    }

    // Delivers an event to every sink; a sink may go away meanwhile, so the list is copied.
    void Fire(DISPID id, VARIANT* args, UINT count);
    // Posted, inside the running call, or later, as the client asked.
    void Deliver(std::function<void()> f, bool inside = false)
    {
        ClientState* c = FPid ? &Client(FPid) : nullptr;
        Delivery d = c ? c->delivery : Delivery::Posted;
        if (inside || d == Delivery::Inside) {
            f();
            return;
        }
        Unknown()->AddRef();
        IUnknown* self = Unknown();
        auto run = [f, self](bool fire) {
            if (fire) f();
            self->Release();
        };
        if (d == Delivery::Held) c->held.push_back(run);
        else Post([run] { run(true); }, d == Delivery::Delayed ? c->delayMs : 0);
    }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // IDispatch through the type library
    HRESULT TypeInfoCount(UINT* n)
    {
        *n = 1;
        return S_OK;
    }
    HRESULT TypeInfo(UINT i, ITypeInfo** out)
    {
        *out = nullptr;
        if (i != 0) return DISP_E_BADINDEX;
        ITypeInfo* t = ServerTypeInfo(FDefaultIid);
        if (!t) return E_FAIL;
        t->AddRef();
        *out = t;
        return S_OK;
    }
    HRESULT IdsOfNames(LPOLESTR* names, UINT n, DISPID* ids)
    {
        ITypeInfo* t = ServerTypeInfo(FDefaultIid);
        return t ? DispGetIDsOfNames(t, names, n, ids) : E_FAIL;
    }
    HRESULT DoInvoke(void* self, DISPID id, WORD flags, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e, UINT* a)
    {
        ITypeInfo* t = ServerTypeInfo(FDefaultIid);
        return t ? DispInvoke(self, t, id, flags, p, r, e, a) : E_FAIL;
    }

    std::map<DWORD, IDispatch*> FSinks;
    DWORD FNextCookie = 1;
    NextFaults FFaults;
    std::set<std::string> FEventsIn;

protected:
    GUID FDefaultIid, FEventIid;
    std::string FName;
    LONG FPid = 0;
    std::vector<std::string> FPending;
    DWORD FRunning = 0;
    ConnectionPoint* FPoint = nullptr;
};

class ConnectionPoint : public IConnectionPoint {
public:
    explicit ConnectionPoint(ServerObject* o) : FOwner(o) {}
    virtual ~ConnectionPoint() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *out = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FOwner->Unknown()->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return FOwner->Unknown()->Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override
    {
        *out = FOwner;
        FOwner->Unknown()->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        auto it = FOwner->FSinks.find(cookie);
        if (it == FOwner->FSinks.end()) return CONNECT_E_NOCONNECTION;
        IDispatch* d = it->second;
        FOwner->FSinks.erase(it);
        FOwner->Log("unadvise");
        d->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    GUID iid{};

private:
    ServerObject* FOwner;
};

HRESULT ServerObject::FindConnectionPoint(REFIID riid, IConnectionPoint** out)
{
    *out = nullptr;
    if (riid != FEventIid) return CONNECT_E_NOCONNECTION;
    if (!FPoint) {
        FPoint = new ConnectionPoint(this);
        FPoint->iid = FEventIid;
    }
    *out = FPoint;
    Unknown()->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionInterface(IID* out)
{
    *out = iid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    IDispatch* d = nullptr;
    if (!sink || FAILED(sink->QueryInterface(iid, reinterpret_cast<void**>(&d))) || !d) {
        *cookie = 0;
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = FOwner->FNextCookie++;
    FOwner->FSinks[*cookie] = d;
    FOwner->Log("advise");
    return S_OK;
}

void ServerObject::Fire(DISPID id, VARIANT* args, UINT count)
{
    std::vector<IDispatch*> sinks;
    for (auto& s : FSinks) {
        s.second->AddRef();
        sinks.push_back(s.second);
    }
    for (IDispatch* d : sinks) {
        DISPPARAMS p{args, nullptr, count, 0};
        d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, nullptr);
        d->Release();
    }
}

// QueryInterface for an object with a default interface, the client registry and events.
template <class Self, class Default>
HRESULT QueryObject(Self* self, REFIID riid, void** out)
{
    *out = nullptr;
    const NextFaults& f = self->FFaults;
    if (riid == IID_IUnknown || riid == IID_IDispatch) *out = static_cast<Default*>(self);
    else if (riid == self->DefaultIid() && !f.noDefault) *out = static_cast<Default*>(self);
    else if (riid == IID_IAnyClientRegistry && !f.noRegistry) *out = static_cast<IAnyClientRegistry*>(self);
    else if (riid == IID_IConnectionPointContainer && !f.noEvents) *out = static_cast<IConnectionPointContainer*>(self);
    else if (riid == IID_ISupportErrorInfo && !self->OmitsErrorInfo()) *out = static_cast<ISupportErrorInfo*>(self);
    if (!*out) return E_NOINTERFACE;
    self->AddRef();
    return S_OK;
}

// ---- AnyTransport --------------------------------------------------------------------------
class Transport;
std::set<Transport*> gTransports;

// Calls of a client that omits error information set none.
struct ErrorInfoScope {
    explicit ErrorInfoScope(bool omit) : FOld(gOmitErrorInfo) { gOmitErrorInfo = omit; }
    ~ErrorInfoScope() { gOmitErrorInfo = FOld; }
    bool FOld;
};

class Transport : public IAnyTransport, public IAnyClientRegistry, public ServerObject, public ISupportErrorInfo {
public:
    Transport() : ServerObject('T', IID_IAnyTransport, DIID_IAnyTransportEvents)
    {
        gTransports.insert(this);
        VariantInit(&FSettingsValue);
    }
    ~Transport() override
    {
        RevokeRunning();
        gTransports.erase(this);
        CloseChannel();
        VariantClear(&FSettingsValue);
        delete FPoint;
    }
    IUnknown* Unknown() override { return static_cast<IAnyTransport*>(this); }
    GUID DefaultIid() const { return IID_IAnyTransport; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        return QueryObject<Transport, IAnyTransport>(this, riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG n = --FRefs;
        if (n == 0) {
            FRefs = 1000;  // calls made while it goes must not free it twice
            delete this;
        }
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return TypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID, ITypeInfo** t) override { return TypeInfo(i, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) override
    {
        return IdsOfNames(names, n, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                                     UINT* a) override
    {
        return DoInvoke(static_cast<IAnyTransport*>(this), id, flags, p, r, e, a);
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override { return SupportsErrorInfo(riid); }

    HRESULT STDMETHODCALLTYPE SetSettings(VARIANT Settings) override
    {
        Log("SetSettings " + VariantText(Settings));
        if (Gone()) return RPC_E_DISCONNECTED;
        MaybeEventIn("SetSettings");
        ErrorInfoScope scope(OmitsErrorInfo());
        if (RefusesSettings()) return Fail("settings refused");
        std::vector<VARIANT> e = Elements(Settings);
        if (e.size() < 7) {
            Clear(e);
            return Fail("transport settings: 7 elements expected", E_INVALIDARG);
        }
        LineSettings s;
        s.port = ToStr(e[1]);
        bool ok = ToInt(e[2], s.speed) && ToInt(e[3], s.flow) && ToInt(e[4], s.answerDelay) &&
                  ToInt(e[5], s.byteTimeout) && ToInt(e[6], s.retries);
        Clear(e);
        if (!ok) return Fail("transport settings: a number expected", DISP_E_TYPEMISMATCH);
        FLine = s;
        VariantClear(&FSettingsValue);
        VariantCopy(&FSettingsValue, &Settings);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSettings(VARIANT* Settings) override
    {
        VariantInit(Settings);
        return VariantCopy(Settings, &FSettingsValue);
    }
    HRESULT STDMETHODCALLTYPE SetChannelOpen(VARIANT_BOOL Open) override
    {
        Log("SetChannelOpen " + std::to_string(Open));
        if (Gone()) return RPC_E_DISCONNECTED;
        LONG old = FState;
        if (Open && !FChannel && FPid && Client(FPid).failOpen) {
            ErrorInfoScope scope(OmitsErrorInfo());
            return Fail("the channel cannot be opened");
        }
        if (Open && !FChannel && FPid && Client(FPid).refuseOpen) {
            Log("open refused");
            FState = StateClosed;
            RaiseState(old, StateClosed, NoChannel, EventDispId, true);
            return S_OK;
        }
        if (Open) {
            if (FChannel) {
                RaiseState(old, StateOpen, FChannel->Id());  // already open: the same channel again
                return S_OK;
            }
            auto ch = std::make_shared<Channel>(++gNextChannel, FLine);
            if (!ch->Open()) {
                Log("open failed " + FLine.port);
                FState = StateClosed;
                RaiseState(old, StateClosed, NoChannel);
                return S_OK;
            }
            FChannel = ch;
            gChannels[ch->Id()] = ch;
            FState = StateOpen;
            RaiseState(old, StateOpen, ch->Id());
        } else {
            CloseChannel();
            FState = StateClosed;
            RaiseState(old, StateClosed, NoChannel);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChannelOpen(VARIANT_BOOL* Open) override
    {
        *Open = FChannel ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChannelID(LONG* ChannelID) override
    {
        *ChannelID = FChannel ? FChannel->Id() : NoChannel;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE RegisterClient(LONG pid) override { return DoRegister(this, pid); }
    HRESULT STDMETHODCALLTYPE UnregisterClient(LONG pid) override { return DoUnregister(this, pid); }

    template <class T> static HRESULT DoRegister(T* self, LONG pid)
    {
        self->SetPid(pid);
        ErrorInfoScope scope(self->OmitsErrorInfo());
        if (Client(pid).refuseRegister) {
            self->Log("RegisterClient " + std::to_string(pid) + " refused");
            return Fail("registration refused", E_ACCESSDENIED);
        }
        self->Log("RegisterClient " + std::to_string(pid));
        if (self->Gone()) return RPC_E_DISCONNECTED;
        self->MaybeEventIn("RegisterClient");
        return S_OK;
    }
    template <class T> static HRESULT DoUnregister(T* self, LONG pid)
    {
        ErrorInfoScope scope(self->OmitsErrorInfo());
        if (Client(pid).failUnregister) {
            self->Log("UnregisterClient " + std::to_string(pid) + " failed");
            return Fail("unregistration failed");
        }
        self->Log("UnregisterClient " + std::to_string(pid));
        if (self->Gone()) return RPC_E_DISCONNECTED;
        self->MaybeEventIn("UnregisterClient");
        return S_OK;
    }

    void RaiseState(LONG old, LONG now, LONG id, DISPID dispid = EventDispId, bool inside = false)
    {
        Log("event " + std::to_string(old) + " " + std::to_string(now) + " " + std::to_string(id));
        Deliver(
            [this, old, now, id, dispid] {
                VARIANT args[3] = {I4(id), I4(now), I4(old)};  // last argument first
                Fire(dispid, args, 3);
            },
            inside);
    }
    // The channel closes under the running call.
    void EventInside() override
    {
        LONG old = FState;
        CloseChannel();
        FState = StateClosed;
        RaiseState(old, StateClosed, NoChannel, EventDispId, true);
    }
    // The port goes away under the channel, as when a cable is pulled.
    void Lose()
    {
        if (!FChannel) return;
        LONG old = FState;
        CloseChannel();
        FState = StateClosed;
        RaiseState(old, StateClosed, NoChannel);
    }
    LONG State() const { return FState; }
    LONG ChannelId() const { return FChannel ? FChannel->Id() : NoChannel; }

private:
    void CloseChannel()
    {
        if (!FChannel) return;
        gChannels.erase(FChannel->Id());
        FChannel->Close();
        FChannel.reset();
    }

    ULONG FRefs = 0;
    LineSettings FLine;
    VARIANT FSettingsValue;
    std::shared_ptr<Channel> FChannel;
    LONG FState = StateClosed;
};

// ---- AnyMaster -----------------------------------------------------------------------------
class Master;
std::set<Master*> gMasters;

class Master : public IAnyMaster, public IAnyClientRegistry, public ServerObject, public ISupportErrorInfo {
public:
    Master() : ServerObject('M', IID_IAnyMaster, DIID_IAnyMasterEvents)
    {
        gMasters.insert(this);
        VariantInit(&FSettingsValue);
    }
    ~Master() override
    {
        RevokeRunning();
        gMasters.erase(this);
        VariantClear(&FSettingsValue);
        delete FPoint;
    }
    IUnknown* Unknown() override { return static_cast<IAnyMaster*>(this); }
    GUID DefaultIid() const { return IID_IAnyMaster; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        return QueryObject<Master, IAnyMaster>(this, riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG n = --FRefs;
        if (n == 0) {
            FRefs = 1000;  // calls made while it goes must not free it twice
            delete this;
        }
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return TypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID, ITypeInfo** t) override { return TypeInfo(i, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) override
    {
        return IdsOfNames(names, n, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                                     UINT* a) override
    {
        return DoInvoke(static_cast<IAnyMaster*>(this), id, flags, p, r, e, a);
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override { return SupportsErrorInfo(riid); }

    HRESULT STDMETHODCALLTYPE SendQuery(VARIANT Query) override
    {
        Log("SendQuery " + VariantText(Query));
        if (Gone()) return RPC_E_DISCONNECTED;
        ErrorInfoScope scope(OmitsErrorInfo());
        std::vector<VARIANT> e = Elements(Query);
        auto r = std::make_shared<Request>();
        bool ok = e.size() >= 6 && ToInt(e[0], r->kind) && ToInt(e[1], r->qid) && ToInt(e[2], r->args[0]) &&
                  ToInt(e[3], r->args[1]);
        if (ok && r->kind == 9) {
            ok = ToInt(e[4], r->args[2]);
            std::vector<VARIANT> f = Elements(e[5]);
            for (auto& x : f) {
                int t = 0;
                ok = ok && ToInt(x, t);
                r->format.push_back(t);
            }
            Clear(f);
        } else if (ok) {
            ok = ToInt(e[4], r->valueType) && ToInt(e[5], r->count);
        }
        Clear(e);
        if (!ok) return Fail("request: 6 elements of known kind expected", E_INVALIDARG);
        r->addr = FAddr;
        r->retries = FRetries;
        if (FPid && Client(FPid).dieAt == r->qid) {
            Log("die");
            Post(Die);
            return S_OK;
        }
        ++FPending;
        if (FPid && Client(FPid).count >= 0) {
            MakeUp(*r, Client(FPid).count);
            Answer(r);
            return S_OK;
        }
        int forced = FPid ? Client(FPid).forcedResult : -1;
        auto found = gChannels.find(FChannelId);
        std::shared_ptr<Channel> ch = found == gChannels.end() ? nullptr : found->second.lock();
        if (forced >= 0 || !ch || !ch->IsOpen()) {
            r->result = forced >= 0 ? forced : int(ResChannelClosed);
            Answer(r);
        } else if (FPid && Client(FPid).delivery == Delivery::Inside) {
            ch->Execute(*r);
            Answer(r);
        } else {
            AddRef();
            ch->Queue(r, [this](std::shared_ptr<Request> done) {
                Post([this, done] {
                    Answer(done);
                    Release();
                });
            });
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSettings(VARIANT Settings) override
    {
        Log("SetSettings " + VariantText(Settings));
        if (Gone()) return RPC_E_DISCONNECTED;
        MaybeEventIn("SetSettings");
        ErrorInfoScope scope(OmitsErrorInfo());
        if (RefusesSettings()) return Fail("settings refused");
        std::vector<VARIANT> e = Elements(Settings);
        bool ok = e.size() >= 7 && ToInt(e[1], FAddr) && ToInt(e[4], FRetries);
        Clear(e);
        if (!ok) return Fail("master settings: 7 elements expected", E_INVALIDARG);
        VariantClear(&FSettingsValue);
        VariantCopy(&FSettingsValue, &Settings);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetChannel(LONG ChannelID) override
    {
        Log("SetChannel " + std::to_string(ChannelID));
        if (Gone()) return RPC_E_DISCONNECTED;
        FChannelId = ChannelID;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSettings(VARIANT* Settings) override
    {
        VariantInit(Settings);
        return VariantCopy(Settings, &FSettingsValue);
    }
    HRESULT STDMETHODCALLTYPE GetChannel(LONG* ChannelID) override
    {
        *ChannelID = FChannelId;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPending(LONG* Count) override
    {
        *Count = FPending;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RegisterClient(LONG pid) override { return Transport::DoRegister(this, pid); }
    HRESULT STDMETHODCALLTYPE UnregisterClient(LONG pid) override { return Transport::DoUnregister(this, pid); }

    // Answers without the line: a register read gives the count, record i of an archive is
    // [2026-01-01 + i * 10 min, 3, i].
    static void MakeUp(Request& r, int count)
    {
        r.result = ResOk;
        if (r.kind == 9) r.values = {int32_t(1767225600 + r.args[2] * 600), 3, r.args[2]};
        else r.values = {count};
    }
    // A record reply to request 1, inside the running call.
    void EventInside() override
    {
        auto r = std::make_shared<Request>();
        r->kind = 9;
        r->qid = 1;
        MakeUp(*r, 0);
        ++FPending;
        Answer(r, EventDispId, true);
    }

    // The reply array: [kind, QID, MBAddr, FunNumber, Value, Result].
    void Answer(std::shared_ptr<Request> r, DISPID dispid = EventDispId, bool inside = false)
    {
        Log("reply " + std::to_string(r->qid) + " " + std::to_string(r->result));
        Deliver([this, r, dispid] {
            --FPending;
            VARIANT value;
            VariantInit(&value);
            std::vector<VARIANT> items;
            for (int32_t x : r->values) {
                VARIANT v = I4(x);
                if (r->floats) {
                    float f;
                    memcpy(&f, &x, sizeof f);
                    v.vt = VT_R4;
                    v.fltVal = f;
                }
                items.push_back(v);
            }
            if (r->result == ResOk) {
                if (items.size() == 1 && r->kind != 9) value = items[0];
                else value = MakeArray(items);
            }
            VARIANT kind;
            VariantInit(&kind);
            kind.vt = VT_UI1;
            kind.bVal = BYTE(r->kind);
            std::vector<VARIANT> reply = {kind, I4(r->qid), I4(r->addr), I4(r->fun), value, I4(r->result)};
            VARIANT arr = MakeArray(reply);
            VariantClear(&value);
            VARIANT ref;
            VariantInit(&ref);
            ref.vt = VT_BYREF | VT_VARIANT;
            ref.pvarVal = &arr;
            Fire(dispid, &ref, 1);
            VariantClear(&arr);
        }, inside);
    }

private:
    ULONG FRefs = 0;
    VARIANT FSettingsValue;
    LONG FChannelId = NoChannel;
    int FAddr = 1, FRetries = 1;
    LONG FPending = 0;
};

// ---- the control object of tests -------------------------------------------------------------
class Control : public IOrlentSrvControl {
public:
    Control() { ObjectCreated(); }
    virtual ~Control() { ObjectDestroyed(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IOrlentSrvControl) {
            *out = static_cast<IOrlentSrvControl*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG n = --FRefs;
        if (n == 0) {
            FRefs = 1000;  // calls made while it goes must not free it twice
            delete this;
        }
        return n;
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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Command(BSTR Line, BSTR* Reply) override
    {
        std::string reply = Run(Narrow(Line, int(SysStringLen(Line))));
        std::wstring w(reply.begin(), reply.end());
        *Reply = SysAllocString(w.c_str());
        return S_OK;
    }

private:
    static std::string Run(const std::string& line)
    {
        std::istringstream in(line);
        std::string cmd, what;
        in >> cmd;
        LONG pid = 0;
        if (cmd == "last") return "OK " + gLast;
        if (cmd == "objects") return "OK " + std::to_string(gLive);
        if (cmd == "next") {
            in >> what;
            SetNextFault(what);
            return "OK";
        }
        if (!(in >> pid)) return "ERR pid expected";
        if (cmd == "reset") {
            // Held events are dropped; the objects they kept go before the log is forgotten.
            std::vector<std::function<void(bool)>> held;
            held.swap(Client(pid).held);
            for (auto& f : held) f(false);
            gClients.erase(pid);
            return "OK";
        }
        if (cmd == "release") {
            // Posted, so that they arrive after this call whatever the client does meanwhile.
            std::vector<std::function<void(bool)>> held;
            held.swap(Client(pid).held);
            for (auto& f : held) Post([f] { f(true); });
            return "OK";
        }
        if (cmd == "log") {
            std::string out = "OK";
            for (auto& l : Client(pid).log) out += "\n" + l;
            return out;
        }
        if (cmd == "lose") {
            for (Transport* t : std::vector<Transport*>(gTransports.begin(), gTransports.end()))
                if (t->Pid() == pid) t->Lose();
            return "OK";
        }
        if (cmd == "state") {
            LONG now = 0;
            in >> now;
            for (Transport* t : gTransports)
                if (t->Pid() == pid) t->RaiseState(t->State(), now, t->ChannelId());
            return "OK";
        }
        if (cmd == "event") {
            LONG id = 0;
            in >> id;
            for (Transport* t : gTransports)
                if (t->Pid() == pid) t->RaiseState(t->State(), t->State(), t->ChannelId(), id);
            for (Master* m : gMasters)
                if (m->Pid() == pid) {
                    auto r = std::make_shared<Request>();
                    r->qid = 1;
                    m->Answer(r, id);
                }
            return "OK";
        }
        if (cmd == "fault") {
            in >> what;
            ClientState& c = Client(pid);
            if (what == "refuse-register") c.refuseRegister = true;
            else if (what == "refuse-open") c.refuseOpen = true;
            else if (what == "fail-open") c.failOpen = true;
            else if (what == "refuse-settings") c.refuseSettings = true;
            else if (what == "gone") c.gone = true;
            else if (what == "event-in") {
                std::string method;
                in >> method;
                c.eventIn.insert(method);
            } else if (what == "die-at") in >> c.dieAt;
            else if (what == "count") in >> c.count;
            else if (what == "no-error-info") c.omitErrorInfo = true;
            else if (what == "fail-unregister") c.failUnregister = true;
            else if (what == "result") in >> c.forcedResult;
            else if (what == "events") {
                std::string how;
                in >> how;
                if (how == "posted") c.delivery = Delivery::Posted;
                else if (how == "inside") c.delivery = Delivery::Inside;
                else if (how == "held") c.delivery = Delivery::Held;
                else if (how == "delay") {
                    c.delivery = Delivery::Delayed;
                    in >> c.delayMs;
                } else return "ERR delivery " + how;
            } else return "ERR fault " + what;
            return "OK";
        }
        return "ERR unknown command " + cmd;
    }
    ULONG FRefs = 0;
};

}  // namespace

ClientState& Client(LONG pid) { return gClients[pid]; }

NextFaults TakeNextFaults()
{
    NextFaults f = gNext;
    gNext = NextFaults();
    return f;
}

void SetNextFault(const std::string& name)
{
    if (name == "no-events") gNext.noEvents = true;
    else if (name == "no-default") gNext.noDefault = true;
    else if (name == "no-registry") gNext.noRegistry = true;
    else if (name == "run") gNext.run = true;
}

std::string LastObjectName() { return gLast; }
int LiveObjects() { return gLive; }

template <class T> static HRESULT Make(const GUID& clsid, REFIID riid, void** out)
{
    T* t = new T();
    t->AddRef();
    t->RegisterRunning(clsid);
    HRESULT hr = t->QueryInterface(riid, out);
    t->Release();
    return hr;
}

HRESULT CreateTransport(REFIID riid, void** out) { return Make<Transport>(CLSID_AnyTransport, riid, out); }
HRESULT CreateMaster(REFIID riid, void** out) { return Make<Master>(CLSID_AnyMaster, riid, out); }
HRESULT CreateControl(REFIID riid, void** out)
{
    Control* c = new Control();
    c->AddRef();
    HRESULT hr = c->QueryInterface(riid, out);
    c->Release();
    return hr;
}

std::string VariantText(const VARIANT& v)
{
    const VARIANT* p = &v;
    while (p->vt == (VT_BYREF | VT_VARIANT)) p = p->pvarVal;
    if (p->vt & VT_ARRAY) {
        std::vector<VARIANT> e = Elements(*p);
        std::string s = "[";
        for (size_t i = 0; i < e.size(); ++i) s += (i ? ", " : "") + VariantText(e[i]);
        Clear(e);
        return s + "]";
    }
    switch (p->vt) {
    case VT_EMPTY: return "empty";
    case VT_NULL: return "null";
    case VT_UI1: return "ui1 " + std::to_string(p->bVal);
    case VT_I2: return "i2 " + std::to_string(p->iVal);
    case VT_I4: return "i4 " + std::to_string(p->lVal);
    case VT_UI4: return "ui4 " + std::to_string(p->ulVal);
    case VT_BOOL: return std::string("bool ") + (p->boolVal ? "true" : "false");
    case VT_BSTR: return "str \"" + Narrow(p->bstrVal, int(SysStringLen(p->bstrVal))) + "\"";
    default: return "vt" + std::to_string(p->vt) + " " + ToStr(*p);
    }
}

}  // namespace orlent
