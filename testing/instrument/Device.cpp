// Texts here are cp1251 bytes: this file is compiled with -fexec-charset=CP1251.
#include "Device.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace instrument {

uint16_t Crc16(const uint8_t* data, size_t n) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

static std::string Lower(std::string s) {
  for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

static std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool ParseInt(const std::string& text, long& out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  bool neg = false;
  size_t i = 0;
  if (t[0] == '-' || t[0] == '+') {
    neg = t[0] == '-';
    i = 1;
  }
  int base = 10;
  if (t.compare(i, 2, "0x") == 0 || t.compare(i, 2, "0X") == 0) {
    base = 16;
    i += 2;
  } else if (i < t.size() && t[i] == '$') {
    base = 16;
    i += 1;
  }
  if (i >= t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    int d;
    char c = t[i];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFll) return false;
  }
  out = long(neg ? -v : v);
  return true;
}

bool Ini::Load(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::string line, section;
  while (std::getline(f, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t e = line.find(']');
      section = Lower(Trim(line.substr(1, e == std::string::npos ? std::string::npos : e - 1)));
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Lower(Trim(line.substr(0, eq)));
    std::string value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    auto& s = data_[section];
    if (!s.count(key)) s[key] = value;  // the first of duplicate keys wins, as with the profile functions
  }
  return true;
}

std::string Ini::Get(const std::string& section, const std::string& key, const std::string& def) const {
  auto s = data_.find(Lower(section));
  if (s == data_.end()) return def;
  auto k = s->second.find(Lower(key));
  return k == s->second.end() ? def : k->second;
}

long Ini::Int(const std::string& section, const std::string& key, long def) const {
  long v;
  return ParseInt(Get(section, key, ""), v) ? v : def;
}

int Archive::ArchByte() const {
  if (textJournal) return 9;
  if (modeLog) return 8;
  return int(num & 0xFF);
}

bool Device::LoadDescription(const std::string& path, std::string& err) {
  Ini ini;
  if (!ini.Load(path)) {
    err = "cannot read device description " + path;
    return false;
  }
  archives.clear();
  params.clear();
  long n = ini.Int("settings", "archtypecount", 0);
  if (n > 6) n = 6;
  for (int j = 1; j <= n; ++j) {
    Archive a;
    std::string s = std::to_string(j);
    a.pos = j;
    a.countRec = ini.Int("settings", "ArchCountRec" + s, -1);
    a.num = ini.Int("settings", "archnum" + s, -1);
    a.reg = ini.Int("settings", "ArchReg" + s, -1);
    a.cycle = ini.Int("settings", "ArchCycle" + s, 0) != 0;
    a.workTime = ini.Int("settings", "ArchIsWorkTime" + s, 0) != 0;
    a.regOverflow = ini.Int("settings", "ArchRegOverFlow" + s, 0);
    a.layout = int(ini.Int("settings", "ArchStandart" + s, 0) & 0xFF);
    a.textJournal = a.layout == 1 && j == 1;
    a.modeLog = a.layout == 1 && j > 1;
    archives.push_back(a);
  }
  for (int k = 0; k <= 2000; ++k) {
    std::string sec("s");
    sec += std::to_string(k);
    long id = ini.Int(sec, "ID", -1);
    if (id == -1) break;
    Param p;
    p.id = int(id);
    std::string type = ini.Get(sec, "type", "18");
    long t;
    if (ParseInt(type, t) && type.find("0x") == std::string::npos) {
      p.type = int(t);
    } else {
      p.type = 256;
      std::stringstream ss(type);
      std::string entry;
      while (std::getline(ss, entry, ';')) {
        size_t eq = entry.find('=');
        long code;
        if (eq != std::string::npos && ParseInt(entry.substr(0, eq), code)) p.codes.push_back(int(code));
      }
    }
    params.push_back(p);
  }
  UpdateCountRegisters();
  return true;
}

Archive* Device::ByPos(int pos) {
  for (auto& a : archives)
    if (a.pos == pos) return &a;
  return nullptr;
}

Archive* Device::ByArchByte(int b) {
  for (auto& a : archives)
    if (a.layout <= 3 && a.ArchByte() == b) return &a;
  return nullptr;
}

const Bytes* Device::Record(const Archive& a, long idx) const {
  long total = long(a.records.size());
  if (idx < 0) return nullptr;
  if (a.cycle && a.countRec > 0 && total > a.countRec) {
    if (idx >= a.countRec) return nullptr;
    long base = total - a.countRec;  // oldest record still in the ring
    long seq = base + ((idx - base % a.countRec) % a.countRec + a.countRec) % a.countRec;
    return &a.records[size_t(seq)];
  }
  return idx < total ? &a.records[size_t(idx)] : nullptr;
}

uint16_t Device::CountRegister(const Archive& a) const {
  size_t t = a.records.size();
  if (a.cycle && a.countRec > 0) return uint16_t(t % size_t(a.countRec));
  if (a.layout == 2) return uint16_t(t ? t - 1 : 0);
  return uint16_t(t);
}

uint16_t Device::OverflowRegister(const Archive& a) const {
  if (a.cycle && a.countRec > 0) return uint16_t(a.records.size() / size_t(a.countRec));
  return 0;
}

uint16_t* Device::RegRef(long ref) {
  if (ref >= 400001 && ref <= 400001 + 65535) return &hold[size_t(ref - 400001)];
  if (ref >= 300001 && ref < 400000) return &input[size_t(ref - 300001)];
  return nullptr;
}

void Device::UpdateCountRegisters() {
  for (auto& a : archives) {
    if (uint16_t* r = RegRef(a.reg)) *r = CountRegister(a);
    if (a.cycle)
      if (uint16_t* r = RegRef(a.regOverflow)) *r = OverflowRegister(a);
  }
}

static void Put32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
static void Put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v >> 8));
  b.push_back(uint8_t(v));
}

Bytes EncodeNumeric(int layout, uint32_t time, uint16_t id, uint32_t oldValue, uint32_t value) {
  Bytes b;
  Put32(b, time);
  if (layout == 2) Put16(b, 0);
  Put16(b, id);
  if (layout == 3) Put32(b, oldValue);
  Put32(b, value);
  return b;
}

Bytes EncodeMode(uint32_t time, uint16_t mode) {
  Bytes b;
  Put32(b, time);
  Put16(b, mode);
  return b;
}

Bytes EncodeJournal(uint32_t time, const std::string& entry) {
  time_t t = time_t(time);
  struct tm tm;
  gmtime_r(&t, &tm);
  char date[32];
  snprintf(date, sizeof date, "%02d.%02d.%02d %02d:%02d:%02d ", tm.tm_mday, tm.tm_mon + 1,
           tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::string text(1, ' ');
  text += date;
  text += entry;
  return Bytes(text.begin(), text.end());
}

static uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

// A value that fits the parameter's type: signed types go negative, lists take their codes.
static uint32_t GenValue(const Param* p, long i) {
  int type = p ? p->type : 19;
  switch (type) {
    case 2: return uint32_t(int32_t(int16_t(-150 + (i * 7) % 300)));
    case 3: return uint32_t(int32_t(-50000 + i * 1234));
    case 4: return FloatBits(20.5f + float(i % 40) * 0.25f - (i % 3 == 2 ? 40.0f : 0.0f));
    case 7: return uint32_t(1767225600u - 86400u * uint32_t(i % 30) + 3600u * uint32_t(i % 24));
    case 16: return uint32_t(int32_t(int8_t(-(i % 100) + 20)));
    case 17: return uint32_t((i * 13) % 256);
    case 18: return uint32_t((i * 37) % 65536);
    case 19: return 3000000000u + uint32_t(i);
    case 256:
      if (p->codes.empty() || i % 7 == 6) return 0x7F;  // a code the list does not name
      return uint32_t(p->codes[size_t(i) % p->codes.size()] & 0xFF);
    default: return uint32_t(int32_t(i * 11 - 500));
  }
}

static const char* const kJournal[] = {
    "Уставка давления: 1.50->2.00",
    "Калибровка нуля: 0->12",
    "Смена адреса: 1->1",
    "Пароль изменён",
    "Сброс архива: ->выполнен",
    "Уставка температуры: 20->25",
};

void Device::Generate(Archive& a, size_t n) {
  a.records.clear();
  AppendGenerated(a, n);
}

void Device::AppendGenerated(Archive& a, size_t n) {
  for (size_t k = a.records.size(), last = k + n; k < last; ++k) {
    long i = long(k);
    uint32_t time = a.workTime ? 3600u + 600u * uint32_t(i) : baseTime + 600u * uint32_t(i);
    if (a.textJournal) {
      a.records.push_back(EncodeJournal(time, kJournal[k % (sizeof kJournal / sizeof *kJournal)]));
    } else if (a.modeLog) {
      a.records.push_back(EncodeMode(time, uint16_t(k % 9 == 8 ? 256 : k % 4)));
    } else {
      const Param* p = params.empty() ? nullptr : &params[k % params.size()];
      uint16_t id = p ? uint16_t(p->id) : uint16_t(k % 10);
      if (i % 50 == 49) {
        id = 999;
        p = nullptr;
      }
      uint32_t value = GenValue(p, i);
      uint32_t old = i > 0 ? GenValue(p, i - 1) : 0;
      a.records.push_back(EncodeNumeric(a.layout, time, id, old, value));
    }
  }
  UpdateCountRegisters();
}

void Device::GenerateMissing(size_t n) {
  for (auto& a : archives)
    if (a.records.empty() && n) Generate(a, n);
}

static bool ParseTime(const std::string& t, uint32_t& out) {
  long v;
  if (ParseInt(t, v)) {
    out = uint32_t(v);
    return true;
  }
  struct tm tm {};
  if (sscanf(t.c_str(), "%d-%d-%dT%d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
             &tm.tm_min, &tm.tm_sec) != 6)
    return false;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  out = uint32_t(timegm(&tm));
  return true;
}

static bool ParseValue(const std::string& t, uint32_t& out) {
  if (t.rfind("f:", 0) == 0) {
    char* end = nullptr;
    float f = strtof(t.c_str() + 2, &end);
    if (!end || *end) return false;
    out = FloatBits(f);
    return true;
  }
  long v;
  if (!ParseInt(t, v)) return false;
  out = uint32_t(v);
  return true;
}

bool Device::LoadRecords(const std::string& path, std::string& err) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    err = "cannot read records file " + path;
    return false;
  }
  Archive* cur = nullptr;
  std::string line;
  int lineNo = 0;
  std::map<Archive*, bool> touched;
  auto bad = [&](const std::string& why) {
    err = path + ":" + std::to_string(lineNo) + ": " + why;
    return false;
  };
  while (std::getline(f, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    std::istringstream ss(t);
    std::string word;
    ss >> word;
    if (word == "archive") {
      long j;
      std::string js;
      ss >> js;
      if (!ParseInt(js, j) || !(cur = ByPos(int(j)))) return bad("no archive " + js + " in the description");
      if (!touched[cur]) cur->records.clear();
      touched[cur] = true;
      continue;
    }
    if (!cur) return bad("record before any 'archive' line");
    std::vector<std::string> args;
    std::string a;
    if (word == "text") {
      size_t p = line.find("text");
      std::string rest = line.substr(p + 4);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      cur->records.emplace_back(rest.begin(), rest.end());
      continue;
    }
    if (word == "jrn") {
      std::string ts;
      ss >> ts;
      uint32_t time;
      if (!ParseTime(ts, time)) return bad("bad time " + ts);
      std::string rest;
      std::getline(ss, rest);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      cur->records.push_back(EncodeJournal(time, rest));
      continue;
    }
    while (ss >> a) args.push_back(a);
    if (word == "gen") {
      long n;
      if (args.size() != 1 || !ParseInt(args[0], n) || n < 0) return bad("gen wants a count");
      AppendGenerated(*cur, size_t(n));
    } else if (word == "raw") {
      Bytes b;
      for (auto& h : args) {
        char* end = nullptr;
        unsigned long v = strtoul(h.c_str(), &end, 16);
        if (!end || *end || v > 255) return bad("bad hex byte " + h);
        b.push_back(uint8_t(v));
      }
      if (b.size() > 250) return bad("record longer than 250 bytes");
      cur->records.push_back(b);
    } else if (word == "rec") {
      std::vector<uint32_t> v;
      uint32_t time;
      if (args.empty() || !ParseTime(args[0], time)) return bad("bad time");
      for (size_t i = 1; i < args.size(); ++i) {
        uint32_t x;
        if (!ParseValue(args[i], x)) return bad("bad number " + args[i]);
        v.push_back(x);
      }
      if (cur->modeLog) {
        if (v.size() != 1) return bad("rec TIME MODE expected");
        cur->records.push_back(EncodeMode(time, uint16_t(v[0])));
      } else if (cur->layout == 3) {
        if (v.size() != 3) return bad("rec TIME ID OLD NEW expected");
        cur->records.push_back(EncodeNumeric(3, time, uint16_t(v[0]), v[1], v[2]));
      } else if (cur->layout == 0 || cur->layout == 2) {
        if (v.size() != 2) return bad("rec TIME ID VALUE expected");
        cur->records.push_back(EncodeNumeric(cur->layout, time, uint16_t(v[0]), 0, v[1]));
      } else {
        return bad("rec does not fit this archive's layout");
      }
    } else {
      return bad("unknown line '" + word + "'");
    }
  }
  UpdateCountRegisters();
  return true;
}

}  // namespace instrument
