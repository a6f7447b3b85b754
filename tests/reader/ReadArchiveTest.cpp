// Reading archives through the real window, the real link library and the simulated instrument:
// counts, rings and ranges, every kind of archive, stop and address changes, and the failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../testing/win/ImportPatch.h"
#include "../../testing/win/ModemLineLog.h"
#include "../../testing/win/TestInstrument.h"
#include "DateTexts.h"
#include "FormatSettingsSupport.h"
#include "Dialogs.h"
#include "Forms.h"
#include "MainFormTestSupport.h"
#include "MainFormU.h"
#include "RecordDecode.h"
#include "SysUtils.h"

using tovik::testing::EventsSince;
using tovik::testing::LineEvent;
using tovik::testing::LogLine;
using tovik::testing::RtsAfter;
using tovik::testing::RtsBefore;
using tovik::testing::ShimLogLines;
using tovik::testing::ShimLogOf;
using tovik::testing::TestInstrument;
using tovik::testing::Writes;

namespace {

struct ArchReq {
    int addr, arch, index;
};

// Dates in the tests are Russian: the locale is fixed here, not taken from the machine.
// A device description with one archive; keys of the archive are given as "Key=value" lines.
std::string Device(const std::string& archives, int count, const std::string& params = "")
{
    return "[settings]\r\nname=Прибор\r\narchtypecount=" + std::to_string(count) + "\r\n" + archives +
           "\r\n" + params;
}

const char* const Params =
    "[s0]\r\nID=1\r\nname=Давление\r\ntype=4\r\n"
    "[s1]\r\nID=2\r\nname=Температура\r\ntype=2\r\n"
    "[s2]\r\nID=3\r\nname=Счётчик\r\ntype=19\r\n";

std::function<void()>* TickHook = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (TickHook && *TickHook) (*TickHook)();
}

class ReadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Work = TestInstrument::MakeWorkDir();
        ASSERT_FALSE(Work.empty());
        WinDir = TestInstrument::Wine(Work) + "\\";
        SetUserFormatSettings(tt::RussianFormats());
    }

    void TearDown() override
    {
        if (Timer) KillTimer(nullptr, Timer);
        TickHook = nullptr;
        if (Form) Form->Free();
        Form = nullptr;
        Inst.reset();
        Ports.reset();
    }

    void Write(const std::string& name, const std::string& content)
    {
        ASSERT_TRUE(TestInstrument::WriteFile(WinDir + name, content)) << name;
    }

    // The instrument serves dev.ini with records.txt; extra options follow.
    void StartInstrument(const std::string& device, const std::string& records, const std::string& extra = "")
    {
        Write("dev.ini", device);
        Write("records.txt", records);
        Inst = std::make_unique<TestInstrument>("--device " + Work + "/dev.ini --records " + Work +
                                                "/records.txt " + extra);
        ASSERT_TRUE(Inst->Ok()) << Inst->Error();
    }

    // The window on a main.ini that selects the instrument's port (or port), 19200 and dev.ini.
    void StartForm(int retries = 1, int archive = 0, std::string port = "")
    {
        // A test may start the window anew on other settings: the earlier one goes first.
        if (Form) Form->Free();
        Form = nullptr;
        Ports.reset();
        if (port.empty()) port = Inst->PortName();
        Write("main.ini", "[Settings]\r\nlastcomport=" + port + "\r\nlastcomspeed=4\r\nlastaddr=1\r\nRetries=" +
                              std::to_string(retries) +
                              "\r\nlastlink=0\r\nLastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
        Ports = std::make_unique<tt::PortRegistry>(std::vector<std::string>{port});
        ASSERT_TRUE(Ports->Works);
        Form = new TForm1(Application, WinDir);
        Form->AfterConstruction();
        ASSERT_EQ(Form->cbxPort->Text(), port);
        ASSERT_NE(Form->FDevice, nullptr);
        if (archive < Form->rgTypeJ->Items().Count()) Form->rgTypeJ->SetItemIndex(archive);
    }

    void Range(int start, int count)
    {
        Form->chbLimit->SetChecked(true);
        Form->EdtStart->SetText(std::to_string(start));
        Form->EdtCount->SetText(std::to_string(count));
    }

    // Runs hook at the message processing of the read, about once per record.
    void EveryRecord(std::function<void()> hook)
    {
        Hook = std::move(hook);
        TickHook = &Hook;
        Timer = SetTimer(nullptr, 0, 1, Tick);
    }

    // "Считать" as the user presses it: a failure that escapes goes to the general handler.
    void Read()
    {
        try {
            Form->btnRead2->Click();
        } catch (...) {
            Application->HandleException(Form);
        }
    }

    // The archive requests the instrument received after its log's line `from`.
    std::vector<ArchReq> ArchiveRequests(size_t from = 0)
    {
        std::vector<ArchReq> out;
        for (const LogLine& l : Inst->Requests(from))
            if (l.bytes.size() == 11 && l.bytes[1] == 0x41)
                out.push_back({l.bytes[0], l.bytes[3], l.bytes[7] << 8 | l.bytes[8]});
        return out;
    }

    std::vector<int> Indexes()
    {
        std::vector<int> v;
        for (const ArchReq& r : ArchiveRequests()) v.push_back(r.index);
        return v;
    }

    static std::vector<int> Span(int from, int to)
    {
        std::vector<int> v;
        for (int i = from; i <= to; ++i) v.push_back(i);
        return v;
    }

    std::string Cell(int c, int r) const { return Form->sg->Cells(c, r); }

    // The window is idle again and the link was closed.
    void ExpectIdle()
    {
        EXPECT_TRUE(Form->btnRead2->Enabled());
        EXPECT_FALSE(Form->btnStop2->Enabled());
        EXPECT_TRUE(Form->rgTypeJ->Enabled());
        EXPECT_TRUE(Form->cbxDev->Enabled());
        EXPECT_TRUE(Form->FReading);
        EXPECT_TRUE(Form->BtnConnect2->Enabled());
        EXPECT_FALSE(Form->BtnDisconnect2->Enabled());
    }

    std::string Work, WinDir;
    std::unique_ptr<TestInstrument> Inst;
    std::unique_ptr<tt::PortRegistry> Ports;
    TDialogScript Dialogs;
    TForm1* Form = nullptr;
    std::function<void()> Hook;
    UINT_PTR Timer = 0;
};

const char* const Plain =
    "ArchName1=Архив\r\nArchCountRec1=100\r\narchnum1=1\r\nArchReg1=300001\r\nStartTime1=1970\r\n";

const char* const Ring =
    "ArchName1=Кольцо\r\nArchCountRec1=1000\r\narchnum1=3\r\nArchReg1=300001\r\nArchCycle1=1\r\n"
    "ArchRegOverFlow1=300002\r\n";

}  // namespace

TEST_F(ReadTest, PlainArchiveWithARangeReadsTheRecordsLeft)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 20\n");
    StartForm(5);
    Range(5, 100);
    std::vector<std::string> stats;
    EveryRecord([&] { stats.push_back(Form->lblStat->Caption()); });
    Read();

    EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
    EXPECT_EQ(Indexes(), Span(5, 19));
    for (const ArchReq& r : ArchiveRequests()) {
        EXPECT_EQ(r.addr, 1);
        EXPECT_EQ(r.arch, 1);
    }
    ASSERT_FALSE(stats.empty());
    EXPECT_EQ(stats.front(), "6 (20)");
    EXPECT_EQ(Form->lblStat->Caption(), "20 (20)");
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 20");
    EXPECT_EQ(Form->FCount, 15);
    ASSERT_EQ(Form->sg->RowCount(), 16);
    EXPECT_EQ(Cell(0, 1), "5");
    EXPECT_EQ(Cell(0, 15), "19");
    // Each row is what the instrument holds for that record, decoded.
    for (int row = 1; row <= 15; ++row) {
        std::vector<uint8_t> rec = TestInstrument::Hex(Inst->Command("record 1 " + std::to_string(row + 4)).substr(3));
        ASSERT_EQ(rec.size(), 10u);
        std::vector<uint8_t> buf(RecordBufferSize, 0);
        buf[0] = 0x41;
        buf[1] = 10;
        std::copy(rec.begin(), rec.end(), buf.begin() + 2);
        TNumericRecord r = DecodeNumericRecord(buf.data(), 0, row + 4);
        EXPECT_EQ(Cell(1, row), RecordTimeText(r.Time, &Form->FDevice->Archive(1))) << row;
        EXPECT_NE(Cell(2, row), "");
        EXPECT_NE(Cell(1, row), "Ошибка");
    }
    EXPECT_EQ(Form->PBar->Max(), 20);
    EXPECT_EQ(Form->PBar->Position(), 20);
    EXPECT_TRUE(Form->BtnExcel->Visible());
    // The groups are built at the end.
    EXPECT_GE(Form->sgGr->RowCount(), 2);
    EXPECT_NE(Form->sgGr->Cells(0, 1), "");
    ExpectIdle();
}

TEST_F(ReadTest, RingArchiveReadsTheNewestCapacityInOrder)
{
    StartInstrument(Device(Ring, 1, Params), "archive 1\ngen 3200\n");
    StartForm(5);
    Read();

    EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 3200");
    EXPECT_EQ(Form->FTotal, 3200);
    EXPECT_EQ(Form->FStart, 2200);
    EXPECT_EQ(Form->FCount, 1000);
    std::vector<int> want = Span(200, 999);
    for (int i = 0; i < 200; ++i) want.push_back(i);
    EXPECT_EQ(Indexes(), want);
    ASSERT_EQ(Form->sg->RowCount(), 1001);
    EXPECT_EQ(Cell(0, 1), "2200");
    EXPECT_EQ(Cell(0, 1000), "3199");
    // Records come oldest first across the wrap: every time stamp is later than the one before.
    TDateTime prev = 0;
    for (int row = 1; row <= 1000; ++row) {
        TDateTime t = 0;
        ASSERT_TRUE(TryStrToDateTime(Cell(1, row), t)) << row << " " << Cell(1, row);
        EXPECT_GT(t, prev) << row;
        prev = t;
    }
    EXPECT_EQ(Form->PBar->Position(), 3200);
    ExpectIdle();
}

TEST_F(ReadTest, RangeStartBelowTheRingsFirstRecordIsRefused)
{
    StartInstrument(Device(Ring, 1, Params), "archive 1\ngen 3200\n");
    StartForm();
    Range(100, 10);
    Read();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"Стартовый индекс 100 младше первой записи 2200"});
    EXPECT_TRUE(ArchiveRequests().empty());
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 3200");
    EXPECT_FALSE(Form->BtnExcel->Visible());
    ExpectIdle();
}

TEST_F(ReadTest, RangeStartBeyondTheCountIsRefused)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 20\n");
    StartForm();
    Range(21, 10);
    Read();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"Стартовый индекс больше количества записей"});
    EXPECT_TRUE(ArchiveRequests().empty());
    ExpectIdle();
}

TEST_F(ReadTest, AHugeRangeCountStopsAtTheLastRecord)
{
    // start + count - 1 does not fit 32 bits; the range still ends at the archive's end.
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 8\n");
    StartForm();
    Range(5, 2147483647);
    Read();
    EXPECT_EQ(Indexes(), Span(5, 7));
    EXPECT_EQ(Form->FCount, 3);
}

TEST_F(ReadTest, LayoutTwoCountsOneMoreAndNamesRecordZero)
{
    const char* arch =
        "ArchName1=Архив\r\nArchCountRec1=100\r\narchnum1=7\r\nArchReg1=400005\r\nArchStandart1=2\r\n";
    std::string params = std::string(Params) + "[s3]\r\nID=65535\r\nname=Начало архива\r\ntype=19\r\n";
    StartInstrument(Device(arch, 1, params),
                    "archive 1\nrec 1000000000 2 5\nrec 1000000600 2 -2\nrec 1000001200 77 -1\ngen 8\n");
    StartForm();
    Read();
    EXPECT_EQ(Form->FTotal, 11);
    EXPECT_EQ(Indexes(), Span(0, 10));
    EXPECT_EQ(Cell(2, 1), "Начало архива");
    EXPECT_EQ(Cell(4, 1), "5");
    EXPECT_EQ(Cell(2, 2), "Температура");
    EXPECT_EQ(Cell(4, 2), "-2");
    // An ID the description lacks: its number and the raw signed value.
    EXPECT_EQ(Cell(2, 3), "77");
    EXPECT_EQ(Cell(4, 3), "-1");
    // No time flags: dates after 2000 in the short pattern.
    EXPECT_EQ(Cell(1, 1), "09.09.01 01:46:40");
    // The unknown ID's group shows its number and the value unsigned.
    bool found = false;
    for (int r = 1; r < Form->sgGr->RowCount(); ++r)
        if (Form->sgGr->Cells(0, r) == "77") {
            found = true;
            EXPECT_EQ(Form->sgGr->Cells(1, r), "09.09.01 02:06:40\r4294967295");
        }
    EXPECT_TRUE(found);
}

TEST_F(ReadTest, OldNewRecordsShowBothValues)
{
    const char* arch = "ArchName1=Изменения\r\nArchCountRec1=50\r\narchnum1=2\r\nArchReg1=300001\r\n"
                       "ArchIsWorkTime1=1\r\nArchStandart1=3\r\n";
    StartInstrument(Device(arch, 1, Params), "archive 1\nrec 90061 1 f:1.5 f:2.25\nrec 60 2 -1 0x1FFFF\n");
    StartForm();
    Read();
    ASSERT_EQ(Form->sg->RowCount(), 3);
    EXPECT_EQ(Form->sg->ColWidths(3), 108);
    EXPECT_EQ(Cell(1, 1), "1 1:1:1");
    EXPECT_EQ(Cell(3, 1), "1.5000000");
    EXPECT_EQ(Cell(4, 1), "2.2500000");
    EXPECT_EQ(Cell(3, 2), "-1");
    EXPECT_EQ(Cell(4, 2), "-1");
    EXPECT_EQ(Form->sgGr->Cells(0, 1), "Давление");
    EXPECT_EQ(Form->sgGr->Cells(1, 1), "1 1:1:1\r2.2500000");
}

TEST_F(ReadTest, UnknownLayoutRequestsNoRecordButShowsTheCount)
{
    const char* arch = "ArchName1=Иной\r\nArchCountRec1=50\r\narchnum1=2\r\nArchReg1=300001\r\nArchStandart1=5\r\n";
    StartInstrument(Device(arch, 1, Params), "");
    ASSERT_EQ(Inst->Command("reg i 0 7"), "OK 7");
    StartForm();
    Read();
    EXPECT_TRUE(ArchiveRequests().empty());
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 7");
    EXPECT_TRUE(Form->BtnExcel->Visible());
    EXPECT_EQ(Form->sg->RowCount(), 2);
    ExpectIdle();
}

TEST_F(ReadTest, ArchiveWithoutCountRegisterReadsItsCapacity)
{
    const char* arch = "ArchName1=Архив\r\nArchCountRec1=4\r\narchnum1=1\r\nArchReg1=-1\r\n";
    StartInstrument(Device(arch, 1, Params), "archive 1\ngen 10\n");
    StartForm();
    Read();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 4");
    EXPECT_EQ(Indexes(), Span(0, 3));
    // No register read at all.
    for (const LogLine& l : Inst->Requests()) EXPECT_EQ(l.bytes.at(1), 0x41);
}

TEST_F(ReadTest, RingWithoutCapacityIsReadAsAPlainArchive)
{
    // The instrument sees a plain archive of 6 records; the reader's description calls it a ring
    // of capacity 0, which must not be divided by.
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 6\n");
    Write("dev.ini", Device("ArchName1=Архив\r\nArchCountRec1=0\r\narchnum1=1\r\nArchReg1=300001\r\n"
                            "ArchCycle1=1\r\nArchRegOverFlow1=300002\r\n",
                            1, Params));
    StartForm();
    Read();
    EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
    EXPECT_EQ(Indexes(), Span(0, 5));
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 6");
}

TEST_F(ReadTest, TextJournalIgnoresTheRangeStartAndGroupsByName)
{
    const char* arch = "ArchName1=Калибровочный журнал\r\nArchCountRec1=300\r\narchnum1=1\r\n"
                       "ArchReg1=400101\r\nArchStandart1=1\r\n";
    std::string recs = "archive 1\n"
                       "jrn 1000000000 A: 1->2\n"
                       "jrn 1000000060 B: x->y\n"
                       "jrn 1000000120 A: 2->3\n"
                       "jrn 1000000180 Сброс: выполнен\n";
    for (int i = 0; i < 56; ++i) recs += "jrn 1000001000 C: 0->" + std::to_string(i) + "\n";
    StartInstrument(Device(arch, 1), recs);
    StartForm();
    Range(50, 4);
    Read();
    EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
    EXPECT_EQ(Indexes(), Span(0, 3));
    for (const ArchReq& r : ArchiveRequests()) EXPECT_EQ(r.arch, 9);
    EXPECT_EQ(Form->PBar->Max(), 60);
    EXPECT_FALSE(Form->tsSet->TabVisible());
    ASSERT_EQ(Form->sg->RowCount(), 5);
    EXPECT_EQ(Cell(0, 1), "0");
    EXPECT_EQ(Cell(1, 1), "09.09.01 01:46:40 ");
    EXPECT_EQ(Cell(2, 1), "A");
    EXPECT_EQ(Cell(4, 1), "2");
    EXPECT_EQ(Cell(0, 4), "3");
    EXPECT_EQ(Cell(2, 4), "Сброс");
    EXPECT_EQ(Cell(4, 4), "брос: выполнен");

    // Groups 1 (A, two events), 2 (B), 3 (Сброс), named by their entries.
    ASSERT_EQ(Form->FEventNames.size(), 3u);
    EXPECT_EQ(Form->FEventNames[1]->EventName, "B");
    EXPECT_EQ(Form->FEventNames[1]->EventIndex, 2);
    ASSERT_EQ(Form->FGroups.size(), 3u);
    EXPECT_EQ(Form->FGroups[0]->ID, 1);
    EXPECT_EQ(Form->FGroups[0]->Events.size(), 2u);
    EXPECT_EQ(Form->sgGr->RowCount(), 4);
    EXPECT_EQ(Form->sgGr->ColCount(), 3);
    EXPECT_EQ(Form->sgGr->Cells(0, 1), "A");
    EXPECT_EQ(Form->sgGr->Cells(0, 2), "B");
    EXPECT_EQ(Form->sgGr->Cells(2, 1), "09.09.01 01:48:40\r3");
    EXPECT_EQ(Form->sgGr->Cells(2, 2), "");
}

TEST_F(ReadTest, ModeChangeLogNamesTheModes)
{
    const char* archs = "ArchName1=Журнал\r\nArchCountRec1=300\r\narchnum1=1\r\nArchReg1=400101\r\nArchStandart1=1\r\n"
                        "ArchName2=Режимы\r\nArchCountRec2=200\r\narchnum2=1\r\nArchReg2=400102\r\nArchStandart2=1\r\n";
    StartInstrument(Device(archs, 2), "archive 2\nrec 1000000000 2\nrec 1262304000 256\nrec 1262304060 0\n");
    StartForm(1, 1);
    Read();
    EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
    EXPECT_EQ(Indexes(), Span(0, 2));
    for (const ArchReq& r : ArchiveRequests()) EXPECT_EQ(r.arch, 8);
    EXPECT_EQ(Cell(0, 1), "0");
    EXPECT_EQ(Cell(1, 1), "09.09.2001 1:46:40");
    EXPECT_EQ(Cell(2, 1), "Смена режима");
    EXPECT_EQ(Cell(4, 1), "настройка");
    EXPECT_EQ(Cell(1, 2), "01.01.2010");
    EXPECT_EQ(Cell(4, 2), "");
    EXPECT_EQ(Cell(4, 3), "рабочий");
    ASSERT_EQ(Form->sgGr->RowCount(), 2);
    EXPECT_EQ(Form->sgGr->Cells(0, 1), "Смена режима");
    EXPECT_EQ(Form->sgGr->Cells(1, 1), "09.09.01 01:46:40\rнастройка");
    EXPECT_EQ(Form->sgGr->Cells(2, 1), "01.01.10 00:00:00\r");
}

TEST_F(ReadTest, AFailedRecordShowsErrorAndTheReadGoesOn)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 8\n");
    StartForm(1);
    int failedRow = 0;
    EveryRecord([&] {
        if (!failedRow && Form->sg->RowCount() >= 4) {
            failedRow = Form->sg->RowCount();  // the next record's row
            Inst->Fault("exception=2 times=1 func=0x41");
        }
    });
    Read();
    ASSERT_GT(failedRow, 0);
    ASSERT_EQ(Form->sg->RowCount(), 9);
    EXPECT_EQ(Cell(0, failedRow), std::to_string(failedRow - 1));
    EXPECT_EQ(Cell(1, failedRow), "Ошибка");
    EXPECT_EQ(Cell(2, failedRow), "");
    for (int r = 1; r <= 8; ++r)
        if (r != failedRow) {
            EXPECT_NE(Cell(1, r), "Ошибка") << r;
        }
    // The failed record adds no event.
    size_t events = 0;
    for (const auto& g : Form->FGroups) events += g->Events.size();
    EXPECT_EQ(events, 7u);
    EXPECT_TRUE(Form->BtnExcel->Visible());
}

TEST_F(ReadTest, StopEndsTheReadAfterTheRecordInHand)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 60\n");
    StartForm();
    int rowsAtStop = 0;
    EveryRecord([&] {
        if (!rowsAtStop && Form->sg->RowCount() >= 6) {
            EXPECT_TRUE(Form->btnStop2->Enabled());
            EXPECT_FALSE(Form->btnRead2->Enabled());
            EXPECT_FALSE(Form->rgTypeJ->Enabled());
            EXPECT_FALSE(Form->cbxDev->Enabled());
            rowsAtStop = Form->sg->RowCount();
            Form->btnStop2->Click();
            // The group grid is filled at once.
            EXPECT_EQ(Form->sgGr->RowCount(), static_cast<int>(Form->FGroups.size()) + 1);
            EXPECT_NE(Form->sgGr->Cells(1, 1), "");
        }
    });
    Read();
    ASSERT_GT(rowsAtStop, 0);
    EXPECT_EQ(Form->sg->RowCount(), rowsAtStop);
    EXPECT_EQ(static_cast<int>(ArchiveRequests().size()), rowsAtStop - 1);
    EXPECT_EQ(Form->PBar->Position(), 60);
    size_t events = 0;
    for (const auto& g : Form->FGroups) events += g->Events.size();
    EXPECT_EQ(static_cast<int>(events), rowsAtStop - 1);
    ExpectIdle();
}

TEST_F(ReadTest, ANewAddressAppliesToTheRecordsStillToCome)
{
    Write("dev2.ini", Device(Plain, 1, Params));
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 10\n",
                    "--device " + Work + "/dev2.ini --records " + Work + "/records.txt");
    StartForm();
    int changedAt = 0;
    EveryRecord([&] {
        if (!changedAt && Form->sg->RowCount() >= 4) {
            changedAt = Form->sg->RowCount() - 1;  // records read so far
            Form->EdtAddr->SetText("2");
        }
    });
    Read();
    ASSERT_GT(changedAt, 0);
    std::vector<ArchReq> reqs = ArchiveRequests();
    ASSERT_EQ(reqs.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(reqs[i].addr, i < changedAt ? 1 : 2) << i;
    for (int r = 1; r <= 10; ++r) EXPECT_NE(Cell(1, r), "Ошибка");
}

TEST_F(ReadTest, TheRetriesOfMainIniAreTheAttemptsAtEachRecord)
{
    // The instrument leaves the first two requests of the record unanswered.
    const struct {
        int retries;
        size_t requests;
        bool error;
    } cases[] = {{1, 1, true}, {3, 3, false}};
    StartInstrument(Device(Plain, 1, Params), "archive 1\nrec 1000000000 2 5\n");
    for (const auto& c : cases) {
        SCOPED_TRACE("Retries=" + std::to_string(c.retries));
        ASSERT_TRUE(Inst->Fault("silent func=0x41 times=2"));
        size_t mark = Inst->Mark();
        StartForm(c.retries);
        Read();
        EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
        EXPECT_EQ(ArchiveRequests(mark).size(), c.requests) << "attempts at the record";
        ASSERT_EQ(Form->sg->RowCount(), 2);
        EXPECT_EQ(Cell(1, 1) == "Ошибка", c.error) << Cell(1, 1);
        EXPECT_EQ(Cell(2, 1), c.error ? "" : "Температура");
        EXPECT_EQ(Cell(4, 1), c.error ? "" : "5");
        ASSERT_TRUE(Inst->ClearFaults());
    }
}

TEST_F(ReadTest, On485RtsTurnsTheLineAroundEachRequestAndOn232StaysUp)
{
    const struct {
        int item;
        const char* name;
        bool turns;
    } cases[] = {{1, "485", true}, {0, "232", false}};
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 2\n");
    StartForm();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Form->rgrRsType->SetItemIndex(c.item);
        ASSERT_EQ(Form->rgrRsType->Items().Strings(c.item), c.name);
        // The log of a pty appears with its first line change or write.
        std::string log = ShimLogOf(*Inst);
        const size_t from = log.empty() ? 0 : ShimLogLines(log).size();
        Read();
        EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
        log = ShimLogOf(*Inst);
        ASSERT_FALSE(log.empty()) << "no modem-line shim log for the instrument's pty";
        std::vector<LineEvent> ev = EventsSince(log, from);
        std::vector<size_t> tx = Writes(ev);
        ASSERT_EQ(tx.size(), 3u) << "one write for the count register and one for each record";
        // RTS is up as the first frame goes out (a pty keeps the state it had, so the raise may
        // be no change at all) ...
        int first = RtsBefore(ev, tx[0]);
        EXPECT_TRUE(first < 0 || ev[first].on == 1) << "RTS down at the first request";
        if (!c.turns) {
            EXPECT_EQ(RtsAfter(ev, tx[0]), -1) << "RTS changed during the read";
            continue;
        }
        // ... dropped after each frame and raised again before the next.
        for (size_t i = 0; i < tx.size(); ++i) {
            int drop = RtsAfter(ev, tx[i]);
            ASSERT_GE(drop, 0) << "RTS not dropped after request " << i;
            EXPECT_EQ(ev[drop].on, 0) << "RTS after request " << i;
            if (i + 1 == tx.size()) break;
            int raise = RtsBefore(ev, tx[i + 1]);
            EXPECT_GT(raise, drop) << "RTS not raised again before request " << i + 1;
            EXPECT_EQ(ev[raise].on, 1) << "RTS before request " << i + 1;
        }
    }
}

TEST_F(ReadTest, UnansweredCountRegisterEndsTheRead)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 5\n", "--fault \"silent func=4\"");
    StartForm(1);
    Form->sg->SetCells(1, 1, "старое");
    Read();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Нет ответа(16)");
    EXPECT_TRUE(ArchiveRequests().empty());
    EXPECT_EQ(Form->sg->RowCount(), 2);
    EXPECT_EQ(Cell(1, 1), "");
    EXPECT_FALSE(Form->BtnExcel->Visible());
    ExpectIdle();
}

TEST_F(ReadTest, UnansweredOverflowRegisterEndsTheRead)
{
    // The overflow counter is a holding register here, so that only its request goes unanswered.
    const char* ring = "ArchName1=Кольцо\r\nArchCountRec1=10\r\narchnum1=3\r\nArchReg1=300001\r\nArchCycle1=1\r\n"
                       "ArchRegOverFlow1=400002\r\n";
    StartInstrument(Device(ring, 1, Params), "archive 1\ngen 30\n", "--fault \"silent func=3\"");
    StartForm(1);
    Read();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Нет ответа(16)");
    EXPECT_TRUE(ArchiveRequests().empty());
    ExpectIdle();
}

TEST_F(ReadTest, AMissingPortIsReportedAndNothingIsOpened)
{
    Write("dev.ini", Device(Plain, 1, Params));
    Write("main.ini", "[Settings]\r\nlastcomport=COM249\r\nlastcomspeed=4\r\nLastDev=0\r\n[Main]\r\nCountDev=1\r\n"
                      "Dev1=dev.ini\r\n");
    Ports = std::make_unique<tt::PortRegistry>(std::vector<std::string>{"COM249"});
    Form = new TForm1(Application, WinDir);
    Form->AfterConstruction();
    Read();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"Ошибка открытия СОМ-порта."});
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_TRUE(Form->btnRead2->Enabled());
    EXPECT_FALSE(Form->btnStop2->Enabled());
    EXPECT_FALSE(Form->BtnDisconnect2->Enabled());
}

TEST_F(ReadTest, HangUpMidReadReachesTheGeneralHandler)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 20\n", "--fault \"hangup after=4\"");
    StartForm(1);
    Read();
    // The port's own message, shown once by the general handler.
    std::vector<std::string> texts = Dialogs.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("win error code"), std::string::npos) << texts[0];
    // Three records came before the line went dead; they stay.
    EXPECT_GE(Form->sg->RowCount(), 4);
    EXPECT_EQ(Cell(0, 1), "0");
    EXPECT_NE(Cell(2, 3), "");
    EXPECT_EQ(Form->sgGr->RowCount(), static_cast<int>(Form->FGroups.size()) + 1);
    ExpectIdle();
}

TEST_F(ReadTest, ATextJournalDateThatIsNoDateEndsTheRead)
{
    const char* arch = "ArchName1=Журнал\r\nArchCountRec1=300\r\narchnum1=1\r\nArchReg1=400101\r\nArchStandart1=1\r\n";
    StartInstrument(Device(arch, 1), "archive 1\njrn 1000000000 A: 1->2\ntext  99.99.99 99:99:99 B: 3->4\n"
                                     "jrn 1000000000 C: 5->6\n");
    StartForm();
    Read();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"'99.99.99 99:99:99 ' is not a valid date and time"});
    // The bad row was written before the failure; nothing after it was asked for.
    EXPECT_EQ(Indexes(), Span(0, 1));
    EXPECT_EQ(Cell(1, 2), "99.99.99 99:99:99 ");
    EXPECT_EQ(Cell(2, 2), "B");
    ASSERT_EQ(Form->sgGr->RowCount(), 2);
    EXPECT_EQ(Form->sgGr->Cells(0, 1), "A");
    ExpectIdle();
}

TEST_F(ReadTest, InputErrorsAreReportedBeforeTheLinkIsOpened)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 5\n");
    StartForm();
    Form->chbLimit->SetChecked(true);
    Form->EdtStart->SetText("5x");
    Read();
    Form->EdtStart->SetText("5");
    Form->EdtCount->SetText("");
    Read();
    Form->chbLimit->SetChecked(false);
    // A typed speed is no entry of the list.
    Form->cbxSpeed->SetItemIndex(-1);
    Read();
    Form->cbxSpeed->SetItemIndex(4);
    Form->cbxPort->SetItemIndex(-1);
    Read();
    Form->cbxPort->SetItemIndex(0);
    Form->cbxDev->SetItemIndex(-1);
    Read();
    EXPECT_EQ(Dialogs.Texts(), (std::vector<std::string>{
                                   "Введите число в поле \"Начать с:\"",
                                   "Введите число в поле \"Количество\"",
                                   "Выберите скорость из списка.",
                                   "Выберите порт из списка.",
                                   "Не выбран тип прибора.",
                               }));
    EXPECT_TRUE(Inst->Requests().empty());
    EXPECT_TRUE(Form->btnRead2->Enabled());
}

TEST_F(ReadTest, ADeviceWithoutArchivesHasNothingToRead)
{
    StartInstrument(Device("", 0, Params), "");
    StartForm();
    EXPECT_EQ(Form->rgTypeJ->Items().Count(), 0);
    Read();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"Не выбран тип архива."});
    EXPECT_TRUE(Inst->Requests().empty());
}

TEST_F(ReadTest, ChoosingADeviceFillsTheArchivesAndTheColumns)
{
    const char* archs = "ArchName1=Изменения\r\nArchCountRec1=50\r\nArchStandart1=3\r\n"
                        "ArchName2=Без размера\r\nArchCountRec2=0\r\n";
    StartInstrument(Device(archs, 2, Params), "");
    Write("dev2.ini", Device(Plain, 1, Params));
    Write("main.ini", "[Settings]\r\nlastcomport=" + Inst->PortName() +
                          "\r\nLastDev=0\r\n[Main]\r\nCountDev=2\r\nDev1=dev.ini\r\nDev2=dev2.ini\r\n");
    Ports = std::make_unique<tt::PortRegistry>(std::vector<std::string>{Inst->PortName()});
    Form = new TForm1(Application, WinDir);
    Form->AfterConstruction();
    EXPECT_TRUE(Form->rgTypeJ->Visible());
    ASSERT_EQ(Form->rgTypeJ->Items().Count(), 2);
    EXPECT_EQ(Form->rgTypeJ->Items().Strings(0), "Изменения (50)");
    EXPECT_EQ(Form->rgTypeJ->Items().Strings(1), "Без размера");
    EXPECT_EQ(Form->rgTypeJ->ItemIndex(), 0);
    EXPECT_EQ(Form->sg->ColWidths(3), 108);
    EXPECT_EQ(Form->sg->ColWidths(4), 108);
    EXPECT_EQ(Form->SDs->FileName(), "Прибор");

    Form->BtnExcel->SetVisible(true);
    Form->cbxDev->SetItemIndex(1);
    Form->cbxDev->Change();
    EXPECT_EQ(Form->FDevice, Form->FDevices[1].get());
    EXPECT_FALSE(Form->BtnExcel->Visible());
    EXPECT_LT(Form->sg->ColWidths(3), 0);
    ASSERT_EQ(Form->rgTypeJ->Items().Count(), 1);
    EXPECT_EQ(Form->rgTypeJ->Items().Strings(0), "Архив (100)");
}

TEST_F(ReadTest, HiddenButtonsCallTheLibraryDirectly)
{
    StartInstrument(Device(Plain, 1, Params), "", "--slave-id \"VR-5 v3\"");
    StartForm();
    Form->Button6->Click();
    EXPECT_EQ(Form->Label6->Caption(), "VR-5 v3");
    // No retries were set before the name query: one attempt.
    Inst->Fault("silent func=0x11");
    size_t mark = Inst->Mark();
    Form->Button6->Click();
    EXPECT_EQ(Form->Label6->Caption(), "Error:16");
    EXPECT_EQ(Inst->Requests(mark).size(), 1u);
    Inst->ClearFaults();

    Form->BtnConnect2->Click();
    EXPECT_FALSE(Form->BtnConnect2->Enabled());
    EXPECT_TRUE(Form->BtnDisconnect2->Enabled());
    EXPECT_TRUE(Form->btnRead2->Enabled());
    Form->BtnDisconnect2Click(nullptr);
    EXPECT_TRUE(Form->BtnConnect2->Enabled());
    EXPECT_FALSE(Form->BtnDisconnect2->Enabled());
    EXPECT_FALSE(Form->btnRead2->Enabled());
    // The port is free again: a read opens it.
    Form->btnRead2->SetEnabled(true);
    Read();
    EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 0");
}

TEST_F(ReadTest, SpeedTableByItemIndex)
{
    StartInstrument(Device(Plain, 1, Params), "");
    StartForm();
    const int want[] = {1200, 2400, 4800, 9600, 19200};
    for (int i = 0; i < 5; ++i) {
        Form->cbxSpeed->SetItemIndex(i);
        EXPECT_EQ(Form->SelectedBaudRate(), want[i]);
    }
    Form->cbxSpeed->SetItemIndex(2);
    Form->btnRead2->Click();
    EXPECT_EQ(Inst->Speed(), 4800);
}

// ---- drawing objects over a read: what Windows enforces and Wine lets pass

namespace {

// Watches the GDI calls of the program's own code (forms, skin, window: they are linked into this
// program, so their calls pass through its import table). A deletion of an object that a context
// the code selected into still holds counts as a fault: Windows refuses it and the object leaks.
class GdiWatch {
public:
    GdiWatch()
    {
        Current() = this;
        FDelete = Patch("DeleteObject", reinterpret_cast<void*>(&GdiWatch::Delete));
        FSelect = Patch("SelectObject", reinterpret_cast<void*>(&GdiWatch::Select));
    }
    ~GdiWatch()
    {
        Patch("DeleteObject", FDelete);
        Patch("SelectObject", FSelect);
        Current() = nullptr;
    }
    bool Hooked() const { return FDelete && FSelect; }
    int Deletes = 0, Selects = 0;
    std::vector<std::string> HeldWhenDeleted;

private:
    using DeleteFn = BOOL(WINAPI*)(HGDIOBJ);
    using SelectFn = HGDIOBJ(WINAPI*)(HDC, HGDIOBJ);
    static GdiWatch*& Current()
    {
        static GdiWatch* w = nullptr;
        return w;
    }
    static void* Patch(const char* name, void* with) { return tovik::testing::PatchImport("gdi32.dll", name, with); }
    static HGDIOBJ WINAPI Select(HDC dc, HGDIOBJ obj)
    {
        GdiWatch* w = Current();
        ++w->Selects;
        if (std::find(w->FContexts.begin(), w->FContexts.end(), dc) == w->FContexts.end()) w->FContexts.push_back(dc);
        return reinterpret_cast<SelectFn>(w->FSelect)(dc, obj);
    }
    static BOOL WINAPI Delete(HGDIOBJ obj)
    {
        GdiWatch* w = Current();
        ++w->Deletes;
        DWORD type = GetObjectType(obj);
        if (type == OBJ_PEN || type == OBJ_BRUSH || type == OBJ_FONT || type == OBJ_BITMAP)
            for (HDC dc : w->FContexts)
                if (GetObjectType(dc) && GetCurrentObject(dc, type) == obj)
                    w->HeldWhenDeleted.push_back(type == OBJ_PEN ? "pen" : type == OBJ_BRUSH ? "brush"
                                                                 : type == OBJ_FONT ? "font" : "bitmap");
        return reinterpret_cast<DeleteFn>(w->FDelete)(obj);
    }
    void* FDelete = nullptr;
    void* FSelect = nullptr;
    std::vector<HDC> FContexts;
};

// The process's live GDI objects: what Windows counts; Wine does not count (0), but takes a
// handle's table index alone, so there every index that names an object is counted.
int GdiObjects()
{
    if (DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(n);
    int n = 0;
    for (uintptr_t i = 1; i < 0x10000; ++i)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(i))) ++n;
    return n;
}

// The pointer passing over every control of the window, as window messages.
void MouseOverControls(TForm* form)
{
    std::vector<HWND> all{form->Handle()};
    EnumChildWindows(form->Handle(), [](HWND h, LPARAM lp) CALLBACK -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&all));
    for (HWND h : all) {
        RECT r;
        GetClientRect(h, &r);
        SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(r.right / 2, r.bottom / 2));
        SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
        SendMessageW(h, WM_MOUSELEAVE, 0, 0);
        Application->ProcessMessages();
    }
}

}  // namespace

TEST_F(ReadTest, NoDrawingObjectIsDeletedWhileAContextHoldsIt)
{
    GdiWatch watch;
    ASSERT_TRUE(watch.Hooked());
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 30\n");
    StartForm();
    Form->Show();
    Application->ProcessMessages();
    bool busy = false;  // the pointer's messages run the message loop, where the timer comes again
    EveryRecord([&] {
        if (busy) return;
        busy = true;
        MouseOverControls(Form);
        busy = false;
    });
    Read();
    EXPECT_EQ(ArchiveRequests().size(), 30u) << (Dialogs.Texts().empty() ? "" : Dialogs.Texts().front());
    MouseOverControls(Form);
    RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_GT(watch.Selects, 0);
    EXPECT_GT(watch.Deletes, 0);
    EXPECT_TRUE(watch.HeldWhenDeleted.empty())
        << watch.HeldWhenDeleted.size() << " deleted while selected, the first a " << watch.HeldWhenDeleted[0];
}

TEST_F(ReadTest, RepaintingTheSkinnedWindowMakesNoLastingDrawingObjects)
{
    StartInstrument(Device(Plain, 1, Params), "archive 1\ngen 5\n");
    StartForm();
    Form->Show();
    Read();
    auto repaint = [&](int times) {
        for (int i = 0; i < times; ++i) {
            MouseOverControls(Form);
            RedrawWindow(Form->Handle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
    };
    repaint(2);  // what a first paint makes to keep (faces, colours in use) is there now
    // The system makes a colour's brush the first time anything draws with it and keeps it for the
    // process: the inactive frame's, say, once another program takes the focus. All are there now.
    for (int i = COLOR_SCROLLBAR; i <= COLOR_MENUBAR; ++i) GetSysColorBrush(i);
    int before = GdiObjects();
    ASSERT_GT(before, 0);
    // the count sees objects come and go
    HBRUSH probe[4];
    for (HBRUSH& b : probe) b = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(GdiObjects(), before + 4);
    for (HBRUSH b : probe) DeleteObject(b);
    repaint(20);
    EXPECT_EQ(GdiObjects(), before);
}
