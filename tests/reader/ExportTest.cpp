// "Сохранить...": the text file byte for byte, the workbook written by the stand-in and read back
// by an independent reader, the exact automation calls to Excel, and the failures.
#include <algorithm>

#include "MainFormTestSupport.h"
#include "OleAuto.h"
#include "SafeFile.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

// A device with a one-value archive (layout 0) and an old/new-value archive (layout 3).
const char* kDevice =
    "[settings]\r\nname=Регистратор РС-20\r\narchtypecount=2\r\n"
    "ArchName1=События\r\nArchCountRec1=10\r\narchnum1=1\r\nArchReg1=300001\r\nArchStandart1=0\r\n"
    "ArchName2=Изменения\r\nArchCountRec2=10\r\narchnum2=2\r\nArchReg2=300002\r\nArchStandart2=3\r\n"
    "[s0]\r\nID=1\r\nname=Давление\r\n";

struct Row {
    std::string c[5];
};

class ExportTest : public tt::FormTest {
protected:
    void SetUp() override
    {
        Dir.Write("dev.ini", kDevice);
        Dir.Write("main.ini", "[Settings]\r\nLastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
        Start();
        ASSERT_NE(Form->FDevice, nullptr);
        ASSERT_EQ(Form->cbxDev->Text(), "Регистратор РС-20");
    }
    // Archive 1 (layout 0) or 2 (layout 3) selected.
    void Layout3(bool on) { Form->rgTypeJ->SetItemIndex(on ? 1 : 0); }
    void Fill(const std::vector<Row>& rows)
    {
        Form->sg->SetRowCount(static_cast<int>(rows.size()) + 1);
        for (size_t r = 0; r < rows.size(); ++r)
            for (int c = 0; c < 5; ++c) Form->sg->SetCells(c, static_cast<int>(r) + 1, rows[r].c[c]);
    }
    // Answers the save dialog with a file of the work folder and the given filter, then saves.
    void Save(const std::string& name, int filter)
    {
        Dialogs.AnswerFile(Work.Win(name), filter);
        Form->BtnExcelClick(Form->BtnExcel);
    }

    TComApartment Com;
    TWorkDir Work{std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) + "." +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

const std::vector<Row> kTwo = {
    {{"0", "01.02.2024 10:00:00", "Давление", "1.5000000", "00012"}},
    {{"1", "01.02.2024 10:05:00", "Уставка\tрежима", "", "1.5000000"}},
};

using ExportTextTest = ExportTest;

TEST_F(ExportTextTest, OneValueLayoutWritesFourFieldsPerLine)
{
    Layout3(false);
    Fill(kTwo);
    Save("report", 1);
    EXPECT_EQ(Work.Listing(), "report.txt");
    EXPECT_EQ(ReadFileBytes(Work.Unix("report.txt")),
              "Прибор:Регистратор РС-20\r\n"
              "0\t01.02.2024 10:00:00\tДавление\t00012\r\n"
              "1\t01.02.2024 10:05:00\tУставка\tрежима\t1.5000000\r\n");
    // The dialog as the user sees it: both filters, the device's name proposed.
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0].Kind, dkSaveDialog);
    EXPECT_EQ(Dialogs.Shown[0].Filter, "Текстовый файл|*.txt|Excel|*.xls");
}

TEST_F(ExportTextTest, LayoutThreeAtExportTimeWritesFiveFields)
{
    Layout3(false);
    Fill(kTwo);
    Layout3(true);  // chosen after the read: what counts is the archive selected now
    Save("report.txt", 1);
    EXPECT_EQ(ReadFileBytes(Work.Unix("report.txt")),
              "Прибор:Регистратор РС-20\r\n"
              "0\t01.02.2024 10:00:00\tДавление\t1.5000000\t00012\r\n"
              "1\t01.02.2024 10:05:00\tУставка\tрежима\t\t1.5000000\r\n");
}

TEST_F(ExportTextTest, NoArchiveOrNoDeviceSelectedCountsAsOneValueLayout)
{
    Fill(kTwo);
    Form->rgTypeJ->SetItemIndex(-1);
    Save("noarch", 1);
    Form->FDevice = nullptr;
    Save("nodev", 1);
    const std::string want = "Прибор:Регистратор РС-20\r\n"
                             "0\t01.02.2024 10:00:00\tДавление\t00012\r\n"
                             "1\t01.02.2024 10:05:00\tУставка\tрежима\t1.5000000\r\n";
    EXPECT_EQ(ReadFileBytes(Work.Unix("noarch.txt")), want);
    EXPECT_EQ(ReadFileBytes(Work.Unix("nodev.txt")), want);
}

TEST_F(ExportTextTest, OneEmptyRecordRowGivesALineOfTabs)
{
    Form->sg->SetRowCount(2);
    Layout3(false);
    Save("empty", 1);
    EXPECT_EQ(ReadFileBytes(Work.Unix("empty.txt")), "Прибор:Регистратор РС-20\r\n\t\t\t\r\n");
    Layout3(true);
    Save("empty3", 1);
    EXPECT_EQ(ReadFileBytes(Work.Unix("empty3.txt")), "Прибор:Регистратор РС-20\r\n\t\t\t\t\r\n");
}

TEST_F(ExportTextTest, ExtensionIsAddedOnlyToANameWithoutOne)
{
    TNoExcel noExcel;
    Fill(kTwo);
    Save("a.dat", 1);         // kept whatever the filter
    Save("b.xls", 1);
    CreateDirectoryA(Work.Win("dir.v1").c_str(), nullptr);
    Save("dir.v1\\c", 1);    // a dot in the folder is no extension
    Save("d.txt", 2);         // a workbook under the name typed
    Save("e", 2);
    EXPECT_EQ(Work.Listing(), "a.dat b.xls d.txt dir.v1 e.xls");
    EXPECT_TRUE(FileExists(Work.Win("dir.v1\\c.txt")));
    EXPECT_EQ(ReadFileBytes(Work.Unix("b.xls")).substr(0, 7), "Прибор:");
    EXPECT_EQ(ReadFileBytes(Work.Unix("d.txt")).substr(0, 4), "\xD0\xCF\x11\xE0");
}

TEST_F(ExportTextTest, CancelledDialogWritesNothing)
{
    Fill(kTwo);
    WriteFileBytes(Work.Unix("report.txt"), "earlier");
    Dialogs.CancelFile();
    Form->BtnExcelClick(Form->BtnExcel);
    EXPECT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Work.Listing(), "report.txt");
    EXPECT_EQ(ReadFileBytes(Work.Unix("report.txt")), "earlier");
    EXPECT_TRUE(Dialogs.Texts().empty());
}

TEST_F(ExportTextTest, FolderThatCannotBeWrittenRaisesTheIoErrorAndLeavesNoFile)
{
    Fill(kTwo);
    try {
        Save("missing\\report", 1);
        FAIL() << "saved";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Invalid filename");
    }
    EXPECT_EQ(Work.Listing(), "");
}

TEST_F(ExportTextTest, FailedSaveLeavesTheEarlierFileWhole)
{
    Fill(kTwo);
    WriteFileBytes(Work.Unix("report.txt"), "earlier export");
    // Another program holds the file open.
    HANDLE h = CreateFileA(Work.Win("report.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_THROW(Save("report.txt", 1), EInOutError);
    CloseHandle(h);
    EXPECT_EQ(ReadFileBytes(Work.Unix("report.txt")), "earlier export");
    EXPECT_EQ(Work.Listing(), "report.txt");
}

// ---- the workbook where Excel is missing ----

class ExportDumpTest : public ExportTest {
protected:
    std::vector<std::string> Dump(const std::string& file)
    {
        std::vector<std::string> out;
        std::istringstream in(DumpWorkbook(Work, file));
        std::string l;
        while (std::getline(in, l))
            if (l != "end" && l.rfind("size ", 0) != 0) out.push_back(l);
        return out;
    }
};

class ExportWorkbookTest : public ExportDumpTest {
protected:
    TNoExcel NoExcel;
};

// What the stand-in writes for kTwo with one value column, as the independent reader sees it.
const std::vector<std::string> kTwoSheet = {
    "sheets 1",
    "sheet ...",
    "width 0 5303",
    "width 1 10423",
    "width 2 7863",
    "cell 0 1 1 0 General|Прибор:Регистратор РС-20",
    "cell 1 0 1 1 General|Дата время",
    "cell 1 1 1 1 General|Название параметра",
    "cell 1 2 1 1 General|Значение",
    "cell 1 3 6 1 General|",
    "cell 2 0 1 0 General|01.02.2024 10:00:00",
    "cell 2 1 1 0 General|Давление",
    "cell 2 2 1 0 @|00012",
    "cell 3 0 1 0 General|01.02.2024 10:05:00",
    "cell 3 1 1 0 General|Уставка\\tрежима",
    "cell 3 2 1 0 @|1.5000000",
};

TEST_F(ExportWorkbookTest, SheetHoldsTheDeviceLineBoldHeaderWidthsAndTextCells)
{
    Layout3(false);
    Fill(kTwo);
    Save("report", 2);
    EXPECT_EQ(Work.Listing(), "report.xls");
    EXPECT_EQ(Dump("report.xls"), kTwoSheet);
}

TEST_F(ExportWorkbookTest, LayoutThreeGetsTwoValueColumnsAsText)
{
    Layout3(true);
    Fill(kTwo);
    Save("report.xls", 2);
    const std::vector<std::string> want = {
        "sheets 1",
        "sheet ...",
        "width 0 5303",
        "width 1 10423",
        "width 2 7863",
        "cell 0 1 1 0 General|Прибор:Регистратор РС-20",
        "cell 1 0 1 1 General|Дата время",
        "cell 1 1 1 1 General|Название параметра",
        "cell 1 2 1 1 General|Значение до",
        "cell 1 3 1 1 General|Значение после",
        "cell 2 0 1 0 General|01.02.2024 10:00:00",
        "cell 2 1 1 0 General|Давление",
        "cell 2 2 1 0 @|1.5000000",
        "cell 2 3 1 0 @|00012",
        "cell 3 0 1 0 General|01.02.2024 10:05:00",
        "cell 3 1 1 0 General|Уставка\\tрежима",
        "cell 3 2 6 0 @|",
        "cell 3 3 1 0 @|1.5000000",
    };
    EXPECT_EQ(Dump("report.xls"), want);
}

TEST_F(ExportWorkbookTest, OneEmptyRecordRowGivesAnEmptyRowThree)
{
    Form->sg->SetRowCount(2);
    Layout3(false);
    Save("empty", 2);
    auto d = Dump("empty.xls");
    std::vector<std::string> row3;
    for (auto& l : d)
        if (l.rfind("cell 2 ", 0) == 0) row3.push_back(l);
    EXPECT_EQ(row3, std::vector<std::string>{"cell 2 2 6 0 @|"});
}

TEST_F(ExportWorkbookTest, TooManyRowsForASheetGiveAMessageAndKeepTheEarlierFile)
{
    WriteFileBytes(Work.Unix("big.xls"), "earlier workbook");
    Form->sg->SetRowCount(65536);  // 65 535 records: the last would land in row 65 537
    Form->sg->SetCells(2, 65535, "последняя");
    try {
        Save("big", 2);
        FAIL() << "saved";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("65536"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(ReadFileBytes(Work.Unix("big.xls")), "earlier workbook");
    EXPECT_EQ(Work.Listing(), "big.xls");
}

// Excel named in the registry but not there to start, or refusing its first call: the same
// workbook is written directly and no error is shown.
TEST_F(ExportDumpTest, ExcelThatCannotStartFallsBackToTheWorkbookWriter)
{
    Layout3(false);
    Fill(kTwo);
    const TBrokenExcel::Kind kinds[] = {TBrokenExcel::ClassWithoutServer, TBrokenExcel::MissingServerProgram,
                                        TBrokenExcel::MissingServerLibrary, TBrokenExcel::RefusesFirstCall};
    for (TBrokenExcel::Kind kind : kinds) {
        SCOPED_TRACE(kind);
        const std::string name = "broken" + std::to_string(kind) + ".xls";
        TBrokenExcel broken(kind);
        ASSERT_NO_THROW(Save(name, 2));
        EXPECT_TRUE(Dialogs.Texts().empty());
        EXPECT_EQ(Dump(name), kTwoSheet);
    }
}

// ---- Excel through automation ----

class ExportExcelTest : public ExportTest {
protected:
    // The calls the export makes, in the order of its steps, on a stand-in that numbers objects
    // as it hands them out.
    struct Expect {
        int next = 1;
        std::string log = "create -> o0\n";
        int Get(int on, const std::string& what)
        {
            int id = next++;
            log += "o" + std::to_string(on) + " get " + what + " -> o" + std::to_string(id) + "\n";
            return id;
        }
        void Put(int on, const std::string& what) { log += "o" + std::to_string(on) + " put " + what + "\n"; }
        void Call(int on, const std::string& what) { log += "o" + std::to_string(on) + " call " + what + "\n"; }
    };
    static std::string Q(const std::string& s) { return "\"" + s + "\""; }

    // Version: the text the stand-in answers; saveAs: saved in the .xls format rather than as a copy.
    std::string Sequence(const std::vector<Row>& rows, bool layout3, const std::string& fileName,
                         const std::string& version = "16.0", bool saveAs = true)
    {
        Expect e;
        const int app = 0;
        int wbs = e.Get(app, "Workbooks");                        // 2
        e.Get(wbs, "Add(-4167)");
        int wb = e.Get(app, "Workbooks(1)");                      // 3
        int sheet = e.Get(wb, "Worksheets(1)");
        e.Put(sheet, "Name = \"...\"");                          // 4
        e.Put(sheet, "Cells(1,2) = " + Q("Прибор:Регистратор РС-20"));  // 5
        const int widths[3] = {20, 40, 30};                       // 6
        for (int c = 1; c <= 3; ++c)
            e.Put(e.Get(sheet, "Columns(" + std::to_string(c) + ")"), "ColumnWidth = " + std::to_string(widths[c - 1]));
        int c24 = e.Get(sheet, "Cells(2,4)");                     // 7
        int c21 = e.Get(sheet, "Cells(2,1)");
        int range = e.Get(sheet, "Range(o" + std::to_string(c21) + ",o" + std::to_string(c24) + ")");
        e.Put(e.Get(range, "Font"), "Bold = true");
        e.Put(sheet, "Cells(2,1) = " + Q("Дата время"));         // 9
        e.Put(sheet, "Cells(2,2) = " + Q("Название параметра"));
        if (layout3) {
            e.Put(sheet, "Cells(2,3) = " + Q("Значение до"));
            e.Put(sheet, "Cells(2,4) = " + Q("Значение после"));
        } else {
            e.Put(sheet, "Cells(2,3) = " + Q("Значение"));
        }
        for (size_t r = 0; r < rows.size(); ++r) {                // 10
            const std::string x = std::to_string(r + 3);
            e.Put(sheet, "Cells(" + x + ",1) = " + Q(rows[r].c[1]));
            e.Put(sheet, "Cells(" + x + ",2) = " + Q(rows[r].c[2]));
            int last = e.Get(sheet, "Cells(" + x + (layout3 ? ",4)" : ",3)"));
            int first = e.Get(sheet, "Cells(" + x + ",3)");
            int rg = e.Get(sheet, "Range(o" + std::to_string(first) + ",o" + std::to_string(last) + ")");
            e.Put(rg, "NumberFormat = \"@\"");
            if (layout3) {
                e.Put(sheet, "Cells(" + x + ",3) = " + Q(rows[r].c[3]));
                e.Put(sheet, "Cells(" + x + ",4) = " + Q(rows[r].c[4]));
            } else {
                e.Put(sheet, "Cells(" + x + ",3) = " + Q(rows[r].c[4]));
            }
        }
        e.log += "o0 get Version -> " + Q(version) + "\n";        // 11
        if (saveAs) e.Put(app, "DisplayAlerts = false");
        int a1 = e.Get(app, "Application");
        e.Call(e.Get(a1, "ActiveWorkBook"),
               saveAs ? "SaveAs(&" + Q(fileName) + ",56)" : "SaveCopyAs(&" + Q(fileName) + ")");
        int a2 = e.Get(app, "Application");                       // 12
        e.Call(e.Get(a2, "ActiveWorkBook"), "Close(false,null,null)");
        return e.log;
    }
};

TEST_F(ExportExcelTest, CallsAreThoseOfTheStepsInOrder)
{
    TExcelStub stub;
    Layout3(false);
    Fill(kTwo);
    Save("report", 2);
    EXPECT_EQ(stub.Log(), Sequence(kTwo, false, Work.Win("report.xls")));
    // Everything handed out, the application object included, was released again (step 13).
    EXPECT_EQ(stub.LiveObjects(), 0);
    // Excel writes the file itself; the stand-in writer is not used.
    EXPECT_EQ(Work.Listing(), "");
}

TEST_F(ExportExcelTest, LayoutThreeFormatsAndFillsBothValueColumns)
{
    TExcelStub stub;
    Layout3(true);
    Fill(kTwo);
    Save("report.XLS", 2);
    EXPECT_EQ(stub.Log(), Sequence(kTwo, true, Work.Win("report.XLS")));
    EXPECT_EQ(stub.LiveObjects(), 0);
}

TEST_F(ExportExcelTest, EmptyRecordRowGetsEmptyCellsInRowThree)
{
    TExcelStub stub;
    Form->sg->SetRowCount(2);
    Layout3(false);
    Save("e", 2);
    EXPECT_EQ(stub.Log(), Sequence({Row{}}, false, Work.Win("e.xls")));
}

TEST_F(ExportExcelTest, FailingCallStopsTheExportThere)
{
    TExcelStub stub;
    Layout3(false);
    Fill(kTwo);
    stub.FailAt(6);  // the sixth call puts the device line
    try {
        Save("report", 2);
        FAIL() << "no error";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.Message(), "Stub failure");
    }
    const std::string log = stub.Log();
    EXPECT_EQ(log.substr(log.size() - 3), " !\n");
    EXPECT_NE(log.find("put Cells(1,2)"), std::string::npos);
    EXPECT_EQ(log.find("Columns"), std::string::npos);
    EXPECT_EQ(stub.LiveObjects(), 0);
    EXPECT_EQ(Work.Listing(), "");
}

// Excel in a process of its own, as it runs: version 12 and later save in the .xls format rather
// than a copy in the workbook's own format; calls it refuses while busy, or cannot take while a
// cell is being edited, are made again.
TEST_F(ExportExcelTest, OutOfProcessExcelSavesByItsVersionAndOutlastsBusyRefusals)
{
    const struct {
        const char* version;
        int busy;
        bool editingAtSave;  // the save call is answered once with "cannot take it now"
        bool saveAs;
    } cases[] = {{"9.0", 0, false, false}, {"11.0", 0, false, false}, {"12.0", 2, false, true},
                 {"16.0", 0, false, true}, {"16.0", 0, true, true}};
    Layout3(false);
    Fill(kTwo);
    for (const auto& c : cases) {
        const std::string name = std::string("v") + c.version + (c.editingAtSave ? "-editing" : "") + ".xls";
        SCOPED_TRACE(name);
        std::string want = Sequence(kTwo, false, Work.Win(name), c.version, c.saveAs);
        // Line n of the log (the creation is line 0) is the n-th call.
        int editingAt = 0;
        if (c.editingAtSave) {
            const size_t save = want.rfind('\n', want.find(c.saveAs ? " call SaveAs(" : " call SaveCopyAs(")) + 1;
            editingAt = static_cast<int>(std::count(want.begin(), want.begin() + save, '\n'));
            want.insert(save, "editing\n");
        }
        for (int i = 0; i < c.busy; ++i) want.insert(want.find('\n') + 1, "busy\n");
        std::string log;
        {
            TExcelServer excel(Work.Unix() + "-" + name + ".log", c.version, c.busy, editingAt);
            Save(name, 2);
            log = excel.FinalLog();
        }
        // Every object was let go of, so the server ended.
        EXPECT_EQ(log, want + "exit\n");
    }
    // Excel wrote every file itself, and no message was shown.
    EXPECT_EQ(Work.Listing(), "");
    EXPECT_TRUE(Dialogs.Texts().empty());
}

}  // namespace
