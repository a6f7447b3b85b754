// The instrument's command line; see README.md.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "Instrument.h"

using namespace instrument;

namespace {

void OnSignal(int) { gStopSignal = 1; }

void Usage() {
  fprintf(stderr,
          "usage: instrument [--com N|auto] [--prefix DIR] [--device FILE [--addr A] [--records FILE]\n"
          "       [--generate N] [--base-time T] [--slave-id TEXT|--slave-id-hex HEX] [--reg h|i:ADDR=V]]...\n"
          "       [--fault SPEC]... [--log FILE] [--ready FILE] [--control PORT] [--parent PID]\n"
          "       [--owner] [--lifetime SEC]   (see testing/instrument/README.md)\n");
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  signal(SIGHUP, OnSignal);

  Instrument inst;
  Options& o = inst.opt;
  if (const char* p = getenv("WINEPREFIX")) o.prefix = p;
  std::string err;
  // Device options apply to the latest --device; before any, to an implicit first device.
  struct DevArgs {
    std::string file, records, slaveId = "Instrument";
    long addr = -1, generate = 0, baseTime = -1;
    bool slaveIdSet = false;
    std::vector<std::pair<std::string, std::string>> regs;
  };
  std::vector<DevArgs> devs(1);
  bool explicitFirst = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto val = [&]() -> std::string {
      if (i + 1 >= argc) {
        fprintf(stderr, "instrument: %s needs a value\n", a.c_str());
        Usage();
        exit(2);
      }
      return argv[++i];
    };
    auto numVal = [&]() -> long {
      std::string v = val();
      long n;
      if (!ParseInt(v, n)) {
        fprintf(stderr, "instrument: %s: not a number: %s\n", a.c_str(), v.c_str());
        exit(2);
      }
      return n;
    };
    if (a == "--com") o.com = val();
    else if (a == "--prefix") o.prefix = val();
    else if (a == "--device") {
      if (explicitFirst) devs.emplace_back();
      explicitFirst = true;
      devs.back().file = val();
    } else if (a == "--addr") devs.back().addr = numVal();
    else if (a == "--records") devs.back().records = val();
    else if (a == "--generate") devs.back().generate = numVal();
    else if (a == "--base-time") devs.back().baseTime = numVal();
    else if (a == "--slave-id") devs.back().slaveId = val();
    else if (a == "--slave-id-hex") {
      std::istringstream ss(val());
      std::string h, s;
      while (ss >> h) s += char(strtoul(h.c_str(), nullptr, 16));
      devs.back().slaveId = s;
    } else if (a == "--reg") {
      std::string v = val();
      size_t eq = v.find('=');
      if (eq == std::string::npos) {
        fprintf(stderr, "instrument: --reg KIND:ADDR=VALUE\n");
        return 2;
      }
      devs.back().regs.push_back({v.substr(0, eq), v.substr(eq + 1)});
    } else if (a == "--fault") o.faults.push_back(val());
    else if (a == "--log") o.log = val();
    else if (a == "--ready") o.ready = val();
    else if (a == "--control") o.control = int(numVal());
    else if (a == "--parent") {
      // No "auto": a program started through a launcher that forks twice (as Wine does) would
      // take the launcher's short-lived middle process for its parent and end with it.
      std::string v = val();
      if (!ParseInt(v, o.parent) || o.parent <= 0) {
        fprintf(stderr, "instrument: bad --parent %s\n", v.c_str());
        return 2;
      }
    } else if (a == "--owner") o.owner = true;
    else if (a == "--lifetime") o.lifetime = numVal();
    else if (a == "--help" || a == "-h") {
      Usage();
      return 0;
    } else {
      fprintf(stderr, "instrument: unknown option %s\n", a.c_str());
      Usage();
      return 2;
    }
  }

  auto fail = [&](const std::string& msg) {
    fprintf(stderr, "instrument: %s\n", msg.c_str());
    if (!o.ready.empty()) {
      std::string tmp = o.ready + ".tmp";
      if (FILE* f = fopen(tmp.c_str(), "w")) {
        fprintf(f, "FAIL %s\n", msg.c_str());
        fclose(f);
        rename(tmp.c_str(), o.ready.c_str());
      }
    }
    return 1;
  };
  if (o.prefix.empty()) return fail("no Wine prefix: set WINEPREFIX or give --prefix");

  int nextAddr = 1;
  for (auto& da : devs) {
    auto d = std::make_unique<Device>();
    d->addr = da.addr >= 0 ? int(da.addr) : nextAddr;
    nextAddr = d->addr + 1;
    d->slaveId = da.slaveId;
    if (da.baseTime >= 0) d->baseTime = uint32_t(da.baseTime);
    if (!da.file.empty() && !d->LoadDescription(da.file, err)) return fail(err);
    if (!da.records.empty() && !d->LoadRecords(da.records, err)) return fail(err);
    d->GenerateMissing(size_t(da.generate));
    for (auto& [k, v] : da.regs) {
      long addr, value;
      size_t colon = k.find(':');
      std::string kind = colon == std::string::npos ? "" : k.substr(0, colon);
      if ((kind != "h" && kind != "i") || !ParseInt(k.substr(colon + 1), addr) || addr < 0 ||
          addr > 65535 || !ParseInt(v, value))
        return fail("bad --reg " + k + "=" + v);
      (kind == "h" ? d->hold : d->input)[size_t(addr)] = uint16_t(value);
    }
    inst.devices.push_back(std::move(d));
  }
  if (!inst.Setup(err)) return fail(err);
  int rc = inst.Run();
  return rc;
}
