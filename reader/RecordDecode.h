// Archive records: the request of one record, the layouts of the replies, the time routines
// and the texts and event values a record's fields become. Free of the windowing layer.
#pragma once
#include "DateTexts.h"
#include "DevInfo.h"

#include <cstdint>
#include <string>

// The caller's buffer of one archive record request and its reply.
constexpr int RecordBufferSize = 256;
// The library copies at most 252 reply bytes: function code, count, then at most 250 data bytes.
constexpr int MaxRecordData = 250;
constexpr int ArchiveFunction = 0x41;
constexpr int ArchiveRequestLen = 7;

// What an archive is read as, by its record layout and its position j (from 0) in the device type.
enum class TArchiveKind { None, Numeric, OldNew, TextJournal, ModeLog };
TArchiveKind ArchiveKind(uint8_t ArchStandart, int j);
// A ring archive whose capacity is no number of records is read as a plain one.
bool IsRingArchive(const TJournalInfo& arch);
// Archive byte of the request: archnum's low byte, 9 for the text journal, 8 for the mode log.
uint8_t ArchiveByte(TArchiveKind kind, const TJournalInfo& arch);
// Index of the k-th record of a read that starts at start.
int32_t RecordIndex(TArchiveKind kind, const TJournalInfo& arch, int32_t start, int32_t k);
// Fills buf (RecordBufferSize bytes) with the request data; the rest of the buffer is zeroed,
// so that a short reply never shows bytes of an earlier one.
void BuildRecordRequest(uint8_t* buf, uint8_t archiveByte, int32_t index);

// True when the record in buf (its count in buf[1]) holds every field its kind decodes: a
// shorter record would show the bytes after it (the request's, or zeros) as its values.
bool RecordIsWhole(const uint8_t* buf, TArchiveKind kind, uint8_t layout);

uint16_t GetWordBE(const uint8_t* p);
uint32_t GetLongBE(const uint8_t* p);

// A numeric or old/new record (layouts 0, 2, 3); OldValue is 0 but for layout 3.
struct TNumericRecord {
    uint32_t Time = 0;
    uint16_t ID = 0;
    uint32_t OldValue = 0;
    uint32_t NewValue = 0;
};
// indexSent: the record index the request carried (layout 2 reports record 0 under ID 65535).
TNumericRecord DecodeNumericRecord(const uint8_t* buf, uint8_t layout, int32_t indexSent);

struct TModeRecord {
    uint32_t Time = 0;
    uint16_t Mode = 0;
};
TModeRecord DecodeModeRecord(const uint8_t* buf);
// "рабочий", "сервис", "настройка", "тест" for 0..3; empty for any other mode.
std::string ModeName(uint16_t mode);
extern const char* const ModeChangeName;  // "Смена режима"

// One text-journal entry: the date text as received, the event name and its value.
struct TTextEntry {
    std::string DateText;
    std::string Name;
    std::string Value;
};
TTextEntry DecodeTextEntry(const uint8_t* buf);

// ---- time routines ----
TDateTime UnixSecondsToDateTime(uint32_t s);
// 0 for any date before 1970-01-01; whole seconds rounded half to even; 32-bit arithmetic.
uint32_t DateTimeToUnixSeconds(TDateTime dt);
// "%d %d:%d:%d": days, hours, minutes, seconds of a signed count of seconds.
std::string FormatDuration(int32_t s);
void ReplaceFirstChar(std::string& s, char a, char b);
// The time text of a record by the archive's flags (no archive: neither flag).
std::string RecordTimeText(uint32_t time, const TJournalInfo* arch,
                           const TFormatSettings& fs = UserFormatSettings());
// The same rules applied to an event's time in the group grid.
std::string EventTimeText(TDateTime t, const TJournalInfo* arch,
                          const TFormatSettings& fs = UserFormatSettings());

// ---- values ----
// A real in "%0.7f" with a point as its decimal separator.
std::string RealText(double v);

// What a 32-bit record value of a parameter gives: the list text and the event value kept.
struct TDecodedValue {
    bool HasText = false;
    std::string Text;
    bool HasEvent = false;
    TEventValue Event;
};
TDecodedValue DecodeValue(const TRecType& param, uint32_t value,
                          const TFormatSettings& fs = UserFormatSettings());
// The text of an event value in the group grid, by the group's value type code.
std::string GroupValueText(int32_t valType, const TEventValue& v,
                           const TFormatSettings& fs = UserFormatSettings());
