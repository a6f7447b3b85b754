// A one-sheet workbook written as an .xls file of our own (BIFF8 records in a compound file),
// for machines where no spreadsheet program answers to automation. It holds only what the
// export puts into a workbook: text cells, a bold row range, a text number format, column widths.
// Free of the windowing layer; SaveAs is the only part that touches the file system.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "SysUtils.h"

class TXlsSheet {
public:
    // The most rows and columns a sheet of this format holds.
    static constexpr int MaxRows = 65536;
    static constexpr int MaxCols = 256;
    static constexpr int MaxTextLength = 32767;

    explicit TXlsSheet(std::string sheetName);

    // Rows and columns count from 1, as the automation calls count them.
    // A text of cp1251 bytes; an empty text leaves a formatted blank cell (or nothing).
    void SetText(int row, int col, const std::string& text);
    // Width in characters of the standard font.
    void SetColumnWidth(int col, double chars);
    void SetBold(int row, int colFirst, int colLast);
    void SetTextFormat(int row, int colFirst, int colLast);

    // The whole file as bytes.
    std::string Build() const;
    // Writes through a temporary file beside the target and renames it into place, so a failure
    // never leaves a partial file under the target's name.
    void SaveAs(const std::string& fileName) const;

private:
    enum : uint8_t { fmtBold = 1, fmtText = 2 };
    struct TCell {
        int32_t Sst = -1;  // index into the shared strings, -1: no text
        uint8_t Format = 0;
    };
    TCell& CellAt(int row, int col);
    void CheckPlace(int row, int col) const;

    std::string FName;
    std::vector<std::vector<TCell>> FRows;  // index 0 is row 1
    std::vector<double> FWidths;            // index 0 is column 1; 0: not set
    std::vector<std::string> FStrings;      // shared strings in order of first use
    std::unordered_map<std::string, int32_t> FStringIndex;
    uint32_t FStringRefs = 0;
};

// cp1251 bytes to UTF-16 code units.
std::u16string Cp1251ToUtf16(const std::string& s);
