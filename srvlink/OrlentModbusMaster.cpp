#include "OrlentModbusMaster.h"

#include "OrlentFrameProps.h"
#include "OrlentModbusPropsFrame.h"

TModbusMaster::TModbusMaster(TComponent* AOwner) : TAnyMasterCustom(AOwner)
{
    FMasterKind = 0;
}

// Every setter sends the settings again, also for the value already held.
void TModbusMaster::Changed()
{
    if (!Designing() && Proxy()) ApplySettings();
}

void TModbusMaster::SetDeviceAddress(int Value)
{
    FDeviceAddress = Value;
    Changed();
}

void TModbusMaster::SetParity(TModbusParity Value)
{
    FParity = Value;
    Changed();
}

void TModbusMaster::SetOptimalUseFunction(bool Value)
{
    FOptimalUseFunction = Value ? -1 : 0;
    Changed();
}

void TModbusMaster::SetMode(TModbusMode Value)
{
    FMode = Value;
    Changed();
}

void TModbusMaster::SetAdjustToWord(bool Value)
{
    FAdjustToWord = Value ? -1 : 0;
    Changed();
}

void TModbusMaster::SetRetries(int Value)
{
    FRetries = Value;
    Changed();
}

void TModbusMaster::SetQueryType(TQueryType Value)
{
    FQueryType = Value;
    Changed();
}

void TModbusMaster::ApplySettings()
{
    if (Designing() || !Proxy() || UpdateLocked()) return;
    Proxy()->SetSettings(OleVariant::Array({VarByte(FMasterKind), FDeviceAddress, VarByte(FMode), VarByte(FParity),
                                            FRetries, FAdjustToWord != 0, FOptimalUseFunction != 0}));
}

OleVariant TModbusMaster::GetProps()
{
    return OleVariant::Array({FDeviceAddress, VarByte(FMode), VarByte(FParity)});
}

void TModbusMaster::SetProps(const OleVariant& Value)
{
    BeginUpdate();
    try {
        std::vector<OleVariant> e = PropsElements(Value, 3);
        SetDeviceAddress(e[0].AsInteger());
        SetMode(static_cast<TModbusMode>(VarToByte(e[1])));
        SetParity(static_cast<TModbusParity>(VarToByte(e[2])));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TModbusMaster::Query(uint8_t Kind, int QID, int A2, int A3, const OleVariant& A4, const OleVariant& A5)
{
    if (!Proxy()) return;
    Proxy()->SendQuery(OleVariant::Array({VarByte(Kind), QID, A2, A3, A4, A5}));
}

void TModbusMaster::QueryHolding(int QID, int Aux, int StartReg, const OleVariant& ValueType, int Count, int)
{
    Query(2, QID, Aux, StartReg, ValueType, Count);
}

void TModbusMaster::QueryInput(int QID, int Aux, int StartReg, const OleVariant& ValueType, int Count, int)
{
    Query(4, QID, Aux, StartReg, ValueType, Count);
}

void TModbusMaster::QueryArchive(int QID, int ArchNum, int Count, int RecIndex, const OleVariant& RecFormat, int)
{
    Query(9, QID, ArchNum, Count, RecIndex, RecFormat);
}

void TModbusMaster::DoServerExchange(TObject*, OleVariant& AExchValue)
{
    std::vector<OleVariant> e = PropsElements(AExchValue, 6);
    int result = e[5].AsInteger();
    SetLastResult(result);
    int qid = e[1].AsInteger(), addr = e[2].AsInteger(), fun = e[3].AsInteger();
    DispatchReply(this, qid, addr, fun, e[4], result);
    if (OnExchange) OnExchange(this, qid, addr, fun, e[4], result);
}

TBasePropsFrame* TModbusMaster::CreatePropsFrame() { return new TModbusPropsFrame(nullptr); }
