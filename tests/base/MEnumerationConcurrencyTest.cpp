// The lookup table of an enumeration is built lazily by whichever thread asks first.
#include "base/MEnumeration.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{

constexpr const char* kNames[] = {"alpha", "beta", "gamma", "delta", "epsilon",
                                  "zeta",  "eta",  "theta", "iota"};

TEST(MEnumerationConcurrency, ThreadsRacingToTheFirstLookupAllFindEveryName)
{
  for (int round = 0; round < 20; ++round)
  {
    MEnumeration enumeration(kNames, 9);
    std::atomic<bool> go{false};
    std::atomic<int> misses{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
      threads.emplace_back([&, t] {
        while (!go.load(std::memory_order_relaxed))
        {}
        for (int i = 0; i < 9; ++i)
        {
          int item = (i + t) % 9;
          if (enumeration.Find(MString::FromLiteral(kNames[item])) != item)
          {
            misses.fetch_add(1, std::memory_order_relaxed);
          }
        }
      });
    }
    go.store(true, std::memory_order_relaxed);
    for (auto& thread : threads)
    {
      thread.join();
    }
    EXPECT_EQ(misses.load(), 0) << "round " << round;
  }
}

} // namespace
