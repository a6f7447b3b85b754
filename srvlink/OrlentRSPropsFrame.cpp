#include "OrlentRSPropsFrame.h"

#include "Registry.h"
#include "OrlentControlUtils.h"
#include "OrlentFrameProps.h"

namespace {

template <class T> T* Make(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h)
{
    T* c = new T(owner);
    c->SetName(name);
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    return c;
}

TObject* PortObject(uint8_t n) { return reinterpret_cast<TObject*>(static_cast<intptr_t>(n)); }
uint8_t PortOf(TObject* o) { return static_cast<uint8_t>(reinterpret_cast<intptr_t>(o)); }

}  // namespace

TRSPropsFrame::TRSPropsFrame(TComponent* AOwner) : TBasePropsFrame(AOwner)
{
    SetName("RSPropsFrame");
    SetBounds(0, 0, 450, 155);
    GroupBox1 = Make<TGroupBox>(this, this, "GroupBox1", 0, 0, 450, 155);
    GroupBox1->SetAlign(alClient);
    GroupBox1->SetCaption("Параметры транспорта");
    TGroupBox* g = GroupBox1;

    Label6 = Make<TLabel>(this, g, "Label6", 8, 24, 65, 13);
    Label6->SetCaption("COM-порт");
    PortCB = Make<TComboBox>(this, g, "PortCB", 135, 21, 89, 21);
    PortCB->SetStyle(csDropDown);

    Label1 = Make<TLabel>(this, g, "Label1", 8, 48, 65, 13);
    Label1->SetCaption("Скорость обмена, бит/с");
    Label1->SetHint("Выбор скорости передачи");
    SpeedCB = Make<TComboBox>(this, g, "SpeedCB", 136, 48, 89, 21);
    SpeedCB->SetStyle(csDropDownList);
    SpeedCB->SetDropDownCount(20);
    for (const char* s : {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"})
        SpeedCB->Items().Add(s);
    SpeedCB->SetHint("Выбор скорости передачи");

    FlowControlL = Make<TLabel>(this, g, "FlowControlL", 8, 72, 65, 13);
    FlowControlL->SetCaption("Управление потоком");
    FlowControlL->SetVisible(false);
    FlowControlCB = Make<TComboBox>(this, g, "FlowControlCB", 136, 72, 89, 21);
    FlowControlCB->SetStyle(csDropDownList);
    FlowControlCB->Items().Add("Нет");
    FlowControlCB->Items().Add("Аппаратное");
    FlowControlCB->SetVisible(false);

    LastByteTimeL = Make<TLabel>(this, g, "LastByteTimeL", 8, 72, 65, 13);
    LastByteTimeL->SetCaption("Врепя последнего байта, мс");
    LastByteTimeL->SetVisible(false);
    LastByteTimeE = Make<TEdit>(this, g, "LastByteTimeE", 160, 72, 65, 21);
    LastByteTimeE->SetText("?");
    LastByteTimeE->SetVisible(false);

    Label4 = Make<TLabel>(this, g, "Label4", 240, 24, 65, 13);
    Label4->SetCaption("Ожидание ответа, мс");
    AnswerDelayE = Make<TEdit>(this, g, "AnswerDelayE", 360, 24, 73, 21);
    AnswerDelayE->SetText("?");
    Label5 = Make<TLabel>(this, g, "Label5", 240, 48, 65, 13);
    Label5->SetCaption("Количество повторов");
    RetriesE = Make<TEdit>(this, g, "RetriesE", 360, 48, 73, 21);
    RetriesE->SetText("?");
    Label2 = Make<TLabel>(this, g, "Label2", 240, 72, 65, 13);
    Label2->SetCaption("Байтовый таймаут, мс");
    ByteTimeoutE = Make<TEdit>(this, g, "ByteTimeoutE", 360, 72, 73, 21);
    ByteTimeoutE->SetText("?");

    UseDCOMCB = Make<TCheckBox>(this, g, "UseDCOMCB", 8, 104, 150, 17);
    UseDCOMCB->SetCaption("Использовать DCOM");
    UseDCOMCB->OnClick = [this](TObject* s) { UseDCOMCBClick(s); };

    Label12 = Make<TLabel>(this, g, "Label12", 9, 125, 65, 13);
    Label12->SetCaption("Имя удаленного компьютера:");
    Label12->SetHint("Имя удаленного компьютера");
    MachineNameE = Make<TEdit>(this, g, "MachineNameE", 168, 125, 265, 21);
    MachineNameE->SetText("?");
    MachineNameE->SetHint("Имя удаленного компьютера");
    MachineNameE->SetShowHint(true);

    // in rising order, each takes its final place
    MachineNameE->SetTabOrder(0);
    SpeedCB->SetTabOrder(1);
    AnswerDelayE->SetTabOrder(2);
    RetriesE->SetTabOrder(3);
    PortCB->SetTabOrder(4);
    UseDCOMCB->SetTabOrder(5);
    FlowControlCB->SetTabOrder(6);
    ByteTimeoutE->SetTabOrder(7);
    LastByteTimeE->SetTabOrder(8);

    FillPortList();
}

uint8_t TRSPropsFrame::PortNumberFromName(const std::string& Name)
{
    if (Name.size() <= 3) return 1;
    int32_t n = 0;
    if (!TryStrToInt(Name.substr(3), n)) return 1;
    // a number that does not fit would name another port
    if (n < 0 || n > 255) return 0;
    return static_cast<uint8_t>(n);
}

void TRSPropsFrame::FillPortList()
{
    PortCB->Items().Clear();
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly("hardware\\devicemap\\serialcomm")) return;
    TStringList names, work;
    reg.GetValueNames(names);
    for (const std::string& name : names) {
        std::string port;
        try {
            port = reg.ReadString(name);
        } catch (const Exception&) {
            continue;  // a value of another kind names no port; the others still count
        }
        uint8_t n = PortNumberFromName(port);
        if (n == 0) continue;  // beyond the ports the transports can open
        if (name.find("\\VCP") != std::string::npos) port += " - VCP";
        work.AddObject(port, PortObject(n));
    }
    reg.CloseKey();
    work.Sort();
    PortCB->Items().Assign(work);
}

std::string TRSPropsFrame::SelectedPortName() const
{
    int i = PortCB->ItemIndex();
    if (PortCB->Items().Count() > 0 && i >= 0) {
        uint8_t n = PortOf(PortCB->Items().Objects(i));
        // an item added for a name without a usable number gives that name back
        if (n == 0) return PortCB->Items().Strings(i);
        return "COM" + IntToStr(n);
    }
    return PortCB->Text();
}

void TRSPropsFrame::GetProps(OleVariant& Props)
{
    std::vector<OleVariant> e;
    e.push_back(VarByte(TransportKind));
    e.push_back(OleVariant(SelectedPortName()));
    e.push_back(OleVariant(static_cast<int32_t>(SpeedCB->ItemIndex())));
    if (TransportKind == 0) {
        e.push_back(OleVariant(static_cast<int32_t>(FlowControlCB->ItemIndex())));
        e.push_back(OleVariant(StrToInt(AnswerDelayE->Text())));
        e.push_back(OleVariant(StrToInt(ByteTimeoutE->Text())));
        e.push_back(OleVariant(StrToInt(RetriesE->Text())));
    } else {
        e.push_back(OleVariant(StrToInt(AnswerDelayE->Text())));
        e.push_back(OleVariant(StrToInt(ByteTimeoutE->Text())));
        e.push_back(OleVariant(StrToInt(RetriesE->Text())));
        e.push_back(OleVariant(StrToInt(LastByteTimeE->Text())));
    }
    e.push_back(OleVariant(MachineNameE->Text()));
    e.push_back(OleVariant(UseDCOMCB->Checked()));
    Props = OleVariant::Array(e);
}

void TRSPropsFrame::SetProps(const OleVariant& Props)
{
    std::vector<OleVariant> e = PropsElements(Props, 9);
    TransportKind = VarToByte(e[0]);

    std::string port = e[1].AsString();
    uint8_t n = PortNumberFromName(port);
    int found = -1;
    if (n != 0) found = PortCB->Items().IndexOfObject(PortObject(n));
    if (found < 0) found = PortCB->Items().AddObject(port, PortObject(n));
    PortCB->SetItemIndex(found);

    SpeedCB->SetItemIndex(e[2].AsInteger());
    bool kind0 = TransportKind == 0;
    FlowControlL->SetVisible(kind0);
    FlowControlCB->SetVisible(kind0);
    LastByteTimeL->SetVisible(!kind0);
    LastByteTimeE->SetVisible(!kind0);
    if (kind0) {
        FlowControlCB->SetItemIndex(e[3].AsInteger());
        AnswerDelayE->SetText(IntToStr(e[4].AsInteger()));
        ByteTimeoutE->SetText(IntToStr(e[5].AsInteger()));
        RetriesE->SetText(IntToStr(e[6].AsInteger()));
    } else {
        AnswerDelayE->SetText(IntToStr(e[3].AsInteger()));
        ByteTimeoutE->SetText(IntToStr(e[4].AsInteger()));
        RetriesE->SetText(IntToStr(e[5].AsInteger()));
        LastByteTimeE->SetText(IntToStr(e[6].AsInteger()));
    }
    MachineNameE->SetText(e[7].AsString());
    UseDCOMCB->SetChecked(e[8].AsBool());
    UpdateControls();
}

void TRSPropsFrame::UpdateControls() { SetControlEnabled(MachineNameE, UseDCOMCB->Checked()); }

void TRSPropsFrame::UseDCOMCBClick(TObject*) { UpdateControls(); }
