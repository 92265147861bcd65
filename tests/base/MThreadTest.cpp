#include "base/MEventProcessor.h"
#include "base/MSemaphore.h"
#include "base/MThread.h"

#include "tests/base/MThreadTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using MThreadTestSupport::kPatienceMs;
using MThreadTestSupport::WaitUntil;

namespace
{
std::atomic<int> s_liveWorkers{0};

// The usual shape of a system thread: rounds until asked to stop, sleeping on the wake-up signal.
class MWorker : public MThread
{
public:
  MWorker() { ++s_liveWorkers; }
  ~MWorker() override
  {
    RequestStop();
    Wait();
    --s_liveWorkers;
  }

  std::atomic<int> rounds{0};
  std::atomic<int> finishedCalls{0};
  std::atomic<bool> throwInRun{false};
  MSemaphore started;
#ifdef __linux__
  std::atomic<int> niceInRun{0};
#endif

protected:
  std::int32_t Run() override
  {
#ifdef __linux__
    niceInRun = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
#endif
    started.Release();
    if (throwInRun)
      throw std::runtime_error("Run failed");
    while (!IsStopRequested())
    {
      ++rounds;
      WaitForWakeUp(10);
    }
    return 7;
  }
  void OnFinished() override
  {
    ++finishedCalls;
  }
};
} // namespace

TEST(MThreadTest, StartsStopsAndWaitsRepeatedlyAndAWaitThatTimesOutKeepsTheThreadJoinable)
{
  MWorker worker;
  EXPECT_TRUE(worker.Wait(0)) << "a thread that never started is waited for at once";
  EXPECT_EQ(worker.GetExitState(), MThread::kNotStarted);
  for (int cycle = 0; cycle < 30; ++cycle)
  {
    worker.Start(MThread::Normal);
    ASSERT_EQ(worker.started.Acquire(kPatienceMs), 0) << "cycle " << cycle;
    worker.RequestStop();
    EXPECT_TRUE(worker.IsStopRequested());
    ASSERT_TRUE(WaitUntil([&] { return worker.GetExitState() == 7; })) << "Run's result is the exit state";
    ASSERT_TRUE(worker.Wait(kPatienceMs)) << "cycle " << cycle;
    EXPECT_EQ(worker.GetExitState(), MThread::kNotStarted);
    EXPECT_FALSE(worker.IsStopRequested());
  }
  EXPECT_EQ(worker.finishedCalls.load(), 30);

  // A wait that times out keeps the thread joinable.
  MSemaphore release;
  std::atomic<bool> ended{false};
  class MStubborn : public MThread
  {
  public:
    MStubborn(MSemaphore& release, std::atomic<bool>& ended) : m_release(release), m_ended(ended) {}
    ~MStubborn() override { Wait(); }
    MSemaphore started;

  protected:
    std::int32_t Run() override
    {
      started.Release();
      m_release.Acquire(kPatienceMs); // ignores the stop request until released
      m_ended = true;
      return 0;
    }

  private:
    MSemaphore& m_release;
    std::atomic<bool>& m_ended;
  };

  MStubborn thread(release, ended);
  thread.Start();
  ASSERT_EQ(thread.started.Acquire(kPatienceMs), 0);
  thread.RequestStop();
  EXPECT_FALSE(thread.Wait(20));
  EXPECT_TRUE(thread.IsStopRequested()) << "a failed wait changes nothing";
  release.Release();
  EXPECT_TRUE(thread.Wait(kPatienceMs)) << "the thread is still known and can be waited for";
  EXPECT_TRUE(ended.load());
}

TEST(MThreadTest, AutoDeleteThreadsDeleteThemselvesEvenWhenStoppedAtOnce)
{
  const int before = s_liveWorkers.load();
  for (int i = 0; i < 20; ++i)
  {
    auto* worker = new MWorker;
    worker->SetAutoDelete(true);
    worker->Start(MThread::Low);
    // Until the stop request the object lives; after it, it may be gone at any moment.
    if (i % 2 == 1)
    {
      ASSERT_EQ(worker->started.Acquire(kPatienceMs), 0);
    }
    worker->RequestStop(); // for even i this usually lands before Run begins
  }
  EXPECT_TRUE(WaitUntil([&] { return s_liveWorkers.load() == before; }));
}

namespace
{
class MCountingProcessor : public MEventProcessor
{
public:
  std::atomic<int> wakeUps{0};
  void WakeUp() override { ++wakeUps; }
};

class MEndWatcher : public MEventTarget
{
public:
  std::vector<MThread*> ended;
  void OnThreadEnded(MOnThreadNotifyParams& params) { ended.push_back(params.thread); }
};
} // namespace

TEST(MThreadTest, AnEndedThreadNotifiesItsTargetAlsoWhenRunThrew)
{
  MCountingProcessor processor;
  MEndWatcher watcher;
  MWorker worker;
  worker.SetNotificationTarget(&processor);
  worker.GetThreadEndedEvent().Subscribe<&MEndWatcher::OnThreadEnded>(&watcher);

  worker.Start();
  worker.RequestStop();
  ASSERT_TRUE(worker.Wait(kPatienceMs));
  worker.throwInRun = true;
  worker.Start();
  ASSERT_TRUE(worker.Wait(kPatienceMs));

  EXPECT_EQ(processor.wakeUps.load(), 2);
  EXPECT_TRUE(watcher.ended.empty()) << "handlers run only where the processor is drained";
  processor.Process();
  EXPECT_EQ(watcher.ended, (std::vector<MThread*>{&worker, &worker}));
  EXPECT_EQ(worker.finishedCalls.load(), 2);
}

TEST(MThreadTest, EveryPriorityStartsEvenWhereTheSystemRefusesToRaiseIt)
{
  for (int p = 0; p < MThread::kPriorityCount; ++p)
  {
    MWorker worker;
    worker.Start(MThread::Priority(p));
    ASSERT_EQ(worker.started.Acquire(kPatienceMs), 0) << MThread::kPriorityNames[p];
    worker.RequestStop();
    EXPECT_TRUE(worker.Wait(kPatienceMs)) << MThread::kPriorityNames[p];
#ifdef __linux__
    const int inherited = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
    const int nice = worker.niceInRun.load();
    if (p < MThread::Normal && inherited < 19)
    {
      EXPECT_GT(nice, inherited) << MThread::kPriorityNames[p] << " runs at a lower priority";
    }
    else if (p == MThread::Normal)
    {
      EXPECT_EQ(nice, inherited);
    }
    else if (p > MThread::Normal)
    {
      EXPECT_LE(nice, inherited) << MThread::kPriorityNames[p] << " is raised or keeps the default";
    }
#endif
  }
}
