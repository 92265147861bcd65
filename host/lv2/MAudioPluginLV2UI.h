#pragma once
// MAudioPluginLV2UI: the plug-in's editor as an LV2 X11 UI.
//
// The editor window is the plug-in's (MAudioPlugin::OpenEditor) opened with the module's window
// system inside the host's window (ui:parent, required); the UI's widget is that window. The
// host's ui:idleInterface is the only clock: it runs the plug-in's idle work and pumps the window
// system, as effEditIdle does for VST 2.4.
//
// Which plug-in it shows: when the host offers instance-access, the very instance that processes
// (the editor then shows its tuning indicator and its slots live); otherwise a mirror of it
// (MAudioPlugin::MakeMirror), so that the UI runs no second instance beside the one it shows: it
// sets up no processing and writes no shared file, its parameters follow the host's port events
// and its tuning indicator the instance's notify port. Either way the editor's parameter changes
// reach the host as port writes in the ports' units (MLV2Description::ControlScale)
// (write_function, float protocol), each drag between ui:touch grab and release when the host
// offers touch; a state the plug-in changed itself (a preset loaded, settings pasted) writes
// every parameter port. Size requests go to ui:resize.
//
// Threads: the host's UI thread for every call; it becomes the window system's GUI thread.
// Every entry point runs inside MHostCallShield ("MAudioPluginLV2UI::<operation>").

#include "core/plugin/MAudioPluginAdapter.h"
#include "host/module/MHostReportQueue.h"
#include "host/lv2/MLV2Description.h"

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <vector>

class MAudioPlugin;
class MAudioPluginLV2Adapter;

class MAudioPluginLV2UI : public MAudioPluginAdapter, private MHostReportQueue::Target
{
public:
  /// The UI descriptor (index 0); null beyond. Any thread.
  static const LV2UI_Descriptor* Descriptor(std::uint32_t index) noexcept;

  /// `instance`: the processing instance when the host offered instance-access, else null (the UI
  /// then makes a mirror). `resize`, `touch` and `map` may be null (without the map the mirror's
  /// indicator shows nothing).
  MAudioPluginLV2UI(LV2UI_Write_Function write, LV2UI_Controller controller, MAudioPluginLV2Adapter* instance,
                    const LV2UI_Resize* resize, const LV2UI_Touch* touch, const LV2_URID_Map* map);
  /// Closes the editor (ending open gestures) and lets go of the instance.
  ~MAudioPluginLV2UI() override;
  MAudioPluginLV2UI(const MAudioPluginLV2UI&) = delete;
  MAudioPluginLV2UI& operator=(const MAudioPluginLV2UI&) = delete;

  /// Opens the editor in the host's window `parent` (an X11 window id); false when it cannot.
  bool Open(std::uintptr_t parent);
  /// The editor's window id.
  std::uintptr_t GetWidget() const noexcept { return m_widget; }

  // ---- LV2 UI (host, UI thread) ----
  /// A control port's new value (format 0). The processing instance applies its ports itself; the
  /// mirror takes the value unless the user is dragging that parameter. An indicator event of the
  /// notify port (atom:eventTransfer) goes to the mirror's tuning indicator.
  void PortEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer);
  /// 0 while the editor is open.
  int Idle();
  int Resize(int width, int height);

  // ---- MAudioPluginAdapter: the editor's calls ----
  void SendAutomation(std::int32_t index, double value) override;
  void SendBypassAutomation(bool bypassed) override;
  void BeginAutomationGesture(std::int32_t index) override;
  void EndAutomationGesture(std::int32_t index) override;
  void GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4]) override;
  void ReportLatency() override;
  bool ChangeEditorSize(std::int32_t width, std::int32_t height) override;
  void ReportProgramChanged() override;
  /// Every parameter port is written with the plug-in's value, when MHostReportQueue lets it go
  /// (the tick is the host's idle).
  void ReportStateChanged() override;
  void DeliverPendingReports() override;

private:
  // MHostReportQueue::Target: a changed state writes every parameter port.
  bool CanTellHost() override { return m_plugin != nullptr; }
  void TellHost(std::uint32_t reports) override;
  void WritePort(std::uint32_t port, float value);
  void ShowIndicator(const void* atom, std::uint32_t size);

  LV2UI_Write_Function m_write;
  LV2UI_Controller m_controller;
  MAudioPluginLV2Adapter* m_instance;
  bool m_showsInstance = false; // registered with m_instance (another UI may show it instead)
  MAudioPlugin* m_plugin = nullptr;
  MAudioPlugin* m_mirror = nullptr; // owned; null with instance-access
  const LV2UI_Resize* m_resize;
  const LV2UI_Touch* m_touch;
  std::uint32_t m_parameters = 0;
  std::vector<float> m_written;                        // per parameter port: the value this UI wrote last
  std::vector<MLV2Description::ControlScale> m_scales; // per parameter port
  std::uintptr_t m_widget = 0;
  const LV2_URID_Map* m_map;
  LV2_URID m_eventTransfer = 0;
  MHostReportQueue m_reports{*this};
};
