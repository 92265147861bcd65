#include "base/MFormat.h"
#include "base/MString.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Buffers shared between threads: every thread copies, changes and destroys strings that share
// one buffer with the others. The sanitizer build checks the reference counts for races.
TEST(MStringConcurrencyTest, StringsSharingOneBufferAreCopiedAndDestroyedOnManyThreads)
{
  const MString shared = MString::FromUTF8("shared across threads \xc3\xa9");
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
  {
    threads.emplace_back([&shared, &mismatches, t] {
      std::vector<MString> held;
      for (int i = 0; i < kRounds; ++i)
      {
        MString copy = shared;
        held.push_back(copy);
        if (i % 7 == 0)
        {
          copy.Append(static_cast<char16_t>(u'a' + t)); // unshares on this thread only
          if (copy.Length() != shared.Length() + 1)
          {
            mismatches.fetch_add(1, std::memory_order_relaxed);
          }
        }
        if (held.size() > 64)
        {
          held.clear();
        }
      }
    });
  }
  for (std::thread& thread : threads)
  {
    thread.join();
  }
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(shared.ShareCount(), 1u);
  EXPECT_EQ(shared.ToUTF8(), "shared across threads \xc3\xa9");
}

TEST(MStringConcurrencyTest, StringsHandedToAnotherThreadOutliveTheirCreator)
{
  constexpr int kItems = 2000;
  std::vector<MString> handed(kItems);
  MFormat format("item {0}");
  std::thread producer([&] {
    for (int i = 0; i < kItems; ++i)
    {
      handed[static_cast<std::size_t>(i)] = format.With(i);
    }
  });
  producer.join();
  std::vector<MString> copies;
  std::thread consumer([&] {
    for (const MString& text : handed)
    {
      copies.push_back(text);
    }
  });
  // Meanwhile this thread drops its own references.
  consumer.join();
  handed.clear();
  ASSERT_EQ(copies.size(), static_cast<std::size_t>(kItems));
  EXPECT_EQ(copies[1234], MString("item 1234"));
  EXPECT_EQ(copies[1234].ShareCount(), 1u);
}
