// Loads the fake gain module from its bundle exactly as a host does: entry points, factory,
// class records, creation, initialisation, processing with parameter changes, state through a
// memory stream into a second instance, and teardown.

#include "sdk/vst3/MemoryStream.h"
#include "sdk/vst3/ParameterChanges.h"
#include "sdk/vst3/VST3Factory.h"
#include "tests/vst3sdk/VST3TestObjects.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <string>

using namespace Steinberg;
using namespace Steinberg::Vst;
using TonveraTest::TestHostApplication;

namespace
{
constexpr FUID kFakeGainCid = MakeFUID(0x46616B65, 0x4761696E, 0x54657374, 0x30303031);
constexpr int32 kBlock = 64;

template <typename F>
F Symbol(void* handle, const char* name)
{
  return reinterpret_cast<F>(dlsym(handle, name));
}

/// One stereo block of constant input through `processor`, with the given gain points.
std::array<float, 2> ProcessBlock(IAudioProcessor* processor,
                                  std::initializer_list<std::pair<int32, double>> gain)
{
  std::array<std::array<float, kBlock>, 2> input{};
  std::array<std::array<float, kBlock>, 2> output{};
  for (auto& channel : input)
  {
    channel.fill(0.5f);
  }
  float* inPointers[2] = {input[0].data(), input[1].data()};
  float* outPointers[2] = {output[0].data(), output[1].data()};
  AudioBusBuffers inBus{};
  inBus.numChannels = 2;
  inBus.channelBuffers32 = inPointers;
  AudioBusBuffers outBus{};
  outBus.numChannels = 2;
  outBus.channelBuffers32 = outPointers;

  auto* changes = new ParameterChanges(4, 8);
  if (gain.size() > 0)
  {
    int32 index = 0;
    IParamValueQueue* queue = changes->addParameterData(0, index);
    for (const auto& [offset, value] : gain)
    {
      queue->addPoint(offset, value, index);
    }
  }
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = kBlock;
  data.numInputs = 1;
  data.numOutputs = 1;
  data.inputs = &inBus;
  data.outputs = &outBus;
  data.inputParameterChanges = changes;
  EXPECT_EQ(processor->process(data), kResultOk);
  static_cast<IParameterChanges*>(changes)->release();
  return {output[0][kBlock - 1], output[1][0]};
}

class VST3ModuleTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    m_handle = dlopen(TONVERA_FAKE_GAIN_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << dlerror();
    auto entry = Symbol<ModuleEntryFunc>(m_handle, "ModuleEntry");
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry(m_handle));
    auto getFactory = Symbol<GetFactoryProc>(m_handle, "GetPluginFactory");
    ASSERT_NE(getFactory, nullptr);
    m_factory = getFactory();
    ASSERT_NE(m_factory, nullptr);
  }

  void TearDown() override
  {
    if (m_factory != nullptr)
    {
      EXPECT_EQ(m_factory->release(), 0u);
    }
    if (m_handle != nullptr)
    {
      auto exit = Symbol<ModuleExitFunc>(m_handle, "ModuleExit");
      ASSERT_NE(exit, nullptr);
      EXPECT_TRUE(exit());
      EXPECT_FALSE(exit()) << "an exit without a matching entry is refused";
      EXPECT_EQ(dlclose(m_handle), 0);
    }
    EXPECT_EQ(m_host->release(), 0u);
  }

  /// Creates the gain, initialises it as component and as controller, sets it up and activates it.
  IComponent* CreateActiveGain()
  {
    void* object = nullptr;
    EXPECT_EQ(m_factory->createInstance(kFakeGainCid.data, IComponent::iid.data, &object), kResultOk);
    auto* component = static_cast<IComponent*>(object);
    if (component == nullptr)
    {
      return nullptr;
    }
    EXPECT_EQ(component->initialize(m_host->Context()), kResultOk);
    IPtr<IEditController> controller =
      IPtr<IEditController>::Adopt(QueryInterfaceOf<IEditController>(component));
    EXPECT_TRUE(controller);
    EXPECT_EQ(controller->initialize(m_host->Context()), kResultOk)
      << "the second initialisation is answered as done";
    IPtr<IAudioProcessor> processor =
      IPtr<IAudioProcessor>::Adopt(QueryInterfaceOf<IAudioProcessor>(component));
    ProcessSetup setup{kRealtime, kSample32, kBlock, 48000.0};
    EXPECT_EQ(processor->setupProcessing(setup), kResultOk);
    EXPECT_EQ(component->setActive(1), kResultOk);
    EXPECT_EQ(processor->setProcessing(1), kResultOk);
    return component;
  }

  void Destroy(IComponent* component)
  {
    IPtr<IAudioProcessor> processor =
      IPtr<IAudioProcessor>::Adopt(QueryInterfaceOf<IAudioProcessor>(component));
    EXPECT_EQ(processor->setProcessing(0), kResultOk);
    EXPECT_EQ(component->setActive(0), kResultOk);
    EXPECT_EQ(component->terminate(), kResultOk);
    processor.Reset();
    EXPECT_EQ(component->release(), 0u);
  }

  void* m_handle = nullptr;
  IPluginFactory* m_factory = nullptr;
  TestHostApplication* m_host = new TestHostApplication();
};
}  // namespace

TEST_F(VST3ModuleTest, BundleHoldsTheModuleUnderItsArchitectureFolder)
{
  const std::string path = TONVERA_FAKE_GAIN_MODULE;
#if defined(__x86_64__)
  const std::string tail = "/FakeGain.vst3/Contents/x86_64-linux/FakeGain.so";
  ASSERT_GE(path.size(), tail.size());
  EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
#endif
}

TEST_F(VST3ModuleTest, ExportsOnlyTheEntryPoints)
{
  EXPECT_EQ(dlsym(m_handle, "_ZN9Steinberg7FObject6addRefEv"), nullptr);
  EXPECT_EQ(dlsym(m_handle, "_ZN9Steinberg14CPluginFactory14createInstanceEPKcS2_PPv"), nullptr);
  EXPECT_NE(dlsym(m_handle, "ModuleExit"), nullptr);
}

TEST_F(VST3ModuleTest, FactoryDescribesTheGainClass)
{
  PFactoryInfo factoryInfo{};
  ASSERT_EQ(m_factory->getFactoryInfo(&factoryInfo), kResultOk);
  EXPECT_STREQ(factoryInfo.vendor, "Tonvera Tests");
  EXPECT_EQ(factoryInfo.flags, PFactoryInfo::kUnicode);
  ASSERT_EQ(m_factory->countClasses(), 1);
  PClassInfo info{};
  ASSERT_EQ(m_factory->getClassInfo(0, &info), kResultOk);
  EXPECT_TRUE(kFakeGainCid.Matches(info.cid));
  EXPECT_STREQ(info.category, kVstAudioEffectClass);

  IPtr<IPluginFactory3> factory3 = IPtr<IPluginFactory3>::Adopt(QueryInterfaceOf<IPluginFactory3>(m_factory));
  ASSERT_TRUE(factory3);
  EXPECT_EQ(factory3->setHostContext(m_host->Context()), kResultOk);
  PClassInfoW infoW{};
  ASSERT_EQ(factory3->getClassInfoUnicode(0, &infoW), kResultOk);
  EXPECT_EQ(std::u16string(infoW.name), u"Fake Gain");
  EXPECT_EQ(std::u16string(infoW.sdkVersion), u"VST 3.5.2");

  // A second GetPluginFactory answers the same object with another reference.
  auto getFactory = Symbol<GetFactoryProc>(m_handle, "GetPluginFactory");
  IPluginFactory* again = getFactory();
  EXPECT_EQ(again, m_factory);
  again->release();
  factory3.Reset();

  // Once the host lets the factory go, the next call builds a fresh one.
  EXPECT_EQ(m_factory->release(), 0u);
  m_factory = getFactory();
  ASSERT_NE(m_factory, nullptr);
  EXPECT_EQ(m_factory->countClasses(), 1);
}

TEST_F(VST3ModuleTest, ProcessesABlockWithTheLastPointOfTheGainQueue)
{
  IComponent* component = CreateActiveGain();
  ASSERT_NE(component, nullptr);
  EXPECT_GT(m_host->GetRefCount(), 1u) << "the instance holds the host context";
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(component->getBusCount(kAudio, kOutput), 1);
  BusInfo bus{};
  ASSERT_EQ(component->getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
  EXPECT_EQ(std::u16string(bus.name), u"Stereo Out");

  IPtr<IAudioProcessor> processor =
    IPtr<IAudioProcessor>::Adopt(QueryInterfaceOf<IAudioProcessor>(component));
  const auto unity = ProcessBlock(processor.Get(), {});
  EXPECT_FLOAT_EQ(unity[0], 0.5f);
  const auto quarter = ProcessBlock(processor.Get(), {{40, 1.0}, {0, 0.9}, {63, 0.25}});
  EXPECT_FLOAT_EQ(quarter[0], 0.125f);
  EXPECT_FLOAT_EQ(quarter[1], 0.125f) << "the block's last value applies from its first sample";
  processor.Reset();
  Destroy(component);
  EXPECT_EQ(m_host->GetRefCount(), 1u) << "terminate released the host context";
}

TEST_F(VST3ModuleTest, StateMovesIntoASecondInstance)
{
  IComponent* first = CreateActiveGain();
  IComponent* second = CreateActiveGain();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  {
    IPtr<IAudioProcessor> processor = IPtr<IAudioProcessor>::Adopt(QueryInterfaceOf<IAudioProcessor>(first));
    ProcessBlock(processor.Get(), {{0, 0.375}});
  }
  auto* stream = new MemoryStream();
  ASSERT_EQ(first->getState(stream), kResultOk);
  ASSERT_EQ(stream->seek(0, kIBSeekSet, nullptr), kResultOk);
  ASSERT_EQ(second->setState(stream), kResultOk);

  IPtr<IAudioProcessor> processor = IPtr<IAudioProcessor>::Adopt(QueryInterfaceOf<IAudioProcessor>(second));
  EXPECT_FLOAT_EQ(ProcessBlock(processor.Get(), {})[0], 0.5f * 0.375f);
  IPtr<IEditController> controller = IPtr<IEditController>::Adopt(QueryInterfaceOf<IEditController>(second));
  EXPECT_EQ(controller->getParamNormalized(0), 0.375) << "the controller side follows the loaded state";

  // A truncated state is refused and changes nothing.
  auto* truncated = new MemoryStream(std::span<const uint8>(stream->GetData().data(), 6));
  EXPECT_EQ(second->setState(truncated), kResultFalse);
  EXPECT_FLOAT_EQ(ProcessBlock(processor.Get(), {})[0], 0.5f * 0.375f);
  static_cast<IBStream*>(truncated)->release();
  static_cast<IBStream*>(stream)->release();

  processor.Reset();
  controller.Reset();
  Destroy(first);
  Destroy(second);
}
