// Client proxies of the OrlentSrv automation server: the automation-client base with its event
// sink, and one proxy per server class. A proxy reaches or creates its server object, hooks the
// object's events, holds its default interface and forwards calls.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"
#include "Controls.h"
#include "OleAuto.h"
#include "OrlentSrvIntf.h"

enum TConnectKind { ckRunningOrNew, ckNewInstance, ckRunningInstance, ckRemote, ckAttachToInterface };

// What a proxy class tells the base about its server class.
struct TServerData {
    GUID ClassID;
    GUID IntfIID;
    GUID EventIID;
    int Version;
    int InstanceCount;
};

class TServerEventDispatch;

class TOleServer : public TComponent {
public:
    explicit TOleServer(TComponent* AOwner);
    ~TOleServer() override;
    const char* ClassName() const override { return "TOleServer"; }

    bool AutoConnect() const { return FAutoConnect; }
    void SetAutoConnect(bool v) { FAutoConnect = v; }
    TConnectKind ConnectKind() const { return FConnectKind; }
    void SetConnectKind(TConnectKind v) { FConnectKind = v; }
    const std::string& RemoteMachineName() const { return FRemoteMachineName; }
    void SetRemoteMachineName(const std::string& v) { FRemoteMachineName = v; }

    virtual void Connect() = 0;
    virtual void Disconnect() = 0;

    // The event sink hands each event over here: dispatch id and parameters, first declared first.
    void DeliverEvent(DISPID DispID, std::vector<OleVariant>& Params) { InvokeEvent(DispID, Params); }

    // Raised when a wrapped call finds the server gone, before its error is raised; the handler
    // may free the proxy.
    std::function<void()> OnServerLost;
    // The server is gone: disconnecting then lets go of the object without calling it.
    void ForgetServer() { FServerGone = true; }

protected:
    virtual void InitServerData() = 0;
    // The server object by the connect kind; a counted reference. Raises on failure.
    IUnknown* GetServer();
    virtual void InvokeEvent(DISPID DispID, std::vector<OleVariant>& Params) = 0;
    // Hooks the sink on the event interface; an object without it is used without events.
    void ConnectEvents(IUnknown* Obj);
    void DisconnectEvents();

    TServerData* FServerData = nullptr;

private:
    bool FAutoConnect = false;
    TConnectKind FConnectKind = ckRunningOrNew;
    std::string FRemoteMachineName;
    TServerEventDispatch* FEventDispatch = nullptr;
    IConnectionPoint* FConnectionPoint = nullptr;
    DWORD FCookie = 0;
    bool FServerGone = false;
};

class TAnyMaster;
class TAnyTransport;
using TAnyMasterOnExchange = std::function<void(TObject* ASender, OleVariant& AExchValue)>;
using TAnyTransportOnStateChanged = std::function<void(TObject* ASender, int AOldState, int ANewState, int AID)>;

class TAnyMaster : public TOleServer {
public:
    explicit TAnyMaster(TComponent* AOwner);
    ~TAnyMaster() override;
    const char* ClassName() const override { return "TAnyMaster"; }

    void Connect() override;
    void Disconnect() override;
    // A counted reference (Release it); connects first when needed.
    orlent::IAnyMaster* DefaultInterface();

    void SendQuery(const OleVariant& Request);
    void SetSettings(const OleVariant& Settings);
    void SetChannel(int ChannelID);

    TAnyMasterOnExchange OnExchange;

protected:
    void InitServerData() override;
    void InvokeEvent(DISPID DispID, std::vector<OleVariant>& Params) override;

private:
    orlent::IAnyMaster* FIntf = nullptr;
};

class TAnyTransport : public TOleServer {
public:
    explicit TAnyTransport(TComponent* AOwner);
    ~TAnyTransport() override;
    const char* ClassName() const override { return "TAnyTransport"; }

    void Connect() override;
    void Disconnect() override;
    orlent::IAnyTransport* DefaultInterface();

    void SetSettings(const OleVariant& Settings);
    void SetChannelOpen(VARIANT_BOOL Open);

    TAnyTransportOnStateChanged OnStateChanged;

protected:
    void InitServerData() override;
    void InvokeEvent(DISPID DispID, std::vector<OleVariant>& Params) override;

private:
    orlent::IAnyTransport* FIntf = nullptr;
};

// Raises for a failed call of a server interface, with the server's description when it gave one.
void ServerCheck(HRESULT hr, IUnknown* Intf, REFIID Iid);

// Whether a failed call says that the server object or its process is gone.
bool ServerGone(HRESULT hr);
