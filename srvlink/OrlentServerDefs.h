// Bases of the server link components: the transport (a channel of the server), the protocol
// master (requests on a transport's channel), the dialog link between them, and the texts of the
// server's result codes.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Controls.h"
#include "OrlentSrv_TLB.h"

class TAnyMasterCustom;
class TDlgManager;
class TBasePropsFrame;

using TCustomOnChangeConnected = std::function<void(TObject* ASender, bool AConnected)>;
using TCustomOnStateChanged =
    std::function<void(TObject* ASender, int AOldState, int ANewState, const std::string& AStateMsg)>;

enum TQueryType : uint8_t { qtNormal, qtHigh, qtInplace };

// Texts of the result codes of server replies, by code.
constexpr int ServerResultCount = 20;
extern const char* const ServerResultTexts[ServerResultCount];

// What a client registered with a master gets for each reply of its request id.
struct IAnyMasterClient : public IUnknown {
    virtual void STDMETHODCALLTYPE Exchange(TObject* ASender, int QID, int MBAddr, int FunNumber,
                                            const OleVariant& Value, int Result) = 0;
};

class TAnyTransportCustom : public TComponent {
public:
    explicit TAnyTransportCustom(TComponent* AOwner);
    ~TAnyTransportCustom() override;
    const char* ClassName() const override { return "TAnyTransportCustom"; }

    bool LiveChannel() const { return GetLiveChannel(); }
    bool GetLiveChannel() const { return FLiveChannel; }
    virtual void SetLiveChannel(bool Value);
    bool UseDCOM() const { return FUseDCOM; }
    void SetUseDCOM(bool Value);
    const std::string& RemoteMachineName() const { return FRemoteMachineName; }
    void SetRemoteMachineName(const std::string& Value);
    TDlgManager* DlgManager() const { return FDlgManager; }
    void SetDlgManager(TDlgManager* Value);
    const std::string& DisplayName() const { return FDisplayName; }
    void SetDisplayName(const std::string& Value) { FDisplayName = Value; }
    bool KeepAliveOnDisconnect() const { return FKeepAliveOnDisconnect; }
    void SetKeepAliveOnDisconnect(bool Value) { FKeepAliveOnDisconnect = Value; }
    TCustomOnStateChanged OnStateChanged;
    TCustomOnChangeConnected OnChangeConnected;

    int ChannelID() const { return FChannelID; }
    TConnectKind ConnectKind() const { return FConnectKind; }
    uint8_t TransportKind() const { return FTransportKind; }
    TAnyTransport* Proxy() const { return FProxy; }
    int MasterCount() const { return static_cast<int>(FMasters.size()); }
    TAnyMasterCustom* Masters(int i) const { return FMasters.at(static_cast<size_t>(i)); }

    virtual void DoServerStateChanged(TObject* ASender, int AOldState, int ANewState, int AID);
    virtual void SetChannelID(int Value);
    virtual void ApplySettings() = 0;
    virtual OleVariant GetProps() = 0;
    virtual void SetProps(const OleVariant& Value) = 0;
    virtual std::string GetStateMsg(int State);
    virtual bool ConnectServer();
    virtual TBasePropsFrame* CreatePropsFrame() = 0;

    void DisconnectServer();
    // The server process is gone: its objects and the masters' are let go without another call,
    // the masters get -1 and the channel is reported closed.
    void ServerLost();
    void AttachMaster(TAnyMasterCustom* Master);
    void DetachMaster(TAnyMasterCustom* Master);
    void BeginUpdate() { FUpdateLock = true; }
    void EndUpdate();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    bool Designing() const { return FDesigning; }
    bool UpdateLocked() const { return FUpdateLock; }

    uint8_t FTransportKind = 0;

private:
    void HandOverChannel(int AID);

    bool FLiveChannel = false;
    std::string FRemoteMachineName;
    TConnectKind FConnectKind = ckRunningOrNew;
    TDlgManager* FDlgManager = nullptr;
    std::string FDisplayName;
    bool FUseDCOM = false;
    bool FKeepAliveOnDisconnect = false;
    bool FDesigning = false;
    std::vector<TAnyMasterCustom*> FMasters;
    bool FMastersReleased = false;
    TAnyTransport* FProxy = nullptr;
    int FChannelID = -1;
    bool FUpdateLock = false;
    bool FLosing = false;
};

class TAnyMasterCustom : public TComponent {
public:
    explicit TAnyMasterCustom(TComponent* AOwner);
    ~TAnyMasterCustom() override;
    const char* ClassName() const override { return "TAnyMasterCustom"; }

    TAnyTransportCustom* Transport() const { return FTransport; }
    void SetTransport(TAnyTransportCustom* Value);
    TQueryType QueryType() const { return GetQueryType(); }

    int LastResult() const { return FLastResult; }
    int ChannelID() const { return FChannelID; }
    TAnyMaster* Proxy() const { return FProxy; }
    uint8_t MasterKind() const { return FMasterKind; }
    TConnectKind ConnectKind() const { return FConnectKind; }
    const std::string& RemoteMachineName() const { return FRemoteMachineName; }

    virtual TQueryType GetQueryType() const = 0;
    virtual void SetQueryType(TQueryType Value) = 0;
    virtual OleVariant GetProps() = 0;
    virtual void SetProps(const OleVariant& Value) = 0;
    virtual void ApplySettings() = 0;
    virtual void DoServerExchange(TObject* ASender, OleVariant& AExchValue) = 0;
    virtual void ConnectServer();
    virtual void DisconnectServer();
    virtual TBasePropsFrame* CreatePropsFrame() = 0;

    void SetChannelID(int Value);
    // The server process is gone: the proxy goes without another call, and the transport learns it.
    void ServerLost();
    // The same for the proxy alone, when the transport has learnt it first.
    void ForgetServer();
    void BeginUpdate() { FUpdateLock = true; }
    void EndUpdate();
    void DispatchReply(TObject* ASender, int QID, int MBAddr, int FunNumber, const OleVariant& Value, int Result);
    void SetLastResult(int Value) { FLastResult = Value; }
    void LockMaster() { EnterCriticalSection(&FLock); }
    void UnlockMaster() { LeaveCriticalSection(&FLock); }

    // Clients that get the replies of their request id (the index in this list).
    void AddClient(IAnyMasterClient* Client);

    // Set by the transport when it takes or hands over this master.
    void SetConnection(const std::string& RemoteMachineName, TConnectKind Kind)
    {
        FRemoteMachineName = RemoteMachineName;
        FConnectKind = Kind;
    }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    bool Designing() const { return FDesigning; }
    bool UpdateLocked() const { return FUpdateLock; }

    TQueryType FQueryType = qtNormal;
    uint8_t FMasterKind = 0;

private:
    int FLastResult = 0;
    TAnyMaster* FProxy = nullptr;
    bool FDesigning = false;
    TAnyTransportCustom* FTransport = nullptr;
    std::vector<IAnyMasterClient*> FClients;
    std::string FRemoteMachineName;
    TConnectKind FConnectKind = ckRunningOrNew;
    bool FUpdateLock = false;
    int FChannelID = -1;
    CRITICAL_SECTION FLock;
};

class TDlgManager : public TComponent {
public:
    explicit TDlgManager(TComponent* AOwner);
    ~TDlgManager() override;
    const char* ClassName() const override { return "TDlgManager"; }

    TAnyMasterCustom* Master() const { return FMaster; }
    void SetMaster(TAnyMasterCustom* Value);
    bool ShowMasterProps() const { return FShowMasterProps; }
    void SetShowMasterProps(bool Value) { FShowMasterProps = Value; }
    int TransportCount() const { return static_cast<int>(FTransports.size()); }
    TAnyTransportCustom* Transports(int i) const { return FTransports.at(static_cast<size_t>(i)); }

    void AddTransport(TAnyTransportCustom* Transport);
    void RemoveTransport(TAnyTransportCustom* Transport);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TAnyMasterCustom* FMaster = nullptr;
    std::vector<TAnyTransportCustom*> FTransports;
    bool FDesigning = false;
    bool FShowMasterProps = false;
};
