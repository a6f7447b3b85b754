#include "OrlentServerDefs.h"

#include <algorithm>

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
    if (FAILED(intf->QueryInterface(orlent::IID_IAnyClientRegistry, reinterpret_cast<void**>(&reg))) || !reg)
        return;
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
    try {
        Register(intf, on);
    } catch (...) {
        intf->Release();
        throw;
    }
    intf->Release();
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
    if (Value) ApplySettings();
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
    FProxy = proxy;
    try {
        proxy->Connect();
        RegisterThrough(proxy->DefaultInterface(), true);
    } catch (...) {
        if (FProxy == proxy) FProxy = nullptr;
        delete proxy;
        return false;
    }
    return true;
}

void TAnyTransportCustom::DisconnectServer()
{
    if (!FProxy) return;
    RegisterThrough(FProxy->DefaultInterface(), false);
    TAnyTransport* proxy = FProxy;
    FProxy = nullptr;
    delete proxy;
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
    if (FProxy) FProxy->SetChannel(Value);
    if (Value == -1) DisconnectServer();
}

void TAnyMasterCustom::ConnectServer()
{
    if (FProxy) return;
    auto* proxy = new TAnyMaster(this);
    proxy->SetConnectKind(FConnectKind);
    proxy->SetRemoteMachineName(FConnectKind == ckRemote ? FRemoteMachineName : std::string());
    proxy->OnExchange = [this](TObject* ASender, OleVariant& AExchValue) { DoServerExchange(ASender, AExchValue); };
    FProxy = proxy;
    try {
        proxy->Connect();
        RegisterThrough(proxy->DefaultInterface(), true);
    } catch (...) {
        if (FProxy == proxy) FProxy = nullptr;
        delete proxy;
    }
    ApplySettings();
}

void TAnyMasterCustom::DisconnectServer()
{
    if (!FProxy) return;
    RegisterThrough(FProxy->DefaultInterface(), false);
    TAnyMaster* proxy = FProxy;
    FProxy = nullptr;
    delete proxy;
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
