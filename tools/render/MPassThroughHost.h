#pragma once
// MPassThroughHost: a host with no module behind it, whose "plug-in" copies its inputs to its
// outputs with no latency. The renderer uses it to measure its own cost (reading, converting,
// measuring and writing) apart from any plug-in's. It has no parameters and no state.

#include "tools/host/MTestHost.h"

#include <algorithm>

class MPassThroughHost : public MTestHost
{
public:
  /// Channels the copy offers on each side (the renderer's largest file).
  static constexpr int kChannels = 8;

  MTestHostStatus LoadModule(const std::string&) override
  {
    m_loaded = true;
    return MTestHostStatus::Ok;
  }
  bool IsLoaded() const override { return m_loaded; }
  bool Activate(double, int) override { return m_loaded; }
  bool Deactivate() override { return m_loaded; }
  bool Process(float** inputs, float** outputs, int samples) override
  {
    if (!m_loaded || inputs == nullptr || outputs == nullptr)
      return false;
    for (int c = 0; c < kChannels; ++c)
      if (inputs[c] != nullptr && outputs[c] != nullptr && inputs[c] != outputs[c])
        std::copy(inputs[c], inputs[c] + samples, outputs[c]);
    return true;
  }
  void Close() override { m_loaded = false; }

  int NumInputs() const override { return m_loaded ? kChannels : 0; }
  int NumOutputs() const override { return m_loaded ? kChannels : 0; }
  int NumParameters() const override { return 0; }
  int LatencySamples() const override { return 0; }

  float GetParameter(int) override { return 0.0f; }
  void SetParameter(int, float) override {}
  std::string ParameterName(int) override { return {}; }
  std::string ParameterDisplay(int) override { return {}; }
  std::vector<std::uint8_t> GetState() override { return {}; }
  bool SetState(const std::vector<std::uint8_t>&) override { return false; }
  bool SendMidi(const std::vector<MTestHostMidiEvent>&) override { return m_loaded; }

private:
  bool m_loaded = false;
};
