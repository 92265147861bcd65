#pragma once
// Counts the blocking lock calls (pthread_mutex_lock) made by the current thread.
//
// A test executable that links MLockWaitCounter.cpp replaces pthread_mutex_lock with a counting
// forwarder; the plug-in code in the executable, and a module the test host loads into it, reach
// it for every std::mutex, std::recursive_mutex and MLock that they wait for. Tries
// (pthread_mutex_trylock) are not counted: they never wait. Use it to prove that the audio thread
// waits on no lock:
//
//     MLockWaitCounter::Scope scope;
//     processor.Process(in, out, n);
//     EXPECT_EQ(scope.Count(), 0);
//
// Only calls of the current thread are counted. Linux only, and not under ThreadSanitizer (which
// intercepts the same call): elsewhere IsCounting is false and every count 0.

#include <cstddef>

class MLockWaitCounter
{
public:
  class Scope
  {
  public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    /// Blocking lock calls made by this thread since the scope began.
    std::size_t Count() const;

  private:
    std::size_t m_start;
    bool m_wasActive;
  };

  /// Blocking lock calls counted on this thread while any scope was active.
  static std::size_t ThreadCount();
  /// True where lock calls are counted.
  static bool IsCounting();
};
