// The processor time of this process, so that a benchmark on a machine that
// also runs other work counts only the time its own code ran.
#pragma once

#include <ctime>

namespace bench {

inline double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace bench
