// The Modbus master component: device settings sent to the server as a settings array, three
// request kinds, and the server's replies unpacked into OnExchange.
#pragma once
#include <cstdint>
#include <functional>

#include "OrlentServerDefs.h"

enum TModbusMode : uint8_t { mmRTU, mmASCII };
enum TModbusParity : uint8_t { mpNone, mpOdd, mpEven };

// Value is the handler's own copy of the reply value.
using TMBMasterOnExchange =
    std::function<void(TObject* Sender, int QID, int MBAddr, int FunNumber, OleVariant Value, int Result)>;

class TModbusMaster : public TAnyMasterCustom {
public:
    explicit TModbusMaster(TComponent* AOwner);
    const char* ClassName() const override { return "TModbusMaster"; }

    int DeviceAddress() const { return FDeviceAddress; }
    void SetDeviceAddress(int Value);
    TModbusParity Parity() const { return FParity; }
    void SetParity(TModbusParity Value);
    bool OptimalUseFunction() const { return FOptimalUseFunction != 0; }
    void SetOptimalUseFunction(bool Value);
    TModbusMode Mode() const { return FMode; }
    void SetMode(TModbusMode Value);
    bool AdjustToWord() const { return FAdjustToWord != 0; }
    void SetAdjustToWord(bool Value);
    int Retries() const { return FRetries; }
    void SetRetries(int Value);
    TMBMasterOnExchange OnExchange;

    TQueryType GetQueryType() const override { return FQueryType; }
    void SetQueryType(TQueryType Value) override;

    // Each sends one request and returns at once; the sixth argument is not sent.
    void QueryHolding(int QID, int Aux, int StartReg, const OleVariant& ValueType, int Count, int Reserved);
    void QueryInput(int QID, int Aux, int StartReg, const OleVariant& ValueType, int Count, int Reserved);
    void QueryArchive(int QID, int ArchNum, int Count, int RecIndex, const OleVariant& RecFormat, int Reserved);

    void ApplySettings() override;
    OleVariant GetProps() override;
    void SetProps(const OleVariant& Value) override;
    void DoServerExchange(TObject* ASender, OleVariant& AExchValue) override;
    TBasePropsFrame* CreatePropsFrame() override;

private:
    void Changed();
    void Query(uint8_t Kind, int QID, int A2, int A3, const OleVariant& A4, const OleVariant& A5);

    int16_t FAdjustToWord = -1;
    TModbusMode FMode = mmRTU;
    int16_t FOptimalUseFunction = 0;
    int FDeviceAddress = 1;
    TModbusParity FParity = mpNone;
    int FRetries = 10;
};
