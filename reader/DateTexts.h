// Date-time values and the texts the user's locale makes of them: the default date-time text,
// the two fixed patterns of the record lists, and the conversion of a date text back to a value.
// Only the loading of the user's settings touches Win32; everything else builds natively.
#pragma once
#include <array>
#include <cstdint>
#include <string>

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

// The locale formats the texts follow. Date and time formats are Windows pictures
// ("dd.MM.yyyy", "H:mm:ss", ...); names are cp1251.
struct TFormatSettings {
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string LongTimeFormat = "H:mm:ss";
    std::string DateSeparator = ".";
    std::string TimeSeparator = ":";
    std::string TimeAMString;
    std::string TimePMString;
    std::array<std::string, 12> ShortMonthNames;
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames;  // Sunday first
    std::array<std::string, 7> LongDayNames;
    // A two-digit year y means the latest year <= TwoDigitYearMax that ends in y.
    int TwoDigitYearMax = 2049;
};

// The user's settings, read from the locale on first use.
const TFormatSettings& UserFormatSettings();
// Replaces the settings every text below uses by default (a test fixes the locale with it).
void SetUserFormatSettings(const TFormatSettings& fs);
// Reads the settings of a locale (LOCALE_USER_DEFAULT when lcid is 0). Natively: the defaults.
TFormatSettings LoadFormatSettings(uint32_t lcid = 0);

// Calendar arithmetic of the proleptic Gregorian calendar.
bool TryEncodeDate(int y, int m, int d, TDateTime& date);
bool TryEncodeTime(int h, int n, int s, int ms, TDateTime& time);
// Composes date and time the way the platform keeps a date-time (time as |fraction|).
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
struct TDateTimeParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, MSec = 0;
    int DayOfWeek = 0;  // 0 = Sunday
};
// Milliseconds are rounded to the nearest; a value that rounds up to midnight is the next day.
TDateTimeParts DecodeDateTime(TDateTime dt);
// Day number counted from 0001-01-01 as day 1, and the milliseconds of the day.
void DateTimeToDayAndMSec(TDateTime dt, int32_t& day, int32_t& msec);

// A Windows date or time picture applied to dt.
std::string FormatPicture(const std::string& picture, TDateTime dt, const TFormatSettings& fs);
// The platform's default date-time text: short date, a blank, long time; no time at midnight.
std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs = UserFormatSettings());
// "yyyy.mm.dd hh:nn:ss " with the user's time separator for ':' (the blank at the end is part of it).
std::string AbsDateTimeText(TDateTime dt, const TFormatSettings& fs = UserFormatSettings());
// "dd.mm.yy hh:nn:ss" with the user's time separator for ':'.
std::string ShortDateTimeText(TDateTime dt, const TFormatSettings& fs = UserFormatSettings());

// The date-time conversion of a text by the locale: a date in the order of the short date format
// with the date separator (the year may be left out or given with two digits), optionally followed
// by a time (hours, minutes, optional seconds and milliseconds, optional AM/PM marker); or a time
// alone. Surrounding blanks are ignored.
bool TryStrToDateTime(const std::string& text, TDateTime& dt,
                      const TFormatSettings& fs = UserFormatSettings());
// As TryStrToDateTime; a text that is no date-time raises EConvertError.
TDateTime StrToDateTime(const std::string& text, const TFormatSettings& fs = UserFormatSettings());
