#include "base/MEvent.h"
#include "base/MEventProcessor.h"
#include "base/MSemaphore.h"

#include "tests/base/MThreadTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using MThreadTestSupport::kPatienceMs;

namespace
{
struct MSequenceParams
{
  int poster;
  int sequence;
};
using MSequenceEvent = MEvent<MSequenceParams>;

// A processor whose owner sleeps on a semaphore until a poster wakes it, as the GUI thread does.
class MWakingProcessor : public MEventProcessor
{
public:
  MSemaphore wakeSignal;
  void WakeUp() override { wakeSignal.Release(); }
};

class MCollector : public MEventTarget
{
public:
  std::vector<MSequenceParams> received; // touched only on the draining thread
  std::thread::id handlerThread;
  void OnSequence(MSequenceParams& params)
  {
    received.push_back(params);
    handlerThread = std::this_thread::get_id();
  }
};
} // namespace

TEST(MEventProcessorTest, RecordsPostedByFourThreadsArriveOnTheDrainingThreadInEachPostersOrder)
{
  constexpr int kPosters = 4;
  constexpr int kRecords = 400;
  MWakingProcessor processor;
  MSequenceEvent even;
  MSequenceEvent odd;
  MCollector collector;
  even.Subscribe<&MCollector::OnSequence>(&collector);
  odd.Subscribe<&MCollector::OnSequence>(&collector);

  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p)
    posters.emplace_back([&, p] {
      for (int i = 0; i < kRecords; ++i)
      {
        // Alternating events: the order must hold across events, not only within one.
        (i % 2 == 0 ? even : odd).Post(&processor, MSequenceParams{p, i});
        processor.WakeUp();
      }
    });

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  const std::size_t total = std::size_t(kPosters * kRecords);
  while (collector.received.size() < total && std::chrono::steady_clock::now() < deadline)
  {
    processor.wakeSignal.Acquire(10);
    processor.Process();
  }
  for (std::thread& poster : posters)
    poster.join();

  ASSERT_EQ(collector.received.size(), total);
  std::vector<int> next(kPosters, 0);
  for (const MSequenceParams& record : collector.received)
  {
    ASSERT_EQ(record.sequence, next[record.poster]) << "poster " << record.poster;
    ++next[record.poster];
  }
  EXPECT_EQ(collector.handlerThread, std::this_thread::get_id());
  EXPECT_EQ(processor.GetPendingCount(), 0u);
}

TEST(MEventProcessorTest, SubscribersComeAndGoWhileAnotherThreadDelivers)
{
  MEventProcessor processor;
  MSequenceEvent event;
  MCollector steady;
  MCollector visitor; // lives throughout; only its subscription changes
  event.Subscribe<&MCollector::OnSequence>(&steady);

  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop.load())
    {
      event.Subscribe<&MCollector::OnSequence>(&visitor);
      event.Unsubscribe(&visitor);
    }
  });
  for (int i = 0; i < 2000; ++i)
  {
    event.Post(&processor, MSequenceParams{0, i});
    if (i % 16 == 15)
      processor.Process();
  }
  processor.Process();
  stop = true;
  churn.join();

  ASSERT_EQ(steady.received.size(), 2000u);
  for (int i = 0; i < 2000; ++i)
    ASSERT_EQ(steady.received[std::size_t(i)].sequence, i);
  EXPECT_EQ(visitor.GetSubscriptionCount(), 0u);
}
