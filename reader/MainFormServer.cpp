// The read through the automation server: the transport RS232 opens a channel, the master MBM
// asks for the record count and then for each record; every answer comes as MBMExchange and the
// next request is made from the handling of the previous answer (message WM_RECORDREADY).
#include "MainFormU.h"

namespace {

OleVariant Int(int32_t v) { return OleVariant(v); }

OleVariant Copy(const VARIANT& v)
{
    OleVariant o;
    OleCheck(VariantCopy(&o.Raw(), const_cast<VARIANT*>(&v)));
    return o;
}

}  // namespace

void TForm1::btnConnectClick(TObject*)
{
    // Disabled first: a refusal reported inside the call must be able to enable it again.
    btnConnect->SetEnabled(false);
    try {
        // No speed chosen: the transport keeps the speed it has.
        int speed = cbxSpeed->ItemIndex();
        if (speed >= 0 && speed <= 4) RS232->SetSpeed(static_cast<TComTransportSpeed>(speed));
        RS232->SetPort(cbxPort->Text());
        RS232->SetLiveChannel(true);
    } catch (...) {
        // A refused setting or open leaves the channel closed: another try stays possible, and
        // the error goes on to be shown.
        if (!RS232->LiveChannel()) btnConnect->SetEnabled(true);
        throw;
    }
    // A server that cannot be reached leaves no proxy and sends no event to wait for.
    if (!RS232->LiveChannel() && !RS232->Proxy()) btnConnect->SetEnabled(true);
}

void TForm1::RS232ChangeConnected(TObject*, bool AConnected)
{
    btnRead->SetEnabled(AConnected);
    btnConnect->SetEnabled(!AConnected);
    BtnDisconnect->SetEnabled(AConnected);
}

void TForm1::BtnDisconnectClick2(TObject*) { RS232->SetLiveChannel(false); }

void TForm1::btnReadClick(TObject*)
{
    ClearGroups();
    if (!FDevice) {
        ShowMessage("Не выбран тип прибора.");
        return;
    }
    for (int r = 1; r < sg->RowCount(); ++r)
        for (int c = 0; c < sg->ColCount(); ++c) sg->SetCells(c, r, "");
    sg->SetRowCount(2);
    for (int r = 1; r < sgGr->RowCount(); ++r)
        for (int c = 0; c < sgGr->ColCount(); ++c) sgGr->SetCells(c, r, "");
    sgGr->SetColCount(1);
    sgGr->SetRowCount(2);

    rgTypeJ->SetEnabled(false);
    FReading = true;
    btnStop->SetEnabled(true);
    btnRead->SetEnabled(false);

    int j = rgTypeJ->ItemIndex() + 1;
    if (j < 1 || j > MaxArchives) {  // no archive chosen: nothing to ask for
        FinishServerRead();
        return;
    }
    const TJournalInfo& arch = FDevice->Archive(j);
    FTotal = arch.ArchCountRec;
    int32_t r = arch.ArchReg;
    if (r == -1) return;  // nothing is asked; the read stays started until the user stops it
    if (r >= 400000) MBM->QueryHolding(1000, 0, r - 400001, Int(18), 1, 0);
    else MBM->QueryInput(1000, 0, r - 300001, Int(18), 1, 0);
}

void TForm1::MBMExchange(TObject*, int QID, int, int, OleVariant Value, int Result)
{
    if (QID >= 1 && QID <= MaxServerRecords) {
        if (Result == 0) {
            VariantClear(&FValue);
            OleCheck(VariantCopy(&FValue, &Value.Raw()));
            RecordReady(QID);
            return;
        }
        // The error row takes the place of the record the request asked for.
        if (sg->RowCount() < QID + 1) sg->SetRowCount(QID + 1);
        sg->SetCells(0, QID, IntToStr(QID));
        sg->SetCells(1, QID, "Ошибка:" + IntToStr(Result));
        return;
    }
    if (QID != 1000) return;
    if (Result != 0) {
        btnRead->SetEnabled(true);
        btnStop->SetEnabled(false);
        rgTypeJ->SetEnabled(true);
        return;
    }
    FTotal = Value.AsInteger();
    lblMaxRec->SetCaption("Количество записей: " + IntToStr(FTotal));
    RecordReady(0);
}

void TForm1::RecordReady(int32_t QID)
{
    // One answer is awaited at a time, so a posted one keeps its place in the order of records.
    if (FRecordDepth > 0) PostMessageW(Handle(), WM_RECORDREADY, static_cast<WPARAM>(QID), 0);
    else SendMessageW(Handle(), WM_RECORDREADY, static_cast<WPARAM>(QID), 0);
}

void TForm1::WMRecordReady(TMessage& Message)
{
    struct Depth {
        int& n;
        explicit Depth(int& d) : n(d) { ++n; }
        ~Depth() { --n; }
    } depth(FRecordDepth);
    int32_t q = static_cast<int32_t>(Message.WParam);
    int32_t e = static_cast<int32_t>(Message.LParam);
    int j = rgTypeJ->ItemIndex() + 1;
    if (!FDevice || j < 1 || j > MaxArchives) return;
    int32_t archnum = FDevice->Archive(j).archnum;
    if (q == 0) {
        // Stopped before the count came, or an empty archive: nothing to show or ask for.
        if (FReading && FTotal > 0) MBM->QueryArchive(1, archnum, 1, 0, Copy(FRecFormat), 0);
        else if (FReading) FinishServerRead();
        return;
    }
    std::vector<OleVariant> v = Copy(FValue).Elements();
    if (v.size() < 3) OleCheck(DISP_E_BADINDEX);
    // The answer to request q is record index q - 1, shown where the direct read shows it.
    ShowRecord(q - 1, static_cast<uint32_t>(v[0].AsInteger()), static_cast<uint16_t>(v[1].AsInteger()), e, 0,
               static_cast<uint32_t>(v[2].AsInteger()));
    // Record answers carry the ids 1..999 (1000 is the count's), so a longer archive is read up
    // to its 999th record.
    if (q < FTotal && q < MaxServerRecords && FReading) MBM->QueryArchive(q + 1, archnum, 1, q, Copy(FRecFormat), 0);
    else FinishServerRead();
}

void TForm1::FinishServerRead()
{
    FillGroupGrid();
    btnRead->SetEnabled(true);
    btnStop->SetEnabled(false);
    rgTypeJ->SetEnabled(true);
}

void TForm1::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_RECORDREADY) {
        WMRecordReady(Message);
        return;
    }
    TForm::WndProc(Message);
}
