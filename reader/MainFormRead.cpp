// Archive reading: the link, the record count, the ring and range rules and the record loop.
#include "MainFormU.h"

#include <algorithm>
#include <climits>

#include "RecordDecode.h"
#include "SysUtils.h"

namespace {

const int BaudRates[5] = {1200, 2400, 4800, 9600, 19200};

// Register reads fill at most this many bytes.
constexpr int RegisterBufferSize = 252;

void InfoBox(const std::string& text)
{
    Application->MessageBox(text, Application->Title(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int32_t TForm1::SelectedBaudRate()
{
    int i = cbxSpeed->ItemIndex();
    return i >= 0 && i < 5 ? BaudRates[i] : 0;
}

void TForm1::DisconnectLink()
{
    Disconnect();
    BtnConnect2->SetEnabled(true);
    BtnDisconnect2->SetEnabled(false);
}

void TForm1::FinishRead()
{
    FillGroupGrid();
    rgTypeJ->SetEnabled(true);
    cbxDev->SetEnabled(true);
    FReading = true;
    btnStop2->SetEnabled(false);
    btnRead2->SetEnabled(true);
    DisconnectLink();
}

namespace {

// The port number and speed of the current choices; a typed text that names no entry of the
// lists gets a message instead of a guess.
bool LinkChoice(TForm1& f, int32_t& port, int32_t& baud)
{
    int p = f.cbxPort->ItemIndex();
    if (p < 0 || p >= static_cast<int>(f.FPorts.size())) {
        InfoBox("Выберите порт из списка.");
        return false;
    }
    baud = f.SelectedBaudRate();
    if (baud == 0) {
        InfoBox("Выберите скорость из списка.");
        return false;
    }
    port = f.FPorts[static_cast<size_t>(p)];
    return true;
}

// One 16-bit register by its reference number (4xxxxx holding, otherwise input).
int32_t ReadCountRegister(TForm1& f, int32_t ref, int32_t& value)
{
    uint8_t buf[RegisterBufferSize] = {};
    int32_t r = ref >= 400000 ? f.ReadHoldingRegister(f.FAddr, ref - 400001, 1, 18, buf)
                              : f.ReadInputRegister(f.FAddr, ref - 300001, 1, 18, buf);
    f.CheckLinkFailure(r);
    value = buf[0] | buf[1] << 8;
    return r;
}

}  // namespace

void TForm1::btnRead2Click(TObject*)
{
    BtnExcel->SetVisible(false);
    lblStat->SetCaption("...");
    if (cbxDev->ItemIndex() < 0 || !FDevice) {
        InfoBox("Не выбран тип прибора.");
        return;
    }
    if (chbLimit->Checked()) {
        if (!TryStrToInt(EdtStart->Text(), FStart)) {
            ShowMessage("Введите число в поле \"Начать с:\"");
            return;
        }
        if (!TryStrToInt(EdtCount->Text(), FCount)) {
            ShowMessage("Введите число в поле \"Количество\"");
            return;
        }
    } else {
        FStart = 0;
    }
    // A device type without archives leaves nothing to read (and no archive to look at).
    const int j = rgTypeJ->ItemIndex();
    if (j < 0 || j >= std::min(FDevice->archtypecount, MaxArchives)) {
        InfoBox("Не выбран тип архива.");
        return;
    }
    int32_t port = 0, baud = 0;
    if (!LinkChoice(*this, port, baud)) return;
    if (!Connect(port, baud, static_cast<uint8_t>(rgrRsType->ItemIndex()))) {
        InfoBox("Ошибка открытия СОМ-порта.");
        return;
    }

    try {
        BtnDisconnect2->SetEnabled(true);
        BtnConnect2->SetEnabled(false);
        btnRead2->SetEnabled(false);
        Retries(FRetries);

        for (int r = 1; r < sg->RowCount(); ++r)
            for (int c = 0; c < sg->ColCount(); ++c) sg->SetCells(c, r, "");
        sg->SetRowCount(2);
        ClearGroups();

        rgTypeJ->SetEnabled(false);
        cbxDev->SetEnabled(false);
        FReading = true;
        btnStop2->SetEnabled(true);
        btnRead2->SetEnabled(false);

        // The archive's fields are looked up anew each time: the device's description may change.
        auto arch = [this, j]() -> const TJournalInfo& { return FDevice->Archive(j + 1); };

        lblMaxRec->SetCaption("Количество записей: ...");
        FTotal = 0;
        int32_t value = 0, r = 0;
        if (arch().ArchReg != -1) {
            r = ReadCountRegister(*this, arch().ArchReg, value);
            if (r != 0) {
                lblMaxRec->SetCaption("Нет ответа(" + IntToStr(r) + ")");
                FinishRead();
                return;
            }
            FTotal = value + (arch().ArchStandart == 2 ? 1 : 0);
        } else {
            // No count register: the archive's capacity is the only count there is.
            FTotal = std::max(arch().ArchCountRec, 0);
        }

        if (IsRingArchive(arch())) {
            r = ReadCountRegister(*this, arch().ArchRegOverFlow, value);
            if (r != 0) {
                lblMaxRec->SetCaption("Нет ответа(" + IntToStr(r) + ")");
                FinishRead();
                return;
            }
            int64_t total = static_cast<int64_t>(FTotal) + static_cast<int64_t>(arch().ArchCountRec) * value;
            FTotal = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
            FStart = 0;
            if (value == 0) {
                FCount = FTotal;
            } else {
                FCount = arch().ArchCountRec;
                FStart = FTotal - arch().ArchCountRec;
            }
        } else {
            FCount = FTotal;
        }

        lblMaxRec->SetCaption("Количество записей: " + IntToStr(FTotal));
        PBar->SetPosition(0);
        PBar->SetMax(FTotal);

        if (chbLimit->Checked()) {
            int32_t s = StrToInt(EdtStart->Text());
            int32_t c = StrToInt(EdtCount->Text());
            if (s < FStart) {
                ShowMessage(Format("Стартовый индекс %d младше первой записи %d", s, FStart));
                FinishRead();
                return;
            }
            FStart = s;
            if (FStart > FTotal) {
                ShowMessage("Стартовый индекс больше количества записей");
                FinishRead();
                return;
            }
            FCount = static_cast<int64_t>(FStart) + c - 1 < FTotal ? c : FTotal - FStart;
        }

        const TArchiveKind kind = ArchiveKind(arch().ArchStandart, j);
        if (kind != TArchiveKind::None) {
            PBar->SetPosition(kind == TArchiveKind::TextJournal ? 0 : FStart);
            uint8_t buf[RecordBufferSize];
            for (int32_t k = 0; k < FCount; ++k) {
                const bool numeric = kind == TArchiveKind::Numeric || kind == TArchiveKind::OldNew;
                if (numeric) lblStat->SetCaption(Format("%d (%d)", FStart + k + 1, FStart + FCount));
                const int32_t index = RecordIndex(kind, arch(), FStart, k);
                BuildRecordRequest(buf, ArchiveByte(kind, arch()), index);
                r = AnyFunction(FAddr, ArchiveFunction, ArchiveRequestLen, buf);
                CheckLinkFailure(r);
                sg->SetRowCount(k + 2);
                const int row = k + 1;
                if (r != 0 || !RecordIsWhole(buf, kind, arch().ArchStandart)) {
                    sg->SetCells(0, row, IntToStr(kind == TArchiveKind::TextJournal ? k : FStart + k));
                    sg->SetCells(1, row, "Ошибка");
                } else if (numeric) {
                    TNumericRecord rec = DecodeNumericRecord(buf, arch().ArchStandart, index);
                    ShowRecord(k, rec.Time, rec.ID, 0, rec.OldValue, rec.NewValue);
                } else if (kind == TArchiveKind::ModeLog) {
                    TModeRecord rec = DecodeModeRecord(buf);
                    TDateTime dt = UnixSecondsToDateTime(rec.Time);
                    std::string mode = ModeName(rec.Mode);
                    sg->SetCells(0, row, IntToStr(FStart + k));
                    sg->SetCells(1, row, DateTimeToStr(dt));
                    sg->SetCells(2, row, ModeChangeName);
                    sg->SetCells(4, row, mode);
                    AddEvent(EventNameIndex(ModeChangeName)->EventIndex, 256, ModeChangeName, dt, mode);
                } else {
                    TTextEntry e = DecodeTextEntry(buf);
                    sg->SetCells(0, row, IntToStr(k));
                    sg->SetCells(1, row, e.DateText);
                    sg->SetCells(2, row, e.Name);
                    sg->SetCells(4, row, e.Value);
                    TDateTime dt = StrToDateTime(e.DateText);
                    AddEvent(EventNameIndex(e.Name)->EventIndex, 256, e.Name, dt, e.Value);
                }
                PBar->StepBy(1);
                Application->ProcessMessages();
                if (!FReading) break;
            }
        }

        PBar->SetPosition(PBar->Max());
        if (FTotal > 0) BtnExcel->SetVisible(true);
        FinishRead();
    } catch (...) {
        // The link is closed and the controls come back; the general handler shows the message.
        FinishRead();
        throw;
    }
}

void TForm1::cbxDevChange(TObject*)
{
    BtnExcel->SetVisible(false);
    int i = cbxDev->ItemIndex();
    if (i < 0 || i >= static_cast<int>(FDevices.size())) return;
    FDevice = FDevices[static_cast<size_t>(i)].get();
    const TJournalInfo& first = FDevice->Archive(1);
    tsSet->SetTabVisible(first.ArchStandart != 1);
    if (first.ArchStandart == 3) {
        sg->SetColWidths(3, 108);
        sg->SetColWidths(4, 108);
    } else {
        sg->SetColWidths(3, -1);
    }
    SDs->SetFileName(FDevice->name);
    rgTypeJ->SetVisible(true);
    TStrings& items = rgTypeJ->Items();
    items.BeginUpdate();
    items.Clear();
    const int count = std::min(FDevice->archtypecount, MaxArchives);
    for (int j = 1; j <= count; ++j) {
        const TJournalInfo& a = FDevice->Archive(j);
        items.Add(a.ArchCountRec <= 0 ? Format("%s", a.ArchName.c_str())
                                      : Format("%s (%d)", a.ArchName.c_str(), a.ArchCountRec));
    }
    items.EndUpdate();
    if (items.Count() > 0) rgTypeJ->SetItemIndex(0);
    FillTypeGrid();
}

void TForm1::BtnConnect2Click(TObject*)
{
    int32_t port = 0, baud = 0;
    if (!LinkChoice(*this, port, baud)) return;
    if (Connect(port, baud, static_cast<uint8_t>(rgrRsType->ItemIndex()))) {
        BtnDisconnect2->SetEnabled(true);
        btnRead2->SetEnabled(true);
        BtnConnect2->SetEnabled(false);
    }
}

void TForm1::BtnDisconnect2Click(TObject*)
{
    Disconnect();
    btnRead2->SetEnabled(false);
    BtnDisconnect2->SetEnabled(false);
    BtnConnect2->SetEnabled(true);
}

void TForm1::Button6Click(TObject*)
{
    Label6->SetCaption("");
    int32_t port = 0, baud = 0;
    if (!LinkChoice(*this, port, baud)) return;
    if (!Connect(port, baud, static_cast<uint8_t>(rgrRsType->ItemIndex()))) return;
    try {
        // A length-prefixed name: the count byte, then the characters.
        uint8_t name[256] = {};
        int32_t r = GetDevName(FAddr, name, 255);
        CheckLinkFailure(r);
        if (r != 0) Label6->SetCaption("Error:" + IntToStr(r));
        else Label6->SetCaption(std::string(reinterpret_cast<const char*>(name + 1), name[0]));
    } catch (...) {
        Disconnect();
        throw;
    }
    Disconnect();
}
