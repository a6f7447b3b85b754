// Saving the list grid as a tab-separated text file or as an Excel workbook.
#include "Cp1251.h"
#include "MainFormU.h"
#include "MyFileUtils.h"
#include "OleAuto.h"
#include "SafeFile.h"
#include "XlsBook.h"

namespace {

std::string WithDefaultExtension(const std::string& fileName, const char* ext)
{
    return ExtractFileExt(fileName).empty() ? fileName + ext : fileName;
}

// Layout 3 keeps an old and a new value. Judged from the archive selected now.
bool OldAndNewValues(const TForm1& f)
{
    if (!f.FDevice) return false;
    int j = f.rgTypeJ->ItemIndex() + 1;
    if (j < 1 || j > MaxArchives) return false;
    return f.FDevice->Archive(j).ArchStandart == 3;
}

// Excel's file format number of the .xls workbook.
const int32_t kXlsFormat = 56;

// The major number of Excel's version text ("11.0", "16.0"); 0 where it has none.
int ExcelMajorVersion(const OleVariant& version)
{
    const std::string text = version.AsString();
    int major = 0;
    for (size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9' && major < 10000; ++i)
        major = major * 10 + (text[i] - '0');
    return major;
}

}  // namespace

void TForm1::BtnExcelClick(TObject*)
{
    if (!SDs->Execute()) return;
    const std::string device = cbxDev->Text();
    const int rows = sg->RowCount();

    if (SDs->FilterIndex() == 1) {
        const std::string fileName = WithDefaultExtension(SDs->FileName(), ".txt");
        // The whole text is built first and then written in one go, so a failure cannot leave
        // a half-written file in place of an earlier one.
        std::string text;
        text.reserve(64 + static_cast<size_t>(rows) * 64);
        text += "Прибор:";
        text += device;
        text += "\r\n";
        for (int r = 1; r < rows; ++r) {
            for (int c = 0; c < 3; ++c) {
                text += sg->Cells(c, r);
                text += '\t';
            }
            if (OldAndNewValues(*this)) {
                text += sg->Cells(3, r);
                text += '\t';
            }
            text += sg->Cells(4, r);
            text += "\r\n";
        }
        WriteWholeFile(fileName, text);
        return;
    }

    // Excel refuses calls while it is busy, starting up above all: for the whole export they are
    // made again for a few seconds before they count as failed.
    TOleRetryFilter retryBusy;

    // Excel counts as started once it has answered its first call. Until then any failure (no
    // such name, a class left registered without a server, a server that does not start, an
    // object that refuses the call) means there is no Excel to use, and nothing is written yet.
    OleVariant app, books;
    try {
        app = CreateOleObject("Excel.Application");
        books = app.Get("Workbooks");
    } catch (const EOleSysError&) {
        books.Clear();
        app.Clear();
    }

    if (app.IsEmpty()) {
        // No Excel on this machine: the same sheet, written by our own workbook writer.
        TXlsSheet sheet("...");
        sheet.SetText(1, 2, "Прибор:" + device);
        sheet.SetColumnWidth(1, 20);
        sheet.SetColumnWidth(2, 40);
        sheet.SetColumnWidth(3, 30);
        sheet.SetBold(2, 1, 4);
        const std::string fileName = WithDefaultExtension(SDs->FileName(), ".xls");
        sheet.SetText(2, 1, "Дата время");
        sheet.SetText(2, 2, "Название параметра");
        if (OldAndNewValues(*this)) {
            sheet.SetText(2, 3, "Значение до");
            sheet.SetText(2, 4, "Значение после");
        } else {
            sheet.SetText(2, 3, "Значение");
        }
        for (int r = 1; r < rows; ++r) {
            const int x = r + 2;
            sheet.SetText(x, 1, sg->Cells(1, r));
            sheet.SetText(x, 2, sg->Cells(2, r));
            if (OldAndNewValues(*this)) {
                sheet.SetTextFormat(x, 3, 4);
                sheet.SetText(x, 3, sg->Cells(3, r));
                sheet.SetText(x, 4, sg->Cells(4, r));
            } else {
                sheet.SetTextFormat(x, 3, 3);
                sheet.SetText(x, 3, sg->Cells(4, r));
            }
        }
        sheet.SaveAs(fileName);
        return;
    }

    books.Get("Add", {-4167});
    books.Clear();
    OleVariant sheet = app.Get("Workbooks", {1}).Get("Worksheets", {1});
    sheet.Put("Name", "...");
    sheet.Put("Cells", {1, 2}, "Прибор:" + device);
    sheet.Get("Columns", {1}).Put("ColumnWidth", 20);
    sheet.Get("Columns", {2}).Put("ColumnWidth", 40);
    sheet.Get("Columns", {3}).Put("ColumnWidth", 30);
    {
        // Arguments are evaluated last first, as the platform's late-bound calls do.
        OleVariant last = sheet.Get("Cells", {2, 4});
        OleVariant first = sheet.Get("Cells", {2, 1});
        // Not FontStyle: that takes the style's localized name, which Excel in another language
        // ignores or refuses.
        sheet.Get("Range", {first, last}).Get("Font").Put("Bold", true);
    }
    const std::string fileName = WithDefaultExtension(SDs->FileName(), ".xls");
    sheet.Put("Cells", {2, 1}, "Дата время");
    sheet.Put("Cells", {2, 2}, "Название параметра");
    if (OldAndNewValues(*this)) {
        sheet.Put("Cells", {2, 3}, "Значение до");
        sheet.Put("Cells", {2, 4}, "Значение после");
    } else {
        sheet.Put("Cells", {2, 3}, "Значение");
    }
    for (int r = 1; r < rows; ++r) {
        const int x = r + 2;
        sheet.Put("Cells", {x, 1}, sg->Cells(1, r));
        sheet.Put("Cells", {x, 2}, sg->Cells(2, r));
        const bool both = OldAndNewValues(*this);
        {
            // The text format goes first, so that values stay texts exactly as shown.
            OleVariant last = sheet.Get("Cells", {x, both ? 4 : 3});
            OleVariant first = sheet.Get("Cells", {x, 3});
            sheet.Get("Range", {first, last}).Put("NumberFormat", "@");
        }
        if (both) {
            sheet.Put("Cells", {x, 3}, sg->Cells(3, r));
            sheet.Put("Cells", {x, 4}, sg->Cells(4, r));
        } else {
            sheet.Put("Cells", {x, 3}, sg->Cells(4, r));
        }
    }
    OleVariant name = fileName;
    // A copy that Excel fails to finish is not left behind as if it were the export.
    const bool existed = GetFileAttributesW(ToWide(fileName).c_str()) != INVALID_FILE_ATTRIBUTES;
    try {
        // From version 12 on a copy keeps the workbook's own format, which is then not .xls:
        // those save as the .xls format (56) instead, replacing an earlier file without asking.
        if (ExcelMajorVersion(app.Get("Version")) >= 12) {
            app.Put("DisplayAlerts", false);
            app.Get("Application").Get("ActiveWorkBook").Call("SaveAs", {OleVariant::ByRef(name), kXlsFormat});
        } else {
            app.Get("Application").Get("ActiveWorkBook").Call("SaveCopyAs", {OleVariant::ByRef(name)});
        }
    } catch (...) {
        if (!existed) DeleteFileW(ToWide(fileName).c_str());
        throw;
    }
    app.Get("Application").Get("ActiveWorkBook").Call("Close", {false, OleVariant::Null(), OleVariant::Null()});
    sheet.Clear();
    app.Clear();
}
