#include "MainFormU.h"

#include <algorithm>

#include "Cp1251.h"
#include "DeviceFile.h"
#include "MyFileUtils.h"
#include "Registry.h"
#include "SysUtils.h"
#include "VersionInfo.h"

TForm1* Form1 = nullptr;

namespace {
// The program's path in cp1251, asked for in UTF-16: the ANSI call answers in the system's code
// page. A path that cp1251 cannot hold is tried in its short form; exact is false when that fails
// too (the result then has "?" for what is missing).
std::string ProgramFileName(bool* exact = nullptr)
{
    std::wstring w(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &w[0], static_cast<DWORD>(w.size()));
        if (n < w.size() || w.size() >= 32768) {
            w.resize(std::min<size_t>(n, w.size()));
            break;
        }
        w.resize(w.size() * 2);
    }
    std::string path;
    bool ok = FromWideExact(w, path);
    if (!ok) {
        std::wstring s;
        std::string shortPath;
        if (ShortPathName(w, s) && FromWideExact(s, shortPath)) {
            path = shortPath;
            ok = true;
        }
    }
    if (exact) *exact = ok;
    return path;
}

}  // namespace

TForm1::TForm1(TComponent* AOwner, std::string settingsDir)
    : TForm(AOwner), FSettingsDir(std::move(settingsDir))
{
    VariantInit(&FValue);
    VariantInit(&FRecFormat);
    if (FSettingsDir.empty()) {
        bool exact = true;
        FSettingsDir = ExtractFilePath(ProgramFileName(&exact));
        if (!exact)
            ShowMessage("Имя папки программы содержит знаки, которых нет в кодировке Windows-1251:\n" +
                        FSettingsDir + "\nmain.ini и файлы приборов в ней не будут найдены. "
                        "Переместите программу в папку с другим именем.");
    }
    CreateLayout();
}

TForm1::~TForm1()
{
    // The components go after the controls and may still hear from the server while they
    // unregister: nothing of that may reach this window any more.
    if (RS232) RS232->OnChangeConnected = nullptr;
    if (MBM) MBM->OnExchange = nullptr;
    VariantClear(&FValue);
    VariantClear(&FRecFormat);
}

void TForm1::CreateLayout()
{
    SetName("Form1");
    SetCaption("Чтение журналов приборов");
    SetColor(clBtnFace);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);
    Font().SetColor(clWindowText);
    Constraints().SetMinWidth(750);
    Constraints().SetMaxWidth(750);
    Constraints().SetMinHeight(550);
    Constraints().SetMaxHeight(1024);
    SetBounds(0, 0, 750, 686);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetPosition(poDesktopCenter);
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnDestroy = [this](TObject* s) { FormDestroy(s); };

    auto place = [](TControl* c, TWinControl* parent, const char* name, int l, int t, int w, int h) {
        c->SetName(name);
        c->SetParent(parent);
        c->SetBounds(l, t, w, h);
    };
    // Labels size themselves to their text; only the position is stored.
    auto label = [this](TWinControl* parent, const char* name, const char* caption, int l, int t) {
        auto* c = new TLabel(this);
        c->SetName(name);
        c->SetParent(parent);
        c->SetCaption(caption);
        c->SetLeft(l);
        c->SetTop(t);
        return c;
    };
    auto button = [&](TWinControl* parent, const char* name, const char* caption, int l, int t, int w,
                      int h) {
        auto* c = new TButton(this);
        place(c, parent, name, l, t, w, h);
        c->SetCaption(caption);
        return c;
    };
    auto edit = [&](TWinControl* parent, const char* name, const char* text, int l, int t, int w,
                    int h) {
        auto* c = new TEdit(this);
        place(c, parent, name, l, t, w, h);
        c->SetText(text);
        return c;
    };
    auto bind = [this](auto method) { return [this, method](TObject* s) { (this->*method)(s); }; };

    Panel3 = new TPanel(this);
    Panel3->SetName("Panel3");
    Panel3->SetParent(this);
    Panel3->SetHeight(161);
    Panel3->SetAlign(alTop);
    Panel3->SetCaption("");

    Label3 = label(Panel3, "Label3", "Порт", 4, 9);
    cbxPort = new TComboBox(this);
    place(cbxPort, Panel3, "cbxPort", 36, 5, 119, 21);
    cbxPort->SetText("cbxPort");

    Label2 = label(Panel3, "Label2", "Скорость", 160, 9);
    cbxSpeed = new TComboBox(this);
    place(cbxSpeed, Panel3, "cbxSpeed", 216, 5, 97, 21);
    for (const char* s : {"1200", "2400", "4800", "9600", "19200"}) cbxSpeed->Items().Add(s);
    cbxSpeed->SetItemIndex(4);

    btnRead2 = button(Panel3, "btnRead2", "Считать", 320, 4, 97, 25);
    btnRead2->OnClick = bind(&TForm1::btnRead2Click);
    btnStop2 = button(Panel3, "btnStop2", "Остановить", 424, 4, 89, 25);
    btnStop2->SetEnabled(false);
    btnStop2->OnClick = bind(&TForm1::btnStopClick);

    rgrRsType = new TRadioGroup(this);
    place(rgrRsType, Panel3, "rgrRsType", 8, 32, 129, 33);
    rgrRsType->SetCaption("Тип связи");
    rgrRsType->SetColumns(2);
    rgrRsType->Items().Add("232");
    rgrRsType->Items().Add("485");
    rgrRsType->SetItemIndex(0);

    Label8 = label(Panel3, "Label8", "Адрес:", 167, 42);
    EdtAddr = edit(Panel3, "EdtAddr", "1", 216, 40, 49, 21);
    EdtAddr->OnChange = bind(&TForm1::EdtAddrChange);

    rgTypeJ = new TRadioGroup(this);
    place(rgTypeJ, Panel3, "rgTypeJ", 320, 32, 329, 65);
    rgTypeJ->SetCaption("Тип архива");
    rgTypeJ->Items().Add("Калибровочный журнал (...)");
    rgTypeJ->Items().Add("Сервисный журнал (...)");
    rgTypeJ->SetItemIndex(0);
    rgTypeJ->SetVisible(false);

    Label7 = label(Panel3, "Label7", "Тип прибора:", 8, 76);
    cbxDev = new TComboBox(this);
    place(cbxDev, Panel3, "cbxDev", 80, 72, 130, 21);
    cbxDev->SetText("");
    cbxDev->OnChange = bind(&TForm1::cbxDevChange);

    chbLimit = new TCheckBox(this);
    place(chbLimit, Panel3, "chbLimit", 16, 96, 97, 17);
    chbLimit->SetCaption("Ограничение:");
    chbLimit->OnClick = bind(&TForm1::chbLimitClick);

    // Made after the check box, which overlaps its top edge like a frame caption.
    Panel1 = new TPanel(this);
    place(Panel1, Panel3, "Panel1", 8, 104, 265, 41);
    Panel1->SetCaption("");

    LblStart = label(Panel1, "LblStart", "Начать с", 6, 16);
    LblStart->SetEnabled(false);
    EdtStart = edit(Panel1, "EdtStart", "0", 56, 12, 49, 21);
    EdtStart->SetEnabled(false);
    lblCount = label(Panel1, "lblCount", "Количество", 118, 16);
    lblCount->SetEnabled(false);
    EdtCount = edit(Panel1, "EdtCount", "0", 184, 12, 49, 21);
    EdtCount->SetEnabled(false);

    PBar = new TProgressBar(this);
    place(PBar, Panel3, "PBar", 320, 104, 193, 16);
    PBar->SetSmooth(true);
    PBar->SetMin(0);
    PBar->SetMax(100);

    BtnExcel = button(Panel3, "BtnExcel", "Сохранить...", 518, 101, 131, 21);
    BtnExcel->SetVisible(false);
    BtnExcel->OnClick = bind(&TForm1::BtnExcelClick);

    lblStat = label(Panel3, "lblStat", "...", 320, 120);

    LblVer = new TLabel(this);
    LblVer->SetName("LblVer");
    LblVer->SetParent(Panel3);
    LblVer->SetAlignment(taRightJustify);
    LblVer->SetCaption("Версия:");
    LblVer->SetLeft(323);
    LblVer->SetTop(140);
    LblVer->SetVisible(false);

    Label6 = label(Panel3, "Label6", "...", 480, 88);
    Label6->SetVisible(false);
    Button6 = button(Panel3, "Button6", "Считать версию", 480, 56, 145, 25);
    Button6->SetVisible(false);
    Button6->OnClick = bind(&TForm1::Button6Click);
    BtnConnect2 = button(Panel3, "BtnConnect2", "Подключиться", 488, 128, 97, 25);
    BtnConnect2->SetVisible(false);
    BtnConnect2->OnClick = bind(&TForm1::BtnConnect2Click);
    BtnDisconnect2 = button(Panel3, "BtnDisconnect2", "Отключиться", 592, 128, 89, 25);
    BtnDisconnect2->SetVisible(false);
    BtnDisconnect2->SetEnabled(false);
    BtnDisconnect2->OnClick = bind(&TForm1::BtnDisconnect2Click);

    // The server path's buttons; their handlers come with that path.
    btnConnect = button(Panel3, "btnConnect", "Подключиться (srv)", 512, 0, 97, 25);
    btnConnect->SetVisible(false);
    btnRead = button(Panel3, "btnRead", "Считать (srv)", 512, 32, 97, 25);
    btnRead->SetVisible(false);
    btnRead->SetEnabled(false);
    btnStop = button(Panel3, "btnStop", "Остановить (srv)", 584, 40, 89, 25);
    btnStop->SetVisible(false);
    btnStop->SetEnabled(false);
    btnStop->OnClick = bind(&TForm1::btnStopClick);
    BtnDisconnect = button(Panel3, "BtnDisconnect", "Отключиться (srv)", 584, 8, 89, 25);
    BtnDisconnect->SetVisible(false);
    BtnDisconnect->SetEnabled(false);
    btnConnect->OnClick = bind(&TForm1::btnConnectClick);
    btnRead->OnClick = bind(&TForm1::btnReadClick);
    BtnDisconnect->OnClick = bind(&TForm1::BtnDisconnectClick2);

    // The server path's components, streamed in this order: transport, dialog link, master;
    // references between them are set once all exist.
    RS232 = new TRS232Transport(this);
    RS232->SetName("RS232");
    RS232->SetDisplayName("RS232");
    RS232->SetPort("COM2");
    RS232->SetAnswerDelay(500);
    RS232->OnChangeConnected = [this](TObject* s, bool on) { RS232ChangeConnected(s, on); };
    DlgManager1 = new TDlgManager(this);
    DlgManager1->SetName("DlgManager1");
    MBM = new TModbusMaster(this);
    MBM->SetName("MBM");
    MBM->SetQueryType(qtNormal);
    MBM->OnExchange = [this](TObject* s, int q, int a, int f, OleVariant v, int r) { MBMExchange(s, q, a, f, v, r); };
    RS232->SetDlgManager(DlgManager1);
    DlgManager1->SetMaster(MBM);
    MBM->SetTransport(RS232);

    Panel2 = new TPanel(this);
    Panel2->SetName("Panel2");
    Panel2->SetParent(this);
    Panel2->SetBevelOuter(bvNone);
    Panel2->SetAlign(alClient);
    Panel2->SetCaption("");

    PageControl1 = new TPageControl(this);
    PageControl1->SetName("PageControl1");
    PageControl1->SetParent(Panel2);
    PageControl1->SetAlign(alClient);

    auto sheet = [this](const char* name, const char* caption) {
        auto* t = new TTabSheet(this);
        t->SetName(name);
        t->SetPageControl(PageControl1);
        t->SetCaption(caption);
        return t;
    };
    tsData = sheet("tsData", "Линейный список");
    tsGroup = sheet("tsGroup", "Группировка по типам");
    tsSet = sheet("tsSet", "Типы записей");

    sg = new TStringGrid(this);
    sg->SetName("sg");
    sg->SetParent(tsData);
    sg->SetAlign(alClient);
    sg->SetColCount(5);
    sg->SetRowCount(2);
    sg->SetFixedRows(1);
    sg->SetFixedCols(0);
    sg->SetDefaultRowHeight(16);
    {
        const int widths[] = {31, 124, 305, 119, 110};
        for (int i = 0; i < 5; ++i) sg->SetColWidths(i, widths[i]);
    }
    sg->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect |
                   goColSizing);

    sgGr = new TStringGrid(this);
    sgGr->SetName("sgGr");
    sgGr->SetParent(tsGroup);
    sgGr->SetAlign(alClient);
    sgGr->SetColCount(1);
    sgGr->SetRowCount(2);
    sgGr->SetFixedRows(1);
    sgGr->SetFixedCols(0);
    sgGr->SetDefaultColWidth(120);
    sgGr->SetDefaultRowHeight(32);
    sgGr->OnDrawCell = [this](TObject* s, int c, int r, const TRect& rect, TGridDrawState st) {
        sgGrDrawCell(s, c, r, rect, st);
    };

    sgType = new TStringGrid(this);
    place(sgType, tsSet, "sgType", 0, 4, 713, 297);
    sgType->SetColCount(4);
    sgType->SetRowCount(2);
    sgType->SetFixedCols(0);
    sgType->SetDefaultRowHeight(16);
    {
        const int widths[] = {31, 500, 74, 82};
        for (int i = 0; i < 4; ++i) sgType->SetColWidths(i, widths[i]);
    }
    sgType->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect |
                       goColSizing);
    sgType->OnKeyPress = [this](TObject* s, char& k) { sgTypeKeyPress(s, k); };

    Label5 = label(tsSet, "Label5", "Допустимые типы данных: f, i", 8, 308);
    Label5->SetVisible(false);
    btnSave = button(tsSet, "btnSave", "Сохранить", 8, 328, 97, 25);
    btnSave->SetVisible(false);
    btnSave->OnClick = bind(&TForm1::btnSaveClick);
    btnLoad = button(tsSet, "btnLoad", "Загрузить", 112, 328, 97, 25);
    btnLoad->SetVisible(false);
    btnLoad->OnClick = bind(&TForm1::btnLoadClick);
    btnAddRec = button(tsSet, "btnAddRec", "Добавить запись", 216, 328, 113, 25);
    btnAddRec->SetVisible(false);
    btnAddRec->OnClick = bind(&TForm1::btnAddRecClick);
    btnDelRec = button(tsSet, "btnDelRec", "Удалить запись", 336, 328, 113, 25);
    btnDelRec->SetVisible(false);
    btnDelRec->OnClick = bind(&TForm1::btnDelRecClick);

    PageControl1->SetActivePage(tsData);

    // The record count belongs to the window and stands across the lower edge of the top panel,
    // in front of both panels: a label with a window of its own, so no panel cuts its text.
    lblMaxRec = new TStaticText(this);
    lblMaxRec->SetName("lblMaxRec");
    lblMaxRec->SetParent(this);
    lblMaxRec->SetCaption("...");
    lblMaxRec->SetLeft(8);
    lblMaxRec->SetTop(152);

    OD = new TOpenDialog(this);
    OD->SetName("OD");
    OD->SetFilter("Список параметров журнала|*.jcfg");
    sd = new TSaveDialog(this);
    sd->SetName("sd");
    sd->SetFilter("Список параметров журнала|*.jcfg");
    SDs = new TSaveDialog(this);
    SDs->SetName("SDs");
    SDs->SetFilter("Текстовый файл|*.txt|Excel|*.xls");

    // Read as the stored description has it: made, its properties set in their order (Active
    // skins the controls made above), then Loaded, which registers it with the skin manager.
    FlatSkin1 = new TFlatSkin(this);
    FlatSkin1->SetName("FlatSkin1");
    FlatSkin1->BeginLoading();
    FlatSkin1->SetActive(true);
    FlatSkin1->EndLoading();
}

void TForm1::FormCreate(TObject*)
{
    // A step that fails is reported and the next one still runs: the window must stay usable.
    auto step = [this](auto&& body) {
        try {
            body();
        } catch (const std::exception&) {
            Application->HandleException(this);
        }
    };
    // The label stays hidden; a program without a version resource still starts.
    try {
        std::string exe = GetLongFileName(ProgramFileName());
        if (exe.size() > 255) exe.resize(255);
        TVersionResource ver(exe);
        LblVer->SetCaption("Версия: " + ver.GetKeyString(vkFileVersion));
    } catch (const Exception&) {
        LblVer->SetCaption("Версия: ");
    }

    sg->SetOptions(sg->Options() & ~goColSizing);

    bool bound = false;
    step([&] { bound = BindLinkLibrary(); });
    if (!bound) {
        ShowMessage("Проблемы при подключении к библиотеке\rДальнейшая работа невозможна");
        Application->Terminate();
    }

    step([this] { FillPortList(); });
    EdtAddrChange(EdtAddr);
    FDevices.clear();
    FDevice = nullptr;
    step([this] { LoadSettings(); });

    VariantClear(&FRecFormat);
    if (SAFEARRAY* a = SafeArrayCreateVector(VT_I4, 0, 3)) {
        const LONG values[3] = {19, 18, 19};
        for (LONG i = 0; i < 3; ++i) SafeArrayPutElement(a, &i, const_cast<LONG*>(&values[i]));
        FRecFormat.vt = VT_ARRAY | VT_I4;
        FRecFormat.parray = a;
    }

    sg->SetCells(0, 0, "№");
    sg->SetCells(1, 0, "Время");
    sg->SetCells(2, 0, "Параметр");
    sg->SetCells(4, 0, "Значение новое");
    sg->SetCells(3, 0, "Значение до");
    sgType->SetCells(0, 0, "№");
    sgType->SetCells(1, 0, "Название");
    sgType->SetCells(2, 0, "ID");
    sgType->SetCells(3, 0, "Тип данных");
    sgGr->SetCells(0, 0, "Название");

    step([this] { FillTypeGrid(); });
    FGroups.clear();
    FEventNames.clear();
}

void TForm1::FormDestroy(TObject*)
{
    // Runs while the window is being destroyed: nothing may escape from here.
    try {
        SaveSettings();
    } catch (const std::exception&) {
        Application->HandleException(this);
    }
}

bool TForm1::BindLinkLibrary()
{
    FLib = LoadLibraryW(L"Ravelport.dll");
    if (!FLib) {
        ShowMessage("Библиотека Ravelport.dll не найдена");
        return false;
    }
    auto bind = [this](auto& entry, const char* name) {
        FARPROC p = GetProcAddress(FLib, name);
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            reinterpret_cast<void*>(p));
        return p != nullptr;
    };
    bool all = bind(Connect, "Connect") && bind(Disconnect, "Disconnect") &&
               bind(GetDevName, "GetDevName") && bind(Test, "Test") &&
               bind(ReadInputRegister, "ReadInputRegister") &&
               bind(ReadHoldingRegister, "ReadHoldingRegister") &&
               bind(WriteRegister, "WriteRegister") && bind(AnyFunction, "AnyFunction") &&
               bind(Retries, "Retries");
    if (all) bind(GetErrorMessage, "GetErrorMessage");
    return all;
}

void TForm1::CheckLinkFailure(int32_t result)
{
    if (result != LinkPortFailure) return;
    std::string msg;
    if (GetErrorMessage) {
        int32_t n = GetErrorMessage(nullptr, 0);
        if (n > 0) {
            std::vector<char> buf(static_cast<size_t>(n) + 1);
            GetErrorMessage(buf.data(), static_cast<int32_t>(buf.size()));
            msg.assign(buf.data());
        }
    }
    if (msg.empty()) msg = "Ошибка последовательного порта";
    throw ELinkError(msg);
}

void TForm1::EdtAddrChange(TObject*)
{
    int32_t a;
    if (TryStrToInt(EdtAddr->Text(), a)) {
        FAddr = a;
        EdtAddr->Font().SetColor(clBlack);
        if (MBM) MBM->SetDeviceAddress(FAddr);
    } else {
        FAddr = 1;
        EdtAddr->Font().SetColor(clRed);
    }
}

void TForm1::chbLimitClick(TObject*)
{
    bool on = chbLimit->Checked();
    LblStart->SetEnabled(on);
    lblCount->SetEnabled(on);
    EdtStart->SetEnabled(on);
    EdtCount->SetEnabled(on);
}

uint8_t TForm1::PortNumberFromName(const std::string& name)
{
    if (name.size() < 4) return 1;
    return static_cast<uint8_t>(StrToIntDef(name.substr(3), 1));
}

void TForm1::FillPortList()
{
    // Clearing the box clears its text as well: without ports it must not show the stored text.
    cbxPort->Items().Clear();
    cbxPort->SetText("");
    FPorts.clear();
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly("hardware\\devicemap\\serialcomm")) return;
    TStringList names;
    reg.GetValueNames(names);
    std::vector<std::string> ports;
    for (const std::string& n : names) {
        // A value that is no port name (another data kind) is left out rather than failing start-up.
        try {
            ports.push_back(reg.ReadString(n));
        } catch (const Exception&) {
        }
    }
    reg.CloseKey();
    std::stable_sort(ports.begin(), ports.end(),
                     [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    FPorts.resize(ports.size());
    cbxPort->Items().BeginUpdate();
    for (size_t i = 0; i < ports.size(); ++i) {
        FPorts[i] = PortNumberFromName(ports[i]);
        cbxPort->Items().Add(ports[i]);
    }
    cbxPort->Items().EndUpdate();
    if (!ports.empty()) cbxPort->SetItemIndex(0);
}

void TForm1::AddParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id,
                      const std::string& name, int32_t valType)
{
    ::AddParam(list, id, name, valType);
}

void TForm1::AddListParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id,
                          const std::string& name, const std::string& listText)
{
    ::AddListParam(list, id, name, listText);
}

void TForm1::LoadDevice(TDevInfo& dev, const std::string& fileName)
{
    TIniFile f(fileName);
    TDeviceReadHooks hooks;
    hooks.OnName = [this](const std::string& name) { cbxDev->Items().Add(name); };
    hooks.OnTooManyArchives = [&fileName](int32_t count) {
        ShowMessage(Format("Файл %s описывает архивов: %d. Загружены первые %d.", fileName.c_str(), count,
                           MaxArchives));
    };
    hooks.OnSection = [](int k) { OutputDebugStringA(IntToStr(k).c_str()); };
    ReadDeviceDescription(f, fileName, dev, hooks);
}

void TForm1::LoadSettings()
{
    TIniFile ini(FSettingsDir + "main.ini");
    const std::string S = "Settings";
    if (cbxPort->Items().Count() > 0) {
        std::string last = ini.ReadString(S, "lastcomport", cbxPort->Items().Strings(0));
        for (int i = 0; i < cbxPort->Items().Count(); ++i)
            if (cbxPort->Items().Strings(i) == last) cbxPort->SetItemIndex(i);
    }
    int32_t speed = ini.ReadInteger(S, "lastcomspeed", 0);
    cbxSpeed->SetItemIndex(speed >= 0 && speed < cbxSpeed->Items().Count() ? speed : -1);
    EdtAddr->SetText(IntToStr(ini.ReadInteger(S, "lastaddr", 1)));
    EdtAddrChange(EdtAddr);
    FRetries = ini.ReadInteger(S, "Retries", 5);
    int32_t link = ini.ReadInteger(S, "lastlink", 0);
    rgrRsType->SetItemIndex(link < 0 || link > 1 ? 0 : link);

    cbxDev->Items().Clear();
    bool complete = true;
    int32_t count = ini.ReadInteger("Main", "CountDev", 0);
    for (int32_t i = 1; i <= count; ++i) {
        std::string file = ini.ReadString("Main", "Dev" + IntToStr(i), "qqq");
        if (file == "qqq") break;
        FDevices.push_back(std::make_unique<TDevInfo>());
        try {
            LoadDevice(*FDevices.back(), FSettingsDir + file);
        } catch (const EDeviceFormatError& e) {
            // A half-read device is no use: drop it, keep the ones before, and go on starting.
            FDevices.pop_back();
            if (cbxDev->Items().Count() > static_cast<int>(FDevices.size()))
                cbxDev->Items().Delete(cbxDev->Items().Count() - 1);
            ShowMessage(e.Message());
            complete = false;
            break;
        }
    }
    // After a broken list the stored index may name another device: leave none selected.
    if (complete && cbxDev->Items().Count() > 0) {
        int32_t last = ini.ReadInteger(S, "LastDev", -1);
        cbxDev->SetItemIndex(last >= 0 && last < cbxDev->Items().Count() ? last : -1);
    }
    cbxDevChange(cbxDev);
}

void TForm1::SaveSettings()
{
    TIniFile ini(FSettingsDir + "main.ini");
    const std::string S = "Settings";
    int port = cbxPort->ItemIndex();
    ini.WriteString(S, "lastcomport",
                    port >= 0 && port < cbxPort->Items().Count() ? cbxPort->Items().Strings(port) : "");
    ini.WriteInteger(S, "lastcomspeed", cbxSpeed->ItemIndex());
    try {
        ini.WriteInteger(S, "lastaddr", StrToInt(EdtAddr->Text()));
    } catch (const Exception&) {
    }
    ini.WriteInteger(S, "LastDev", cbxDev->ItemIndex());
    ini.WriteInteger(S, "lastlink", rgrRsType->ItemIndex());
}
