#include "tests/core/MCoreTestSupport.h"

#include "core/plugin/MDenormalGuard.h"

void MCoreTest::IdentityPlugin::ProcessChunk(float** inputs, float** outputs, std::int32_t samples)
{
  if (m_chunks.size() < m_chunks.capacity())
  {
    m_chunks.push_back({samples, inputs != nullptr ? inputs[0] : nullptr,
                        inputs != nullptr ? inputs[1] : nullptr, outputs[0], outputs[1],
                        GetTransport().songPosition, MDenormalGuard::IsFlushingNow()});
  }
  if (m_onChunk != nullptr)
    m_onChunk(*this, samples);
  const std::int32_t channels = GetChannelsPerBus();
  for (std::int32_t bus = 0; bus < GetNumOutputBuses(); ++bus)
  {
    for (std::int32_t channel = 0; channel < channels; ++channel)
    {
      const std::int32_t index = bus * kPointersPerBus + channel;
      float* out = outputs[index];
      const float* in = inputs != nullptr && bus < GetNumInputBuses() ? inputs[index] : nullptr;
      for (std::int32_t i = 0; i < samples; ++i)
        out[i] = in != nullptr ? m_gain * in[i] : 0.0f;
    }
  }
}

std::vector<MCoreTest::TestAdapter*> MCoreTest::Register(MAudioPlugin& plugin, const std::vector<int>& counts)
{
  std::vector<TestAdapter*> adapters;
  for (std::size_t i = 0; i < counts.size(); ++i)
  {
    auto* adapter = new TestAdapter(counts[i], static_cast<int>(i));
    plugin.AddAutomationAdapter(adapter);
    adapters.push_back(adapter);
  }
  plugin.AssignAutomationIndices();
  return adapters;
}

MParameterInfo MCoreTest::Descriptor(std::int32_t type, const char* name, std::uint8_t flags)
{
  static const char* const kShapes[] = {"Sine", "Square", "Saw"};
  MParameterInfo info;
  info.type = type;
  info.flags = flags;
  info.name = MString::FromNarrow(name);
  info.floating.maximum = 1.0;
  info.integer.maximum = 10;
  info.enumeration.names = kShapes;
  info.enumeration.count = 3;
  return info;
}
