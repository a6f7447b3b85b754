#include "OrlentServerDefs.h"

#include <algorithm>
#include <exception>

const char* const ServerResultTexts[ServerResultCount] = {
    "Команда выполнена успешно",
    "Прибор не отвечает",
    "Ошибка контрольной суммы",
    "Канал закрыт (не удается отправить запрос)",
    "Функция не поддерживается прибором",
    "Недопустимые данные",
    "Ошибка доступа",
    "Начало долговременной операции",
    "Прибор занят",
    "Функция не может быть выполнена",
    "Ошибка четности",
    "Недопустимый ModBus-адрес",
    "Ошибочный адрес",
    "Ошибочный номер функции",
    "Неизвестная ошибка",
    "Неверный тип данных",
    "Длина ответа не соответствует длине запроса",
    "Недопустимое значение для float",
    "Не задан транспорт или текущий транспорт отключен",
    "Метка времени в архивной записи не совпадает с запрошенной",
};

namespace {

bool OwnerDesigning(TComponent* AOwner) { return AOwner && AOwner->InState(csDesigning); }

// Registers with the server object as a client, if the object keeps a client registry.
void Register(IUnknown* intf, bool on)
{
    orlent::IAnyClientRegistry* reg = nullptr;
    HRESULT found = intf->QueryInterface(orlent::IID_IAnyClientRegistry, reinterpret_cast<void**>(&reg));
    if (ServerGone(found)) OleCheck(found);
    if (FAILED(found) || !reg) return;
    LONG pid = static_cast<LONG>(GetCurrentProcessId());
    HRESULT hr = on ? reg->RegisterClient(pid) : reg->UnregisterClient(pid);
    try {
        ServerCheck(hr, reg, orlent::IID_IAnyClientRegistry);
    } catch (...) {
        reg->Release();
        throw;
    }
    reg->Release();
}

template <class Intf> void RegisterThrough(Intf* intf, bool on)
{
    // (intf is a counted reference of its own: a handler may free the proxy during the call.)
    try {
        Register(intf, on);
    } catch (...) {
        intf->Release();
        throw;
    }
    intf->Release();
}

// Lets go of a proxy whose server is gone: no unadvise, no unregistration.
template <class Proxy> void Forget(Proxy* proxy)
{
    if (!proxy) return;
    proxy->ForgetServer();
    delete proxy;
}

// Unregisters and frees a proxy that its owner has already let go of. A server that is gone
// needs no unregistration; any other failure is returned, and the proxy is left to the owner.
template <class Proxy> std::exception_ptr Unregister(Proxy* proxy)
{
    try {
        RegisterThrough(proxy->DefaultInterface(), false);
    } catch (const EOleSysError& e) {
        if (!ServerGone(e.ErrorCode)) return std::current_exception();
        Forget(proxy);
        return nullptr;
    } catch (...) {
        return std::current_exception();
    }
    delete proxy;
    return nullptr;
}

// The owner takes back a proxy whose unregistration failed (it stays, as the server holds it),
// unless an event meanwhile gave it another one.
template <class Proxy> [[noreturn]] void KeepAndRaise(Proxy*& field, Proxy* proxy, std::exception_ptr error)
{
    if (!field) field = proxy;
    else delete proxy;
    std::rethrow_exception(error);
}

}  // namespace

// ---- TAnyTransportCustom -------------------------------------------------------------------

TAnyTransportCustom::TAnyTransportCustom(TComponent* AOwner) : TComponent(AOwner), FDesigning(OwnerDesigning(AOwner))
{
}

TAnyTransportCustom::~TAnyTransportCustom()
{
    FMasters.clear();
    FMastersReleased = true;
    try {
        DisconnectServer();
    } catch (...) {
        // A server that fails the unregistration must not keep the component alive.
    }
    delete FProxy;
    FProxy = nullptr;
}

void TAnyTransportCustom::SetLiveChannel(bool Value)
{
    if (Value == FLiveChannel || FDesigning) return;
    if (!ConnectServer()) {
        FLiveChannel = false;
        return;
    }
    // A state event inside any of these calls may close the channel and free the proxy (and a
    // call that finds the server gone does so too), so the proxy is looked at before each.
    if (Value && FProxy) ApplySettings();
    if (!FProxy) return;
    // The state event may arrive inside this call and free the proxy: nothing of it is used after.
    FProxy->SetChannelOpen(Value ? VARIANT_TRUE : VARIANT_FALSE);
}

bool TAnyTransportCustom::ConnectServer()
{
    if (FProxy) return true;
    auto* proxy = new TAnyTransport(this);
    proxy->SetConnectKind(FConnectKind);
    proxy->SetRemoteMachineName(FConnectKind == ckRemote ? FRemoteMachineName : std::string());
    proxy->OnStateChanged = [this](TObject* ASender, int AOldState, int ANewState, int AID) {
        DoServerStateChanged(ASender, AOldState, ANewState, AID);
    };
    proxy->OnServerLost = [this] { ServerLost(); };
    FProxy = proxy;
    try {
        proxy->Connect();
        RegisterThrough(proxy->DefaultInterface(), true);
    } catch (...) {
        // A state event inside RegisterClient may have freed it already.
        if (FProxy == proxy) {
            FProxy = nullptr;
            delete proxy;
        }
        return false;
    }
    return true;
}

void TAnyTransportCustom::DisconnectServer()
{
    if (!FProxy) return;
    // Let go of it first: an event inside UnregisterClient then finds nothing to disconnect again.
    TAnyTransport* proxy = FProxy;
    FProxy = nullptr;
    if (std::exception_ptr error = Unregister(proxy)) KeepAndRaise(FProxy, proxy, error);
}

void TAnyTransportCustom::ServerLost()
{
    if (FLosing) return;
    FLosing = true;
    try {
        TAnyTransport* proxy = FProxy;
        FProxy = nullptr;
        Forget(proxy);
        // The masters' objects lived in the same server: they go first, so that handing them -1
        // below makes no call to it.
        for (TAnyMasterCustom* m : std::vector<TAnyMasterCustom*>(FMasters)) m->ForgetServer();
        HandOverChannel(-1);
    } catch (...) {
        FLosing = false;
        throw;
    }
    FLosing = false;
}

void TAnyTransportCustom::DoServerStateChanged(TObject*, int AOldState, int ANewState, int AID)
{
    if (ANewState == 0 || ANewState == 1) HandOverChannel(AID);
    if (OnStateChanged) OnStateChanged(this, AOldState, ANewState, GetStateMsg(ANewState));
}

void TAnyTransportCustom::HandOverChannel(int AID)
{
    {
        FChannelID = AID;
        size_t count = FMasters.size();
        for (size_t i = 0; i < count && i < FMasters.size(); ++i) {
            TAnyMasterCustom* m = FMasters[i];
            m->LockMaster();
            try {
                m->SetChannelID(AID);
            } catch (...) {
                m->UnlockMaster();
                throw;
            }
            m->UnlockMaster();
        }
        bool live = AID != -1;
        FLiveChannel = live;
        if (!live && !FKeepAliveOnDisconnect) DisconnectServer();
        if (OnChangeConnected) OnChangeConnected(this, live);
    }
}

void TAnyTransportCustom::SetChannelID(int Value) { HandOverChannel(Value); }

std::string TAnyTransportCustom::GetStateMsg(int) { return std::string(); }

void TAnyTransportCustom::AttachMaster(TAnyMasterCustom* Master)
{
    if (FDesigning || !Master) return;
    if (std::find(FMasters.begin(), FMasters.end(), Master) == FMasters.end()) FMasters.push_back(Master);
    FreeNotification(Master);
    Master->SetConnection(FRemoteMachineName, FConnectKind);
    Master->SetChannelID(FChannelID);
}

void TAnyTransportCustom::DetachMaster(TAnyMasterCustom* Master)
{
    if (FDesigning) return;
    FMasters.erase(std::remove(FMasters.begin(), FMasters.end(), Master), FMasters.end());
}

void TAnyTransportCustom::SetUseDCOM(bool Value)
{
    if (Value == FUseDCOM) return;
    FUseDCOM = Value;
    FConnectKind = Value ? ckRemote : ckRunningOrNew;
    for (TAnyMasterCustom* m : FMasters) m->SetConnection(m->RemoteMachineName(), FConnectKind);
}

void TAnyTransportCustom::SetRemoteMachineName(const std::string& Value)
{
    if (Value == FRemoteMachineName) return;
    FRemoteMachineName = Value;
    for (TAnyMasterCustom* m : FMasters) m->SetConnection(FRemoteMachineName, m->ConnectKind());
}

void TAnyTransportCustom::SetDlgManager(TDlgManager* Value)
{
    if (Value == FDlgManager) return;
    if (FDlgManager && !FDesigning) FDlgManager->RemoveTransport(this);
    FDlgManager = Value;
    if (Value && !FDesigning) {
        Value->AddTransport(this);
        FreeNotification(Value);
    }
}

void TAnyTransportCustom::EndUpdate()
{
    if (!FUpdateLock) return;
    FUpdateLock = false;
    ApplySettings();
}

void TAnyTransportCustom::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove) {
        if (AComponent == FDlgManager) FDlgManager = nullptr;
        else if (!FMastersReleased)
            FMasters.erase(std::remove(FMasters.begin(), FMasters.end(), AComponent), FMasters.end());
    }
    TComponent::Notification(AComponent, Operation);
}

// ---- TAnyMasterCustom ----------------------------------------------------------------------

TAnyMasterCustom::TAnyMasterCustom(TComponent* AOwner) : TComponent(AOwner), FDesigning(OwnerDesigning(AOwner))
{
    InitializeCriticalSection(&FLock);
}

TAnyMasterCustom::~TAnyMasterCustom()
{
    // A reply that comes while it unregisters finds the derived part already gone.
    if (FProxy) FProxy->OnExchange = nullptr;
    try {
        DisconnectServer();
    } catch (...) {
    }
    delete FProxy;
    FProxy = nullptr;
    for (IAnyMasterClient* c : FClients) c->Release();
    FClients.clear();
    DeleteCriticalSection(&FLock);
}

void TAnyMasterCustom::SetChannelID(int Value)
{
    if (Value == FChannelID) return;
    FChannelID = Value;
    if (Value != -1) ConnectServer();
    if (FProxy) {
        try {
            FProxy->SetChannel(Value);
        } catch (...) {
            // Leaving the channel of a server that is gone (the proxy went with it) succeeds.
            if (FProxy || Value != -1) throw;
        }
    }
    if (Value == -1) DisconnectServer();
}

void TAnyMasterCustom::ConnectServer()
{
    if (FProxy) return;
    auto* proxy = new TAnyMaster(this);
    proxy->SetConnectKind(FConnectKind);
    proxy->SetRemoteMachineName(FConnectKind == ckRemote ? FRemoteMachineName : std::string());
    proxy->OnExchange = [this](TObject* ASender, OleVariant& AExchValue) { DoServerExchange(ASender, AExchValue); };
    proxy->OnServerLost = [this] { ServerLost(); };
    FProxy = proxy;
    try {
        proxy->Connect();
        RegisterThrough(proxy->DefaultInterface(), true);
    } catch (...) {
        if (FProxy == proxy) {
            FProxy = nullptr;
            delete proxy;
        }
    }
    ApplySettings();
}

void TAnyMasterCustom::DisconnectServer()
{
    if (!FProxy) return;
    TAnyMaster* proxy = FProxy;
    FProxy = nullptr;
    if (std::exception_ptr error = Unregister(proxy)) KeepAndRaise(FProxy, proxy, error);
}

void TAnyMasterCustom::ServerLost()
{
    ForgetServer();
    // The transport's objects lived in the same server.
    if (FTransport) FTransport->ServerLost();
}

void TAnyMasterCustom::ForgetServer()
{
    TAnyMaster* proxy = FProxy;
    FProxy = nullptr;
    Forget(proxy);
}

void TAnyMasterCustom::SetTransport(TAnyTransportCustom* Value)
{
    if (Value == FTransport) return;
    if (FTransport && !FDesigning) FTransport->DetachMaster(this);
    FTransport = Value;
    if (Value && !FDesigning) {
        Value->AttachMaster(this);
        FreeNotification(Value);
    }
}

void TAnyMasterCustom::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent == FTransport && FTransport) {
        FTransport = nullptr;
        try {
            SetChannelID(-1);
        } catch (...) {
            // The transport is going away: a server that fails now must not stop that.
        }
    }
    TComponent::Notification(AComponent, Operation);
}

void TAnyMasterCustom::EndUpdate()
{
    FUpdateLock = false;
    ApplySettings();
}

void TAnyMasterCustom::DispatchReply(TObject* ASender, int QID, int MBAddr, int FunNumber, const OleVariant& Value,
                                     int Result)
{
    if (QID < 0 || QID >= static_cast<int>(FClients.size())) return;
    IAnyMasterClient* c = FClients[static_cast<size_t>(QID)];
    c->AddRef();
    try {
        c->Exchange(ASender, QID, MBAddr, FunNumber, Value, Result);
    } catch (...) {
    }
    c->Release();
}

void TAnyMasterCustom::AddClient(IAnyMasterClient* Client)
{
    if (!Client) return;
    Client->AddRef();
    FClients.push_back(Client);
}

// ---- TDlgManager ---------------------------------------------------------------------------

TDlgManager::TDlgManager(TComponent* AOwner) : TComponent(AOwner), FDesigning(OwnerDesigning(AOwner)) {}

TDlgManager::~TDlgManager() { FTransports.clear(); }

void TDlgManager::SetMaster(TAnyMasterCustom* Value)
{
    if (Value == FMaster) return;
    FMaster = Value;
    if (Value && !FDesigning) FreeNotification(Value);
}

void TDlgManager::AddTransport(TAnyTransportCustom* Transport)
{
    if (FDesigning || !Transport) return;
    FTransports.push_back(Transport);
    FreeNotification(Transport);
}

void TDlgManager::RemoveTransport(TAnyTransportCustom* Transport)
{
    if (FDesigning) return;
    FTransports.erase(std::remove(FTransports.begin(), FTransports.end(), Transport), FTransports.end());
}

void TDlgManager::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove) {
        if (AComponent == FMaster) FMaster = nullptr;
        else FTransports.erase(std::remove(FTransports.begin(), FTransports.end(), AComponent), FTransports.end());
    }
    TComponent::Notification(AComponent, Operation);
}
