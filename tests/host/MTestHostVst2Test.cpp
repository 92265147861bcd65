// The test host loading built modules and driving the fake gain plug-in through the VST 2.4
// interface: load errors, the record, the lifecycle, audio, state, MIDI, transport and editor.

#include "tests/host/MFakeGainFixture.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"

#include <cstring>

using namespace Vst2;

namespace
{
VstIntPtr VST2_CALL VersionOnlyHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

using EntryProc = AEffect*(VST2_CALL*)(audioMasterCallback);
} // namespace

TEST(MTestHostVst2Load, EachKindOfUnusableModuleGetsItsOwnError)
{
  struct Case
  {
    const char* path;
    MTestHostStatus status;
    const char* errorPart;
  };
  const Case cases[] = {
      {"/nonexistent/folder/NoSuchPlugin.so", MTestHostStatus::ModuleNotFound, "module not found"},
      {FakeNoEntryModulePath(), MTestHostStatus::EntryMissing, "VSTPluginMain"},
      {FakeBadMagicModulePath(), MTestHostStatus::BadMagic, "bad magic"},
  };
  for (const Case& c : cases)
  {
    MTestHostVst2 host;
    EXPECT_EQ(host.LoadModule(c.path), c.status) << c.path;
    EXPECT_NE(host.LastError().find(c.errorPart), std::string::npos) << host.LastError();
    EXPECT_FALSE(host.IsLoaded());
    EXPECT_EQ(host.Effect(), nullptr);
  }

  // A host answering version 0 gets no record.
  MTestHostVst2 host;
  host.SetHostVersion(0);
  EXPECT_EQ(host.LoadModule(FakeGainModulePath()), MTestHostStatus::NullEffect);
  EXPECT_FALSE(host.IsLoaded());
}

TEST(MTestHostVst2Load, ModuleExportsBothEntryNamesAndNothingElse)
{
  MSharedLibrary library;
  std::string error;
  ASSERT_TRUE(library.Open(FakeGainModulePath(), error)) << error;
  for (const char* name : {"VSTPluginMain", "main"})
  {
    auto entry = reinterpret_cast<EntryProc>(library.Symbol(name));
    ASSERT_NE(entry, nullptr) << name;
    AEffect* effect = entry(&VersionOnlyHost);
    ASSERT_NE(effect, nullptr) << name;
    EXPECT_EQ(effect->magic, kEffectMagic);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  // Declared with default visibility in the source: only the version script keeps it inside.
  EXPECT_EQ(library.Symbol("FakeGainInternalProbe"), nullptr);
  EXPECT_EQ(library.Symbol("_ZN4Vst211AudioEffect11FromAEffectEPNS_7AEffectE"), nullptr);
}

TEST_F(MFakeGainFixture, RecordCarriesWhatThePluginDeclared)
{
  const AEffect* effect = m_host.Effect();
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->numParams, kNumParams);
  EXPECT_EQ(effect->numPrograms, 0);
  EXPECT_EQ(effect->numInputs, 2);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->flags, effFlagsCanReplacing | effFlagsProgramChunks | effFlagsHasEditor);
  EXPECT_EQ(effect->uniqueID, 0x466B476E); // "FkGn"
  EXPECT_EQ(effect->version, 3);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_NE(effect->object, nullptr);
  EXPECT_NE(effect->processReplacing, nullptr);
  EXPECT_NE(effect->processDoubleReplacing, nullptr);
  EXPECT_EQ(m_host.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(m_host.Dispatch(effGetVendorVersion), 3);
  EXPECT_EQ(m_host.Dispatch(effGetPlugCategory), kPlugCategEffect);
  EXPECT_EQ(m_host.Dispatch(effIdentify), 0x4E764566); // "NvEf"
}

TEST_F(MFakeGainFixture, ActivationReportsLatencyAndAsksForMidiAndDoublePrecisionIsRefused)
{
  ASSERT_TRUE(m_host.Activate(48000.0, 512));
  EXPECT_EQ(m_host.LatencySamples(), 48);
  EXPECT_EQ(m_host.IoChangedCount(), 1);
  EXPECT_TRUE(m_host.WantsMidi());
  m_host.SetSampleRate(96000.0f);
  EXPECT_EQ(m_host.LatencySamples(), 96);
  EXPECT_EQ(m_host.IoChangedCount(), 2);

  // Double precision is refused when the plug-in does not offer it.
  ASSERT_TRUE(m_host.Activate(44100.0, 64));
  double in[8] = {}, out[8] = {};
  double* inputs[2] = {in, in};
  double* outputs[2] = {out, out};
  EXPECT_FALSE(m_host.ProcessDoubleReplacing(inputs, outputs, 8));
  EXPECT_NE(m_host.LastError().find("double"), std::string::npos);
}

TEST_F(MFakeGainFixture, BlocksOfAnySizeAreScaledOutOfPlaceAndInPlace)
{
  ASSERT_TRUE(m_host.Activate(44100.0, 65536));
  m_host.SetParameter(0, 0.25f); // gain 2 × 0.25 = 0.5, exact in binary floating point
  const int sizes[] = {1, 2, 3, 17, 64, 511, 1000, 4096, 65536, 777, 1};
  std::uint32_t seed = 1;
  for (int n : sizes)
  {
    std::vector<float> left = MTestSignals::WhiteNoise(n, 1.0f, seed++);
    std::vector<float> right = MTestSignals::WhiteNoise(n, 1.0f, seed++);
    std::vector<float> outLeft(n, 9.0f), outRight(n, 9.0f);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    ASSERT_TRUE(m_host.Process(inputs, outputs, n));
    for (int i = 0; i < n; ++i)
    {
      ASSERT_EQ(outLeft[i], 0.5f * left[i]) << "n=" << n << " i=" << i;
      ASSERT_EQ(outRight[i], 0.5f * right[i]) << "n=" << n << " i=" << i;
    }

    std::vector<float> inPlaceLeft = left, inPlaceRight = right;
    float* shared[2] = {inPlaceLeft.data(), inPlaceRight.data()};
    ASSERT_TRUE(m_host.Process(shared, shared, n));
    for (int i = 0; i < n; ++i)
    {
      ASSERT_EQ(inPlaceLeft[i], 0.5f * left[i]) << "in place, n=" << n;
      ASSERT_EQ(inPlaceRight[i], 0.5f * right[i]) << "in place, n=" << n;
    }
  }
}

TEST_F(MFakeGainFixture, ProcessingThroughTheRecordAllocatesNothing)
{
  // The module's allocation calls bind to the test executable's counting operator new, so this
  // covers the entry trampoline, the wrapper, the time-info query and the host callback.
  ASSERT_TRUE(m_host.Activate(44100.0, 512));
  m_host.Transport().playing = true;
  std::vector<float> buffer(512, 0.5f);
  float* channels[2] = {buffer.data(), buffer.data()};
  m_host.Process(channels, channels, 512); // first block outside the count
  MAllocationCounter::Scope scope;
  for (int block = 0; block < 8; ++block)
  {
    m_host.SetParameter(0, 0.125f * block);
    m_host.Process(channels, channels, 512 - 60 * block);
  }
  EXPECT_EQ(scope.Count(), 0u);
}

TEST_F(MFakeGainFixture, StateSavedByOneInstanceLoadsIntoAnother)
{
  const float values[kNumParams] = {0.125f, 0.75f, 1.0f};
  for (int i = 0; i < kNumParams; ++i)
    m_host.SetParameter(i, values[i]);
  std::vector<std::uint8_t> state = m_host.GetState();
  ASSERT_EQ(state.size(), 16u);
  EXPECT_EQ(std::memcmp(state.data(), "FGn1", 4), 0);

  MTestHostVst2 second;
  ASSERT_EQ(second.LoadModule(FakeGainModulePath()), MTestHostStatus::Ok);
  ASSERT_TRUE(second.SetState(state));
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(second.GetParameter(i), values[i]) << "parameter " << i;
  EXPECT_EQ(second.GetChunk(true), state) << "program and bank chunks carry the same state";
}

TEST_F(MFakeGainFixture, MidiEventsReachThePluginAndComeBackAfterTheBlock)
{
  ASSERT_TRUE(m_host.Activate(44100.0, 256));
  const std::vector<MTestHostMidiEvent> notes = {{5, {0x90, 60, 100}}, {100, {0x80, 60, 0}}};
  ASSERT_TRUE(m_host.SendMidi(notes));
  EXPECT_EQ(FakeGainProbe(m_host, "evts"), 2);
  EXPECT_TRUE(m_host.MidiReceived().empty()) << "echoes go out with the block, not before";

  std::vector<float> buffer(256, 0.0f);
  float* channels[2] = {buffer.data(), buffer.data()};
  m_host.Process(channels, channels, 256);
  std::vector<MTestHostMidiEvent> echoed = m_host.MidiReceived();
  ASSERT_EQ(echoed.size(), notes.size());
  for (std::size_t i = 0; i < notes.size(); ++i)
  {
    EXPECT_EQ(echoed[i].sampleOffset, notes[i].sampleOffset);
    EXPECT_EQ(std::memcmp(echoed[i].bytes, notes[i].bytes, 3), 0);
  }
}

TEST_F(MFakeGainFixture, HostAnswersTheQueriesAPluginMakes)
{
  ASSERT_TRUE(m_host.Activate(48000.0, 256));
  EXPECT_EQ(FakeGainProbe(m_host, "hsr "), 48000);
  EXPECT_EQ(FakeGainProbe(m_host, "hbs "), 256);
  EXPECT_EQ(FakeGainProbe(m_host, "hver"), 2400);

  float buffer[16] = {};
  float* channels[2] = {buffer, buffer};
  m_host.Process(channels, channels, 16);
  EXPECT_EQ(FakeGainProbe(m_host, "plvl"), kVstProcessLevelRealtime);

  const VstInt32 canDoProbe = FourCharCode('h', 'c', 'a', 'n');
  const std::pair<const char*, VstIntPtr> capabilities[] = {
      {"sendVstMidiEvent", 1}, {"sizeWindow", 1}, {"receiveVstTimeInfo", 0}, {"", 0}};
  for (const auto& [text, answer] : capabilities)
    EXPECT_EQ(m_host.Dispatch(effVendorSpecific, canDoProbe, 0, const_cast<char*>(text)), answer) << text;

  char text[kVstMaxProductStrLen + 1];
  ASSERT_EQ(m_host.Dispatch(effVendorSpecific, FourCharCode('h', 'v', 'n', 'd'), 0, text), 1);
  EXPECT_STREQ(text, "Tonvera");
  ASSERT_EQ(m_host.Dispatch(effVendorSpecific, FourCharCode('h', 'p', 'r', 'd'), 0, text), 1);
  EXPECT_STREQ(text, "Tonvera Test Host");
}

TEST_F(MFakeGainFixture, TransportReachesThePluginAndAdvancesWhilePlaying)
{
  ASSERT_TRUE(m_host.Activate(44100.0, 4410));
  MTestHostTransport& transport = m_host.Transport();
  transport.tempo = 150.0;
  transport.ppqPosition = 8.0;
  transport.playing = true;
  std::vector<float> buffer(4410, 0.0f);
  float* channels[2] = {buffer.data(), buffer.data()};

  m_host.Process(channels, channels, 4410);
  EXPECT_EQ(FakeGainProbe(m_host, "tmpo"), 150000);
  EXPECT_EQ(FakeGainProbe(m_host, "ppq "), 8000);
  EXPECT_EQ(m_host.LastTimeRequest(), kVstTempoValid | kVstPpqPosValid);

  // 0.1 s at 150 beats per minute is a quarter of a quarter note.
  m_host.Process(channels, channels, 4410);
  EXPECT_EQ(FakeGainProbe(m_host, "ppq "), 8250);

  // Without time information the plug-in keeps what it saw last.
  transport.available = false;
  transport.tempo = 90.0;
  m_host.Process(channels, channels, 4410);
  EXPECT_EQ(FakeGainProbe(m_host, "tmpo"), 150000);
}

TEST_F(MFakeGainFixture, EditorGivesItsRectangleAsksForANewSizeAndFramesItsGestures)
{
  ERect* rect = nullptr;
  ASSERT_EQ(m_host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 300);
  EXPECT_EQ(rect->bottom - rect->top, 200);

  int fakeParentWindow = 0;
  EXPECT_EQ(m_host.Dispatch(effEditOpen, 0, 0, &fakeParentWindow), 1);
  EXPECT_EQ(m_host.LastSizeRequest(), std::make_pair(320, 240));
  EXPECT_EQ(m_host.Dispatch(effEditIdle), 1);
  EXPECT_EQ(m_host.Dispatch(effEditClose), 1);

  // An editor gesture is framed by beginEdit and endEdit.
  ASSERT_EQ(FakeGainProbe(m_host, "edit"), 1);
  EXPECT_EQ(m_host.EditGestures(), (std::vector<int>{2, -2}));
  std::vector<MTestHostAutomation> automations = m_host.Automations();
  ASSERT_EQ(automations.size(), 1u);
  EXPECT_EQ(automations[0].index, 1);
  EXPECT_EQ(automations[0].value, 0.75f);
  EXPECT_EQ(m_host.GetParameter(1), 0.75f);
}

TEST_F(MFakeGainFixture, PinsDescribeEachChannelAndOnlyExistingOnesUntilTheHostCloses)
{
  VstPinProperties pin;
  ASSERT_TRUE(m_host.GetPinProperties(true, 0, pin));
  EXPECT_STREQ(pin.label, "Left In");
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_EQ(pin.arrangementType, kSpeakerArrStereo);
  for (VstInt32 index : {-1, 2, 1000})
  {
    EXPECT_FALSE(m_host.GetPinProperties(true, index, pin)) << index;
    EXPECT_FALSE(m_host.GetPinProperties(false, index, pin)) << index;
  }

  // After Close the host no longer reaches the plug-in.
  ASSERT_TRUE(m_host.Activate(44100.0, 64));
  m_host.Close();
  EXPECT_FALSE(m_host.IsLoaded());
  EXPECT_EQ(m_host.Effect(), nullptr);
  EXPECT_EQ(m_host.Dispatch(effGetVstVersion), 0);
  float buffer[4] = {};
  float* channels[2] = {buffer, buffer};
  EXPECT_FALSE(m_host.Process(channels, channels, 4));
  EXPECT_TRUE(m_host.GetState().empty());
}
