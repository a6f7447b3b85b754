// Storage of the port's settings in an ini section or under an open registry key, and the text
// conversions of the stored values (words, not numbers).
#include <cstdio>

#include "IniFiles.h"
#include "Registry.h"
#include "SerialPort.h"

namespace {

const char* const BaudRateNames[] = {"Custom", "110",   "300",    "600",    "1200",  "2400",
                                     "4800",   "9600",  "14400",  "19200",  "38400", "56000",
                                     "57600",  "115200", "128000", "256000"};
const char* const StopBitsNames[] = {"1", "1.5", "2"};
const char* const DataBitsNames[] = {"5", "6", "7", "8"};
const char* const ParityNames[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const FlowControlNames[] = {"Hardware", "Software", "None", "Custom"};
const char* const DTRNames[] = {"Disable", "Enable", "Handshake"};
const char* const RTSNames[] = {"Disable", "Enable", "Handshake", "Toggle"};

template <class E, size_t N>
std::string NameOf(const char* const (&Names)[N], E Value)
{
    auto i = static_cast<size_t>(Value);
    return i < N ? Names[i] : "";
}

// Exact match after upper-casing ASCII letters, first in table order; no trimming.
template <class E, size_t N>
E ParseName(const char* const (&Names)[N], const std::string& Text, E Fallback)
{
    std::string up = UpperCase(Text);
    for (size_t i = 0; i < N; ++i)
        if (UpperCase(Names[i]) == up) return static_cast<E>(i);
    return Fallback;
}

// What the storage operations need of an ini section or a registry key. Reads from the ini file
// fall back to the current value; the registry has no defaults.
class TSettingsStore {
public:
    virtual ~TSettingsStore() = default;
    virtual void WriteText(const char* Key, const std::string& Value) = 0;
    virtual void WriteInt(const char* Key, int32_t Value) = 0;
    virtual std::string ReadText(const char* Key, const std::string& Default) = 0;
    virtual int32_t ReadInt(const char* Key, int32_t Default) = 0;
};

class TIniStore : public TSettingsStore {
public:
    TIniStore(TIniFile& Ini, std::string Section) : FIni(Ini), FSection(std::move(Section)) {}
    void WriteText(const char* Key, const std::string& Value) override
    {
        FIni.WriteString(FSection, Key, Value);
    }
    void WriteInt(const char* Key, int32_t Value) override { FIni.WriteInteger(FSection, Key, Value); }
    std::string ReadText(const char* Key, const std::string& Default) override
    {
        return FIni.ReadString(FSection, Key, Default);
    }
    int32_t ReadInt(const char* Key, int32_t Default) override
    {
        return FIni.ReadInteger(FSection, Key, Default);
    }

private:
    TIniFile& FIni;
    std::string FSection;
};

class TRegistryStore : public TSettingsStore {
public:
    explicit TRegistryStore(TRegistry& Reg) : FReg(Reg) {}
    void WriteText(const char* Key, const std::string& Value) override { FReg.WriteString(Key, Value); }
    void WriteInt(const char* Key, int32_t Value) override { FReg.WriteInteger(Key, Value); }
    // A missing text value reads as empty text; a value of another kind is the registry's error.
    std::string ReadText(const char* Key, const std::string&) override
    {
        return FReg.ValueExists(Key) ? FReg.ReadString(Key) : std::string();
    }
    // A missing integer value is the registry's error and ends the read.
    int32_t ReadInt(const char* Key, int32_t) override { return FReg.ReadInteger(Key); }

private:
    TRegistry& FReg;
};

// Groups in the order they are stored, which is not the order of the enumeration.
const TSettingGroup StorageOrder[] = {sgBasic,   sgExtras,   sgParityDetails,
                                      sgBuffer,  sgTimeouts, sgFlowDetails};

void WriteSettings(TCustomSerialPort& P, TSettingsStore& S)
{
    TSettingGroups groups = P.SettingGroups();
    for (TSettingGroup g : StorageOrder) {
        if (!groups.Contains(g)) continue;
        switch (g) {
        case sgBasic:
            S.WriteText("Port", P.Port());
            S.WriteText("BaudRate", BaudRateText(P.BaudRate()));
            if (P.BaudRate() == brCustom) S.WriteInt("CustomBaudRate", P.CustomBaudRate());
            S.WriteText("StopBits", StopBitsText(P.StopBits()));
            S.WriteText("DataBits", DataBitsText(P.DataBits()));
            S.WriteText("Parity", ParityText(P.Parity()->Bits()));
            S.WriteText("FlowControl", FlowControlText(P.FlowControl()->FlowControl()));
            break;
        case sgExtras:
            S.WriteText("EventChar", CharText(P.EventChar()));
            S.WriteText("DiscardNull", YesNoText(P.DiscardNull()));
            break;
        case sgParityDetails: {
            TSerialParity* par = P.Parity();
            S.WriteText("Parity.Check", YesNoText(par->Check()));
            S.WriteText("Parity.Replace", YesNoText(par->Replace()));
            S.WriteText("Parity.ReplaceChar", CharText(par->ReplaceChar()));
            break;
        }
        case sgBuffer:
            S.WriteInt("Buffer.OutputSize", P.Buffer()->OutputSize());
            S.WriteInt("Buffer.InputSize", P.Buffer()->InputSize());
            break;
        case sgTimeouts: {
            TSerialTimeouts* t = P.Timeouts();
            S.WriteInt("Timeouts.ReadInterval", t->ReadInterval());
            S.WriteInt("Timeouts.ReadTotalConstant", t->ReadTotalConstant());
            S.WriteInt("Timeouts.ReadTotalMultiplier", t->ReadTotalMultiplier());
            S.WriteInt("Timeouts.WriteTotalConstant", t->WriteTotalConstant());
            S.WriteInt("Timeouts.WriteTotalMultiplier", t->WriteTotalMultiplier());
            break;
        }
        case sgFlowDetails: {
            TSerialFlowControl* f = P.FlowControl();
            S.WriteText("FlowControl.ControlRTS", RTSText(f->ControlRTS()));
            S.WriteText("FlowControl.ControlDTR", DTRText(f->ControlDTR()));
            S.WriteText("FlowControl.DSRSensitivity", YesNoText(f->DSRSensitivity()));
            S.WriteText("FlowControl.OutCTSFlow", YesNoText(f->OutCTSFlow()));
            S.WriteText("FlowControl.OutDSRFlow", YesNoText(f->OutDSRFlow()));
            S.WriteText("FlowControl.TxContinueOnXoff", YesNoText(f->TxContinueOnXoff()));
            S.WriteText("FlowControl.XonXoffIn", YesNoText(f->XonXoffIn()));
            S.WriteText("FlowControl.XonXoffOut", YesNoText(f->XonXoffOut()));
            S.WriteText("FlowControl.XoffChar", CharText(f->XoffChar()));
            S.WriteText("FlowControl.XonChar", CharText(f->XonChar()));
            break;
        }
        }
    }
}

// Each value goes through its property's setter, so an open port applies it at once.
void ReadSettings(TCustomSerialPort& P, TSettingsStore& S)
{
    TSettingGroups groups = P.SettingGroups();
    for (TSettingGroup g : StorageOrder) {
        if (!groups.Contains(g)) continue;
        switch (g) {
        case sgBasic:
            P.SetPort(S.ReadText("Port", P.Port()));
            P.SetBaudRate(ParseBaudRate(S.ReadText("BaudRate", BaudRateText(P.BaudRate()))));
            if (P.BaudRate() == brCustom) P.SetCustomBaudRate(S.ReadInt("CustomBaudRate", 9600));
            P.SetStopBits(ParseStopBits(S.ReadText("StopBits", StopBitsText(P.StopBits()))));
            P.SetDataBits(ParseDataBits(S.ReadText("DataBits", DataBitsText(P.DataBits()))));
            P.Parity()->SetBits(ParseParity(S.ReadText("Parity", ParityText(P.Parity()->Bits()))));
            P.FlowControl()->SetFlowControl(ParseFlowControl(
                S.ReadText("FlowControl", FlowControlText(P.FlowControl()->FlowControl()))));
            break;
        case sgExtras:
            P.SetEventChar(ParseChar(S.ReadText("EventChar", CharText(P.EventChar()))));
            P.SetDiscardNull(ParseYesNo(S.ReadText("DiscardNull", YesNoText(P.DiscardNull()))));
            break;
        case sgParityDetails: {
            TSerialParity* par = P.Parity();
            par->SetCheck(ParseYesNo(S.ReadText("Parity.Check", YesNoText(par->Check()))));
            par->SetReplace(ParseYesNo(S.ReadText("Parity.Replace", YesNoText(par->Replace()))));
            par->SetReplaceChar(
                ParseChar(S.ReadText("Parity.ReplaceChar", CharText(par->ReplaceChar()))));
            break;
        }
        case sgBuffer: {
            TSerialBuffer* b = P.Buffer();
            b->SetOutputSize(S.ReadInt("Buffer.OutputSize", b->OutputSize()));
            b->SetInputSize(S.ReadInt("Buffer.InputSize", b->InputSize()));
            break;
        }
        case sgTimeouts: {
            TSerialTimeouts* t = P.Timeouts();
            t->SetReadInterval(S.ReadInt("Timeouts.ReadInterval", t->ReadInterval()));
            t->SetReadTotalConstant(S.ReadInt("Timeouts.ReadTotalConstant", t->ReadTotalConstant()));
            t->SetReadTotalMultiplier(
                S.ReadInt("Timeouts.ReadTotalMultiplier", t->ReadTotalMultiplier()));
            t->SetWriteTotalConstant(
                S.ReadInt("Timeouts.WriteTotalConstant", t->WriteTotalConstant()));
            t->SetWriteTotalMultiplier(
                S.ReadInt("Timeouts.WriteTotalMultiplier", t->WriteTotalMultiplier()));
            break;
        }
        case sgFlowDetails: {
            TSerialFlowControl* f = P.FlowControl();
            auto flag = [&](const char* key, bool current) {
                return ParseYesNo(S.ReadText(key, YesNoText(current)));
            };
            f->SetControlRTS(ParseRTS(S.ReadText("FlowControl.ControlRTS", RTSText(f->ControlRTS()))));
            f->SetControlDTR(ParseDTR(S.ReadText("FlowControl.ControlDTR", DTRText(f->ControlDTR()))));
            f->SetDSRSensitivity(flag("FlowControl.DSRSensitivity", f->DSRSensitivity()));
            f->SetOutCTSFlow(flag("FlowControl.OutCTSFlow", f->OutCTSFlow()));
            f->SetOutDSRFlow(flag("FlowControl.OutDSRFlow", f->OutDSRFlow()));
            f->SetTxContinueOnXoff(flag("FlowControl.TxContinueOnXoff", f->TxContinueOnXoff()));
            f->SetXonXoffIn(flag("FlowControl.XonXoffIn", f->XonXoffIn()));
            f->SetXonXoffOut(flag("FlowControl.XonXoffOut", f->XonXoffOut()));
            f->SetXoffChar(ParseChar(S.ReadText("FlowControl.XoffChar", CharText(f->XoffChar()))));
            f->SetXonChar(ParseChar(S.ReadText("FlowControl.XonChar", CharText(f->XonChar()))));
            break;
        }
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
std::string BaudRateText(TBaudRate Value) { return NameOf(BaudRateNames, Value); }
std::string StopBitsText(TStopBits Value) { return NameOf(StopBitsNames, Value); }
std::string DataBitsText(TDataBits Value) { return NameOf(DataBitsNames, Value); }
std::string ParityText(TParityBits Value) { return NameOf(ParityNames, Value); }
std::string FlowControlText(TFlowControl Value) { return NameOf(FlowControlNames, Value); }
std::string DTRText(TDTRFlowControl Value) { return NameOf(DTRNames, Value); }
std::string RTSText(TRTSFlowControl Value) { return NameOf(RTSNames, Value); }

TBaudRate ParseBaudRate(const std::string& Text) { return ParseName(BaudRateNames, Text, br9600); }
TStopBits ParseStopBits(const std::string& Text)
{
    return ParseName(StopBitsNames, Text, sbOneStopBit);
}
TDataBits ParseDataBits(const std::string& Text) { return ParseName(DataBitsNames, Text, dbEight); }
TParityBits ParseParity(const std::string& Text) { return ParseName(ParityNames, Text, prNone); }
TFlowControl ParseFlowControl(const std::string& Text)
{
    return ParseName(FlowControlNames, Text, fcCustom);
}
TDTRFlowControl ParseDTR(const std::string& Text) { return ParseName(DTRNames, Text, dtrDisable); }
TRTSFlowControl ParseRTS(const std::string& Text) { return ParseName(RTSNames, Text, rtsDisable); }

std::string YesNoText(bool Value) { return Value ? "Yes" : "No"; }

bool ParseYesNo(const std::string& Text) { return UpperCase(Text) == "YES"; }

std::string CharText(uint8_t Value)
{
    if (Value >= 33 && Value <= 127) return std::string(1, static_cast<char>(Value));
    char text[8];
    std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(Value));
    return text;
}

uint8_t ParseChar(const std::string& Text)
{
    if (Text.empty()) return 0;
    if (Text[0] != '#' || Text.size() == 1) return static_cast<uint8_t>(Text[0]);
    int32_t v;
    if (!TryStrToInt(Text.substr(1), v)) return 0;
    return static_cast<uint8_t>(v);
}

// ---------------------------------------------------------------------------------------------
void TCustomSerialPort::WriteRegistrySettings(TRegistry& Registry)
{
    TRegistryStore s(Registry);
    WriteSettings(*this, s);
}

void TCustomSerialPort::WriteIniSettings(TIniFile& IniFile)
{
    TIniStore s(IniFile, Name());
    WriteSettings(*this, s);
}

void TCustomSerialPort::ReadRegistrySettings(TRegistry& Registry)
{
    TRegistryStore s(Registry);
    ReadSettings(*this, s);
}

void TCustomSerialPort::ReadIniSettings(TIniFile& IniFile)
{
    TIniStore s(IniFile, Name());
    ReadSettings(*this, s);
}
