// A minimal VST 3 module for the module tests: one gain effect that is its own controller, built
// on the base classes the real adapter uses, exported through the module recipe.
//
// Parameter 0 "Gain" is the linear gain itself (0..1, default 1). process applies the last point
// of the block's gain queue to every sample. The state is the magic "FGn1" and the gain as a
// little-endian IEEE double.

#include "sdk/vst3/CPluginFactory.h"
#include "sdk/vst3/EditController.h"
#include "sdk/vst3/VST3String.h"

#include <atomic>
#include <bit>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
constexpr FUID kFakeGainCid = MakeFUID(0x46616B65, 0x4761696E, 0x54657374, 0x30303031);
constexpr ParamID kGainId = 0;
constexpr char8 kStateMagic[4] = {'F', 'G', 'n', '1'};

std::atomic<int> s_moduleEntries{0};

class FakeGain : public AudioEffect, public EditControllerEx1
{
  TONVERA_VST3_FORWARD_FUNKNOWN(AudioEffect)

public:
  tresult PLUGIN_API initialize(FUnknown* context) override
  {
    const tresult result = AudioEffect::initialize(context);
    if (result != kResultOk)
    {
      // The host initialises the same object as controller after the component.
      return result == kResultFalse ? kResultOk : result;
    }
    AddAudioInput(u"Stereo In", SpeakerArr::kStereo);
    AddAudioOutput(u"Stereo Out", SpeakerArr::kStereo);
    m_parameters.AddParameter(u"Gain", kGainId, u"", 1.0);
    return kResultOk;
  }

  tresult PLUGIN_API terminate() override
  {
    EditControllerEx1::terminate();
    return AudioEffect::terminate();
  }

  tresult PLUGIN_API process(ProcessData& data) override
  {
    if (data.inputParameterChanges != nullptr)
    {
      for (int32 i = 0; i < data.inputParameterChanges->getParameterCount(); ++i)
      {
        IParamValueQueue* queue = data.inputParameterChanges->getParameterData(i);
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue != nullptr && queue->getParameterId() == kGainId &&
            queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
        {
          m_gain.store(value, std::memory_order_relaxed);
        }
      }
    }
    if (data.numSamples <= 0 || data.numInputs < 1 || data.numOutputs < 1)
    {
      return kResultOk;
    }
    const AudioBusBuffers& in = data.inputs[0];
    const AudioBusBuffers& out = data.outputs[0];
    const float gain = static_cast<float>(m_gain.load(std::memory_order_relaxed));
    const int32 channels = in.numChannels < out.numChannels ? in.numChannels : out.numChannels;
    for (int32 c = 0; c < channels; ++c)
    {
      for (int32 s = 0; s < data.numSamples; ++s)
      {
        out.channelBuffers32[c][s] = gain * in.channelBuffers32[c][s];
      }
    }
    return kResultOk;
  }

  tresult PLUGIN_API getState(IBStream* stream) override
  {
    if (stream == nullptr)
    {
      return kInvalidArgument;
    }
    char8 bytes[12];
    std::memcpy(bytes, kStateMagic, 4);
    const auto bits = std::bit_cast<uint64>(m_gain.load(std::memory_order_relaxed));
    for (int i = 0; i < 8; ++i)
    {
      bytes[4 + i] = static_cast<char8>(bits >> (8 * i));
    }
    int32 written = 0;
    const tresult result = stream->write(bytes, sizeof bytes, &written);
    return result == kResultOk && written == static_cast<int32>(sizeof bytes) ? kResultOk : kResultFalse;
  }

  tresult PLUGIN_API setState(IBStream* stream) override
  {
    if (stream == nullptr)
    {
      return kInvalidArgument;
    }
    uint8 bytes[12];
    int32 total = 0;
    // Streams may deliver fewer bytes than asked for: keep reading until done or dry.
    while (total < static_cast<int32>(sizeof bytes))
    {
      int32 got = 0;
      if (stream->read(bytes + total, static_cast<int32>(sizeof bytes) - total, &got) != kResultOk ||
          got <= 0)
      {
        break;
      }
      total += got;
    }
    if (total != static_cast<int32>(sizeof bytes) || std::memcmp(bytes, kStateMagic, 4) != 0)
    {
      return kResultFalse;
    }
    uint64 bits = 0;
    for (int i = 0; i < 8; ++i)
    {
      bits |= static_cast<uint64>(bytes[4 + i]) << (8 * i);
    }
    const double gain = std::bit_cast<double>(bits);
    if (!(gain >= 0.0 && gain <= 1.0))
    {
      return kResultFalse;
    }
    m_gain.store(gain, std::memory_order_relaxed);
    setParamNormalized(kGainId, gain);
    return kResultOk;
  }

  static FUnknown* Create(void* /*context*/) { return static_cast<IAudioProcessor*>(new FakeGain()); }

protected:
  void CollectInterfaces(InterfaceTable& table) override
  {
    AudioEffect::CollectInterfaces(table);
    EditControllerEx1::CollectInterfaces(table);
  }

private:
  std::atomic<double> m_gain{1.0};
};

PFactoryInfo MakeFactoryInfo()
{
  PFactoryInfo info{};
  CopyString8(info.vendor, "Tonvera Tests");
  CopyString8(info.url, "https://example.invalid/");
  CopyString8(info.email, "tests@example.invalid");
  info.flags = PFactoryInfo::kUnicode;
  return info;
}

void RegisterClasses(CPluginFactory& factory)
{
  PClassInfo2 info{};
  std::memcpy(info.cid, kFakeGainCid.data, sizeof(TUID));
  info.cardinality = PClassInfo::kManyInstances;
  CopyString8(info.category, kVstAudioEffectClass);
  CopyString8(info.name, "Fake Gain");
  CopyString8(info.subCategories, "Fx");
  CopyString8(info.version, "1.0");
  CopyString8(info.sdkVersion, "VST 3.5.2");
  factory.RegisterClass(info, &FakeGain::Create);
}
}  // namespace

TONVERA_VST3_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory()
{
  return CPluginFactory::GetShared(MakeFactoryInfo(), &RegisterClasses);
}

TONVERA_VST3_EXPORT bool PLUGIN_API ModuleEntry(void* /*sharedLibraryHandle*/)
{
  ++s_moduleEntries;
  return true;
}

TONVERA_VST3_EXPORT bool PLUGIN_API ModuleExit()
{
  // Balanced with ModuleEntry; an exit without entry is refused.
  int current = s_moduleEntries.load();
  while (current > 0 && !s_moduleEntries.compare_exchange_weak(current, current - 1))
  {
  }
  return current > 0;
}
