#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"

#include "base/MException.h"
#include "framework/MAudioEffectPluginHost.h"
#include "framework/MPluginSystem.h"
#include "tests/framework/MFakeEffect.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

using namespace MFrameworkTest;

TEST(MAudioEffectPluginToAudioPluginAdapter,
     InitializeMakesOneHostParameterPerVisibleValueAndTheEffectLivesAsLong)
{
  const int before = FakeEffect::s_instances;
  {
    TestPlugin plugin;
    EXPECT_EQ(FakeEffect::s_instances, before + 1);
    // Group headings without a switch make no parameter.
    ASSERT_EQ(plugin.GetNumParameters(), FakeEffect::kCount - 2);
    EXPECT_GE(plugin.IndexOf("Depth"), 0);
    EXPECT_GE(plugin.IndexOf("Dry/wet"), 0);
    EXPECT_GE(plugin.IndexOf("Active"), 0);
    EXPECT_EQ(plugin.m_pluginName, MString("Fake"));
    EXPECT_EQ(plugin.m_vendorName, MString("Quorvel"));
    EXPECT_EQ(plugin.GetLatency(), 64);
    EXPECT_EQ(plugin.Effect().GetChannelCount(), 2);
    EXPECT_EQ(plugin.Effect().GetSampleRate(), 44100.0);
  }
  EXPECT_EQ(FakeEffect::s_instances, before) << "destroying the plug-in destroys the effect";
}

TEST(MAudioEffectPluginToAudioPluginAdapter, EveryFailedCreationStepThrowsErrorCreatingPluginAndLeaksNothing)
{
  struct Case
  {
    MPluginCommandFunction function;
    std::int32_t code;
  };
  const Case cases[] = {
      {nullptr, MPluginSystem::kNoCommandFunction},
      {RefusingCommand, MPluginSystem::kConnectFailed},
      {TablelessCommand, MPluginSystem::kNoParameterTable},
  };
  for (const Case& c : cases)
  {
    const int before = FakeEffect::s_instances;
    {
      MPluginSystem system(MString("Fake"), c.function);
      std::unique_ptr<MAudioEffectPluginHost> host;
      EXPECT_EQ(system.CreateAudioEffectPlugin(MString("Fake"), host), c.code);
      EXPECT_EQ(host, nullptr);
    }
    MAudioEffectPluginToAudioPluginAdapter plugin;
    EXPECT_EQ(MessageOf([&] { plugin.Initialize(MString("Fake"), MString("Quorvel"), c.function); }),
              "Error creating plugin.")
        << "code " << c.code;
    EXPECT_EQ(plugin.GetEffect(), nullptr);
    EXPECT_EQ(FakeEffect::s_instances, before) << "code " << c.code;
  }

  // A host object that connects answers an unknown command with -1.
  MAudioEffectPluginHost host(FakeEffectCommand);
  ASSERT_TRUE(host.Connect());
  EXPECT_EQ(host.SendCommand(50), MPluginCommand::kUnknown);
  EXPECT_EQ(host.SendCommand(MPluginCommand::kGetLatency), 64);
  EXPECT_NE(host.FetchEffect(), nullptr);
}

TEST(MAudioEffectPluginToAudioPluginAdapter, ChangedBitRecomputesOnceBeforeTheNextBlockOnly)
{
  TestPlugin plugin;
  FakeEffect& effect = plugin.Effect();
  plugin.Run(128);
  const int base = effect.m_parametersChanged;

  // Depth does not ask for a recomputation; Dry/wet does.
  plugin.SetParameter(plugin.IndexOf("Depth"), 0.9);
  EXPECT_FALSE(effect.AreParametersChanged());
  plugin.SetParameter(plugin.IndexOf("Dry/wet"), 0.5);
  EXPECT_TRUE(effect.AreParametersChanged());
  EXPECT_EQ(effect.m_parametersChanged, base);

  plugin.Run(128);
  EXPECT_EQ(effect.m_parametersChanged, base + 1);
  EXPECT_FALSE(effect.AreParametersChanged());
  // Dry/wet 1 of 0..2: gain 0.5 applied in that very block.
  EXPECT_FLOAT_EQ(plugin.m_output[0][0], 0.25f * 0.5f);
  plugin.Run(128);
  EXPECT_EQ(effect.m_parametersChanged, base + 1);
}

TEST(MAudioEffectPluginToAudioPluginAdapter, SubBlocksFollowTheEffectsDeclaredMaximum)
{
  struct Case
  {
    std::int32_t declared;
    std::vector<std::int32_t> blocks;
  };
  // Declaring nothing means no splitting at all (not one-sample calls).
  const Case cases[] = {{256, {256, 256, 256, 232}}, {0, {1000}}, {2000, {1000}}};
  for (const Case& c : cases)
  {
    TestPlugin plugin;
    plugin.Effect().SetMaxBufferSize(c.declared);
    plugin.UpdateMaxBufferSize();
    EXPECT_EQ(plugin.GetMaxBufferSize(), std::max(1, c.declared));
    plugin.Effect().m_blocks.clear();
    plugin.Run(1000);
    EXPECT_EQ(plugin.Effect().m_blocks, c.blocks) << "declared " << c.declared;
  }
}

TEST(MAudioEffectPluginToAudioPluginAdapter, EffectSeesHostTimeOnlyWhenTheHostSuppliedIt)
{
  TestPlugin plugin;
  MAudioPlugin::Transport& host = plugin.GetTransport();
  host.tempo = 90.0;
  host.songPosition = 8.0;
  host.barPosition = 4.0;
  host.numerator = 3;
  host.denominator = 8;

  host.updated = false;
  plugin.Run(64);
  MAudioEffectPlugin::Transport seen = plugin.Effect().m_lastTransport;
  EXPECT_EQ(seen.tempo, 90.0);
  EXPECT_EQ(seen.songPosition, -1.0);
  EXPECT_EQ(seen.barPosition, -1.0);
  EXPECT_EQ(seen.numerator, -1);
  EXPECT_EQ(seen.denominator, -1);

  host.updated = true;
  plugin.Run(64);
  seen = plugin.Effect().m_lastTransport;
  EXPECT_EQ(seen.songPosition, 8.0);
  EXPECT_EQ(seen.barPosition, 4.0);
  EXPECT_EQ(seen.numerator, 3);
  EXPECT_EQ(seen.denominator, 8);
}

TEST(MAudioEffectPluginToAudioPluginAdapter, PresetTriggersFireOnceOnEachRiseThroughTwoThirds)
{
  TestPlugin plugin;
  struct Step
  {
    double previousTrigger;
    double nextTrigger;
    std::vector<std::int32_t> steps; // all steps requested so far
  };
  const Step script[] = {
      {0.5, 0.0, {}},          {0.6666666666666666, 0.0, {-1}}, // exactly at the level fires
      {1.0, 0.0, {-1}},                                         // staying up does not fire again
      {1.0, 0.0, {-1}},        {0.2, 0.9, {-1, 1}},
      {0.7, 0.9, {-1, 1, -1}}, // down and up again fires again
  };
  for (const Step& step : script)
  {
    plugin.m_previousPresetTrigger.floating.value = step.previousTrigger;
    plugin.m_nextPresetTrigger.floating.value = step.nextTrigger;
    plugin.Run(32);
    EXPECT_EQ(plugin.m_steps, step.steps);
  }
}

TEST(MAudioEffectPluginToAudioPluginAdapter, ProcessingAllocatesNothingOnceInitialised)
{
  TestPlugin plugin;
  plugin.Effect().SetMaxBufferSize(100);
  plugin.UpdateMaxBufferSize();
  plugin.Run(1024);
  plugin.SetParameter(plugin.IndexOf("Dry/wet"), 0.3);
  plugin.GetTransport().updated = true;
  plugin.SetAGCEnabled(true); // the gain compensation follows the effect's -10 dB
  MAllocationCounter::Scope scope;
  plugin.Run(1024);
  plugin.m_nextPresetTrigger.floating.value = 1.0;
  plugin.SetAGCEnabled(false); // and on its way back to unity
  plugin.Run(512);
  EXPECT_EQ(scope.Count(), 0u);
}

TEST(MAudioEffectPluginToAudioPluginAdapter, ARefusedRateKeepsTheSetUpAndProcessesSilenceUntilOneIsTaken)
{
  TestPlugin plugin;
  for (const double rate : {700000.0, 48000.0})
  {
    plugin.SetSampleRate(rate);
    plugin.InitProcessing();
    plugin.Run(256);
    const bool refused = rate > 500000.0;
    EXPECT_EQ(
        std::tuple(plugin.IsSetUpRefused(), plugin.Effect().GetSampleRate(), plugin.m_output[1][255] == 0.0f),
        std::tuple(refused, refused ? 44100.0 : rate, refused));
  }
}

TEST(MAudioEffectPluginToAudioPluginAdapter, RandomisingChangesParametersInRangeAndReinitialises)
{
  TestPlugin plugin;
  FakeEffect& effect = plugin.Effect();
  const int initialisations = effect.m_initialisations;
  plugin.GenerateRandomSettings(1.0);
  EXPECT_TRUE(plugin.IsSettingsChanged());
  EXPECT_EQ(effect.m_initialisations, initialisations + 1);
  const MParameterInfo& shift = effect.Parameter(FakeEffect::kFormantShift);
  EXPECT_GE(shift.floating.value, -12.0);
  EXPECT_LE(shift.floating.value, 12.0);
  // Committed after re-initialisation: nothing ramps from the old value.
  EXPECT_EQ(shift.floating.previous, shift.floating.value);
}
