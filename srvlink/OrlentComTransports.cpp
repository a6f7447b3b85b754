#include "OrlentComTransports.h"

#include "Dialogs.h"
#include "OrlentFrameProps.h"
#include "OrlentRSPropsFrame.h"

const char* const SpeedNames[9] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "600"};

const char* const ModemStateTexts[14] = {
    "Ошибка!",
    "Инициализация модема...",
    "Набор номера...",
    "Есть подключение!",
    "Сообщение от модема \"NO CARRIER\".",
    "Сообщение от модема \"NO DIALTONE\".",
    "Номер занят.",
    "Сообщение от модема \"NO ANSWER\".",
    "Повторный набор номера...",
    "Пауза перед повторным набором...",
    "Произошло отключение.",
    "Завершение операции",
    "Ожидание ответа от сервера...",
    "Модем не отвечает",
};

namespace {

OleVariant VarCardinal(uint32_t v)
{
    OleVariant r;
    r.Raw().vt = VT_UI4;
    r.Raw().ulVal = v;
    return r;
}

// Declared defaults: a property at its default is not stored.
constexpr int DefaultAnswerDelay = 1000;
constexpr int DefaultRetries = 10;
constexpr int DefaultByteTimeout = 10;

}  // namespace

// ---- TComTransport -------------------------------------------------------------------------

TComTransport::TComTransport(TComponent* AOwner) : TAnyTransportCustom(AOwner) {}

bool TComTransport::IsValidPortName(const std::string& Name)
{
    if (UpperCase(Name.substr(0, 3)) != "COM") return false;
    int32_t n = 0;
    if (Name.size() <= 3 || !TryStrToInt(Name.substr(3), n)) return false;
    return n >= 1 && n <= 255;
}

void TComTransport::SetPort(const std::string& Value)
{
    if (!IsValidPortName(Value)) {
        ShowMessage("Неверно задан параметр!");
        return;
    }
    FPort = Value;
    ApplySettings();
}

void TComTransport::SetSpeed(TComTransportSpeed Value)
{
    FSpeed = Value;
    ApplySettings();
}

void TComTransport::SetAnswerDelay(int Value)
{
    FAnswerDelay = Value;
    ApplySettings();
}

void TComTransport::SetRetries(int Value)
{
    FRetries = Value;
    ApplySettings();
}

void TComTransport::SetByteTimeout(int Value)
{
    FByteTimeout = Value;
    ApplySettings();
}

void TComTransport::SetFlowControl(TComFlowContol Value)
{
    FFlowControl = Value;
    ApplySettings();
}

std::string TComTransport::StoreProperties() const
{
    std::string s = "Port=" + FPort + "\r\n";  // no declared default: always stored
    if (FSpeed != cts19200) s += "Speed=" + IntToStr(FSpeed) + "\r\n";
    if (FAnswerDelay != DefaultAnswerDelay) s += "AnswerDelay=" + IntToStr(FAnswerDelay) + "\r\n";
    if (FRetries != DefaultRetries) s += "Retries=" + IntToStr(FRetries) + "\r\n";
    if (FByteTimeout != DefaultByteTimeout) s += "ByteTimeout=" + IntToStr(FByteTimeout) + "\r\n";
    if (FFlowControl != fcNone) s += "FlowControl=" + IntToStr(FFlowControl) + "\r\n";
    return s;
}

void TComTransport::LoadProperties(const std::string& Stored)
{
    TStringList lines;
    lines.SetText(Stored);
    BeginLoading();
    for (int i = 0; i < lines.Count(); ++i) {
        std::string name = lines.Names(i), value = lines.ValueFromIndex(i);
        if (name == "Port") SetPort(value);
        else if (name == "Speed") SetSpeed(static_cast<TComTransportSpeed>(StrToInt(value)));
        else if (name == "AnswerDelay") SetAnswerDelay(StrToInt(value));
        else if (name == "Retries") SetRetries(StrToInt(value));
        else if (name == "ByteTimeout") SetByteTimeout(StrToInt(value));
        else if (name == "FlowControl") SetFlowControl(static_cast<TComFlowContol>(StrToInt(value)));
    }
    EndLoading();
}

// ---- TRS232Transport -----------------------------------------------------------------------

TRS232Transport::TRS232Transport(TComponent* AOwner) : TComTransport(AOwner)
{
    SetDisplayName("RS232");
    FTransportKind = 0;
}

void TRS232Transport::ApplySettings()
{
    if (Designing() || !Proxy() || UpdateLocked()) return;
    Proxy()->SetSettings(OleVariant::Array({VarByte(FTransportKind), FPort, VarCardinal(FSpeed),
                                            VarCardinal(FFlowControl), FAnswerDelay, FByteTimeout, FRetries}));
}

OleVariant TRS232Transport::GetProps()
{
    return OleVariant::Array({VarByte(FTransportKind), FPort, VarByte(FSpeed), VarByte(FFlowControl), FAnswerDelay,
                              FByteTimeout, FRetries, RemoteMachineName(), UseDCOM()});
}

void TRS232Transport::SetProps(const OleVariant& Value)
{
    BeginUpdate();
    try {
        std::vector<OleVariant> e = PropsElements(Value, 9);
        FPort = e[1].AsString();
        FSpeed = static_cast<TComTransportSpeed>(VarToByte(e[2]));
        FFlowControl = static_cast<TComFlowContol>(VarToByte(e[3]));
        FAnswerDelay = e[4].AsInteger();
        FByteTimeout = e[5].AsInteger();
        FRetries = e[6].AsInteger();
        SetRemoteMachineName(e[7].AsString());
        SetUseDCOM(e[8].AsBool());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TBasePropsFrame* TRS232Transport::CreatePropsFrame() { return new TRSPropsFrame(nullptr); }
