#pragma once
// MHostReportQueue: what the plug-in has to tell its host (values changed, the project modified,
// the latency changed), held until the host may hear it. Every host adapter (VST 2.4, VST 3, the
// LV2 UI) owns one and implements its Target with the format's own calls (audioMasterUpdateDisplay,
// restartComponent and setDirty, port writes, ...); the rules of when a report may go are here only.
//
// The rules:
// - A report goes to the host on the host's UI thread: the thread that called BindToThisThread
//   (the thread that created or initialised the adapter). Nothing is told before that call.
// - Never from inside one of the host's calls into the plug-in (MAudioPluginAdapter::HostCallScope
//   is open on the thread): hosts hold their own locks there and take them again when told, see
//   MAudioPluginAdapter.h.
// - While the host's own program call runs (a ChoosingProgram scope on the UI thread), a program
//   or state change the plug-in reports is dropped: the host chose it and knows.
//
// Threads:
// - Queue, StateChanged and ProgramChanged: any thread, the audio thread included (they set bits
//   of one atomic; no lock, no allocation). On the UI thread outside the host's calls they
//   deliver at once; on the UI thread inside a host call they ask the target to wake them
//   (Target::WaitForTick); on any other thread the reports wait for the next Deliver.
// - Deliver: the plug-in's own tick (effEditIdle, the VST 3 run loop's timer, the LV2 UI's idle,
//   MAudioPlugin::IdleEditor) and every call that may find reports waiting. Anywhere but the UI
//   thread outside the host's calls it hands over nothing.
// - ChoosingProgram: the UI thread.
// Nothing here throws but what the target throws; the adapters call these inside MHostCallShield.

#include <atomic>
#include <cstdint>
#include <thread>

class MHostReportQueue
{
public:
  /// What waits for the host, as bits.
  enum Report : std::uint32_t
  {
    kValuesChanged = 1U << 0,  ///< the host is to read every parameter value again
    kDirty = 1U << 1,          ///< the host is to mark the project modified
    kLatencyChanged = 1U << 2, ///< the host is to read the latency again
    kStateChanged = kValuesChanged | kDirty,
  };

  /// The format's side: the calls that actually tell the host.
  class Target
  {
  public:
    /// Whether the host can be told now (a VST 3 host without its component handler cannot):
    /// when false, the reports stay queued. Base: true.
    virtual bool CanTellHost() { return true; }
    /// Tells the host `reports` (Report bits, 0 on a tick with nothing queued: a format that finds
    /// changes of its own on the tick looks for them here). UI thread, outside the host's calls.
    virtual void TellHost(std::uint32_t reports) = 0;
    /// Reports wait while the UI thread is inside a host call: a format with a clock of its own
    /// (the VST 3 run loop) arms it to Deliver later. UI thread. Base: nothing (the next tick).
    virtual void WaitForTick() {}

  protected:
    ~Target() = default;
  };

  explicit MHostReportQueue(Target& target) noexcept : m_target(target) {}
  MHostReportQueue(const MHostReportQueue&) = delete;
  MHostReportQueue& operator=(const MHostReportQueue&) = delete;

  /// The calling thread is the host's UI thread from now on (before other threads use the queue).
  void BindToThisThread() noexcept { m_uiThread = std::this_thread::get_id(); }
  bool IsUIThread() const noexcept { return std::this_thread::get_id() == m_uiThread; }

  /// Adds `reports` (Report bits) and delivers them as the rules allow.
  void Queue(std::uint32_t reports);
  /// The plug-in changed its own state: kStateChanged, dropped on the UI thread while the host's
  /// program call runs.
  void StateChanged();
  /// The plug-in chose its current program itself: as StateChanged, dropped while the host's
  /// program call runs on any thread.
  void ProgramChanged();
  /// Hands what waits to the target when on the UI thread outside the host's calls and the target
  /// can tell the host; inside a host call on the UI thread, asks the target to wait for its tick.
  void Deliver();

  /// Marks the host's own program call for its lifetime (UI thread; does not nest).
  class ChoosingProgram
  {
  public:
    explicit ChoosingProgram(MHostReportQueue& queue) noexcept : m_queue(queue)
    {
      m_queue.m_choosingProgram.store(true, std::memory_order_relaxed);
    }
    ~ChoosingProgram() { m_queue.m_choosingProgram.store(false, std::memory_order_relaxed); }
    ChoosingProgram(const ChoosingProgram&) = delete;
    ChoosingProgram& operator=(const ChoosingProgram&) = delete;

  private:
    MHostReportQueue& m_queue;
  };

private:
  Target& m_target;
  std::thread::id m_uiThread; // written once before other threads use the queue
  std::atomic<std::uint32_t> m_pending{0};
  std::atomic<bool> m_choosingProgram{false};
};
