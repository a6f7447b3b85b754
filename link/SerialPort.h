// Serial port component: the settings of one port, the device opened with overlapped I/O, block
// reads and writes, modem lines, a watcher thread for line events delivered in one of three ways,
// four settings objects, and the storage of the settings in an ini section or a registry key.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "Classes.h"
#include "SysUtils.h"
#include "Thread.h"

// Win32 records, declared here so that this header does not pull in <windows.h>.
struct _DCB;
struct _COMMTIMEOUTS;
class TIniFile;
class TRegistry;

// A set of up to 32 values of an enumeration whose ordinals start at 0 (one bit per value).
template <class E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values)
    {
        for (E v : values)
            FBits |= Bit(v);
    }
    static constexpr TSet FromBits(uint32_t bits)
    {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr uint32_t Bits() const { return FBits; }
    constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    TSet& Include(E v)
    {
        FBits |= Bit(v);
        return *this;
    }
    TSet& Exclude(E v)
    {
        FBits &= ~Bit(v);
        return *this;
    }
    constexpr bool operator==(const TSet& o) const { return FBits == o.FBits; }
    constexpr bool operator!=(const TSet& o) const { return FBits != o.FBits; }
    constexpr TSet operator|(const TSet& o) const { return FromBits(FBits | o.FBits); }
    constexpr TSet operator&(const TSet& o) const { return FromBits(FBits & o.FBits); }
    constexpr TSet operator-(const TSet& o) const { return FromBits(FBits & ~o.FBits); }

private:
    static constexpr uint32_t Bit(E v) { return 1u << static_cast<unsigned>(v); }
    uint32_t FBits = 0;
};

enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
    br56000, br57600, br115200, br128000, br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };

enum TSerialEvent {
    evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
using TSerialEvents = TSet<TSerialEvent>;
inline constexpr TSerialEvents AllSerialEvents = TSerialEvents::FromBits(0x3FF);

// The eight flags of TakeLineErrors, bit 0 upwards.
enum TSerialError {
    seFrame, seParity, seOverrun, seBreak, seIO, seMode, seRxOver, seTxFull
};
using TSerialErrors = TSet<TSerialError>;

// Modem lines of ModemSignals, bit 0 upwards.
enum TSerialSignal { ssCTS, ssDSR, ssRing, ssRLSD };
using TSerialSignals = TSet<TSerialSignal>;

enum TSettingGroup { sgBasic, sgFlowDetails, sgBuffer, sgTimeouts, sgParityDetails, sgExtras };
using TSettingGroups = TSet<TSettingGroup>;

// Event set <-> the device's event mask (EV_RXCHAR ...); mask bits without an event are dropped.
uint32_t EventsToMask(TSerialEvents Events);
TSerialEvents MaskToEvents(uint32_t Mask);

// Bit rate of an enumeration value; brCustom gives Custom.
int32_t BaudRateValue(TBaudRate Rate, int32_t Custom);

// Window message with which smWindowSync hands one event (its mask bit in wParam) to the
// component's notify window.
inline constexpr unsigned WM_SERIALPORT_EVENT = 0x0400 + 1;

// ---------------------------------------------------------------------------------------------
// Failures of the port: a numbered message (1..23) and the platform's last-error value (-1: none).
class ESerialPort : public Exception {
public:
    ESerialPort(int APortErrorCode, int ASystemErrorCode);
    explicit ESerialPort(int APortErrorCode);
    int PortErrorCode() const { return FPortErrorCode; }
    int SystemErrorCode() const { return FSystemErrorCode; }
    const char* ClassName() const override { return "ESerialPort"; }

private:
    int FPortErrorCode;
    int FSystemErrorCode;
};

// Text of row Code of the message table (empty for a code outside 1..23).
const char* SerialPortErrorText(int Code);

class TCustomSerialPort;

// ---------------------------------------------------------------------------------------------
// Base of the four settings objects: the port they belong to (not owned) and copying.
class TSerialPersistent {
public:
    virtual ~TSerialPersistent() = default;
    virtual const char* ClassName() const = 0;
    // Copies every value of Source, which must be of the same class; a source of another class
    // raises EConvertError "Cannot assign a <source class> to a <this class>". Applies nothing.
    virtual void CopyFrom(const TSerialPersistent& Source) = 0;

    TCustomSerialPort* OwnerPort() const { return FOwnerPort; }
    void SetOwnerPort(TCustomSerialPort* Port) { FOwnerPort = Port; }

protected:
    [[noreturn]] void AssignError(const TSerialPersistent& Source) const;

    TCustomSerialPort* FOwnerPort = nullptr;
};

// Read and write time-outs of the driver, milliseconds; -1 stands for MAXDWORD.
class TSerialTimeouts : public TSerialPersistent {
public:
    const char* ClassName() const override { return "TSerialTimeouts"; }
    void CopyFrom(const TSerialPersistent& Source) override;

    int32_t ReadInterval() const { return FReadInterval; }
    int32_t ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    int32_t ReadTotalConstant() const { return FReadTotalConstant; }
    int32_t WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    int32_t WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetReadInterval(int32_t Value);
    void SetReadTotalMultiplier(int32_t Value);
    void SetReadTotalConstant(int32_t Value);
    void SetWriteTotalMultiplier(int32_t Value);
    void SetWriteTotalConstant(int32_t Value);

private:
    void Changed();
    int32_t FReadInterval = -1;
    int32_t FReadTotalMultiplier = 0;
    int32_t FReadTotalConstant = 0;
    int32_t FWriteTotalMultiplier = 100;
    int32_t FWriteTotalConstant = 1000;
};

// Hardware and software handshaking; FlowControl is a shorthand computed from four fields.
class TSerialFlowControl : public TSerialPersistent {
public:
    const char* ClassName() const override { return "TSerialFlowControl"; }
    void CopyFrom(const TSerialPersistent& Source) override;

    TFlowControl FlowControl() const;
    // No equality test: always re-applies the control block (fcCustom changes no field).
    void SetFlowControl(TFlowControl Value);

    bool OutCTSFlow() const { return FOutCTSFlow; }
    bool OutDSRFlow() const { return FOutDSRFlow; }
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    bool XonXoffOut() const { return FXonXoffOut; }
    bool XonXoffIn() const { return FXonXoffIn; }
    bool DSRSensitivity() const { return FDSRSensitivity; }
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    uint8_t XonChar() const { return FXonChar; }
    uint8_t XoffChar() const { return FXoffChar; }
    void SetOutCTSFlow(bool Value);
    void SetOutDSRFlow(bool Value);
    void SetControlDTR(TDTRFlowControl Value);
    void SetControlRTS(TRTSFlowControl Value);
    void SetXonXoffOut(bool Value);
    void SetXonXoffIn(bool Value);
    void SetDSRSensitivity(bool Value);
    void SetTxContinueOnXoff(bool Value);
    void SetXonChar(uint8_t Value);
    void SetXoffChar(uint8_t Value);

private:
    void Changed();
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    uint8_t FXonChar = 17;
    uint8_t FXoffChar = 19;
};

class TSerialParity : public TSerialPersistent {
public:
    const char* ClassName() const override { return "TSerialParity"; }
    void CopyFrom(const TSerialPersistent& Source) override;

    TParityBits Bits() const { return FBits; }
    bool Check() const { return FCheck; }
    bool Replace() const { return FReplace; }
    uint8_t ReplaceChar() const { return FReplaceChar; }
    void SetBits(TParityBits Value);
    void SetCheck(bool Value);
    void SetReplace(bool Value);
    void SetReplaceChar(uint8_t Value);

private:
    void Changed();
    TParityBits FBits = prNone;
    volatile bool FCheck = false;  // also read by the line-error query on the watcher thread
    bool FReplace = false;
    uint8_t FReplaceChar = 0;
};

// Driver queue sizes; a positive odd value is stored one lower.
class TSerialBuffer : public TSerialPersistent {
public:
    const char* ClassName() const override { return "TSerialBuffer"; }
    void CopyFrom(const TSerialPersistent& Source) override;

    int32_t InputSize() const { return FInputSize; }
    int32_t OutputSize() const { return FOutputSize; }
    void SetInputSize(int32_t Value);
    void SetOutputSize(int32_t Value);

private:
    void Changed();
    int32_t FInputSize = 1024;
    int32_t FOutputSize = 1024;
};

// ---------------------------------------------------------------------------------------------
// Event handlers; Sender is always the component.
using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TRxCharEvent = std::function<void(TComponent* Sender, int32_t Count)>;
using TRxBufEvent = std::function<void(TComponent* Sender, const void* Buffer, int32_t Count)>;
using TSerialSignalEvent = std::function<void(TComponent* Sender, bool OnOff)>;
using TSerialErrorEvent = std::function<void(TComponent* Sender, TSerialErrors Errors)>;

// Listener of connection, line and traffic notices; unassigned handlers are skipped.
struct TSerialPortListener {
    std::function<void(bool)> ConnectionChanged;
    std::function<void(bool)> CTSChanged;
    std::function<void(bool)> DSRChanged;
    std::function<void(bool)> RLSDChanged;
    std::function<void(bool)> ReceptionActive;
    std::function<void(bool)> TransmissionActive;
    std::function<void(const void* Buffer, int32_t Count)> DataTransmitted;
    std::function<void(const void* Buffer, int32_t Count)> DataReceived;
    std::function<void()> Ring;
    std::function<void()> TxEmpty;
    std::function<void()> RxFlag;
};

class TSerialThread;

// ---------------------------------------------------------------------------------------------
class TCustomSerialPort : public TComponent {
public:
    explicit TCustomSerialPort(TComponent* AOwner = nullptr);
    // Closes the port first.
    ~TCustomSerialPort() override;
    const char* ClassName() const override { return "TCustomSerialPort"; }

    // Storage of the settings (ini section named after Name, or the open key of Registry).
    virtual void WriteRegistrySettings(TRegistry& Registry);
    virtual void WriteIniSettings(TIniFile& IniFile);
    virtual void ReadRegistrySettings(TRegistry& Registry);
    virtual void ReadIniSettings(TIniFile& IniFile);

    // Open and close; each does nothing when the port already is in that state.
    void OpenPort();
    void ClosePort();

    // Received bytes waiting in the input queue (code 10 on failure).
    int32_t BytesAvailable();
    // CTS, DSR, ring, RLSD (code 11 on failure).
    TSerialSignals ModemSignals();
    // SETRTS / CLRRTS (code 12 on failure).
    void SetRTSLine(bool On);
    // PURGE_RXCLEAR if Input, PURGE_TXCLEAR if Output (code 5 on failure).
    void PurgeQueues(bool Input, bool Output);
    // Takes and clears the device's error state (code 10 on failure); parity errors count only
    // while Parity.Check is on.
    TSerialErrors TakeLineErrors();
    // Overlapped write of Count bytes, waiting for completion; the count written (code 2).
    int32_t WriteBlock(const void* Buffer, int32_t Count);
    // Overlapped read of at most Count bytes, waiting for completion; the count read (code 3).
    int32_t ReadBlock(void* Buffer, int32_t Count);

    // Apply a group of settings to the open device; nothing while closed or loading.
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyQueueSizes();

    // The device-control block and time-out record the apply operations hand to the device.
    void BuildDCB(_DCB& Dcb) const;
    void BuildTimeouts(_COMMTIMEOUTS& Timeouts) const;

    // Properties.
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    int32_t CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int32_t Value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);
    TSerialParity* Parity() const { return FParity; }
    void SetParity(const TSerialParity& Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    uint8_t EventChar() const { return FEventChar; }
    void SetEventChar(uint8_t Value);
    TSerialEvents Events() const { return FEvents; }
    void SetEvents(TSerialEvents Value) { FEvents = Value; }
    TSerialBuffer* Buffer() const { return FBuffer; }
    void SetBuffer(const TSerialBuffer& Value);
    TSerialFlowControl* FlowControl() const { return FFlowControl; }
    void SetFlowControl(const TSerialFlowControl& Value);
    TSerialTimeouts* Timeouts() const { return FTimeouts; }
    void SetTimeouts(const TSerialTimeouts& Value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);
    TSettingGroups SettingGroups() const { return FSettingGroups; }
    void SetSettingGroups(TSettingGroups Value) { FSettingGroups = Value; }

    // The open device (the platform's invalid handle value when closed).
    void* DeviceHandle() const { return FHandle; }
    // Whether a watcher thread runs, and its priority (normal).
    bool ThreadActive() const { return FThread != nullptr; }
    TThreadPriority EventThreadPriority() const { return FThreadPriority; }
    void SetEventThreadPriority(TThreadPriority Value) { FThreadPriority = Value; }
    // The hidden window of smWindowSync (null unless open with smWindowSync and events).
    void* NotifyWindow() const { return FNotifyWindow; }

    void AddListener(TSerialPortListener* Listener);
    void RemoveListener(TSerialPortListener* Listener);

    // Processes a set of events in the fixed order (evError, evRxChar, evTxEmpty, evBreak, evRing,
    // evCTS, evDSR, evRxFlag, evRLSD, evRx80Full), as the watcher delivers them.
    void ProcessEvents(TSerialEvents Events);

    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;  // declared; this component never raises it
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TSerialSignalEvent OnCTSChange;
    TSerialSignalEvent OnDSRChange;
    TSerialSignalEvent OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TSerialErrorEvent OnError;
    TNotifyEvent OnRx80Full;

protected:
    virtual void OpenDeviceHandle();
    virtual void CloseDeviceHandle();
    virtual void ApplyPortSettings();
    void Loaded() override;

    virtual void EmitAfterClose();
    virtual void EmitAfterOpen();
    virtual void EmitBeforeClose();
    virtual void EmitBeforeOpen();
    virtual void EmitRxChar(int32_t Count);
    virtual void EmitRxBuf(const void* Buffer, int32_t Count);
    virtual void EmitTxEmpty();
    virtual void EmitBreak();
    virtual void EmitRing();
    virtual void EmitRxFlag();
    virtual void EmitCTSChange(bool OnOff);
    virtual void EmitDSRChange(bool OnOff);
    virtual void EmitError(TSerialErrors Errors);
    virtual void EmitRLSDChange(bool OnOff);
    virtual void EmitRx80Full();

private:
    friend class TSerialThread;
    struct TPendingTransfer;

    bool Loading() const { return InState(csLoading | csDesigning); }
    void ProcessEvent(TSerialEvent Event);
    void DoAfterOpen();
    void DoBeforeClose();
    void DoAfterClose();
    void StartWatcher();
    void StopWatcher();
    void CreateNotifyWindow();
    void DestroyNotifyWindow();
    uint32_t TransferLimit(bool Write, uint32_t Count) const;
    void WaitTransfer(TPendingTransfer& Transfer, uint32_t Count, int ErrorCode, uint32_t& Done);
    void Notify(const std::function<void(TSerialPortListener&)>& Each);

    void* FHandle;
    bool FConnected = false;
    TBaudRate FBaudRate = br9600;
    int32_t FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    TSerialParity* FParity = nullptr;
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    uint8_t FEventChar = 0;
    TSerialEvents FEvents = AllSerialEvents;
    TSerialBuffer* FBuffer = nullptr;
    TSerialFlowControl* FFlowControl = nullptr;
    TSerialTimeouts* FTimeouts = nullptr;
    TSyncMethod FSyncMethod = smThreadSync;
    TSettingGroups FSettingGroups{sgBasic};
    TSerialThread* FThread = nullptr;
    TThreadPriority FThreadPriority = tpNormal;
    void* FNotifyWindow = nullptr;
    std::vector<TSerialPortListener*> FListeners;
};

// The published form of the component.
class TSerialPort : public TCustomSerialPort {
public:
    using TCustomSerialPort::TCustomSerialPort;
    const char* ClassName() const override { return "TSerialPort"; }
};

// Watcher of line events: waits on the device and delivers each set to its component.
class TSerialThread : public TThread {
public:
    explicit TSerialThread(TCustomSerialPort* Owner);
    ~TSerialThread() override;
    // Signals the stop event; the loop then leaves at its next wait.
    void Stop();
    TSerialEvents LastEvents() const { return FEvents; }

protected:
    void Execute() override;

private:
    void Deliver();

    TCustomSerialPort* FComPort;
    void* FStopEvent;
    TSerialEvents FEvents;
};

// ---------------------------------------------------------------------------------------------
// Text conversions of the stored settings.
std::string BaudRateText(TBaudRate Value);
std::string StopBitsText(TStopBits Value);
std::string DataBitsText(TDataBits Value);
std::string ParityText(TParityBits Value);
std::string FlowControlText(TFlowControl Value);
std::string DTRText(TDTRFlowControl Value);
std::string RTSText(TRTSFlowControl Value);
TBaudRate ParseBaudRate(const std::string& Text);
TStopBits ParseStopBits(const std::string& Text);
TDataBits ParseDataBits(const std::string& Text);
TParityBits ParseParity(const std::string& Text);
TFlowControl ParseFlowControl(const std::string& Text);
TDTRFlowControl ParseDTR(const std::string& Text);
TRTSFlowControl ParseRTS(const std::string& Text);
std::string YesNoText(bool Value);
bool ParseYesNo(const std::string& Text);
std::string CharText(uint8_t Value);
uint8_t ParseChar(const std::string& Text);
