// The stored state: its exact text, its round trip, and its handling of damaged or hostile bytes.
#include "framework/MQuorvelAudioEffectPlugin.h"

#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace MFrameworkTest;

namespace
{
class RecordingHost : public MCoreTest::FakeHost
{
public:
  void SendAutomation(std::int32_t, double) override { ++m_calls; }
  void SendBypassAutomation(bool) override { ++m_calls; }
  int m_calls = 0;
};

std::string ReadFile(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::uint8_t> Bytes(const std::shared_ptr<MMemoryStream::Buffer>& buffer)
{
  return std::vector<std::uint8_t>(buffer->GetData(), buffer->GetData() + buffer->GetSize());
}

bool Load(TestPlugin& plugin, const std::vector<std::uint8_t>& bytes)
{
  return plugin.LoadState(bytes.data(), bytes.size());
}

// The fresh state's text with `from` replaced by `to` (which must occur).
std::vector<std::uint8_t> Edited(const std::string& from, const std::string& to)
{
  TestPlugin plugin;
  std::string text = Inflate(plugin.SaveState());
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos)
    text.replace(at, from.size(), to);
  return Deflate(text);
}

// Sets every part of the state; `variant` 1 and 2 give two different complete states.
void Fill(TestPlugin& plugin, int variant)
{
  const bool one = variant == 1;
  FakeEffect& effect = plugin.Effect();
  plugin.SetParameter(plugin.IndexOf("Depth"), one ? 0.125 : 0.75);
  plugin.SetParameter(plugin.IndexOf("Formant shift"), one ? 0.25 : 0.875);
  effect.Parameter(FakeEffect::kVoices).integer.value = one ? 5 : 7;
  effect.Parameter(FakeEffect::kShape).enumeration.value = one ? 2 : 1;
  effect.Parameter(FakeEffect::kEnabled).boolean.value = !one;
  effect.m_mood = one ? 11 : 12;
  plugin.SetChannelMode(one ? 1 : 6);
  plugin.m_controllersEnabled = one;
  plugin.m_noteControllersEnabled = one;
  plugin.m_presetController = {one, one ? 20 : 0, one ? 3 : 0};
  plugin.m_bypassed = one;
  plugin.SetMaxLFOBlockSize(one ? 32 : 2048);
  plugin.m_controllers.assign(one ? 2 : 1, MControllerAssignment{});
  plugin.m_controllers[0] = {true, plugin.IndexOf("Speed"), 0.25, 0.75, 0.5, 2, 74, 4, one};
  if (one)
    plugin.m_controllers[1].parameter = plugin.IndexOf("Depth");
  plugin.m_noteControllers.assign(1, MNoteControllerAssignment{});
  plugin.m_noteControllers[0] = {one, plugin.IndexOf("Voices"), one ? 3 : 0, 1, one ? 60 : 50, 0.5, 0.25};
  plugin.m_currentPresetIndex = one ? 4 : 1;
  plugin.SetAGCEnabled(one);
  MXmlItem slot(MString("settings"));
  slot.SetAttribute(MString("Marker"), MString::FromInteger(variant));
  plugin.SetPresetSlot(5, slot);
}

// Every part of the state as text, to compare two plug-ins field by field.
std::string Snapshot(TestPlugin& plugin)
{
  std::ostringstream s;
  for (std::int32_t index = 0; index < plugin.GetNumParameters(); ++index)
    s << plugin.GetParameter(index) << ' ';
  s << plugin.Effect().m_mood << ' ' << plugin.GetChannelMode() << ' ' << plugin.m_controllersEnabled << ' '
    << plugin.m_noteControllersEnabled << ' ' << plugin.m_presetController.enabled << ' '
    << plugin.m_presetController.controller << ' ' << plugin.m_presetController.channel << ' '
    << plugin.m_bypassed << ' ' << plugin.GetMaxLFOBlockSize() << ' ' << plugin.m_currentPresetIndex << ' '
    << plugin.IsAGCEnabled() << ' ' << plugin.GetPresetIndex() << ' '
    << plugin.GetPresetSlot(5).GetAttribute(MString("Marker"), MString()).ToNarrow() << " |";
  for (const MControllerAssignment& c : plugin.m_controllers)
    s << ' ' << c.enabled << c.parameter << ',' << c.value << ',' << c.maxValue << ',' << c.range << ','
      << c.channel << ',' << c.controller << ',' << c.rangeMode << ',' << c.invert;
  s << " |";
  for (const MNoteControllerAssignment& n : plugin.m_noteControllers)
    s << ' ' << n.enabled << n.parameter << ',' << n.mode << ',' << n.channel << ',' << n.note << ','
      << n.value << ',' << n.maxValue;
  return s.str();
}
} // namespace

TEST(MAudioEffectPluginSettings, FreshStateIsTheCommittedTextCompressedWithZlibAtLevelNine)
{
  TestPlugin plugin;
  const auto bytes = plugin.SaveState();
  ASSERT_NE(bytes, nullptr);
  ASSERT_GE(bytes->GetSize(), 2u);
  EXPECT_EQ(bytes->GetData()[0], 0x78);
  EXPECT_EQ(bytes->GetData()[1], 0xDA);
  const std::string text = Inflate(bytes);
  EXPECT_EQ(text, ReadFile(TONVERA_FRAMEWORK_TEST_DATA "/FreshState.xml"));
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?><settings ", 0), 0u);
}

TEST(MAudioEffectPluginSettings, LoadingRestoresEveryPartOfTheStateAndTellsTheHostNothing)
{
  TestPlugin plugin;
  RecordingHost host;
  plugin.SetHostAdapter(&host);
  Fill(plugin, 1);
  const std::string expected = Snapshot(plugin);
  const auto savedBuffer = plugin.SaveState();
  const std::string savedText = Inflate(savedBuffer);
  const auto saved = Bytes(savedBuffer);
  Fill(plugin, 2);
  ASSERT_NE(Snapshot(plugin), expected);
  const int callsBefore = host.m_calls;

  ASSERT_TRUE(Load(plugin, saved));
  EXPECT_EQ(Snapshot(plugin), expected);
  EXPECT_EQ(host.m_calls, callsBefore);
  EXPECT_TRUE(plugin.IsSettingsChanged());
  // Saving what was loaded gives the same text again; the earlier buffer is still alive.
  EXPECT_EQ(Inflate(plugin.SaveState()), savedText);
  EXPECT_EQ(Bytes(savedBuffer), saved);
  plugin.SetHostAdapter(nullptr);
}

TEST(MAudioEffectPluginSettings, BytesThatDoNotDecodeLeaveTheWholeStateAsItWas)
{
  TestPlugin plugin;
  Fill(plugin, 1);
  const std::string before = Snapshot(plugin);
  const auto valid = Bytes(plugin.SaveState());

  std::vector<std::vector<std::uint8_t>> inputs;
  inputs.push_back({});
  inputs.push_back({0x00, 0x01, 0x02, 0x03});
  inputs.emplace_back(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(valid.size() / 2));
  inputs.emplace_back(valid.begin(), valid.end() - 5);
  std::vector<std::uint8_t> flipped = valid;
  flipped[flipped.size() / 2] ^= 0x5A;
  inputs.push_back(flipped);
  inputs.push_back(Deflate("not xml at all"));
  // Valid up to a point where the document is cut: nothing may be applied before the error.
  std::string cut = Inflate(plugin.SaveState());
  inputs.push_back(Deflate(cut.substr(0, cut.size() - 12)));
  // More than 16 MiB once inflated.
  inputs.push_back(Deflate("<settings Mood=\"1\" x=\"" + std::string(17u << 20, 'a') + "\"/>"));

  Fill(plugin, 2);
  const std::string changed = Snapshot(plugin);
  ASSERT_NE(changed, before);
  for (std::size_t i = 0; i < inputs.size(); ++i)
  {
    EXPECT_FALSE(Load(plugin, inputs[i])) << "input " << i;
    EXPECT_EQ(Snapshot(plugin), changed) << "input " << i;
  }
}

TEST(MAudioEffectPluginSettings, HostileValuesAreClampedOrIgnoredNeverUsedAsTheyStand)
{
  struct Case
  {
    const char* name;
    std::string from;
    std::string to;
    std::function<void(TestPlugin&)> check;
  };
  const std::string version = "Version=\"461312\"";
  const Case cases[] = {
      {"preset index too high", "PresetIndex=\"0\"", "PresetIndex=\"9\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetPresetIndex(), 0); }},
      {"preset index negative", "PresetIndex=\"0\"", "PresetIndex=\"-1\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetPresetIndex(), 0); }},
      {"preset index valid", "PresetIndex=\"0\"", "PresetIndex=\"6\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetPresetIndex(), 6); }},
      {"version from the future", version, "Version=\"99999999\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetVersion(), 461312); }},
      {"version missing", version, "", [](TestPlugin& p) { EXPECT_EQ(p.GetVersion(), 328448); }},
      {"float not a number", "parameterDryWet=\"2\"", "parameterDryWet=\"abc\"",
       [](TestPlugin& p) { EXPECT_EQ(p.Effect().Parameter(FakeEffect::kDryWet).floating.value, 1.25); }},
      {"float above range", "parameterDryWet=\"2\"", "parameterDryWet=\"1e300\"",
       [](TestPlugin& p) { EXPECT_EQ(p.Effect().Parameter(FakeEffect::kDryWet).floating.value, 2.0); }},
      {"float below range", "parameterFormantShift=\"0\"", "parameterFormantShift=\"-40\"",
       [](TestPlugin& p) {
         EXPECT_EQ(p.Effect().Parameter(FakeEffect::kFormantShift).floating.value, -12.0);
       }},
      {"float nan", "parameterDryWet=\"2\"", "parameterDryWet=\"nan\"",
       [](TestPlugin& p) { EXPECT_EQ(p.Effect().Parameter(FakeEffect::kDryWet).floating.value, 1.25); }},
      {"integer above range", "parameterVoices=\"2\"", "parameterVoices=\"99999999999\"",
       [](TestPlugin& p) { EXPECT_EQ(p.Effect().Parameter(FakeEffect::kVoices).integer.value, 8); }},
      {"unknown enumeration name", "parameterShapeEnum=\"Sine\"", "parameterShapeEnum=\"Circle\"",
       [](TestPlugin& p) { EXPECT_EQ(p.Effect().Parameter(FakeEffect::kShape).enumeration.value, 1); }},
      {"enumeration name in other case", "parameterShapeEnum=\"Sine\"", "parameterShapeEnum=\"SAW\"",
       [](TestPlugin& p) { EXPECT_EQ(p.Effect().Parameter(FakeEffect::kShape).enumeration.value, 2); }},
      {"surround on a stereo instance", "ChannelMode=\"Left + Right\"", "ChannelMode=\"Surround\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetChannelMode(), 0); }},
      {"unknown channel mode", "ChannelMode=\"Left + Right\"", "ChannelMode=\"Sideways\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetChannelMode(), 0); }},
      {"channel mode in other case", "ChannelMode=\"Left + Right\"", "ChannelMode=\"mono + STEREO\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetChannelMode(), 5); }},
      {"block size negative", version, version + " MaxLFOBlockSize=\"-3\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetMaxLFOBlockSize(), 256); }},
      {"block size kept", version, version + " MaxLFOBlockSize=\"512\"",
       [](TestPlugin& p) { EXPECT_EQ(p.GetMaxLFOBlockSize(), 512); }},
      {"controller naming no parameter", "<Controllers/>",
       "<Controllers><Controller ParameterName=\"Nothing\" FullRange=\"2\"/>"
       "<Controller ParameterName=\"Depth\" FullRange=\"77\" Channel=\"300\" Value=\"x\"/></Controllers>",
       [](TestPlugin& p) {
         ASSERT_EQ(p.m_controllers.size(), 1u);
         EXPECT_EQ(p.m_controllers[0].parameter, p.IndexOf("Depth"));
         EXPECT_EQ(p.m_controllers[0].rangeMode, 4);
         EXPECT_EQ(p.m_controllers[0].channel, 16);
         EXPECT_EQ(p.m_controllers[0].value, 0.0);
       }},
      {"more controllers than slots", "<Controllers/>",
       [] {
         std::string list = "<Controllers>";
         for (int i = 0; i < 40; ++i)
           list += "<Controller ParameterName=\"Speed\"/>";
         return list + "</Controllers>";
       }(),
       [](TestPlugin& p) { EXPECT_EQ(p.m_controllers.size(), 32u); }},
      {"old note controller form", "<NoteControllers/>",
       "<NoteControllers><NoteController ParameterName=\"Voices\" Logarithmic=\"0\" "
       "Note=\"200\"/></NoteControllers>",
       [](TestPlugin& p) {
         ASSERT_EQ(p.m_noteControllers.size(), 1u);
         EXPECT_EQ(p.m_noteControllers[0].mode, 0);
         EXPECT_EQ(p.m_noteControllers[0].note, 127);
       }},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    TestPlugin plugin;
    plugin.Effect().Parameter(FakeEffect::kDryWet).floating.value = 1.25;
    plugin.Effect().Parameter(FakeEffect::kShape).enumeration.value = 1;
    const auto bytes = Edited(c.from, c.to);
    ASSERT_TRUE(Load(plugin, bytes));
    c.check(plugin);
  }
}

TEST(MAudioEffectPluginSettings, SurroundStateNeedsMoreThanTwoChannels)
{
  TestPlugin plugin(8);
  for (std::int32_t channel = 0; channel < 8; ++channel)
    plugin.SetSurroundChannelEnabled(channel, channel % 2 == 0);
  // Four characters: the first four channels follow them, the others keep their flags.
  ASSERT_TRUE(Load(plugin, Edited("ChannelMode=\"Left + Right\"",
                                  "ChannelMode=\"Surround\" SurroundChannelsEnable=\"1100\"")));
  EXPECT_EQ(plugin.GetChannelMode(), 7);
  const bool expected[8] = {true, true, false, false, true, false, true, false};
  for (std::int32_t channel = 0; channel < 8; ++channel)
    EXPECT_EQ(plugin.IsSurroundChannelEnabled(channel), expected[channel]) << channel;
  EXPECT_NE(Inflate(plugin.SaveState()).find("SurroundChannelsEnable=\"11001010\""), std::string::npos);

  // The older switch decides over the mode name.
  ASSERT_TRUE(Load(plugin, Edited("ChannelMode=\"Left + Right\"", "EnableSurroundProcessing=\"1\"")));
  EXPECT_EQ(plugin.GetChannelMode(), 7);
  ASSERT_TRUE(Load(plugin, Edited("ChannelMode=\"Left + Right\"",
                                  "ChannelMode=\"Surround\" EnableSurroundProcessing=\"0\"")));
  EXPECT_EQ(plugin.GetChannelMode(), 0);
}

TEST(MAudioEffectPluginSettings, SavedDefaultSettingsApplyToTheNextNewInstance)
{
  {
    TestPlugin plugin;
    plugin.Effect().m_mood = 42;
    ASSERT_TRUE(plugin.SetDefaultSettingsToCurrent());
  }
  {
    TestPlugin next;
    EXPECT_EQ(next.Effect().m_mood, 42);
  }
  std::filesystem::remove(MAudioPlugin::GetConfigurationPath().ToNarrow());
  TestPlugin fresh;
  EXPECT_EQ(fresh.Effect().m_mood, 3);
}
