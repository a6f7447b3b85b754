#include "XlsBook.h"

#include <algorithm>
#include <cmath>

#include "SafeFile.h"

namespace {

// cp1251 0x80..0xFF; 0x98 has no character and maps to itself, as the system conversion does.
const char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// Record ids of the format.
enum : uint16_t {
    rBOF = 0x0809, rEOF = 0x000A, rCODEPAGE = 0x0042, rWINDOW1 = 0x003D, rDATEMODE = 0x0022,
    rFONT = 0x0031, rXF = 0x00E0, rSTYLE = 0x0293, rBOUNDSHEET = 0x0085, rSST = 0x00FC,
    rCONTINUE = 0x003C, rEXTSST = 0x00FF, rDEFCOLWIDTH = 0x0055, rCOLINFO = 0x007D,
    rDIMENSIONS = 0x0200, rLABELSST = 0x00FD, rBLANK = 0x0201, rWINDOW2 = 0x023E,
};

// Longest record body; longer data goes on in CONTINUE records.
constexpr size_t kMaxRecordData = 8224;

// Cell formats: 15 the default cell format, then bold, text, bold text.
constexpr uint16_t kXfDefault = 15;
constexpr uint16_t kXfFirstCell = 15;

inline void Put8(std::string& b, unsigned v) { b.push_back(static_cast<char>(v & 0xFF)); }
inline void Put16(std::string& b, unsigned v)
{
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Patch16(std::string& b, size_t at, unsigned v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Patch32(std::string& b, size_t at, uint32_t v)
{
    Patch16(b, at, v & 0xFFFF);
    Patch16(b, at + 2, v >> 16);
}

// Opens a record whose length is patched by EndRecord.
inline size_t BeginRecord(std::string& b, uint16_t id)
{
    size_t at = b.size();
    Put16(b, id);
    Put16(b, 0);
    return at;
}
inline void EndRecord(std::string& b, size_t at) { Patch16(b, at + 2, static_cast<unsigned>(b.size() - at - 4)); }

bool IsAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

void PutBof(std::string& b, uint16_t kind)
{
    size_t r = BeginRecord(b, rBOF);
    Put16(b, 0x0600);  // BIFF8
    Put16(b, kind);
    Put16(b, 0x0DBB);
    Put16(b, 0x07CC);
    Put32(b, 0);
    Put32(b, 0x06);
    EndRecord(b, r);
}

void PutEof(std::string& b)
{
    Put16(b, rEOF);
    Put16(b, 0);
}

void PutFont(std::string& b, bool bold)
{
    size_t r = BeginRecord(b, rFONT);
    Put16(b, 200);           // 10 points in twips
    Put16(b, bold ? 0x0001 : 0);  // the bold bit as well as the weight: readers look at either
    Put16(b, 0x7FFF);        // automatic colour
    Put16(b, bold ? 700 : 400);
    Put16(b, 0);             // no super- or subscript
    Put8(b, 0);              // no underline
    Put8(b, 2);              // swiss family
    Put8(b, 204);            // Cyrillic character set
    Put8(b, 0);
    Put8(b, 5);
    Put8(b, 0);              // 8-bit characters
    b += "Arial";
    EndRecord(b, r);
}

void PutXf(std::string& b, uint16_t font, uint16_t format, bool style, uint8_t used)
{
    size_t r = BeginRecord(b, rXF);
    Put16(b, font);
    Put16(b, format);
    Put16(b, style ? 0xFFF5 : 0x0001);  // locked; a style has no parent, a cell the Normal style
    Put8(b, 0x20);                      // bottom aligned
    Put8(b, 0);
    Put8(b, 0);
    Put8(b, used);
    Put32(b, 0);                        // no borders
    Put32(b, 0);
    Put16(b, 0x20C0);                   // automatic pattern colours
    EndRecord(b, r);
}

// Name of up to 255 characters with an 8-bit length.
void PutShortText(std::string& b, const std::string& s)
{
    size_t n = std::min<size_t>(s.size(), 255);
    Put8(b, static_cast<unsigned>(n));
    if (IsAscii(s)) {
        Put8(b, 0);
        b.append(s, 0, n);
    } else {
        Put8(b, 1);
        std::u16string w = Cp1251ToUtf16(s.substr(0, n));
        for (char16_t c : w) Put16(b, c);
    }
}

// Wraps the workbook stream into a compound file of 512-byte sectors: the stream first, then one
// directory sector, then the allocation table and, for large files, its extension sectors.
std::string WrapCompound(std::string stream)
{
    constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD,
                       kDifSect = 0xFFFFFFFC, kNoStream = 0xFFFFFFFF;
    // Streams below 4096 bytes would belong in the short-stream container; padding avoids it.
    if (stream.size() < 4096) stream.resize(4096, '\0');
    const uint32_t streamSize = static_cast<uint32_t>(stream.size());
    const uint32_t S = (streamSize + 511) / 512;
    uint32_t F = 1, X = 0;
    for (;;) {
        X = F > 109 ? (F - 109 + 126) / 127 : 0;
        if (F * 128 >= S + 1 + F + X) break;
        ++F;
    }
    const uint32_t dirSect = S, fatFirst = S + 1, difFirst = S + 1 + F;

    std::vector<uint32_t> fat(static_cast<size_t>(F) * 128, kFree);
    for (uint32_t i = 0; i + 1 < S; ++i) fat[i] = i + 1;
    fat[S - 1] = kEnd;
    fat[dirSect] = kEnd;
    for (uint32_t k = 0; k < F; ++k) fat[fatFirst + k] = kFatSect;
    for (uint32_t k = 0; k < X; ++k) fat[difFirst + k] = kDifSect;

    std::string out;
    out.reserve(512 + (static_cast<size_t>(S) + 1 + F + X) * 512);
    // Header.
    out += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    out.append(16, '\0');
    Put16(out, 0x003E);
    Put16(out, 0x0003);
    Put16(out, 0xFFFE);
    Put16(out, 9);   // 512-byte sectors
    Put16(out, 6);   // 64-byte short sectors
    out.append(6, '\0');
    Put32(out, 0);   // directory sectors: not counted in version 3
    Put32(out, F);
    Put32(out, dirSect);
    Put32(out, 0);
    Put32(out, 4096);
    Put32(out, kEnd);  // no short-sector table
    Put32(out, 0);
    Put32(out, X ? difFirst : kEnd);
    Put32(out, X);
    for (uint32_t k = 0; k < 109; ++k) Put32(out, k < F ? fatFirst + k : kFree);

    out += stream;
    out.append((static_cast<size_t>(S) * 512) - stream.size(), '\0');

    // Directory: the root storage, the workbook stream, two unused entries.
    auto entry = [&out](const std::u16string& name, uint8_t type, uint32_t child, uint32_t start,
                        uint32_t size) {
        size_t at = out.size();
        for (char16_t c : name) Put16(out, c);
        out.resize(at + 64, '\0');
        Put16(out, name.empty() ? 0 : static_cast<unsigned>((name.size() + 1) * 2));
        Put8(out, type);
        Put8(out, 1);  // black
        Put32(out, kNoStream);
        Put32(out, kNoStream);
        Put32(out, child);
        out.append(16 + 4 + 16, '\0');  // class id, state bits, times
        Put32(out, start);
        Put32(out, size);
        Put32(out, 0);
    };
    entry(u"Root Entry", 5, 1, kEnd, 0);
    entry(u"Workbook", 2, kNoStream, 0, streamSize);
    entry(u"", 0, kNoStream, 0, 0);
    entry(u"", 0, kNoStream, 0, 0);

    for (uint32_t v : fat) Put32(out, v);
    for (uint32_t k = 0; k < X; ++k) {
        for (uint32_t j = 0; j < 127; ++j) {
            uint32_t idx = 109 + k * 127 + j;
            Put32(out, idx < F ? fatFirst + idx : kFree);
        }
        Put32(out, k + 1 < X ? difFirst + k + 1 : kEnd);
    }
    return out;
}

}  // namespace

std::u16string Cp1251ToUtf16(const std::string& s)
{
    std::u16string w;
    w.resize(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        w[i] = c < 0x80 ? static_cast<char16_t>(c) : kCp1251High[c - 0x80];
    }
    return w;
}

TXlsSheet::TXlsSheet(std::string sheetName) : FName(std::move(sheetName)) {}

void TXlsSheet::CheckPlace(int row, int col) const
{
    if (row < 1 || row > MaxRows)
        throw Exception(Format("Строка %d не помещается на лист: на листе не более %d строк", row, MaxRows));
    if (col < 1 || col > MaxCols)
        throw Exception(Format("Столбец %d не помещается на лист: на листе не более %d столбцов", col, MaxCols));
}

TXlsSheet::TCell& TXlsSheet::CellAt(int row, int col)
{
    CheckPlace(row, col);
    if (FRows.size() < static_cast<size_t>(row)) FRows.resize(static_cast<size_t>(row));
    auto& cells = FRows[static_cast<size_t>(row - 1)];
    if (cells.size() < static_cast<size_t>(col)) cells.resize(static_cast<size_t>(col));
    return cells[static_cast<size_t>(col - 1)];
}

void TXlsSheet::SetText(int row, int col, const std::string& text)
{
    if (text.size() > static_cast<size_t>(MaxTextLength))
        throw Exception(Format("Текст ячейки (%d, %d) длиннее %d знаков", row, col, MaxTextLength));
    if (text.empty()) {
        // An empty value empties the cell; its format stays.
        CheckPlace(row, col);
        if (FRows.size() >= static_cast<size_t>(row) &&
            FRows[static_cast<size_t>(row - 1)].size() >= static_cast<size_t>(col)) {
            TCell& c = FRows[static_cast<size_t>(row - 1)][static_cast<size_t>(col - 1)];
            if (c.Sst >= 0) --FStringRefs;
            c.Sst = -1;
        }
        return;
    }
    TCell& c = CellAt(row, col);
    auto [it, added] = FStringIndex.try_emplace(text, static_cast<int32_t>(FStrings.size()));
    if (added) FStrings.push_back(text);
    if (c.Sst < 0) ++FStringRefs;
    c.Sst = it->second;
}

void TXlsSheet::SetColumnWidth(int col, double chars)
{
    CheckPlace(1, col);
    if (FWidths.size() < static_cast<size_t>(col)) FWidths.resize(static_cast<size_t>(col), 0);
    FWidths[static_cast<size_t>(col - 1)] = chars;
}

void TXlsSheet::SetBold(int row, int colFirst, int colLast)
{
    for (int c = colFirst; c <= colLast; ++c) CellAt(row, c).Format |= fmtBold;
}

void TXlsSheet::SetTextFormat(int row, int colFirst, int colLast)
{
    for (int c = colFirst; c <= colLast; ++c) CellAt(row, c).Format |= fmtText;
}

std::string TXlsSheet::Build() const
{
    std::string b;
    size_t cells = 0;
    for (const auto& r : FRows) cells += r.size();
    size_t textBytes = 0;
    for (const auto& s : FStrings) textBytes += 3 + 2 * s.size();
    b.reserve(4096 + cells * 14 + textBytes + textBytes / kMaxRecordData * 5);

    // Workbook globals.
    PutBof(b, 0x0005);
    { size_t r = BeginRecord(b, rCODEPAGE); Put16(b, 1200); EndRecord(b, r); }
    {
        size_t r = BeginRecord(b, rWINDOW1);
        Put16(b, 0);
        Put16(b, 0);
        Put16(b, 0x3A5C);
        Put16(b, 0x1D4C);
        Put16(b, 0x0038);
        Put16(b, 0);
        Put16(b, 0);
        Put16(b, 1);
        Put16(b, 0x0258);
        EndRecord(b, r);
    }
    { size_t r = BeginRecord(b, rDATEMODE); Put16(b, 0); EndRecord(b, r); }
    // Fonts 0..3 are the standard ones (there is no font 4); the fifth record, font 5, is bold.
    for (int i = 0; i < 4; ++i) PutFont(b, false);
    PutFont(b, true);
    // Style formats 0..14, then the cell formats: default, bold, text ("@" is built-in 49), both.
    PutXf(b, 0, 0, true, 0x00);
    for (int i = 1; i < 15; ++i) PutXf(b, 0, 0, true, 0xF4);
    PutXf(b, 0, 0, false, 0x00);
    PutXf(b, 5, 0, false, 0x08);
    PutXf(b, 0, 49, false, 0x04);
    PutXf(b, 5, 49, false, 0x0C);
    {
        size_t r = BeginRecord(b, rSTYLE);
        Put16(b, 0x8000);  // built-in style "Normal" on format 0
        Put8(b, 0);
        Put8(b, 0xFF);
        EndRecord(b, r);
    }
    size_t sheetPosAt;
    {
        size_t r = BeginRecord(b, rBOUNDSHEET);
        sheetPosAt = b.size();
        Put32(b, 0);
        Put16(b, 0);  // visible worksheet
        PutShortText(b, FName);
        EndRecord(b, r);
    }

    // Shared strings; a string's characters may go on in a CONTINUE record, its header may not.
    const uint32_t unique = static_cast<uint32_t>(FStrings.size());
    uint32_t perBucket = std::max<uint32_t>(8, (unique + 127) / 128);
    std::vector<std::pair<uint32_t, uint16_t>> buckets;
    {
        size_t rec = BeginRecord(b, rSST);
        Put32(b, FStringRefs);
        Put32(b, unique);
        auto used = [&]() { return b.size() - rec - 4; };
        auto next = [&]() {
            EndRecord(b, rec);
            rec = BeginRecord(b, rCONTINUE);
        };
        for (uint32_t i = 0; i < unique; ++i) {
            const std::string& s = FStrings[i];
            const bool wide = !IsAscii(s);
            const size_t charSize = wide ? 2 : 1;
            if (kMaxRecordData - used() < 3 + (s.empty() ? 0 : charSize)) next();
            if (i % perBucket == 0)
                buckets.emplace_back(static_cast<uint32_t>(b.size()), static_cast<uint16_t>(b.size() - rec));
            Put16(b, static_cast<unsigned>(s.size()));
            Put8(b, wide ? 1 : 0);
            size_t pos = 0;
            while (pos < s.size()) {
                size_t room = (kMaxRecordData - used()) / charSize;
                if (room == 0) {
                    next();
                    Put8(b, wide ? 1 : 0);
                    continue;
                }
                size_t n = std::min(room, s.size() - pos);
                if (wide) {
                    for (size_t k = 0; k < n; ++k) {
                        unsigned char c = static_cast<unsigned char>(s[pos + k]);
                        Put16(b, c < 0x80 ? c : kCp1251High[c - 0x80]);
                    }
                } else {
                    b.append(s, pos, n);
                }
                pos += n;
            }
        }
        EndRecord(b, rec);
    }
    {
        size_t r = BeginRecord(b, rEXTSST);
        Put16(b, perBucket);
        for (auto [pos, off] : buckets) {
            Put32(b, pos);
            Put16(b, off);
            Put16(b, 0);
        }
        EndRecord(b, r);
    }
    PutEof(b);

    // The worksheet.
    Patch32(b, sheetPosAt, static_cast<uint32_t>(b.size()));
    PutBof(b, 0x0010);
    { size_t r = BeginRecord(b, rDEFCOLWIDTH); Put16(b, 8); EndRecord(b, r); }
    for (size_t c = 0; c < FWidths.size(); ++c) {
        if (FWidths[c] <= 0) continue;
        // Width in 1/256 of a character, with the cell padding of the standard font (7-pixel
        // digits, 5 pixels of padding), so that the program shows the width that was set.
        double units = std::round((FWidths[c] * 7 + 5) / 7 * 256);
        size_t r = BeginRecord(b, rCOLINFO);
        Put16(b, static_cast<unsigned>(c));
        Put16(b, static_cast<unsigned>(c));
        Put16(b, static_cast<unsigned>(std::min(units, 65535.0)));
        Put16(b, kXfDefault);
        Put16(b, 0);
        Put16(b, 0);
        EndRecord(b, r);
    }
    uint32_t rowFirst = 0, rowEnd = 0;
    uint16_t colFirst = 0, colEnd = 0;
    bool any = false;
    for (size_t r = 0; r < FRows.size(); ++r) {
        const auto& cells = FRows[r];
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].Sst < 0 && cells[c].Format == 0) continue;
            if (!any) {
                rowFirst = static_cast<uint32_t>(r);
                colFirst = static_cast<uint16_t>(c);
                any = true;
            }
            rowEnd = static_cast<uint32_t>(r + 1);
            colFirst = std::min<uint16_t>(colFirst, static_cast<uint16_t>(c));
            colEnd = std::max<uint16_t>(colEnd, static_cast<uint16_t>(c + 1));
        }
    }
    {
        size_t r = BeginRecord(b, rDIMENSIONS);
        Put32(b, rowFirst);
        Put32(b, rowEnd);
        Put16(b, colFirst);
        Put16(b, colEnd);
        Put16(b, 0);
        EndRecord(b, r);
    }
    for (size_t r = 0; r < FRows.size(); ++r) {
        const auto& cells = FRows[r];
        for (size_t c = 0; c < cells.size(); ++c) {
            const TCell& cell = cells[c];
            if (cell.Sst < 0 && cell.Format == 0) continue;
            const unsigned xf = kXfFirstCell + cell.Format;
            if (cell.Sst >= 0) {
                Put16(b, rLABELSST);
                Put16(b, 10);
                Put16(b, static_cast<unsigned>(r));
                Put16(b, static_cast<unsigned>(c));
                Put16(b, xf);
                Put32(b, static_cast<uint32_t>(cell.Sst));
            } else {
                Put16(b, rBLANK);
                Put16(b, 6);
                Put16(b, static_cast<unsigned>(r));
                Put16(b, static_cast<unsigned>(c));
                Put16(b, xf);
            }
        }
    }
    {
        size_t r = BeginRecord(b, rWINDOW2);
        Put16(b, 0x06B6);  // grid, headers, zeros, outline symbols, selected, shown
        Put16(b, 0);
        Put16(b, 0);
        Put32(b, 0x40);
        Put16(b, 0);
        Put16(b, 0);
        Put32(b, 0);
        EndRecord(b, r);
    }
    PutEof(b);
    return WrapCompound(std::move(b));
}

void TXlsSheet::SaveAs(const std::string& fileName) const { WriteWholeFile(fileName, Build()); }
