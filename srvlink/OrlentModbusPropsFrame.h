// The settings frame of the Modbus master: device address, mode and parity.
#pragma once
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "OrlentBasePropsFrame.h"
#include "StdCtrls.h"

class TModbusPropsFrame : public TBasePropsFrame {
public:
    explicit TModbusPropsFrame(TComponent* AOwner);
    const char* ClassName() const override { return "TModbusPropsFrame"; }
    // [address (16-bit), mode index (32-bit), parity index (32-bit)]
    void GetProps(OleVariant& Props) override;
    void SetProps(const OleVariant& Props) override;
    void UpdateControls() override {}

    TGroupBox* GroupBox1;
    TLabel* Label1;
    TEdit* Edit1;
    TUpDown* AddrUD;
    TRadioGroup* ModeRG;
    TRadioGroup* ParityRG;
};
