// The plug-in's automation adapters: index lookup, counts, host-boundary safety, sorting,
// automation sending, randomisation, building typed parameters from an effect's table, latency.

#include "core/plugin/MAudioPlugin.h"
#include "base/MEventParams.h"
#include "base/MEventTarget.h"
#include "base/MException.h"
#include "core/parameters/MParameterBuilder.h"
#include "base/MValue.h"
#include "core/plugin/MModuleRandom.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

using MCoreTest::Descriptor;
using MCoreTest::FakeHost;
using MCoreTest::Register;
using MCoreTest::TestAdapter;

namespace
{
// Adds a temporary adapter of `count` slots after those registered.
TestAdapter* AddTemporary(MAudioPlugin& plugin, int count, int position, bool* destroyed = nullptr)
{
  auto* temporary = new TestAdapter(count, position);
  temporary->SetTemporary(true);
  temporary->m_destroyed = destroyed;
  plugin.AddAutomationAdapter(temporary);
  plugin.AssignAutomationIndices();
  return temporary;
}
} // namespace

TEST(MAudioPluginLookup, BisectionFindsTheCoveringAdapterForEveryIndexOfRandomLayouts)
{
  std::mt19937 random(5);
  for (int layout = 0; layout < 40; ++layout)
  {
    MAudioPlugin plugin;
    std::vector<int> counts(1 + random() % 30);
    for (int& count : counts)
      count = 1 + static_cast<int>(random() % 13);
    const auto adapters = Register(plugin, counts);
    int index = 0;
    for (std::size_t a = 0; a < adapters.size(); ++a)
    {
      for (int slot = 0; slot < counts[a]; ++slot, ++index)
      {
        std::int32_t found = -1;
        ASSERT_EQ(plugin.FindAutomationAdapter(index, found), adapters[a])
            << "layout " << layout << " index " << index;
        ASSERT_EQ(found, slot);
      }
    }
    EXPECT_EQ(plugin.GetNumParameters(), index);
  }
}

TEST(MAudioPluginLookup, TemporaryAdapterCountsInTheTotalButNotForTheHostAndLeavesOnRequest)
{
  MAudioPlugin plugin;
  Register(plugin, {3, 1});
  bool destroyed = false;
  TestAdapter* temporary = AddTemporary(plugin, 2, 9, &destroyed);
  EXPECT_EQ(plugin.GetNumParameters(), 4);
  EXPECT_EQ(plugin.GetTotalParameterCount(), 6);

  std::int32_t slot = -1;
  EXPECT_EQ(plugin.FindAutomationAdapter(5, slot), temporary) << "the framework still reaches it";
  EXPECT_EQ(slot, 1);

  MEventTarget listener;
  plugin.GetNotifyEvent().Subscribe(&listener, nullptr, [](MEventTarget*, void*, MOnNotifyParams&) {});
  plugin.DestroyTemporaryAutomationAdapters();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(plugin.GetNotifyEvent().GetHandlerCount(), 0u) << "the notification handlers go too";
  EXPECT_EQ(plugin.GetTotalParameterCount(), 4);
  EXPECT_EQ(plugin.GetNumAutomationAdapters(), 2);
}

TEST(MAudioPluginLookup, IndicesOutsideTheHostRangeAnswerNeutralValuesAndChangeNothing)
{
  MAudioPlugin plugin;
  const auto adapters = Register(plugin, {12, 1, 1});
  TestAdapter* temporary = AddTemporary(plugin, 2, 3);

  for (const std::int32_t index : {-1, 14, 15, 16, 1000, INT_MIN, INT_MAX})
  {
    plugin.SetParameter(index, 0.25);
    plugin.SetParameterIfChanged(index, 0.75);
    EXPECT_DOUBLE_EQ(plugin.GetParameter(index), 0.0) << index;
    EXPECT_TRUE(plugin.GetParameterName(index).IsEmpty());
    EXPECT_TRUE(plugin.GetParameterID(index).IsEmpty());
    EXPECT_TRUE(plugin.GetParameterValueName(index).IsEmpty());
    EXPECT_TRUE(plugin.GetParameterValueNameFrom01(index, 0.5).IsEmpty());
    EXPECT_DOUBLE_EQ(plugin.ParseParameterValueName(index, MString("0.5")), 0.0);
    EXPECT_TRUE(plugin.GetParameterUnitsName(index).IsEmpty());
    EXPECT_EQ(plugin.GetParameterType(index), 0);
    EXPECT_DOUBLE_EQ(plugin.GetParameterDefaultValue(index), 0.0);
  }
  for (TestAdapter* adapter : adapters)
    EXPECT_TRUE(adapter->m_sets.empty());
  EXPECT_TRUE(temporary->m_sets.empty());
}

TEST(MAudioPluginParameters, SetParameterIfChangedIgnoresDifferencesUpToOneTenMillionth)
{
  MAudioPlugin plugin;
  const auto adapters = Register(plugin, {1});
  adapters[0]->m_values[0] = 0.5;
  plugin.SetParameterIfChanged(0, 0.5 + 1e-8);
  EXPECT_TRUE(adapters[0]->m_sets.empty());
  plugin.SetParameterIfChanged(0, 0.5 + 2e-7, true);
  ASSERT_EQ(adapters[0]->m_sets.size(), 1u);
  EXPECT_TRUE(adapters[0]->m_sets[0].silent);
  plugin.SetParameter(0, 0.5 + 2e-7);
  EXPECT_EQ(adapters[0]->m_sets.size(), 2u) << "SetParameter sets unconditionally";
}

TEST(MAudioPluginParameters, SendAutomationValueWithChangeSendsANeighbourFirstAndNothingOfATemporarySlot)
{
  MAudioPlugin plugin;
  FakeHost host;
  plugin.SetHostAdapter(&host);
  const auto adapters = Register(plugin, {2, 3});
  adapters[1]->SendAutomationValueWithChange(1, 0.0);
  adapters[1]->SendAutomationValueWithChange(2, 0.5);
  ASSERT_EQ(host.m_automation.size(), 4u);
  EXPECT_EQ(host.m_automation[0].first, 3);
  EXPECT_DOUBLE_EQ(host.m_automation[0].second, 1e-10);
  EXPECT_DOUBLE_EQ(host.m_automation[1].second, 0.0);
  EXPECT_EQ(host.m_automation[2].first, 4);
  EXPECT_DOUBLE_EQ(host.m_automation[2].second, 0.4999999999);
  EXPECT_DOUBLE_EQ(host.m_automation[3].second, 0.5);

  host.m_automation.clear();
  adapters[1]->SendAllAutomation();
  ASSERT_EQ(host.m_automation.size(), 3u);
  EXPECT_DOUBLE_EQ(host.m_automation[2].second, adapters[1]->Encode(2));

  // A temporary adapter's slots are never sent to the host.
  host.m_automation.clear();
  TestAdapter* temporary = AddTemporary(plugin, 1, 5);
  temporary->SendAllAutomation();
  temporary->SendAutomationValueWithChange(0, 0.5);
  EXPECT_TRUE(host.m_automation.empty());
}

TEST(MAudioPluginParameters, SortingByOrderKeyIsStableAndReassignsIndices)
{
  MAudioPlugin plugin;
  plugin.SetSortAdapters(true);
  const auto adapters = Register(plugin, {1, 2, 1, 1, 3});
  const int keys[] = {3, 1, 2, 1, 0};
  for (std::size_t i = 0; i < adapters.size(); ++i)
    adapters[i]->m_orderKey = keys[i];
  plugin.AssignAutomationIndices();
  const TestAdapter* expected[] = {adapters[4], adapters[1], adapters[3], adapters[2], adapters[0]};
  for (int position = 0; position < 5; ++position)
    EXPECT_EQ(plugin.GetAutomationAdapter(position), expected[position]) << position;
  EXPECT_EQ(adapters[1]->GetFirstIndex(), 3);
  EXPECT_EQ(adapters[0]->GetFirstIndex(), 7);
}

TEST(MAudioPluginParameters, RandomisingAnAdapterDrawsFreshValuesOrMovesWithinTheAmount)
{
  MAudioPlugin plugin;
  const auto adapters = Register(plugin, {6, 6});
  adapters[1]->m_canRandomize = false;
  MModuleRandom::Seed(4242u);
  plugin.Randomize(1.0);
  for (const auto& set : adapters[0]->m_sets)
  {
    EXPECT_TRUE(set.silent);
    EXPECT_GE(set.value, 0.0);
    EXPECT_LE(set.value, 1.0);
  }
  EXPECT_EQ(adapters[0]->m_sets.size(), 6u);
  EXPECT_TRUE(adapters[1]->m_sets.empty());

  for (int round = 0; round < 50; ++round)
  {
    std::vector<double> before(adapters[0]->m_values);
    adapters[0]->Randomize(0.2);
    for (int slot = 0; slot < 6; ++slot)
    {
      const double after = adapters[0]->m_values[static_cast<std::size_t>(slot)];
      ASSERT_LE(std::fabs(after - before[static_cast<std::size_t>(slot)]), 0.2 + 1e-12);
      ASSERT_GE(after, 0.0);
      ASSERT_LE(after, 1.0);
    }
  }
}

TEST(MAudioPluginParameters, ParameterIDJoinsPrefixIdentifierPartAndName)
{
  MAudioPlugin plugin;
  const auto adapters = Register(plugin, {1, 1, 1});
  adapters[0]->m_idPrefix = MString("Ctl");
  adapters[0]->m_name = MString("Gain");
  adapters[1]->m_idPart = MString("Scale");
  adapters[1]->m_name = MString("C#");
  adapters[2]->m_idPrefix = MString("Ctl");
  EXPECT_EQ(plugin.GetParameterID(0).ToUTF8(), "Ctl - Gain");
  EXPECT_EQ(plugin.GetParameterID(1).ToUTF8(), "Scale - C#");
  EXPECT_EQ(plugin.GetParameterID(2).ToUTF8(), "Ctl");
}

TEST(MAudioPluginLatency, ReportsOnlyChangesAndAddsTheResamplerLatency)
{
  MCoreTest::IdentityPlugin plugin;
  FakeHost host;
  plugin.SetHostAdapter(&host);
  plugin.m_effectLatency = 1024;
  plugin.ReportLatency();
  plugin.ReportLatency();
  EXPECT_EQ(host.m_latencyReports, 1);
  EXPECT_EQ(plugin.GetReportedLatency(), 1024);

  plugin.m_oversampling = 2;
  EXPECT_EQ(plugin.GetLatency(), 512 + 3072);
  plugin.m_oversamplingHighQuality = false;
  EXPECT_EQ(plugin.GetLatency(), 512 + 768);
  plugin.m_oversampling = 4;
  EXPECT_EQ(plugin.GetLatency(), 256 + 384);
  plugin.ReportLatency();
  EXPECT_EQ(host.m_latencyReports, 2);
}

TEST(MAudioPluginChannels, ChannelQueriesFollowForcedCountsAndBuses)
{
  MAudioPlugin plugin;
  plugin.SetChannelNames({MString("L"), MString("R")},
                         {MString("L"), MString("R"), MString("Ls"), MString("Rs")});
  EXPECT_EQ(plugin.GetNumProcessInputChannels(), 2);
  EXPECT_EQ(plugin.GetNumInputBuses(), 1);
  EXPECT_EQ(plugin.GetNumOutputBuses(), 2);
  plugin.SetForcedChannelCount(1);
  EXPECT_EQ(plugin.GetNumProcessInputChannels(), 1);
  plugin.SetCurrentChannelCounts(0, 1);
  EXPECT_EQ(plugin.GetNumProcessInputChannels(), 0);
  EXPECT_EQ(plugin.GetNumOutputBuses(), 1) << "a mono host output is still one bus";
}

// ---- building from an effect's table ---------------------------------------------------------------

TEST(MParameterBuilder, BuildsTypedParametersWithGroupsAndEffectIndices)
{
  MRelaxed<bool> fxOn{true};
  std::vector<MParameterInfo> table = {
      Descriptor(MParameterInfo::kFloat, "Mix"),         Descriptor(MParameterInfo::kBoolean, "Hidden", 0),
      Descriptor(MParameterInfo::kGroup, "Tuning"),      Descriptor(MParameterInfo::kInteger, "Offset"),
      Descriptor(MParameterInfo::kEnumeration, "Shape"), Descriptor(MParameterInfo::kText, "Comment"),
      Descriptor(MParameterInfo::kGroup, "Fx"),          Descriptor(MParameterInfo::kFloat, "Amount"),
  };
  table[4].flags2 = MParameterInfo::kEndsGroup;
  table[6].group.enabled = &fxOn;
  table[7].text4 = MString("Wet");
  table[7].text3 = MString("Right");

  MAudioPlugin plugin;
  MParameterTable description;
  description.descriptors = table.data();
  description.count = static_cast<std::int32_t>(table.size());
  description.flags = MParameterTable::kWantsTimeInfo;
  plugin.m_wantsTimeInfo = false;
  MParameterIndexMap map;
  MParameterBuilder::Build(plugin, nullptr, description, map, plugin.GetParameterPanelLink());

  EXPECT_TRUE(plugin.m_wantsTimeInfo.Load());
  ASSERT_EQ(plugin.GetNumParameters(), 5);
  EXPECT_EQ(map.Count(), 5);
  const int effectIndices[] = {0, 3, 4, 6, 7};
  for (int index = 0; index < 5; ++index)
  {
    ParameterBase* parameter = map.Find(effectIndices[index]);
    ASSERT_NE(parameter, nullptr) << effectIndices[index];
    EXPECT_EQ(parameter->GetFirstIndex(), index);
    EXPECT_EQ(parameter->m_effectIndex, effectIndices[index]);
  }
  EXPECT_EQ(map.Find(1), nullptr);
  EXPECT_EQ(map.Find(2), nullptr) << "a heading without a switch makes no parameter";

  const int types[] = {1, 2, 3, 4, 1};
  for (int index = 0; index < 5; ++index)
    EXPECT_EQ(plugin.GetParameterType(index), types[index]);
  EXPECT_EQ(plugin.GetParameterID(0).ToUTF8(), "Mix");
  EXPECT_EQ(plugin.GetParameterID(1).ToUTF8(), "Tuning - Offset");
  EXPECT_EQ(plugin.GetParameterID(2).ToUTF8(), "Shape") << "0x08 ends the group";
  EXPECT_EQ(plugin.GetParameterID(3).ToUTF8(), "Fx - Fx");
  EXPECT_EQ(plugin.GetParameterID(4).ToUTF8(), "Wet - Right - Fx - Amount");

  plugin.SetParameter(3, 0.0);
  EXPECT_FALSE(fxOn.Load());
}

TEST(MParameterBuilder, UnknownTypeStopsTheBuildWithItsMessage)
{
  std::vector<MParameterInfo> table = {Descriptor(MParameterInfo::kFloat, "Mix"), Descriptor(6, "Odd")};
  MAudioPlugin plugin;
  MParameterTable description;
  description.descriptors = table.data();
  description.count = 2;
  MParameterIndexMap map;
  EXPECT_EQ(MessageOf([&] { MParameterBuilder::Build(plugin, nullptr, description, map, nullptr); }),
            "Invalid plugin parameter type.");
}

TEST(MParameterBuilder, PointerListIsWalkedAfterTheArrayWhenTheTableSaysSo)
{
  std::vector<MParameterInfo> table = {Descriptor(MParameterInfo::kFloat, "A")};
  MParameterInfo extra = Descriptor(MParameterInfo::kBoolean, "B");
  MParameterInfo* pointers[] = {&extra};
  MParameterTable description;
  description.descriptors = table.data();
  description.count = 1;
  description.pointers = pointers;
  description.pointerCount = 1;

  MAudioPlugin without;
  MParameterIndexMap map;
  MParameterBuilder::Build(without, nullptr, description, map, nullptr);
  EXPECT_EQ(without.GetNumParameters(), 1);

  description.flags = MParameterTable::kHasPointerList;
  MAudioPlugin with;
  map.Clear();
  MParameterBuilder::Build(with, nullptr, description, map, nullptr);
  EXPECT_EQ(with.GetNumParameters(), 2);
  ASSERT_NE(map.Find(1), nullptr);
  EXPECT_EQ(with.GetParameterName(1).ToUTF8(), "B");
}

// ---- MIDI input ----------------------------------------------------------------------------------

TEST(MMIDIProcessor, ShortMessagesDecodeIntoTypedCallsAndKeepTheChannelState)
{
  MAudioPlugin plugin;
  const struct
  {
    std::uint8_t bytes[3];
  } messages[] = {{{0x92, 60, 100}},    {{0x93, 64, 90}},     {{0x83, 64, 0}}, {{0xB1, 7, 99}},
                  {{0xE0, 0x00, 0x40}}, {{0xE1, 0x7F, 0x7F}}, {{0xD5, 33, 0}}, {{0xF8, 0, 0}}};
  for (const auto& message : messages)
    plugin.ProcessShortMessage(message.bytes, 0);
  EXPECT_EQ(plugin.noteVelocity[2][60], 100);
  EXPECT_EQ(plugin.noteVelocity[3][64], 0) << "note-off ends the note";
  EXPECT_EQ(plugin.controllers[1][7], 99);
  EXPECT_EQ(plugin.pitchBend[0], 0) << "0x2000 is the centre";
  EXPECT_EQ(plugin.pitchBend[1], 8191);
  EXPECT_EQ(plugin.aftertouch[5], 33);
  const std::uint8_t noteOnZero[3] = {0x90, 60, 0};
  const std::uint8_t noteOn[3] = {0x90, 60, 1};
  plugin.ProcessShortMessage(noteOn, 0);
  plugin.ProcessShortMessage(noteOnZero, 0);
  EXPECT_EQ(plugin.noteVelocity[0][60], 0) << "note-on with velocity 0 is a note-off";
}
