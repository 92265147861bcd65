#include "tests/framework/MFakeEffect.h"

#include "base/MLockGuard.h"
#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MZLibStream.h"
#include "tests/support/MPrivateSettingsFolder.h"

#include <string>

namespace
{
const char* const kShapes[] = {"Sine", "Square", "Saw"};

// Keeps the suites away from the user's own configuration document: every suite run gets an
// empty settings folder of its own.
const MTestSupport::MScopedSettingsFolder s_settingsFolder("tonvera-framework-tests");

void SetFloat(MParameterInfo& info, const char* key, const char* name, double minimum, double maximum,
              double value, std::uint8_t flags)
{
  info.type = MParameterInfo::kFloat;
  info.key = MString::FromLiteral(key);
  info.name = MString::FromLiteral(name);
  info.flags =
      static_cast<std::uint8_t>(MParameterInfo::kHostVisible | MParameterInfo::kRandomizable | flags);
  info.floating.minimum = minimum;
  info.floating.maximum = maximum;
  info.floating.defaultValue = value;
  info.floating.value = value;
  info.floating.previous = value;
}
} // namespace

namespace MFrameworkTest
{
std::atomic<int> FakeEffect::s_instances{0};

FakeEffect::FakeEffect()
{
  ++s_instances;
  m_descriptors[kTuningGroup].type = MParameterInfo::kGroup;
  m_descriptors[kTuningGroup].name = MString("Automatic tuning");
  m_descriptors[kTuningGroup].flags = MParameterInfo::kHostVisible;
  SetFloat(m_descriptors[kDepth], "AutoTuneDepth", "Depth", 0.0, 1.0, 0.5, 0);
  SetFloat(m_descriptors[kSpeed], "AutoTuneSpeed", "Speed", 0.0, 1.0, 0.5, 0);
  m_descriptors[kEffectsGroup].type = MParameterInfo::kGroup;
  m_descriptors[kEffectsGroup].name = MString("Effects");
  m_descriptors[kEffectsGroup].flags = MParameterInfo::kHostVisible;
  SetFloat(m_descriptors[kDryWet], "DryWet", "Dry/wet", 0.0, 2.0, 2.0, MParameterInfo::kSetsChangedBit);
  SetFloat(m_descriptors[kFormantShift], "FormantShift", "Formant shift", -12.0, 12.0, 0.0, 0);

  MParameterInfo& voices = m_descriptors[kVoices];
  voices.type = MParameterInfo::kInteger;
  voices.key = MString("Voices");
  voices.name = MString("Voices");
  voices.flags = MParameterInfo::kHostVisible;
  voices.integer.minimum = 1;
  voices.integer.maximum = 8;
  voices.integer.defaultValue = 2;
  voices.integer.value = 2;

  MParameterInfo& shape = m_descriptors[kShape];
  shape.type = MParameterInfo::kEnumeration;
  shape.key = MString("Shape");
  shape.name = MString("Shape");
  shape.flags = MParameterInfo::kHostVisible;
  shape.enumeration.names = kShapes;
  shape.enumeration.count = 3;

  MParameterInfo& enabled = m_descriptors[kEnabled];
  enabled.type = MParameterInfo::kBoolean;
  enabled.key = MString("Enabled");
  enabled.name = MString("Active");
  enabled.flags = MParameterInfo::kHostVisible;
  enabled.boolean.value = true;

  m_parameterTable.descriptors = m_descriptors;
  m_parameterTable.count = kCount;
  m_parameterTable.flags = MParameterTable::kWantsTimeInfo;
  m_blocks.reserve(1 << 16);
}

FakeEffect::~FakeEffect()
{
  --s_instances;
}

void FakeEffect::OnParametersChanged()
{
  MLockGuard guard(m_processingLock);
  m_gain = static_cast<float>(m_descriptors[kDryWet].floating.value * 0.5);
  ++m_parametersChanged;
}

std::int32_t FakeEffect::InitProcessing(std::int32_t channels, double sampleRate)
{
  MLockGuard guard(m_processingLock);
  ++m_initialisations;
  if (sampleRate > 500000.0)
    return -1; // refused: nothing changes
  return MAudioEffectPlugin::InitProcessing(channels, sampleRate);
}

void FakeEffect::Process(const Transport& transport, float** inputs, float** outputs, std::int32_t samples)
{
  MLockGuard guard(m_processingLock);
  m_lastTransport = transport;
  if (m_blocks.size() < m_blocks.capacity())
    m_blocks.push_back(samples);
  for (std::int32_t channel = 0; channel < m_channels; ++channel)
    for (std::int32_t i = 0; i < samples; ++i)
      outputs[channel][i] = inputs[channel][i] * m_gain;
}

bool FakeEffect::StoreSettings(MXmlItem& item)
{
  MAudioEffectPlugin::StoreSettings(item);
  item.SetAttribute(MString("Mood"), MString::FromInteger(m_mood));
  return true;
}

bool FakeEffect::LoadSettings(MXmlItem& item)
{
  if (item.HasAttribute(MString("Mood")))
    m_mood = static_cast<std::int32_t>(item.GetAttribute().ToInteger());
  return MAudioEffectPlugin::LoadSettings(item);
}

namespace
{
std::int64_t Forward(void* instance, std::int64_t command, MPluginCommandBlock* block, bool withTable)
{
  MPlugin* plugin = static_cast<MPlugin*>(instance);
  const bool created = plugin == nullptr;
  if (created)
    plugin = new FakeEffect;
  if (command == MPluginCommand::kGetInstance)
    return plugin->GetHandle();
  if (command == MPluginCommand::kGetParameterTable && !withTable)
    return 0;
  const std::int64_t result = plugin->Command(command, block);
  if (created && result == 0)
    delete plugin;
  return result;
}
} // namespace

std::int64_t FakeEffectCommand(void* instance, std::int64_t command, MPluginCommandBlock* block)
{
  return Forward(instance, command, block, true);
}

std::int64_t RefusingCommand(void* instance, std::int64_t command, MPluginCommandBlock* block)
{
  if (command == MPluginCommand::kConnect)
    return 0;
  return Forward(instance, command, block, true);
}

std::int64_t TablelessCommand(void* instance, std::int64_t command, MPluginCommandBlock* block)
{
  return Forward(instance, command, block, false);
}

TestPlugin::TestPlugin(std::int32_t channels)
{
  std::vector<MString> names(static_cast<std::size_t>(channels), MString("Channel"));
  if (channels > 2)
    SetChannelsPerBus(channels);
  SetChannelNames(names, names);
  SetSampleRate(44100.0);
  SetBlockSize(1024);
  Initialize(MString("Fake"), MString("Quorvel"), FakeEffectCommand);
  InitProcessing();
  m_steps.reserve(64);
  for (std::int32_t channel = 0; channel < channels; ++channel)
  {
    m_input.emplace_back(4096, 0.25f);
    m_output.emplace_back(4096, 0.0f);
  }
}

void TestPlugin::Run(std::int32_t samples)
{
  float* inputs[kPointersPerBus] = {};
  float* outputs[kPointersPerBus] = {};
  for (std::size_t channel = 0; channel < m_input.size() && channel < kPointersPerBus; ++channel)
  {
    inputs[channel] = m_input[channel].data();
    outputs[channel] = m_output[channel].data();
  }
  Process(inputs, outputs, samples, true);
}

std::int32_t TestPlugin::IndexOf(const char* name) const
{
  for (std::int32_t index = 0; index < GetNumParameters(); ++index)
    if (GetParameterName(index) == MString::FromLiteral(name))
      return index;
  return -1;
}

std::string Inflate(const std::shared_ptr<MMemoryStream::Buffer>& bytes)
{
  MMemoryStream source(bytes);
  MZLibStream stream(source, MZLibStream::Direction::Reading);
  std::string text;
  char piece[4096];
  for (std::size_t got; (got = stream.Read(piece, sizeof piece)) > 0;)
    text.append(piece, got);
  return text;
}

std::vector<std::uint8_t> Deflate(const std::string& text)
{
  MMemoryStream target;
  {
    MZLibStream stream(target, MZLibStream::Direction::Writing, 100);
    stream.Write(text.data(), text.size());
    stream.Finish();
  }
  const auto& buffer = target.GetBuffer();
  return std::vector<std::uint8_t>(buffer->GetData(), buffer->GetData() + buffer->GetSize());
}
} // namespace MFrameworkTest
