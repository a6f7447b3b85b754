// Settings objects and the device records built from them (no device needed).
#include <gtest/gtest.h>

#include <cstring>

#include "SerialTestSupport.h"

namespace {

DCB DcbOf(const TCustomSerialPort& port)
{
    DCB d;
    std::memset(&d, 0xAB, sizeof d);  // every member must be written
    port.BuildDCB(d);
    return d;
}

// The flag word of the block as the driver sees it.
uint32_t Flags(const DCB& d)
{
    uint32_t f;
    std::memcpy(&f, reinterpret_cast<const char*>(&d) + 8, 4);
    return f;
}

COMMTIMEOUTS TimeoutsOf(const TCustomSerialPort& port)
{
    COMMTIMEOUTS t;
    std::memset(&t, 0xAB, sizeof t);
    port.BuildTimeouts(t);
    return t;
}

}  // namespace

TEST(SerialSettings, DefaultPortGivesTheDocumentedDeviceRecords)
{
    TSerialPort port;
    DCB d = DcbOf(port);
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(Flags(d), 0x1u);  // fBinary alone: no flow control, DTR and RTS disabled
    EXPECT_EQ(d.wReserved, 0);
    EXPECT_EQ(d.XonLim, 256);
    EXPECT_EQ(d.XoffLim, 256);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, 0);
    EXPECT_EQ(d.StopBits, 0);
    EXPECT_EQ(d.XonChar, 17);
    EXPECT_EQ(d.XoffChar, 19);
    EXPECT_EQ(d.ErrorChar, 0);
    EXPECT_EQ(d.EofChar, 0);
    EXPECT_EQ(d.EvtChar, 0);
    EXPECT_EQ(d.wReserved1, 0);

    COMMTIMEOUTS t = TimeoutsOf(port);
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);

    EXPECT_EQ(port.Buffer()->InputSize(), 1024);
    EXPECT_EQ(port.Buffer()->OutputSize(), 1024);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.Events(), AllSerialEvents);
    EXPECT_EQ(port.SettingGroups(), TSettingGroups{sgBasic});
    EXPECT_EQ(port.DeviceHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(port.EventThreadPriority(), tpNormal);
    EXPECT_EQ(port.Parity()->OwnerPort(), &port);
    EXPECT_EQ(port.Timeouts()->OwnerPort(), &port);
}

TEST(SerialSettings, LinePropertiesReachTheirMembers)
{
    TSerialPort port;
    const uint32_t rates[] = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int i = br110; i <= br256000; ++i) {
        port.SetBaudRate(static_cast<TBaudRate>(i));
        EXPECT_EQ(DcbOf(port).BaudRate, rates[i - br110]) << i;
    }
    port.SetCustomBaudRate(31250);
    EXPECT_EQ(DcbOf(port).BaudRate, 256000u);  // the custom rate counts only with brCustom
    port.SetBaudRate(brCustom);
    EXPECT_EQ(DcbOf(port).BaudRate, 31250u);

    port.SetDataBits(dbFive);
    port.SetStopBits(sbTwoStopBits);
    port.Parity()->SetBits(prSpace);
    port.SetEventChar('~');
    port.SetDiscardNull(true);
    DCB d = DcbOf(port);
    EXPECT_EQ(d.ByteSize, 5);
    EXPECT_EQ(d.StopBits, TWOSTOPBITS);
    EXPECT_EQ(d.Parity, SPACEPARITY);
    EXPECT_EQ(d.EvtChar, '~');
    EXPECT_EQ(Flags(d), 0x1u | 0x800u);  // fNull
}

TEST(SerialSettings, FlowFieldsUseTheWin32FlagBits)
{
    TSerialPort port;
    TSerialFlowControl* f = port.FlowControl();
    f->SetOutCTSFlow(true);
    EXPECT_EQ(Flags(DcbOf(port)), 0x1u | 0x4u);
    f->SetOutCTSFlow(false);
    f->SetOutDSRFlow(true);
    f->SetDSRSensitivity(true);
    f->SetTxContinueOnXoff(true);
    EXPECT_EQ(Flags(DcbOf(port)), 0x1u | 0x8u | 0x40u | 0x80u);
    f->SetOutDSRFlow(false);
    f->SetDSRSensitivity(false);
    f->SetTxContinueOnXoff(false);
    f->SetXonXoffOut(true);
    f->SetXonXoffIn(true);
    EXPECT_EQ(Flags(DcbOf(port)), 0x1u | 0x100u | 0x200u);
    f->SetXonXoffOut(false);
    f->SetXonXoffIn(false);

    const uint32_t dtr[] = {0x00, 0x10, 0x20};
    for (int i = dtrDisable; i <= dtrHandshake; ++i) {
        f->SetControlDTR(static_cast<TDTRFlowControl>(i));
        EXPECT_EQ(Flags(DcbOf(port)), 0x1u | dtr[i]) << i;
    }
    f->SetControlDTR(dtrDisable);
    const uint32_t rts[] = {0x0000, 0x1000, 0x2000, 0x3000};
    for (int i = rtsDisable; i <= rtsToggle; ++i) {
        f->SetControlRTS(static_cast<TRTSFlowControl>(i));
        EXPECT_EQ(Flags(DcbOf(port)), 0x1u | rts[i]) << i;
    }
    f->SetXonChar(1);
    f->SetXoffChar(2);
    DCB d = DcbOf(port);
    EXPECT_EQ(d.XonChar, 1);
    EXPECT_EQ(d.XoffChar, 2);
}

TEST(SerialSettings, ErrorCharNeedsBothCheckAndReplace)
{
    TSerialPort port;
    port.Parity()->SetReplaceChar('?');
    port.Parity()->SetReplace(true);
    DCB d = DcbOf(port);
    EXPECT_EQ(Flags(d), 0x1u);  // Replace alone: neither fErrorChar nor fParity
    EXPECT_EQ(d.ErrorChar, 0);

    port.Parity()->SetCheck(true);
    d = DcbOf(port);
    EXPECT_EQ(Flags(d), 0x1u | 0x2u | 0x400u);
    EXPECT_EQ(d.ErrorChar, '?');

    port.Parity()->SetReplace(false);
    d = DcbOf(port);
    EXPECT_EQ(Flags(d), 0x1u | 0x2u);
    EXPECT_EQ(d.ErrorChar, 0);
}

TEST(SerialSettings, QueueSizesRoundOddPositiveValuesAndDriveTheXonLimits)
{
    TSerialBuffer b;
    b.SetInputSize(1025);
    EXPECT_EQ(b.InputSize(), 1024);
    b.SetInputSize(1);
    EXPECT_EQ(b.InputSize(), 0);
    b.SetInputSize(-3);
    EXPECT_EQ(b.InputSize(), -3);
    b.SetOutputSize(4097);
    EXPECT_EQ(b.OutputSize(), 4096);

    TSerialPort port;
    port.Buffer()->SetInputSize(4096);
    EXPECT_EQ(DcbOf(port).XonLim, 1024);
    EXPECT_EQ(DcbOf(port).XoffLim, 1024);
    port.Buffer()->SetInputSize(1026);
    EXPECT_EQ(DcbOf(port).XonLim, 256);
    port.Buffer()->SetInputSize(-7);  // truncated toward zero, then as 16 bits
    EXPECT_EQ(DcbOf(port).XonLim, 0xFFFF);
    EXPECT_EQ(DcbOf(port).XoffLim, 0xFFFF);
}

TEST(SerialSettings, WritingTheRoundedValueAgainStillCountsAsAChange)
{
    CountingPort port;
    port.ResetCounts();
    port.Buffer()->SetInputSize(1024);  // equal: nothing
    EXPECT_EQ(port.QueuesApplied, 0);
    port.Buffer()->SetInputSize(1025);  // differs from 1024 as written; stores 1024 again
    EXPECT_EQ(port.QueuesApplied, 1);
    EXPECT_EQ(port.Buffer()->InputSize(), 1024);
}

TEST(SerialSettings, ReadIntervalPassesItsBitPattern)
{
    TSerialPort port;
    port.Timeouts()->SetReadInterval(-2);
    port.Timeouts()->SetReadTotalMultiplier(3);
    port.Timeouts()->SetReadTotalConstant(4);
    port.Timeouts()->SetWriteTotalMultiplier(5);
    port.Timeouts()->SetWriteTotalConstant(-1);
    COMMTIMEOUTS t = TimeoutsOf(port);
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFEu);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 3u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 4u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 5u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 0xFFFFFFFFu);
}

TEST(SerialSettings, FlowControlShorthand)
{
    TSerialFlowControl f;
    EXPECT_EQ(f.FlowControl(), fcNone);

    f.SetFlowControl(fcHardware);
    EXPECT_EQ(f.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(f.OutCTSFlow());
    f.SetOutDSRFlow(true);  // fields outside the shorthand play no part
    f.SetControlDTR(dtrHandshake);
    EXPECT_EQ(f.FlowControl(), fcHardware);

    f.SetFlowControl(fcSoftware);
    EXPECT_EQ(f.ControlRTS(), rtsDisable);
    EXPECT_FALSE(f.OutCTSFlow());
    EXPECT_TRUE(f.XonXoffIn());
    EXPECT_TRUE(f.XonXoffOut());
    EXPECT_EQ(f.FlowControl(), fcSoftware);
    EXPECT_TRUE(f.OutDSRFlow());  // never touched
    EXPECT_EQ(f.ControlDTR(), dtrHandshake);

    f.SetFlowControl(fcNone);
    EXPECT_EQ(f.FlowControl(), fcNone);
    f.SetControlRTS(rtsEnable);
    EXPECT_EQ(f.FlowControl(), fcCustom);
    f.SetControlRTS(rtsToggle);
    EXPECT_EQ(f.FlowControl(), fcCustom);
    f.SetXonXoffIn(true);  // half of software
    f.SetControlRTS(rtsDisable);
    EXPECT_EQ(f.FlowControl(), fcCustom);
}

TEST(SerialSettings, CustomFlowControlChangesNothingButReapplies)
{
    CountingPort port;
    port.FlowControl()->SetControlRTS(rtsToggle);
    port.FlowControl()->SetXonXoffIn(true);
    port.ResetCounts();
    port.FlowControl()->SetFlowControl(fcCustom);
    EXPECT_EQ(port.LineApplied, 1);
    EXPECT_EQ(port.FlowControl()->ControlRTS(), rtsToggle);
    EXPECT_TRUE(port.FlowControl()->XonXoffIn());
    port.FlowControl()->SetFlowControl(fcNone);  // no equality test for the shorthand
    port.FlowControl()->SetFlowControl(fcNone);
    EXPECT_EQ(port.LineApplied, 3);
}

TEST(SerialSettings, EqualValuesMakeNoApplication)
{
    CountingPort port;
    port.ResetCounts();
    port.SetBaudRate(br9600);
    port.SetCustomBaudRate(9600);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbOneStopBit);
    port.SetDiscardNull(false);
    port.SetEventChar(0);
    port.Parity()->SetBits(prNone);
    port.Parity()->SetCheck(false);
    port.FlowControl()->SetXonChar(17);
    port.FlowControl()->SetControlRTS(rtsDisable);
    port.Timeouts()->SetReadInterval(-1);
    port.Timeouts()->SetWriteTotalConstant(1000);
    port.Buffer()->SetOutputSize(1024);
    EXPECT_EQ(port.LineApplied + port.TimeoutsApplied + port.QueuesApplied, 0);

    port.SetBaudRate(br19200);
    port.Parity()->SetBits(prEven);
    port.FlowControl()->SetXonChar(1);
    EXPECT_EQ(port.LineApplied, 3);
    port.Timeouts()->SetReadTotalConstant(5);
    EXPECT_EQ(port.TimeoutsApplied, 1);
    port.Buffer()->SetOutputSize(2048);
    EXPECT_EQ(port.QueuesApplied, 1);
    EXPECT_EQ(port.LineApplied, 3);
}

TEST(SerialSettings, CopyFromCopiesEveryValueWithoutApplying)
{
    CountingPort port;
    TSerialParity p;
    p.SetBits(prMark);
    p.SetCheck(true);
    p.SetReplace(true);
    p.SetReplaceChar('*');
    TSerialFlowControl f;
    f.SetOutCTSFlow(true);
    f.SetOutDSRFlow(true);
    f.SetControlDTR(dtrEnable);
    f.SetControlRTS(rtsToggle);
    f.SetXonXoffOut(true);
    f.SetXonXoffIn(true);
    f.SetDSRSensitivity(true);
    f.SetTxContinueOnXoff(true);
    f.SetXonChar(5);
    f.SetXoffChar(6);
    TSerialTimeouts t;
    t.SetReadInterval(1);
    t.SetReadTotalMultiplier(2);
    t.SetReadTotalConstant(3);
    t.SetWriteTotalMultiplier(4);
    t.SetWriteTotalConstant(5);
    TSerialBuffer b;
    b.SetInputSize(10);
    b.SetOutputSize(20);

    port.ResetCounts();
    port.Parity()->CopyFrom(p);
    port.FlowControl()->CopyFrom(f);
    port.Timeouts()->CopyFrom(t);
    port.Buffer()->CopyFrom(b);
    EXPECT_EQ(port.LineApplied + port.TimeoutsApplied + port.QueuesApplied, 0);

    EXPECT_EQ(port.Parity()->Bits(), prMark);
    EXPECT_TRUE(port.Parity()->Check());
    EXPECT_TRUE(port.Parity()->Replace());
    EXPECT_EQ(port.Parity()->ReplaceChar(), '*');
    const TSerialFlowControl* g = port.FlowControl();
    EXPECT_TRUE(g->OutCTSFlow() && g->OutDSRFlow() && g->XonXoffOut() && g->XonXoffIn() &&
                g->DSRSensitivity() && g->TxContinueOnXoff());
    EXPECT_EQ(g->ControlDTR(), dtrEnable);
    EXPECT_EQ(g->ControlRTS(), rtsToggle);
    EXPECT_EQ(g->XonChar(), 5);
    EXPECT_EQ(g->XoffChar(), 6);
    COMMTIMEOUTS ct = TimeoutsOf(port);
    EXPECT_EQ(ct.ReadIntervalTimeout, 1u);
    EXPECT_EQ(ct.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(ct.ReadTotalTimeoutConstant, 3u);
    EXPECT_EQ(ct.WriteTotalTimeoutMultiplier, 4u);
    EXPECT_EQ(ct.WriteTotalTimeoutConstant, 5u);
    EXPECT_EQ(port.Buffer()->InputSize(), 10);
    EXPECT_EQ(port.Buffer()->OutputSize(), 20);
    EXPECT_EQ(port.Parity()->OwnerPort(), &port);  // the owner is not copied

    // Through the port's property writes the group is applied once.
    port.SetParity(p);
    port.SetFlowControl(f);
    EXPECT_EQ(port.LineApplied, 2);
    port.SetTimeouts(t);
    EXPECT_EQ(port.TimeoutsApplied, 1);
    port.SetBuffer(b);
    EXPECT_EQ(port.QueuesApplied, 1);
}

TEST(SerialSettings, CopyFromAnotherClassIsAnAssignmentError)
{
    TSerialParity p;
    TSerialBuffer b;
    b.SetInputSize(2);
    try {
        p.CopyFrom(b);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TSerialBuffer to a TSerialParity");
    }
    EXPECT_THROW(b.CopyFrom(p), EConvertError);
    EXPECT_EQ(b.InputSize(), 2);
}

TEST(SerialSettings, ErrorMessagesCarryTheSystemCode)
{
    ESerialPort withCode(1, 2);
    EXPECT_EQ(withCode.Message(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(withCode.PortErrorCode(), 1);
    EXPECT_EQ(withCode.SystemErrorCode(), 2);
    ESerialPort without(14);
    EXPECT_EQ(without.Message(), "Cannot set property while connected");
    EXPECT_EQ(without.SystemErrorCode(), -1);
    EXPECT_EQ(ESerialPort(23, 5).Message(), "Registry error (win error code: 5)");
    EXPECT_EQ(ESerialPort(8, 87).Message(), "SetCommTimeouts failed (win error code: 87)");
}

TEST(SerialSettings, EventSetsMapToTheDeviceMask)
{
    const struct {
        TSerialEvent e;
        uint32_t bit;
    } map[] = {{evRxChar, EV_RXCHAR}, {evTxEmpty, EV_TXEMPTY}, {evRxFlag, EV_RXFLAG},
               {evRing, EV_RING},     {evBreak, EV_BREAK},     {evCTS, EV_CTS},
               {evDSR, EV_DSR},       {evError, EV_ERR},       {evRLSD, EV_RLSD},
               {evRx80Full, EV_RX80FULL}};
    for (auto m : map) {
        EXPECT_EQ(EventsToMask(TSerialEvents{m.e}), m.bit);
        EXPECT_EQ(MaskToEvents(m.bit), TSerialEvents{m.e});
    }
    EXPECT_EQ(EventsToMask(AllSerialEvents), 0x05FFu);
    EXPECT_EQ(MaskToEvents(0xFFFFFFFFu), AllSerialEvents);  // unknown bits dropped
    EXPECT_TRUE(MaskToEvents(EV_EVENT1 | EV_PERR).Empty());
}
