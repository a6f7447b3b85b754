// Date and time formats that tests fix instead of taking the machine's locale.
#pragma once
#include "DateTexts.h"

namespace tt {

// Russian formats as a Russian system sets them.
inline TFormatSettings RussianFormats()
{
    TFormatSettings fs;
    fs.ShortDateFormat = "dd.MM.yyyy";
    fs.LongTimeFormat = "H:mm:ss";
    fs.DateSeparator = ".";
    fs.TimeSeparator = ":";
    return fs;
}

inline TFormatSettings EnglishFormats()
{
    TFormatSettings fs;
    fs.ShortDateFormat = "M/d/yyyy";
    fs.LongTimeFormat = "h:mm:ss tt";
    fs.DateSeparator = "/";
    fs.TimeSeparator = ":";
    fs.TimeAMString = "AM";
    fs.TimePMString = "PM";
    return fs;
}

}  // namespace tt
