// The simulated instrument: a Modbus RTU device on a pseudo-terminal that Wine sees as COMn.
// One thread: ppoll over the pty, the control socket and its clients; every reply, delay and
// pause is a scheduled write on the monotonic clock, so nothing blocks the loop.
#pragma once
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Device.h"
#include "Faults.h"

namespace instrument {

extern volatile sig_atomic_t gStopSignal;  // set by SIGTERM and its kin

int64_t Now();  // CLOCK_MONOTONIC in ns
constexpr int64_t kMs = 1000000;
std::string Stamp(int64_t t);
std::string Hex(const uint8_t* p, size_t n);

class Log {
 public:
  bool Open(const std::string& path);
  void Frame(const char* dir, int64_t t, const uint8_t* p, size_t n) {
    Line(std::string(dir) + " " + Stamp(t) + " " + Hex(p, n));
  }
  void Event(const std::string& text) { Line("-- " + Stamp(Now()) + " " + text); }

 private:
  void Line(std::string s);
  int fd_ = -1;
};

struct Pending {
  int64_t due;
  Bytes bytes;
  int64_t gap = 0;  // quiet time after these bytes before the next ones, from when they went out
};

struct Client {
  int fd;
  std::string in;
  bool owner;
};

struct Options {
  std::string com = "auto", prefix, log, ready;
  int control = 0;
  long parent = 0;
  bool owner = false;
  long lifetime = 3600;
  std::vector<std::string> faults;
};

class Instrument {
 public:
  Options opt;
  std::vector<std::unique_ptr<Device>> devices;
  Log log;

  int Run();
  bool Setup(std::string& err);

 private:
  // line
  int master_ = -1, slave_ = -1;
  std::string slavePath_, linkPath_;
  int com_ = 0;
  bool lineDead_ = false;
  speed_t lastSpeed_ = speed_t(-1);
  Bytes rx_;
  int64_t rxLast_ = 0;
  std::deque<Pending> out_;
  bool noise_ = false;
  int64_t noiseNext_ = 0, noiseEnd_ = -1;
  uint8_t noiseByte_ = 0x55;
  long noiseBytes_ = 0;
  // faults and counters
  std::vector<Fault> faults_;
  long requests_ = 0;
  // control
  int listen_ = -1, controlPort_ = 0;
  std::vector<Client> clients_;
  bool ownerSeen_ = false, running_ = true;

  bool OpenLine(std::string& err);
  bool MakeLink(std::string& err);
  void Hangup(const char* why);
  int Baud();
  void CheckSpeed();
  void ReadLine();
  size_t FrameLength() const;
  void TakeFrame(size_t n);
  void Handle(const Bytes& req, int64_t t);
  Device* DeviceAt(int addr);
  Bytes Answer(Device& d, const Bytes& req);
  void Flush();
  int64_t NextDue() const;
  std::string Command(const std::string& line);
  void AcceptClients();
  void ServeClients();
};

}  // namespace instrument
