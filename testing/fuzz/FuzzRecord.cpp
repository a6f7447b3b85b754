// One archive record from the serial line to a row: the reply taken into the caller's buffer as
// the library does, then decoded by its archive's layout and the parameter's value type, the
// time stamp turned into its text.
#include <algorithm>
#include <cmath>
#include <memory>

#include "CodeList.h"
#include "ComPortObjectU.h"
#include "DateTexts.h"
#include "FuzzSupport.h"
#include "RecordDecode.h"
#include "SysUtils.h"

namespace {

const int32_t ValueTypes[] = {2, 3, 4, 7, 16, 17, 18, 19, 256, 5, 256};

bool Holds(const std::string& whole, const std::string& part)
{
    return part.empty() || whole.find(part) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const TFormatSettings fs;  // fixed formats: the machine's locale plays no part
    TFuzzInput in(data, size);
    TJournalInfo arch;
    arch.ArchStandart = in.Byte();
    const int j = in.Byte() % MaxArchives;
    const uint8_t flags = in.Byte();
    arch.ArchAbsTime = flags & 1;
    arch.ArchIsWorkTime = flags & 2;
    arch.ArchCycle = flags & 4;
    arch.ArchCountRec = static_cast<int32_t>(in.Word()) - 1;
    arch.archnum = in.Byte();
    const int32_t start = static_cast<int32_t>(in.Long());
    const int32_t k = in.Word();
    TRecType param;
    param.ValType = ValueTypes[in.Byte() % (sizeof ValueTypes / sizeof *ValueTypes)];
    if (param.ValType == 256 && (flags & 8)) {
        try {
            param.Values = std::make_unique<std::vector<TValueStr>>(ParseValueList(in.Text(64)));
        } catch (const EConvertError&) {
        }
    }
    // The reply as it comes from the line: address, function code, count, data, CRC.
    std::vector<uint8_t> payload = in.Bytes(MaxReplyBytes - 3);

    const TArchiveKind kind = ArchiveKind(arch.ArchStandart, j);
    if (kind == TArchiveKind::None) return 0;
    const int32_t index = RecordIndex(kind, arch, start, k);
    if (IsRingArchive(arch) && (kind == TArchiveKind::Numeric || kind == TArchiveKind::OldNew))
        FUZZ_CHECK((index >= 0 && index < arch.ArchCountRec));
    uint8_t buf[RecordBufferSize];
    BuildRecordRequest(buf, ArchiveByte(kind, arch), index);

    TArrayByte reply{1};
    reply.insert(reply.end(), payload.begin(), payload.end());
    AppendCrc(reply);
    TArrayByte line(256, 0);
    FUZZ_CHECK(AddReplyBytes(line, reply.data(), static_cast<int>(reply.size())));
    if (ReplyStatus(line, false) != LinkOk || TakeAnyReply(line, buf) != LinkOk) return 0;

    // The record: function code, count N and N data bytes; nothing after it may be read.
    // A record too short for its kind shows as not read.
    const size_t recordSize = std::min<size_t>(2 + buf[1], RecordBufferSize);
    if (!RecordIsWhole(buf, kind, arch.ArchStandart)) return 0;
    TExactBlock record(buf, recordSize);
    const uint8_t* rec = record.Data();
    switch (kind) {
    case TArchiveKind::Numeric:
    case TArchiveKind::OldNew: {
        TNumericRecord r = DecodeNumericRecord(rec, arch.ArchStandart, index);
        if (arch.ArchStandart != 3) FUZZ_CHECK(r.OldValue == 0);
        std::string time = RecordTimeText(r.Time, &arch, fs);
        FUZZ_CHECK(!time.empty());
        TDecodedValue v = DecodeValue(param, r.NewValue, fs);
        FUZZ_CHECK(v.HasText == (param.ValType != 256 || param.Values != nullptr));
        // A group shows its events by its own type code, whatever the value held.
        if (v.HasEvent)
            for (int32_t groupType : ValueTypes) {
                const std::string shown = GroupValueText(groupType, v.Event, fs);
                FUZZ_CHECK(!shown.empty() || std::holds_alternative<std::string>(v.Event));
            }
        break;
    }
    case TArchiveKind::ModeLog: {
        TModeRecord r = DecodeModeRecord(rec);
        FUZZ_CHECK(ModeName(r.Mode).empty() == (r.Mode > 3));
        FUZZ_CHECK(!DateTimeToStr(UnixSecondsToDateTime(r.Time), fs).empty());
        break;
    }
    default: {
        TTextEntry e = DecodeTextEntry(rec);
        // Every field is a piece of the record's text.
        const std::string text(reinterpret_cast<const char*>(rec) + 2, recordSize - 2);
        FUZZ_CHECK(e.DateText.size() <= 18);
        FUZZ_CHECK(Holds(text, e.DateText) && Holds(text, e.Name) && Holds(text, e.Value));
        TDateTime dt;
        if (TryStrToDateTime(e.DateText, dt, fs)) FUZZ_CHECK(std::isfinite(dt));
        break;
    }
    }
    return 0;
}
