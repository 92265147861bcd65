#pragma once
// MTestHostCallTimer: how long the plug-in kept each call the host made into it.
//
// A DAW's UI loop runs its own work between the calls it makes into a plug-in (VST 2.4
// effEditIdle every 20-30 ms, the VST 3 run loop's descriptor and timer handlers). A plug-in that
// holds such a call (a nested modal loop, a long computation) freezes the host's whole GUI. The
// test hosts time every call: the longest one in wall-clock time and in the calling thread's CPU
// time (which a loaded machine does not inflate by scheduling), and the start of the call now
// running, so that a watchdog thread can tell a call that never returns.
//
// Threads: Begin/End on the host's calling thread; Longest*, Reset and RunningForMs from any.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>

class MTestHostCallTimer
{
public:
  /// The call starts / ends (nested calls count once, the outermost).
  void Begin()
  {
    if (m_depth++ != 0)
      return;
    m_wallStart = Now();
    m_cpuStart = ThreadCpuNs();
    m_runningSince.store(m_wallStart, std::memory_order_relaxed);
  }
  void End()
  {
    if (--m_depth != 0)
      return;
    m_runningSince.store(0, std::memory_order_relaxed);
    const std::int64_t wall = Now() - m_wallStart;
    const std::int64_t cpu = ThreadCpuNs() - m_cpuStart;
    Raise(m_longestWallNs, wall);
    Raise(m_longestCpuNs, cpu);
    m_calls.fetch_add(1, std::memory_order_relaxed);
  }

  double LongestWallMs() const { return m_longestWallNs.load(std::memory_order_relaxed) / 1e6; }
  double LongestCpuMs() const { return m_longestCpuNs.load(std::memory_order_relaxed) / 1e6; }
  std::int64_t Calls() const { return m_calls.load(std::memory_order_relaxed); }
  /// How long the call running now has been running; 0 when none runs.
  double RunningForMs() const
  {
    const std::int64_t since = m_runningSince.load(std::memory_order_relaxed);
    return since == 0 ? 0.0 : (Now() - since) / 1e6;
  }
  void Reset()
  {
    m_longestWallNs.store(0, std::memory_order_relaxed);
    m_longestCpuNs.store(0, std::memory_order_relaxed);
    m_calls.store(0, std::memory_order_relaxed);
  }

  /// Times one call: Begin now, End when the scope ends.
  class Scope
  {
  public:
    explicit Scope(MTestHostCallTimer& timer) : m_timer(timer) { m_timer.Begin(); }
    ~Scope() { m_timer.End(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

  private:
    MTestHostCallTimer& m_timer;
  };

private:
  static std::int64_t Now()
  {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  static std::int64_t ThreadCpuNs()
  {
#if defined(CLOCK_THREAD_CPUTIME_ID) && !defined(_WIN32)
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) == 0)
      return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
#endif
    return Now();
  }
  static void Raise(std::atomic<std::int64_t>& value, std::int64_t candidate)
  {
    std::int64_t seen = value.load(std::memory_order_relaxed);
    while (candidate > seen && !value.compare_exchange_weak(seen, candidate, std::memory_order_relaxed))
    {}
  }

  int m_depth = 0;
  std::int64_t m_wallStart = 0;
  std::int64_t m_cpuStart = 0;
  std::atomic<std::int64_t> m_runningSince{0};
  std::atomic<std::int64_t> m_longestWallNs{0};
  std::atomic<std::int64_t> m_longestCpuNs{0};
  std::atomic<std::int64_t> m_calls{0};
};
