#pragma once
// MAudioPluginVST3View: the editor view (IPlugView) of one MAudioPluginVST3Adapter.
//
// createView("editor") makes one; the adapter keeps at most one alive. attached opens the
// plug-in's editor window (MAudioPlugin::OpenEditor) with the module's window system inside the
// host's native window: an HWND on Windows, an X11 window id on Linux.
//
// Linux: the host's run loop (Steinberg::Linux::IRunLoop, queried from the frame given in
// setFrame) is the only clock: the view registers itself as event handler for the window system's
// X connection and wake-up descriptors and as a timer (its period follows what the editor does:
// kIdlePeriodMs); removed unregisters both. No thread of ours touches X11. A host without a run
// loop gets the picture painted at attach and nothing more (no thread of ours pumps, nothing hangs).
// Windows: the host's message loop delivers our windows' messages; the idle work runs from a
// thread timer (kIdlePeriodMs) that attached starts on the UI thread and removed stops.
//
// The calls a host makes out of order are answered, never crashed on: attached with another
// platform type, a null parent, or while attached answers kResultFalse; removed while not attached
// answers kResultFalse; getSize/onSize/checkSizeConstraint before attached work on the size the
// editor will open with.
//
// Threads: the host's UI thread for every call (also the run loop's callbacks); it becomes the
// window system's GUI thread. Every call runs inside MHostCallShield
// ("MAudioPluginVST3Adapter::MEditor::<operation>").

#include "gui/MGuiTypes.h"
#include "sdk/vst3/FObject.h"
#include "sdk/vst3/VST3View.h"

#include <cstdint>

class MAudioPluginVST3Adapter;
class MAudioPlugin;

class MAudioPluginVST3View : public Steinberg::FObject,
                             public Steinberg::IPlugView,
                             public Steinberg::IPlugViewContentScaleSupport,
                             public Steinberg::Linux::IEventHandler,
                             public Steinberg::Linux::ITimerHandler
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  /// Periods of the idle timer registered with the host's run loop (Linux; on Windows the
  /// thread timer keeps kIdlePeriodMs). Input reaches the editor through the descriptors
  /// whatever the timer does; the timer drives window timers of ours (kIdlePeriodMs while any
  /// runs), displays that follow the audio and the host's values (kDisplayPeriodMs), and rests at
  /// kRestPeriodMs once kQuietTicksBeforeRest ticks in a row painted nothing. A paint (from a
  /// descriptor callback, or a resting tick that found something new) ends the rest.
  static constexpr Steinberg::uint64 kIdlePeriodMs = 30;
  static constexpr Steinberg::uint64 kDisplayPeriodMs = 50;
  static constexpr Steinberg::uint64 kRestPeriodMs = 250;
  static constexpr int kQuietTicksBeforeRest = 40;
  /// Smallest size checkSizeConstraint lets through.
  static constexpr Steinberg::int32 kMinimumWidth = 320;
  static constexpr Steinberg::int32 kMinimumHeight = 200;

  /// Holds a reference to `adapter` until destroyed. Starts with one reference (the caller's).
  MAudioPluginVST3View(MAudioPluginVST3Adapter& adapter, MAudioPlugin& plugin);

  // ---- IPlugView ----
  /// kResultTrue for "HWND" on Windows and "X11EmbedWindowID" on Linux, kResultFalse otherwise.
  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API onWheel(float distance) override;
  Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) override;
  Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                        Steinberg::int16 modifiers) override;
  /// The editor's size in device pixels (before attached: the size the host set, else the size
  /// it will open with at its zoom); sides below 5 read as 0.
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  /// Resizes the open editor, or sets the size it will open with; kResultFalse for sides below 1.
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API onFocus(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
  Steinberg::tresult PLUGIN_API canResize() override;
  /// Raises the rectangle to at least kMinimumWidth x kMinimumHeight.
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

  // ---- IPlugViewContentScaleSupport ----
  /// The host's scale for the view (before or after attached): the editor's automatic zoom takes
  /// it (as the nearest step from 100 % to 200 %); an attached editor redraws at once and asks
  /// for its new size through IPlugFrame::resizeView. kInvalidArgument for a factor that is not
  /// positive; else kResultTrue.
  Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

  // ---- the host's run loop ----
  void PLUGIN_API onFDIsSet(Steinberg::Linux::FileDescriptor fd) override;
  void PLUGIN_API onTimer() override;

  bool IsAttached() const noexcept { return m_attached; }
  /// Whether the run loop took the descriptors and the timer at attach.
  bool IsOnRunLoop() const noexcept { return m_runLoop != nullptr; }

protected:
  /// Detaches when the host released the view without removed; tells the adapter.
  ~MAudioPluginVST3View() override;
  void CollectInterfaces(Steinberg::InterfaceTable& table) override;

private:
  void Register();
  void Unregister();
  /// After a tick (`tick`) or a descriptor callback: sets the timer's period for what the editor
  /// does (see kIdlePeriodMs).
  void FollowActivity(bool tick);
  void Detach();
  Steinberg::tresult OnKey(bool down, Steinberg::char16 key, Steinberg::int16 keyCode,
                           Steinberg::int16 modifiers);

  MAudioPluginVST3Adapter& m_adapter;
  MAudioPlugin& m_plugin;
  Steinberg::IPlugFrame* m_frame = nullptr;        // not owned (the host's, valid while set)
  Steinberg::Linux::IRunLoop* m_runLoop = nullptr; // one reference while attached
  std::uintptr_t m_idleTimer = 0;                  // Windows: the idle thread timer's id
  MSize m_size;
  bool m_hostSized = false; // the host set the size (onSize) rather than asking for ours
  bool m_attached = false;
  Steinberg::uint64 m_timerPeriod = 0; // Linux run loop
  int m_quietTicks = 0;
  std::uint64_t m_seenHandlerEntries = 0;
};
