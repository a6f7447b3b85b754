#include "Faults.h"

#include <sstream>

#include "Device.h"

namespace instrument {

bool ParseFault(const std::string& spec, Fault& f, std::string& err) {
  std::istringstream ss(spec);
  std::string tok;
  bool first = true;
  f = Fault{};
  f.text = spec;
  while (ss >> tok) {
    std::string key = tok, val;
    size_t eq = tok.find('=');
    bool hasVal = eq != std::string::npos;
    if (hasVal) {
      key = tok.substr(0, eq);
      val = tok.substr(eq + 1);
    }
    long v = 0;
    if (hasVal && !ParseInt(val, v)) {
      err = "bad number in '" + tok + "'";
      return false;
    }
    if (first) {
      first = false;
      static const struct {
        const char* name;
        FaultKind kind;
        bool needsValue;
      } kinds[] = {{"silent", FaultKind::Silent, false},  {"delay", FaultKind::Delay, true},
                   {"pause", FaultKind::Pause, true},     {"badcrc", FaultKind::BadCrc, false},
                   {"addr", FaultKind::Addr, true},       {"exception", FaultKind::Exception, true},
                   {"stale", FaultKind::Stale, false},    {"noise", FaultKind::Noise, false},
                   {"long", FaultKind::Long, true},       {"hangup", FaultKind::Hangup, false}};
      bool found = false;
      for (auto& k : kinds)
        if (key == k.name) {
          if (k.needsValue && !hasVal) {
            err = key + " needs a value (" + key + "=N)";
            return false;
          }
          f.kind = k.kind;
          f.value = v;
          found = true;
        }
      if (!found) {
        err = "unknown fault '" + key + "'";
        return false;
      }
      continue;
    }
    if (!hasVal) {
      err = "option '" + tok + "' needs a value";
      return false;
    }
    if (key == "at") f.at = v;
    else if (key == "after") f.after = v;
    else if (key == "byte") f.byte = v & 0xFF;
    else if (key == "ms") f.ms = v;
    else if (key == "times") f.times = v;
    else if (key == "func") f.func = v;
    else {
      err = "unknown option '" + key + "'";
      return false;
    }
  }
  if (first) {
    err = "empty fault";
    return false;
  }
  if (f.kind == FaultKind::Long && (f.value < 5 || f.value > 4096)) {
    err = "long wants 5..4096 bytes";
    return false;
  }
  if (f.times == 0) {
    err = "times=0 would never apply";
    return false;
  }
  return true;
}

}  // namespace instrument
