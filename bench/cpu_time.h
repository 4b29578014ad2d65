// CPU-time measurement for the benchmarks: CPU time is what a loaded machine disturbs least.
#pragma once

#include <time.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

inline double cpu_now() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// CPU seconds of one call of f; quick calls are repeated until a batch takes 20 ms.
inline double cpu_seconds(const std::function<void()>& f) {
  int reps = 1;
  for (;;) {
    double t0 = cpu_now();
    for (int i = 0; i < reps; ++i) f();
    double t = cpu_now() - t0;
    if (t >= 0.02 || reps >= (1 << 20)) return t / reps;
    reps *= t <= 0.001 ? 16 : 2;
  }
}

}  // namespace bench
