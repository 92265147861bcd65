// The VST 3 adapter driven through a dlopened test bundle, as a host drives it. The bundle wraps
// a fake plug-in whose read-only slots show what the adapter handed over (see MFakeVst3Plugin).

#include "sdk/vst3/VST3View.h"
#include "tools/host/MTestHostVst3.h"

#include "sdk/vst3/VST3String.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <set>
#include <thread>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
constexpr ParamID kGain = 0, kSwitch = 1, kLastNote = 2, kTempo = 3, kController7 = 4, kRate = 6;
constexpr ParamID kBypass = 32767;
constexpr int kPluginSlots = 7;

class VST3AdapterTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_EQ(m_host.LoadModule(TONVERA_FAKE_VST3_BUNDLE), MTestHostStatus::Ok) << m_host.LastError();
    ASSERT_TRUE(m_host.Activate(44100.0, 8192));
  }

  /// One stereo block of `samples` with a 0.5 constant input; answers the left output.
  std::vector<float> RunStereo(int samples)
  {
    std::vector<float> inL(static_cast<size_t>(samples), 0.5f), inR = inL, outL(inL.size()), outR(inL.size());
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    EXPECT_TRUE(m_host.Process(in, out, samples));
    return outL;
  }

  tresult ProcessWithoutBuses(int samples)
  {
    std::vector<AudioBusBuffers> none;
    return m_host.ProcessBuses(none, none, samples);
  }

  /// The fake plug-in's own edits (see MFakeVst3Plugin): what its editor or audio thread does.
  using Edit = void (*)(std::int32_t index, std::int32_t action, double value);
  Edit EditFunction() { return reinterpret_cast<Edit>(m_host.ModuleSymbol("TonveraFakeVst3Edit")); }

  MTestHostVst3 m_host;
};

TEST_F(VST3AdapterTest, FactoryPublishesOneTonveraEffectClass)
{
  EXPECT_STREQ(m_host.FactoryInfo().vendor, "Quorvel");
  EXPECT_EQ(m_host.FactoryInfo().flags, PFactoryInfo::kUnicode);
  ASSERT_EQ(m_host.ClassCount(), 1);
  const PClassInfo2& info = m_host.ClassInfo();
  EXPECT_STREQ(info.name, "Tonvera");
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_STREQ(info.subCategories, "Fx|Pitch Shift");
  EXPECT_STREQ(info.version, "7.10");
  EXPECT_STREQ(info.sdkVersion, "VST 3.5.2");
  EXPECT_EQ(info.cardinality, PClassInfo::kManyInstances);
  EXPECT_EQ(info.classFlags, 0u);
  // 'Qrvl' 'Vxen' 'Tnvr' 'Tnvr' in the byte order of this platform.
  EXPECT_TRUE(MakeFUID(0x5172766C, 0x5678656E, 0x546E7672, 0x546E7672).Matches(info.cid));
  EXPECT_TRUE(m_host.IsSingleComponent());
}

// A host that lists every parameter without the hidden flag shows the plug-in's parameters and
// the bypass only (the MIDI controller stand-ins are reached through the MIDI mapping).
TEST_F(VST3AdapterTest, ParameterInfosAreUniqueBoundedAndConsistentAndOnlyThePluginsAndBypassAreListed)
{
  ASSERT_EQ(m_host.NumParameters(), kPluginSlots + 1 + 130);
  std::set<ParamID> ids;
  std::vector<ParamID> listed;
  for (int index = 0; index < m_host.NumParameters(); ++index)
  {
    ParameterInfo info = {};
    ASSERT_TRUE(m_host.ParameterInfo(index, info));
    EXPECT_TRUE(ids.insert(info.id).second) << "duplicate ID " << info.id;
    EXPECT_LT(StringLength16(info.title, 128), 128);
    EXPECT_GE(info.defaultNormalizedValue, 0.0);
    EXPECT_LE(info.defaultNormalizedValue, 1.0);
    EXPECT_EQ(info.unitId, 0);
    if ((info.flags & ParameterInfo::kIsHidden) == 0)
      listed.push_back(info.id);
    if (info.id < 10000)
    {
      EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate);
      EXPECT_EQ(info.stepCount, info.id == kSwitch ? 1 : 0);
    }
    else if (info.id == kBypass)
    {
      EXPECT_EQ(String16ToUtf8(info.title, 128), "Bypass");
      EXPECT_EQ(info.flags, 0x10001);
      EXPECT_EQ(info.stepCount, 1);
    }
    else
    {
      EXPECT_EQ(String16ToUtf8(info.title, 128), "Controller " + std::to_string(info.id - 10000 + 1));
      EXPECT_EQ(info.flags & ParameterInfo::kCanAutomate, 0) << info.id;
    }
  }
  EXPECT_EQ(m_host.ParameterName(0), "Gain");
  EXPECT_EQ(*ids.rbegin(), kBypass);
  EXPECT_EQ(ids.count(10129), 1u);
  std::vector<ParamID> expected;
  for (int id = 0; id < kPluginSlots; ++id)
    expected.push_back(static_cast<ParamID>(id));
  expected.push_back(kBypass);
  EXPECT_EQ(listed, expected);
}

TEST_F(VST3AdapterTest, OnlyTheLastPointOfAQueueIsAppliedAndTheBypassParameterFollowsTheBypass)
{
  m_host.QueueParameterChange(kGain, 0.1, 0);
  m_host.QueueParameterChange(kGain, 0.9, 10);
  m_host.QueueParameterChange(kGain, 0.25, 20);
  std::vector<float> out = RunStereo(64);
  EXPECT_DOUBLE_EQ(m_host.ParameterValueById(kGain), 0.25);
  // Gain 2 x 0.25 over the whole block, from its first sample.
  EXPECT_NEAR(out.front(), 0.25f, 1e-6f);
  EXPECT_NEAR(out.back(), 0.25f, 1e-6f);

  // The bypass parameter follows the bypass state.
  m_host.QueueParameterChange(kGain, 0.0);
  m_host.QueueParameterChange(kBypass, 1.0);
  out = RunStereo(32);
  EXPECT_EQ(m_host.ParameterValueById(kBypass), 1.0);
  EXPECT_NEAR(out.back(), 0.5f, 1e-6f) << "bypass passes the input through";
  m_host.QueueParameterChange(kBypass, 0.2);
  out = RunStereo(32);
  EXPECT_EQ(m_host.ParameterValueById(kBypass), 0.0);
  EXPECT_EQ(out.back(), 0.0f);
  EXPECT_EQ(m_host.ParameterValueById(10005), 0.0);
}

// The plug-in's own changes reach the component handler inside gestures; bypass brings its own.
TEST_F(VST3AdapterTest, OwnChangesAndBypassReachTheHandlerInsideGesturesAndHostAutomationBesideThem)
{
  const auto edit = EditFunction();
  ASSERT_NE(edit, nullptr);
  const int steps[][3] = {{kGain, 0, 25},  {kSwitch, 1, 0}, {kSwitch, 0, 100}, {kGain, 0, 50},
                          {kSwitch, 2, 0}, {kSwitch, 2, 0}, {0, 3, 100}};
  for (const auto& [index, action, percent] : steps)
    edit(index, action, percent / 100.0);
  EXPECT_EQ(MTestHostEditText(m_host.TakeEdits()),
            "B0 P0=0.25 E0 B1 P1=1 B0 P0=0.5 E0 E1 B32767 P32767=1 E32767");

  // The echo guard belongs to the thread that sends: the host's automation of another parameter,
  // processed on the audio thread while the editor's edit is inside performEdit, is applied.
  m_host.QueueParameterChange(kBypass, 0.0);
  m_host.QueueParameterChange(kGain, 0.25);
  std::vector<float> out;
  m_host.SetPerformEditHandler([&](ParamID id, ParamValue) {
    if (id != kSwitch || !out.empty())
      return;
    std::thread audio([&] { out = RunStereo(16); });
    audio.join();
  });
  edit(kSwitch, 0, 1.0);
  m_host.SetPerformEditHandler(nullptr);
  ASSERT_FALSE(out.empty());
  EXPECT_NEAR(out.back(), 0.25f, 1e-6f) << "gain 2 x 0.25 on a 0.5 input";
}

// A change the plug-in makes itself has the host read every value again and mark the project
// modified, on the UI thread: at once when made there outside the host's calls, else from the
// timer the next UI-thread call arms on the host's run loop (never inside that call).
TEST_F(VST3AdapterTest, OwnStateChangeRestartsTheValuesAndMarksTheProjectOnTheUIThread)
{
  const auto edit = EditFunction();
  ASSERT_NE(edit, nullptr);
  m_host.ClearRestarts();
  edit(0, 4, 0.0);
  EXPECT_EQ(m_host.RestartCount(kParamValuesChanged), 1);
  EXPECT_EQ(m_host.DirtyCount(), 1);

  edit(0, 4, 1.0); // another thread: nothing reaches the handler from there
  EXPECT_EQ(m_host.RestartCount(kParamValuesChanged), 1);
  EXPECT_EQ(m_host.DirtyCount(), 1);
  m_host.Controller()->setParamNormalized(kGain, 0.5);
  EXPECT_EQ(m_host.RestartCount(kParamValuesChanged), 1) << "not inside the host's call";
  EXPECT_EQ(m_host.RunHostTimers(), 1);
  EXPECT_EQ(m_host.RestartCount(kParamValuesChanged), 2);
  EXPECT_EQ(m_host.DirtyCount(), 2);
  EXPECT_EQ(m_host.HostTimerCount(), 0);
}

// A value the plug-in moves itself (a learnt controller on the audio thread) reaches the host's
// control as an output parameter change of the next block, once, with no edit (no automation
// written); a value the host sets itself is not sent back.
TEST_F(VST3AdapterTest, ValuesThePluginMovesItselfLeaveAsOutputParameterChanges)
{
  const auto edit = EditFunction();
  ASSERT_NE(edit, nullptr);
  RunStereo(16);
  m_host.TakeOutputParameterValues();
  m_host.TakeEdits();
  edit(kGain, 5, 0.75);
  RunStereo(16);
  const auto values = m_host.TakeOutputParameterValues();
  ASSERT_EQ(values.count(kGain), 1u);
  EXPECT_DOUBLE_EQ(values.at(kGain), 0.75);
  EXPECT_EQ(values.size(), 1u);
  EXPECT_TRUE(m_host.TakeEdits().empty()) << "no automation";
  RunStereo(16);
  EXPECT_TRUE(m_host.TakeOutputParameterValues().empty()) << "once";
  m_host.QueueParameterChange(kGain, 0.3);
  RunStereo(16);
  RunStereo(16);
  EXPECT_TRUE(m_host.TakeOutputParameterValues().empty()) << "the host's own value is not echoed";
}

TEST_F(VST3AdapterTest, MidiControllersMapToTheControllerParameters)
{
  auto* mapping = QueryInterfaceOf<IMidiMapping>(m_host.Component());
  ASSERT_NE(mapping, nullptr);
  for (auto [bus, channel] : {std::pair{0, 0}, std::pair{1, 15}, std::pair{3, 7}})
  {
    ParamID id = 0;
    EXPECT_EQ(mapping->getMidiControllerAssignment(bus, static_cast<int16>(channel), 7, id), kResultOk);
    EXPECT_EQ(id, 10007u);
  }
  ParamID id = 0;
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, kPitchBend, id), kResultOk);
  EXPECT_EQ(id, 10129u);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, 130, id), kResultFalse);
  mapping->release();

  // Controller 7 at full scale reaches the plug-in as MIDI controller 7, value 127.
  m_host.QueueParameterChange(10007, 1.0);
  RunStereo(16);
  EXPECT_DOUBLE_EQ(m_host.ParameterValueById(kController7), 1.0);
}

TEST_F(VST3AdapterTest, SampleRateIsRoundedHalfUpAndSmallOrWideRequestsChangeNothing)
{
  const struct
  {
    double requested;
    int32 sampleSize;
    tresult result;
    double expected;
  } cases[] = {{44100.4, kSample32, kResultOk, 44100.0},
               {88200.0, kSample32, kResultOk, 88200.0},
               {44100.5, kSample32, kResultOk, 44101.0},
               {100.0, kSample32, kResultOk, 44101.0},
               {96000.0, kSample64, kResultFalse, 44101.0},
               {600000.0, kSample32, kResultFalse, 44101.0}}; // refused by the plug-in
  for (const auto& c : cases)
  {
    ProcessSetup setup{kRealtime, c.sampleSize, 512, c.requested};
    EXPECT_EQ(m_host.Processor()->setupProcessing(setup), c.result) << c.requested;
    EXPECT_NEAR(m_host.ParameterValueById(kRate) * 200000.0, c.expected, 1e-6) << c.requested;
  }
  EXPECT_EQ(m_host.Processor()->canProcessSampleSize(kSample64), kResultFalse);
  EXPECT_NEAR(RunStereo(64).back(), 0.5f, 1e-6f) << "the previous set-up still processes";
}

// The controller answers what the host set; after a state is loaded (setState, or
// setComponentState alone) it answers that state's values for every parameter and the bypass,
// not a value the host set on it before; a bypass the processor received travels through
// getState and setComponentState as processed.
TEST_F(VST3AdapterTest, ControllerAnswersTheLoadedStateOverValuesTheHostSetBefore)
{
  IEditController* controller = m_host.Controller();
  const std::vector<std::uint8_t> state = m_host.GetState();
  auto hostSetsEverything = [&] {
    for (int id = 0; id < kPluginSlots; ++id)
      controller->setParamNormalized(static_cast<ParamID>(id), 0.875);
    controller->setParamNormalized(kBypass, 1.0);
    controller->setParamNormalized(10007, 0.5);
  };
  auto expectPluginValues = [&](const char* step) {
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kGain), 0.5) << step;
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kSwitch), 0.0) << step;
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kBypass), 0.0) << step;
  };
  hostSetsEverything();
  for (const auto& [id, value] :
       {std::pair{kGain, 0.875}, std::pair{kBypass, 1.0}, std::pair{ParamID{10007}, 0.5}})
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(id), value) << "what the host set, " << id;
  ASSERT_TRUE(m_host.SetState(state));
  expectPluginValues("setState");
  hostSetsEverything();
  ASSERT_TRUE(m_host.SetControllerState(state));
  expectPluginValues("setComponentState");

  // The host told the controller "bypassed"; its automation reaches the processor as on, then off.
  controller->setParamNormalized(kBypass, 1.0);
  m_host.QueueProcessorChange(kBypass, 1.0);
  RunStereo(8);
  m_host.QueueProcessorChange(kBypass, 0.0);
  RunStereo(8);
  ASSERT_TRUE(m_host.SetControllerState(m_host.GetState()));
  EXPECT_DOUBLE_EQ(controller->getParamNormalized(kBypass), 0.0);
}

TEST_F(VST3AdapterTest, MidiOutputKeepsEachMessageKindAndMappedControllersKeepTheirOffset)
{
  const struct
  {
    std::uint8_t bytes[3];
    int type;                  // -1: no event
    int number, value, value2; // of a legacy controller event
  } cases[] = {{{0x9F, 60, 100}, Event::kNoteOnEvent, 0, 0, 0},
               {{0x8F, 61, 64}, Event::kNoteOffEvent, 0, 0, 0}, // echoed as a note-on of velocity 0
               {{0xAF, 62, 33}, Event::kPolyPressureEvent, 0, 0, 0},
               {{0xBF, 7, 99}, Event::kLegacyMIDICCOutEvent, 7, 99, 0},
               {{0xCF, 5, 0}, Event::kLegacyMIDICCOutEvent, 130, 5, 0},
               {{0xDF, 44, 0}, Event::kLegacyMIDICCOutEvent, kAfterTouch, 44, 0},
               {{0xEF, 0x11, 0x40}, Event::kLegacyMIDICCOutEvent, kPitchBend, 0x11, 0x40},
               {{0xFF, 0, 0}, -1, 0, 0, 0}}; // a system message has no event
  for (const auto& c : cases)
  {
    const std::size_t before = m_host.OutputEvents().size();
    m_host.SendMidi({{5, {c.bytes[0], c.bytes[1], c.bytes[2]}}});
    RunStereo(16);
    ASSERT_EQ(m_host.OutputEvents().size(), before + (c.type < 0 ? 0 : 1)) << int{c.bytes[0]};
    const Event& e = m_host.OutputEvents().back();
    if (c.type >= 0)
    {
      EXPECT_EQ(std::tuple(e.type + 0, e.sampleOffset), std::tuple(c.type, 5)) << int{c.bytes[0]};
    }
    if (c.number != 0)
    {
      EXPECT_EQ(std::tuple(e.midiCCOut.controlNumber + 0, e.midiCCOut.value + 0, e.midiCCOut.value2 + 0),
                std::tuple(c.number, c.value, c.value2));
    }
  }
  m_host.QueueParameterChange(10007, 1.0, 300);
  RunStereo(512);
  EXPECT_EQ(m_host.OutputEvents().back().sampleOffset, 300) << "the mapped controller keeps its offset";
}

TEST_F(VST3AdapterTest, SecondInitializeAndReinitialisationAfterTerminateKeepOneSetOfBusesAndParameters)
{
  auto counts = [&] {
    return std::tuple{m_host.NumParameters(), m_host.Component()->getBusCount(kAudio, kInput),
                      m_host.Component()->getBusCount(kAudio, kOutput),
                      m_host.Component()->getBusCount(kEvent, kInput)};
  };
  const auto before = counts();
  EXPECT_EQ(before, std::tuple(kPluginSlots + 131, 1, 1, 1));
  EXPECT_EQ(m_host.Component()->initialize(nullptr), kResultOk);
  EXPECT_EQ(counts(), before);

  // Deactivation, processing flags and terminate in an unusual order, then a fresh start.
  m_host.Component()->setActive(0);
  m_host.Processor()->setProcessing(1);
  EXPECT_EQ(m_host.Component()->terminate(), kResultOk);
  EXPECT_EQ(m_host.NumParameters(), 0);
  m_host.Component()->setActive(0);
  EXPECT_EQ(m_host.Component()->initialize(nullptr), kResultOk);
  EXPECT_EQ(counts(), before);
  ASSERT_TRUE(m_host.Activate(48000.0, 256));
  m_host.QueueParameterChange(kGain, 0.5);
  EXPECT_NEAR(RunStereo(256).back(), 0.5f, 1e-6f);
}

TEST_F(VST3AdapterTest, BlocksWithoutAudioApplyParametersTransportAndEventsButGiveNoAudioOrMidiOutput)
{
  m_host.QueueParameterChange(kGain, 0.75);
  m_host.Transport().tempo = 150.0;
  m_host.SendMidi({MTestHostMidiEvent{3, {0x90, 64, 90}}});
  EXPECT_EQ(ProcessWithoutBuses(128), kResultOk);
  EXPECT_DOUBLE_EQ(m_host.ParameterValueById(kGain), 0.75);
  EXPECT_NEAR(m_host.ParameterValueById(kTempo), 0.15, 1e-12);
  EXPECT_NEAR(m_host.ParameterValueById(kLastNote), 64.0 / 127.0, 1e-12);
  EXPECT_TRUE(m_host.OutputEvents().empty());

  // The echo the plug-in queued comes out with the next block that has audio.
  RunStereo(16);
  ASSERT_EQ(m_host.OutputEvents().size(), 1u);
  const Event& echo = m_host.OutputEvents().front();
  EXPECT_EQ(echo.type, Event::kNoteOnEvent);
  EXPECT_EQ(echo.noteOn.pitch, 64);
  EXPECT_EQ(echo.noteOn.noteId, -1);
  EXPECT_NEAR(echo.noteOn.velocity, 100.0f / 127.0f, 1e-6f);

  // Buses without buffers: a parameter flush applies, with samples nothing is written anywhere.
  AudioBusBuffers bus = {};
  bus.numChannels = 2;
  std::vector<AudioBusBuffers> inputs{bus}, outputs{bus};
  m_host.QueueParameterChange(kGain, 0.125);
  EXPECT_EQ(m_host.ProcessBuses(inputs, outputs, 0), kResultOk);
  EXPECT_DOUBLE_EQ(m_host.ParameterValueById(kGain), 0.125);
  EXPECT_EQ(m_host.ProcessBuses(inputs, outputs, 64), kResultOk);
}

TEST_F(VST3AdapterTest, VariableBlocksInMonoAndStereoWithBypassTogglingStayFiniteAndFreeOfDenormals)
{
  for (SpeakerArrangement arrangement : {SpeakerArr::kMono, SpeakerArr::kStereo})
  {
    m_host.Deactivate();
    SpeakerArrangement in = arrangement, out = arrangement;
    ASSERT_EQ(m_host.Processor()->setBusArrangements(&in, 1, &out, 1), kResultOk);
    ASSERT_TRUE(m_host.Activate(48000.0, 8192));
    ASSERT_EQ(m_host.NumInputs(), SpeakerArr::GetChannelCount(arrangement));
    const int channels = m_host.NumInputs();
    int toggle = 0;
    for (int samples : {1, 2, 3, 17, 64, 333, 1024, 4097, 8192})
    {
      m_host.QueueParameterChange(kBypass, (toggle++ % 2) ? 1.0 : 0.0);
      std::vector<std::vector<float>> inputs(channels), outputs(channels);
      std::vector<float*> in_ptrs, out_ptrs;
      for (int c = 0; c < channels; ++c)
      {
        inputs[c].resize(static_cast<size_t>(samples));
        for (int i = 0; i < samples; ++i)
        {
          // A tone decaying towards the smallest normal floats, where careless arithmetic makes
          // denormals; the input itself holds none (a host's own denormals pass a bypass as they are).
          const double x = std::sin(0.05 * i) * std::exp(-0.02 * i) * 1e-30;
          inputs[c][static_cast<size_t>(i)] = std::fabs(x) < FLT_MIN ? 0.0f : static_cast<float>(x);
        }
        outputs[c].assign(static_cast<size_t>(samples), std::nanf(""));
        in_ptrs.push_back(inputs[c].data());
        out_ptrs.push_back(outputs[c].data());
      }
      ASSERT_TRUE(m_host.Process(in_ptrs.data(), out_ptrs.data(), samples));
      for (const auto& channel : outputs)
      {
        for (float x : channel)
        {
          ASSERT_TRUE(std::isfinite(x)) << samples;
          ASSERT_TRUE(x == 0.0f || std::fabs(x) >= FLT_MIN) << "denormal at block size " << samples;
        }
      }
    }
  }

  // Wider arrangements fall back to stereo.
  m_host.Deactivate();
  SpeakerArrangement in = SpeakerArr::k51, out = SpeakerArr::k51;
  EXPECT_EQ(m_host.Processor()->setBusArrangements(&in, 1, &out, 1), kResultOk);
  SpeakerArrangement current = 0;
  EXPECT_EQ(m_host.Processor()->getBusArrangement(kOutput, 0, current), kResultOk);
  EXPECT_EQ(current, SpeakerArr::kStereo);
  EXPECT_EQ(m_host.Processor()->setBusArrangements(nullptr, 1, &out, 1), kInvalidArgument);
}

TEST_F(VST3AdapterTest, ZeroChannelInputBusReadsAsSilenceAndClearsTheOutputSilenceFlags)
{
  std::vector<float> left(256, 7.0f), right(256, 7.0f);
  float* out[2] = {left.data(), right.data()};
  AudioBusBuffers input = {};
  AudioBusBuffers output = {};
  output.numChannels = 2;
  output.channelBuffers32 = out;
  output.silenceFlags = 3;
  std::vector<AudioBusBuffers> inputs{input}, outputs{output};
  ASSERT_EQ(m_host.ProcessBuses(inputs, outputs, 256), kResultOk);
  for (float x : left)
  {
    ASSERT_EQ(x, 0.0f);
  }
  EXPECT_EQ(right.back(), 0.0f);
  EXPECT_EQ(outputs[0].silenceFlags, 0u);
}

// (A state travelling to a fresh instance is the cross-format suite's, with the real plug-in.)
TEST_F(VST3AdapterTest, DamagedStateChangesNothing)
{
  m_host.QueueParameterChange(kGain, 0.3);
  RunStereo(8);
  std::vector<std::uint8_t> damaged = m_host.GetState();
  ASSERT_FALSE(damaged.empty());
  damaged.resize(damaged.size() / 2);
  damaged[damaged.size() - 1] ^= 0x5A;
  EXPECT_FALSE(m_host.SetState(damaged));
  EXPECT_FALSE(m_host.SetState({}));
  EXPECT_DOUBLE_EQ(m_host.ParameterValueById(kGain), 0.3);
}

TEST_F(VST3AdapterTest, TextParsingAnswersADefinedClampedResultForEveryId)
{
  const struct
  {
    ParamID id;
    const char* text;
    tresult result;
    double value;
  } cases[] = {{kGain, "0.4", kResultOk, 0.4},     {kGain, "7", kResultOk, 1.0},
               {kGain, "-3", kResultOk, 0.0},      {kBypass, "0.7", kResultOk, 0.7},
               {10005, "abc", kResultFalse, -1.0}, {20000, "0.5", kInvalidArgument, -1.0}};
  for (const auto& c : cases)
  {
    String128 text = {};
    CopyUtf8ToString16(text, c.text);
    ParamValue value = -1.0;
    EXPECT_EQ(m_host.Controller()->getParamValueByString(c.id, text, value), c.result) << c.id << c.text;
    EXPECT_DOUBLE_EQ(value, c.value) << c.id << " " << c.text;
  }
  EXPECT_TRUE(m_host.SetParameterFromText(kGain, "0.625"));
  RunStereo(4);
  EXPECT_DOUBLE_EQ(m_host.ParameterValueById(kGain), 0.625);
  EXPECT_EQ(m_host.ParameterDisplay(0), "0.625");
}

TEST_F(VST3AdapterTest, ViewsAndUnknownIdsGetNeutralAnswers)
{
  IPlugView* view = m_host.Controller()->createView("editor");
#ifdef TONVERA_NO_EDITOR
  EXPECT_EQ(view, nullptr) << "a build without the editor offers no view";
#else
  ASSERT_NE(view, nullptr);
  view->release();
#endif
  EXPECT_EQ(m_host.Controller()->createView("other"), nullptr);
  EXPECT_EQ(m_host.Controller()->createView(nullptr), nullptr);
  EXPECT_EQ(m_host.Controller()->getParamNormalized(99999), 0.0);
  String128 text = {};
  EXPECT_EQ(m_host.Controller()->getParamStringByValue(99999, 0.5, text), kInvalidArgument);
  EXPECT_EQ(m_host.Controller()->setComponentState(nullptr), kInvalidArgument);
}
} // namespace
