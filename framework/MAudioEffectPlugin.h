#pragma once
// MAudioEffectPlugin: the effect interface the framework hosts.
//
// An effect derives from this class, fills its parameter table (m_parameterTable) in its
// constructor, and overrides Process and whatever else it needs. The framework's adapter
// (MAudioEffectPluginToAudioPluginAdapter) creates the effect through the effect's command
// function, builds typed host parameters over the table's descriptors with this object as their
// MParameterOwner, and then calls the operations below.
//
// Virtual operations in slot order (counted from MPlugin's first): 4 CommitParameterValues,
// 5 OnParameterChanged, 6 OnParametersChanged, 7 CreateEditorContents, 8 EditorClosed,
// 9 StoreSettings, 10 LoadSettings, 11 StoreExtraSettings, 12 AfterSettingsLoaded,
// 13 AddAutomationAdapters, 14 SetParametersChanged, 15 OnCustomNotification, 16 CustomQuery,
// 17 Randomize, 18 RandomizeSmart, 19 RandomizeSmartFinish, 20 CustomCommand,
// 21 InitProcessing, 22 InitProcessingGUI, 23 Process, 24 ProcessUpdate, 25 GetCustomInteger,
// 26 GetLatency, 27 GetTailSize, 28 SetCustomValue, 29 GetMIDIOutput.
//
// Threads. Process runs on the audio thread; everything else on the host's or the GUI thread.
// The effect guards its own state with m_processingLock: Process holds it for the whole block,
// and every operation that changes processing state from another thread takes it too. The
// parameters-changed bit and the parameter values are relaxed atomics shared without a lock.
//
// Exceptions: the framework calls every operation inside a catch-all guard, but Process and
// ProcessUpdate should not throw in the first place. Command never throws.

#include "base/MLock.h"
#include "core/parameters/MParameterInfo.h"
#include "core/parameters/MParameterOwner.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MMIDIOutputQueue.h"
#include "core/plugin/MRelaxed.h"
#include "framework/MPlugin.h"

#include <cstdint>

class MAudioPlugin;
class MAudioEffectPluginHost;
class MContainer;
class MControl;
class MStoreContext;
class MXmlItem;

class MAudioEffectPlugin : public MPlugin, public MParameterOwner
{
public:
  /// The transport record handed to Process. Without host time information both positions are
  /// -1.0 and both signature fields -1; the tempo is always set (beats per minute).
  struct Transport
  {
    double tempo = 120.0;
    double songPosition = -1.0;
    double barPosition = -1.0;
    std::int32_t numerator = -1;
    std::int32_t denominator = -1;
  };

  /// Bit of m_effectFlags: a parameter changed since the last block; the adapter then calls
  /// OnParametersChanged on the audio thread before the next Process and clears the bit.
  static constexpr std::uint8_t kParametersChanged = 0x04;

  MAudioEffectPlugin() = default;
  ~MAudioEffectPlugin() override = default;

  /// Slot 1: the standard command handler (the command table of the protocol, MPluginCommand).
  /// kDestroy deletes this object after taking and releasing m_processingLock; an effect that
  /// overrides Command passes what it does not handle on to this one. Never throws: a command
  /// whose operation threw answers 0 (-1 for an unknown command).
  std::int64_t Command(std::int64_t command, MPluginCommandBlock* block) override;

  /// Slot 4: every float descriptor takes its current value as its previous one, so nothing
  /// ramps after a reset. Base: does exactly that over the descriptor table.
  virtual void CommitParameterValues();
  /// Slot 5: the descriptor at `effectIndex` changed (host or GUI thread, after a non-silent
  /// change; never the audio thread). Base: nothing. Must not throw.
  void OnParameterChanged(std::int32_t effectIndex) override;
  /// Slot 6: recompute every value derived from parameters. Called on the audio thread before a
  /// block when the parameters-changed bit was set, and on the host thread after
  /// InitProcessing, loading and randomisation. Base: nothing.
  virtual void OnParametersChanged();
  /// Slot 7: build the effect's controls inside the plug-in editor (GUI thread). `contents` is the
  /// editor's container (null when a caller passed none). Base: 0, nothing built.
  virtual std::int32_t CreateEditorContents(MContainer* contents);
  /// Slot 8: the editor is closing; forget every pointer into it (GUI thread). Base: nothing.
  virtual void EditorClosed();
  /// The host parameter that one of the effect's own editor controls stands for (`part`: the
  /// note of a piano key, else -1), so that the MIDI learn menu can offer it; -1 for none. GUI
  /// thread. Base: -1.
  virtual std::int32_t GetControlParameter(const MControl& control, std::int32_t part) const;
  /// Slot 9: writes the effect's settings into `item`. Base: one attribute per parameter
  /// ("parameter" + key, "Enum" appended for enumerations; float values as plain values with 12
  /// significant digits), then StoreExtraSettings in saving mode. An effect's override calls this
  /// first, then writes its own keys. Host thread, under the plug-in's locks; allocates.
  virtual bool StoreSettings(MXmlItem& item);
  /// Slot 10: reads what StoreSettings wrote. Base: each parameter attribute present is read
  /// (absent ones leave the parameter alone; floats and integers are clamped into their range,
  /// text that is not a number and unknown enumeration names are ignored), then under
  /// m_processingLock StoreExtraSettings in loading mode, then AfterSettingsLoaded,
  /// OnParametersChanged and CommitParameterValues. Never changes a value from hostile text.
  virtual bool LoadSettings(MXmlItem& item);
  /// What LoadSettings would set `info` to from `item`, as a plain value (float or integer
  /// clamped into range, enumeration index, switch 0 or 1), changing nothing. False when `item`
  /// holds no value LoadSettings would take, and for text parameters. Any thread.
  static bool ReadStoredValue(const MParameterInfo& info, const MXmlItem& item, double& plain);
  /// Writes into `preset` the current value of every kKeptByPresets parameter it holds no value
  /// for, so that loading it leaves them as they are.
  void KeepInstanceSettings(MXmlItem& preset) const;
  /// What LoadSettings would set slot `slot` of `adapter` to from `item`, normalised, for an
  /// adapter the effect added itself (AddAutomationAdapters) whose values live in the effect's
  /// own keys; changing nothing. False for any other adapter or when `item` holds no value. Base:
  /// false. GUI thread (the morph pad reads stored slots through it).
  virtual bool ReadStoredAdapterValue(const MAudioPlugin::AutomationAdapter& adapter, std::int32_t slot,
                                      const MXmlItem& item, double& normalised) const;
  /// Slot 11: the effect's hook into the parameter part of storing (both directions). Base:
  /// nothing.
  virtual void StoreExtraSettings(MStoreContext& context);
  /// Slot 12: called after loading, before OnParametersChanged. Base: nothing.
  virtual void AfterSettingsLoaded();
  /// Slot 13: called once by the adapter after it built the typed parameters; an effect appends
  /// its own automation adapters (such as a multi-slot adapter for a special entry) to `plugin`
  /// here. The adapter assigns the indices afterwards. Base: nothing.
  virtual void AddAutomationAdapters(MAudioPlugin& plugin);
  /// Slot 14: sets the parameters-changed bit (any thread; lock-free, never allocates).
  void SetParametersChanged() override;
  /// Slots 15, 16: per-effect notification and query (commands 13 and 14). Base: nothing, 0.
  virtual void OnCustomNotification();
  virtual std::int32_t CustomQuery(std::int64_t argument);
  /// Slot 17: randomises every randomisable descriptor by `amount` (0..1); with an amount of 1
  /// also RandomizeSmart; then OnParametersChanged. Host thread, under the plug-in's locks.
  virtual void Randomize(double amount);
  /// Slots 18, 19: the effect's own random settings, called in this order. Base: nothing.
  virtual void RandomizeSmart();
  virtual void RandomizeSmartFinish();
  /// Slot 20: per-effect command with two arguments (command 20). Base: 0.
  virtual std::int64_t CustomCommand(std::int64_t a, std::int64_t b);
  /// Slot 21: prepare the DSP state for `channels` channels (1..8) at `sampleRate` Hz. Host
  /// thread; may allocate. Base: stores both in m_channels and m_sampleRate; answers 0.
  virtual std::int32_t InitProcessing(std::int32_t channels, double sampleRate);
  /// Slot 22: GUI-side preparation. Base: nothing.
  virtual void InitProcessingGUI();
  /// Slot 23: processes one block: `inputs` and `outputs` hold m_channels pointers to `samples`
  /// floats each (in place allowed). Audio thread: must not allocate once initialised; takes
  /// m_processingLock.
  virtual void Process(const Transport& transport, float** inputs, float** outputs, std::int32_t samples) = 0;
  /// Slot 24: periodic GUI-side update while an editor is open (GUI thread). Base: nothing.
  virtual void ProcessUpdate();
  /// Slot 25: per-effect integer (command 102). Base: 0.
  virtual std::int32_t GetCustomInteger();
  /// Slot 26: processing latency in samples. Base: 0.
  virtual std::int32_t GetLatency();
  /// Slot 27: tail length in samples. Base: 0.
  virtual std::int32_t GetTailSize();
  /// Slot 28: per-effect value (command 104). Base: nothing.
  virtual void SetCustomValue(std::int64_t value);
  /// Slot 29: the effect's queue of MIDI events for the host, or null for an effect that sends
  /// none (the plug-in then offers no MIDI output). The effect fills it inside Process; the
  /// adapter empties it after every Process, switches it on and off from the settings and ends
  /// its notes on InitProcessing, Panic and bypass. The same object for the effect's lifetime.
  /// Base: null.
  virtual MMIDIOutputQueue* GetMIDIOutput();
  /// The editor's tuning display, as MAudioPlugin::ReadDisplay and ShowDisplay describe it (the
  /// adapter forwards both). Base: no display (false; nothing shown).
  virtual bool ReadDisplay(MAudioPlugin::DisplaySnapshot& snapshot) const noexcept;
  virtual void ShowDisplay(const MAudioPlugin::DisplaySnapshot& snapshot);

  // ---- state the framework reads ----

  const MParameterTable& GetParameterTable() const noexcept { return m_parameterTable; }
  MLock& GetProcessingLock() noexcept { return m_processingLock; }
  /// The host object that connected this effect (null before Connect).
  MAudioEffectPluginHost* GetHost() const noexcept;
  /// Largest block the effect wants in one Process call; 0 declares none.
  std::int32_t GetMaxBufferSize() const noexcept { return m_maxBufferSize; }
  bool AreParametersChanged() const noexcept { return (m_effectFlags.Load() & kParametersChanged) != 0; }
  /// Clears the parameters-changed bit and answers whether it was set (audio thread; the bit is
  /// cleared before the recomputation, so a change made during it is not lost).
  bool TakeParametersChanged() noexcept;
  std::int32_t GetChannelCount() const noexcept { return m_channels; }
  double GetSampleRate() const noexcept { return m_sampleRate; }

protected:
  /// The descriptor table the framework builds the host parameters from. Set up in the
  /// constructor; the descriptors must live as long as the effect.
  MParameterTable m_parameterTable;
  MRelaxed<std::uint8_t> m_effectFlags{0};
  std::int32_t m_maxBufferSize = 0;
  MRelaxed<std::int32_t> m_channels{0};
  MRelaxed<double> m_sampleRate{0.0};
  MLock m_processingLock;
};
