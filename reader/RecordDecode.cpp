#include "RecordDecode.h"

#include "SysUtils.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <variant>

const char* const ModeChangeName = "Смена режима";

TArchiveKind ArchiveKind(uint8_t ArchStandart, int j)
{
    switch (ArchStandart) {
    case 0:
    case 2:
        return TArchiveKind::Numeric;
    case 3:
        return TArchiveKind::OldNew;
    case 1:
        return j == 0 ? TArchiveKind::TextJournal : TArchiveKind::ModeLog;
    default:
        return TArchiveKind::None;
    }
}

bool IsRingArchive(const TJournalInfo& arch) { return arch.ArchCycle && arch.ArchCountRec > 0; }

uint8_t ArchiveByte(TArchiveKind kind, const TJournalInfo& arch)
{
    switch (kind) {
    case TArchiveKind::TextJournal:
        return 9;
    case TArchiveKind::ModeLog:
        return 8;
    default:
        return static_cast<uint8_t>(arch.archnum & 0xFF);
    }
}

int32_t RecordIndex(TArchiveKind kind, const TJournalInfo& arch, int32_t start, int32_t k)
{
    if (kind == TArchiveKind::TextJournal) return k;
    // Wraps like the 32-bit counters of the device.
    int32_t index = static_cast<int32_t>(static_cast<uint32_t>(start) + static_cast<uint32_t>(k));
    if (kind != TArchiveKind::ModeLog && IsRingArchive(arch)) {
        index %= arch.ArchCountRec;
        if (index < 0) index += arch.ArchCountRec;
    }
    return index;
}

void BuildRecordRequest(uint8_t* buf, uint8_t archiveByte, int32_t index)
{
    std::memset(buf, 0, RecordBufferSize);
    buf[1] = archiveByte;
    buf[3] = 1;
    buf[5] = static_cast<uint8_t>((index >> 8) & 0xFF);
    buf[6] = static_cast<uint8_t>(index & 0xFF);
}

bool RecordIsWhole(const uint8_t* buf, TArchiveKind kind, uint8_t layout)
{
    int needed = 0;  // data bytes after the count byte
    switch (kind) {
    case TArchiveKind::Numeric:
        needed = layout == 2 ? 12 : 10;
        break;
    case TArchiveKind::OldNew:
        needed = 14;
        break;
    case TArchiveKind::ModeLog:
        needed = 6;
        break;
    default:
        break;
    }
    return buf[1] >= needed;
}

uint16_t GetWordBE(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t GetLongBE(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

TNumericRecord DecodeNumericRecord(const uint8_t* buf, uint8_t layout, int32_t indexSent)
{
    TNumericRecord r;
    r.Time = GetLongBE(buf + 2);
    switch (layout) {
    case 2:
        r.ID = indexSent == 0 ? 65535 : GetWordBE(buf + 8);
        r.NewValue = GetLongBE(buf + 10);
        break;
    case 3:
        r.ID = GetWordBE(buf + 6);
        r.OldValue = GetLongBE(buf + 8);
        r.NewValue = GetLongBE(buf + 12);
        break;
    default:
        r.ID = GetWordBE(buf + 6);
        r.NewValue = GetLongBE(buf + 8);
        break;
    }
    return r;
}

TModeRecord DecodeModeRecord(const uint8_t* buf)
{
    return {GetLongBE(buf + 2), GetWordBE(buf + 6)};
}

std::string ModeName(uint16_t mode)
{
    static const char* const names[4] = {"рабочий", "сервис", "настройка", "тест"};
    return mode < 4 ? names[mode] : "";
}

TTextEntry DecodeTextEntry(const uint8_t* buf)
{
    // A count byte beyond what the library can deliver must not lead past the buffer.
    int n = buf[1] > MaxRecordData ? MaxRecordData : buf[1];
    std::string text(reinterpret_cast<const char*>(buf + 2), static_cast<size_t>(n));
    TTextEntry e;
    if (text.size() > 1) e.DateText = text.substr(1, 18);
    std::string rest = text.size() > 19 ? text.substr(19) : std::string();
    size_t colon = rest.find(':');
    e.Name = colon == std::string::npos ? std::string() : rest.substr(0, colon);
    size_t arrow = rest.find("->");
    if (arrow != std::string::npos) e.Value = rest.substr(arrow + 2);
    else if (!rest.empty()) e.Value = rest.substr(1);
    return e;
}

TDateTime UnixSecondsToDateTime(uint32_t s)
{
    // Day 719163 (1970-01-01 counted from 0001-01-01) is day 25569 of the date-time values.
    uint32_t day = s / 86400 + 719163;
    uint32_t msec = s % 86400 * 1000;
    return static_cast<double>(day - 693594) + static_cast<double>(msec) / 86400000.0;
}

uint32_t DateTimeToUnixSeconds(TDateTime dt)
{
    int32_t day, msec;
    DateTimeToDayAndMSec(dt, day, msec);
    if (day < 719163) return 0;
    uint32_t secs = static_cast<uint32_t>(msec / 1000);
    int32_t rem = msec % 1000;
    if (rem > 500 || (rem == 500 && (secs & 1))) ++secs;
    return static_cast<uint32_t>(day - 719163) * 86400u + secs;
}

std::string FormatDuration(int32_t s)
{
    int32_t days = s / 86400;
    int32_t r = s % 86400;
    return Format("%d %d:%d:%d", days, r / 3600, r % 3600 / 60, r % 60);
}

void ReplaceFirstChar(std::string& s, char a, char b)
{
    size_t p = s.find(a);
    if (p != std::string::npos) s[p] = b;
}

std::string RecordTimeText(uint32_t time, const TJournalInfo* arch, const TFormatSettings& fs)
{
    if (arch && arch->ArchIsWorkTime && !arch->ArchAbsTime) return FormatDuration(static_cast<int32_t>(time));
    return EventTimeText(UnixSecondsToDateTime(time), arch, fs);
}

std::string EventTimeText(TDateTime t, const TJournalInfo* arch, const TFormatSettings& fs)
{
    if (arch && arch->ArchAbsTime) return AbsDateTimeText(t, fs);
    if (arch && arch->ArchIsWorkTime) return FormatDuration(static_cast<int32_t>(DateTimeToUnixSeconds(t)));
    TDateTimeParts p = DecodeDateTime(t);
    if (p.Year > 2000) return ShortDateTimeText(t, fs);
    return Format("%d.%d.%d %d:%d:%d", p.Year - 1970, p.Month - 1, p.Day - 1, p.Hour, p.Minute, p.Second);
}

std::string RealText(double v)
{
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    char buf[512];
    std::snprintf(buf, sizeof buf, "%0.7f", v);
    std::string s = buf;
    // The C library may follow a locale whose separator is a comma; the list always shows a point.
    ReplaceFirstChar(s, ',', '.');
    return s;
}

namespace {

double BitsToFloat(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// An integer of an event value; false for a text that is no integer.
bool ValueToInt(const TEventValue& v, int64_t& out)
{
    if (auto s = std::get_if<std::string>(&v)) {
        int32_t i;
        if (!TryStrToInt(*s, i)) return false;
        out = i;
        return true;
    }
    double d;
    if (auto r = std::get_if<double>(&v)) d = *r;
    else if (auto t = std::get_if<TDateValue>(&v)) d = t->Value;
    else {
        std::visit(
            [&out](const auto& x) {
                if constexpr (std::is_integral_v<std::decay_t<decltype(x)>>) out = x;
            },
            v);
        return true;
    }
    if (!std::isfinite(d) || std::fabs(d) > 9.0e18) return false;
    out = std::llrint(d);
    return true;
}

bool ValueToReal(const TEventValue& v, double& out)
{
    if (auto r = std::get_if<double>(&v)) out = *r;
    else if (auto t = std::get_if<TDateValue>(&v)) out = t->Value;
    else {
        int64_t i;
        if (!ValueToInt(v, i)) return false;
        out = static_cast<double>(i);
    }
    return true;
}

std::string ValueToText(const TEventValue& v, const TFormatSettings& fs)
{
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto r = std::get_if<double>(&v)) return RealText(*r);
    if (auto t = std::get_if<TDateValue>(&v)) return DateTimeToStr(t->Value, fs);
    int64_t i = 0;
    ValueToInt(v, i);
    return IntToStr(i);
}

}  // namespace

TDecodedValue DecodeValue(const TRecType& param, uint32_t value, const TFormatSettings& fs)
{
    TDecodedValue d;
    d.HasText = d.HasEvent = true;
    const int32_t whole = static_cast<int32_t>(value);
    switch (param.ValType) {
    case 2:
        d.Text = IntToStr(static_cast<int16_t>(value & 0xFFFF));
        d.Event = whole;
        break;
    case 4: {
        double f = BitsToFloat(value);
        d.Text = RealText(f);
        d.Event = f;
        break;
    }
    case 7: {
        TDateTime t = UnixSecondsToDateTime(value);
        d.Text = DateTimeToStr(t, fs);
        d.Event = TDateValue{t};
        break;
    }
    case 16:
        d.Text = IntToStr(static_cast<int8_t>(value & 0xFF));
        d.Event = static_cast<int8_t>(value & 0xFF);
        break;
    case 17:
        d.Text = IntToStr(value & 0xFF);
        d.Event = static_cast<uint8_t>(value & 0xFF);
        break;
    case 18:
        d.Text = IntToStr(value & 0xFFFF);
        d.Event = whole;
        break;
    case 19:
        d.Text = IntToStr(value);
        d.Event = value;
        break;
    case 256: {
        if (!param.Values) {
            d.HasText = d.HasEvent = false;
            break;
        }
        std::string text = "?";
        for (const TValueStr& vs : *param.Values)
            if (vs.Code == static_cast<int32_t>(value & 0xFF)) text = vs.Text;
        d.Text = text;
        d.Event = text;
        break;
    }
    default:
        d.Text = IntToStr(whole);
        d.Event = whole;
        break;
    }
    return d;
}

std::string GroupValueText(int32_t valType, const TEventValue& v, const TFormatSettings& fs)
{
    int64_t i = 0;
    switch (valType) {
    case 2:
        if (!ValueToInt(v, i)) break;
        return IntToStr(static_cast<int16_t>(i & 0xFFFF));
    case 4: {
        double r;
        if (!ValueToReal(v, r)) break;
        return RealText(r);
    }
    case 7: {
        double r;
        if (!ValueToReal(v, r)) break;
        return DateTimeToStr(r, fs);
    }
    case 16:
        if (!ValueToInt(v, i)) break;
        return IntToStr(static_cast<int8_t>(i & 0xFF));
    case 19:
        if (!ValueToInt(v, i)) break;
        return IntToStr(static_cast<uint32_t>(i));
    case 256:
        break;
    default:
        if (!ValueToInt(v, i)) break;
        return IntToStr(static_cast<int32_t>(i));
    }
    // A text group, or a value that has no number to show: its own text.
    return ValueToText(v, fs);
}
