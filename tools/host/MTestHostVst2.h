#pragma once
// MTestHostVst2: drives a VST 2.4 module the way a DAW does.
//
// Loading calls `VSTPluginMain` (or `main`) with this host's callback. The callback answers:
// version (2400 unless SetHostVersion says otherwise), time info from Transport(), automation
// and edit gestures (recorded), MIDI from the plug-in (recorded), io changed (counted; the
// record's channel counts and latency are re-read), window size requests (recorded, accepted
// unless SetAcceptSizeWindow(false)), sample rate and block size, vendor and product texts,
// canDo for the capabilities below, process level and automation state. Everything else
// answers 0.
//
// The host refuses to call processDoubleReplacing unless the plug-in sets
// effFlagsCanDoubleReplacing, as a real host would. Text queries hand the plug-in a 512-byte
// buffer filled with a marker byte, so a test can see how far the plug-in wrote.
//
// Threads: drive one object from one thread; callbacks from other plug-in threads are recorded
// under a lock.

#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHost.h"
#include "tools/host/MTestHostCallTimer.h"

#include "sdk/vst2/AEffect.h"
#include "sdk/vst2/VstOpcodes.h"
#include "sdk/vst2/VstRecords.h"

#include <atomic>
#include <functional>
#include <mutex>

class MTestHostVst2 : public MTestHost
{
public:
  /// Host capabilities answered 1 by audioMasterCanDo.
  static constexpr const char* kHostCanDo[] = {"sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo",
                                               "receiveVstEvents", "receiveVstMidiEvent", "sizeWindow",
                                               "supplyIdle"};
  /// Size of the marker-filled buffer handed to text queries, and the marker byte.
  static constexpr std::size_t kTextProbeBytes = 512;
  static constexpr unsigned char kProbeMarker = 0xA5;

  /// Result of a text query: the text up to its zero, how many leading bytes of the buffer the
  /// plug-in touched (index of the last changed byte + 1), and whether a zero was written.
  struct TextProbe
  {
    std::string text;
    std::size_t bytesTouched = 0;
    bool terminated = false;
    Vst2::VstIntPtr result = 0;
  };

  MTestHostVst2() = default;
  /// Suspends and closes a live instance, then unloads the module.
  ~MTestHostVst2() override;

  /// Version answered to audioMasterVersion from the next load on (0 plays a non-host).
  void SetHostVersion(Vst2::VstInt32 version) { m_hostVersion = version; }
  void SetAcceptSizeWindow(bool accept) { m_acceptSizeWindow = accept; }
  /// Called (on the plug-in's thread) for an accepted audioMasterSizeWindow, as a DAW resizes
  /// the editor's parent window; its answer is the host's answer.
  void SetSizeWindowHandler(std::function<bool(int width, int height)> handler)
  {
    m_sizeWindowHandler = std::move(handler);
  }

  /// Called (on the plug-in's thread, after the record, outside the record lock) for every
  /// audioMasterAutomate, as a DAW that reacts to the plug-in's edits at once.
  void SetAutomateHandler(std::function<void(int index, float value)> handler)
  {
    m_automateHandler = std::move(handler);
  }

  // --- MTestHost ---
  MTestHostStatus LoadModule(const std::string& path) override;
  bool IsLoaded() const override { return m_effect != nullptr; }
  bool Activate(double sampleRateHz, int maxBlockSamples) override;
  bool Deactivate() override;
  bool Process(float** inputs, float** outputs, int samples) override;
  void Close() override;
  int NumInputs() const override;
  int NumOutputs() const override;
  int NumParameters() const override;
  int LatencySamples() const override;
  float GetParameter(int index) override;
  void SetParameter(int index, float value) override;
  std::string ParameterName(int index) override { return QueryText(Vst2::effGetParamName, index).text; }
  std::string ParameterDisplay(int index) override { return QueryText(Vst2::effGetParamDisplay, index).text; }
  std::vector<std::uint8_t> GetState() override { return GetChunk(false); }
  bool SetState(const std::vector<std::uint8_t>& bytes) override { return SetChunk(bytes, false) == 1; }
  bool SendMidi(const std::vector<MTestHostMidiEvent>& events) override;

  // --- The VST 2.4 lifecycle, one opcode each ---
  bool Open();
  bool SetSampleRate(float sampleRateHz);
  bool SetBlockSize(Vst2::VstInt32 samples);
  bool Resume();
  bool Suspend();
  /// processReplacing; the transport advances by samples while playing.
  bool ProcessReplacing(float** inputs, float** outputs, Vst2::VstInt32 samples);
  /// The retired accumulating process call.
  bool ProcessAccumulating(float** inputs, float** outputs, Vst2::VstInt32 samples);
  /// Answers false without calling when the plug-in does not offer double precision.
  bool ProcessDoubleReplacing(double** inputs, double** outputs, Vst2::VstInt32 samples);

  // --- The editor, as a DAW drives it ---
  /// Whether the plug-in sets effFlagsHasEditor.
  bool HasEditor() const;
  /// effEditGetRect: the editor's size; false when the plug-in gave no rectangle.
  bool EditorRect(int& width, int& height);
  /// effEditOpen with the native parent window (an X11 window id); true when the plug-in opened.
  bool OpenEditor(std::uintptr_t parentWindow);
  /// effEditIdle (the DAW calls it from its UI loop, ~30 times a second).
  void IdleEditor() { Dispatch(Vst2::effEditIdle); }
  void CloseEditor() { Dispatch(Vst2::effEditClose); }
  /// A DAW's UI loop for about `milliseconds`: effEditIdle every `periodMs`.
  void RunEditorIdle(int milliseconds, int periodMs = 30);
  /// How long the plug-in kept each dispatcher call (every opcode, the editor's included).
  MTestHostCallTimer& CallTimer() { return m_callTimer; }

  // --- Direct access ---
  /// The plug-in's record (null when nothing is loaded or after Close).
  const Vst2::AEffect* Effect() const { return m_effect; }
  /// Any opcode with raw arguments; 0 when nothing is loaded.
  Vst2::VstIntPtr Dispatch(Vst2::VstInt32 opcode, Vst2::VstInt32 index = 0, Vst2::VstIntPtr value = 0,
                           void* ptr = nullptr, float opt = 0.0f);
  /// A text opcode (effGetParamName, effGetEffectName, ...) through a marker-filled buffer.
  TextProbe QueryText(Vst2::VstInt32 opcode, Vst2::VstInt32 index = 0, Vst2::VstIntPtr value = 0);
  std::string ParameterLabel(int index) { return QueryText(Vst2::effGetParamLabel, index).text; }
  /// The chunk bytes (copied out of the plug-in's buffer); empty when the plug-in gives none.
  std::vector<std::uint8_t> GetChunk(bool isPreset);
  /// Answer of effSetChunk.
  Vst2::VstIntPtr SetChunk(const std::vector<std::uint8_t>& bytes, bool isPreset);
  Vst2::VstIntPtr CanDo(const char* text) { return Dispatch(Vst2::effCanDo, 0, 0, const_cast<char*>(text)); }
  /// effGetInputProperties / effGetOutputProperties into a zeroed record.
  bool GetPinProperties(bool input, Vst2::VstInt32 index, Vst2::VstPinProperties& properties);
  bool SetSpeakerArrangement(Vst2::VstSpeakerArrangement* input, Vst2::VstSpeakerArrangement* output);
  bool GetSpeakerArrangement(Vst2::VstSpeakerArrangement** input, Vst2::VstSpeakerArrangement** output);

  // --- What the plug-in told the host ---
  std::vector<MTestHostAutomation> Automations() const;
  std::vector<MTestHostMidiEvent> MidiReceived() const;
  /// Parameter indices of audioMasterBeginEdit (+index+1) and audioMasterEndEdit (-(index+1)).
  std::vector<int> EditGestures() const;
  /// Begin edit, automate and end edit in the order they came.
  std::vector<MTestHostEdit> Edits() const;
  int IoChangedCount() const;
  /// audioMasterUpdateDisplay calls since the last ClearRecords.
  int UpdateDisplayCount() const;
  /// Last audioMasterSizeWindow request (0, 0 before any).
  std::pair<int, int> LastSizeRequest() const;
  bool WantsMidi() const;
  /// Request mask of the last audioMasterGetTime.
  Vst2::VstInt32 LastTimeRequest() const;
  void ClearRecords();

private:
  static Vst2::VstIntPtr VST2_CALL HostCallback(Vst2::AEffect* effect, Vst2::VstInt32 opcode,
                                                Vst2::VstInt32 index, Vst2::VstIntPtr value, void* ptr,
                                                float opt);
  Vst2::VstIntPtr Answer(Vst2::VstInt32 opcode, Vst2::VstInt32 index, Vst2::VstIntPtr value, void* ptr,
                         float opt);
  Vst2::VstTimeInfo* FillTimeInfo(Vst2::VstInt32 request);
  void AdvanceTransport(Vst2::VstInt32 samples);
  bool Fail(const std::string& message);

  MSharedLibrary m_library;
  MTestHostCallTimer m_callTimer;
  Vst2::AEffect* m_effect = nullptr;
  Vst2::VstInt32 m_hostVersion = Vst2::kVstVersion;
  bool m_acceptSizeWindow = true;
  bool m_opened = false;
  bool m_resumed = false;
  std::atomic<bool> m_processing{false};
  double m_sampleRate = 44100.0;
  Vst2::VstInt32 m_blockSize = 1024;
  Vst2::VstTimeInfo m_timeInfo{};
  bool m_lastPlaying = false;

  mutable std::mutex m_recordLock;
  std::vector<MTestHostAutomation> m_automations;
  std::vector<MTestHostMidiEvent> m_midiReceived;
  std::vector<int> m_editGestures;
  std::vector<MTestHostEdit> m_edits;
  std::function<bool(int, int)> m_sizeWindowHandler;
  std::function<void(int, float)> m_automateHandler;
  int m_updateDisplayCount = 0;
  int m_ioChangedCount = 0;
  std::pair<int, int> m_lastSizeRequest{0, 0};
  bool m_wantsMidi = false;
  Vst2::VstInt32 m_lastTimeRequest = 0;
};
