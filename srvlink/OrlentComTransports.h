// Serial transports: the serial settings of a server channel (port, speed, answer delay,
// retries, byte time-out, flow control) and the RS-232 transport that sends them as arrays.
#pragma once
#include <cstdint>
#include <string>

#include "OrlentServerDefs.h"

enum TComTransportSpeed : uint8_t {
    cts1200, cts2400, cts4800, cts9600, cts19200, cts38400, cts57600, cts115200, cts600
};
enum TComFlowContol : uint8_t { fcNone, fcHardware };

// Display texts of the speeds by ordinal, and the texts of a dial-up modem's states.
extern const char* const SpeedNames[9];
extern const char* const ModemStateTexts[14];

class TComTransport : public TAnyTransportCustom {
public:
    explicit TComTransport(TComponent* AOwner);
    const char* ClassName() const override { return "TComTransport"; }

    static bool IsValidPortName(const std::string& Name);

    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);
    TComTransportSpeed Speed() const { return FSpeed; }
    void SetSpeed(TComTransportSpeed Value);
    int AnswerDelay() const { return FAnswerDelay; }
    void SetAnswerDelay(int Value);
    int Retries() const { return FRetries; }
    void SetRetries(int Value);
    int ByteTimeout() const { return FByteTimeout; }
    void SetByteTimeout(int Value);
    TComFlowContol FlowControl() const { return FFlowControl; }
    void SetFlowControl(TComFlowContol Value);

    // The settings as the form stores them: "Name=Value" lines, leaving out those at their
    // declared defaults; LoadProperties reads such lines back through the accessors.
    std::string StoreProperties() const;
    void LoadProperties(const std::string& Stored);

protected:
    int FAnswerDelay = 500;
    int FRetries = 10;
    int FByteTimeout = 10;
    TComTransportSpeed FSpeed = cts19200;
    std::string FPort = "COM1";
    TComFlowContol FFlowControl = fcNone;
};

class TRS232Transport : public TComTransport {
public:
    explicit TRS232Transport(TComponent* AOwner);
    const char* ClassName() const override { return "TRS232Transport"; }

    void ApplySettings() override;
    OleVariant GetProps() override;
    void SetProps(const OleVariant& Value) override;
    TBasePropsFrame* CreatePropsFrame() override;
};
