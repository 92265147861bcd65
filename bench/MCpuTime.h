#pragma once
// CPU time for the benchmarks that measure what an idle window or an open editor costs: this
// process's or thread's clock, and another process's (the X server's) from /proc. Linux only, like
// the benchmarks that use it.

#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

/// Seconds on `clock` (CLOCK_PROCESS_CPUTIME_ID, CLOCK_THREAD_CPUTIME_ID, ...).
inline double CpuSeconds(clockid_t clock)
{
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

/// utime + stime of another process from /proc, in seconds; negative when unreadable.
inline double OtherProcessCpuSeconds(pid_t pid)
{
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos)
    return -1.0;
  // Fields after the command name, counted from 3: utime is 14, stime 15.
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long ticks = 0;
  for (int index = 3; fields >> field && index <= 15; ++index)
    if (index >= 14)
      ticks += std::stoull(field);
  return double(ticks) / double(sysconf(_SC_CLK_TCK));
}
