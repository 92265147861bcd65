// The component and controller base classes: lifecycle, buses, arrangements, processing setup,
// parameters, the component handler and units.

#include "sdk/vst3/EditController.h"
#include "tests/vst3sdk/VST3TestObjects.h"

#include <gtest/gtest.h>

using namespace Steinberg;
using namespace Steinberg::Vst;
using TonveraTest::RecordingHandler;
using TonveraTest::TestHostApplication;

namespace
{
template <typename T>
struct Owned
{
  T* object = new T();
  ~Owned() { EXPECT_EQ(static_cast<FObject*>(object)->release(), 0u); }
  T* operator->() const { return object; }
};

class StereoEffect : public AudioEffect
{
public:
  StereoEffect()
  {
    AddAudioInput(u"Stereo In", SpeakerArr::kStereo);
    AddAudioInput(u"Sidechain", SpeakerArr::kStereo, kAux, 0);
    AddAudioOutput(u"Stereo Out", SpeakerArr::kStereo);
    AddEventInput(u"Midi In");
  }
};
} // namespace

TEST(ComponentTest, InitializeHoldsTheContextOnceTerminateReleasesItAndConnectHoldsOnePeer)
{
  Owned<TestHostApplication> host;
  Owned<AudioEffect> effect;
  ASSERT_EQ(effect->initialize(host->Context()), kResultOk);
  EXPECT_EQ(host->GetRefCount(), 2u);
  EXPECT_EQ(effect->initialize(host->Context()), kResultFalse) << "already initialised";
  EXPECT_EQ(host->GetRefCount(), 2u);
  EXPECT_EQ(effect->terminate(), kResultOk);
  EXPECT_EQ(host->GetRefCount(), 1u);
  EXPECT_FALSE(effect->IsInitialized());
  // Some hosts pass no context; the object is initialised all the same, once.
  Owned<AudioEffect> other;
  EXPECT_EQ(other->initialize(nullptr), kResultOk);
  EXPECT_EQ(other->initialize(host->Context()), kResultFalse);
  EXPECT_EQ(host->GetRefCount(), 1u);

  // The connection point holds one peer.
  Owned<AudioEffect> component;
  Owned<EditController> controller;
  IConnectionPoint* peer = controller.object;
  EXPECT_EQ(component->connect(nullptr), kInvalidArgument);
  ASSERT_EQ(component->connect(peer), kResultOk);
  EXPECT_EQ(controller->GetRefCount(), 2u);
  EXPECT_EQ(component->connect(peer), kResultFalse);
  EXPECT_EQ(component->disconnect(component.object), kInvalidArgument) << "not the peer";
  EXPECT_EQ(component->disconnect(peer), kResultOk);
  EXPECT_EQ(controller->GetRefCount(), 1u);
}

TEST(ComponentTest, BusesAreDescribedPerMediaTypeAndDirection)
{
  Owned<StereoEffect> effect;
  EXPECT_EQ(effect->getBusCount(kAudio, kInput), 2);
  EXPECT_EQ(effect->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(effect->getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(effect->getBusCount(kEvent, kOutput), 0);
  EXPECT_EQ(effect->getBusCount(7, kInput), 0);

  BusInfo info{};
  ASSERT_EQ(effect->getBusInfo(kAudio, kInput, 1, info), kResultOk);
  EXPECT_EQ(info.mediaType, kAudio);
  EXPECT_EQ(info.direction, kInput);
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.busType, kAux);
  EXPECT_EQ(info.flags, 0u) << "the side chain is not active by default";
  EXPECT_EQ(std::u16string(info.name), u"Sidechain");
  ASSERT_EQ(effect->getBusInfo(kEvent, kInput, 0, info), kResultOk);
  EXPECT_EQ(info.channelCount, 16);
  EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));

  EXPECT_EQ(effect->getBusInfo(kAudio, kOutput, 1, info), kInvalidArgument);
  EXPECT_EQ(effect->getBusInfo(kAudio, 2, 0, info), kInvalidArgument);
  EXPECT_EQ(effect->activateBus(kAudio, kInput, 1, 1), kResultOk);
  EXPECT_TRUE(effect->GetBusList(kAudio, kInput)->At(1)->IsActive());
  EXPECT_EQ(effect->activateBus(kEvent, kOutput, 0, 1), kInvalidArgument);
}

TEST(ComponentTest, BusArrangementsMustMatchTheBusCountAndSetupsTake32BitSamplesOnly)
{
  Owned<StereoEffect> effect;
  SpeakerArrangement inputs[2] = {SpeakerArr::k51, SpeakerArr::kMono};
  SpeakerArrangement outputs[1] = {SpeakerArr::k51};
  EXPECT_EQ(effect->setBusArrangements(inputs, 1, outputs, 1), kResultFalse);
  EXPECT_EQ(effect->setBusArrangements(nullptr, 2, outputs, 1), kInvalidArgument);
  ASSERT_EQ(effect->setBusArrangements(inputs, 2, outputs, 1), kResultOk);

  SpeakerArrangement arrangement = 0;
  ASSERT_EQ(effect->getBusArrangement(kInput, 1, arrangement), kResultOk);
  EXPECT_EQ(arrangement, SpeakerArr::kMono);
  BusInfo info{};
  effect->getBusInfo(kAudio, kOutput, 0, info);
  EXPECT_EQ(info.channelCount, 6) << "5.1 has six speakers";
  EXPECT_EQ(effect->getBusArrangement(kOutput, 1, arrangement), kInvalidArgument);

  // The processing setup accepts only 32-bit samples.
  ProcessSetup setup{kRealtime, kSample64, 512, 96000.0};
  EXPECT_EQ(effect->canProcessSampleSize(kSample64), kResultFalse);
  EXPECT_EQ(effect->setupProcessing(setup), kResultFalse);
  EXPECT_EQ(effect->GetProcessSetup().sampleRate, 44100.0) << "a refused setup is not stored";
  setup.symbolicSampleSize = kSample32;
  EXPECT_EQ(effect->setupProcessing(setup), kResultOk);
  EXPECT_EQ(effect->GetProcessSetup().sampleRate, 96000.0);
  EXPECT_EQ(effect->GetProcessSetup().maxSamplesPerBlock, 512);
}

TEST(EditControllerTest, ParametersAnswerByIndexAndByIdInOneRootUnitWithoutPrograms)
{
  Owned<EditControllerEx1> controller;
  ParameterContainer& parameters = controller->GetParameters();
  ASSERT_NE(parameters.AddParameter(u"Depth", 0, u"%", 0.5), nullptr);
  ASSERT_NE(parameters.AddParameter(u"Bypass", 32767, u"", 0.0, 1,
                                    ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass),
            nullptr);
  EXPECT_EQ(parameters.AddParameter(u"Again", 0), nullptr) << "IDs are unique";
  EXPECT_EQ(controller->getParameterCount(), 2);

  ParameterInfo info{};
  ASSERT_EQ(controller->getParameterInfo(1, info), kResultOk);
  EXPECT_EQ(info.id, 32767u);
  EXPECT_EQ(info.flags, 0x10001);
  EXPECT_EQ(info.stepCount, 1);
  EXPECT_EQ(controller->getParameterInfo(2, info), kInvalidArgument);

  EXPECT_EQ(controller->getParamNormalized(0), 0.5);
  EXPECT_EQ(controller->getParamNormalized(10005), 0.0) << "unknown IDs read as 0";
  EXPECT_EQ(controller->setParamNormalized(0, 1.5), kResultOk);
  EXPECT_EQ(controller->getParamNormalized(0), 1.0) << "values are clamped to 0..1";
  EXPECT_EQ(controller->setParamNormalized(10005, 0.5), kInvalidArgument);

  // Unit information: one root unit and no programs.
  ASSERT_EQ(controller->getUnitCount(), 1);
  UnitInfo unit{};
  ASSERT_EQ(controller->getUnitInfo(0, unit), kResultOk);
  EXPECT_EQ(unit.id, kRootUnitId);
  EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
  EXPECT_EQ(unit.programListId, kNoProgramListId);
  EXPECT_EQ(controller->getUnitInfo(1, unit), kInvalidArgument);
  EXPECT_EQ(controller->getProgramListCount(), 0);
  EXPECT_EQ(controller->selectUnit(5), kInvalidArgument);
  EXPECT_EQ(controller->getSelectedUnit(), kRootUnitId);
  EXPECT_EQ(controller->createView("editor"), nullptr);
}

TEST(EditControllerTest, ValueTextsGoBothWays)
{
  Owned<EditController> controller;
  controller->GetParameters().AddParameter(u"Mix", 1, u"", 0.0);
  controller->GetParameters().AddParameter(u"Bypass", 2, u"", 0.0, 1);
  String128 text{};
  ASSERT_EQ(controller->getParamStringByValue(1, 0.25, text), kResultOk);
  EXPECT_EQ(std::u16string(text), u"0.2500");
  controller->GetParameters().GetParameter(1)->SetPrecision(1);
  ASSERT_EQ(controller->getParamStringByValue(1, 0.25, text), kResultOk);
  EXPECT_EQ(std::u16string(text), u"0.2") << "rounded to one digit";
  ASSERT_EQ(controller->getParamStringByValue(2, 1.0, text), kResultOk);
  EXPECT_EQ(std::u16string(text), u"On");

  ParamValue value = -1.0;
  TChar number[] = u" 0.75";
  ASSERT_EQ(controller->getParamValueByString(1, number, value), kResultOk);
  EXPECT_EQ(value, 0.75);
  TChar off[] = u"Off";
  ASSERT_EQ(controller->getParamValueByString(2, off, value), kResultOk);
  EXPECT_EQ(value, 0.0);
  TChar junk[] = u"loud";
  EXPECT_EQ(controller->getParamValueByString(1, junk, value), kResultFalse);
  EXPECT_EQ(controller->getParamValueByString(99, number, value), kInvalidArgument);
  EXPECT_EQ(controller->getParamStringByValue(99, 0.5, text), kInvalidArgument);
}

TEST(EditControllerTest, ComponentHandlerIsHeldUntilTerminate)
{
  Owned<TestHostApplication> host;
  Owned<RecordingHandler> handler;
  Owned<EditController> controller;
  ASSERT_EQ(controller->initialize(host->Context()), kResultOk);
  EXPECT_EQ(controller->PerformEdit(3, 0.5), kResultFalse) << "no handler yet";
  ASSERT_EQ(controller->setComponentHandler(handler.object), kResultOk);
  EXPECT_EQ(handler->GetRefCount(), 2u);
  EXPECT_EQ(controller->PerformEdit(3, 0.5), kResultOk);
  EXPECT_EQ(controller->RestartComponent(kLatencyChanged), kResultOk);
  ASSERT_EQ(handler->edits.size(), 1u);
  EXPECT_EQ(handler->edits[0].id, 3u);
  EXPECT_EQ(handler->restarts, std::vector<int32>{8});
  ASSERT_EQ(controller->terminate(), kResultOk);
  EXPECT_EQ(handler->GetRefCount(), 1u);
  EXPECT_EQ(host->GetRefCount(), 1u);
}
