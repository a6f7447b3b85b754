// The parameter-list editor: the type grid, adding and deleting parameters, the checks before
// saving, and ".jcfg" files written and read with the profile functions.
#include "MainFormTestSupport.h"

namespace {

const char* kDevice =
    "[settings]\r\nname=Прибор\r\narchtypecount=1\r\nArchName1=События\r\nArchStandart1=0\r\n"
    "[s0]\r\nID=5\r\nname=Давление\r\ntype=18\r\n"
    "[s1]\r\nID=6\r\nname=Температура\r\ntype=4\r\n";

class ParamsTest : public tt::FormTest {
protected:
    void SetUp() override
    {
        Dir.Write("dev.ini", kDevice);
        Dir.Write("main.ini", "[Settings]\r\nLastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
        Start();
        ASSERT_NE(Form->FDevice, nullptr);
    }
    std::vector<std::unique_ptr<TRecType>>& Params() { return Form->FDevice->Params; }
    std::vector<std::string> GridRow(int r)
    {
        std::vector<std::string> v;
        for (int c = 0; c < 4; ++c) v.push_back(Form->sgType->Cells(c, r));
        return v;
    }
    using Cells = std::vector<std::string>;
};

TEST_F(ParamsTest, GridShowsEveryParameterWithItsTypeName)
{
    ASSERT_EQ(Form->sgType->RowCount(), 3);
    EXPECT_EQ(GridRow(0), (Cells{"№", "Название", "ID", "Тип данных"}));
    EXPECT_EQ(GridRow(1), (Cells{"0", "Давление", "5", "uword"}));
    EXPECT_EQ(GridRow(2), (Cells{"1", "Температура", "6", "float"}));

    const std::pair<int, const char*> names[] = {{2, "sword"},  {3, "slongword"}, {4, "float"},
                                                 {7, "целое"},  {16, "sbyte"},    {17, "ubyte"},
                                                 {18, "uword"}, {19, "longword"}, {256, "список :"},
                                                 {5, "целое"},  {-1, "целое"}};
    Params().resize(1);
    for (auto [code, name] : names) {
        Params()[0]->ValType = code;
        Form->FillTypeGrid();
        EXPECT_EQ(Form->sgType->Cells(3, 1), name) << code;
    }
    Params().clear();
    Form->FillTypeGrid();
    EXPECT_EQ(Form->sgType->RowCount(), 2);
    EXPECT_EQ(GridRow(1), (Cells{"", "", "", ""}));
}

TEST_F(ParamsTest, TwoAddsOnAnEmptyListGiveTwoNumberedRows)
{
    Params().clear();
    Form->FillTypeGrid();
    Form->btnAddRecClick(Form->btnAddRec);
    Form->btnAddRecClick(Form->btnAddRec);
    ASSERT_EQ(Form->sgType->RowCount(), 3);
    EXPECT_EQ(GridRow(1), (Cells{"0", "Параметр1", "400001", "i"}));
    EXPECT_EQ(GridRow(2), (Cells{"1", "Параметр2", "400001", "i"}));
    ASSERT_EQ(Params().size(), 2u);
    for (auto& p : Params()) {
        EXPECT_EQ(p->ID, 400001);
        EXPECT_EQ(p->ValType, 19);
        EXPECT_TRUE(p->Events.empty());
        EXPECT_EQ(p->Values, nullptr);
    }
    Form->FillTypeGrid();
    EXPECT_EQ(Form->sgType->Cells(3, 1), "longword");
}

TEST_F(ParamsTest, DeleteRemovesTheSelectedRowOnly)
{
    Form->btnAddRecClick(Form->btnAddRec);  // Параметр3
    Params()[1]->Events.push_back(TRecEvent{1.0, int32_t(7)});
    Form->sgType->SetRow(2);
    Form->btnDelRecClick(Form->btnDelRec);
    ASSERT_EQ(Params().size(), 2u);
    EXPECT_EQ(Params()[0]->Name, "Давление");
    EXPECT_EQ(Params()[1]->Name, "Параметр3");
    ASSERT_EQ(Form->sgType->RowCount(), 3);
    EXPECT_EQ(GridRow(2), (Cells{"1", "Параметр3", "400001", "longword"}));

    // The last parameter goes as well; the grid keeps one empty row.
    Form->sgType->SetRow(2);
    Form->btnDelRecClick(Form->btnDelRec);
    Form->sgType->SetRow(1);
    Form->btnDelRecClick(Form->btnDelRec);
    EXPECT_TRUE(Params().empty());
    EXPECT_EQ(Form->sgType->RowCount(), 2);
    EXPECT_EQ(GridRow(1), (Cells{"", "", "", ""}));
    // Nothing left to delete: no harm done.
    Form->btnDelRecClick(Form->btnDelRec);
    EXPECT_TRUE(Params().empty());
}

TEST_F(ParamsTest, SavingStopsAtTheFirstBadRowWithItsMessage)
{
    Form->PageControl1->SetActivePage(Form->tsData);
    Form->btnSaveClick(Form->btnSave);  // row 1 reads "uword"
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"В строке 1 неверно указан тип параметра."});
    EXPECT_EQ(Dialogs.Shown.back().Kind, dkShowMessage);
    EXPECT_EQ(Form->PageControl1->ActivePage(), Form->tsSet);
    EXPECT_EQ(Form->sgType->Row(), 1);

    struct Case {
        int row, col;
        std::string text, message;
    } cases[] = {
        {2, 1, " \t\r ", "В строке 2 не указано название параметра."},
        {2, 2, "4x", "В строке 2 неверно указан адрес параметра."},
        {2, 3, "uword", "В строке 2 неверно указан тип параметра."},
    };
    for (const Case& c : cases) {
        Params().resize(2);
        Form->FillTypeGrid();
        for (int r = 1; r <= 2; ++r) Form->sgType->SetCells(3, r, r == 1 ? "I" : "f");
        Form->sgType->SetCells(c.col, c.row, c.text);
        Form->PageControl1->SetActivePage(Form->tsData);
        Form->sgType->SetRow(1);
        Dialogs.Shown.clear();
        Form->btnSaveClick(Form->btnSave);
        ASSERT_EQ(Dialogs.Shown.size(), 1u) << c.message;  // the message; no file dialog
        EXPECT_EQ(Dialogs.Shown[0].Text, c.message);
        EXPECT_EQ(Form->PageControl1->ActivePage(), Form->tsSet);
        EXPECT_EQ(Form->sgType->Row(), c.row);
    }
}

TEST_F(ParamsTest, SavedFileHoldsTheRecordsAndKeepsOtherKeys)
{
    Params().clear();
    Form->btnAddRecClick(Form->btnAddRec);
    Form->btnAddRecClick(Form->btnAddRec);
    Params()[1]->ValType = 4;
    Params()[1]->Name = "Расход";  // the record counts, not the grid's text
    Dir.Write("list.jcfg", "[s5]\r\naddr=9\r\n[s0]\r\nold=1\r\n");
    Dialogs.AnswerFile(Dir / "list.jcfg");
    Form->btnSaveClick(Form->btnSave);
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0].Kind, dkOpenDialog);
    EXPECT_EQ(Dialogs.Shown[0].Filter, "Список параметров журнала|*.jcfg");
    EXPECT_EQ(Dialogs.Shown[0].InitialDir, Form->SettingsDir());
    const std::string f = Dir / "list.jcfg";
    EXPECT_EQ(tt::IniValue(f, "s0", "addr"), "400001");
    EXPECT_EQ(tt::IniValue(f, "s0", "type"), "19");
    EXPECT_EQ(tt::IniValue(f, "s0", "name"), "Параметр1");
    EXPECT_EQ(tt::IniValue(f, "s1", "addr"), "400001");
    EXPECT_EQ(tt::IniValue(f, "s1", "type"), "4");
    EXPECT_EQ(tt::IniValue(f, "s1", "name"), "Расход");
    EXPECT_EQ(tt::IniValue(f, "s0", "old"), "1");
    EXPECT_EQ(tt::IniValue(f, "s5", "addr"), "9");
}

TEST_F(ParamsTest, NamesWithoutTheExactExtensionGetItAppended)
{
    Params().clear();
    Form->btnAddRecClick(Form->btnAddRec);
    for (const char* name : {"list.JCFG", "plain", "ok.jcfg", "x.jcfg.bak"}) {
        Dialogs.AnswerFile(Dir / name);
        Form->btnSaveClick(Form->btnSave);
    }
    for (const char* file : {"list.JCFG.jcfg", "plain.jcfg", "ok.jcfg", "x.jcfg.bak.jcfg"})
        EXPECT_EQ(tt::IniValue(Dir / file, "s0", "addr"), "400001") << file;
    EXPECT_EQ(GetFileAttributesA((Dir / "list.JCFG").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ParamsTest, EmptyListRunsTheDialogAndWritesNothing)
{
    Params().clear();
    Form->FillTypeGrid();
    Dialogs.AnswerFile(Dir / "none.jcfg");
    Form->btnSaveClick(Form->btnSave);
    EXPECT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(GetFileAttributesA((Dir / "none.jcfg").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ParamsTest, CancelledDialogsChangeNothing)
{
    Params().clear();
    Form->btnAddRecClick(Form->btnAddRec);
    Dialogs.CancelFile();
    Form->btnSaveClick(Form->btnSave);
    Dialogs.CancelFile();
    Form->btnLoadClick(Form->btnLoad);
    ASSERT_EQ(Dialogs.Shown.size(), 2u);
    EXPECT_EQ(Dialogs.Shown[1].Kind, dkSaveDialog);
    EXPECT_EQ(Dialogs.Shown[1].InitialDir, Form->SettingsDir());
    ASSERT_EQ(Params().size(), 1u);
    EXPECT_EQ(GridRow(1), (Cells{"0", "Параметр1", "400001", "i"}));
}

TEST_F(ParamsTest, LoadReadsSectionsUntilTheFirstGap)
{
    Dir.Write("l.jcfg",
              "[s0]\r\naddr=10\r\nname=Первый\r\n"           // no type: the default 18
              "[s1]\r\naddr=11\r\ntype=4\r\nname=Второй\r\n"
              "[s2]\r\naddr=12\r\nname=Третий\r\n"           // no type: the one before
              "[s3]\r\naddr=13\r\ntype=abc\r\n"              // not an integer: the one before
              "[s4]\r\naddr=14\r\ntype=256\r\nname=Список\r\n"
              "[s6]\r\naddr=16\r\ntype=2\r\nname=За пропуском\r\n");
    // A read left rows and groups behind; the load clears them.
    Form->sg->SetRowCount(3);
    Form->sg->SetCells(2, 1, "Давление");
    Form->FGroups.push_back(std::make_unique<TRecType>());
    Dialogs.AnswerFile(Dir / "l.jcfg");
    Form->btnLoadClick(Form->btnLoad);

    ASSERT_EQ(Params().size(), 5u);
    const int ids[] = {10, 11, 12, 13, 14}, types[] = {18, 4, 4, 4, 256};
    const char* names[] = {"Первый", "Второй", "Третий", "", "Список"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(Params()[i]->ID, ids[i]) << i;
        EXPECT_EQ(Params()[i]->ValType, types[i]) << i;
        EXPECT_EQ(Params()[i]->Name, names[i]) << i;
        EXPECT_EQ(Params()[i]->Values, nullptr) << i;  // 256 from a .jcfg has no code texts
    }
    ASSERT_EQ(Form->sgType->RowCount(), 6);
    EXPECT_EQ(GridRow(5), (Cells{"4", "Список", "14", "список :"}));
    EXPECT_EQ(Form->sg->RowCount(), 2);
    EXPECT_EQ(Form->sg->Cells(2, 1), "");
    EXPECT_TRUE(Form->FGroups.empty());
}

TEST_F(ParamsTest, LoadOfAMissingFileLeavesAnEmptyList)
{
    Dialogs.AnswerFile(Dir / "nosuch.jcfg");
    Form->btnLoadClick(Form->btnLoad);
    EXPECT_TRUE(Params().empty());
    EXPECT_EQ(Form->sgType->RowCount(), 2);
    EXPECT_EQ(GridRow(1), (Cells{"", "", "", ""}));
}

TEST_F(ParamsTest, WithoutADeviceTheButtonsDoNothing)
{
    Form->FDevice = nullptr;
    Form->btnAddRecClick(Form->btnAddRec);
    Form->btnDelRecClick(Form->btnDelRec);
    Form->btnSaveClick(Form->btnSave);
    Form->btnLoadClick(Form->btnLoad);
    EXPECT_TRUE(Dialogs.Shown.empty());
    EXPECT_EQ(Form->FDevices[0]->Params.size(), 2u);
    char key = 'x';
    Form->sgTypeKeyPress(Form->sgType, key);
    EXPECT_EQ(key, 'x');
}

}  // namespace
