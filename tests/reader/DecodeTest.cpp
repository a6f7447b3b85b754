// Record layouts, time routines, value texts and the locale's date texts.
#include "DateTexts.h"
#include "FormatSettingsSupport.h"
#include "RecordDecode.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Tests fix the formats instead of taking the machine's.
TFormatSettings Russian() { return tt::RussianFormats(); }
TFormatSettings English() { return tt::EnglishFormats(); }

TJournalInfo Arch(bool abs, bool work)
{
    TJournalInfo a;
    a.ArchAbsTime = abs;
    a.ArchIsWorkTime = work;
    return a;
}

TRecType Param(int32_t valType)
{
    TRecType p;
    p.ID = 1;
    p.ValType = valType;
    p.Name = "p";
    return p;
}

TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0)
{
    TDateTime date = 0, time = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, date));
    EXPECT_TRUE(TryEncodeTime(h, n, s, 0, time));
    return ComposeDateTime(date, time);
}

// A reply buffer: function code, count, then the data bytes.
std::vector<uint8_t> Reply(std::initializer_list<int> data)
{
    std::vector<uint8_t> b(RecordBufferSize, 0xEE);
    b[0] = 0x41;
    b[1] = static_cast<uint8_t>(data.size());
    size_t i = 2;
    for (int v : data) b[i++] = static_cast<uint8_t>(v);
    return b;
}

std::vector<uint8_t> TextReply(const std::string& text)
{
    std::vector<uint8_t> b(RecordBufferSize, 0);
    b[0] = 0x41;
    b[1] = static_cast<uint8_t>(text.size());
    std::memcpy(b.data() + 2, text.data(), text.size());
    return b;
}

}  // namespace

TEST(DecodeTime, ListTimeTextsByArchiveFlags)
{
    TFormatSettings fs = Russian();
    TJournalInfo none = Arch(false, false), work = Arch(false, true), abs = Arch(true, false);
    // Before 2001 the stamp is an elapsed time, from then on a date.
    EXPECT_EQ(RecordTimeText(0, &none, fs), "0.0.0 0:0:0");
    EXPECT_EQ(RecordTimeText(31536000, &none, fs), "1.0.0 0:0:0");
    EXPECT_EQ(RecordTimeText(978220800, &none, fs), "30.11.30 0:0:0");  // 2000-12-31
    EXPECT_EQ(RecordTimeText(978307200, &none, fs), "01.01.01 00:00:00");
    EXPECT_EQ(RecordTimeText(1000000000, &none, fs), "09.09.01 01:46:40");
    EXPECT_EQ(RecordTimeText(90061, &work, fs), "1 1:1:1");
    EXPECT_EQ(RecordTimeText(1262304000, &abs, fs), "2010.01.01 00:00:00 ");
    // The absolute flag wins over the operating-time flag.
    TJournalInfo both = Arch(true, true);
    EXPECT_EQ(RecordTimeText(1262304000, &both, fs), "2010.01.01 00:00:00 ");
    // No archive: neither flag.
    EXPECT_EQ(RecordTimeText(0, nullptr, fs), "0.0.0 0:0:0");
}

TEST(DecodeTime, PatternsTakeTheUsersTimeSeparator)
{
    TFormatSettings fs = Russian();
    fs.TimeSeparator = "-";
    TJournalInfo none = Arch(false, false), abs = Arch(true, false);
    EXPECT_EQ(RecordTimeText(1000000000, &none, fs), "09.09.01 01-46-40");
    EXPECT_EQ(RecordTimeText(1262304000, &abs, fs), "2010.01.01 00-00-00 ");
    // The elapsed form is a fixed format.
    EXPECT_EQ(RecordTimeText(31536000, &none, fs), "1.0.0 0:0:0");
}

TEST(DecodeTime, EventTimesFollowTheSameRules)
{
    TFormatSettings fs = Russian();
    TJournalInfo none = Arch(false, false), work = Arch(false, true), abs = Arch(true, false);
    EXPECT_EQ(EventTimeText(UnixSecondsToDateTime(1000000000), &none, fs), "09.09.01 01:46:40");
    EXPECT_EQ(EventTimeText(UnixSecondsToDateTime(90061), &work, fs), "1 1:1:1");
    EXPECT_EQ(EventTimeText(UnixSecondsToDateTime(1262304000), &abs, fs), "2010.01.01 00:00:00 ");
    // An operating time before 1970 counts as 0 seconds.
    EXPECT_EQ(EventTimeText(At(1960, 5, 5), &work, fs), "0 0:0:0");
}

TEST(DecodeTime, UnixSecondsConversions)
{
    EXPECT_DOUBLE_EQ(UnixSecondsToDateTime(0), 25569.0);
    TDateTimeParts p = DecodeDateTime(UnixSecondsToDateTime(0xFFFFFFFFu));
    EXPECT_EQ((std::vector<int>{p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second}),
              (std::vector<int>{2106, 2, 7, 6, 28, 15}));
    for (uint32_t s : {0u, 1u, 86399u, 86400u, 1000000000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        EXPECT_EQ(DateTimeToUnixSeconds(UnixSecondsToDateTime(s)), s) << s;
    EXPECT_EQ(DateTimeToUnixSeconds(At(1969, 12, 31, 23, 59, 59)), 0u);
    EXPECT_EQ(DateTimeToUnixSeconds(-700.5), 0u);
    // Half a second goes to the even neighbour.
    const double halfSec = 0.5 / 86400.0;
    EXPECT_EQ(DateTimeToUnixSeconds(25569.0 + halfSec), 0u);
    EXPECT_EQ(DateTimeToUnixSeconds(25569.0 + 3 * halfSec), 2u);
    EXPECT_EQ(DateTimeToUnixSeconds(25569.0 + 5 * halfSec), 2u);
    EXPECT_EQ(DateTimeToUnixSeconds(25569.0 + 0.6 / 86400.0), 1u);
    // 32-bit arithmetic: dates after 2106 wrap.
    EXPECT_EQ(DateTimeToUnixSeconds(UnixSecondsToDateTime(0xFFFFFFFFu) + 1.0), 86399u);
}

TEST(DecodeTime, DurationsAndCharacterReplacement)
{
    EXPECT_EQ(FormatDuration(0), "0 0:0:0");
    EXPECT_EQ(FormatDuration(90061), "1 1:1:1");
    EXPECT_EQ(FormatDuration(86399), "0 23:59:59");
    EXPECT_EQ(FormatDuration(-1), "0 0:0:-1");
    EXPECT_EQ(FormatDuration(-90061), "-1 -1:-1:-1");
    std::string s = "1,5,6";
    ReplaceFirstChar(s, ',', '.');
    EXPECT_EQ(s, "1.5,6");
    std::string t = "abc";
    ReplaceFirstChar(t, ',', '.');
    EXPECT_EQ(t, "abc");
}

TEST(DecodeValue, ValueTextsAndEventsByTypeCode)
{
    TFormatSettings fs = Russian();
    auto text = [&](int32_t code, uint32_t v) { return DecodeValue(Param(code), v, fs).Text; };
    EXPECT_EQ(text(2, 0x0000FFFF), "-1");
    EXPECT_EQ(text(18, 0x0000FFFF), "65535");
    EXPECT_EQ(text(19, 0xFFFFFFFF), "4294967295");
    EXPECT_EQ(text(16, 0x000000FF), "-1");
    EXPECT_EQ(text(17, 0x000000FF), "255");
    EXPECT_EQ(text(3, 0xFFFFFFFE), "-2");
    EXPECT_EQ(text(5, 0xFFFFFFFE), "-2");
    EXPECT_EQ(text(4, 0x3FC00000), "1.5000000");
    EXPECT_EQ(text(4, 0xBF800000), "-1.0000000");
    EXPECT_EQ(text(4, 0x7FC00000), "NAN");
    EXPECT_EQ(text(7, 1000000000), "09.09.2001 1:46:40");
    EXPECT_EQ(text(7, 1262304000), "01.01.2010");  // midnight: no time

    // Event values keep what the group grid needs.
    EXPECT_EQ(DecodeValue(Param(2), 0x0001FFFF, fs).Event, TEventValue(int32_t(0x1FFFF)));
    EXPECT_EQ(DecodeValue(Param(18), 0x0001FFFF, fs).Event, TEventValue(int32_t(0x1FFFF)));
    EXPECT_EQ(DecodeValue(Param(16), 0x1FF, fs).Event, TEventValue(int8_t(-1)));
    EXPECT_EQ(DecodeValue(Param(17), 0x1FF, fs).Event, TEventValue(uint8_t(255)));
    EXPECT_EQ(DecodeValue(Param(19), 0xFFFFFFFF, fs).Event, TEventValue(uint32_t(0xFFFFFFFF)));
    EXPECT_EQ(DecodeValue(Param(4), 0x3FC00000, fs).Event, TEventValue(1.5));
    EXPECT_EQ(DecodeValue(Param(7), 0, fs).Event, TEventValue(TDateValue{25569.0}));
    EXPECT_EQ(DecodeValue(Param(99), 0xFFFFFFFF, fs).Event, TEventValue(int32_t(-1)));
}

TEST(DecodeValue, CodeListsLookUpTheLowByte)
{
    TRecType p = Param(256);
    p.Values = std::make_unique<std::vector<TValueStr>>(
        std::vector<TValueStr>{{0, "закрыт"}, {1, "открыт"}, {1, "открыт2"}});
    EXPECT_EQ(DecodeValue(p, 0x100).Text, "закрыт");
    // The last entry of a code wins.
    auto d = DecodeValue(p, 1);
    EXPECT_EQ(d.Text, "открыт2");
    EXPECT_EQ(d.Event, TEventValue(std::string("открыт2")));
    d = DecodeValue(p, 7);
    EXPECT_TRUE(d.HasText && d.HasEvent);
    EXPECT_EQ(d.Text, "?");
    EXPECT_EQ(d.Event, TEventValue(std::string("?")));

    // An empty list shows "?"; no list at all gives neither text nor event.
    p.Values = std::make_unique<std::vector<TValueStr>>();
    EXPECT_EQ(DecodeValue(p, 0).Text, "?");
    p.Values.reset();
    d = DecodeValue(p, 0);
    EXPECT_FALSE(d.HasText);
    EXPECT_FALSE(d.HasEvent);
}

TEST(DecodeValue, FloatsKeepAPointWhateverTheLocale)
{
    // A C library that follows a comma locale must not change the list's point.
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    bool set = std::setlocale(LC_ALL, "Russian_Russia.1251") || std::setlocale(LC_ALL, "German_Germany.1252") ||
               std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(DecodeValue(Param(4), 0x3FC00000).Text, "1.5000000");
    EXPECT_EQ(RealText(-0.25), "-0.2500000");
    EXPECT_EQ(GroupValueText(4, TEventValue(1.5)), "1.5000000");
    std::setlocale(LC_ALL, saved.c_str());
    if (!set) GTEST_SKIP() << "no comma locale to try";
}

TEST(DecodeValue, GroupValueTextsByGroupType)
{
    TFormatSettings fs = Russian();
    // Code 18 keeps the whole 32 bits: the list shows 65535, the group 131071.
    EXPECT_EQ(GroupValueText(18, int32_t(0x1FFFF), fs), "131071");
    EXPECT_EQ(GroupValueText(2, int32_t(0x1FFFF), fs), "-1");
    // An unknown ID's group (code 19) shows the raw value unsigned.
    EXPECT_EQ(GroupValueText(19, int32_t(-1), fs), "4294967295");
    EXPECT_EQ(GroupValueText(19, uint32_t(0xFFFFFFFF), fs), "4294967295");
    EXPECT_EQ(GroupValueText(16, int8_t(-1), fs), "-1");
    EXPECT_EQ(GroupValueText(17, uint8_t(255), fs), "255");
    EXPECT_EQ(GroupValueText(3, int32_t(-5), fs), "-5");
    EXPECT_EQ(GroupValueText(4, 1.5, fs), "1.5000000");
    EXPECT_EQ(GroupValueText(7, TDateValue{UnixSecondsToDateTime(1000000000)}, fs), "09.09.2001 1:46:40");
    EXPECT_EQ(GroupValueText(256, std::string("настройка"), fs), "настройка");
    EXPECT_EQ(GroupValueText(256, std::string(), fs), "");
    // A text in a numeric group is shown as it is, never a failure.
    EXPECT_EQ(GroupValueText(18, std::string("abc"), fs), "abc");
}

TEST(DecodeLayout, NumericLayouts)
{
    // time 1000000000 = 3B 9A CA 00
    auto b0 = Reply({0x3B, 0x9A, 0xCA, 0x00, 0x00, 0x05, 0x00, 0x01, 0xFF, 0xFF});
    TNumericRecord r = DecodeNumericRecord(b0.data(), 0, 7);
    EXPECT_EQ(r.Time, 1000000000u);
    EXPECT_EQ(r.ID, 5);
    EXPECT_EQ(r.NewValue, 0x1FFFFu);
    EXPECT_EQ(r.OldValue, 0u);

    auto b2 = Reply({0, 0, 0, 9, 0xAB, 0xCD, 0x00, 0x07, 0x12, 0x34, 0x56, 0x78});
    r = DecodeNumericRecord(b2.data(), 2, 3);
    EXPECT_EQ(r.Time, 9u);
    EXPECT_EQ(r.ID, 7);
    EXPECT_EQ(r.NewValue, 0x12345678u);
    // The record with index 0 is reported under 65535, whatever its ID bytes hold.
    EXPECT_EQ(DecodeNumericRecord(b2.data(), 2, 0).ID, 65535);

    auto b3 = Reply({0, 0, 0, 1, 0x00, 0x0A, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE});
    r = DecodeNumericRecord(b3.data(), 3, 0);
    EXPECT_EQ(r.ID, 10);
    EXPECT_EQ(r.OldValue, 1u);
    EXPECT_EQ(r.NewValue, 0xFFFFFFFEu);
}

TEST(DecodeLayout, ModeChangeRecords)
{
    auto b = Reply({0x3B, 0x9A, 0xCA, 0x00, 0x00, 0x02});
    TModeRecord m = DecodeModeRecord(b.data());
    EXPECT_EQ(m.Time, 1000000000u);
    EXPECT_EQ(ModeName(m.Mode), "настройка");
    EXPECT_EQ(ModeName(DecodeModeRecord(Reply({0, 0, 0, 0, 0x01, 0x00}).data()).Mode), "");
    EXPECT_EQ(ModeName(0), "рабочий");
    EXPECT_EQ(ModeName(1), "сервис");
    EXPECT_EQ(ModeName(3), "тест");
    EXPECT_EQ(ModeName(4), "");
}

TEST(DecodeLayout, TextJournalEntries)
{
    TTextEntry e = DecodeTextEntry(TextReply(" 09.09.01 01:46:40 Уставка давления: 1.50->2.00").data());
    EXPECT_EQ(e.DateText, "09.09.01 01:46:40 ");
    EXPECT_EQ(e.Name, "Уставка давления");
    EXPECT_EQ(e.Value, "2.00");

    // Without "->" the value is the rest but its first character.
    e = DecodeTextEntry(TextReply(" 09.09.01 01:46:40 Сброс: выполнен").data());
    EXPECT_EQ(e.Name, "Сброс");
    EXPECT_EQ(e.Value, "брос: выполнен");

    // Without ":" the name is empty; the value still follows the arrow.
    e = DecodeTextEntry(TextReply(" 09.09.01 01:46:40 A->B->C").data());
    EXPECT_EQ(e.Name, "");
    EXPECT_EQ(e.Value, "B->C");

    e = DecodeTextEntry(TextReply(" 09.09").data());
    EXPECT_EQ(e.DateText, "09.09");
    EXPECT_EQ(e.Name, "");
    EXPECT_EQ(e.Value, "");
    e = DecodeTextEntry(TextReply("").data());
    EXPECT_EQ(e.DateText, "");
}

TEST(DecodeLayout, TextJournalCountBeyondTheBufferIsCut)
{
    // A count byte of 255 would lead past the 256-byte buffer.
    std::vector<uint8_t> b(RecordBufferSize, 'x');
    b[0] = 0x41;
    b[1] = 255;
    TTextEntry e = DecodeTextEntry(b.data());
    EXPECT_EQ(e.Value.size(), static_cast<size_t>(MaxRecordData - 19 - 1));
}

TEST(DecodeLayout, RecordsShorterThanTheirLayoutAreNotWhole)
{
    // Kind, layout, data bytes: the shortest whole record, and one byte less.
    const struct {
        TArchiveKind Kind;
        uint8_t Layout;
        int Needed;
    } cases[] = {
        {TArchiveKind::Numeric, 0, 10}, {TArchiveKind::Numeric, 2, 12}, {TArchiveKind::OldNew, 3, 14},
        {TArchiveKind::ModeLog, 1, 6},  {TArchiveKind::TextJournal, 1, 0},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> b(RecordBufferSize, 0);
        b[1] = static_cast<uint8_t>(c.Needed);
        EXPECT_TRUE(RecordIsWhole(b.data(), c.Kind, c.Layout)) << c.Needed;
        if (c.Needed == 0) continue;
        b[1] = static_cast<uint8_t>(c.Needed - 1);
        EXPECT_FALSE(RecordIsWhole(b.data(), c.Kind, c.Layout)) << c.Needed;
    }
}

TEST(DecodeRequest, KindsIndexesAndRequestBytes)
{
    EXPECT_EQ(ArchiveKind(0, 3), TArchiveKind::Numeric);
    EXPECT_EQ(ArchiveKind(2, 0), TArchiveKind::Numeric);
    EXPECT_EQ(ArchiveKind(3, 1), TArchiveKind::OldNew);
    EXPECT_EQ(ArchiveKind(1, 0), TArchiveKind::TextJournal);
    EXPECT_EQ(ArchiveKind(1, 1), TArchiveKind::ModeLog);
    EXPECT_EQ(ArchiveKind(5, 0), TArchiveKind::None);

    TJournalInfo ring;
    ring.ArchCycle = true;
    ring.ArchCountRec = 1000;
    ring.archnum = 0x103;
    EXPECT_EQ(RecordIndex(TArchiveKind::Numeric, ring, 2200, 0), 200);
    EXPECT_EQ(RecordIndex(TArchiveKind::Numeric, ring, 2200, 799), 999);
    EXPECT_EQ(RecordIndex(TArchiveKind::Numeric, ring, 2200, 800), 0);
    EXPECT_EQ(RecordIndex(TArchiveKind::OldNew, ring, 2200, 999), 199);
    // The mode log is never taken modulo; the text journal ignores the start.
    EXPECT_EQ(RecordIndex(TArchiveKind::ModeLog, ring, 2200, 1), 2201);
    EXPECT_EQ(RecordIndex(TArchiveKind::TextJournal, ring, 50, 3), 3);
    // A ring without a capacity is read as a plain archive instead of dividing by zero.
    ring.ArchCountRec = 0;
    EXPECT_FALSE(IsRingArchive(ring));
    EXPECT_EQ(RecordIndex(TArchiveKind::Numeric, ring, 2200, 5), 2205);
    ring.ArchCountRec = -1;
    EXPECT_EQ(RecordIndex(TArchiveKind::Numeric, ring, 10, 5), 15);

    EXPECT_EQ(ArchiveByte(TArchiveKind::Numeric, ring), 0x03);
    EXPECT_EQ(ArchiveByte(TArchiveKind::TextJournal, ring), 9);
    EXPECT_EQ(ArchiveByte(TArchiveKind::ModeLog, ring), 8);

    std::vector<uint8_t> buf(RecordBufferSize, 0xAA);
    BuildRecordRequest(buf.data(), 3, 0x12345);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 7),
              (std::vector<uint8_t>{0, 3, 0, 1, 0, 0x23, 0x45}));
    EXPECT_EQ(buf[7], 0);
    EXPECT_EQ(buf[255], 0);
}

TEST(DateTexts, DefaultDateTimeTextFollowsTheLocale)
{
    TFormatSettings ru = Russian(), en = English();
    TDateTime t = At(2001, 9, 9, 13, 46, 40);
    EXPECT_EQ(DateTimeToStr(t, ru), "09.09.2001 13:46:40");
    EXPECT_EQ(DateTimeToStr(t, en), "9/9/2001 1:46:40 PM");
    EXPECT_EQ(DateTimeToStr(At(2001, 9, 9), en), "9/9/2001");
    // A time of 0.4 ms rounds to midnight: no time part.
    EXPECT_EQ(DateTimeToStr(At(2001, 9, 9) + 0.0004 / 86400.0, ru), "09.09.2001");
    TFormatSettings named = ru;
    named.ShortDateFormat = "d MMMM yyyy 'г.'";
    named.LongMonthNames[8] = "сентября";
    EXPECT_EQ(DateTimeToStr(At(2001, 9, 9), named), "9 сентября 2001 г.");
}

TEST(DateTexts, ConversionOfTextsByTheLocale)
{
    TFormatSettings ru = Russian(), en = English();
    TDateTime dt = 0;
    ASSERT_TRUE(TryStrToDateTime("09.09.01 01:46:40 ", dt, ru));
    EXPECT_EQ(DateTimeToUnixSeconds(dt), 1000000000u);
    ASSERT_TRUE(TryStrToDateTime("9.9.2001", dt, ru));
    EXPECT_DOUBLE_EQ(dt, At(2001, 9, 9));
    ASSERT_TRUE(TryStrToDateTime("31.12.99 23:59", dt, ru));
    EXPECT_DOUBLE_EQ(dt, At(1999, 12, 31, 23, 59));
    ASSERT_TRUE(TryStrToDateTime("9/10/2001 1:46:40 PM", dt, en));
    EXPECT_DOUBLE_EQ(dt, At(2001, 9, 10, 13, 46, 40));
    ASSERT_TRUE(TryStrToDateTime("12:30", dt, ru));
    EXPECT_DOUBLE_EQ(dt, 0.5 + 30.0 / 1440.0);

    for (const char* bad : {"", "abc", "31.02.01 00:00:00", "09.09.01 25:00:00", "09.09.01 01:46:40 x",
                            "09/09/01", "09.09.01 01", "1.2.3.4"})
        EXPECT_FALSE(TryStrToDateTime(bad, dt, ru)) << bad;
    // The Russian text is no date by English formats.
    EXPECT_FALSE(TryStrToDateTime("09.09.01 01:46:40", dt, en));
    try {
        StrToDateTime("99.99.99 99:99:99", ru);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'99.99.99 99:99:99' is not a valid date and time");
    }
}

TEST(DateTexts, TwoDigitYearsFollowTheLocaleWindow)
{
    TFormatSettings fs = Russian();
    TDateTime dt = 0;
    fs.TwoDigitYearMax = 2049;
    ASSERT_TRUE(TryStrToDateTime("01.01.49", dt, fs));
    EXPECT_EQ(DecodeDateTime(dt).Year, 2049);
    ASSERT_TRUE(TryStrToDateTime("01.01.50", dt, fs));
    EXPECT_EQ(DecodeDateTime(dt).Year, 1950);
    fs.TwoDigitYearMax = 2029;
    ASSERT_TRUE(TryStrToDateTime("01.01.30", dt, fs));
    EXPECT_EQ(DecodeDateTime(dt).Year, 1930);
}

#ifdef _WIN32
TEST(DateTexts, LocaleSettingsAreReadFromTheSystem)
{
    TFormatSettings ru = LoadFormatSettings(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT));
    EXPECT_EQ(ru.DateSeparator, ".");
    EXPECT_EQ(ru.TimeSeparator, ":");
    EXPECT_EQ(FormatPicture(ru.ShortDateFormat, At(2001, 9, 9), ru), "09.09.2001");
    EXPECT_EQ(ru.LongMonthNames[0].empty(), false);
    TFormatSettings en = LoadFormatSettings(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    EXPECT_EQ(en.DateSeparator, "/");
    EXPECT_EQ(DateTimeToStr(At(2001, 9, 9, 13, 46, 40), en), "9/9/2001 1:46:40 PM");

    // The process-wide settings are the ones a test installs.
    SetUserFormatSettings(ru);
    std::string text = DateTimeToStr(At(2001, 9, 9, 1, 2, 3));
    EXPECT_EQ(text.substr(0, 11), "09.09.2001 ") << text;
    EXPECT_EQ(text.substr(text.size() - 7), "1:02:03") << text;
    SetUserFormatSettings(LoadFormatSettings());
}
#endif
