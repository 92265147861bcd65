// The VST 2.4 adapter seen from a host: the fake adapter module is loaded through the test host
// and driven only through the VST 2.4 interface; its exported probe shows what reached the plug-in.

#include "tests/hostvst2/MFakeAdapterProbe.h"
#include "tests/support/MAllocationCounter.h"
#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHostVst2.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace Vst2;

namespace
{
constexpr int kParams = 3;

VstSpeakerArrangement Arrangement(std::int32_t type, std::int32_t channels)
{
  VstSpeakerArrangement arrangement{};
  arrangement.type = type;
  arrangement.numChannels = channels;
  return arrangement;
}

class MAudioPluginVSTAdapterTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // Held open for the whole run (never unloaded): the module's one-time statics stay reachable,
    // and the tests' own hosts load and unload it on top as a DAW would.
    static MSharedLibrary* library = new MSharedLibrary;
    std::string error;
    if (!library->IsOpen())
    {
      ASSERT_TRUE(library->Open(TONVERA_FAKE_ADAPTER_MODULE, error)) << error;
    }
    m_library = library;
    m_probe = Symbol<MFakeProbeFunction>("TonveraFakeProbe");
    m_sendAutomation = Symbol<MFakeSendAutomationFunction>("TonveraFakeSendAutomation");
    m_gesture = Symbol<MFakeGestureFunction>("TonveraFakeGesture");
    ASSERT_NE(m_probe, nullptr);
    ASSERT_NE(m_sendAutomation, nullptr);
    ASSERT_NE(m_gesture, nullptr);
  }

  // A test function of the fake module (null when it has none).
  template <class Function>
  Function Symbol(const char* name) const
  {
    return reinterpret_cast<Function>(m_library->Symbol(name));
  }

  void Load(MTestHostVst2& host)
  {
    ASSERT_EQ(host.LoadModule(TONVERA_FAKE_ADAPTER_MODULE), MTestHostStatus::Ok) << host.LastError();
  }

  MFakeAdapterProbe Probe() const
  {
    MFakeAdapterProbe probe;
    m_probe(&probe);
    return probe;
  }

  /// One processReplacing call of `samples` with four input and two output buffers.
  void ProcessBlock(MTestHostVst2& host, int samples, bool nullSideChain = false)
  {
    m_buffers.assign(6, std::vector<float>(static_cast<std::size_t>(samples), 0.25f));
    for (int i = 0; i < 4; ++i)
      m_inputs[i] = m_buffers[static_cast<std::size_t>(i)].data();
    if (nullSideChain)
      m_inputs[2] = nullptr;
    m_outputs[0] = m_buffers[4].data();
    m_outputs[1] = m_buffers[5].data();
    ASSERT_TRUE(host.ProcessReplacing(m_inputs, m_outputs, samples));
  }

  MSharedLibrary* m_library = nullptr;
  MFakeProbeFunction m_probe = nullptr;
  MFakeSendAutomationFunction m_sendAutomation = nullptr;
  MFakeGestureFunction m_gesture = nullptr;
  MTestHostVst2 m_host; // loaded by the tests that use it
  std::vector<std::vector<float>> m_buffers;
  float* m_inputs[4] = {};
  float* m_outputs[2] = {};
};

TEST_F(MAudioPluginVSTAdapterTest, RecordAndTextsDescribeThePluginWithinTheirLimits)
{
  Load(m_host);
  const AEffect* effect = m_host.Effect();
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->numPrograms, 0);
  EXPECT_EQ(effect->numParams, kParams);
  EXPECT_EQ(effect->numInputs, 4);
  EXPECT_EQ(effect->numOutputs, 2);
#ifdef TONVERA_NO_EDITOR
  const VstInt32 editorFlag = 0; // a build without the editor offers none
#else
  const VstInt32 editorFlag = effFlagsHasEditor;
#endif
  EXPECT_EQ(effect->flags, effFlagsCanReplacing | effFlagsProgramChunks | editorFlag);
  EXPECT_EQ(effect->uniqueID, ('T' << 24) | ('n' << 16) | ('v' << 8) | 'r');
  EXPECT_EQ(effect->version, 1);
  EXPECT_EQ(effect->initialDelay, 64);
  EXPECT_EQ(m_host.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(m_host.Dispatch(effGetPlugCategory), kPlugCategUnknown);
  EXPECT_EQ(m_host.Dispatch(effEditOpen), 0) << "no parent window";
  EXPECT_EQ(m_host.QueryText(effGetVendorString).text, "Quorvel");
  EXPECT_EQ(m_host.ParameterName(0), "ABCDEFGHIJKLMNOPQRSTUVWX") << "cut to its limit";
  EXPECT_EQ(m_host.ParameterName(1), "Gain");
  EXPECT_EQ(m_host.ParameterDisplay(1).rfind("50.0 ", 0), 0u);
}

TEST_F(MAudioPluginVSTAdapterTest, FourInputsAndTwoOutputsAreSpreadOverEightSlotsPerBus)
{
  Load(m_host);
  ASSERT_TRUE(m_host.Activate(44100.0, 256));
  ProcessBlock(m_host, 64);
  MFakeAdapterProbe probe = Probe();
  EXPECT_EQ(probe.inputs[0], m_inputs[0]);
  for (int slot = 1; slot < 8; ++slot)
    EXPECT_EQ(probe.inputs[slot], m_inputs[1]) << slot;
  EXPECT_EQ(probe.inputs[8], m_inputs[2]);
  for (int slot = 9; slot < 16; ++slot)
    EXPECT_EQ(probe.inputs[slot], m_inputs[3]) << slot;
  EXPECT_EQ(probe.outputs[0], m_outputs[0]);
  for (int slot = 1; slot < 8; ++slot)
    EXPECT_EQ(probe.outputs[slot], m_outputs[1]) << slot;
  EXPECT_FLOAT_EQ(m_outputs[0][10], 0.25f + 1e-15f);

  // A null first side-chain pointer: the plug-in gets none of the host's pointers for that bus
  // and substitutes its own silent buffer.
  ProcessBlock(m_host, 64, true);
  probe = Probe();
  EXPECT_NE(probe.inputs[8], nullptr);
  for (int slot = 8; slot < 16; ++slot)
    for (float* hostPointer : {m_buffers[2].data(), m_buffers[3].data()})
      EXPECT_NE(probe.inputs[slot], hostPointer) << slot;
  EXPECT_EQ(probe.inputs[8][0], 0.0f);
}

TEST_F(MAudioPluginVSTAdapterTest, EchoOfOwnAutomationIsIgnored)
{
  Load(m_host);
  m_host.SetParameter(1, 0.3f);
  const std::int32_t setsBefore = Probe().setValueCalls;
  m_sendAutomation(1, 0.7);
  ASSERT_EQ(m_host.Automations().size(), 1u);
  EXPECT_EQ(m_host.Automations()[0].index, 1);
  EXPECT_FLOAT_EQ(m_host.Automations()[0].value, 0.7f);
  EXPECT_EQ(Probe().setValueCalls, setsBefore);
  EXPECT_FLOAT_EQ(m_host.GetParameter(1), 0.3f);
  // Outside the automation the host's changes arrive again.
  m_host.SetParameter(1, 0.9f);
  EXPECT_FLOAT_EQ(m_host.GetParameter(1), 0.9f);
  m_sendAutomation(kParams, 0.5);
  EXPECT_EQ(m_host.Automations().size(), 1u);
}

// The echo guard belongs to the thread that sends: a host value arriving on another thread (the
// audio thread in a real session) while the editor's send is inside the host is applied.
TEST_F(MAudioPluginVSTAdapterTest, HostValueFromAnotherThreadDuringOwnAutomationIsApplied)
{
  Load(m_host);
  m_host.SetParameter(0, 0.1f);
  bool delivered = false;
  m_host.SetAutomateHandler([&](int index, float) {
    if (index != 1 || delivered)
      return;
    delivered = true;
    std::thread audio([&] { m_host.SetParameter(0, 0.6f); });
    audio.join();
  });
  m_sendAutomation(1, 0.7);
  m_host.SetAutomateHandler(nullptr);
  ASSERT_TRUE(delivered);
  EXPECT_FLOAT_EQ(m_host.GetParameter(0), 0.6f);
}

// A value the plug-in moves itself (a learnt controller) has the host read the values again from
// the next idle tick, once, without automation; a value the host sets itself is not reported back.
TEST_F(MAudioPluginVSTAdapterTest, ValuesThePluginMovesItselfUpdateTheHostsDisplayFromIdle)
{
  Load(m_host);
  ASSERT_TRUE(m_host.Open());
  auto move = Symbol<MFakeMoveParameterFunction>("TonveraFakeMoveParameter");
  ASSERT_NE(move, nullptr);
  m_host.IdleEditor();
  m_host.ClearRecords();
  move(0, 0.8);
  EXPECT_EQ(m_host.UpdateDisplayCount(), 0) << "not from the plug-in's thread";
  m_host.IdleEditor();
  EXPECT_EQ(m_host.UpdateDisplayCount(), 1);
  EXPECT_TRUE(m_host.Automations().empty()) << "no automation";
  EXPECT_FLOAT_EQ(m_host.GetParameter(0), 0.8f);
  m_host.IdleEditor();
  EXPECT_EQ(m_host.UpdateDisplayCount(), 1) << "once";
  m_host.SetParameter(0, 0.3f);
  m_host.IdleEditor();
  EXPECT_EQ(m_host.UpdateDisplayCount(), 1) << "the host's own value is not reported back";
}

// A change the plug-in makes itself becomes audioMasterUpdateDisplay on the host's UI thread: at
// once when made there outside the host's calls, else at the next effEditIdle (never inside
// another host call such as resume).
TEST_F(MAudioPluginVSTAdapterTest, OwnStateChangeUpdatesTheHostsDisplayOnItsUIThread)
{
  Load(m_host);
  ASSERT_TRUE(m_host.Open());
  auto report = Symbol<MFakeReportStateChangedFunction>("TonveraFakeReportStateChanged");
  ASSERT_NE(report, nullptr);
  m_host.ClearRecords();
  report(0);
  EXPECT_EQ(m_host.UpdateDisplayCount(), 1);
  report(1);
  EXPECT_EQ(m_host.UpdateDisplayCount(), 1) << "not from another thread";
  ASSERT_TRUE(m_host.Resume());
  EXPECT_EQ(m_host.UpdateDisplayCount(), 1) << "not inside resume";
  m_host.IdleEditor();
  EXPECT_EQ(m_host.UpdateDisplayCount(), 2);
}

// Every change reaches the host inside a gesture: alone it brings its own; inside an editor
// gesture on its slot (nested or not) it joins that one; an end without a begin and an index the
// host does not know send nothing; an editor that goes away mid-gesture closes what it opened.
// Steps: "b1"/"e1" open/close a gesture on slot 1, "s1=0.5" sends a value, "a" closes them all.
TEST_F(MAudioPluginVSTAdapterTest, EveryChangeReachesTheHostInsideOneGesture)
{
  const std::pair<const char*, const char*> cases[] = {
      {"s1=0.25", "B1 P1=0.25 E1"},
      {"b1 s1=0.5 s1=0.75 e1", "B1 P1=0.5 P1=0.75 E1"},
      {"b0 b0 s0=0.5 e0 s0=0.625 e0", "B0 P0=0.5 P0=0.625 E0"},
      {"b0 s2=0.5 e0", "B0 B2 P2=0.5 E2 E0"},
      {"e1 b3 s3=0.5 e-1", ""},
      {"b2 b0 s0=0.5 a", "B2 B0 P0=0.5 E0 E2"},
  };
  Load(m_host);
  for (const auto& [steps, edits] : cases)
  {
    m_host.ClearRecords();
    std::istringstream words(steps);
    for (std::string word; words >> word;)
    {
      const int index = word.size() > 1 ? std::atoi(word.c_str() + 1) : 0;
      if (word[0] == 's')
        m_sendAutomation(index, std::atof(word.c_str() + word.find('=') + 1));
      else
        m_gesture(index, word[0] == 'b'   ? kFakeGestureBegin
                         : word[0] == 'e' ? kFakeGestureEnd
                                          : kFakeGestureEndAll);
    }
    EXPECT_EQ(MTestHostEditText(m_host.Edits()), edits) << steps;
  }
}

TEST_F(MAudioPluginVSTAdapterTest, ChunkRestoresTheState)
{
  Load(m_host);
  m_host.SetParameter(0, 0.125f);
  m_host.SetParameter(2, 1.0f);
  // (The chunk is the plug-in's state as saved: its text and compression are the framework's
  // state suite's, and the interfaces giving the same bytes is the cross-format suite's.)
  const std::vector<std::uint8_t> chunk = m_host.GetChunk(false);
  m_host.SetParameter(0, 0.9f);
  m_host.SetParameter(2, 0.0f);
  EXPECT_EQ(m_host.SetChunk(chunk, true), 1);
  EXPECT_FLOAT_EQ(m_host.GetParameter(0), 0.125f);
  EXPECT_FLOAT_EQ(m_host.GetParameter(2), 1.0f);
}

TEST_F(MAudioPluginVSTAdapterTest, UndecodableChunksLeaveTheStateUnchanged)
{
  Load(m_host);
  m_host.SetParameter(0, 0.125f);
  const std::vector<std::uint8_t> chunk = m_host.GetChunk(false);
  m_host.SetParameter(0, 0.625f);
  std::vector<std::vector<std::uint8_t>> bad = {{'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'}, {0x78}};
  for (std::size_t size = 1; size < chunk.size(); ++size)
    bad.emplace_back(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(size));
  for (const std::vector<std::uint8_t>& bytes : bad)
  {
    EXPECT_EQ(m_host.SetChunk(bytes, false), 0) << bytes.size();
    EXPECT_FLOAT_EQ(m_host.GetParameter(0), 0.625f) << bytes.size();
  }
}

TEST_F(MAudioPluginVSTAdapterTest, CanDoAnswersByExactText)
{
  Load(m_host);
  const std::pair<const char*, VstIntPtr> cases[] = {{"receiveVstEvents", 1},
                                                     {"receiveVstMidiEvent", 1},
                                                     {"sendVstMidiEvents", 1},
                                                     {"plugAsChannelInsert", 1},
                                                     {"canMono", 1},
                                                     {"plugAsSend", 1},
                                                     {"receiveVstTimeInfo", 1},
                                                     {"bypass", -1},
                                                     {"offline", 0},
                                                     {"receivevstevents", 0},
                                                     {"", 0}};
  for (const auto& [text, answer] : cases)
    EXPECT_EQ(m_host.CanDo(text), answer) << text;
  EXPECT_EQ(m_host.Dispatch(effSetBypass, 0, 1), 0);
  EXPECT_TRUE(m_host.WantsMidi());
}

TEST_F(MAudioPluginVSTAdapterTest, PositionJumpWhilePlayingKeepsThePlayState)
{
  Load(m_host);
  ASSERT_TRUE(m_host.Activate(44100.0, 512));
  MTestHostTransport& transport = m_host.Transport();
  transport.playing = true;
  transport.ppqPosition = 4.0;
  transport.barStartPosition = 3.99999;
  ProcessBlock(m_host, 64); // first block: 4 quarter notes from the start counts as a jump
  transport.ppqPosition = 5.0;
  ProcessBlock(m_host, 64);
  MFakeAdapterProbe probe = Probe();
  EXPECT_TRUE(probe.playing);
  EXPECT_FALSE(probe.positionJumped);
  EXPECT_DOUBLE_EQ(probe.barPosition, 4.0);

  transport.ppqPosition = 7.5; // 2.5 quarter notes on
  ProcessBlock(m_host, 64);
  probe = Probe();
  EXPECT_TRUE(probe.positionJumped);
  EXPECT_TRUE(probe.playing);
  EXPECT_DOUBLE_EQ(probe.songPosition, 7.5);

  transport.ppqPosition = 9.5; // exactly 2 on: a normal step
  ProcessBlock(m_host, 64);
  EXPECT_FALSE(Probe().positionJumped);
  // A host that leaves the signature out (0/0) keeps the last one.
  transport.playing = false;
  transport.timeSigNumerator = 0;
  transport.timeSigDenominator = 0;
  ProcessBlock(m_host, 64);
  EXPECT_FALSE(Probe().playing);
  EXPECT_EQ(Probe().denominator, 4);
}

// Bad parameter and pin indices and null buffers stop in the wrapper classes (their own suite has
// them); what reaches the adapter is any block length up to the announced one, at any rate.
TEST_F(MAudioPluginVSTAdapterTest, AnyBlockLengthAndRateIsProcessedAndRatesOf100HzOrLessAreNotPassedOn)
{
  Load(m_host);
  const std::int32_t inits = Probe().initProcessingCalls;
  ASSERT_TRUE(m_host.SetSampleRate(50.0f));
  EXPECT_DOUBLE_EQ(Probe().sampleRate, 44100.0);
  EXPECT_EQ(Probe().initProcessingCalls, inits);
  ASSERT_TRUE(m_host.Activate(44100.0, 65536));
  ProcessBlock(m_host, 0);
  for (int samples : {1, 2, 3, 31, 1000, 4097, 65536, 17})
    ProcessBlock(m_host, samples);
  for (float rate : {8000.0f, 11025.0f, 96000.0f, 192000.0f, 384000.0f})
  {
    ASSERT_TRUE(m_host.SetSampleRate(rate));
    ProcessBlock(m_host, 512);
    EXPECT_DOUBLE_EQ(Probe().sampleRate, rate);
  }
  EXPECT_FLOAT_EQ(m_outputs[1][511], 0.25f + 1e-15f);
}

TEST_F(MAudioPluginVSTAdapterTest, PinsAndSpeakerArrangements)
{
  Load(m_host);
  VstPinProperties pin{};
  ASSERT_TRUE(m_host.GetPinProperties(true, 3, pin));
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_EQ(pin.arrangementType, kSpeakerArrStereo);
  EXPECT_NE(pin.label[0], '\0');
  EXPECT_FALSE(m_host.GetPinProperties(false, 2, pin));

  VstSpeakerArrangement stereo = Arrangement(kSpeakerArrStereo, 2);
  VstSpeakerArrangement eight = Arrangement(kSpeakerArr80Music, 8);
  EXPECT_TRUE(m_host.SetSpeakerArrangement(&stereo, &stereo));
  EXPECT_FALSE(m_host.SetSpeakerArrangement(&stereo, &eight));
  VstSpeakerArrangement* in = &stereo;
  VstSpeakerArrangement* out = &stereo;
  EXPECT_FALSE(m_host.GetSpeakerArrangement(&in, &out));
}

TEST_F(MAudioPluginVSTAdapterTest, SurroundSwitchedOffRefusesArrangementsWiderThanStereo)
{
  auto offer = Symbol<MFakeOfferSurroundFunction>("TonveraFakeOfferSurround");
  ASSERT_NE(offer, nullptr);
  Load(m_host);
  VstSpeakerArrangement mono = Arrangement(kSpeakerArrMono, 1);
  VstSpeakerArrangement stereo = Arrangement(kSpeakerArrStereo, 2);
  VstSpeakerArrangement quad = Arrangement(kSpeakerArr40Music, 4);
  // The plug-in's four inputs take a four-channel input layout while surround is offered.
  EXPECT_TRUE(m_host.SetSpeakerArrangement(&quad, &stereo));
  offer(0);
  EXPECT_FALSE(m_host.SetSpeakerArrangement(&quad, &stereo));
  EXPECT_TRUE(m_host.SetSpeakerArrangement(&stereo, &stereo));
  EXPECT_TRUE(m_host.SetSpeakerArrangement(&mono, &mono));
  offer(1);
  EXPECT_TRUE(m_host.SetSpeakerArrangement(&quad, &stereo));
}

TEST_F(MAudioPluginVSTAdapterTest, BlocksWithMidiOutAllocateNothingAndMidiInArrivesBeforeTheBlock)
{
  Load(m_host);
  m_host.Transport().playing = true;
  ASSERT_TRUE(m_host.Activate(44100.0, 512));
  // Warm-up: sizes the plug-in's buffers and the test host's record of received MIDI.
  ProcessBlock(m_host, 512);
  for (int block = 0; block < 4; ++block)
    m_host.ProcessReplacing(m_inputs, m_outputs, 512);
  m_host.ClearRecords();
  {
    MAllocationCounter::Scope scope;
    for (int block = 0; block < 4; ++block)
      m_host.ProcessReplacing(m_inputs, m_outputs, 512);
    EXPECT_EQ(scope.Count(), 0u);
  }
  const std::vector<MTestHostMidiEvent> sent = m_host.MidiReceived();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].sampleOffset, 511);
  EXPECT_EQ(sent[0].bytes[0], 0x90);
  EXPECT_EQ(sent[0].bytes[1], 69);

  // MIDI from the host reaches the plug-in before the block.
  const std::int32_t before = Probe().notesOn;
  ASSERT_TRUE(m_host.SendMidi({{0, {0x90, 60, 100}}, {5, {0x80, 60, 0}}, {7, {0x91, 64, 90}}}));
  EXPECT_EQ(Probe().notesOn, before + 2);
}

TEST_F(MAudioPluginVSTAdapterTest, InstancesShareOneLibraryObjectAndAHostAnsweringVersionZeroGetsNone)
{
  {
    MTestHostVst2 refused;
    refused.SetHostVersion(0);
    EXPECT_NE(refused.LoadModule(TONVERA_FAKE_ADAPTER_MODULE), MTestHostStatus::Ok);
    EXPECT_EQ(Probe().liveAdapters, 0);
  }
  const MFakeAdapterProbe start = Probe();
  {
    MTestHostVst2 first;
    MTestHostVst2 second;
    Load(first);
    Load(second);
    const MFakeAdapterProbe probe = Probe();
    EXPECT_EQ(probe.liveAdapters, 2);
    EXPECT_EQ(probe.libraryCreations, start.libraryCreations + 1);
    first.Close();
    EXPECT_EQ(Probe().libraryShutdowns, start.libraryShutdowns);
  }
  MFakeAdapterProbe probe = Probe();
  EXPECT_EQ(probe.liveAdapters, 0);
  EXPECT_EQ(probe.libraryShutdowns, start.libraryShutdowns + 1);

  MTestHostVst2 third;
  Load(third);
  probe = Probe();
  EXPECT_EQ(probe.libraryCreations, start.libraryCreations + 2);
  EXPECT_EQ(third.ParameterName(1), "Gain");
}
} // namespace
