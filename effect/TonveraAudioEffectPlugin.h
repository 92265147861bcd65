#pragma once
// TonveraAudioEffectPlugin: the pitch-correction effect.
//
// The framework's adapter creates it through the module's command function and then drives it
// through the effect interface (MAudioEffectPlugin). It owns:
//  - twelve parameter descriptors in two groups ("Automatic tuning": Depth, Speed, Note hold, Detune,
//    Live, Quality; "Effects": Dry/wet, Width, Keep formants, Formant shift), read lock-free on the
//    audio thread. Note hold, Live and Quality came later: their host slots follow all the others
//    (after the scale's), in that order, so the older slots keep their indices and IDs, while the
//    editor shows them in their groups. Quality chooses the shifter: "Standard" is the peak shift
//    alone, "High" adds the harmonic shift (MTonveraFFTProcessor); new instances start in High, a
//    stored state without it loads as Standard, which is how it was made;
//  - the twelve-note scale: the flags live in the note tracker as relaxed atomics, the host sees
//    them as the twelve slots of AutomationAdapterType, and the settings keep them as "Scale";
//  - one corrector (FFTProcessor) per channel in use, up to eight, with the synthesis phase stores
//    they continue across frames (made by InitProcessing for its channel count, freed beyond
//    it), and one note tracker shared by all channels.
//
// Detected notes as MIDI (off by default; the adapter's settings switch it, per instance): while
// on, each change of the tracker's chosen note on a voiced frame sends a note-off for the previous
// note and a note-on for the new one (channel 1, velocity from the frame's level) at the sample
// where the deciding frame ended; after 50 ms unvoiced or silent the note ends. A change decides
// only once the voice has stayed on the new note for 100 ms and passed the midpoint to it by at
// least 25 cents (or the Note hold, if more), and an octave slip of the detector is no change: a
// scoop, a glide or a vibrato across the midpoint would otherwise send notes nobody sang. The
// queue is MMIDIOutputQueue, filled inside Process and emptied by the adapter after it.
//
// Channel 0's corrector (the mid signal's, for a stereo pair at Width 0) detects the pitch and
// drives the tracker; every channel is shifted by the tracker's correction ratio times its own
// Detune/Width ratio. The output is the input delayed by the frame size N, which is the reported
// latency: 512 samples up to 32 kHz, 1024 at 44.1 and 48 kHz, 2048 at 88.2 and 96 kHz, 4096 above.
//
// Live (off by default): the frame engine is replaced by a low-latency path (MLivePitchDetector on
// the past input, MLiveShifter per channel) that reports LiveLatencyForSampleRate instead of N.
// The scale, Note hold, Depth, Speed, Detune, Width, Dry/wet and the detected notes as MIDI work
// as before; Keep formants and Formant shift do not apply (formants move with the small
// correction). Switching crossfades between the paths (TonveraLive.cpp).
//
// Threads and locks. Process runs on the audio thread, holds the processing lock for the whole
// block and only ever try-locks it: when another thread holds it the block comes out silent.
// InitProcessing, ResetChannels, the scale handlers and EditorClosed run on the host or GUI thread
// and wait for the lock. OnParametersChanged and the scale flag writes take no lock: they only
// store relaxed atomics, which Process copies into the correctors at the start of each block.
// Process and everything it calls allocate nothing once InitProcessing ran.

#include "base/MEventParams.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MMIDIOutputQueue.h"
#include "dsp/MLivePitchDetector.h"
#include "dsp/MLiveShifter.h"
#include "dsp/MNoteSegmenter.h"
#include "dsp/MNoteTracker.h"
#include "dsp/MTonveraCorrectorOwner.h"
#include "dsp/MTonveraFFTProcessor.h"
#include "framework/MAudioEffectPlugin.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class MPiano;
class MTuningIndicator;

class TonveraAudioEffectPlugin : public MAudioEffectPlugin, private MTonveraCorrectorOwner
{
public:
  using FFTProcessor = MTonveraFFTProcessor;
  using NoteTracker = MNoteTracker;

  static constexpr int kMaxChannels = 8;
  static constexpr int kPitchClasses = MNoteTracker::kPitchClasses;
  static constexpr int kMaxFrameSize = 4096;
  static constexpr std::int32_t kTailSize = 4096;

  /// Positions in the descriptor table.
  enum ParameterIndex : int
  {
    kTuningGroup = 0,
    kDepth,
    kSpeed,
    kNoteHold,
    kDetune,
    kLive,
    kQuality,
    kEffectsGroup,
    kDryWet,
    kWidth,
    kKeepFormants,
    kFormantShift,
    kParameterCount
  };

  /// The choices of Quality.
  enum QualityChoice : int
  {
    kStandardQuality = 0,
    kHighQuality,
  };

  /// Predefined scales (ScaleType).
  enum ScaleKind : int
  {
    kChromatic = 0,
    kMajor,
    kMinor,
    kPentatonic,
    kScaleKindCount
  };

  /// The twelve scale notes as host parameter slots, slot i = pitch class i (C first). A value
  /// above 0.5 enables the note. Any thread; writes are relaxed atomic flag stores.
  class AutomationAdapterType : public MAudioPlugin::AutomationAdapter
  {
  public:
    explicit AutomationAdapterType(TonveraAudioEffectPlugin& owner);

    /// Non-silent: the effect recomputes its ratios and the editor is asked to refresh.
    void SetValue(std::int32_t slot, double value, bool silent) override;
    double GetValue(std::int32_t slot) const override;
    MString GetName(std::int32_t slot) const override;
    MString GetValueName(std::int32_t slot) const override;
    MString GetValueNameFrom01(std::int32_t slot, double value) const override;
    /// "On" and "Off" (any case) read as 1 and 0, any other text as a number.
    double ParseValueName(std::int32_t slot, const MString& text) const override;
    MString GetUnitsName(std::int32_t slot) const override;
    std::int32_t GetType(std::int32_t slot) const override;
    /// 1: every note is on in a fresh effect.
    double GetDefaultValue(std::int32_t slot) const override;
    /// Redraws the piano of the open editor (GUI thread).
    void UpdateEditorControls() override;
    bool CanRandomize() const override { return false; }

  private:
    TonveraAudioEffectPlugin& m_owner;
  };

  /// All parameters at their defaults, all twelve notes enabled, no sample rate yet. Allocates.
  TonveraAudioEffectPlugin();
  ~TonveraAudioEffectPlugin() override;

  // ---- effect interface ----------------------------------------------------------------------

  /// Recomputes the per-channel Detune/Width ratios (any thread; lock-free; nothing while there
  /// is no sample rate). With n channels, channel c is shifted by Detune - Width/n * trunc(n/2)
  /// + c * Width/(n-1) cents; one channel by Detune alone, two by Detune -+ Width/2.
  void OnParametersChanged() override;
  /// Builds the tuning panel in the editor's container for effect controls: the scale panel
  /// "Scale" (Reset, the piano "piano" over C..B, the root buttons "C".."B", the selector
  /// "ScaleType"), then the tuning indicator "Log", and shows the indicator once. GUI thread.
  /// Answers 0; -1 for a null container.
  std::int32_t CreateEditorContents(MContainer* contents) override;
  /// Forgets the editor's piano and tuning indicator (GUI thread, before the editor's controls
  /// are destroyed). Takes no lock: the two pointers are only ever used on the GUI thread.
  void EditorClosed() override;
  /// A piano key stands for its note's scale slot (MIDI learn).
  std::int32_t GetControlParameter(const MControl& control, std::int32_t part) const override;
  /// The base's parameter attributes, then "Scale" (twelve "1"/"0", C first), "ScaleType" and
  /// "ScaleNote" (decimal). Host thread.
  bool StoreSettings(MXmlItem& item) override;
  /// "Scale" when exactly twelve characters long (it becomes the last reported scale too: loading
  /// tells the host nothing), "ScaleType" and "ScaleNote" when in range, then the base's part.
  bool LoadSettings(MXmlItem& item) override;
  /// The scale slots read from the "Scale" key of a stored state.
  bool ReadStoredAdapterValue(const MAudioPlugin::AutomationAdapter& adapter, std::int32_t slot,
                              const MXmlItem& item, double& normalised) const override;
  /// Registers the twelve scale slots with the plug-in (not owned by it).
  void AddAutomationAdapters(MAudioPlugin& plugin) override;
  /// Host thread, waits for the processing lock, allocates. channels is limited to 1..8; a rate
  /// that is not above 0 is refused (answer -1, nothing changed), and so is a set-up the memory
  /// for the channels' correctors cannot be had for. Sizes each corrector's frame
  /// from the rate (about 1024 samples per 44.1 kHz, a power of two, at most 4096), clears its
  /// history and tells the tracker the rate. Answers 0.
  std::int32_t InitProcessing(std::int32_t channels, double sampleRate) override;
  /// Audio thread; see the file comment. The transport is not used. When Width reaches or leaves
  /// 0 on a stereo pair, the two correctors' pending streams are turned into the other pair
  /// (mid/side or left/right), so the output goes on without a jump.
  void Process(const Transport& transport, float** inputs, float** outputs, std::int32_t samples) override;
  /// GUI thread: refreshes the tuning indicator of the open editor (and marks the chosen note on
  /// the piano) from the display copies, which it reads lock-free: taking the processing lock
  /// here would make every refresh drop an audio block. Swallows every exception.
  void ProcessUpdate() override;
  /// The channel-0 corrector's frame size in samples; with Live on, LiveLatencyForSampleRate.
  /// Any thread, lock-free.
  std::int32_t GetLatency() override;
  std::int32_t GetTailSize() override { return kTailSize; }
  /// The queue of the detected notes as MIDI (see the file comment).
  MMIDIOutputQueue* GetMIDIOutput() override { return &m_midiOutput; }

  // ---- scale (host or GUI thread) ------------------------------------------------------------

  /// The pattern of a predefined scale, root first; null for an unknown kind.
  static const bool* ScalePattern(int kind) noexcept;
  /// The name of a predefined scale ("Chromatic", "Major", "Minor", "Pentatonic").
  static const char* ScaleName(int kind) noexcept;
  /// The name of pitch class 0..11 ("C" .. "B").
  static const char* PitchClassName(int pitchClass) noexcept;

  bool IsScaleNoteEnabled(int pitchClass) const noexcept;
  /// The scale type the editor's box shows: the chosen one while the notes are that scale on
  /// its root, else -1 (none).
  std::int32_t ShownScaleType() const noexcept;
  /// A plain flag write, as the piano control makes it; call OnPianoChanged afterwards.
  void SetScaleNoteEnabled(int pitchClass, bool enabled) noexcept;
  /// Enables all twelve notes and makes Chromatic the scale type, reports the notes, recomputes
  /// and clears the channel history.
  void ResetScale();
  /// The scale choice of the editor: ScaleType := kind, ScaleNote := root, the flags become the
  /// kind's pattern rotated to the root, reported to the host. Waits for the processing lock.
  /// A kind or root out of range changes nothing.
  void SelectScale(int kind, int root);
  /// After the user toggled the piano keys of `notes` (bit i: pitch class i): reports those and
  /// recomputes.
  void OnPianoChanged(std::uint32_t notes);
  /// Sends each note of `notes` (bit i: pitch class i) whose flag differs from what the host
  /// last had of it, as two values (the opposite first, so that the host sees a change), and
  /// remembers it. Notes outside the mask are never sent: the user did not touch them, and a
  /// value the host automates meanwhile must not come back as an edit. GUI thread.
  void ReportScaleChanges(std::uint32_t notes);
  int GetScaleType() const noexcept { return m_scaleType.Load(); }
  int GetScaleNote() const noexcept { return m_scaleNote.Load(); }
  AutomationAdapterType& GetScaleAdapter() noexcept { return m_scaleAdapter; }

  /// Under the processing lock: recomputes every channel's analysis constants and clears its
  /// bin-phase history and synthesis phases.
  void ResetChannels();

  // ---- read access (editor, tests) -----------------------------------------------------------

  MParameterInfo& GetParameterInfo(int index) noexcept
  {
    return m_parameters[static_cast<std::size_t>(index)];
  }
  /// The value the effect works with: the smoothed value while the parameter ramps, else the value.
  double GetParameterValue(int index) const noexcept;
  /// The corrector of a channel below the count of the last successful InitProcessing.
  FFTProcessor& GetCorrector(int channel) noexcept
  {
    return *m_correctors[static_cast<std::size_t>(channel)];
  }
  NoteTracker& Tracker() override { return m_tracker; }
  double CorrectionRatio() const override { return m_correctionRatio.Load(); }
  /// The Detune/Width ratio the next block gives channel c.
  double GetChannelRatio(int channel) const noexcept
  {
    return m_channelRatios[static_cast<std::size_t>(channel)];
  }
  double GetDisplayInputNote() const noexcept { return m_displayInputNote.Load(); }
  double GetDisplayOutputNote() const noexcept { return m_displayOutputNote.Load(); }
  int GetDisplayChosenNote() const noexcept { return m_displayChosenNote.Load(); }
  /// The three figures above (MAudioEffectPlugin::ReadDisplay); ShowDisplay sets them from outside.
  bool ReadDisplay(MAudioPlugin::DisplaySnapshot& snapshot) const noexcept override;
  void ShowDisplay(const MAudioPlugin::DisplaySnapshot& snapshot) override;

  /// The frame size for a sample rate: t = trunc(rate * 1024 / 44100), rounded to the nearer
  /// of the two powers of two around it (a tie takes the smaller), 8 .. 4096.
  static int FrameSizeForSampleRate(double sampleRate) noexcept;
  /// The latency with Live on: a quarter of the frame size (256 samples at 44.1 and 48 kHz,
  /// 512 at 88.2 and 96 kHz: at most about 6 ms).
  static int LiveLatencyForSampleRate(double sampleRate) noexcept;
  /// Whether the Live parameter is on (any thread).
  bool IsLive() const noexcept;
  /// The share of the low-latency path in the output, 0..1 (audio thread; tests).
  float LiveMix() const noexcept { return m_liveGain; }

  /// The editor panel's piano and tuning indicator while it is open (GUI thread; null for none).
  /// EditorClosed forgets them.
  void SetEditorControls(MPiano* piano, MTuningIndicator* tuningIndicator);
  MPiano* GetPianoControl() const noexcept { return m_pianoControl; }
  MTuningIndicator* GetTuningIndicator() const noexcept { return m_tuningIndicator; }

  /// MIDI note of the piano key of pitch class 0 (the piano shows one octave from it).
  static constexpr std::int32_t kPianoFirstNote = 60;

  /// The controls' half in the effect's editor library, which installs it when a target links
  /// that library (TonveraEditor.cpp). Without it the effect adds no controls to the editor
  /// (CreateEditorContents answers -1) and has none to update. GUI thread.
  class EditorPart
  {
  public:
    virtual ~EditorPart() = default;
    virtual std::int32_t CreateEditorContents(TonveraAudioEffectPlugin& effect,
                                              MContainer* contents) const = 0;
    virtual void ProcessUpdate(TonveraAudioEffectPlugin& effect) const = 0;
    virtual void RefreshPiano(TonveraAudioEffectPlugin& effect) const = 0;
    virtual std::int32_t GetControlParameter(const TonveraAudioEffectPlugin& effect, const MControl& control,
                                             std::int32_t part) const = 0;
  };
  class ControlsPart;

private:
  // MTonveraCorrectorOwner (audio thread, inside Process).
  double DryGain() const override { return m_dryGain; }
  double WetGain() const override { return m_wetGain; }
  double KeepFormants() const override { return GetParameterValue(kKeepFormants); }
  double FormantShift() const override { return GetParameterValue(kFormantShift); }
  bool HighQuality() const override
  {
    return m_parameters[kQuality].enumeration.value.Load() == kHighQuality;
  }
  void SetCorrectionRatio(double ratio) override { m_correctionRatio = ratio; }
  void SetDisplayNotes(double inputNote, double outputNote, int chosenNote) override;
  MSynthesisPhaseStore& PhaseStore(int channel) override;
  void OnTrackedFrame(int frameOffset, const float* frame, int frameSize) override;

  void BuildParameters();
  void ResetChannelsLocked();
  /// ScaleType := kind (a valid one) and, unless root is negative, ScaleNote := root; the flags
  /// become the kind's pattern from ScaleNote, the changed ones reported to the host; with
  /// clearHistory the channels' history is cleared too.
  void ApplyScale(int kind, int root, bool clearHistory);
  void ProcessMidSide(float** inputs, float** outputs, std::int32_t samples);
  void ProcessChannels(float** inputs, float** outputs, std::int32_t samples, int channels);
  // The low-latency path (TonveraLive.cpp).
  void ConfigureLive(int channels, double sampleRate);
  void ProcessWithLive(float** inputs, float** outputs, std::int32_t samples, int channels, bool midSide);
  void FeedLive(float** inputs, int offset, int count, int channels);
  void RunLive(float** inputs, int offset, int count, int channels);
  const float* LiveDetectionInput(float** inputs, int offset, int count, int channels);
  void RefreshPiano();
  // The editor library's bodies behind EditorPart (TonveraEditor.cpp).
  std::int32_t CreateScaleControls(MContainer* contents);
  void ShowTuning();
  void ShowScale();
  std::int32_t PianoKeyParameter(const MControl& control, std::int32_t part) const;
  static std::atomic<const EditorPart*> s_editorPart;

  /// Bit i set: scale note i is enabled now but not in `target`, or the other way round.
  std::uint32_t ChangingNotes(const bool* target) const noexcept;
  /// Opens (begin) or closes the host gestures of the scale notes in `notes` (bit i = note i).
  void ScaleNoteGestures(std::uint32_t notes, bool begin);

  // The editor's handlers (GUI thread); the target is the effect.
  static void OnPianoNote(MEventTarget* target, void* context, MOnItemParams<std::int32_t>& params);
  static void OnRootClicked(MEventTarget* target, void* context, MOnNotifyParams& params);
  static void OnResetClicked(MEventTarget* target, void* context, MOnNotifyParams& params);
  static void OnScaleTypeChanged(MEventTarget* target, void* context, MOnNotifyParams& params);

  // Scratch blocks for the mid/side path and for keeping input and output apart; blocks longer
  // than this run in pieces, so nothing grows on the audio thread.
  static constexpr int kScratchSamples = 1024;

  AutomationAdapterType m_scaleAdapter;
  MParameterInfo m_scaleEntry;
  std::array<MParameterInfo, kParameterCount> m_parameters;
  std::array<std::unique_ptr<FFTProcessor>, kMaxChannels> m_correctors;
  // For the channels of the last InitProcessing; null beyond them.
  std::array<std::unique_ptr<MSynthesisPhaseStore>, kMaxChannels> m_phaseStores;
  std::array<float, kScratchSamples> m_scratchA{};
  std::array<float, kScratchSamples> m_scratchB{};
  NoteTracker m_tracker;
  // What the host last had of each note: the plug-in's reports, the host's own values (the
  // adapter's SetValue, any thread) and loaded settings.
  std::array<std::atomic<bool>, kPitchClasses> m_lastReportedScale;
  MRelaxed<double> m_displayInputNote{48.0};
  MRelaxed<double> m_displayOutputNote{48.0};
  // No note is chosen before the first frame: an editor opened before any audio shows no name
  // rather than a "C" nobody sang.
  MRelaxed<std::int32_t> m_displayChosenNote{-1};
  MRelaxed<double> m_correctionRatio{1.0};
  MRelaxed<std::int32_t> m_scaleType{0};
  MRelaxed<std::int32_t> m_scaleNote{0};
  MPiano* m_pianoControl = nullptr;
  MTuningIndicator* m_tuningIndicator = nullptr;
  bool m_midSide = false; // what correctors 0 and 1 carry: mid and side, or two channels
  MMIDIOutputQueue m_midiOutput;
  // Where the piece corrector 0 processes now starts in the current Process call (audio thread).
  std::int32_t m_pieceStart = 0;
  std::int32_t m_blockOffset = 0; // where the piece the paths run now starts in the Process call
  // The detected notes as MIDI (audio thread).
  MNoteSegmenter m_noteSegmenter;
  double m_dryGain = 0.0;
  double m_wetGain = 1.0;
  std::array<MRelaxed<double>, kMaxChannels> m_channelRatios;

  // Live: the detector (channel 0, or the mid signal of a pair), one shifter per channel, their
  // output for one piece, and how the output moves between the two paths: the frame engine
  // stops while Live alone sounds, and on the way back runs for two frames (filling its frames
  // again after a reset) before the output fades over to it.
  enum class LiveState
  {
    kNormal,
    kToLive,
    kLive,
    kPriming,
    kToNormal
  };
  MLivePitchDetector m_liveDetector;
  std::array<std::unique_ptr<MLiveShifter>, kMaxChannels> m_liveShifters;
  std::vector<float> m_liveOutput; // kMaxChannels pieces of kScratchSamples
  std::array<float, kScratchSamples> m_liveMono{};
  LiveState m_liveState = LiveState::kNormal;
  float m_liveGain = 0.0f;
  float m_liveFadeStep = 1.0f;
  std::int32_t m_primeRemaining = 0;
  int m_liveHop = 256;
  int m_liveHopFill = 0;
  double m_livePeriod = 0.0;
  bool m_liveTracking = false; // OnTrackedFrame counts the live hop, not the frame engine's
};
