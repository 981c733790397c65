#pragma once
// CPU time of the calling thread and wall time, in milliseconds: every
// benchmark reports both.

#include <time.h>

#include <chrono>

namespace kestrin::bench {

struct Stamp {
  double cpu = 0;
  double wall = 0;
};

inline Stamp Now() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  return {static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6, wall};
}

inline Stamp Since(const Stamp& start) {
  const Stamp end = Now();
  return {end.cpu - start.cpu, end.wall - start.wall};
}

}  // namespace kestrin::bench
