#pragma once
// Small doubles shared by the plug-in core suites: an automation adapter that records what it is
// told, a host adapter that records what it receives, and one plug-in with adjustable hooks; and
// the set-up helpers the suites share.

#include "core/parameters/MParameterInfo.h"
#include "core/plugin/MAudioPlugin.h"
#include "tests/support/MTestSignals.h"

#include <array>
#include <utility>
#include <vector>

namespace MCoreTest
{
class TestAdapter : public MAudioPlugin::AutomationAdapter
{
public:
  struct Set
  {
    int slot;
    double value;
    bool silent;
  };

  TestAdapter(int count, int id)
      : AutomationAdapter(count), m_id(id), m_values(static_cast<std::size_t>(count), 0.5)
  {
    for (int slot = 0; slot < count; ++slot)
      m_values[static_cast<std::size_t>(slot)] = Encode(slot);
  }
  ~TestAdapter() override
  {
    if (m_destroyed != nullptr)
      *m_destroyed = true;
  }

  /// A value that tells adapter and slot apart.
  double Encode(int slot) const { return (m_id * 16 + slot + 1) / 1024.0; }

  void SetValue(std::int32_t slot, double value, bool silent) override
  {
    m_sets.push_back({slot, value, silent});
    m_values[static_cast<std::size_t>(slot)] = value;
  }
  double GetValue(std::int32_t slot) const override { return m_values[static_cast<std::size_t>(slot)]; }
  MString GetName(std::int32_t) const override { return m_name; }
  std::int32_t GetOrderKey() const override { return m_orderKey; }
  bool CanRandomize() const override { return m_canRandomize; }

  int m_id;
  std::vector<double> m_values;
  std::vector<Set> m_sets;
  MString m_name;
  int m_orderKey = 0;
  bool m_canRandomize = true;
  bool* m_destroyed = nullptr;
};

class FakeHost : public MAudioPluginAdapter
{
public:
  void SendAutomation(std::int32_t index, double value) override { m_automation.emplace_back(index, value); }
  void SendBypassAutomation(bool) override {}
  void GenerateMIDIEvent(std::int32_t, const std::uint8_t*) override {}
  void ReportLatency() override { ++m_latencyReports; }
  bool ChangeEditorSize(std::int32_t, std::int32_t) override { return true; }

  std::vector<std::pair<std::int32_t, double>> m_automation;
  int m_latencyReports = 0;
};

/// A plug-in whose chunks copy inputs to outputs (identity) and record what they saw.
class IdentityPlugin : public MAudioPlugin
{
public:
  struct Chunk
  {
    std::int32_t samples;
    const float* in0;
    const float* in1;
    const float* out0;
    const float* out1;
    double songPosition;
    bool flushing;
  };

  IdentityPlugin(int inputs = 2, int outputs = 2, int blockSize = 1024)
  {
    std::vector<MString> in(static_cast<std::size_t>(inputs), MString("In"));
    std::vector<MString> out(static_cast<std::size_t>(outputs), MString("Out"));
    SetChannelNames(in, out);
    SetSampleRate(48000.0);
    SetBlockSize(blockSize);
    m_chunks.reserve(4096);
  }

  void ProcessChunk(float** inputs, float** outputs, std::int32_t samples) override;
  std::int32_t GetEffectLatency() const override { return m_effectLatency; }
  double GetOutputClipLevel() const override { return m_clipLevel; }

  MLock& ProcessingLock() { return m_processingLock; }
  MLock& BufferLock() { return m_bufferLock; }

  std::vector<Chunk> m_chunks;
  std::int32_t m_effectLatency = 0;
  double m_clipLevel = -1.0;
  float m_gain = 1.0f;
  /// Called once per chunk when set (for example to read a parameter).
  void (*m_onChunk)(IdentityPlugin& plugin, std::int32_t samples) = nullptr;
  std::vector<double> m_observed;
};

/// Host buffers of one stereo bus in the 8-slot pointer layout: noise in, 7 out.
struct HostBlock
{
  explicit HostBlock(int samples, std::uint32_t seed = 1)
  {
    in[0] = MTestSignals::WhiteNoise(static_cast<std::size_t>(samples), 0.5f, seed);
    in[1] = MTestSignals::WhiteNoise(static_cast<std::size_t>(samples), 0.5f, seed + 1);
    out[0].assign(static_cast<std::size_t>(samples), 7.0f);
    out[1].assign(static_cast<std::size_t>(samples), 7.0f);
    inPointers.fill(nullptr);
    outPointers.fill(nullptr);
    inPointers[0] = in[0].data();
    inPointers[1] = in[1].data();
    outPointers[0] = out[0].data();
    outPointers[1] = out[1].data();
  }
  void InPlace()
  {
    out[0] = in[0];
    out[1] = in[1];
    inPointers[0] = outPointers[0] = out[0].data();
    inPointers[1] = outPointers[1] = out[1].data();
  }
  int Samples() const { return static_cast<int>(in[0].size()); }

  std::array<std::vector<float>, 2> in;
  std::array<std::vector<float>, 2> out;
  std::array<float*, 8> inPointers{};
  std::array<float*, 8> outPointers{};
};

/// The host index of the parameter named exactly `name`, or -1.
inline std::int32_t IndexOf(const MAudioPlugin& plugin, const char* name)
{
  for (std::int32_t i = 0; i < plugin.GetNumParameters(); ++i)
    if (plugin.GetParameterName(i).ToUTF8() == name)
      return i;
  return -1;
}

/// Registers adapters of the given slot counts; each remembers its registration position.
std::vector<TestAdapter*> Register(MAudioPlugin& plugin, const std::vector<int>& counts);

/// A descriptor of `type` named `name`: floats 0..1, integers 0..10, three enumeration names.
MParameterInfo Descriptor(std::int32_t type, const char* name,
                          std::uint8_t flags = MParameterInfo::kHostVisible);
} // namespace MCoreTest
