// Faults the instrument can be told to make, parsed from "kind[=value] [opt=value ...]".
#pragma once
#include <string>
#include <vector>

namespace instrument {

enum class FaultKind { Silent, Delay, Pause, BadCrc, Addr, Exception, Stale, Noise, Long, Hangup };

struct Fault {
  FaultKind kind = FaultKind::Silent;
  long value = 0;   // delay/pause ms, address, exception code, long length
  long at = -1;     // pause: bytes before the pause (-1 = half)
  long after = -1;  // stale: ms after the reply; hangup: requests to let pass
  long byte = -1;   // stale/noise byte
  long ms = -1;     // noise duration (-1 = until cleared)
  long times = -1;  // requests left (-1 = every request)
  long func = -1;   // only this function code
  std::string text;  // as given, for the log
};

bool ParseFault(const std::string& spec, Fault& out, std::string& err);

}  // namespace instrument
