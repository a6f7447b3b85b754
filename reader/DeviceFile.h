// What the keys of a device description file and of a parameter list (".jcfg") become in the
// device model. The files are read through the ini-file class; the rules here take any class
// with its ReadString, ReadInteger and ReadBool, so that they build natively as well.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CodeList.h"
#include "DevInfo.h"
#include "SysUtils.h"

constexpr int MaxParamSection = 2000;

// A device description that cannot be used; the message names the file and the section.
class EDeviceFormatError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EDeviceFormatError"; }
};

void AddParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id, const std::string& name,
              int32_t valType);
// Raises EConvertError when an entry's code is not an integer.
void AddListParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id, const std::string& name,
                  const std::string& listText);

// What the window does while a description is read.
struct TDeviceReadHooks {
    std::function<void(const std::string& name)> OnName;   // the name, at once
    std::function<void(int32_t count)> OnTooManyArchives;  // before the count is cut to MaxArchives
    std::function<void(int k)> OnSection;                  // each parameter section looked at
};

// Reads one device description into dev; a code list that cannot be parsed raises
// EDeviceFormatError naming fileName and the section.
template <class TIni>
void ReadDeviceDescription(const TIni& f, const std::string& fileName, TDevInfo& dev,
                           const TDeviceReadHooks& hooks)
{
    const std::string S = "settings";
    dev.name = f.ReadString(S, "name", "прибор");
    if (hooks.OnName) hooks.OnName(dev.name);
    dev.archtypecount = f.ReadInteger(S, "archtypecount", 0);
    if (dev.archtypecount > MaxArchives) {
        if (hooks.OnTooManyArchives) hooks.OnTooManyArchives(dev.archtypecount);
        dev.archtypecount = MaxArchives;
    }
    for (int j = 1; j <= dev.archtypecount; ++j) {
        TJournalInfo& a = dev.Archive(j);
        std::string n = IntToStr(j);
        a.ArchCountRec = f.ReadInteger(S, "ArchCountRec" + n, -1);
        a.archnum = f.ReadInteger(S, "archnum" + n, -1);
        a.ArchReg = f.ReadInteger(S, "ArchReg" + n, -1);
        a.ArchName = f.ReadString(S, "ArchName" + n, "???");
        a.ArchAbsTime = f.ReadInteger(S, "StartTime" + n, 0) == 1970;
        a.ArchCycle = f.ReadBool(S, "ArchCycle" + n, false);
        a.ArchIsWorkTime = f.ReadBool(S, "ArchIsWorkTime" + n, false);
        a.ArchRegOverFlow = f.ReadInteger(S, "ArchRegOverFlow" + n, 0);
        a.ArchStandart = static_cast<uint8_t>(f.ReadInteger(S, "ArchStandart" + n, 0));
    }
    dev.Params.clear();
    for (int k = 0; k <= MaxParamSection; ++k) {
        std::string sec = IntToStr(k).insert(0, 1, 's');
        int32_t id = f.ReadInteger(sec, "ID", -1);
        if (hooks.OnSection) hooks.OnSection(k);
        if (id == -1) break;
        std::string name = f.ReadString(sec, "name", "???");
        std::string type = f.ReadString(sec, "type", "18");
        int32_t code;
        if (TryStrToInt(type, code)) {
            AddParam(dev.Params, id, name, code);
        } else {
            try {
                AddListParam(dev.Params, id, name, type);
            } catch (const EConvertError& e) {
                throw EDeviceFormatError(Format("Ошибка в файле %s, секция [%s]: %s", fileName.c_str(),
                                                sec.c_str(), e.Message().c_str()));
            }
        }
    }
    dev.veraa = f.ReadInteger(S, "veraa", 0);
    dev.verbb = f.ReadInteger(S, "verbb", 0);
    dev.vercc = f.ReadInteger(S, "vercc", 0);
    dev.verdd = f.ReadInteger(S, "verdd", 0);
}

// The parameters of a ".jcfg" list: sections s0, s1, ... up to the first without an "addr"; a
// parameter without a type takes the one before it (the first: the default 18). No code lists.
template <class TIni>
std::vector<std::unique_ptr<TRecType>> ReadParamList(const TIni& ini)
{
    std::vector<std::unique_ptr<TRecType>> params;
    int32_t valType = 18;
    for (int64_t k = 0;; ++k) {
        const std::string section = std::string("s").append(IntToStr(k));
        const int32_t id = ini.ReadInteger(section, "addr", -1);
        if (id == -1) break;
        valType = ini.ReadInteger(section, "type", valType);
        auto p = std::make_unique<TRecType>();
        p->ID = id;
        p->ValType = valType;
        p->Name = ini.ReadString(section, "name", "");
        params.push_back(std::move(p));
    }
    return params;
}
