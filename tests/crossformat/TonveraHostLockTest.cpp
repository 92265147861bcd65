// The built module under a host that holds one non-recursive lock around every call it makes into
// the plug-in (program, state, parameter, processing set-up) and takes it again in the callbacks
// through which the plug-in reports. A report made from inside one of those calls deadlocks such a
// host; the test host records it instead, and every such record fails here. The reports are not
// lost: they reach the host from the plug-in's own tick (the run loop's timer, effEditIdle).

#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using namespace Steinberg;
using namespace Steinberg::Vst;

std::string Joined(const std::vector<std::string>& reports)
{
  std::string text;
  for (const std::string& report : reports)
    text += report + "; ";
  return text;
}

#define EXPECT_NO_REENTRANT_REPORT(host, call)                                                               \
  EXPECT_EQ(Joined((host).HostLock().TakeReentrant()), "") << "reported from inside " << (call)

void MidiBlock(MTestHost& host, const std::vector<MTestHostMidiEvent>& events)
{
  std::vector<float> left(256, 0.0f), right(256, 0.0f);
  float* channels[2] = {left.data(), right.data()};
  host.SendMidi(events);
  host.Process(channels, channels, 256);
}
} // namespace

TEST(TonveraHostLock, NoVst3CallReportsFromInside)
{
  MTestHostVst3 host;
  host.HostLock().SetEnabled(true);
  ASSERT_EQ(host.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Activate(44100.0, 512));
  EXPECT_NO_REENTRANT_REPORT(host, "initialize / setupProcessing / setActive");
  IEditController* controller = host.Controller();

  // Every program through the program parameter, as a host's own preset menu chooses one; the
  // host then hears from the run loop's timer that the values moved.
  ParameterInfo program{};
  for (int i = 0; i < host.NumParameters(); ++i)
    if (ParameterInfo info{};
        host.ParameterInfo(i, info) && (info.flags & ParameterInfo::kIsProgramChange) != 0)
      program = info;
  ASSERT_GT(program.stepCount, 0);
  for (int step = program.stepCount; step >= 0; --step)
  {
    host.ClearRestarts();
    {
      const MTestHostLock::Held held = host.HostLock().Hold();
      ASSERT_EQ(controller->setParamNormalized(program.id, double(step) / program.stepCount), kResultOk);
    }
    EXPECT_NO_REENTRANT_REPORT(host, "setParamNormalized(program " + std::to_string(step) + ")");
    EXPECT_EQ(host.RestartCount(kParamValuesChanged), 0);
    EXPECT_EQ(host.RunHostTimers(), 1);
    EXPECT_EQ(host.RestartCount(kParamValuesChanged), 1) << "program " << step;
    EXPECT_EQ(host.HostTimerCount(), 0) << "the timer goes once the reports are out";
  }

  // Every published parameter at a new value, and back.
  for (int i = 0; i < host.NumParameters(); ++i)
  {
    ParameterInfo info{};
    ASSERT_TRUE(host.ParameterInfo(i, info));
    const MTestHostLock::Held held = host.HostLock().Hold();
    const double before = controller->getParamNormalized(info.id);
    controller->setParamNormalized(info.id, before < 0.5 ? 1.0 : 0.0);
    controller->setParamNormalized(info.id, before);
  }
  EXPECT_NO_REENTRANT_REPORT(host, "setParamNormalized");

  // State out and in (a preset loaded by the host, a session reopened), on both sides.
  const std::vector<std::uint8_t> state = host.GetState();
  ASSERT_FALSE(state.empty());
  ASSERT_TRUE(host.SetState(state));
  ASSERT_TRUE(host.SetControllerState(state));
  EXPECT_NO_REENTRANT_REPORT(host, "getState / setState / setComponentState");

  // A new rate moves the latency; arrangements, activation.
  ASSERT_TRUE(host.Deactivate());
  ASSERT_TRUE(host.Activate(88200.0, 1024));
  {
    const MTestHostLock::Held held = host.HostLock().Hold();
    SpeakerArrangement mono = SpeakerArr::kMono;
    host.Processor()->setBusArrangements(&mono, 1, &mono, 1);
    SpeakerArrangement stereo = SpeakerArr::kStereo;
    host.Processor()->setBusArrangements(&stereo, 1, &stereo, 1);
  }
  EXPECT_NO_REENTRANT_REPORT(host, "setupProcessing / setActive / setBusArrangements");
  host.ClearRestarts();
  host.RunHostTimers();
  EXPECT_GE(host.RestartCount(kLatencyChanged), 1) << "the new latency reaches the host from the timer";

  // MIDI that changes values and programs inside the plug-in.
  MidiBlock(host, {{0, {0xB0, 7, 100}}, {0, {0xC0, 2, 0}}});
  host.RunHostTimers();
  EXPECT_NO_REENTRANT_REPORT(host, "process");
}

TEST(TonveraHostLock, NoVst2CallReportsFromInside)
{
  using namespace Vst2;
  MTestHostVst2 host;
  host.HostLock().SetEnabled(true);
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Open());
  ASSERT_TRUE(host.Activate(44100.0, 512));
  EXPECT_NO_REENTRANT_REPORT(host, "VSTPluginMain / effOpen / effMainsChanged");

  const int programs = host.Effect()->numPrograms;
  ASSERT_GT(programs, 0);
  for (int program = programs - 1; program >= 0; --program)
  {
    host.Dispatch(effBeginSetProgram);
    host.Dispatch(effSetProgram, 0, program);
    host.Dispatch(effEndSetProgram);
    EXPECT_NO_REENTRANT_REPORT(host, "effSetProgram " + std::to_string(program));
    EXPECT_EQ(host.Dispatch(effGetProgram), program);
  }
  for (int i = 0; i < host.NumParameters(); ++i)
  {
    const float before = host.GetParameter(i);
    host.SetParameter(i, before < 0.5f ? 1.0f : 0.0f);
    host.SetParameter(i, before);
  }
  EXPECT_NO_REENTRANT_REPORT(host, "setParameter");

  const std::vector<std::uint8_t> chunk = host.GetChunk(false);
  ASSERT_FALSE(chunk.empty());
  EXPECT_EQ(host.SetChunk(chunk, false), 1);
  EXPECT_EQ(host.SetChunk(host.GetChunk(true), true), 1);
  EXPECT_NO_REENTRANT_REPORT(host, "effGetChunk / effSetChunk");

  host.ClearRecords();
  ASSERT_TRUE(host.Deactivate());
  ASSERT_TRUE(host.Activate(88200.0, 1024));
  VstSpeakerArrangement mono{};
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  host.SetSpeakerArrangement(&mono, &mono);
  EXPECT_NO_REENTRANT_REPORT(
      host, "effSetSampleRate / effSetBlockSize / effMainsChanged / effSetSpeakerArrangement");
  host.IdleEditor();
  EXPECT_GE(host.IoChangedCount(), 1) << "the new latency reaches the host from the idle tick";

  MidiBlock(host, {{0, {0xB0, 7, 100}}, {0, {0xC0, 2, 0}}});
  host.IdleEditor();
  EXPECT_NO_REENTRANT_REPORT(host, "processReplacing / effProcessEvents");
}
