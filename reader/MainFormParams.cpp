// The parameter-list editor of the "Типы записей" page and its ".jcfg" files.
#include "MainFormU.h"
#include "DeviceFile.h"
#include "MyFileUtils.h"

namespace {

std::string TypeName(int32_t valType)
{
    switch (valType) {
    case 2: return "sword";
    case 3: return "slongword";
    case 4: return "float";
    case 16: return "sbyte";
    case 17: return "ubyte";
    case 18: return "uword";
    case 19: return "longword";
    case 256: return "список :";
    default: return "целое";
    }
}

void ClearRow(TStringGrid* g, int row)
{
    for (int c = 0; c < g->ColCount(); ++c) g->SetCells(c, row, "");
}

}  // namespace

void TForm1::FillTypeGrid()
{
    if (!FDevice) return;
    auto& params = FDevice->Params;
    if (params.empty()) {
        sgType->SetRowCount(2);
        ClearRow(sgType, 1);
        return;
    }
    sgType->SetRowCount(static_cast<int>(params.size()) + 1);
    for (size_t i = 0; i < params.size(); ++i) {
        const TRecType& p = *params[i];
        const int row = static_cast<int>(i) + 1;
        sgType->SetCells(0, row, IntToStr(static_cast<int64_t>(i)));
        sgType->SetCells(1, row, p.Name);
        sgType->SetCells(2, row, IntToStr(p.ID));
        sgType->SetCells(3, row, TypeName(p.ValType));
    }
}

void TForm1::ClearParams()
{
    // Events, names and code lists go with their parameters.
    if (FDevice) FDevice->Params.clear();
    sg->SetRowCount(2);
    ClearRow(sg, 1);
    sgType->SetRowCount(2);
    ClearRow(sgType, 1);
    ClearGroups();
}

void TForm1::btnSaveClick(TObject*)
{
    // With no device type selected there is no list to save.
    if (!FDevice) return;
    const int count = static_cast<int>(FDevice->Params.size());
    for (int r = 1; r <= count; ++r) {
        std::string msg;
        const std::string type = UpperCase(sgType->Cells(3, r));
        int32_t id;
        if (type != "I" && type != "F")
            msg = "В строке " + IntToStr(r) + " неверно указан тип параметра.";
        else if (Trim(sgType->Cells(1, r)).empty())
            msg = "В строке " + IntToStr(r) + " не указано название параметра.";
        else if (!TryStrToInt(sgType->Cells(2, r), id))
            msg = "В строке " + IntToStr(r) + " неверно указан адрес параметра.";
        if (!msg.empty()) {
            ShowMessage(msg);
            PageControl1->SetActivePage(tsSet);
            sgType->SetRow(r);
            return;
        }
    }

    OD->SetInitialDir(SettingsDir());
    if (!OD->Execute()) return;
    std::string fileName = OD->FileName();
    if (ExtractFileExt(fileName) != ".jcfg") fileName += ".jcfg";
    TIniFile ini(fileName);
    for (size_t i = 0; i < FDevice->Params.size(); ++i) {
        const TRecType& p = *FDevice->Params[i];
        const std::string section = std::string("s").append(IntToStr(static_cast<int64_t>(i)));
        ini.WriteInteger(section, "addr", p.ID);
        ini.WriteInteger(section, "type", p.ValType);
        ini.WriteString(section, "name", p.Name);
    }
}

void TForm1::btnLoadClick(TObject*)
{
    if (!FDevice) return;
    sd->SetInitialDir(SettingsDir());
    if (!sd->Execute()) return;
    ClearParams();
    TIniFile ini(sd->FileName());
    FDevice->Params = ReadParamList(ini);
    FillTypeGrid();
}

void TForm1::btnAddRecClick(TObject*)
{
    if (!FDevice) return;
    const int n = static_cast<int>(FDevice->Params.size()) + 1;
    auto p = std::make_unique<TRecType>();
    p->ID = 400001;
    p->ValType = 19;
    p->Name = "Параметр" + IntToStr(n);
    const std::string name = p->Name;
    FDevice->Params.push_back(std::move(p));
    sgType->SetRowCount(n + 1);
    sgType->SetCells(0, n, IntToStr(n - 1));
    sgType->SetCells(1, n, name);
    sgType->SetCells(2, n, "400001");
    sgType->SetCells(3, n, "i");
}

void TForm1::btnDelRecClick(TObject*)
{
    if (!FDevice) return;
    const int i = sgType->Row() - 1;
    auto& params = FDevice->Params;
    // The header row or a row past the list selects nothing to delete.
    if (i >= 0 && i < static_cast<int>(params.size())) params.erase(params.begin() + i);
    FillTypeGrid();
}

void TForm1::sgTypeKeyPress(TObject*, char&) {}
