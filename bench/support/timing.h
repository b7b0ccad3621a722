// The clocks and the median the measuring programs share: wall time on the
// steady clock and this process's processor time, both in seconds from an
// arbitrary start (take differences), and the median of a set of runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace benchtime {

// Seconds on the steady clock.
inline double Wall() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Seconds of processor time of this process (user and system, all threads):
// on a machine shared with other work it tells the cost of a step better
// than the wall clock.
inline double Cpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The middle value (the upper of the two middle ones for an even count); 0
// for no values.
inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

}  // namespace benchtime
