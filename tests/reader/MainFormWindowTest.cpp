// The main window as start-up leaves it: layout, bindings, headers, address and range controls,
// the version label and the bound link library.
#include "MainFormTestSupport.h"

using tt::FormTest;

namespace {

struct Placed {
    const char* name;
    int left, top, width, height;  // width/height -1: sized by its text
    const char* caption;
    bool visible, enabled;
};

// The stored layout; a control out of place or in the wrong state is a visible fault.
const Placed Layout[] = {
    {"Label3", 4, 9, -1, -1, "Порт", true, true},
    {"cbxPort", 36, 5, 119, 21, nullptr, true, true},
    {"Label2", 160, 9, -1, -1, "Скорость", true, true},
    {"cbxSpeed", 216, 5, 97, 21, nullptr, true, true},
    {"btnRead2", 320, 4, 97, 25, "Считать", true, true},
    {"btnStop2", 424, 4, 89, 25, "Остановить", true, false},
    {"rgrRsType", 8, 32, 129, 33, "Тип связи", true, true},
    {"Label8", 167, 42, -1, -1, "Адрес:", true, true},
    {"EdtAddr", 216, 40, 49, 21, "1", true, true},
    {"Label7", 8, 76, -1, -1, "Тип прибора:", true, true},
    {"cbxDev", 80, 72, 130, 21, nullptr, true, true},
    {"chbLimit", 16, 96, 97, 17, "Ограничение:", true, true},
    {"Panel1", 8, 104, 265, 41, "", true, true},
    {"LblStart", 6, 16, -1, -1, "Начать с", true, false},
    {"EdtStart", 56, 12, 49, 21, "0", true, false},
    {"lblCount", 118, 16, -1, -1, "Количество", true, false},
    {"EdtCount", 184, 12, 49, 21, "0", true, false},
    {"PBar", 320, 104, 193, 16, nullptr, true, true},
    {"BtnExcel", 518, 101, 131, 21, "Сохранить...", false, true},
    {"lblStat", 320, 120, -1, -1, "...", true, true},
    {"Label6", 480, 88, -1, -1, "...", false, true},
    {"Button6", 480, 56, 145, 25, "Считать версию", false, true},
    {"BtnConnect2", 488, 128, 97, 25, "Подключиться", false, true},
    {"BtnDisconnect2", 592, 128, 89, 25, "Отключиться", false, false},
    {"btnConnect", 512, 0, 97, 25, "Подключиться (srv)", false, true},
    {"btnRead", 512, 32, 97, 25, "Считать (srv)", false, false},
    {"btnStop", 584, 40, 89, 25, "Остановить (srv)", false, false},
    {"BtnDisconnect", 584, 8, 89, 25, "Отключиться (srv)", false, false},
    {"lblMaxRec", 8, 152, -1, -1, "...", true, true},
    {"sgType", 0, 4, 713, 297, nullptr, true, true},
    {"Label5", -1, -1, -1, -1, "Допустимые типы данных: f, i", false, true},
    {"btnSave", -1, -1, -1, -1, "Сохранить", false, true},
    {"btnLoad", -1, -1, -1, -1, "Загрузить", false, true},
    {"btnAddRec", -1, -1, -1, -1, "Добавить запись", false, true},
    {"btnDelRec", -1, -1, -1, -1, "Удалить запись", false, true},
};

}  // namespace

TEST_F(FormTest, ControlsStandWhereTheLayoutPutsThem)
{
    Start();
    for (const Placed& p : Layout) {
        SCOPED_TRACE(p.name);
        auto* c = dynamic_cast<TControl*>(Form->FindComponent(p.name));
        ASSERT_NE(c, nullptr);
        if (p.left >= 0) {
            EXPECT_EQ(c->Left(), p.left);
            EXPECT_EQ(c->Top(), p.top);
        }
        if (p.width >= 0) {
            EXPECT_EQ(c->Width(), p.width);
            EXPECT_EQ(c->Height(), p.height);
        }
        if (p.caption) {
            EXPECT_EQ(c->Caption(), p.caption);
        }
        EXPECT_EQ(c->Visible(), p.visible);
        EXPECT_EQ(c->Enabled(), p.enabled);
    }
    // Parents decide where a control shows.
    EXPECT_EQ(Form->lblMaxRec->Parent(), Form);
    EXPECT_EQ(Form->LblStart->Parent(), Form->Panel1);
    EXPECT_EQ(Form->EdtCount->Parent(), Form->Panel1);
    EXPECT_EQ(Form->btnRead2->Parent(), Form->Panel3);
    EXPECT_EQ(Form->sg->Parent(), Form->tsData);
    EXPECT_EQ(Form->sgGr->Parent(), Form->tsGroup);
    EXPECT_EQ(Form->sgType->Parent(), Form->tsSet);
    EXPECT_EQ(Form->PageControl1->Parent(), Form->Panel2);
}

TEST_F(FormTest, WindowFrameAndPanels)
{
    Start();
    EXPECT_EQ(Form->Caption(), "Чтение журналов приборов");
    EXPECT_EQ(Form->Width(), 750);
    EXPECT_EQ(Form->Height(), 686);
    EXPECT_EQ(Form->Constraints().MinWidth(), 750);
    EXPECT_EQ(Form->Constraints().MaxWidth(), 750);
    EXPECT_EQ(Form->Constraints().MinHeight(), 550);
    EXPECT_EQ(Form->Constraints().MaxHeight(), 1024);
    EXPECT_EQ(Form->BorderIcons(), static_cast<TBorderIcons>(biSystemMenu | biMinimize));
    EXPECT_EQ(Form->Position(), poDesktopCenter);
    EXPECT_EQ(Form->Font().Name(), "MS Sans Serif");
    EXPECT_EQ(Form->Font().Height(), -11);
    EXPECT_EQ(Form->Panel3->Align(), alTop);
    EXPECT_EQ(Form->Panel3->Height(), 161);
    EXPECT_EQ(Form->Panel2->Align(), alClient);
    EXPECT_EQ(Form->Panel2->BevelOuter(), bvNone);
    EXPECT_EQ(Form->PageControl1->Align(), alClient);
}

// The count stands across the top panel's lower edge; no panel may cut a row of its text.
TEST_F(FormTest, RecordCountShowsWholeInFrontOfThePanels)
{
    Start();
    Form->Show();
    Form->lblMaxRec->SetCaption("Количество записей: 300");
    const int w = Form->lblMaxRec->Width(), h = Form->lblMaxRec->Height();
    ASSERT_GT(Form->lblMaxRec->Top() + h, Form->Panel3->Height()) << "the text reaches below the top panel";
    const HWND label = Form->lblMaxRec->Handle();
    for (TPoint p : {TPoint{1, 1}, TPoint{w - 2, h - 1}, TPoint{1, h - 1}}) {
        POINT q{Form->lblMaxRec->Left() + p.X, Form->lblMaxRec->Top() + p.Y};
        EXPECT_EQ(ChildWindowFromPointEx(Form->Handle(), q, CWP_SKIPINVISIBLE), label) << p.X << "," << p.Y;
    }
    // Nor does the label's own edge cut the last digit: its last column is background.
    UpdateWindow(label);
    HDC dc = GetDC(label);
    for (int y = 0; y < h; ++y) EXPECT_EQ(GetPixel(dc, w - 1, y), GetSysColor(COLOR_BTNFACE)) << y;
    ReleaseDC(label, dc);
    Form->Hide();
}

TEST_F(FormTest, ChoicesAndSheetsAtStart)
{
    Start();
    ASSERT_EQ(Form->cbxSpeed->Items().Count(), 5);
    const char* speeds[] = {"1200", "2400", "4800", "9600", "19200"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Form->cbxSpeed->Items().Strings(i), speeds[i]);
    ASSERT_EQ(Form->rgrRsType->Items().Count(), 2);
    EXPECT_EQ(Form->rgrRsType->Items().Strings(0), "232");
    EXPECT_EQ(Form->rgrRsType->Items().Strings(1), "485");
    EXPECT_EQ(Form->rgrRsType->Columns(), 2);
    EXPECT_EQ(Form->rgTypeJ->Caption(), "Тип архива");
    EXPECT_FALSE(Form->rgTypeJ->Visible());
    EXPECT_TRUE(Form->PBar->Smooth());
    EXPECT_EQ(Form->PBar->Max(), 100);
    EXPECT_EQ(Form->PBar->Position(), 0);

    ASSERT_EQ(Form->PageControl1->PageCount(), 3);
    EXPECT_EQ(Form->PageControl1->Pages(0)->Caption(), "Линейный список");
    EXPECT_EQ(Form->PageControl1->Pages(1)->Caption(), "Группировка по типам");
    EXPECT_EQ(Form->PageControl1->Pages(2)->Caption(), "Типы записей");
    EXPECT_EQ(Form->PageControl1->ActivePage(), Form->tsData);

    EXPECT_EQ(Form->OD->Filter(), "Список параметров журнала|*.jcfg");
    EXPECT_EQ(Form->sd->Filter(), "Список параметров журнала|*.jcfg");
    EXPECT_EQ(Form->SDs->Filter(), "Текстовый файл|*.txt|Excel|*.xls");
}

TEST_F(FormTest, GridHeadersWidthsAndSizing)
{
    Start();
    const char* sgHead[] = {"№", "Время", "Параметр", "Значение до", "Значение новое"};
    ASSERT_EQ(Form->sg->ColCount(), 5);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(Form->sg->Cells(c, 0), sgHead[c]) << c;
    const int sgWidths[] = {31, 124, 305, 119, 110};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(Form->sg->ColWidths(c), sgWidths[c]) << c;
    EXPECT_EQ(Form->sg->FixedRows(), 1);
    EXPECT_EQ(Form->sg->FixedCols(), 0);
    EXPECT_EQ(Form->sg->DefaultRowHeight(), 16);
    EXPECT_EQ(Form->sg->Options() & goColSizing, 0u) << "the list's columns are fixed";
    EXPECT_NE(Form->sg->Options() & goRangeSelect, 0u);
    EXPECT_NE(Form->sg->Options() & goVertLine, 0u);

    const char* typeHead[] = {"№", "Название", "ID", "Тип данных"};
    ASSERT_EQ(Form->sgType->ColCount(), 4);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Form->sgType->Cells(c, 0), typeHead[c]) << c;
    const int typeWidths[] = {31, 500, 74, 82};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Form->sgType->ColWidths(c), typeWidths[c]) << c;
    EXPECT_NE(Form->sgType->Options() & goColSizing, 0u) << "the editor's columns can be sized";

    EXPECT_EQ(Form->sgGr->ColCount(), 1);
    EXPECT_EQ(Form->sgGr->Cells(0, 0), "Название");
    EXPECT_EQ(Form->sgGr->ColWidths(0), 120);
    EXPECT_EQ(Form->sgGr->DefaultRowHeight(), 32);
    EXPECT_TRUE(static_cast<bool>(Form->sgGr->OnDrawCell));
}

TEST_F(FormTest, AddressTextDecidesColourAndAddress)
{
    Start();
    EXPECT_EQ(Form->FAddr, 1);
    Form->EdtAddr->SetText("12a");
    EXPECT_EQ(Form->FAddr, 1);
    EXPECT_EQ(ColorToRGB(Form->EdtAddr->Font().Color()), RGB(255, 0, 0));
    Form->EdtAddr->SetText("12");
    EXPECT_EQ(Form->FAddr, 12);
    EXPECT_EQ(ColorToRGB(Form->EdtAddr->Font().Color()), RGB(0, 0, 0));
    // No range check here; hexadecimal is an integer as well.
    Form->EdtAddr->SetText("$1F");
    EXPECT_EQ(Form->FAddr, 31);
    Form->EdtAddr->SetText("300");
    EXPECT_EQ(Form->FAddr, 300);
    Form->EdtAddr->SetText("");
    EXPECT_EQ(Form->FAddr, 1);
    EXPECT_EQ(ColorToRGB(Form->EdtAddr->Font().Color()), RGB(255, 0, 0));
}

TEST_F(FormTest, LimitCheckBoxEnablesTheRange)
{
    Start();
    TControl* range[] = {Form->LblStart, Form->lblCount, Form->EdtStart, Form->EdtCount};
    for (TControl* c : range) EXPECT_FALSE(c->Enabled()) << c->Name();
    Form->chbLimit->Click();
    ASSERT_TRUE(Form->chbLimit->Checked());
    for (TControl* c : range) EXPECT_TRUE(c->Enabled()) << c->Name();
    Form->chbLimit->Click();
    ASSERT_FALSE(Form->chbLimit->Checked());
    for (TControl* c : range) EXPECT_FALSE(c->Enabled()) << c->Name();
}

TEST_F(FormTest, ControlsReachTheirHandlers)
{
    Dir.Write("dev.ini", "[settings]\r\nname=D\r\n[s0]\r\nID=5\r\nname=P\r\n");
    Dir.Write("main.ini", "[Settings]\r\nLastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
    Start();
    ASSERT_NE(Form->FDevice, nullptr);
    // The editor's buttons act on the selected device's list.
    Form->btnAddRec->Click();
    ASSERT_EQ(Form->FDevice->Params.size(), 2u);
    EXPECT_EQ(Form->FDevice->Params[1]->Name, "Параметр2");
    Form->sgType->SetRow(2);
    Form->btnDelRec->Click();
    ASSERT_EQ(Form->FDevice->Params.size(), 1u);
    EXPECT_EQ(Form->FDevice->Params[0]->Name, "P");
    // Save checks the list first ("uword" is no editor type); load and the export ask for a
    // file, each with its own filter (cancelled here).
    Form->btnSave->Click();
    Form->btnLoad->Click();
    Form->BtnExcel->Click();
    ASSERT_EQ(Dialogs.Shown.size(), 3u);
    EXPECT_EQ(Dialogs.Shown[0].Kind, dkShowMessage);
    EXPECT_EQ(Dialogs.Shown[1].Kind, dkSaveDialog);
    EXPECT_EQ(Dialogs.Shown[1].Filter, "Список параметров журнала|*.jcfg");
    EXPECT_EQ(Dialogs.Shown[2].Kind, dkSaveDialog);
    EXPECT_EQ(Dialogs.Shown[2].Filter, "Текстовый файл|*.txt|Excel|*.xls");
    // Both stop buttons end a read.
    for (TButton* stop : {Form->btnStop2, Form->btnStop}) {
        SCOPED_TRACE(stop->Name());
        Form->FReading = true;
        stop->Click();
        EXPECT_FALSE(Form->FReading);
    }
    // A change in the device box hides the export again.
    Form->BtnExcel->SetVisible(true);
    Form->cbxDev->Change();
    EXPECT_FALSE(Form->BtnExcel->Visible());
}

TEST_F(FormTest, VersionLabelShowsTheProgramsFileVersion)
{
    Start();
    // This test program carries its own version resource (MainFormTest.rc).
    EXPECT_EQ(Form->LblVer->Caption(), "Версия: 7.6.5.4");
    EXPECT_FALSE(Form->LblVer->Visible());
    EXPECT_EQ(Form->LblVer->Alignment(), taRightJustify);
}

TEST_F(FormTest, LinkLibraryBoundByName)
{
    // Ravelport.dll lies beside this test program.
    Start();
    EXPECT_TRUE(Dialogs.Texts().empty());
    ASSERT_NE(Form->FLib, nullptr);
    EXPECT_NE(Form->Connect, nullptr);
    EXPECT_NE(Form->Disconnect, nullptr);
    EXPECT_NE(Form->GetDevName, nullptr);
    EXPECT_NE(Form->ReadInputRegister, nullptr);
    EXPECT_NE(Form->ReadHoldingRegister, nullptr);
    EXPECT_NE(Form->WriteRegister, nullptr);
    EXPECT_NE(Form->AnyFunction, nullptr);
    EXPECT_NE(Form->Retries, nullptr);
    ASSERT_NE(Form->Test, nullptr);
    EXPECT_EQ(Form->Test(), 56);
    EXPECT_FALSE(Application->Terminated());
    // Link result codes pass; only a failed port becomes an error of the program's own.
    EXPECT_NE(Form->GetErrorMessage, nullptr);
    EXPECT_NO_THROW(Form->CheckLinkFailure(0));
    EXPECT_NO_THROW(Form->CheckLinkFailure(16));
    EXPECT_THROW(Form->CheckLinkFailure(LinkPortFailure), ELinkError);
}

TEST_F(FormTest, RecordFormatForTheServerPath)
{
    Start();
    ASSERT_EQ(Form->FRecFormat.vt, VT_ARRAY | VT_I4);
    LONG lo = -1, hi = -1;
    SafeArrayGetLBound(Form->FRecFormat.parray, 1, &lo);
    SafeArrayGetUBound(Form->FRecFormat.parray, 1, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 2);
    const LONG want[] = {19, 18, 19};
    for (LONG i = 0; i < 3; ++i) {
        LONG v = 0;
        SafeArrayGetElement(Form->FRecFormat.parray, &i, &v);
        EXPECT_EQ(v, want[i]) << i;
    }
}
