#pragma once
// Counts calls of the global allocation functions made by the current thread.
//
// The test executables replace global operator new/delete (MAllocationCounter.cpp);
// every allocation made while an MAllocationCounter::Scope is alive on the same
// thread is counted. Use it to prove that a processing call allocates nothing:
//
//     MAllocationCounter::Scope scope;
//     processor.Process(in, out, n);
//     EXPECT_EQ(scope.Count(), 0);
//
// Allocations of other threads are not counted, so a test may run workers beside it.
// The ThreadSanitizer build keeps its runtime's allocation functions: there every count is 0,
// so allocation tests belong in suites that are not marked CONCURRENCY.

#include <cstddef>

class MAllocationCounter
{
public:
  class Scope
  {
  public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    /// Allocations made by this thread since the scope began.
    std::size_t Count() const;

  private:
    std::size_t m_start;
    bool m_wasActive;
  };

  /// Allocations counted on this thread while any scope was active.
  static std::size_t ThreadCount();
};
