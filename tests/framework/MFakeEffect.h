#pragma once
// A small effect for the framework suites, reached only through its command function, as the
// real effect is. Its parameters mirror the shape of a real parameter set (groups, floats with
// and without the changed bit, and one parameter of each other stored type); Process scales the
// input by DryWet / 2 and records what the adapter handed it. Rates above 500 kHz are refused.

#include "framework/MAudioEffectPlugin.h"
#include "framework/MQuorvelAudioEffectPlugin.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace MFrameworkTest
{
class FakeEffect : public MAudioEffectPlugin
{
public:
  enum Index
  {
    kTuningGroup,
    kDepth,
    kSpeed,
    kEffectsGroup,
    kDryWet,
    kFormantShift,
    kVoices,
    kShape,
    kEnabled,
    kCount
  };

  FakeEffect();
  ~FakeEffect() override;

  void OnParametersChanged() override;
  std::int32_t InitProcessing(std::int32_t channels, double sampleRate) override;
  void Process(const Transport& transport, float** inputs, float** outputs, std::int32_t samples) override;
  std::int32_t GetLatency() override { return 64; }
  bool StoreSettings(MXmlItem& item) override;
  bool LoadSettings(MXmlItem& item) override;

  MParameterInfo& Parameter(Index index) { return m_descriptors[index]; }
  void SetMaxBufferSize(std::int32_t samples) { m_maxBufferSize = samples; }

  MParameterInfo m_descriptors[kCount];
  /// The effect's own key "Mood" (stored beside the parameters).
  std::int32_t m_mood = 3;
  std::atomic<int> m_parametersChanged{0};
  std::atomic<int> m_initialisations{0};
  /// Sample counts of the Process calls (reserved, so recording does not allocate).
  std::vector<std::int32_t> m_blocks;
  Transport m_lastTransport;
  float m_gain = 1.0f;

  /// Live instances (for leak checks of the creation paths).
  static std::atomic<int> s_instances;
};

/// The command function of FakeEffect: creates one on a null instance.
std::int64_t FakeEffectCommand(void* instance, std::int64_t command, MPluginCommandBlock* block);
/// Command functions that fail at each creation step: refusing the connect, answering no table.
std::int64_t RefusingCommand(void* instance, std::int64_t command, MPluginCommandBlock* block);
std::int64_t TablelessCommand(void* instance, std::int64_t command, MPluginCommandBlock* block);

/// A stereo plug-in at 44100 Hz, block size 1024, initialised with FakeEffect and prepared.
class TestPlugin : public MQuorvelAudioEffectPlugin
{
public:
  explicit TestPlugin(std::int32_t channels = 2);
  FakeEffect& Effect() { return *static_cast<FakeEffect*>(GetEffect()); }
  /// Processes one block of `samples` of the stereo signal in m_input into m_output.
  void Run(std::int32_t samples);
  /// Global host index of the parameter named `name`, -1 when there is none.
  std::int32_t IndexOf(const char* name) const;

  void ApplyPresetStep(std::int32_t step) override { m_steps.push_back(step); }

  std::vector<std::int32_t> m_steps;
  std::vector<std::vector<float>> m_input;
  std::vector<std::vector<float>> m_output;
};

/// The decompressed text of host-state bytes.
std::string Inflate(const std::shared_ptr<MMemoryStream::Buffer>& bytes);
/// Host-state bytes for a text (compressed as the plug-in would).
std::vector<std::uint8_t> Deflate(const std::string& text);
} // namespace MFrameworkTest
