#include "DateTexts.h"

#include "SysUtils.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

#ifdef _WIN32
#include <windows.h>

#include "Cp1251.h"
#endif

namespace {

constexpr int64_t MSecsPerDay = 86400000;

// Days from 1970-01-01 for a civil date, and back (proleptic Gregorian, any year).
int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t DateTimeEpoch = -25569;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Whole days and the rounded milliseconds of the day; the time part is |fraction|.
void Split(TDateTime dt, int64_t& day, int64_t& msec)
{
    // Far beyond any calendar date (or no number at all): taken as day 0 rather than overflowing.
    if (!std::isfinite(dt) || std::fabs(dt) > 1.0e8) dt = 0;
    double whole = std::trunc(dt);
    day = static_cast<int64_t>(whole);
    msec = std::llround(std::fabs(dt - whole) * static_cast<double>(MSecsPerDay));
    if (msec >= MSecsPerDay) {
        msec -= MSecsPerDay;
        day += dt < 0 ? -1 : 1;
    }
}

std::string Pad(int v, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, v);
    return buf;
}

std::unique_ptr<TFormatSettings>& Current()
{
    static std::unique_ptr<TFormatSettings> fs;
    return fs;
}

bool SameTextAscii(const std::string& a, const std::string& b)
{
    return !a.empty() && UpperCase(a) == UpperCase(b);
}

}  // namespace

bool TryEncodeDate(int y, int m, int d, TDateTime& date)
{
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    date = static_cast<double>(DaysFromCivil(y, m, d) - DateTimeEpoch);
    return true;
}

bool TryEncodeTime(int h, int n, int s, int ms, TDateTime& time)
{
    if (h < 0 || h > 23 || n < 0 || n > 59 || s < 0 || s > 59 || ms < 0 || ms > 999) return false;
    time = ((h * 3600 + n * 60 + s) * 1000.0 + ms) / static_cast<double>(MSecsPerDay);
    return true;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time)
{
    return date < 0 ? date - time : date + time;
}

TDateTimeParts DecodeDateTime(TDateTime dt)
{
    int64_t day, msec;
    Split(dt, day, msec);
    TDateTimeParts p;
    CivilFromDays(day + DateTimeEpoch, p.Year, p.Month, p.Day);
    int64_t unixDay = day + DateTimeEpoch;  // 1970-01-01 was a Thursday
    p.DayOfWeek = static_cast<int>(((unixDay % 7) + 7 + 4) % 7);
    p.Hour = static_cast<int>(msec / 3600000);
    p.Minute = static_cast<int>(msec / 60000 % 60);
    p.Second = static_cast<int>(msec / 1000 % 60);
    p.MSec = static_cast<int>(msec % 1000);
    return p;
}

void DateTimeToDayAndMSec(TDateTime dt, int32_t& day, int32_t& msec)
{
    int64_t d, m;
    Split(dt, d, m);
    day = static_cast<int32_t>(d + 693594);  // 1899-12-30 is day 693594 when 0001-01-01 is day 1
    msec = static_cast<int32_t>(m);
}

std::string FormatPicture(const std::string& pic, TDateTime dt, const TFormatSettings& fs)
{
    const TDateTimeParts p = DecodeDateTime(dt);
    std::string out;
    size_t i = 0;
    const size_t n = pic.size();
    while (i < n) {
        char c = pic[i];
        if (c == '\'') {
            // Quoted literal; a doubled quote inside stands for one quote.
            ++i;
            while (i < n) {
                if (pic[i] == '\'') {
                    if (i + 1 < n && pic[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += pic[i++];
            }
            continue;
        }
        size_t run = 1;
        while (i + run < n && pic[i + run] == c) ++run;
        switch (c) {
        case 'd':
            if (run == 1) out += std::to_string(p.Day);
            else if (run == 2) out += Pad(p.Day, 2);
            else if (run == 3) out += fs.ShortDayNames[static_cast<size_t>(p.DayOfWeek)];
            else out += fs.LongDayNames[static_cast<size_t>(p.DayOfWeek)];
            break;
        case 'M':
            if (run == 1) out += std::to_string(p.Month);
            else if (run == 2) out += Pad(p.Month, 2);
            else if (run == 3) out += fs.ShortMonthNames[static_cast<size_t>(p.Month - 1)];
            else out += fs.LongMonthNames[static_cast<size_t>(p.Month - 1)];
            break;
        case 'y':
            if (run == 1) out += std::to_string(p.Year % 100);
            else if (run == 2) out += Pad(p.Year % 100, 2);
            else out += Pad(p.Year, 4);
            break;
        case 'g':
            break;  // era: the Gregorian calendar has only the one
        case 'h': {
            int h12 = p.Hour % 12 == 0 ? 12 : p.Hour % 12;
            out += run == 1 ? std::to_string(h12) : Pad(h12, 2);
            break;
        }
        case 'H':
            out += run == 1 ? std::to_string(p.Hour) : Pad(p.Hour, 2);
            break;
        case 'm':
            out += run == 1 ? std::to_string(p.Minute) : Pad(p.Minute, 2);
            break;
        case 's':
            out += run == 1 ? std::to_string(p.Second) : Pad(p.Second, 2);
            break;
        case 't': {
            const std::string& marker = p.Hour < 12 ? fs.TimeAMString : fs.TimePMString;
            out += run == 1 ? marker.substr(0, 1) : marker;
            break;
        }
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    return out;
}

std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs)
{
    std::string text = FormatPicture(fs.ShortDateFormat, dt, fs);
    int64_t day, msec;
    Split(dt, day, msec);
    if (msec != 0) {
        text += ' ';
        text += FormatPicture(fs.LongTimeFormat, dt, fs);
    }
    return text;
}

std::string AbsDateTimeText(TDateTime dt, const TFormatSettings& fs)
{
    const TDateTimeParts p = DecodeDateTime(dt);
    const std::string& t = fs.TimeSeparator;
    return Pad(p.Year, 4) + "." + Pad(p.Month, 2) + "." + Pad(p.Day, 2) + " " + Pad(p.Hour, 2) + t +
           Pad(p.Minute, 2) + t + Pad(p.Second, 2) + " ";
}

std::string ShortDateTimeText(TDateTime dt, const TFormatSettings& fs)
{
    const TDateTimeParts p = DecodeDateTime(dt);
    const std::string& t = fs.TimeSeparator;
    return Pad(p.Day, 2) + "." + Pad(p.Month, 2) + "." + Pad(p.Year % 100, 2) + " " + Pad(p.Hour, 2) +
           t + Pad(p.Minute, 2) + t + Pad(p.Second, 2);
}

namespace {

// A cursor over the text being converted.
struct TScanner {
    const std::string& s;
    size_t i = 0;

    void SkipBlanks()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    }
    bool AtEnd() const { return i >= s.size(); }
    // Up to 9 digits; digits counts them.
    bool Number(int& v, int& digits)
    {
        size_t b = i;
        int64_t acc = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - b < 9) acc = acc * 10 + (s[i++] - '0');
        digits = static_cast<int>(i - b);
        v = static_cast<int>(acc);
        return digits > 0;
    }
    bool Literal(const std::string& lit)
    {
        if (lit.empty() || s.compare(i, lit.size(), lit) != 0) return false;
        i += lit.size();
        return true;
    }
    // An AM or PM marker (letter case ignored); 0 none, 1 AM, 2 PM.
    int Marker(const TFormatSettings& fs)
    {
        const std::string rest = s.substr(i);
        for (int k = 0; k < 2; ++k) {
            const std::string& m = k == 0 ? fs.TimeAMString : fs.TimePMString;
            const std::string alt = k == 0 ? "AM" : "PM";
            for (const std::string* cand : {&m, &alt}) {
                if (!cand->empty() && rest.size() >= cand->size() &&
                    SameTextAscii(rest.substr(0, cand->size()), *cand)) {
                    i += cand->size();
                    return k + 1;
                }
            }
        }
        return 0;
    }
};

// Order of day, month and year in the short date format: "DMY", "MDY" or "YMD".
std::string DateOrder(const std::string& pic)
{
    std::string order;
    bool quoted = false;
    for (char c : pic) {
        if (c == '\'') quoted = !quoted;
        if (quoted) continue;
        char k = c == 'd' ? 'D' : c == 'M' ? 'M' : c == 'y' ? 'Y' : 0;
        if (k && order.find(k) == std::string::npos) order += k;
    }
    if (order.size() != 3) return "DMY";
    return order;
}

int CurrentYear()
{
    std::time_t now = std::time(nullptr);
    std::tm tmv{};
#ifdef _WIN32
    localtime_s(&tmv, &now);
#else
    localtime_r(&now, &tmv);
#endif
    return tmv.tm_year + 1900;
}

int ExpandYear(int y, int digits, const TFormatSettings& fs)
{
    if (digits > 2) return y;
    int year = fs.TwoDigitYearMax / 100 * 100 + y;
    if (year > fs.TwoDigitYearMax) year -= 100;
    return year;
}

bool ScanTime(TScanner& sc, const TFormatSettings& fs, int firstHour, TDateTime& time)
{
    int h = firstHour, n = 0, s = 0, ms = 0, digits;
    if (!sc.Literal(fs.TimeSeparator) || !sc.Number(n, digits)) return false;
    if (sc.Literal(fs.TimeSeparator)) {
        if (!sc.Number(s, digits)) return false;
        if (sc.Literal(".")) {
            if (!sc.Number(ms, digits) || digits > 3) return false;
        }
    }
    sc.SkipBlanks();
    int marker = sc.Marker(fs);
    if (marker) {
        if (h > 12) return false;
        if (marker == 1 && h == 12) h = 0;
        if (marker == 2 && h < 12) h += 12;
    }
    return TryEncodeTime(h, n, s, ms, time);
}

}  // namespace

bool TryStrToDateTime(const std::string& text, TDateTime& dt, const TFormatSettings& fs)
{
    TScanner sc{text};
    sc.SkipBlanks();
    int v[3] = {0, 0, 0}, dig[3] = {0, 0, 0};
    if (!sc.Number(v[0], dig[0])) return false;

    // A time alone.
    if (text.compare(sc.i, fs.TimeSeparator.size(), fs.TimeSeparator) == 0 &&
        text.compare(sc.i, fs.DateSeparator.size(), fs.DateSeparator) != 0) {
        TDateTime time;
        if (!ScanTime(sc, fs, v[0], time)) return false;
        sc.SkipBlanks();
        if (!sc.AtEnd()) return false;
        dt = time;
        return true;
    }

    int count = 1;
    while (count < 3 && sc.Literal(fs.DateSeparator)) {
        if (!sc.Number(v[count], dig[count])) return false;
        ++count;
    }
    if (count < 2) return false;
    // A separator after the last part (a format such as "dd.MM.yyyy.") is allowed.
    sc.Literal(fs.DateSeparator);

    const std::string order = DateOrder(fs.ShortDateFormat);
    int y = 0, m = 0, d = 0;
    if (count == 3) {
        for (int k = 0; k < 3; ++k) {
            if (order[static_cast<size_t>(k)] == 'D') d = v[k];
            else if (order[static_cast<size_t>(k)] == 'M') m = v[k];
            else y = ExpandYear(v[k], dig[k], fs);
        }
    } else {
        // Day and month in the order the format gives them; the year is this year.
        std::string dm;
        for (char c : order)
            if (c != 'Y') dm += c;
        d = dm[0] == 'D' ? v[0] : v[1];
        m = dm[0] == 'D' ? v[1] : v[0];
        y = CurrentYear();
    }
    TDateTime date;
    if (!TryEncodeDate(y, m, d, date)) return false;

    TDateTime time = 0;
    sc.SkipBlanks();
    if (!sc.AtEnd()) {
        int h, digits;
        if (!sc.Number(h, digits) || !ScanTime(sc, fs, h, time)) return false;
        sc.SkipBlanks();
        if (!sc.AtEnd()) return false;
    }
    dt = ComposeDateTime(date, time);
    return true;
}

TDateTime StrToDateTime(const std::string& text, const TFormatSettings& fs)
{
    TDateTime dt;
    if (!TryStrToDateTime(text, dt, fs)) throw EConvertError("'" + text + "' is not a valid date and time");
    return dt;
}

#ifdef _WIN32
namespace {

// Locale texts come as UTF-16 and are kept as cp1251, whatever the system's ANSI code page is.
std::string LocaleText(LCID lcid, LCTYPE type, const char* def)
{
    wchar_t wbuf[128];
    int n = GetLocaleInfoW(lcid, type, wbuf, 128);
    if (n <= 1) return def;
    std::string text = FromWide(wbuf, n - 1);
    return text.empty() ? std::string(def) : text;
}

}  // namespace

TFormatSettings LoadFormatSettings(uint32_t lcid)
{
    LCID id = lcid ? lcid : LOCALE_USER_DEFAULT;
    TFormatSettings fs;
    fs.ShortDateFormat = LocaleText(id, LOCALE_SSHORTDATE, "dd.MM.yyyy");
    fs.LongTimeFormat = LocaleText(id, LOCALE_STIMEFORMAT, "H:mm:ss");
    fs.DateSeparator = LocaleText(id, LOCALE_SDATE, ".");
    fs.TimeSeparator = LocaleText(id, LOCALE_STIME, ":");
    fs.TimeAMString = LocaleText(id, LOCALE_S1159, "");
    fs.TimePMString = LocaleText(id, LOCALE_S2359, "");
    for (int k = 0; k < 12; ++k) {
        fs.ShortMonthNames[static_cast<size_t>(k)] =
            LocaleText(id, LOCALE_SABBREVMONTHNAME1 + k, std::to_string(k + 1).c_str());
        fs.LongMonthNames[static_cast<size_t>(k)] =
            LocaleText(id, LOCALE_SMONTHNAME1 + k, std::to_string(k + 1).c_str());
    }
    // The locale counts Monday first (LOCALE_SDAYNAME1); the pictures want Sunday first.
    for (int k = 0; k < 7; ++k) {
        size_t slot = static_cast<size_t>((k + 1) % 7);
        fs.ShortDayNames[slot] = LocaleText(id, LOCALE_SABBREVDAYNAME1 + k, "");
        fs.LongDayNames[slot] = LocaleText(id, LOCALE_SDAYNAME1 + k, "");
    }
    DWORD yearMax = 0;
    if (GetCalendarInfoA(id, CAL_GREGORIAN, CAL_ITWODIGITYEARMAX | CAL_RETURN_NUMBER, nullptr, 0,
                         &yearMax) &&
        yearMax >= 99 && yearMax <= 9999)
        fs.TwoDigitYearMax = static_cast<int>(yearMax);
    return fs;
}
#else
TFormatSettings LoadFormatSettings(uint32_t)
{
    TFormatSettings fs;
    for (int k = 0; k < 12; ++k) {
        fs.ShortMonthNames[static_cast<size_t>(k)] = std::to_string(k + 1);
        fs.LongMonthNames[static_cast<size_t>(k)] = std::to_string(k + 1);
    }
    return fs;
}
#endif

const TFormatSettings& UserFormatSettings()
{
    auto& fs = Current();
    if (!fs) fs = std::make_unique<TFormatSettings>(LoadFormatSettings(0));
    return *fs;
}

void SetUserFormatSettings(const TFormatSettings& fs)
{
    Current() = std::make_unique<TFormatSettings>(fs);
}
