// The real plug-in behind the VST 3 adapter, loaded from its test bundle.

#include "tests/support/MAllocationCounter.h"
#include "tools/host/MTestHostVst3.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "tools/host/MSharedLibrary.h"
#else
#include "tests/support/MPrivateSettingsFolder.h"

#include <dlfcn.h>
#endif

#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
#ifdef _WIN32
TEST(TonveraVST3Module, BinaryExportsOnlyTheEntryPoints)
{
  MSharedLibrary library;
  std::string error;
  ASSERT_TRUE(library.Open(
      std::string(TONVERA_REAL_VST3_BUNDLE) + "/Contents/x86_64-win/TonveraVst3Test.vst3", error))
      << error;
  EXPECT_EQ(library.Symbol("_ZN9Steinberg7FObject6addRefEv"), nullptr);
  EXPECT_NE(library.Symbol("GetPluginFactory"), nullptr);
  auto entry = reinterpret_cast<bool (*)()>(library.Symbol("InitDll"));
  auto exit = reinterpret_cast<bool (*)()>(library.Symbol("ExitDll"));
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(exit, nullptr);
  EXPECT_TRUE(entry());
  EXPECT_TRUE(exit());
}
#else
TEST(TonveraVST3Module, BinaryExportsOnlyTheEntryPointsAndRefusesAnUnmatchedExit)
{
  const std::string binary =
      std::string(TONVERA_REAL_VST3_BUNDLE) + "/Contents/x86_64-linux/TonveraVst3Test.so";
  void* handle = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  // The version script hides the classes; a host sees the three entry points only.
  EXPECT_EQ(dlsym(handle, "_ZN9Steinberg7FObject6addRefEv"), nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN9Steinberg14CPluginFactory14createInstanceEPKcS2_PPv"), nullptr);
  EXPECT_NE(dlsym(handle, "GetPluginFactory"), nullptr);
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
  auto exit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"));
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(exit, nullptr);
  // Hosts may enter more than once and must exit as often; one exit more is refused.
  EXPECT_TRUE(entry(handle));
  EXPECT_TRUE(entry(handle));
  EXPECT_TRUE(exit());
  EXPECT_TRUE(exit());
  EXPECT_FALSE(exit());
  EXPECT_EQ(dlclose(handle), 0);
}
#endif

// The program parameter arriving in the processor's changes chooses the slot, off the audio
// thread; the controller then answers the new program, and the host is told to read the values
// again from the timer its next call on the UI thread arms.
TEST(TonveraVST3Module, ProgramParameterThroughProcessChoosesTheSlotAndTheControllerReportsIt)
{
  constexpr ParamID kProgram = 32766;
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_REAL_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Activate(44100.0, 512));
  IEditController* controller = host.Controller();
  ASSERT_DOUBLE_EQ(controller->getParamNormalized(kProgram), 0.0);
  const double slotC = 2.0 / 7.0;
  host.ClearRestarts();
  host.QueueProcessorChange(kProgram, slotC);
  std::vector<AudioBusBuffers> none;
  ASSERT_EQ(host.ProcessBuses(none, none, 0), kResultOk);
  // Without an editor the update thread chooses it (it wakes every 100 ms); bounded wait.
  for (int attempt = 0; attempt < 300 && std::fabs(controller->getParamNormalized(kProgram) - slotC) > 1e-9;
       ++attempt)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_NEAR(controller->getParamNormalized(kProgram), slotC, 1e-9);
  ASSERT_TRUE(host.Deactivate()); // a UI-thread call arms the timer; the report comes from there
  host.RunHostTimers();
  EXPECT_GE(host.RestartCount(kParamValuesChanged), 1);
  EXPECT_GE(host.DirtyCount(), 1);
}

TEST(TonveraVST3Module, BlocksAllocateNothingOnceRunningAndARateChangeReportsTheNewLatency)
{
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_REAL_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Activate(44100.0, 512));
  std::vector<float> left(512, 0.1f), right(512, -0.1f), outL(512), outR(512);
  float* in[2] = {left.data(), right.data()};
  float* out[2] = {outL.data(), outR.data()};
  std::vector<AudioBusBuffers> inputs(1), outputs(1);
  inputs[0].numChannels = outputs[0].numChannels = 2;
  inputs[0].channelBuffers32 = in;
  outputs[0].channelBuffers32 = out;
  host.Transport().playing = true;
  for (int block = 0; block < 4; ++block)
  {
    // The first parameter change from the host starts the plug-in's editor-refresh machinery
    // (the plug-in core creates it lazily), so the warm-up includes one.
    host.QueueParameterChange(0, 0.2 + 0.1 * block);
    ASSERT_EQ(host.ProcessBuses(inputs, outputs, 512), kResultOk);
  }
  {
    MAllocationCounter::Scope scope;
    // Full, odd and short blocks, each after a host change.
    for (int block = 0; block < 4; ++block)
    {
      host.QueueParameterChange(0, 0.8 - 0.1 * block);
      host.QueueParameterChange(32767, 0.0);
      host.ProcessBuses(inputs, outputs, std::array{512, 17, 333, 512}[static_cast<std::size_t>(block)]);
    }
    EXPECT_EQ(scope.Count(), 0u);
  }

  // 88.2 kHz doubles the frame, so the latency doubles and the host is asked to re-read it.
  const int before = host.RestartCount(kLatencyChanged);
  ProcessSetup setup{kRealtime, kSample32, 512, 88200.0};
  ASSERT_EQ(host.Processor()->setupProcessing(setup), kResultOk);
  EXPECT_EQ(host.LatencySamples(), 2048);
  host.RunHostTimers(); // never from inside setupProcessing
  EXPECT_GT(host.RestartCount(kLatencyChanged), before);
}
} // namespace

#ifndef _WIN32
namespace
{
/// Writes the general settings every instance of the module reads, with "Activate surround" on
/// or off.
void WriteSurroundSetting(bool activated)
{
  const std::string folder = MTestSupport::UsePrivateSettingsFolder("tonvera-session-settings") + "/Tonvera";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/GeneralSettings.xml")
      << "<?xml version=\"1.0\" encoding=\"utf-8\"?><GeneralSettings SurroundActivated=\""
      << (activated ? 1 : 0) << "\" TabletMode=\"0\" showconfirmations=\"1\"/>";
}

TEST(TonveraVST3Module, SurroundSwitchedOffRefusesWideArrangementsAndKeepsMonoAndStereo)
{
  WriteSurroundSetting(false);
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_REAL_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  IAudioProcessor* processor = host.Processor();
  for (SpeakerArrangement wide : {SpeakerArr::k51, SpeakerArrangement{0x737} /* 7.1 */})
  {
    SpeakerArrangement in = wide, out = wide;
    EXPECT_EQ(processor->setBusArrangements(&in, 1, &out, 1), kResultFalse);
    SpeakerArrangement stereo = SpeakerArr::kStereo;
    EXPECT_EQ(processor->setBusArrangements(&stereo, 1, &out, 1), kResultFalse)
        << "a wide output alone is refused too";
  }
  SpeakerArrangement current = 0;
  ASSERT_EQ(processor->getBusArrangement(kOutput, 0, current), kResultOk);
  EXPECT_EQ(current, SpeakerArr::kStereo) << "a refused request changes nothing";
  for (SpeakerArrangement narrow : {SpeakerArr::kMono, SpeakerArr::kStereo})
  {
    SpeakerArrangement in = narrow, out = narrow;
    EXPECT_EQ(processor->setBusArrangements(&in, 1, &out, 1), kResultOk);
    ASSERT_EQ(processor->getBusArrangement(kInput, 0, current), kResultOk);
    EXPECT_EQ(current, narrow);
  }

  // Switched on again, a new request is answered as before: wider than the plug-in's buses
  // falls back to what they hold.
  WriteSurroundSetting(true);
  SpeakerArrangement in = SpeakerArr::k51, out = SpeakerArr::k51;
  EXPECT_EQ(processor->setBusArrangements(&in, 1, &out, 1), kResultOk);
}
} // namespace
#endif
