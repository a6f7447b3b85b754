// Date and time texts: device time stamps to texts and back, and texts of any content (a text
// journal's dates) through the locale's date-time conversion, under formats of any content.
#include <cmath>
#include <cstdio>

#include "DateTexts.h"
#include "FuzzSupport.h"
#include "RecordDecode.h"

namespace {

// Date formats as locales pair them with their separators.
const char* const DateFormats[][2] = {
    {"dd.MM.yyyy", "."}, {"M/d/yyyy", "/"}, {"yyyy-MM-dd", "-"}, {"d.M.yyyy", "."}, {"dd.MM.yy", "."}};
const char* const TimeFormats[] = {"H:mm:ss", "h:mm:ss tt", "HH:mm:ss"};

bool Near(TDateTime a, TDateTime b, double seconds) { return std::fabs(a - b) * 86400.0 < seconds; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    const uint8_t pick = in.Byte();
    TFormatSettings fs;
    // Known formats with their separators, or texts of any content as the locale's formats.
    const bool known = (pick & 0x80) == 0;
    if (known) {
        fs.ShortDateFormat = DateFormats[pick % 5][0];
        fs.DateSeparator = DateFormats[pick % 5][1];
        fs.LongTimeFormat = TimeFormats[(pick >> 3) % 3];
        fs.TimeSeparator = ":";
        fs.TimeAMString = "AM";
        fs.TimePMString = "PM";
    } else {
        fs.ShortDateFormat = in.Text(12);
        fs.LongTimeFormat = in.Text(12);
        fs.DateSeparator = in.Text(2);
        fs.TimeSeparator = in.Text(2);
        fs.TimeAMString = in.Text(3);
        fs.TimePMString = in.Text(3);
    }
    fs.TwoDigitYearMax = 1950 + in.Byte();

    // Every device time stamp is a date from 1970 to 2106 and converts back to itself.
    const uint32_t s = in.Long();
    const TDateTime dt = UnixSecondsToDateTime(s);
    FUZZ_CHECK(DateTimeToUnixSeconds(dt) == s);
    const TDateTimeParts p = DecodeDateTime(dt);
    FUZZ_CHECK(p.Year >= 1970 && p.Year <= 2106 && p.Month >= 1 && p.Month <= 12 && p.Day >= 1 && p.Day <= 31);
    int days, h, m, sec;
    const int32_t signedSeconds = static_cast<int32_t>(s);
    FUZZ_CHECK(std::sscanf(FormatDuration(signedSeconds).c_str(), "%d %d:%d:%d", &days, &h, &m, &sec) == 4);
    FUZZ_CHECK(static_cast<int64_t>(days) * 86400 + h * 3600 + m * 60 + sec == signedSeconds);
    const size_t sep = 2 * fs.TimeSeparator.size();
    FUZZ_CHECK(AbsDateTimeText(dt, fs).size() == 18 + sep && ShortDateTimeText(dt, fs).size() == 15 + sep);

    // What the list shows in the known formats converts back to the same second.
    const bool fourDigits = fs.ShortDateFormat.find("yyyy") != std::string::npos;
    const bool inWindow = p.Year > fs.TwoDigitYearMax - 100 && p.Year <= fs.TwoDigitYearMax;
    TDateTime back;
    if (known && (fourDigits || inWindow)) {
        const std::string text = DateTimeToStr(dt, fs);
        FUZZ_CHECK(TryStrToDateTime(text, back, fs));
        FUZZ_CHECK(Near(back, dt, 0.5));
    }

    // A text of any content: a value when it is a date-time, and then one the texts show again.
    const std::string text = in.Text(64);
    if (TryStrToDateTime(text, back, fs)) {
        FUZZ_CHECK(std::isfinite(back));
        const TDateTimeParts q = DecodeDateTime(back);
        FUZZ_CHECK(q.Year >= 1 && q.Year <= 9999);
        TDateTime again;
        if (known && fourDigits && back >= 0) {
            FUZZ_CHECK(TryStrToDateTime(DateTimeToStr(back, fs), again, fs));
            FUZZ_CHECK(Near(again, back, 1.0));
        }
    }
    // A picture of any content is applied, whatever it holds.
    const std::string picture = FormatPicture(text, dt, fs);
    FUZZ_CHECK(picture.size() <= 64 * 16 + fs.TimeAMString.size() * 64 + fs.TimePMString.size() * 64);
    return 0;
}
