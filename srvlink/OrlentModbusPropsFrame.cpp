#include "OrlentModbusPropsFrame.h"

#include "OrlentFrameProps.h"

TModbusPropsFrame::TModbusPropsFrame(TComponent* AOwner) : TBasePropsFrame(AOwner)
{
    SetName("ModbusPropsFrame");
    SetBounds(0, 0, 439, 97);
    GroupBox1 = new TGroupBox(this);
    GroupBox1->SetName("GroupBox1");
    GroupBox1->SetParent(this);
    GroupBox1->SetAlign(alClient);
    GroupBox1->SetCaption("Параметры Modbus");
    Label1 = new TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(GroupBox1);
    Label1->SetBounds(8, 24, 65, 13);
    Label1->SetCaption("Адрес устройства");
    Edit1 = new TEdit(this);
    Edit1->SetName("Edit1");
    Edit1->SetParent(GroupBox1);
    Edit1->SetBounds(112, 24, 41, 21);
    Edit1->SetText("0");
    AddrUD = new TUpDown(this);
    AddrUD->SetName("AddrUD");
    AddrUD->SetParent(GroupBox1);
    AddrUD->SetBounds(153, 24, 16, 21);
    AddrUD->SetMin(0);
    AddrUD->SetMax(255);
    AddrUD->SetPosition(0);
    AddrUD->SetWrap(false);
    AddrUD->SetAssociate(Edit1);
    ModeRG = new TRadioGroup(this);
    ModeRG->SetName("ModeRG");
    ModeRG->SetParent(GroupBox1);
    ModeRG->SetBounds(8, 48, 209, 41);
    ModeRG->SetCaption("Режим работы");
    ModeRG->SetColumns(2);
    ModeRG->Items().Add("RTU");
    ModeRG->Items().Add("ASCII");
    ModeRG->SetItemIndex(0);
    ParityRG = new TRadioGroup(this);
    ParityRG->SetName("ParityRG");
    ParityRG->SetParent(GroupBox1);
    ParityRG->SetBounds(224, 48, 209, 41);
    ParityRG->SetCaption("Четность");
    ParityRG->SetColumns(3);
    ParityRG->Items().Add("Нет");
    ParityRG->Items().Add("Нечет");
    ParityRG->Items().Add("Чет");
    ParityRG->SetItemIndex(0);
}

void TModbusPropsFrame::GetProps(OleVariant& Props)
{
    Props = OleVariant::Array({VarSmallInt(static_cast<int16_t>(AddrUD->Position())),
                               OleVariant(static_cast<int32_t>(ModeRG->ItemIndex())),
                               OleVariant(static_cast<int32_t>(ParityRG->ItemIndex()))});
}

void TModbusPropsFrame::SetProps(const OleVariant& Props)
{
    std::vector<OleVariant> e = PropsElements(Props, 3);
    AddrUD->SetPosition(e[0].AsInteger());
    ModeRG->SetItemIndex(e[1].AsInteger());
    ParityRG->SetItemIndex(e[2].AsInteger());
}
