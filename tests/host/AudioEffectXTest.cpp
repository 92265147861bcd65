// The wrapper classes at the boundary: what a careless or hostile host hands the plug-in through
// the record (bad indices, null buffers, absurd values, foreign records) must never reach the
// plug-in's code, and texts must come back within their limits.

#include "tests/host/MFakeGainFixture.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace Vst2;

namespace
{
constexpr VstInt32 kBadIndices[] = {-1, 3, 1000, std::numeric_limits<VstInt32>::min(),
                                    std::numeric_limits<VstInt32>::max()};
} // namespace

TEST_F(MFakeGainFixture, ParameterCallsWithInvalidIndicesAnswerNeutrally)
{
  const float before[kNumParams] = {m_host.GetParameter(0), m_host.GetParameter(1), m_host.GetParameter(2)};
  for (VstInt32 index : kBadIndices)
  {
    m_host.SetParameter(index, 1.0f);
    EXPECT_EQ(m_host.GetParameter(index), 0.0f) << index;
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
    {
      MTestHostVst2::TextProbe probe = m_host.QueryText(opcode, index);
      EXPECT_EQ(probe.result, 0) << "opcode " << opcode << " index " << index;
      EXPECT_EQ(probe.text, "") << "opcode " << opcode << " index " << index;
      EXPECT_LE(probe.bytesTouched, 1u);
    }
    EXPECT_EQ(m_host.Dispatch(effCanBeAutomated, index), 0) << index;
    char text[] = "0.5";
    EXPECT_EQ(m_host.Dispatch(effString2Parameter, index, 0, text), 0) << index;
    VstParameterProperties properties{};
    EXPECT_EQ(m_host.Dispatch(effGetParameterProperties, index, 0, &properties), 0) << index;
  }
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(m_host.GetParameter(i), before[i]) << "parameter " << i << " changed through a bad index";
  EXPECT_EQ(m_host.Dispatch(effCanBeAutomated, 2), 1);
}

TEST_F(MFakeGainFixture, ParameterValuesReachThePluginFiniteAndWithinZeroToOne)
{
  const float inf = std::numeric_limits<float>::infinity();
  const std::pair<float, float> cases[] = {
      {0.25f, 0.25f}, {5.0f, 1.0f}, {-3.0f, 0.0f}, {std::nanf(""), 0.0f}, {inf, 0.0f}, {-inf, 0.0f},
  };
  for (const auto& [sent, expected] : cases)
  {
    m_host.SetParameter(1, 0.0f);
    m_host.SetParameter(1, sent);
    EXPECT_EQ(m_host.GetParameter(1), expected) << "sent " << sent;
  }
}

TEST_F(MFakeGainFixture, OpcodesThatExpectABufferIgnoreANullPointer)
{
  struct Case
  {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
  };
  const Case cases[] = {
      {effGetParamName, 0, 0},
      {effGetParamLabel, 0, 0},
      {effGetParamDisplay, 0, 0},
      {effGetProgramName, 0, 0},
      {effSetProgramName, 0, 0},
      {effGetChunk, 0, 0},
      {effSetChunk, 0, 16},
      {effEditGetRect, 0, 0},
      {effProcessEvents, 0, 0},
      {effGetInputProperties, 0, 0},
      {effGetOutputProperties, 0, 0},
      {effGetEffectName, 0, 0},
      {effGetVendorString, 0, 0},
      {effGetProductString, 0, 0},
      {effCanDo, 0, 0},
      {effGetSpeakerArrangement, 0, 0},
      {effGetParameterProperties, 0, 0},
      {effGetMidiProgramName, 0, 0},
      {effGetMidiKeyName, 0, 0},
      {effGetMidiProgramCategory, 0, 0},
      {effBeginLoadBank, 0, 0},
      {effShellGetNextPlugin, 0, 0},
      {effGetProgramNameIndexed, 0, 0},
      {effProcessVarIo, 0, 0},
      {effOfflineRun, 0, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(m_host.Dispatch(c.opcode, c.index, c.value, nullptr), 0) << "opcode " << c.opcode;

  // A chunk request with somewhere to put the pointer but a host that passes no chunk bytes.
  std::uint8_t byte = 0;
  EXPECT_EQ(m_host.Dispatch(effSetChunk, 0, 0, &byte), 0);
  VstSpeakerArrangement* input = nullptr;
  EXPECT_EQ(m_host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), nullptr), 0);
}

TEST_F(MFakeGainFixture, UnknownAndRetiredOpcodesAndExceptionsAnswerZero)
{
  for (VstInt32 opcode :
       {-1, 9, 16, 17, 18, 20, 21, 36, 37, 53, 54, 80, 1000, std::numeric_limits<VstInt32>::max()})
  {
    int scratch[64] = {};
    EXPECT_EQ(m_host.Dispatch(opcode, 0, 0, scratch), 0) << "opcode " << opcode;
  }

  // An exception from the plug-in stops at the entry point.
  EXPECT_EQ(m_host.Dispatch(effVendorSpecific, FourCharCode('t', 'h', 'r', 'o')), 0);
  EXPECT_EQ(m_host.Dispatch(effGetVendorVersion), 3);
}

TEST_F(MFakeGainFixture, TextsNeverExceedTheirLimits)
{
  struct Case
  {
    VstInt32 opcode;
    VstInt32 index;
    std::size_t limit;
    std::string expected;
  };
  const Case cases[] = {
      {effGetParamName, 0, 24, "Gain"},
      {effGetParamName, 2, 24, "PolarityInversionOfAllCh"},
      {effGetParamLabel, 1, 24, "percent left of centre, "},
      {effGetParamLabel, 2, 24, ""},
      {effGetParamDisplay, 0, 24, "0.500"},
      {effGetEffectName, 0, kVstMaxEffectNameLen, "Fake Gain, a name much longer th"},
      {effGetVendorString, 0, kVstMaxVendorStrLen, "Tonvera Tests"},
      {effGetProductString, 0, kVstMaxProductStrLen, std::string(kVstMaxProductStrLen, 'P')},
      {effGetProgramName, 0, kVstMaxProgNameLen, ""},
  };
  for (const Case& c : cases)
  {
    MTestHostVst2::TextProbe probe = m_host.QueryText(c.opcode, c.index);
    EXPECT_TRUE(probe.terminated) << "opcode " << c.opcode;
    EXPECT_EQ(probe.text, c.expected) << "opcode " << c.opcode << " index " << c.index;
    EXPECT_LE(probe.bytesTouched, c.limit + 1) << "opcode " << c.opcode << " wrote past its limit";
  }

  // Texts inside records end inside their arrays even when the plug-in fills them completely.
  VstPinProperties pin;
  ASSERT_TRUE(m_host.GetPinProperties(false, 1, pin));
  EXPECT_EQ(std::string(pin.label), std::string(sizeof pin.label - 1, 'R'));
  EXPECT_EQ(std::string(pin.shortLabel), std::string(sizeof pin.shortLabel - 1, 'S'));
}

TEST_F(MFakeGainFixture, ProcessCallsWithUnusableArgumentsNeverReachThePlugin)
{
  ASSERT_TRUE(m_host.Activate(44100.0, 64));
  float left[8], right[8];
  std::fill(std::begin(left), std::end(left), 7.0f);
  std::fill(std::begin(right), std::end(right), 7.0f);
  float* channels[2] = {left, right};

  m_host.ProcessReplacing(channels, channels, -1);
  m_host.ProcessReplacing(channels, nullptr, 8);
  m_host.ProcessReplacing(nullptr, channels, 8);
  m_host.ProcessAccumulating(channels, nullptr, 8);
  EXPECT_EQ(FakeGainProbe(m_host, "pcnt"), 0);

  // Zero samples is a legal block: the plug-in is called and writes nothing.
  m_host.ProcessReplacing(channels, channels, 0);
  EXPECT_EQ(FakeGainProbe(m_host, "pcnt"), 1);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(left[i] + right[i], 14.0f);
}

TEST_F(MFakeGainFixture, ACopiedOrForgedRecordIsIgnored)
{
  ASSERT_TRUE(m_host.Activate(44100.0, 64));
  const AEffect* real = m_host.Effect();
  AEffect copy = *real; // same magic and object, but not the object's own record
  AEffect noMagic = *real;
  noMagic.magic = 0;
  AEffect noObject = *real;
  noObject.object = nullptr;
  m_host.SetParameter(0, 0.5f);

  float buffer[4] = {1, 1, 1, 1};
  float* channels[2] = {buffer, buffer};
  for (AEffect* forged : {&copy, &noMagic, &noObject, static_cast<AEffect*>(nullptr)})
  {
    EXPECT_EQ(real->dispatcher(forged, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(real->getParameter(forged, 0), 0.0f);
    real->setParameter(forged, 0, 1.0f);
    real->processReplacing(forged, channels, channels, 4);
    real->process(forged, channels, channels, 4);
  }
  EXPECT_EQ(m_host.GetParameter(0), 0.5f);
  EXPECT_EQ(FakeGainProbe(m_host, "pcnt"), 0);
  EXPECT_EQ(buffer[0], 1.0f);
  EXPECT_EQ(m_host.Dispatch(effGetVendorVersion), 3) << "the real record still works";
}

TEST_F(MFakeGainFixture, KeyModifiersOutsideAByteReachTheEditorAsNone)
{
  const std::pair<float, VstIntPtr> cases[] = {
      {3.0f, 3}, {std::nanf(""), 0}, {1e9f, 0}, {-2.0f, 0}, {std::numeric_limits<float>::infinity(), 0},
  };
  for (const auto& [opt, modifier] : cases)
  {
    EXPECT_EQ(m_host.Dispatch(effEditKeyDown, 'a', 0, nullptr, opt), 1);
    EXPECT_EQ(FakeGainProbe(m_host, "mods"), modifier) << "opt " << opt;
  }
  EXPECT_EQ(m_host.Dispatch(effEditKeyDown, 'b', VKEY_ESCAPE, nullptr, 0.0f), 0);
}

TEST_F(MFakeGainFixture, MalformedEventsInABlockAreSkipped)
{
  VstMidiEvent good{};
  good.type = kVstMidiType;
  good.byteSize = sizeof good;
  good.midiData[0] = static_cast<char>(0x90);
  VstMidiEvent tooSmall = good;
  tooSmall.byteSize = 8;
  VstEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof sysex;

  alignas(VstEvents) unsigned char block[VstEventsBytes(4)] = {};
  auto* events = reinterpret_cast<VstEvents*>(block);
  events->numEvents = 4;
  VstEvent** slots = EventPointers(events);
  slots[0] = nullptr;
  slots[1] = &sysex;
  slots[2] = reinterpret_cast<VstEvent*>(&tooSmall);
  slots[3] = reinterpret_cast<VstEvent*>(&good);
  m_host.Dispatch(effProcessEvents, 0, 0, events);
  EXPECT_EQ(FakeGainProbe(m_host, "evts"), 1);

  events->numEvents = -5;
  EXPECT_EQ(m_host.Dispatch(effProcessEvents, 0, 0, events), 0);
  EXPECT_EQ(FakeGainProbe(m_host, "evts"), 1);
}

TEST_F(MFakeGainFixture, AbsurdSizesAndRatesFromTheHostAreDropped)
{
  std::uint8_t bytes[16] = {};
  EXPECT_EQ(m_host.Dispatch(effSetChunk, 0, VstIntPtr{1} << 40, bytes), 0);
  EXPECT_EQ(m_host.Dispatch(effSetChunk, 0, -16, bytes), 0);

  ASSERT_TRUE(m_host.Activate(44100.0, 64));
  const int changes = m_host.IoChangedCount();
  for (float rate : {0.0f, -48000.0f, std::nanf(""), std::numeric_limits<float>::infinity()})
    m_host.SetSampleRate(rate);
  EXPECT_EQ(m_host.IoChangedCount(), changes) << "a rejected rate reached the plug-in";
  EXPECT_EQ(m_host.LatencySamples(), 44);
}
