#include "base/MCallback.h"
#include "base/MEvent.h"
#include "base/MEventParams.h"
#include "base/MEventProcessor.h"
#include "base/MException.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
struct MValueParams
{
  int value = 0;
};

using MValueEvent = MEvent<MValueParams>;

// Records what its handlers received, tagged with the target's name.
class MRecorder : public MEventTarget
{
public:
  MRecorder(std::vector<std::string>& log, std::string name) : m_log(log), m_name(std::move(name)) {}

  void OnValue(MValueParams& params) { m_log.push_back(m_name + ":" + std::to_string(params.value)); }

private:
  std::vector<std::string>& m_log;
  std::string m_name;
};
} // namespace

// A log, a processor and two recorders writing to the log.
class MEventTest : public testing::Test
{
protected:
  std::vector<std::string> log;
  MEventProcessor processor;
  MRecorder a{log, "a"}, b{log, "b"};
};

TEST_F(MEventTest, ProcessDeliversEveryRecordOnceInPostingOrderAcrossEvents)
{
  MValueEvent first;
  MValueEvent second;
  EXPECT_FALSE(first.Post(&processor, MValueParams{0})) << "without handlers nothing is queued";
  EXPECT_EQ(first.GetPendingCount(), 0u);
  EXPECT_EQ(processor.GetPendingCount(), 0u);
  first.Subscribe<&MRecorder::OnValue>(&a);
  second.Subscribe<&MRecorder::OnValue>(&b);

  EXPECT_TRUE(first.Post(&processor, MValueParams{1}));
  EXPECT_TRUE(second.Post(&processor, MValueParams{2}));
  EXPECT_TRUE(first.Post(&processor, MValueParams{3}));
  EXPECT_EQ(processor.GetPendingCount(), 3u);
  EXPECT_TRUE(log.empty()) << "posting must not deliver";

  processor.Process();
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "b:2", "a:3"}));
  EXPECT_EQ(processor.GetPendingCount(), 0u);
  EXPECT_EQ(first.GetPendingCount(), 0u);

  processor.Process();
  EXPECT_EQ(log.size(), 3u) << "a second drain finds nothing";
}

TEST_F(MEventTest, DirectDispatchDeliversTheOldestRecordAndAnEmptyQueueIsOutOfRange)
{
  MValueEvent event;
  event.Subscribe<&MRecorder::OnValue>(&a);
  event.Post(&processor, MValueParams{1});
  event.Post(&processor, MValueParams{2});

  event.Dispatch();
  event.Dispatch();
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "a:2"}));
  EXPECT_EQ(processor.GetPendingCount(), 0u) << "a direct dispatch takes the processor's entry with it";
  EXPECT_EQ(MessageOf([&] { event.Dispatch(); }), "Index out of range.");
  processor.Process();
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(MEventTest, HandlersRunInSubscriptionOrderWithTheirContextAndShareTheRecord)
{
  MCallback<MValueParams> callback;
  int context = 40;
  // A free handler that reads its context word and leaves an answer in the record.
  callback.Subscribe(&a, &context, [](MEventTarget*, void* ctx, MValueParams& params) {
    params.value += *static_cast<int*>(ctx);
  });
  callback.Subscribe<&MRecorder::OnValue>(&b);
  callback.Subscribe<&MRecorder::OnValue>(&a);

  MValueParams params{2};
  callback.Call(params);
  EXPECT_EQ(log, (std::vector<std::string>{"b:42", "a:42"}));
  EXPECT_EQ(params.value, 42);
}

TEST_F(MEventTest, UnsubscribeRemovesEveryHandlerOfOneTargetAndKeepsTheOthersInOrder)
{
  MRecorder c(log, "c");
  MCallback<MValueParams> callback;
  callback.Subscribe<&MRecorder::OnValue>(&a);
  callback.Subscribe<&MRecorder::OnValue>(&b);
  callback.Subscribe<&MRecorder::OnValue>(&c);
  callback.Subscribe<&MRecorder::OnValue>(&b);
  EXPECT_EQ(b.GetSubscriptionCount(), 1u) << "one event, however many handlers";

  callback.Unsubscribe(&b);
  EXPECT_EQ(callback.GetHandlerCount(), 2u);
  EXPECT_EQ(b.GetSubscriptionCount(), 0u);
  MValueParams params{7};
  callback.Call(params);
  EXPECT_EQ(log, (std::vector<std::string>{"a:7", "c:7"}));

  callback.UnsubscribeAll();
  EXPECT_EQ(callback.GetHandlerCount(), 0u);
  EXPECT_EQ(a.GetSubscriptionCount(), 0u);
  EXPECT_EQ(c.GetSubscriptionCount(), 0u);
}

TEST_F(MEventTest, DestroyingASubscriberRemovesItsHandlersFromEveryEventButACopysDeathDoesNot)
{
  MValueEvent first;
  MValueEvent second;
  MRecorder survivor(log, "s");
  second.Subscribe<&MRecorder::OnValue>(&survivor);
  {
    MRecorder doomed(log, "d");
    first.Subscribe<&MRecorder::OnValue>(&doomed);
    second.Subscribe<&MRecorder::OnValue>(&doomed);
    first.Post(&processor, MValueParams{1}); // queued while the subscriber still lives
  }
  EXPECT_EQ(first.GetHandlerCount(), 0u);
  EXPECT_EQ(second.GetHandlerCount(), 1u);
  EXPECT_FALSE(first.Post(&processor, MValueParams{2})) << "no handler is left";
  EXPECT_TRUE(second.Post(&processor, MValueParams{3}));

  processor.Process();
  EXPECT_EQ(log, (std::vector<std::string>{"s:3"})) << "the dead subscriber is never called";

  // A copied target starts without subscriptions: its death leaves the original subscribed.
  MCallback<MValueParams> callback;
  callback.Subscribe<&MRecorder::OnValue>(&a);
  {
    MRecorder copy(a);
    EXPECT_EQ(copy.GetSubscriptionCount(), 0u);
  }
  EXPECT_EQ(callback.GetHandlerCount(), 1u) << "the copy's death must not unsubscribe the original";
}

TEST_F(MEventTest, DestroyingAnEventRemovesItFromItsSubscribersAndWithdrawsItsRecords)
{
  MValueEvent kept;
  kept.Subscribe<&MRecorder::OnValue>(&a);
  {
    MValueEvent doomed;
    doomed.Subscribe<&MRecorder::OnValue>(&a);
    EXPECT_EQ(a.GetSubscriptionCount(), 2u);
    kept.Post(&processor, MValueParams{1});
    doomed.Post(&processor, MValueParams{2});
    kept.Post(&processor, MValueParams{3});
  }
  EXPECT_EQ(a.GetSubscriptionCount(), 1u);
  EXPECT_EQ(processor.GetPendingCount(), 2u);
  processor.Process();
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "a:3"}));
}

TEST_F(MEventTest, ClearQueueOrTheProcessorsEndDropsThePendingRecords)
{
  MValueEvent event;
  event.Subscribe<&MRecorder::OnValue>(&a);
  event.Post(&processor, MValueParams{1});
  event.Post(&processor, MValueParams{2});
  event.ClearQueue();
  EXPECT_EQ(event.GetPendingCount(), 0u);
  EXPECT_EQ(processor.GetPendingCount(), 0u);
  processor.Process();
  EXPECT_TRUE(log.empty());

  event.Post(&processor, MValueParams{3});
  processor.Process();
  EXPECT_EQ(log, (std::vector<std::string>{"a:3"}));

  // Destroying a processor drops the records pending on it.
  log.clear();
  MValueEvent pending;
  pending.Subscribe<&MRecorder::OnValue>(&a);
  {
    MEventProcessor doomed;
    pending.Post(&doomed, MValueParams{1});
  }
  EXPECT_EQ(pending.GetPendingCount(), 0u);
  MEventProcessor other;
  pending.Post(&other, MValueParams{2});
  other.Process();
  EXPECT_EQ(log, (std::vector<std::string>{"a:2"}));
}

// Handlers run with the global lock released, so they may change the very lists being walked.
namespace
{
class MMeddler : public MEventTarget
{
public:
  std::function<void()> action;
  int calls = 0;
  void OnValue(MValueParams&)
  {
    ++calls;
    if (action)
      action();
  }
};
} // namespace

TEST_F(MEventTest, AHandlerMayRemoveItselfAndDestroyLaterSubscribersOrTheEventThatCallsIt)
{
  MCallback<MValueParams> callback;
  auto first = std::make_unique<MMeddler>();
  auto second = std::make_unique<MMeddler>();
  auto third = std::make_unique<MMeddler>();
  MMeddler* firstRaw = first.get();
  first->action = [&] {
    callback.Unsubscribe(firstRaw);
    second.reset();
  };
  callback.Subscribe<&MMeddler::OnValue>(first.get());
  callback.Subscribe<&MMeddler::OnValue>(second.get());
  callback.Subscribe<&MMeddler::OnValue>(third.get());

  MValueParams params;
  callback.Call(params);
  EXPECT_EQ(first->calls, 1);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(third->calls, 1) << "removing earlier entries must not skip the next handler";
  EXPECT_EQ(callback.GetHandlerCount(), 1u);

  // A handler may destroy the event that calls it.
  auto event = std::make_unique<MValueEvent>();
  MMeddler killer;
  MMeddler after;
  killer.action = [&] { event.reset(); };
  event->Subscribe<&MMeddler::OnValue>(&killer);
  event->Subscribe<&MMeddler::OnValue>(&after);
  event->Post(&processor, MValueParams{1});
  event->Post(&processor, MValueParams{2});

  processor.Process();
  EXPECT_EQ(killer.calls, 1);
  EXPECT_EQ(after.calls, 0) << "delivery stops with the event";
  EXPECT_EQ(processor.GetPendingCount(), 0u) << "the second record went with the event";
  EXPECT_EQ(killer.GetSubscriptionCount(), 0u);
}

TEST_F(MEventTest, RecordsPostedByAHandlerComeInTheSameDrainAndAThrowingOneLeavesTheRestPending)
{
  MValueEvent event;
  MMeddler reposter;
  reposter.action = [&] {
    if (reposter.calls < 3)
      event.Post(&processor, MValueParams{reposter.calls});
  };
  event.Subscribe<&MMeddler::OnValue>(&reposter);
  event.Post(&processor, MValueParams{0});
  processor.Process();
  EXPECT_EQ(reposter.calls, 3);
  EXPECT_EQ(processor.GetPendingCount(), 0u);

  // A throwing handler leaves the later records pending.
  MValueEvent throwing;
  MMeddler thrower;
  thrower.action = [&] {
    if (thrower.calls == 1)
      throw MException(MString("handler failed"));
  };
  throwing.Subscribe<&MMeddler::OnValue>(&thrower);
  throwing.Post(&processor, MValueParams{1});
  throwing.Post(&processor, MValueParams{2});
  EXPECT_THROW(processor.Process(), MException);
  EXPECT_EQ(processor.GetPendingCount(), 1u);
  processor.Process();
  EXPECT_EQ(thrower.calls, 2);
  // The global lock was given back after the exception: another thread can still post.
  std::thread poster([&] { throwing.Post(&processor, MValueParams{3}); });
  poster.join();
  EXPECT_EQ(processor.GetPendingCount(), 1u);
}
