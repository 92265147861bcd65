#pragma once
// MAudioPluginVSTAdapter: the VST 2.4 boundary around one MAudioPlugin.
//
// The wrapper classes (AudioEffectX/AudioEffect) own the AEffect record the host sees, decode the
// dispatcher opcodes and check indices, pointers and counts before any operation below runs. This
// class translates those operations into calls on the plug-in, and implements MAudioPluginAdapter,
// through which the plug-in calls back (automation, MIDI output, latency, editor size).
//
// Threads: the host's UI/main thread calls the parameter, text, chunk and configuration
// operations; its audio thread calls processReplacing/process and processEvents. The automating
// mark is per thread: only the echo of the plug-in's own change on the thread that sends it (the
// GUI thread) is suppressed; a host value arriving on another thread meanwhile is applied.
//
// Real time: the audio path allocates nothing. The MIDI queues and the VstEvents block handed to
// the host are sized at construction (kMidiQueueCapacity events); events beyond that in one block
// are dropped. The queue locks are only tried on the audio thread, never waited for.
//
// Every overridden operation runs inside MHostCallShield with the name
// "MAudioPluginVSTAdapter::<operation>" and answers 0/false when the plug-in throws.
//
// The editor opcodes go to MAudioPluginVSTEditor (effFlagsHasEditor is set); a size request of the
// plug-in becomes audioMasterSizeWindow.

#include "base/MLock.h"
#include "core/plugin/MAudioPluginAdapter.h"
#include "host/module/MHostReportQueue.h"
#include "sdk/vst2/AudioEffectX.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class MAudioPlugin;

namespace Vst2
{
class MAudioPluginVSTAdapter : public AudioEffectX,
                               public MAudioPluginAdapter,
                               private MHostReportQueue::Target
{
public:
  /// "Tnvr" read as a big-endian number.
  static constexpr VstInt32 kUniqueID = 0x546E7672;
  /// Request mask of the transport query before each block: tempo, position, bars, cycle,
  /// signature and transport flags.
  static constexpr VstInt32 kBlockTimeRequest = 0x3EC7;
  /// Request mask of the transport query that accompanies incoming events.
  static constexpr VstInt32 kEventTimeRequest = 0x2E00;
  /// Events each MIDI queue holds per block.
  static constexpr std::size_t kMidiQueueCapacity = 1024;
  /// Host buses per side that the per-bus pointer expansion handles.
  static constexpr std::int32_t kMaxBuses = 16;

  /// Takes ownership of `plugin` (not null) and counts itself as a live VST 2.4 adapter of the
  /// library. Leaves the plug-in initialised for 44100 Hz and 1024-sample blocks. Main thread;
  /// allocates.
  MAudioPluginVSTAdapter(audioMasterCallback hostCallback, MAudioPlugin* plugin);
  /// Deletes the plug-in; the last adapter of the library shuts the library down.
  ~MAudioPluginVSTAdapter() override;

  /// The whole entry: answers null for a host that answers 0 to audioMasterVersion, otherwise
  /// creates the plug-in with `createPlugin` and the adapter around it; null (with the diagnostic
  /// "Error creating Vst plugin object.") when creation fails. Never throws.
  static AudioEffect* Create(audioMasterCallback hostCallback, MAudioPlugin* (*createPlugin)()) noexcept;

  MAudioPlugin* GetPlugin() const noexcept { return m_plugin; }

  // ---- AudioEffect / AudioEffectX ----
  void resume() override;
  void setSampleRate(float sampleRate) override;
  void setBlockSize(VstInt32 blockSize) override;
  /// The plug-in's program list (MAudioPlugin::GetProgramCount, fixed at construction): the
  /// wrapper hands only indices within it; a host's rename is ignored (the names are fixed).
  void setProgram(VstInt32 index) override;
  VstInt32 getProgram() override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void getParameterName(VstInt32 index, char* text) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterLabel(VstInt32 index, char* text) override;
  VstInt32 getChunk(void** data, bool isPreset) override;
  VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
  bool canParameterBeAutomated(VstInt32 index) override;
  bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) override;
  bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) override;
  bool setBypass(bool onOff) override;
  VstInt32 processEvents(VstEvents* events) override;
  bool getEffectName(char* name) override;
  bool getProductString(char* text) override;
  bool getVendorString(char* text) override;
  VstInt32 getVendorVersion() override;
  VstInt32 canDo(const char* text) override;
  VstInt32 getTailSize() override;
  VstInt32 getVstVersion() override;
  VstPlugCategory getPlugCategory() override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

  // ---- MAudioPluginAdapter ----
  void SendAutomation(std::int32_t index, double value) override;
  void SendBypassAutomation(bool bypassed) override;
  /// audioMasterBeginEdit / audioMasterEndEdit for the parameter at `index`.
  void BeginAutomationGesture(std::int32_t index) override;
  void EndAutomationGesture(std::int32_t index) override;
  void GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4]) override;
  void ReportLatency() override;
  /// As ReportStateChanged; nothing while the host's own effSetProgram runs.
  void ReportProgramChanged() override;
  /// audioMasterUpdateDisplay (the host reads the program, its name and the parameters again
  /// and marks the project modified), when MHostReportQueue lets it go (the UI thread is the
  /// thread that created the adapter; the tick is effEditIdle).
  void ReportStateChanged() override;
  void DeliverPendingReports() override;
  bool ChangeEditorSize(std::int32_t width, std::int32_t height) override;

  /// Queues an event for the plug-in's MIDI input before the next block (any thread; dropped
  /// when the queue is full or its lock is busy).
  void QueueMIDIInput(const VstMidiEvent& event);

private:
  /// A fixed-capacity list of MIDI events guarded by its own lock; emptied by swapping.
  struct MidiQueue
  {
    MLock lock;
    std::vector<VstMidiEvent> events;
    std::size_t count = 0;
  };

  /// MHostReportQueue::Target: audioMasterIOChanged for a new latency; audioMasterUpdateDisplay
  /// for a changed state and for values the plug-in moved itself since the last tick.
  void TellHost(std::uint32_t reports) override;
  /// The host now knows the plug-in's value of parameter `index`.
  void KnowHostValue(std::int32_t index);
  void PerformProcessing(float** inputs, float** outputs, VstInt32 sampleFrames, bool replacing);
  void PrepareProcessing();
  void DeliverMIDIInput();
  void SendMIDIOutput();
  bool FillPin(VstInt32 index, VstPinProperties* properties, bool input);
  /// Copies `queue` into `target` under the queue's lock (tried, never waited for) and empties
  /// it; answers the number of events taken.
  static std::size_t TakeEvents(MidiQueue& queue, std::vector<VstMidiEvent>& target);

  MAudioPlugin* m_plugin;
  std::vector<std::uint8_t> m_chunk; // the bytes getChunk handed out, valid until the next call
  double m_lastSongPosition = 0.0;
  /// The forced channel count last given to the plug-in (-1: none, the plug-in's default).
  std::int32_t m_forcedChannels = -1;
  MidiQueue m_midiOutput;
  MidiQueue m_midiInput;
  std::vector<VstMidiEvent> m_midiWork;
  std::vector<unsigned char> m_eventsBlock;
  /// The adapter whose SendAutomation runs on this thread (null: none).
  static thread_local const MAudioPluginVSTAdapter* t_automating;
  MHostReportQueue m_reports{*this};
  /// The value the host last heard of each parameter (set by the host, sent as automation, or
  /// seen by the idle tick); any thread.
  std::unique_ptr<std::atomic<float>[]> m_hostValues;
  std::int32_t m_hostValueCount = 0;
};
} // namespace Vst2
