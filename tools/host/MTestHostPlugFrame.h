#pragma once
// MTestHostPlugFrame: the frame and run loop a Linux DAW gives a VST 3 editor view.
//
// The frame answers IPlugFrame (size requests: recorded, granted by resizing the host window and
// calling the view's onSize, as hosts do) and, unless built without one, the run loop
// (Steinberg::Linux::IRunLoop) the view registers its descriptors and timers with. RunFor is the
// host's loop: it polls the registered descriptors with the next timer as timeout and calls the
// handlers on the calling thread. Registered handlers are held with a reference until
// unregistered, as real hosts do.
//
// Threads: one thread (the host's UI thread) drives everything.

#include "sdk/vst3/FObject.h"
#include "sdk/vst3/VST3View.h"
#include "tools/host/MTestHostCallTimer.h"

#include <chrono>
#include <vector>

class MTestHostWindow;

class MTestHostPlugFrame : public Steinberg::FObject,
                           public Steinberg::IPlugFrame,
                           public Steinberg::Linux::IRunLoop
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  /// `window` (may be null) is resized when a size request is granted.
  MTestHostPlugFrame(bool offerRunLoop, MTestHostWindow* window);

  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                     Steinberg::Linux::FileDescriptor fd) override;
  Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
  Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                              Steinberg::Linux::TimerInterval milliseconds) override;
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

  /// Runs the loop for about `milliseconds`.
  void RunFor(int milliseconds);
  int EventHandlerCount() const { return static_cast<int>(m_handlers.size()); }
  int TimerCount() const { return static_cast<int>(m_timers.size()); }
  /// The period of the first registered timer in milliseconds (0: none).
  long long TimerPeriodMs() const { return m_timers.empty() ? 0 : m_timers.front().period.count(); }
  int FdCallbackCount() const { return m_fdCallbacks; }
  int TimerCallbackCount() const { return m_timerCallbacks; }
  int ResizeRequestCount() const { return m_resizeRequests; }
  /// How long the view kept each run-loop callback (descriptor and timer handlers).
  MTestHostCallTimer& CallTimer() { return m_callTimer; }
  const Steinberg::ViewRect& LastResizeRequest() const { return m_lastResize; }

protected:
  ~MTestHostPlugFrame() override;
  void CollectInterfaces(Steinberg::InterfaceTable& table) override;

private:
  using Clock = std::chrono::steady_clock;
  struct Handler
  {
    Steinberg::Linux::IEventHandler* handler;
    int fd;
  };
  struct Timer
  {
    Steinberg::Linux::ITimerHandler* handler;
    std::chrono::milliseconds period;
    Clock::time_point due;
  };

  bool m_offerRunLoop;
  MTestHostWindow* m_window;
  MTestHostCallTimer m_callTimer;
  std::vector<Handler> m_handlers;
  std::vector<Timer> m_timers;
  int m_fdCallbacks = 0;
  int m_timerCallbacks = 0;
  int m_resizeRequests = 0;
  Steinberg::ViewRect m_lastResize{0, 0, 0, 0};
};
