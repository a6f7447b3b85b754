#include "Instrument.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "../modemshim/modemlines.h"

namespace instrument {

volatile sig_atomic_t gStopSignal = 0;

int64_t Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string Stamp(int64_t t) {
  char b[40];
  snprintf(b, sizeof b, "%lld.%09lld", (long long)(t / 1000000000), (long long)(t % 1000000000));
  return b;
}

std::string Hex(const uint8_t* p, size_t n) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
    s += b;
  }
  return s;
}

bool Log::Open(const std::string& path) {
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

void Log::Line(std::string s) {
  if (fd_ < 0) return;
  s += '\n';
  ssize_t n = write(fd_, s.data(), s.size());  // one write a line: readers never see half of one
  (void)n;
}

namespace {

Bytes Exception(int addr, int func, int code) {
  Bytes r{uint8_t(addr), uint8_t(func | 0x80), uint8_t(code)};
  AppendCrc(r);
  return r;
}

speed_t BaudOf(speed_t s) {
  static const struct {
    speed_t code;
    int baud;
  } t[] = {{B0, 0},       {B50, 50},       {B75, 75},       {B110, 110},     {B134, 134},
           {B150, 150},   {B200, 200},     {B300, 300},     {B600, 600},     {B1200, 1200},
           {B1800, 1800}, {B2400, 2400},   {B4800, 4800},   {B9600, 9600},   {B19200, 19200},
           {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
  for (auto& e : t)
    if (e.code == s) return speed_t(e.baud);
  return speed_t(s);
}

}  // namespace

bool Instrument::OpenLine(std::string& err) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) || unlockpt(master_)) {
    err = std::string("pty: ") + strerror(errno);
    return false;
  }
  slavePath_ = ptsname(master_);
  // Holding the slave open ourselves keeps the master from seeing a hang-up whenever Wine
  // closes the port between two connections.
  slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    err = "open " + slavePath_ + ": " + strerror(errno);
    return false;
  }
  // pty numbers are reused: the modem lines and their log left by an earlier pty of this number
  // are not ours.
  const int pts = atoi(slavePath_.c_str() + slavePath_.rfind('/') + 1);
  for (const char* kind : {"state", "log"}) {
    char path[600];
    modemlines_file(path, sizeof path, pts, kind);
    unlink(path);
  }
  termios tio;
  tcgetattr(slave_, &tio);
  cfmakeraw(&tio);
  // Speed 0 until the Windows side sets one, so that its choice shows in the log.
  cfsetispeed(&tio, B0);
  cfsetospeed(&tio, B0);
  tcsetattr(slave_, TCSANOW, &tio);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  return true;
}

bool Instrument::MakeLink(std::string& err) {
  std::string dir = opt.prefix + "/dosdevices";
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    err = dir + " is not a directory (is the Wine prefix booted?)";
    return false;
  }
  if (opt.com == "auto") {
    for (int n = 20; n < 256; ++n) {
      std::string p = dir + "/com" + std::to_string(n);
      if (symlink(slavePath_.c_str(), p.c_str()) == 0) {
        com_ = n;
        linkPath_ = p;
        return true;
      }
      if (errno != EEXIST) {
        err = "symlink " + p + ": " + strerror(errno);
        return false;
      }
    }
    err = "no free COM number";
    return false;
  }
  long n;
  if (!ParseInt(opt.com, n) || n < 1 || n > 255) {
    err = "bad --com " + opt.com;
    return false;
  }
  com_ = int(n);
  linkPath_ = dir + "/com" + std::to_string(n);
  unlink(linkPath_.c_str());
  if (symlink(slavePath_.c_str(), linkPath_.c_str()) != 0) {
    err = "symlink " + linkPath_ + ": " + strerror(errno);
    return false;
  }
  return true;
}

bool Instrument::Setup(std::string& err) {
  if (!opt.log.empty() && !log.Open(opt.log)) {
    err = "cannot write log " + opt.log;
    return false;
  }
  for (auto& s : opt.faults) {
    Fault f;
    if (!ParseFault(s, f, err)) return false;
    faults_.push_back(f);
  }
  if (!OpenLine(err) || !MakeLink(err)) return false;
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  int one = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(opt.control));
  socklen_t len = sizeof a;
  if (bind(listen_, (sockaddr*)&a, sizeof a) || listen(listen_, 8) ||
      getsockname(listen_, (sockaddr*)&a, &len)) {
    err = std::string("control port: ") + strerror(errno);
    return false;
  }
  controlPort_ = ntohs(a.sin_port);
  return true;
}

void Instrument::Hangup(const char* why) {
  if (lineDead_) return;
  log.Event(std::string("hangup ") + why);
  close(master_);
  close(slave_);
  master_ = slave_ = -1;
  lineDead_ = true;
  out_.clear();
  noise_ = false;
  rx_.clear();
}

int Instrument::Baud() {
  if (lineDead_) return 0;
  termios tio;
  if (tcgetattr(master_, &tio) != 0) return 0;
  return int(BaudOf(cfgetospeed(&tio)));
}

void Instrument::CheckSpeed() {
  if (lineDead_) return;
  termios tio;
  if (tcgetattr(master_, &tio) != 0) return;
  speed_t s = cfgetospeed(&tio);
  if (s != lastSpeed_) {
    lastSpeed_ = s;
    log.Event("speed " + std::to_string(BaudOf(s)));
  }
}

Device* Instrument::DeviceAt(int addr) {
  for (auto& d : devices)
    if (d->addr == addr) return d.get();
  return nullptr;
}

// Length of the request at the head of rx_, 0 while it cannot be told yet.
size_t Instrument::FrameLength() const {
  if (rx_.size() < 2) return 0;
  switch (rx_[1]) {
    case 3:
    case 4: return 8;
    case 17: return 4;
    case 0x41: return 11;
    case 16: return rx_.size() >= 7 ? 9 + size_t(rx_[6]) : 0;
    default: return 0;
  }
}

void Instrument::ReadLine() {
  uint8_t buf[512];
  for (;;) {
    ssize_t n = read(master_, buf, sizeof buf);
    if (n > 0) {
      int64_t t = Now();
      CheckSpeed();
      if (!rx_.empty() && t - rxLast_ >= 5 * kMs) TakeFrame(rx_.size());  // ended by silence
      rx_.insert(rx_.end(), buf, buf + n);
      rxLast_ = t;
      for (size_t len; !rx_.empty() && (len = FrameLength()) && rx_.size() >= len;) TakeFrame(len);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    Hangup("(read failed)");
    return;
  }
}

void Instrument::TakeFrame(size_t n) {
  Bytes frame(rx_.begin(), rx_.begin() + long(n));
  rx_.erase(rx_.begin(), rx_.begin() + long(n));
  Handle(frame, rxLast_);
}

Bytes Instrument::Answer(Device& d, const Bytes& q) {
  int addr = q[0], func = q[1];
  switch (func) {
    case 3:
    case 4: {
      if (q.size() != 8) return Exception(addr, func, 3);
      unsigned start = q[2] << 8 | q[3], count = q[4] << 8 | q[5];
      if (count < 1 || count > 125) return Exception(addr, func, 3);
      if (start + count > 65536) return Exception(addr, func, 2);
      auto& regs = func == 3 ? d.hold : d.input;
      Bytes r{uint8_t(addr), uint8_t(func), uint8_t(2 * count)};
      for (unsigned i = 0; i < count; ++i) {
        r.push_back(uint8_t(regs[start + i] >> 8));
        r.push_back(uint8_t(regs[start + i]));
      }
      AppendCrc(r);
      return r;
    }
    case 16: {
      if (q.size() < 9 || q.size() != 9 + size_t(q[6])) return Exception(addr, func, 3);
      unsigned start = q[2] << 8 | q[3], count = q[4] << 8 | q[5], bytes = q[6];
      if (count < 1 || count > 123 || bytes != 2 * count) return Exception(addr, func, 3);
      if (start + count > 65536) return Exception(addr, func, 2);
      for (unsigned i = 0; i < count; ++i) d.hold[start + i] = uint16_t(q[7 + 2 * i] << 8 | q[8 + 2 * i]);
      Bytes r(q.begin(), q.begin() + 6);
      AppendCrc(r);
      return r;
    }
    case 17: {
      Bytes r{uint8_t(addr), 0x11, uint8_t(d.slaveId.size())};
      r.insert(r.end(), d.slaveId.begin(), d.slaveId.end());
      AppendCrc(r);
      return r;
    }
    case 0x41: {
      if (q.size() != 11) return Exception(addr, func, 3);
      Archive* a = d.ByArchByte(q[3]);
      long idx = q[7] << 8 | q[8];
      const Bytes* rec = a ? d.Record(*a, idx) : nullptr;
      if (!rec) return Exception(addr, func, 2);
      Bytes r{uint8_t(addr), 0x41, uint8_t(rec->size())};
      r.insert(r.end(), rec->begin(), rec->end());
      AppendCrc(r);
      return r;
    }
    default: return Exception(addr, func, 1);
  }
}

void Instrument::Handle(const Bytes& q, int64_t t) {
  log.Frame("IN", t, q.data(), q.size());
  if (q.size() < 4 || Crc16(q.data(), q.size() - 2) != (q[q.size() - 2] | q[q.size() - 1] << 8)) {
    log.Event(q.size() < 4 ? "ignored garbage" : "ignored bad-crc");
    return;
  }
  Device* d = DeviceAt(q[0]);
  if (!d) {
    log.Event("ignored addr " + std::to_string(q[0]));
    return;
  }
  ++requests_;
  // The faults that take this request; those with a count are used up.
  std::vector<Fault> active;
  for (auto it = faults_.begin(); it != faults_.end();) {
    Fault& f = *it;
    if (f.func >= 0 && f.func != q[1]) {
      ++it;
      continue;
    }
    if (f.kind == FaultKind::Hangup && f.after > 0) {  // lets 'after' more requests pass first
      --f.after;
      ++it;
      continue;
    }
    active.push_back(f);
    if (f.times > 0 && --f.times == 0) it = faults_.erase(it);
    else ++it;
  }
  for (auto& f : active) log.Event("fault " + f.text);
  for (auto& f : active)
    if (f.kind == FaultKind::Hangup) {
      Hangup("(fault)");
      return;
    }
  for (auto& f : active)
    if (f.kind == FaultKind::Silent) return;

  Bytes r = Answer(*d, q);
  for (auto& f : active) {
    if (f.kind == FaultKind::Exception) r = Exception(q[0], q[1], int(f.value));
    if (f.kind == FaultKind::Long) {
      r = {q[0], q[1], uint8_t((f.value - 5) & 0xFF)};
      for (long i = 0; i < f.value - 5; ++i) r.push_back(uint8_t(i));
      AppendCrc(r);
    }
  }
  for (auto& f : active)
    if (f.kind == FaultKind::Addr) {
      r.resize(r.size() - 2);
      r[0] = uint8_t(f.value);
      AppendCrc(r);
    }
  for (auto& f : active)
    if (f.kind == FaultKind::BadCrc) r.back() ^= 0xFF;

  int64_t due = t;
  for (auto& f : active)
    if (f.kind == FaultKind::Delay) due = t + f.value * kMs;
  size_t split = r.size();
  int64_t pause = 0;
  for (auto& f : active)
    if (f.kind == FaultKind::Pause) {
      split = f.at >= 0 ? std::min(size_t(f.at), r.size()) : r.size() / 2;
      pause = f.value * kMs;
    }
  if (split < r.size() && split > 0) {
    out_.push_back({due, Bytes(r.begin(), r.begin() + long(split)), pause});
    due += pause;
    out_.push_back({due, Bytes(r.begin() + long(split), r.end())});
  } else {
    out_.push_back({due + (split == 0 ? pause : 0), r});
  }
  for (auto& f : active) {
    if (f.kind == FaultKind::Stale)
      out_.push_back({due + (f.after >= 0 ? f.after : 100) * kMs, Bytes{uint8_t(f.byte >= 0 ? f.byte : 0)}});
    if (f.kind == FaultKind::Noise && !noise_) {
      // Noise starts right behind the reply, so the line never goes quiet after it.
      noise_ = true;
      noiseNext_ = due;
      noiseEnd_ = f.ms >= 0 ? due + f.ms * kMs : -1;
      noiseByte_ = uint8_t(f.byte >= 0 ? f.byte : 0x55);
      noiseBytes_ = 0;
      log.Event("noise start");
    }
  }
}

int64_t Instrument::NextDue() const {
  int64_t d = INT64_MAX;
  if (!out_.empty()) d = out_.front().due;  // only the head may go next
  if (noise_) d = std::min(d, noiseNext_);
  return d;
}

void Instrument::Flush() {
  if (lineDead_) return;
  int64_t now = Now();
  // Writes go out in the order they were scheduled; a later one never overtakes.
  while (!out_.empty() && out_.front().due <= now) {
    Pending& p = out_.front();
    const int64_t sent = Now();
    log.Frame("OUT", sent, p.bytes.data(), p.bytes.size());
    ssize_t n = write(master_, p.bytes.data(), p.bytes.size());
    if (n == ssize_t(p.bytes.size())) {
      const int64_t gap = p.gap;
      out_.pop_front();
      // A pause is measured on the line: a late first part pushes the rest back.
      if (gap > 0 && !out_.empty()) out_.front().due = std::max(out_.front().due, sent + gap);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Hangup("(write failed)");
      return;
    }
    // The pty is full (nobody reads the port): keep the rest for a moment later.
    if (n > 0) p.bytes.erase(p.bytes.begin(), p.bytes.begin() + n);
    p.due = now + kMs;
    break;
  }
  if (noise_) {
    if (noiseEnd_ >= 0 && now >= noiseEnd_) {
      noise_ = false;
      log.Event("noise end " + std::to_string(noiseBytes_));
    } else if (now >= noiseNext_ && (out_.empty() || out_.front().due > now)) {
      if (write(master_, &noiseByte_, 1) == 1) ++noiseBytes_;
      noiseNext_ = now + kMs;
    }
  }
}

std::string Instrument::Command(const std::string& lineIn) {
  std::string line = lineIn;
  Device* d = devices.empty() ? nullptr : devices.front().get();
  if (line.size() > 1 && line[0] == '@') {
    size_t sp = line.find(' ');
    long a;
    if (sp == std::string::npos || !ParseInt(line.substr(1, sp - 1), a) || !(d = DeviceAt(int(a))))
      return "ERR no such device";
    line = line.substr(sp + 1);
  }
  std::istringstream ss(line);
  std::string cmd;
  ss >> cmd;
  std::string rest;
  std::getline(ss, rest);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  std::vector<std::string> args;
  {
    std::istringstream as(rest);
    std::string w;
    while (as >> w) args.push_back(w);
  }
  auto num = [&](size_t i, long& v) { return i < args.size() && ParseInt(args[i], v); };
  if (cmd == "ping") return "OK";
  if (cmd == "stop") {
    running_ = false;
    return "OK";
  }
  if (cmd == "speed") return "OK " + std::to_string(Baud());
  if (cmd == "requests") return "OK " + std::to_string(requests_);
  if (cmd == "hangup") {
    Hangup("(command)");
    return "OK";
  }
  if (cmd == "fault") {
    if (rest == "clear" || rest == "none") {
      faults_.clear();
      if (noise_) log.Event("noise end " + std::to_string(noiseBytes_));
      noise_ = false;
      return "OK";
    }
    Fault f;
    std::string err;
    if (!ParseFault(rest, f, err)) return "ERR " + err;
    faults_.push_back(f);
    return "OK";
  }
  if (cmd == "faults") {
    std::string s = "OK";
    for (size_t i = 0; i < faults_.size(); ++i) s += (i ? ";" : " ") + faults_[i].text;
    return s;
  }
  if (!d) return "ERR no device";
  if (cmd == "records") {
    long j, n;
    Archive* a;
    if (!num(0, j) || !num(1, n) || n < 0 || !(a = d->ByPos(int(j)))) return "ERR records J N";
    d->Generate(*a, size_t(n));
    return "OK";
  }
  if (cmd == "load") {
    std::string err;
    return d->LoadRecords(rest, err) ? "OK" : "ERR " + err;
  }
  if (cmd == "record") {
    long j, i;
    Archive* a;
    if (!num(0, j) || !num(1, i) || !(a = d->ByPos(int(j)))) return "ERR record J I";
    const Bytes* r = d->Record(*a, i);
    if (!r) return "ERR no record " + std::to_string(i);
    return "OK " + Hex(r->data(), r->size());
  }
  if (cmd == "count") {
    long j;
    Archive* a;
    if (!num(0, j) || !(a = d->ByPos(int(j)))) return "ERR count J";
    return "OK " + std::to_string(a->records.size()) + " " + std::to_string(d->CountRegister(*a)) + " " +
           std::to_string(d->OverflowRegister(*a));
  }
  if (cmd == "reg") {
    long a, v;
    if (args.empty() || (args[0] != "h" && args[0] != "i") || !num(1, a) || a < 0 || a > 65535)
      return "ERR reg h|i ADDR [VALUE]";
    auto& regs = args[0] == "h" ? d->hold : d->input;
    if (args.size() > 2) {
      if (!num(2, v)) return "ERR bad value";
      regs[size_t(a)] = uint16_t(v);
    }
    return "OK " + std::to_string(regs[size_t(a)]);
  }
  if (cmd == "slaveid") {
    d->slaveId = rest;
    return "OK";
  }
  if (cmd == "slaveid-hex") {
    std::string s;
    for (auto& h : args) s += char(strtoul(h.c_str(), nullptr, 16));
    d->slaveId = s;
    return "OK";
  }
  if (cmd == "addr") {
    long a;
    if (!num(0, a) || a < 0 || a > 255) return "ERR addr A";
    d->addr = int(a);
    return "OK";
  }
  return "ERR unknown command '" + cmd + "'";
}

void Instrument::AcceptClients() {
  for (;;) {
    int c = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (c < 0) return;
    int one = 1;
    setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clients_.push_back({c, "", opt.owner && !ownerSeen_});
    ownerSeen_ = true;
  }
}

void Instrument::ServeClients() {
  for (size_t i = 0; i < clients_.size();) {
    Client& c = clients_[i];
    char buf[1024];
    bool closed = false;
    for (;;) {
      ssize_t n = read(c.fd, buf, sizeof buf);
      if (n > 0) {
        c.in.append(buf, size_t(n));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) closed = true;
      break;
    }
    size_t nl;
    while ((nl = c.in.find('\n')) != std::string::npos) {
      std::string line = c.in.substr(0, nl);
      c.in.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string reply = Command(line) + "\n";
      // Replies are short lines; a blocking send of one is fine on loopback.
      int fl = fcntl(c.fd, F_GETFL);
      fcntl(c.fd, F_SETFL, fl & ~O_NONBLOCK);
      if (send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) closed = true;
      fcntl(c.fd, F_SETFL, fl);
    }
    if (closed) {
      if (c.owner) {
        log.Event("owner gone");
        running_ = false;
      }
      close(c.fd);
      clients_.erase(clients_.begin() + long(i));
    } else {
      ++i;
    }
  }
}

int Instrument::Run() {
  if (!opt.ready.empty()) {
    std::string tmp = opt.ready + ".tmp";
    FILE* f = fopen(tmp.c_str(), "w");
    if (f) {
      fprintf(f, "READY %d %s %d\n", controlPort_, slavePath_.c_str(), com_);
      fclose(f);
      rename(tmp.c_str(), opt.ready.c_str());
    }
  }
  log.Event("ready com" + std::to_string(com_) + " " + slavePath_);
  printf("READY control=%d com=%d pty=%s\n", controlPort_, com_, slavePath_.c_str());
  fflush(stdout);

  const int64_t started = Now();
  const int64_t end = opt.lifetime > 0 ? Now() + opt.lifetime * 1000 * kMs : INT64_MAX;
  const pid_t parent = pid_t(opt.parent);
  if (parent > 0) log.Event("parent " + std::to_string(parent));
  int64_t nextParentCheck = 0;
  CheckSpeed();
  while (running_ && !gStopSignal) {
    int64_t now = Now();
    if (now >= end) {
      log.Event("lifetime over");
      break;
    }
    if (opt.owner && !ownerSeen_ && now - started > 30000 * kMs) {
      log.Event("no owner came");
      break;
    }
    if (parent > 0 && now >= nextParentCheck) {
      nextParentCheck = now + 200 * kMs;
      if (kill(parent, 0) != 0 && errno == ESRCH) {
        log.Event("parent gone");
        break;
      }
    }
    Flush();
    if (!rx_.empty() && Now() - rxLast_ >= 5 * kMs) TakeFrame(rx_.size());  // ended by silence

    std::vector<pollfd> fds;
    fds.push_back({listen_, POLLIN, 0});
    for (auto& c : clients_) fds.push_back({c.fd, POLLIN, 0});
    size_t lineIdx = fds.size();
    if (!lineDead_) fds.push_back({master_, POLLIN, 0});

    int64_t wake = std::min(NextDue(), Now() + 100 * kMs);  // speed changes are polled
    if (!rx_.empty()) wake = std::min(wake, rxLast_ + 5 * kMs);
    int64_t wait = std::max<int64_t>(0, wake - Now());
    timespec ts{time_t(wait / 1000000000), long(wait % 1000000000)};
    int n = ppoll(fds.data(), fds.size(), &ts, nullptr);
    if (n < 0) continue;
    if (!lineDead_ && fds[lineIdx].revents) {
      if (fds[lineIdx].revents & POLLIN) ReadLine();
      else if (fds[lineIdx].revents & (POLLHUP | POLLERR)) Hangup("(line)");
    }
    CheckSpeed();
    if (fds[0].revents & POLLIN) AcceptClients();
    ServeClients();
  }
  log.Event("stop");
  char target[512];
  ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
  if (n > 0 && std::string(target, size_t(n)) == slavePath_) unlink(linkPath_.c_str());
  return 0;
}

}  // namespace instrument
