#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "XlsBook.h"

using namespace testsupport;

namespace {

// The lines of a dump that start with the given word.
std::vector<std::string> Lines(const std::string& dump, const std::string& word)
{
    std::vector<std::string> out;
    std::istringstream in(dump);
    std::string l;
    while (std::getline(in, l))
        if (l.compare(0, word.size() + 1, word + " ") == 0) out.push_back(l);
    return out;
}

std::string Escaped(const std::string& s)
{
    std::string o;
    for (char c : s) {
        if (c == '\\') o += "\\\\";
        else if (c == '\t') o += "\\t";
        else if (c == '\r') o += "\\r";
        else if (c == '\n') o += "\\n";
        else o += c;
    }
    return o;
}

}  // namespace

TEST(XlsBook, SheetOfAnExportReadsBackCellForCell)
{
    TWorkDir dir("xls_export_shape");
    TXlsSheet s("...");
    s.SetText(1, 2, "Прибор:ТЭМ-104");
    s.SetColumnWidth(1, 20);
    s.SetColumnWidth(2, 40);
    s.SetColumnWidth(3, 30);
    s.SetBold(2, 1, 4);
    s.SetText(2, 1, "Дата время");
    s.SetText(2, 2, "Название параметра");
    s.SetText(2, 3, "Значение");
    s.SetText(3, 1, "01.02.2024 10:00:00");
    s.SetText(3, 2, "Температура");
    s.SetTextFormat(3, 3, 3);
    s.SetText(3, 3, "1.5000000");
    s.SetText(4, 1, "01.02.2024 10:00:01");
    s.SetText(4, 2, "Температура");  // shared with row 3
    s.SetTextFormat(4, 3, 3);
    s.SetText(4, 3, "00012");
    s.SetTextFormat(5, 3, 3);  // an empty record keeps its format only
    s.SetText(5, 1, "");
    s.SetText(6, 1, "замена");
    s.SetText(6, 1, "a\tb\\c");  // the later value wins
    s.SetText(6, 2, "стерто");
    s.SetText(6, 2, "");
    s.SaveAs(dir.Win("book.xls"));

    const std::string dump = DumpWorkbook(dir, "book.xls");
    ASSERT_EQ(Lines(dump, "error"), std::vector<std::string>{}) << dump;
    EXPECT_EQ(Lines(dump, "sheets"), std::vector<std::string>{"sheets 1"});
    EXPECT_EQ(Lines(dump, "sheet"), std::vector<std::string>{"sheet ..."});
    const std::vector<std::string> cells = {
        "cell 0 1 1 0 General|Прибор:ТЭМ-104",
        "cell 1 0 1 1 General|Дата время",
        "cell 1 1 1 1 General|Название параметра",
        "cell 1 2 1 1 General|Значение",
        "cell 1 3 6 1 General|",
        "cell 2 0 1 0 General|01.02.2024 10:00:00",
        "cell 2 1 1 0 General|Температура",
        "cell 2 2 1 0 @|1.5000000",
        "cell 3 0 1 0 General|01.02.2024 10:00:01",
        "cell 3 1 1 0 General|Температура",
        "cell 3 2 1 0 @|00012",
        "cell 4 2 6 0 @|",
        "cell 5 0 1 0 General|" + Escaped("a\tb\\c"),
    };
    EXPECT_EQ(Lines(dump, "cell"), cells) << dump;

    // Widths as the program shows them: whole characters 20, 40, 30; column 4 keeps the default.
    auto widths = Lines(dump, "width");
    ASSERT_EQ(widths.size(), 3u) << dump;
    const int want[3] = {20, 40, 30};
    for (int c = 0; c < 3; ++c) {
        int col = -1, units = 0;
        ASSERT_EQ(sscanf(widths[c].c_str(), "width %d %d", &col, &units), 2);
        EXPECT_EQ(col, c);
        EXPECT_EQ(units / 256, want[c]) << widths[c];
    }
}

TEST(XlsBook, LongAndManyTextsSurviveRecordSplitsAndLargeFiles)
{
    // Texts up to 9000 characters, ASCII and Cyrillic mixed, over 9 MB of shared strings: the
    // string table is split over many continuation records and the file outgrows the part of
    // the allocation table the header can point to.
    TWorkDir dir("xls_large");
    std::mt19937 rng(7);
    TXlsSheet s("Лист");
    std::vector<std::string> want;
    for (int r = 1; r <= 3000; ++r) {
        for (int c = 1; c <= 3; ++c) {
            int len = (rng() % 7 == 0) ? static_cast<int>(rng() % 9000) : static_cast<int>(rng() % 60);
            std::string t;
            for (int i = 0; i < len; ++i) {
                unsigned v = rng() % 100;
                t += v < 50 ? static_cast<char>('a' + v % 26) : static_cast<char>(0xC0 + v % 64);
            }
            if (rng() % 3 == 0)
                for (char& ch : t)
                    if (static_cast<unsigned char>(ch) >= 0x80) ch = 'z';
            s.SetText(r, c, t);
            if (!t.empty()) want.push_back(Format("cell %d %d 1 0 General|", r - 1, c - 1) + t);
        }
    }
    s.SaveAs(dir.Win("large.xls"));
    const std::string dump = DumpWorkbook(dir, "large.xls");
    ASSERT_EQ(Lines(dump, "error"), std::vector<std::string>{}) << dump.substr(0, 2000);
    EXPECT_EQ(Lines(dump, "sheet"), std::vector<std::string>{"sheet Лист"});
    auto got = Lines(dump, "cell");
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "cell line " << i;
}

TEST(XlsBook, RowsAndTextsBeyondTheFormatAreRefusedWithAMessage)
{
    TXlsSheet s("...");
    EXPECT_NO_THROW(s.SetText(TXlsSheet::MaxRows, 1, "x"));
    try {
        s.SetText(TXlsSheet::MaxRows + 1, 1, "x");
        FAIL() << "row beyond the sheet accepted";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("65536"), std::string::npos) << e.Message();
    }
    EXPECT_THROW(s.SetText(1, TXlsSheet::MaxCols + 1, "x"), Exception);
    EXPECT_THROW(s.SetText(0, 1, "x"), Exception);
    EXPECT_THROW(s.SetText(1, 1, std::string(TXlsSheet::MaxTextLength + 1, 'a')), Exception);
    EXPECT_NO_THROW(s.SetText(1, 1, std::string(TXlsSheet::MaxTextLength, 'a')));
}

TEST(XlsBook, Cp1251ConversionMatchesTheSystems)
{
    for (int b = 1; b < 256; ++b) {
        std::string s(1, static_cast<char>(b));
        wchar_t w = 0;
        ASSERT_EQ(MultiByteToWideChar(1251, 0, s.data(), 1, &w, 1), 1);
        EXPECT_EQ(static_cast<unsigned>(Cp1251ToUtf16(s)[0]), static_cast<unsigned>(w)) << "byte " << b;
    }
}
