// The settings frames: their controls, their props arrays in both directions (their components
// included), the port list read from the registry, and enabling a control with the colour of its
// text.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "OrlentComTransports.h"
#include "OrlentControlUtils.h"
#include "OrlentModbusMaster.h"
#include "OrlentModbusPropsFrame.h"
#include "OrlentRSPropsFrame.h"
#include "SysUtils.h"

namespace {

void DeleteTree(HKEY root, const std::string& path)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    char name[256];
    for (;;) {
        DWORD n = sizeof name;
        if (RegEnumKeyExA(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree(k, name);
    }
    RegCloseKey(k);
    RegDeleteKeyA(root, path.c_str());
}

// HKEY_LOCAL_MACHINE of this process is a scratch key whose "hardware\devicemap\serialcomm"
// holds the given values (name, data); a number as data makes a value of another kind.
class PortRegistry {
public:
    explicit PortRegistry(const std::vector<std::pair<std::string, std::string>>& values, bool createKey = true)
    {
        FBase = "Software\\TovikTest\\frames" + std::to_string(GetCurrentProcessId());
        DeleteTree(HKEY_CURRENT_USER, FBase);
        RegCreateKeyExA(HKEY_CURRENT_USER, FBase.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FRoot, nullptr);
        if (createKey) {
            HKEY k = nullptr;
            RegCreateKeyExA(FRoot, "hardware\\devicemap\\serialcomm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr);
            for (const auto& [name, data] : values) {
                int32_t n = 0;
                if (TryStrToInt(data, n))
                    RegSetValueExA(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
                else
                    RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>(data.size() + 1));
            }
            RegCloseKey(k);
        }
        EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, FRoot), ERROR_SUCCESS);
    }
    ~PortRegistry()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(FRoot);
        DeleteTree(HKEY_CURRENT_USER, FBase);
    }

private:
    std::string FBase;
    HKEY FRoot = nullptr;
};

std::vector<std::string> Texts(TComboBox* cb) { return {cb->Items().begin(), cb->Items().end()}; }
std::vector<intptr_t> Numbers(TComboBox* cb)
{
    std::vector<intptr_t> v;
    for (int i = 0; i < cb->Items().Count(); ++i) v.push_back(reinterpret_cast<intptr_t>(cb->Items().Objects(i)));
    return v;
}
std::vector<VARTYPE> Types(const std::vector<OleVariant>& e)
{
    std::vector<VARTYPE> v;
    for (const auto& x : e) v.push_back(x.Type());
    return v;
}

OleVariant Byte(uint8_t v)
{
    OleVariant r;
    r.Raw().vt = VT_UI1;
    r.Raw().bVal = v;
    return r;
}

// A transport props array: kind 0 has the flow-control index at 3, other kinds the last-byte time
// at 6.
OleVariant RSProps(uint8_t kind, const std::string& port, int speed, std::vector<int32_t> nums,
                   const std::string& machine, bool dcom)
{
    std::vector<OleVariant> e{Byte(kind), OleVariant(port), OleVariant(static_cast<int32_t>(speed))};
    for (int32_t n : nums) e.emplace_back(n);
    e.emplace_back(machine);
    e.emplace_back(dcom);
    return OleVariant::Array(e);
}

std::unique_ptr<TRSPropsFrame> NewRSFrame(const std::vector<std::pair<std::string, std::string>>& ports)
{
    PortRegistry reg(ports);
    return std::make_unique<TRSPropsFrame>(nullptr);
}

}  // namespace

TEST(ModbusPropsFrame, AddressModeAndParityGoBothWays)
{
    TModbusPropsFrame f(nullptr);
    EXPECT_EQ(f.AddrUD->Associate(), f.Edit1);
    EXPECT_EQ(f.Edit1->Parent(), f.GroupBox1);
    EXPECT_EQ(f.ModeRG->Items().Count(), 2);
    EXPECT_EQ(f.ParityRG->Columns(), 3);
    OleVariant p;
    f.GetProps(p);
    std::vector<OleVariant> e = p.Elements();
    EXPECT_EQ(Types(e), (std::vector<VARTYPE>{VT_I2, VT_I4, VT_I4}));
    EXPECT_EQ(e[0].AsInteger() + e[1].AsInteger() + e[2].AsInteger(), 0);

    f.SetProps(OleVariant::Array({OleVariant(int32_t{17}), OleVariant(int32_t{1}), OleVariant(int32_t{2})}));
    EXPECT_EQ(f.Edit1->Text(), "17");
    f.GetProps(p);
    e = p.Elements();
    EXPECT_EQ(e[0].AsInteger(), 17);
    EXPECT_EQ(e[1].AsInteger(), 1);
    EXPECT_EQ(e[2].AsInteger(), 2);
    // the up-down's range holds an address that does not fit it
    f.SetProps(OleVariant::Array({OleVariant(int32_t{300}), OleVariant(int32_t{0}), OleVariant(int32_t{0})}));
    EXPECT_EQ(f.Edit1->Text(), "255");
    EXPECT_THROW(f.SetProps(OleVariant::Array({OleVariant(int32_t{1})})), EOleSysError);
    EXPECT_THROW(f.SetProps(OleVariant::Array({OleVariant("x"), OleVariant(int32_t{0}), OleVariant(int32_t{0})})),
                 EOleSysError);
}

TEST(RSPropsFrame, PortListComesSortedFromTheRegistryWithItsNumbers)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> values;
        std::vector<std::string> items;
        std::vector<intptr_t> numbers;
    };
    std::vector<Case> cases = {
        {{{"\\Device\\Serial0", "COM1"}, {"\\Device\\VCP0", "COM12"}}, {"COM1", "COM12 - VCP"}, {1, 12}},
        // the platform's text order: COM10 before COM2, case ignored
        {{{"\\Device\\Serial0", "COM2"}, {"\\Device\\Serial1", "COM10"}, {"\\Device\\Serial2", "com3"}},
         {"COM10", "COM2", "com3"},
         {10, 2, 3}},
        // "\VCP" only in exact case; a name without a number counts as port 1
        {{{"\\Device\\vcp1", "COM4"}, {"\\Device\\Serial9", "COMX"}}, {"COM4", "COMX"}, {4, 1}},
        // a value of another kind and a port the transports cannot open are left out
        {{{"\\Device\\Serial0", "5"}, {"\\Device\\Serial1", "COM300"}, {"\\Device\\Serial2", "COM255"}},
         {"COM255"},
         {255}},
    };
    for (const Case& c : cases) {
        auto f = NewRSFrame(c.values);
        EXPECT_EQ(Texts(f->PortCB), c.items);
        EXPECT_EQ(Numbers(f->PortCB), c.numbers);
    }
    PortRegistry none({}, false);  // no key: no ports, the name can still be typed
    TRSPropsFrame f(nullptr);
    EXPECT_EQ(f.PortCB->Items().Count(), 0);
}

TEST(RSPropsFrame, PortNumberFromName)
{
    struct Case {
        const char* name;
        int number;
    };
    for (Case c : {Case{"COM7", 7}, Case{"LPT12", 12}, Case{"COM", 1}, Case{"CO", 1}, Case{"COMx1", 1},
                   Case{"COM$1F", 31}, Case{"COM255", 255}, Case{"COM256", 0}, Case{"COM-1", 0}})
        EXPECT_EQ(TRSPropsFrame::PortNumberFromName(c.name), c.number) << c.name;
}

TEST(RSPropsFrame, SelectedPortGivesItsPlainNameAndAnUnknownPortIsAdded)
{
    auto f = NewRSFrame({{"\\Device\\Serial0", "COM1"}, {"\\Device\\VCP0", "COM12"}});
    OleVariant p;
    std::vector<int32_t> nums{0, 1000, 10, 3};
    // a port of the list is found by its number, the VCP item too
    f->SetProps(RSProps(0, "COM12", 3, nums, "", false));
    EXPECT_EQ(f->PortCB->Text(), "COM12 - VCP");
    f->GetProps(p);
    EXPECT_EQ(p.Elements()[1].AsString(), "COM12");
    f->SetProps(RSProps(0, "COM7", 3, nums, "", false));
    EXPECT_EQ(Texts(f->PortCB), (std::vector<std::string>{"COM1", "COM12 - VCP", "COM7"}));
    EXPECT_EQ(Numbers(f->PortCB).back(), 7);
    EXPECT_EQ(f->PortCB->ItemIndex(), 2);
    f->GetProps(p);
    EXPECT_EQ(p.Elements()[1].AsString(), "COM7");
    // a name whose number is no port of the transports stays as given, never another port's
    f->SetProps(RSProps(0, "COM300", 3, nums, "", false));
    f->GetProps(p);
    EXPECT_EQ(p.Elements()[1].AsString(), "COM300");
    // nothing selected: the text as typed
    f->PortCB->SetItemIndex(-1);
    f->PortCB->SetText("COM9");
    f->GetProps(p);
    EXPECT_EQ(p.Elements()[1].AsString(), "COM9");
}

TEST(RSPropsFrame, TransportKindChoosesTheLayoutAndTheControls)
{
    auto f = NewRSFrame({{"\\Device\\Serial0", "COM1"}});
    OleVariant p;
    EXPECT_THROW(f->GetProps(p), EConvertError);  // the edits start as "?"
    struct Case {
        uint8_t kind;
        std::vector<int32_t> nums;  // elements 3 to 6
        bool flowShown;
    };
    for (Case c : {Case{0, {1, 1000, 10, 3}, true}, Case{1, {500, 10, 3, 20}, false}}) {
        OleVariant in = RSProps(c.kind, "COM1", 4, c.nums, "host", true);
        f->SetProps(in);
        EXPECT_EQ(f->FlowControlL->Visible(), c.flowShown);
        EXPECT_EQ(f->FlowControlCB->Visible(), c.flowShown);
        EXPECT_EQ(f->LastByteTimeL->Visible(), !c.flowShown);
        EXPECT_EQ(f->LastByteTimeE->Visible(), !c.flowShown);
        f->GetProps(p);
        std::vector<OleVariant> e = p.Elements();
        EXPECT_EQ(Types(e), (std::vector<VARTYPE>{VT_UI1, VT_BSTR, VT_I4, VT_I4, VT_I4, VT_I4, VT_I4, VT_BSTR,
                                                  VT_BOOL}));
        std::vector<OleVariant> want = in.Elements();
        for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(e[i].AsString(), want[i].AsString()) << int(c.kind) << i;
    }
    EXPECT_EQ(f->LastByteTimeE->Text(), "20");
    EXPECT_THROW(f->SetProps(OleVariant::Array({Byte(0)})), EOleSysError);
}

TEST(RSPropsFrame, MachineNameIsEditableAndBlackOnlyWithDCOMTicked)
{
    auto f = NewRSFrame({});
    EXPECT_TRUE(f->MachineNameE->ShowHint());
    EXPECT_EQ(f->MachineNameE->TabOrder(), 0);
    EXPECT_EQ(f->LastByteTimeE->TabOrder(), 8);
    f->SetProps(RSProps(0, "COM1", 4, {0, 500, 10, 10}, "", false));
    EXPECT_FALSE(f->MachineNameE->Enabled());
    EXPECT_EQ(f->MachineNameE->Font().Color(), TColor(0x808080));
    f->UseDCOMCB->Click();  // the user ticks it
    EXPECT_TRUE(f->MachineNameE->Enabled());
    EXPECT_EQ(f->MachineNameE->Font().Color(), TColor(0x000000));
    f->SetProps(RSProps(0, "COM1", 4, {0, 500, 10, 10}, "", false));  // the tick's change reaches it too
    EXPECT_FALSE(f->MachineNameE->Enabled());
}

TEST(ControlRoutines, AControlWithoutAFontIsOnlyEnabledOrDisabled)
{
    TComponent owner(nullptr);
    auto* label = new TLabel(&owner);
    auto* ud = new TUpDown(&owner);
    ud->Font().SetColor(clRed);
    SetControlEnabled(ud, false);
    EXPECT_FALSE(ud->Enabled());
    EXPECT_EQ(ud->Font().Color(), clRed);
    SetControlEnabled(label, false);
    EXPECT_EQ(label->Font().Color(), TColor(0x808080));
    SetControlFontColor(label, clBlue);
    EXPECT_EQ(label->Font().Color(), clBlue);
}

TEST(FramesAndComponents, AFrameShowsItsComponentsArrayAndGivesOneTheComponentTakes)
{
    PortRegistry reg({{"\\Device\\Serial0", "COM1"}, {"\\Device\\Serial1", "COM3"}});
    TRS232Transport t(nullptr);
    t.SetPort("COM3");
    t.SetSpeed(cts9600);
    t.SetFlowControl(fcHardware);
    t.SetAnswerDelay(700);
    std::unique_ptr<TBasePropsFrame> f(t.CreatePropsFrame());
    auto* rs = dynamic_cast<TRSPropsFrame*>(f.get());
    ASSERT_NE(rs, nullptr);
    f->SetProps(t.GetProps());
    EXPECT_EQ(rs->PortCB->Text(), "COM3");
    EXPECT_EQ(rs->SpeedCB->Text(), "9600");
    EXPECT_EQ(rs->FlowControlCB->ItemIndex(), 1);
    EXPECT_EQ(rs->AnswerDelayE->Text(), "700");
    rs->SpeedCB->SetItemIndex(7);  // the user's changes
    rs->RetriesE->SetText("4");
    OleVariant p;
    f->GetProps(p);
    t.SetProps(p);
    EXPECT_EQ(t.Speed(), cts115200);
    EXPECT_EQ(t.Retries(), 4);
    EXPECT_EQ(t.Port(), "COM3");
    EXPECT_EQ(t.FlowControl(), fcHardware);

    TModbusMaster m(nullptr);
    m.SetDeviceAddress(42);
    m.SetParity(mpEven);
    std::unique_ptr<TBasePropsFrame> mf(m.CreatePropsFrame());
    auto* mb = dynamic_cast<TModbusPropsFrame*>(mf.get());
    ASSERT_NE(mb, nullptr);
    mf->SetProps(m.GetProps());
    EXPECT_EQ(mb->Edit1->Text(), "42");
    EXPECT_EQ(mb->ParityRG->ItemIndex(), 2);
    mb->ModeRG->SetItemIndex(1);
    mf->GetProps(p);
    m.SetProps(p);
    EXPECT_EQ(m.Mode(), mmASCII);
    EXPECT_EQ(m.DeviceAddress(), 42);
    EXPECT_EQ(m.Parity(), mpEven);
}
