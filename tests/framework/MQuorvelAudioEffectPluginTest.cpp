// The common effect base: slots and A/B, ABCD morphing, protection levels, copy and paste, and
// presets applied to a live plug-in.
#include "framework/MQuorvelAudioEffectPlugin.h"

#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace MFrameworkTest;

namespace
{
std::string Text(TestPlugin& plugin)
{
  return Inflate(plugin.SaveState());
}

double Get(TestPlugin& plugin, const char* name)
{
  return plugin.GetParameter(plugin.IndexOf(name));
}
} // namespace

TEST(MQuorvelAudioEffectPluginTest, StateStoresSlotCWithSevenOthersThatLoadBackAndTheProtectionLevel)
{
  TestPlugin plugin;
  plugin.SetParameter(plugin.IndexOf("Depth"), 0.125);
  ASSERT_TRUE(plugin.SelectSlot(2));
  plugin.SetParameter(plugin.IndexOf("Depth"), 0.875);
  const std::string text = Text(plugin);
  EXPECT_NE(text.find("PresetIndex=\"2\""), std::string::npos);
  for (int slot = 0; slot < 8; ++slot)
    EXPECT_EQ(text.find("<Preset" + std::to_string(slot)) != std::string::npos, slot != 2) << slot;

  TestPlugin other;
  const auto bytes = plugin.SaveState();
  ASSERT_TRUE(other.LoadState(bytes->GetData(), bytes->GetSize()));
  EXPECT_EQ(other.GetPresetIndex(), 2);
  EXPECT_EQ(Text(other), text);
  other.SelectSlot(0); // slot A's state came with the slot items
  EXPECT_DOUBLE_EQ(Get(other, "Depth"), 0.125);
  other.ToggleAB();
  EXPECT_DOUBLE_EQ(Get(other, "Depth"), 0.875);
  EXPECT_FALSE(other.SelectSlot(8));
  const char* stored[] = {"\"2048\"", nullptr, "\"32\"", "\"8\"", "\"1\""}; // Normal is the default
  for (int level = 0; level < MQuorvelAudioEffectPlugin::kProtectionLevels; ++level)
  {
    other.SetProtectionLevel(level);
    EXPECT_EQ(other.GetProtectionLevel(), level);
    const std::string attribute = std::string("MaxLFOBlockSize=") + (stored[level] ? stored[level] : "");
    EXPECT_EQ(Text(other).find(attribute) != std::string::npos, stored[level] != nullptr) << level;
  }
}

TEST(MQuorvelAudioEffectPluginTest, MorphCornersGiveSlotsAToDAndTheCentreTheirMean)
{
  TestPlugin plugin;
  const double depth[4] = {0.125, 0.25, 0.5, 0.875};
  const double shift[4] = {1.0, 0.0, 0.75, 0.25};
  // Each stored kind: the corners hold what loading the slot would give.
  const char* const others[] = {"Voices", "Shape", "Active"};
  double corner[4][3] = {};
  for (int slot = 0; slot < 4; ++slot)
  {
    plugin.SelectSlot(slot);
    plugin.SetParameter(plugin.IndexOf("Depth"), depth[slot]);
    plugin.SetParameter(plugin.IndexOf("Formant shift"), shift[slot]);
    for (int other = 0; other < 3; ++other)
    {
      plugin.SetParameter(plugin.IndexOf(others[other]), 0.3 * (slot + other) - (slot + other > 3 ? 1 : 0));
      corner[slot][other] = Get(plugin, others[other]);
    }
  }
  EXPECT_NE(plugin.MorphWarningText().ToUTF8().find("Preset D is currently selected"), std::string::npos);
  plugin.SelectSlot(MQuorvelAudioEffectPlugin::kFirstSlotOutsideMorph);
  plugin.PrepareMorph();
  const double cases[][4] = {{0, 0, depth[0], shift[0]}, {1, 0, depth[1], shift[1]},
                             {0, 1, depth[2], shift[2]}, {1, 1, depth[3], shift[3]},
                             {0.5, 0.5, 0.4375, 0.5},    {-3, 7, depth[2], shift[2]}};
  for (const auto& c : cases)
  {
    ASSERT_TRUE(plugin.Morph(c[0], c[1]));
    EXPECT_DOUBLE_EQ(Get(plugin, "Depth"), c[2]) << c[0] << "," << c[1];
    EXPECT_DOUBLE_EQ(Get(plugin, "Formant shift"), c[3]) << c[0] << "," << c[1];
  }
  for (int slot = 0; slot < 4; ++slot)
  {
    ASSERT_TRUE(plugin.Morph(slot % 2, slot / 2));
    for (int other = 0; other < 3; ++other)
      EXPECT_EQ(Get(plugin, others[other]), corner[slot][other]) << slot << others[other];
  }
}

TEST(MQuorvelAudioEffectPluginTest, OpeningTheMorphPadMidRenderLeavesTheOutputBitIdentical)
{
  // In "Left" mode the right channel passes through a delay as long as the latency: a set-up of
  // the effect afresh (as loading a state does) would empty it in the middle of the render.
  const auto render = [](bool openMorphPad) {
    TestPlugin plugin;
    plugin.SetChannelMode(1);
    for (int slot = 0; slot < 4; ++slot)
    {
      plugin.SelectSlot(slot);
      plugin.SetParameter(plugin.IndexOf("Depth"), 0.125 + 0.25 * slot);
      plugin.SetParameter(plugin.IndexOf("Voices"), 0.25 * slot);
    }
    plugin.SelectSlot(MQuorvelAudioEffectPlugin::kFirstSlotOutsideMorph);
    const int initialisations = plugin.Effect().m_initialisations;
    std::vector<float> output;
    for (int block = 0, sample = 0; block < 12; ++block)
    {
      for (auto& channel : plugin.m_input)
        for (int i = 0; i < 256; ++i)
          channel[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(0.01 * (sample + i)));
      sample += 256;
      plugin.Run(256);
      for (const auto& channel : plugin.m_output)
        output.insert(output.end(), channel.begin(), channel.begin() + 256);
      if (openMorphPad && block == 5)
        plugin.PrepareMorph();
    }
    EXPECT_EQ(plugin.Effect().m_initialisations, initialisations);
    return output;
  };
  const std::vector<float> plain = render(false);
  const std::vector<float> morphed = render(true);
  ASSERT_EQ(plain.size(), morphed.size());
  EXPECT_EQ(std::memcmp(plain.data(), morphed.data(), plain.size() * sizeof(float)), 0);
}

TEST(MQuorvelAudioEffectPluginTest, PresetsApplyAlikeInBothFormsKeepControllersAndFollowProgramChanges)
{
  TestPlugin source;
  source.SetParameter(source.IndexOf("Formant shift"), 0.9);
  MXmlItem& root = source.GetPresetManager().GetRoot();
  const MXmlItem expanded = source.GetPresetManager().SaveCurrent(root, "Mine");
  TestPlugin first, second;
  first.GetPresetManager().ApplyPreset(expanded);
  second.GetPresetManager().ApplyPreset(MPresetTree::Compress(expanded));
  EXPECT_EQ(Text(first), Text(second));
  EXPECT_DOUBLE_EQ(Get(second, "Formant shift"), 0.9);

  // A preset without controller lists, chosen by MIDI program change while no editor is open:
  // the update thread applies it off the audio thread, and it leaves the assignments alone.
  source.m_controllers.assign(1, MControllerAssignment{});
  source.m_controllers[0].parameter = source.IndexOf("Speed");
  root.AddSubItem(MXmlItem("preset")).SetAttribute("parameterAutoTuneDepth", "0.75");
  source.ProcessProgramChange(0, 0.0, 0, 1);
  for (int wait = 0; wait < 300 && source.GetCurrentPresetIndex() != 1; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_DOUBLE_EQ(Get(source, "Depth"), 0.75);
  EXPECT_EQ(source.GetCurrentPresetIndex(), 1);
  EXPECT_TRUE(source.m_controllers.size() == 1 &&
              source.m_controllers[0].parameter == source.IndexOf("Speed"));
}

TEST(MQuorvelAudioEffectPluginTest, UnreadablePresetFileIsReportedAndMovedAsideNeverOverwritten)
{
  const std::string path = MQuorvelAudioEffectPlugin::GetPresetFilePath().ToUTF8();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string broken = "<?xml version=\"1.0\"?><presets><preset name=\"cut";
  std::ofstream(path, std::ios::binary) << broken;
  TestPlugin plugin;
  EXPECT_EQ(plugin.GetPresetManager().GetPresetCount(), 0);
  EXPECT_NE(plugin.GetPresetTreeError().ToUTF8().find("Unexpected end of XML input."), std::string::npos);
  MString error;
  ASSERT_TRUE(plugin.SavePresetTree(error)) << error.ToUTF8();
  std::stringstream aside;
  aside << std::ifstream(path + ".unreadable", std::ios::binary).rdbuf();
  EXPECT_EQ(aside.str(), broken);
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".unreadable");
}

TEST(MQuorvelAudioEffectPluginTest, PanicEndsHeldNotesRestartsTheDelaysAndTheGainAndKeepsTheSettings)
{
  struct Listener : MMIDIListener
  {
    void ProcessNote(const MMIDINote& n) override { ends += n.noteOn ? "" : std::to_string(n.note) + " "; }
    void ProcessMIDIController(std::int32_t, double, std::int32_t, std::int32_t c, double) override
    {
      allOff += c == 123;
    }
    std::string ends;
    int allOff = 0;
  } listener;
  TestPlugin plugin;
  ASSERT_TRUE(plugin.AddMIDIListener(&listener));
  // Note 60 held, note 64 released while the pedal is down (sustained).
  const std::uint8_t events[][3] = {{0x90, 60, 100}, {0xB1, 64, 127}, {0x91, 64, 90}, {0x81, 64, 0}};
  for (const auto& event : events)
    plugin.ProcessMIDIEvent(0, event);
  plugin.SetAGCEnabled(true);
  plugin.Effect().m_gain = 0.5f;
  for (int block = 0; block < 40; ++block)
    plugin.Run(1024);
  ASSERT_GT(plugin.GetAGCGainDb(), 1.0);
  plugin.m_bypassed = true; // the bypass delay now holds 64 samples of input
  plugin.Run(1024);
  const std::string state = Text(plugin);
  const int initialisations = plugin.Effect().m_initialisations;
  listener.ends.clear(); // the pedal already passed on the release of 64

  ASSERT_TRUE(plugin.Panic());
  EXPECT_EQ(plugin.GetAGCGainDb(), 0.0);
  EXPECT_EQ(plugin.Effect().m_initialisations, initialisations + 1);
  for (auto& channel : plugin.m_input)
    std::fill(channel.begin(), channel.end(), 0.0f);
  plugin.Run(1024);
  for (const auto& channel : plugin.m_output)
    EXPECT_TRUE(std::all_of(channel.begin(), channel.begin() + 1024, [](float x) { return x == 0.0f; }));
  // Bypassed, no block reached the effect: the next MIDI event ends the notes before it counts.
  EXPECT_TRUE(plugin.IsPanicPending());
  const std::uint8_t next[3] = {0x90, 67, 100};
  plugin.ProcessMIDIEvent(0, next);
  EXPECT_EQ(listener.ends, "60 64 ");
  EXPECT_EQ(listener.allOff, 16) << "on every channel";
  EXPECT_TRUE(plugin.held[0][60] == 0 && plugin.sustained[1][64] == 0 && !plugin.sustain);
  EXPECT_EQ(plugin.held[0][67], 1) << "the new note";
  EXPECT_EQ(Text(plugin), state) << "settings and parameters stay";
}
