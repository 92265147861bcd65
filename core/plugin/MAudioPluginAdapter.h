#pragma once
// MAudioPluginAdapter: how the plug-in core calls back into the host adapter that created it.
//
// The VST 2.4 and VST 3 host adapters implement it and register themselves with
// MAudioPlugin::SetHostAdapter. The plug-in calls these on the thread that caused the call (the
// GUI thread for automation made in the editor, the audio thread for MIDI output and latency
// changes found while processing); implementations must not throw.
//
// Reports to the host are never made from inside one of the host's calls into the plug-in.
// Hosts hold their own, often non-recursive, locks around program, state and parameter calls and
// take them again when the plug-in reports (VST 3 restartComponent, setDirty, performEdit; VST 2.4
// audioMasterUpdateDisplay, audioMasterAutomate, audioMasterSizeWindow, audioMasterIOChanged; LV2
// UI port writes): a report made there deadlocks them. Each adapter opens a HostCallScope for
// the duration of every host call except the plug-in's own clock (the VST 3 run loop's timer and
// descriptor callbacks, VST 2.4 effEditIdle, the LV2 UI's idle); a report that finds a scope
// open on its thread waits, and DeliverPendingReports hands it over from the next tick (each
// adapter keeps its reports in an MHostReportQueue, whose header states the rules in full). The
// user's own gestures in the editor arrive on that tick, outside any host call, and go at once.

#include "base/MHostCallShield.h"
#include "base/MObject.h"

#include <cstdint>
#include <utility>

class MAudioPluginAdapter : public MObject
{
public:
  ~MAudioPluginAdapter() override = default;

  /// Marks the calling thread as inside a host call for its lifetime (nests).
  class HostCallScope
  {
  public:
    HostCallScope() noexcept { ++t_hostCallDepth; }
    ~HostCallScope() { --t_hostCallDepth; }
    HostCallScope(const HostCallScope&) = delete;
    HostCallScope& operator=(const HostCallScope&) = delete;
  };
  /// Whether the calling thread is inside one of the host's calls into the plug-in: a report
  /// must wait for DeliverPendingReports.
  static bool IsInsideHostCall() noexcept { return t_hostCallDepth > 0; }
  /// MHostCallShield::Run inside a HostCallScope: the guard of a host's call into the plug-in.
  template <typename... Args>
  static decltype(auto) RunHostCall(const MString& traceName, Args&&... args) noexcept
  {
    const HostCallScope scope;
    return MHostCallShield::Run(traceName, std::forward<Args>(args)...);
  }

  /// The parameter at host index `index` now has the normalised value `value` (0..1).
  virtual void SendAutomation(std::int32_t index, double value) = 0;
  /// The plug-in's bypass switch changed (hosts without a bypass parameter ignore it).
  virtual void SendBypassAutomation(bool bypassed) = 0;
  /// Queues an outgoing MIDI event at `sampleOffset` in the current block.
  virtual void GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4]) = 0;
  /// The latency changed: the host adapter asks the plug-in for it and tells the host.
  virtual void ReportLatency() = 0;
  /// Asks the host to resize the editor window; true when the host did.
  virtual bool ChangeEditorSize(std::int32_t width, std::int32_t height) = 0;
  /// The user starts (Begin) or finishes (End) changing the parameter at host index `index`; the
  /// SendAutomation calls between them form one gesture the host records as one edit. Calls come
  /// in matched pairs from MAudioPlugin. Base: nothing (a host without gestures).
  virtual void BeginAutomationGesture(std::int32_t index) { (void)index; }
  virtual void EndAutomationGesture(std::int32_t index) { (void)index; }
  /// The current program (MAudioPlugin::GetCurrentProgram) changed inside the plug-in, the user
  /// having chosen it in the editor: the host re-reads the program and the parameter values.
  /// GUI thread. Base: nothing.
  virtual void ReportProgramChanged() {}
  /// The plug-in changed its own state (MAudioPlugin::ReportStateChangedToHost): the host is to
  /// read every parameter value again and to mark the project modified. Any thread but the audio
  /// thread; an implementation tells the host on its UI thread: at once when called there, else
  /// from DeliverPendingReports. Base: nothing.
  virtual void ReportStateChanged() {}
  /// The host's UI thread is here (the editor's idle tick): hand over what ReportStateChanged or
  /// ReportProgramChanged could not tell the host on another thread. Base: nothing.
  virtual void DeliverPendingReports() {}

private:
  static inline thread_local int t_hostCallDepth = 0;
};
