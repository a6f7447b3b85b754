// The program's main window: operating controls, list and group grids, the parameter editor, the
// link library bound by name, the settings file and the device descriptions.
//
// Where the methods live:
//   MainFormU.cpp        layout, FormCreate/FormDestroy, BindLinkLibrary, EdtAddrChange,
//                        chbLimitClick, port list, settings and device descriptions
//   MainFormRead.cpp     archive reading: btnRead2Click, FinishRead, DisconnectLink,
//                        SelectedBaudRate, cbxDevChange, Button6Click, BtnConnect2Click,
//                        BtnDisconnect2Click
//   MainFormRecords.cpp  ShowRecord, and the groups: EventNameIndex, AddEvent, ClearGroups,
//                        FillGroupGrid, sgGrDrawCell, btnStopClick
//   MainFormExport.cpp   BtnExcelClick
//   MainFormParams.cpp   the parameter editor: FillTypeGrid, ClearParams, btnSaveClick,
//                        btnLoadClick, btnAddRecClick, btnDelRecClick, sgTypeKeyPress
//   MainFormServer.cpp   the read through the automation server: btnConnectClick, btnReadClick,
//                        BtnDisconnectClick2, RS232ChangeConnected, MBMExchange, WMRecordReady
//
// Controls and state are public so that tests and every part of the window can reach them.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "Dialogs.h"
#include "DevInfo.h"
#include "DeviceFile.h"
#include "ExtCtrls.h"
#include "FlatSkin.h"
#include "Forms.h"
#include "OrlentComTransports.h"
#include "OrlentModbusMaster.h"
#include "Grids.h"
#include "IniFiles.h"
#include "StdCtrls.h"

// The exports of the link library (stdcall; Boolean results are one byte).
using TConnectFunc = bool(__stdcall*)(int32_t PortNumber, int32_t Baud, uint8_t FlowControl);
using TDisconnectFunc = bool(__stdcall*)();
using TTestFunc = int32_t(__stdcall*)();
using TGetDevNameFunc = int32_t(__stdcall*)(int32_t Addr, void* Name, int32_t NameMax);
using TRegisterFunc = int32_t(__stdcall*)(int32_t Addr, int32_t StartReg, int32_t Count,
                                          int32_t ValueType, void* Data);
using TAnyFunctionFunc = int32_t(__stdcall*)(int32_t Addr, int32_t Func, int32_t Len, void* Data);
using TRetriesFunc = void(__stdcall*)(int32_t N);
// Beside the nine: the message a request left when the serial port itself failed.
using TGetErrorMessageFunc = int32_t(__stdcall*)(char* Buffer, int32_t Size);

// The result of a request whose serial port failed (none of the link result codes); the
// library keeps the port's message for GetErrorMessage.
constexpr int32_t LinkPortFailure = -1;

// A serial port failure inside the link library, raised with the library's message.
class ELinkError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "ELinkError"; }
};

class TForm1 : public TForm {
public:
    // settingsDir: the folder of main.ini and the device files (with its trailing "\");
    // empty means the program's own folder. FormCreate runs at the end of construction.
    explicit TForm1(TComponent* AOwner, std::string settingsDir = std::string());
    ~TForm1() override;
    const char* ClassName() const override { return "TForm1"; }

    // ---- controls, as the stored layout has them ----
    TPanel* Panel3 = nullptr;
    TLabel* Label3 = nullptr;
    TComboBox* cbxPort = nullptr;
    TLabel* Label2 = nullptr;
    TComboBox* cbxSpeed = nullptr;
    TButton* btnRead2 = nullptr;
    TButton* btnStop2 = nullptr;
    TRadioGroup* rgrRsType = nullptr;
    TLabel* Label8 = nullptr;
    TEdit* EdtAddr = nullptr;
    TRadioGroup* rgTypeJ = nullptr;
    TLabel* Label7 = nullptr;
    TComboBox* cbxDev = nullptr;
    TCheckBox* chbLimit = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* LblStart = nullptr;
    TEdit* EdtStart = nullptr;
    TLabel* lblCount = nullptr;
    TEdit* EdtCount = nullptr;
    TProgressBar* PBar = nullptr;
    TButton* BtnExcel = nullptr;
    TLabel* lblStat = nullptr;
    TLabel* LblVer = nullptr;
    TLabel* Label6 = nullptr;
    TButton* Button6 = nullptr;
    TButton* BtnConnect2 = nullptr;
    TButton* BtnDisconnect2 = nullptr;
    TButton* btnConnect = nullptr;
    TButton* btnRead = nullptr;
    TButton* btnStop = nullptr;
    TButton* BtnDisconnect = nullptr;
    TPanel* Panel2 = nullptr;
    TPageControl* PageControl1 = nullptr;
    TTabSheet* tsData = nullptr;
    TStringGrid* sg = nullptr;
    TTabSheet* tsGroup = nullptr;
    TStringGrid* sgGr = nullptr;
    TTabSheet* tsSet = nullptr;
    TStringGrid* sgType = nullptr;
    TLabel* Label5 = nullptr;
    TButton* btnSave = nullptr;
    TButton* btnLoad = nullptr;
    TButton* btnAddRec = nullptr;
    TButton* btnDelRec = nullptr;
    TStaticText* lblMaxRec = nullptr;
    TOpenDialog* OD = nullptr;
    TSaveDialog* sd = nullptr;
    TSaveDialog* SDs = nullptr;
    TFlatSkin* FlatSkin1 = nullptr;
    // The server path's components.
    TRS232Transport* RS232 = nullptr;
    TDlgManager* DlgManager1 = nullptr;
    TModbusMaster* MBM = nullptr;

    // ---- state ----
    int32_t FAddr = 1;
    int32_t FStart = 0;
    int32_t FCount = 0;
    HMODULE FLib = nullptr;
    // The bound exports, null until bound.
    TConnectFunc Connect = nullptr;
    TDisconnectFunc Disconnect = nullptr;
    TTestFunc Test = nullptr;
    TGetDevNameFunc GetDevName = nullptr;
    TRegisterFunc ReadInputRegister = nullptr;
    TRegisterFunc ReadHoldingRegister = nullptr;
    TRegisterFunc WriteRegister = nullptr;
    TAnyFunctionFunc AnyFunction = nullptr;
    TRetriesFunc Retries = nullptr;
    // Looked up after the nine; not needed for the library to count as bound.
    TGetErrorMessageFunc GetErrorMessage = nullptr;
    VARIANT FValue;
    VARIANT FRecFormat;
    std::vector<std::unique_ptr<TDevInfo>> FDevices;
    std::vector<std::unique_ptr<TRecType>> FGroups;
    std::vector<std::unique_ptr<TRecStr>> FEventNames;
    bool FReading = false;
    int32_t FTotal = 0;
    TDevInfo* FDevice = nullptr;
    std::vector<int32_t> FPorts;
    int32_t FRetries = 5;

    // ---- MainFormU.cpp ----
    void FormCreate(TObject* Sender);
    void FormDestroy(TObject* Sender);
    void EdtAddrChange(TObject* Sender);
    void chbLimitClick(TObject* Sender);
    bool BindLinkLibrary();
    // Raises ELinkError with the library's message when a request ended in LinkPortFailure.
    void CheckLinkFailure(int32_t result);
    void FillPortList();
    static uint8_t PortNumberFromName(const std::string& name);
    void LoadSettings();
    void SaveSettings();
    static void AddParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id,
                         const std::string& name, int32_t valType);
    // Raises EConvertError when an entry's code is not an integer.
    static void AddListParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id,
                             const std::string& name, const std::string& listText);
    // Reads one device description file into dev.
    void LoadDevice(TDevInfo& dev, const std::string& fileName);
    // The folder of main.ini and the device files, with its trailing "\".
    const std::string& SettingsDir() const { return FSettingsDir; }

    // ---- MainFormRead.cpp ----
    void btnRead2Click(TObject* Sender);
    void FinishRead();
    void DisconnectLink();
    int32_t SelectedBaudRate();
    void cbxDevChange(TObject* Sender);
    void Button6Click(TObject* Sender);
    void BtnConnect2Click(TObject* Sender);
    void BtnDisconnect2Click(TObject* Sender);

    // ---- MainFormRecords.cpp ----
    void ShowRecord(int32_t index, uint32_t time, uint16_t ID, int32_t errorFlag,
                    uint32_t oldValue, uint32_t newValue);
    TRecStr* EventNameIndex(const std::string& name);
    void AddEvent(int32_t ID, int32_t valType, const std::string& name, TDateTime time,
                  const TEventValue& value);
    void ClearGroups();
    void FillGroupGrid();
    void sgGrDrawCell(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State);
    void btnStopClick(TObject* Sender);

    // ---- MainFormExport.cpp ----
    void BtnExcelClick(TObject* Sender);

    // ---- MainFormParams.cpp ----
    void FillTypeGrid();
    void ClearParams();
    void btnSaveClick(TObject* Sender);
    void btnLoadClick(TObject* Sender);
    void btnAddRecClick(TObject* Sender);
    void btnDelRecClick(TObject* Sender);
    void sgTypeKeyPress(TObject* Sender, char& Key);

    // ---- MainFormServer.cpp ----
    // The window message by which each server answer leads to the next request.
    static constexpr UINT WM_RECORDREADY = WM_USER + 1;
    // Record answers carry the ids 1..999 (id 1000 is the count): at most this many records.
    static constexpr int32_t MaxServerRecords = 999;
    void btnConnectClick(TObject* Sender);
    void btnReadClick(TObject* Sender);
    void BtnDisconnectClick2(TObject* Sender);
    void RS232ChangeConnected(TObject* ASender, bool AConnected);
    void MBMExchange(TObject* Sender, int QID, int MBAddr, int FunNumber, OleVariant Value, int Result);
    void WMRecordReady(TMessage& Message);
    // Message 1025 for an answer: sent, or posted when it comes while an earlier one is still
    // being handled (a server may answer inside the request), so that the calls do not nest.
    void RecordReady(int32_t QID);
    int FRecordDepth = 0;
    void FinishServerRead();
    void WndProc(TMessage& Message) override;

private:
    // Builds the controls and components with their stored settings and bindings.
    void CreateLayout();

    std::string FSettingsDir;
};

extern TForm1* Form1;
