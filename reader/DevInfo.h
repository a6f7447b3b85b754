// The device model: device types with their archives and parameters, and the records that
// the groups of a read are made of. Plain data, free of the windowing layer.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

// A date-time held as an event value (kept apart from a real number of the same width).
struct TDateValue {
    TDateTime Value = 0;
    bool operator==(const TDateValue&) const = default;
};

// The value of one event as the list decoding keeps it: a signed 32-bit integer, an unsigned
// 8-bit integer, a signed 8-bit integer, an unsigned 32-bit integer, a real, a date-time or a text.
using TEventValue = std::variant<int32_t, uint8_t, int8_t, uint32_t, double, TDateValue, std::string>;

struct TValueStr {
    int32_t Code = 0;
    std::string Text;
};

struct TRecEvent {
    TDateTime EventTime = 0;
    TEventValue EventValue;
};

// One parameter of a device; in the role of a group, one group of events.
struct TRecType {
    int32_t ID = 0;
    int32_t ValType = 18;
    std::string Name;
    std::vector<TRecEvent> Events;
    // Code texts of a list parameter; none (null) for every other parameter.
    std::unique_ptr<std::vector<TValueStr>> Values;
};

// One event name of a text journal or mode-change log, numbered from 1 in order of arrival.
struct TRecStr {
    std::string EventName;
    int32_t EventIndex = 0;
};

struct TJournalInfo {
    int32_t ArchCountRec = -1;
    int32_t ArchReg = -1;
    int32_t archnum = -1;
    std::string ArchName = "???";
    bool ArchCycle = false;
    int32_t ArchRegOverFlow = 0;
    bool ArchIsWorkTime = false;
    bool ArchAbsTime = false;
    uint8_t ArchStandart = 0;
};

constexpr int MaxArchives = 6;

struct TDevInfo {
    std::string name = "прибор";
    int32_t veraa = 0;
    int32_t verbb = 0;
    int32_t vercc = 0;
    int32_t verdd = 0;
    int32_t archtypecount = 0;
    // Archives 1..MaxArchives; use Archive(j) for the 1-based access the descriptions use.
    std::array<TJournalInfo, MaxArchives> Archives;
    std::vector<std::unique_ptr<TRecType>> Params;

    TJournalInfo& Archive(int j) { return Archives.at(static_cast<size_t>(j - 1)); }
    const TJournalInfo& Archive(int j) const { return Archives.at(static_cast<size_t>(j - 1)); }
};
