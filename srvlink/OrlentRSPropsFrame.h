// The settings frame of the serial transports: port (from the system's serial port list),
// speed, flow control or last-byte time, time-outs, retries and the remote machine.
#pragma once
#include <cstdint>
#include <string>

#include "OrlentBasePropsFrame.h"
#include "StdCtrls.h"

class TRSPropsFrame : public TBasePropsFrame {
public:
    // Builds the controls and fills the port list from the registry.
    explicit TRSPropsFrame(TComponent* AOwner);
    const char* ClassName() const override { return "TRSPropsFrame"; }
    // Nine elements in the layout of the transport kind given last to SetProps (0 for a new
    // frame); numeric edits that hold no integer raise the conversion error.
    void GetProps(OleVariant& Props) override;
    void SetProps(const OleVariant& Props) override;
    // The machine name can be edited only while DCOM is ticked.
    void UpdateControls() override;
    void UseDCOMCBClick(TObject* Sender);

    // The number of a port name from its fourth character on ("COM12" gives 12): 1 for a name
    // of at most three characters or a text that is no integer, 0 for a number beyond 0..255
    // (no port the transports can open).
    static uint8_t PortNumberFromName(const std::string& Name);

    TGroupBox* GroupBox1;
    TLabel* Label6;
    TComboBox* PortCB;
    TLabel* Label1;
    TComboBox* SpeedCB;
    TLabel* FlowControlL;
    TComboBox* FlowControlCB;
    TLabel* LastByteTimeL;
    TEdit* LastByteTimeE;
    TLabel* Label4;
    TEdit* AnswerDelayE;
    TLabel* Label5;
    TEdit* RetriesE;
    TLabel* Label2;
    TEdit* ByteTimeoutE;
    TCheckBox* UseDCOMCB;
    TLabel* Label12;
    TEdit* MachineNameE;

private:
    void FillPortList();
    std::string SelectedPortName() const;
    uint8_t TransportKind = 0;
};
