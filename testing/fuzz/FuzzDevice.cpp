// Device description files and ".jcfg" parameter lists written by hand: the device model they
// give holds nothing the file does not: no archive past the sixth, no parameter past a gap or
// past s2000, no name or section the text lacks.
#include "DeviceFile.h"
#include "FuzzSupport.h"
#include "TextIni.h"

namespace {

bool InText(const std::string& text, const std::string& part)
{
    return LowerCase(text).find(LowerCase(part)) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TTextIni ini(text);

    TDevInfo dev;
    int names = 0, tooMany = 0, sections = 0;
    TDeviceReadHooks hooks;
    hooks.OnName = [&](const std::string& name) {
        ++names;
        FUZZ_CHECK(name == "прибор" || InText(text, name));
    };
    hooks.OnTooManyArchives = [&](int32_t count) {
        ++tooMany;
        FUZZ_CHECK(count > MaxArchives);
    };
    hooks.OnSection = [&](int k) { FUZZ_CHECK(k == sections++); };
    bool refused = false;
    try {
        ReadDeviceDescription(ini, "dev.ini", dev, hooks);
    } catch (const EDeviceFormatError& e) {
        // Only a code list refuses a file, and the message names its section.
        refused = true;
        const std::string sec = "s" + IntToStr(sections - 1);
        FUZZ_CHECK(e.Message().find("[" + sec + "]") != std::string::npos);
        FUZZ_CHECK(ini.ReadString(sec, "type", "18").find('=') != std::string::npos);
    }
    FUZZ_CHECK(names == 1);
    FUZZ_CHECK(dev.archtypecount <= MaxArchives && tooMany <= 1);
    for (int j = std::max(dev.archtypecount, 0) + 1; j <= MaxArchives; ++j) {
        const TJournalInfo& a = dev.Archive(j);
        FUZZ_CHECK(a.ArchName == "???" && a.archnum == -1 && a.ArchReg == -1 && a.ArchCountRec == -1);
    }
    for (int j = 1; j <= dev.archtypecount; ++j)
        FUZZ_CHECK(dev.Archive(j).ArchName == "???" || InText(text, dev.Archive(j).ArchName));
    const size_t n = dev.Params.size();
    FUZZ_CHECK(n <= MaxParamSection + 1);
    if (!refused) FUZZ_CHECK(sections == static_cast<int>(std::min<size_t>(n + 1, MaxParamSection + 1)));
    for (size_t k = 0; k < n; ++k) {
        const TRecType& p = *dev.Params[k];
        FUZZ_CHECK(ini.HasSection("s" + IntToStr(static_cast<int64_t>(k))) && p.ID != -1);
        FUZZ_CHECK(p.Name == "???" || InText(text, p.Name));
        FUZZ_CHECK((p.ValType == 256 && p.Values) || !p.Values);
        if (p.Values)
            for (const TValueStr& v : *p.Values) FUZZ_CHECK(v.Text.size() < text.size());
    }

    // The same text as a parameter list.
    const auto params = ReadParamList(ini);
    for (size_t k = 0; k < params.size(); ++k) {
        FUZZ_CHECK(ini.HasSection("s" + IntToStr(static_cast<int64_t>(k))));
        FUZZ_CHECK(params[k]->ID != -1 && !params[k]->Values);
        FUZZ_CHECK(params[k]->Name.empty() || InText(text, params[k]->Name));
    }
    return 0;
}
