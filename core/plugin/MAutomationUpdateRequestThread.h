#pragma once
// MAudioPlugin::AutomationUpdateRequestThread: asks the GUI thread to refresh editor controls.
//
// Setters on the host's parameter or audio thread mark adapters with MAudioPlugin::NeedUpdateEditor;
// they must not touch GUI controls themselves. This thread wakes every 100 ms (or at once when
// woken), and when the plug-in's refresh list is not empty it posts its update event to the
// global event processor and wakes the thread that drains it (the GUI thread). The event's
// handler, on that thread, calls MAudioPlugin::ProcessAutomationUpdates, which refreshes the
// listed adapters' controls and empties the list.
//
// While no editor is open it also chooses a program the host asked for inside its processing call
// (MAudioPlugin::ApplyRequestedProgram); with an editor open, the editor's idle tick does.
//
// At most one update record is pending at a time, so a GUI thread that does not drain the
// processor (no editor open) costs one queued record, not one every 100 ms.

#include "base/MEvent.h"
#include "base/MEventParams.h"
#include "base/MEventTarget.h"
#include "base/MThread.h"
#include "core/plugin/MAudioPlugin.h"

class MAudioPlugin::AutomationUpdateRequestThread : public MEventTarget, public MThread
{
public:
  explicit AutomationUpdateRequestThread(MAudioPlugin& plugin);
  /// Stops the thread and waits for it; drops a pending update record.
  ~AutomationUpdateRequestThread() override;

  /// Requests stop and waits without limit. Any thread but this one.
  void Stop();

  /// Wake interval in milliseconds.
  static constexpr std::uint32_t kIntervalMs = 100;

protected:
  std::int32_t Run() override;

private:
  void OnUpdate(MOnNotifyParams& params);

  MAudioPlugin& m_plugin;
  MEvent<MOnNotifyParams> m_updateEvent;
};
