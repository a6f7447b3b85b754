// The instrument's data: registers, archives and their records, built from a device description.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace instrument {

using Bytes = std::vector<uint8_t>;

uint16_t Crc16(const uint8_t* data, size_t n);
inline void AppendCrc(Bytes& frame) {
  uint16_t c = Crc16(frame.data(), frame.size());
  frame.push_back(uint8_t(c & 0xFF));
  frame.push_back(uint8_t(c >> 8));
}

// Ini file as the profile functions read it: sections and keys without regard to case.
class Ini {
 public:
  bool Load(const std::string& path);
  std::string Get(const std::string& section, const std::string& key, const std::string& def) const;
  long Int(const std::string& section, const std::string& key, long def) const;

 private:
  std::map<std::string, std::map<std::string, std::string>> data_;
};

// Integer text: decimal, 0x or $ hex; false on anything else.
bool ParseInt(const std::string& text, long& out);

struct Param {
  int id = 0;
  int type = 18;
  std::vector<int> codes;  // code-text list entries (type 256)
};

struct Archive {
  int pos = 0;  // 1..6 in the description
  long countRec = -1, reg = -1, num = -1, regOverflow = 0;
  bool cycle = false, workTime = false;
  int layout = 0;
  bool textJournal = false, modeLog = false;
  std::vector<Bytes> records;  // in the order written, record number = index
  int ArchByte() const;
};

struct Device {
  int addr = 1;
  std::string slaveId = "Instrument";
  std::vector<Param> params;
  std::vector<Archive> archives;
  std::vector<uint16_t> hold = std::vector<uint16_t>(65536), input = std::vector<uint16_t>(65536);
  uint32_t baseTime = 1767225600u;

  bool LoadDescription(const std::string& path, std::string& err);
  // Records file; archives it names are replaced. Sets err and returns false on a bad line.
  bool LoadRecords(const std::string& path, std::string& err);
  void Generate(Archive& a, size_t n);         // replaces the records
  void AppendGenerated(Archive& a, size_t n);  // numbered on from the records there
  void GenerateMissing(size_t n);  // every archive still without records
  Archive* ByPos(int pos);
  Archive* ByArchByte(int b);
  // The record a request for index idx gets (ring reduction applied); null when there is none.
  const Bytes* Record(const Archive& a, long idx) const;
  void UpdateCountRegisters();
  uint16_t CountRegister(const Archive& a) const;
  uint16_t OverflowRegister(const Archive& a) const;
  uint16_t* RegRef(long ref);  // register of a 3xxxxx / 4xxxxx reference, null if none
};

// Record encodings of the layouts (big-endian).
Bytes EncodeNumeric(int layout, uint32_t time, uint16_t id, uint32_t oldValue, uint32_t value);
Bytes EncodeMode(uint32_t time, uint16_t mode);
Bytes EncodeJournal(uint32_t time, const std::string& entry);

}  // namespace instrument
