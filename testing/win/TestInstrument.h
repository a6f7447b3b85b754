// Starts the simulated instrument (a native Linux program) from a Windows test program under
// Wine, talks to its control port and reads its frame log back. Header-only; link ws2_32.
// See testing/instrument/README.md for the options, faults, commands and log format.
#pragma once
#include <windows.h>
// The version 1.1 socket calls do; they are in winsock.h whichever order the includes came in.
#ifndef _WINSOCKAPI_
#include <winsock.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestFiles.h"

#ifndef TOVIK_NATIVE_DIR
#error "TestInstrument.h needs the TOVIK_NATIVE_DIR compile definition"
#endif

namespace tovik::testing {

struct LogLine {
  enum Dir { In, Out, Event } dir = Event;
  double t = 0;                // CLOCK_MONOTONIC seconds
  std::vector<uint8_t> bytes;  // In and Out
  std::string text;            // Event: the text after the stamp
};

class TestInstrument {
 public:
  // options: command-line options of the instrument (Unix paths); com 0 = a free COM number.
  explicit TestInstrument(const std::string& options = "", int com = 0) { Start(options, com); }
  ~TestInstrument() { Stop(); }
  TestInstrument(const TestInstrument&) = delete;
  TestInstrument& operator=(const TestInstrument&) = delete;

  bool Ok() const { return ok_; }
  const std::string& Error() const { return error_; }
  int Com() const { return com_; }
  std::string PortName() const { return "COM" + std::to_string(com_); }
  std::string DevicePath() const { return "\\\\.\\COM" + std::to_string(com_); }
  const std::string& WorkDirUnix() const { return work_; }
  std::string LogPathUnix() const { return work_ + "/frames.log"; }

  // One control command; the reply line ("OK ..." / "ERR ..."), or "ERR <why>" when the
  // instrument cannot be reached.
  std::string Command(const std::string& line) {
    if (sock_ == INVALID_SOCKET) return "ERR not connected";
    std::string out = line + "\n";
    for (size_t sent = 0; sent < out.size();) {
      int n = send(sock_, out.data() + sent, int(out.size() - sent), 0);
      if (n <= 0) return "ERR send failed";
      sent += size_t(n);
    }
    std::string reply;
    char c;
    for (;;) {
      int n = recv(sock_, &c, 1, 0);  // bounded by SO_RCVTIMEO
      if (n <= 0) return "ERR no reply";
      if (c == '\n') return reply;
      reply += c;
    }
  }
  bool Fault(const std::string& spec) { return Command("fault " + spec).rfind("OK", 0) == 0; }
  bool ClearFaults() { return Command("fault clear") == "OK"; }
  int Speed() { return ReplyNumber(Command("speed")); }
  int RequestCount() { return ReplyNumber(Command("requests")); }

  // The frame log; Mark() is its current length, Log(mark) the lines after it.
  size_t Mark() { return Log().size(); }
  std::vector<LogLine> Log(size_t from = 0) {
    std::vector<LogLine> lines;
    std::string text = ReadFile(Wine(LogPathUnix()));
    size_t pos = 0, index = 0;
    while (pos < text.size()) {
      size_t nl = text.find('\n', pos);
      if (nl == std::string::npos) break;  // a line still being written
      std::string l = text.substr(pos, nl - pos);
      pos = nl + 1;
      if (index++ < from) continue;
      LogLine ll;
      if (ParseLine(l, ll)) lines.push_back(ll);
    }
    return lines;
  }
  std::vector<LogLine> Requests(size_t from = 0) { return Only(LogLine::In, from); }
  std::vector<LogLine> Replies(size_t from = 0) { return Only(LogLine::Out, from); }

  // Waits (bounded) until the log holds at least n lines of direction d after mark.
  bool WaitFor(LogLine::Dir d, size_t n, size_t from = 0, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
      if (Only(d, from).size() >= n) return true;
      if (GetTickCount() - start > timeoutMs) return false;
      Sleep(10);
    }
  }

  // Enters the port in the system's serial port list (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), where
  // the program looks for ports; Stop takes it out again.
  bool ListPort() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    std::string port = PortName();
    listed_ = "\\Device\\Instrument" + std::to_string(com_);
    bool ok = RegSetValueExA(key, listed_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                             DWORD(port.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
  }

  void Stop() {
    if (!listed_.empty()) {
      HKEY key;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_SET_VALUE, &key) ==
          ERROR_SUCCESS) {
        RegDeleteValueA(key, listed_.c_str());
        RegCloseKey(key);
      }
      listed_.clear();
    }
    if (sock_ != INVALID_SOCKET) {
      // The instrument closes the connection only as it exits, after removing its COM link; the
      // process handle of a Linux program under Wine is no sure sign of that.
      if (Command("stop") == "OK") {
        char c;
        while (recv(sock_, &c, 1, 0) > 0) {
        }
      }
      closesocket(sock_);
      sock_ = INVALID_SOCKET;
    }
    if (process_) {
      if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
      CloseHandle(process_);
      process_ = nullptr;
    }
    if (wsa_) {
      WSACleanup();
      wsa_ = false;
    }
    ok_ = false;
  }

  // Path helpers: Unix paths of the source tree, and Unix <-> Wine (drive Z:) paths.
  static std::string Source(const std::string& rel) { return std::string(TOVIK_SOURCE_DIR) + "/" + rel; }
  static std::string Wine(const std::string& unixPath) { return WinPath(unixPath); }
  static std::string Unix(const std::string& winPath) {
    std::string u = winPath;
    if (u.size() >= 2 && (u[0] == 'Z' || u[0] == 'z') && u[1] == ':') u.erase(0, 2);
    for (auto& c : u)
      if (c == '\\') c = '/';
    return u;
  }
  static std::string ReadFile(const std::string& winPath) {
    HANDLE h = CreateFileA(winPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string s;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n) s.append(buf, n);
    CloseHandle(h);
    return s;
  }
  static bool WriteFile(const std::string& winPath, const std::string& data) {
    HANDLE h = CreateFileA(winPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = ::WriteFile(h, data.data(), DWORD(data.size()), &n, nullptr) && n == data.size();
    CloseHandle(h);
    return ok;
  }
  // A fresh folder (Unix path) under the build tree for the files of one run; "" on failure.
  static std::string MakeWorkDir() {
    static int counter = 0;
    std::string base = std::string(TOVIK_BINARY_DIR) + "/instrument-runs";
    CreateDirectoryA(Wine(base).c_str(), nullptr);
    for (int tries = 0; tries < 100; ++tries) {
      std::string dir = base + "/" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
                        "-" + std::to_string(++counter);
      if (CreateDirectoryA(Wine(dir).c_str(), nullptr)) return dir;
    }
    return "";
  }
  static std::vector<uint8_t> Hex(const std::string& s) {
    std::vector<uint8_t> b;
    const char* p = s.c_str();
    char* end;
    for (;;) {
      unsigned long v = strtoul(p, &end, 16);
      if (end == p) break;
      b.push_back(uint8_t(v));
      p = end;
    }
    return b;
  }

 private:
  static int ReplyNumber(const std::string& r) { return r.rfind("OK ", 0) == 0 ? atoi(r.c_str() + 3) : -1; }

  std::vector<LogLine> Only(LogLine::Dir d, size_t from) {
    std::vector<LogLine> out;
    for (auto& l : Log(from))
      if (l.dir == d) out.push_back(l);
    return out;
  }

  static bool ParseLine(const std::string& l, LogLine& out) {
    size_t sp1 = l.find(' ');
    if (sp1 == std::string::npos) return false;
    std::string dir = l.substr(0, sp1);
    size_t sp2 = l.find(' ', sp1 + 1);
    std::string stamp = l.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
    std::string rest = sp2 == std::string::npos ? "" : l.substr(sp2 + 1);
    out.t = strtod(stamp.c_str(), nullptr);
    if (dir == "IN" || dir == "OUT") {
      out.dir = dir == "IN" ? LogLine::In : LogLine::Out;
      out.bytes = Hex(rest);
    } else {
      out.dir = LogLine::Event;
      out.text = rest;
    }
    return true;
  }

  void Fail(const std::string& why) {
    error_ = why;
    ok_ = false;
  }

  void Start(const std::string& options, int com) {
    work_ = MakeWorkDir();
    if (work_.empty()) return Fail("cannot create a work folder under " + std::string(TOVIK_BINARY_DIR));

    char prefix[1024];
    DWORD n = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    std::string pfx = n && n < sizeof prefix ? std::string(prefix, n) : std::string(TOVIK_BINARY_DIR) + "/../wineprefix";

    std::string ready = work_ + "/ready";
    std::string cmd = std::string(TOVIK_NATIVE_DIR) + "/instrument --com " + (com > 0 ? std::to_string(com) : "auto") +
                      " --prefix " + pfx + " --log " + LogPathUnix() + " --ready " + ready +
                      " --owner --lifetime 1800 " + options;

    // The instrument's output goes to a file, so it holds no pipe of whoever runs the test.
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(Wine(work_ + "/output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = out;
    si.hStdError = out;
    bool started = StartNative(cmd, si, TRUE, process_);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (!started) return Fail("cannot start " + cmd + " (error " + std::to_string(GetLastError()) + ")");

    // Ready file: "READY <control port> <pty> <com>" or "FAIL <message>".
    std::string r;
    DWORD t0 = GetTickCount();
    for (;;) {
      r = ReadFile(Wine(ready));
      if (!r.empty() && r.back() == '\n') break;
      if (GetTickCount() - t0 > 15000) return Fail("instrument not ready within 15 s: " + ReadFile(Wine(work_ + "/output.txt")));
      if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
        r = ReadFile(Wine(ready));
        if (!r.empty()) break;
        return Fail("instrument ended at start: " + ReadFile(Wine(work_ + "/output.txt")));
      }
      Sleep(10);
    }
    if (r.rfind("READY ", 0) != 0) return Fail("instrument: " + r);
    int port = 0;
    char pty[256] = "";
    if (sscanf(r.c_str(), "READY %d %255s %d", &port, pty, &com_) != 3) return Fail("bad ready file: " + r);

    WSADATA wd;
    if (WSAStartup(MAKEWORD(2, 2), &wd) != 0) return Fail("WSAStartup failed");
    wsa_ = true;
    sock_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock_ == INVALID_SOCKET)
      return Fail("no socket for the control port (error " + std::to_string(WSAGetLastError()) + ")");
    DWORD tmo = 10000;
    setsockopt(sock_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&tmo), sizeof tmo);
    setsockopt(sock_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&tmo), sizeof tmo);
    BOOL one = TRUE;
    setsockopt(sock_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(u_short(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(sock_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      int why = WSAGetLastError();
      closesocket(sock_);
      sock_ = INVALID_SOCKET;
      return Fail("cannot reach the control port " + std::to_string(port) + " (error " + std::to_string(why) + ")");
    }
    if (Command("ping") != "OK") return Fail("control port does not answer");
    ok_ = true;
  }

  bool ok_ = false, wsa_ = false;
  std::string error_, work_, listed_;
  int com_ = 0;
  HANDLE process_ = nullptr;
  SOCKET sock_ = INVALID_SOCKET;
};

}  // namespace tovik::testing
