#include "tools/host/MTestHostPlugFrame.h"

#include "tools/host/MTestHostWindow.h"

#include <poll.h>

#include <algorithm>

using namespace Steinberg;

MTestHostPlugFrame::MTestHostPlugFrame(bool offerRunLoop, MTestHostWindow* window)
    : m_offerRunLoop(offerRunLoop), m_window(window)
{}

MTestHostPlugFrame::~MTestHostPlugFrame()
{
  for (const Handler& entry : m_handlers)
    entry.handler->release();
  for (const Timer& entry : m_timers)
    entry.handler->release();
}

void MTestHostPlugFrame::CollectInterfaces(InterfaceTable& table)
{
  FObject::CollectInterfaces(table);
  table.Add(IPlugFrame::iid, static_cast<IPlugFrame*>(this));
  if (m_offerRunLoop)
    table.Add(Linux::IRunLoop::iid, static_cast<Linux::IRunLoop*>(this));
}

tresult PLUGIN_API MTestHostPlugFrame::resizeView(IPlugView* view, ViewRect* newSize)
{
  if (view == nullptr || newSize == nullptr)
    return kInvalidArgument;
  ++m_resizeRequests;
  m_lastResize = *newSize;
  if (m_window != nullptr)
    m_window->Resize(newSize->getWidth(), newSize->getHeight());
  return view->onSize(newSize);
}

tresult PLUGIN_API MTestHostPlugFrame::registerEventHandler(Linux::IEventHandler* handler,
                                                            Linux::FileDescriptor fd)
{
  if (handler == nullptr || fd < 0)
    return kInvalidArgument;
  handler->addRef();
  m_handlers.push_back(Handler{handler, fd});
  return kResultOk;
}

tresult PLUGIN_API MTestHostPlugFrame::unregisterEventHandler(Linux::IEventHandler* handler)
{
  auto gone = std::stable_partition(m_handlers.begin(), m_handlers.end(),
                                    [&](const Handler& entry) { return entry.handler != handler; });
  if (gone == m_handlers.end())
    return kResultFalse;
  std::vector<Handler> removed(gone, m_handlers.end());
  m_handlers.erase(gone, m_handlers.end());
  for (const Handler& entry : removed)
    entry.handler->release();
  return kResultOk;
}

tresult PLUGIN_API MTestHostPlugFrame::registerTimer(Linux::ITimerHandler* handler,
                                                     Linux::TimerInterval milliseconds)
{
  if (handler == nullptr || milliseconds == 0)
    return kInvalidArgument;
  handler->addRef();
  const std::chrono::milliseconds period(static_cast<long long>(milliseconds));
  m_timers.push_back(Timer{handler, period, Clock::now() + period});
  return kResultOk;
}

tresult PLUGIN_API MTestHostPlugFrame::unregisterTimer(Linux::ITimerHandler* handler)
{
  auto gone = std::stable_partition(m_timers.begin(), m_timers.end(),
                                    [&](const Timer& entry) { return entry.handler != handler; });
  if (gone == m_timers.end())
    return kResultFalse;
  std::vector<Timer> removed(gone, m_timers.end());
  m_timers.erase(gone, m_timers.end());
  for (const Timer& entry : removed)
    entry.handler->release();
  return kResultOk;
}

void MTestHostPlugFrame::RunFor(int milliseconds)
{
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (Clock::now() < end)
  {
    Clock::time_point wake = end;
    for (const Timer& timer : m_timers)
      wake = std::min(wake, timer.due);
    std::vector<pollfd> fds;
    for (const Handler& entry : m_handlers)
      fds.push_back(pollfd{entry.fd, POLLIN, 0});
    // Rounded up: a timer due in less than a millisecond must not turn the loop into a spin.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();
    poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(wait, 0)));
    // A handler may unregister (itself or others) while called: work on referenced copies.
    for (const pollfd& fd : fds)
    {
      if ((fd.revents & POLLIN) == 0)
        continue;
      for (const Handler& entry : std::vector<Handler>(m_handlers))
        if (entry.fd == fd.fd)
        {
          entry.handler->addRef();
          ++m_fdCallbacks;
          const MTestHostCallTimer::Scope timed(m_callTimer);
          entry.handler->onFDIsSet(fd.fd);
          entry.handler->release();
          break;
        }
    }
    const Clock::time_point now = Clock::now();
    for (const Timer& timer : std::vector<Timer>(m_timers))
    {
      // Only timers still registered (an earlier callback may have removed this one).
      auto live = std::find_if(m_timers.begin(), m_timers.end(),
                               [&](const Timer& entry) { return entry.handler == timer.handler; });
      if (live == m_timers.end() || live->due > now)
        continue;
      live->due = now + live->period;
      timer.handler->addRef();
      ++m_timerCallbacks;
      {
        const MTestHostCallTimer::Scope timed(m_callTimer);
        timer.handler->onTimer();
      }
      timer.handler->release();
    }
  }
}
