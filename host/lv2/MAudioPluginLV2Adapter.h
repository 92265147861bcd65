#pragma once
// MAudioPluginLV2Adapter: one LV2 plug-in instance around one MAudioPlugin.
//
// The host connects the ports laid out in MLV2Description::PortLayout and calls run on its audio
// thread; everything else (instantiate, activate, the state interface, cleanup) on its main
// thread. The adapter is the plug-in's MAudioPluginAdapter: what the plug-in's editor tells the
// host (automation, gestures, size requests, changed state) goes to the UI that shows this very
// instance (MAudioPluginLV2UI, through instance-access), which turns it into port writes.
//
// Real time: run allocates nothing and takes no lock: control ports (in the parameters' units,
// converted with MLV2Description::ControlScale) are compared with the value last seen, so a port
// that did not move never overrides a change the plug-in made itself; MIDI from the control port
// goes to the plug-in with its frame offset; blocks longer than the largest the host announced
// (bufsz:maxBlockLength or nominalBlockLength; 4096 without either) run in pieces of that length.
// The notes the effect sends leave through the midi_out port at their frames in the block.
//
// A restored state stands until the host moves a port again: whatever the ports hold at the first
// run after a restore is taken as seen, not applied. Hosts set the port values they saved around
// the restore (before or after it); those agree with the state, except in a session saved by the
// bundle whose ports were normalised, whose host keeps setting the 0..1 values it saved then,
// which these ports would misread.
//
// Every entry point runs inside MHostCallShield ("MAudioPluginLV2Adapter::<operation>"); a block
// that threw leaves silent outputs.

#include "core/plugin/MAudioPluginAdapter.h"
#include "host/lv2/MLV2Description.h"

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "base/MLock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class MAudioPlugin;

class MAudioPluginLV2Adapter : public MAudioPluginAdapter
{
public:
  /// Block length prepared for when the host announces none.
  static constexpr std::int32_t kDefaultBlockSamples = 4096;

  /// The descriptor of the plug-in `index` (0 stereo, 1 mono); null beyond. Any thread.
  static const LV2_Descriptor* Descriptor(std::uint32_t index) noexcept;

  /// Takes ownership of `plugin` (not null), set up for `channels` channels at `sampleRateHz`.
  MAudioPluginLV2Adapter(MAudioPlugin* plugin, std::uint32_t channels, double sampleRateHz,
                         std::int32_t maxBlockSamples, const LV2_URID_Map& map);
  ~MAudioPluginLV2Adapter() override;
  MAudioPluginLV2Adapter(const MAudioPluginLV2Adapter&) = delete;
  MAudioPluginLV2Adapter& operator=(const MAudioPluginLV2Adapter&) = delete;

  MAudioPlugin& GetPlugin() const noexcept { return *m_plugin; }
  const MLV2Description::PortLayout& GetLayout() const noexcept { return m_layout; }

  /// The UI of this instance (MAudioPluginLV2UI through instance-access) while it is open; null
  /// when it closes. Main (UI) thread.
  void SetUserInterface(MAudioPluginAdapter* ui) noexcept { m_ui.store(ui, std::memory_order_relaxed); }

  // ---- LV2 (host) ----
  void ConnectPort(std::uint32_t port, void* data) noexcept;
  void Activate();
  void Run(std::uint32_t samples) noexcept;
  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // ---- MAudioPluginAdapter (the plug-in; the editor's calls on the UI thread) ----
  void SendAutomation(std::int32_t index, double value) override;
  void SendBypassAutomation(bool bypassed) override;
  void BeginAutomationGesture(std::int32_t index) override;
  void EndAutomationGesture(std::int32_t index) override;
  /// Queued for the midi_out port (audio thread inside run; another thread's events, such as
  /// the note-offs of an activation, go out at the start of the next run).
  void GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4]) override;
  /// The latency port shows the new figure at the next run.
  void ReportLatency() override;
  bool ChangeEditorSize(std::int32_t width, std::int32_t height) override;
  void ReportProgramChanged() override;
  void ReportStateChanged() override;
  void DeliverPendingReports() override;

private:
  /// Hands the plug-in the MIDI events of frames from .. to - 1 (the last piece: all later ones).
  void ReadMidi(std::uint32_t from, std::uint32_t to, bool lastPiece);
  void ClearOutputs(std::uint32_t samples) noexcept;
  /// The midi_out port's sequence: the queued events in frame order (an empty one without them).
  void WriteMidiOut(std::uint32_t samples) noexcept;
  /// The notify port's sequence: the indicator's figures when they changed, and at least every
  /// tenth of a second (a UI opened later gets them), else empty.
  void WriteNotify(std::uint32_t samples) noexcept;

  MAudioPlugin* m_plugin;
  MLV2Description::PortLayout m_layout;
  std::int32_t m_maxBlockSamples;
  LV2_URID m_midiEvent = 0;
  LV2_URID m_atomChunk = 0;
  LV2_URID m_atomSequence = 0;
  LV2_URID m_stateKey = 0;
  LV2_URID m_presetKey = 0;
  LV2_URID m_atomString = 0;
  LV2_URID m_indicator = 0;
  LV2_URID m_chosenNoteKey = 0;
  LV2_URID m_inputNoteKey = 0;
  LV2_URID m_outputNoteKey = 0;
  LV2_Atom_Forge m_forge{};
  /// Whether the plug-in has display figures to feed the indicator (MAudioPlugin::ReadDisplay).
  bool m_hasDisplay = false;
  double m_sentInput = 0.0; // audio thread: the figures last sent
  double m_sentOutput = 0.0;
  std::int32_t m_sentChosen = -2;
  std::uint32_t m_samplesSinceSent = 0;
  std::uint32_t m_resendSamples = 4410;
  std::vector<MLV2Description::ControlScale> m_scales; // per parameter port
  std::vector<const float*> m_parameterPorts;
  std::vector<float> m_lastPortValues; // audio thread: what each control port held last
  const float* m_enabledPort = nullptr;
  float* m_latencyPort = nullptr;
  const void* m_controlPort = nullptr;   // LV2_Atom_Sequence
  void* m_notifyPort = nullptr;          // LV2_Atom_Sequence
  void* m_midiOutPort = nullptr;         // LV2_Atom_Sequence
  std::atomic<bool> m_adoptPorts{false}; // set by a restore, taken by the next run
  const float* m_audioIn[2] = {};
  float* m_audioOut[2] = {};
  struct MidiEvent
  {
    std::int64_t frame = 0;
    std::uint8_t bytes[3] = {};
  };
  static constexpr std::size_t kMidiCapacity = 512;
  std::array<MidiEvent, kMidiCapacity> m_midiOut{};
  std::size_t m_midiCount = 0;
  std::atomic<std::uint32_t> m_pieceStart{0}; // inside run: where the piece being processed starts
  MLock m_midiLock;
  std::atomic<std::int32_t> m_latency{0};
  std::atomic<MAudioPluginAdapter*> m_ui{nullptr};
};
