#include "framework/MMIDIControllers.h"

#include "base/MLockGuard.h"

#include "tests/framework/MFakeEffect.h"
#include "tests/support/MAllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace MFrameworkTest;

namespace
{
MControllerAssignment Assignment(std::int32_t mode, double value, double range, double maxValue = 0.0,
                                 bool invert = false)
{
  MControllerAssignment a;
  a.enabled = true;
  a.rangeMode = mode;
  a.value = value;
  a.range = range;
  a.maxValue = maxValue;
  a.invert = invert;
  return a;
}

void Send(TestPlugin& plugin, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
          std::int32_t delta = 0)
{
  const std::uint8_t bytes[3] = {status, data1, data2};
  plugin.ProcessMIDIEvent(delta, bytes);
}

double Normalised(TestPlugin& plugin, const char* name)
{
  plugin.FlushMIDIParameterChanges();
  return plugin.GetParameter(plugin.IndexOf(name));
}

// Sends one message and answers Depth once it is applied.
double DepthAfter(TestPlugin& plugin, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
  Send(plugin, status, data1, data2);
  return Normalised(plugin, "Depth");
}

double Frequency(double note)
{
  return 440.0 * std::pow(2.0, (note - 69.0) / 12.0) * 2.0; // note 69 is 880 Hz in this tuning
}

// Note controllers switched on, and `count` copies of one enabled assignment in `mode` on Depth.
MNoteControllerAssignment& NoteControllers(TestPlugin& plugin, std::int32_t mode, std::int32_t note,
                                           std::size_t count = 1)
{
  plugin.m_noteControllersEnabled = true;
  MNoteControllerAssignment n;
  n.enabled = true;
  n.mode = mode;
  n.parameter = plugin.IndexOf("Depth");
  n.note = note;
  plugin.m_noteControllers.assign(count, n);
  return plugin.m_noteControllers[0];
}
} // namespace

TEST(MMIDIControllers, EveryRangeModeMapsTheInputExtremesAndCentreAsDescribed)
{
  struct Case
  {
    const char* what;
    MControllerAssignment assignment;
    double low, centre, high; // y at x = -1, 0, +1
  };
  const Case cases[] = {
      {"up and down near the top swings only the headroom", Assignment(kRangeUpAndDown, 0.9, 1.0), 0.8, 0.9,
       1.0},
      {"up and down limited by half the range", Assignment(kRangeUpAndDown, 0.5, 0.2), 0.4, 0.5, 0.6},
      {"full range recentres when the value is too high", Assignment(kRangeFull, 0.9, 1.0), 0.0, 0.5, 1.0},
      {"full range keeps a low value as centre", Assignment(kRangeFull, 0.3, 0.4), 0.1, 0.3, 0.5},
      {"up only", Assignment(kRangeUpOnly, 0.5, 1.0), 0.5, 0.75, 1.0},
      {"down only", Assignment(kRangeDownOnly, 0.5, 0.2), 0.5, 0.4, 0.3},
      {"interval", Assignment(kRangeInterval, 0.2, 1.0, 0.8), 0.2, 0.5, 0.8},
      {"inverted up only", Assignment(kRangeUpOnly, 0.5, 1.0, 0.0, true), 1.0, 0.75, 0.5},
      {"unknown mode holds the value", Assignment(9, 0.3, 1.0), 0.3, 0.3, 0.3},
  };
  for (const Case& c : cases)
  {
    EXPECT_NEAR(MMIDIControllers::MapController(c.assignment, -1.0), c.low, 1e-12) << c.what;
    EXPECT_NEAR(MMIDIControllers::MapController(c.assignment, 0.0), c.centre, 1e-12) << c.what;
    EXPECT_NEAR(MMIDIControllers::MapController(c.assignment, 1.0), c.high, 1e-12) << c.what;
  }
}

TEST(MMIDIControllers, AssignmentsFollowChannelControllerAndTheEnableSwitch)
{
  TestPlugin plugin;
  MControllerAssignment a = Assignment(kRangeUpOnly, 0.0, 1.0);
  a.parameter = plugin.IndexOf("Depth");
  a.controller = 11;
  a.channel = 2; // MIDI channel index 1
  plugin.m_controllers.assign(1, a);
  const double before = Normalised(plugin, "Depth");

  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0xB1, 11, 127), before) << "controllers switched off";
  plugin.m_controllersEnabled = true;
  Send(plugin, 0xB0, 11, 127);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0xB1, 12, 127), before) << "other channel or controller";
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0xB1, 11, 127), 1.0);

  // Pitch-bend at its centre and note velocities through the pseudo controllers.
  plugin.m_controllers[0].controller = MMIDIControllers::kPitchBend;
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0xE1, 0x00, 0x00), 0.0);
  plugin.m_controllers[0].controller = MMIDIControllers::kVelocityOn;
  EXPECT_NEAR(DepthAfter(plugin, 0x91, 60, 64), 63.0 / 127.0, 1e-12);
  EXPECT_NEAR(DepthAfter(plugin, 0x81, 60, 127), 63.0 / 127.0, 1e-12) << "velocity (on) ignores note-offs";
}

TEST(MMIDIControllers, NoteControllersInEveryMode)
{
  TestPlugin plugin;
  MNoteControllerAssignment& n = NoteControllers(plugin, kNoteLinear, 48);
  n.value = 0.0;
  n.maxValue = 1.0;
  EXPECT_NEAR(DepthAfter(plugin, 0x90, 69, 100), (Frequency(69) - 20.0) / 19980.0, 1e-9);
  Send(plugin, 0xE0, 0x7F, 0x7F); // bend +1 semitone re-evaluates the last note
  EXPECT_NEAR(Normalised(plugin, "Depth"), (Frequency(70) - 20.0) / 19980.0, 1e-9);
  Send(plugin, 0xE0, 0x00, 0x40);

  plugin.m_noteControllers[0].mode = kNoteLogarithmic;
  EXPECT_NEAR(DepthAfter(plugin, 0x90, 57, 100), std::log10(Frequency(57) / 20.0) / 3.0, 1e-4);

  plugin.m_noteControllers[0].mode = kNoteOnOff;
  EXPECT_NEAR(DepthAfter(plugin, 0x90, 60, 100), std::log10(Frequency(57) / 20.0) / 3.0, 1e-4)
      << "not its note";
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x90, 48, 100), 1.0);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 48, 0), 0.0);

  plugin.m_noteControllers[0].mode = kNoteOnOffAllOctaves;
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x90, 72, 100), 1.0);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 72, 0), 0.0);

  plugin.m_noteControllers[0].mode = kNoteSwitch;
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x90, 48, 100), 1.0);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 48, 0), 1.0) << "a switch ignores note-offs";
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x90, 48, 100), 0.0);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x90, 60, 100), 0.0) << "another octave";

  plugin.m_noteControllers[0].mode = kNoteSwitchAllOctaves;
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x90, 60, 100), 1.0);
}

// "Held notes (all octaves)": a pitch class stays on while any of its octaves is held; stray
// note-offs, of a released key or of a key never pressed, do not release it. A key released under
// the sustain pedal sounds until the pedal's release and counts once: the key pressed again
// meanwhile stays held. All notes off (123) and all sound off (120) release everything; a note that
// finds the lists busy is counted all the same.
TEST(MMIDIControllers, HeldNotesInEveryOctaveUnderThePedalAllNotesOffAndABusyLock)
{
  TestPlugin plugin;
  NoteControllers(plugin, kNoteHeldAllOctaves, 60);
  Send(plugin, 0x90, 48, 100); // C3
  Send(plugin, 0x90, 72, 100); // C5
  Send(plugin, 0x80, 72, 0);
  Send(plugin, 0x80, 72, 0);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 60, 0), 1.0) << "C3 is still held";
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 48, 0), 0.0);

  Send(plugin, 0x90, 48, 100);
  Send(plugin, 0xB0, 64, 127);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 48, 0), 1.0) << "sounding under the pedal";
  Send(plugin, 0x90, 48, 100);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0xB0, 64, 0), 1.0) << "pressed again: still held after the pedal";
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 48, 0), 0.0);
  for (const std::uint8_t controller : {123, 120})
  {
    Send(plugin, 0x90, 48, 100);
    Send(plugin, 0x90, 72, 100);
    EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0xB0, controller, 0), 0.0) << int{controller};
    Send(plugin, 0x90, 60, 100);
    EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 60, 0), 0.0) << int{controller} << ": nothing left held";
  }
  struct Access : TestPlugin
  {
    static MLock& Lock(TestPlugin& of) { return of.*(&Access::m_processingLock); }
  };
  std::atomic<int> stage{0};
  std::thread holder([&] {
    MLockGuard held(Access::Lock(plugin));
    stage = 1;
    while (stage.load() != 2)
      std::this_thread::yield();
  });
  while (stage.load() != 1)
    std::this_thread::yield();
  Send(plugin, 0x90, 48, 100); // the lists are busy
  stage = 2;
  holder.join();
  Send(plugin, 0x90, 72, 100);
  EXPECT_DOUBLE_EQ(DepthAfter(plugin, 0x80, 72, 0), 1.0) << "the key pressed while the lists were busy";
}

TEST(MMIDIControllers, ThePresetControllerRequestsAStepPerThresholdCrossingThatTheNextBlockApplies)
{
  TestPlugin plugin;
  plugin.m_presetController.enabled = true;
  plugin.m_presetController.controller = 20;
  plugin.m_presetController.channel = 4;
  for (std::uint8_t value : {64, 115, 127, 25, 20})
  {
    Send(plugin, 0xB3, 20, value);
    Send(plugin, 0xB0, 20, 64); // another channel: ignored
    plugin.Run(64);
  }
  EXPECT_EQ(plugin.m_steps, (std::vector<std::int32_t>{1, -1}));

  plugin.m_presetController.controller = MMIDIControllers::kVelocityOn;
  plugin.m_steps.clear();
  Send(plugin, 0x93, 60, 100);
  plugin.Run(64);
  Send(plugin, 0x83, 60, 0);
  plugin.Run(64);
  EXPECT_EQ(plugin.m_steps, (std::vector<std::int32_t>{1}));

  // The switch itself steps once per crossing of its thresholds.
  MMIDIControllers::PresetSwitch preset;
  preset.last = 0.5;
  EXPECT_EQ(preset.Step(0.9), 1);
  EXPECT_EQ(preset.Step(1.0), 0);
  EXPECT_EQ(preset.Step(0.5), 0);
  EXPECT_EQ(preset.Step(0.2), -1);
  EXPECT_EQ(preset.Step(0.0), 0);
  EXPECT_EQ(preset.Step(0.7), 1) << "a jump from low to high is one step forward";
}

TEST(MMIDIControllers, LearnReportsTheOneBasedChannelAndTheControllerNumber)
{
  TestPlugin plugin;
  Send(plugin, 0xB2, 74, 10);
  Send(plugin, 0xE0, 0, 64);
  Send(plugin, 0x95, 60, 10);
  MMIDIControllers::LearnRecord record;
  std::vector<std::pair<int, int>> seen;
  while (plugin.PopLearnRecord(record))
    seen.emplace_back(record.channel, record.controller);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{3, 74}, {1, 129}, {6, 131}}));
}

TEST(MMIDIControllers, AControllerChangesTheOutputAtItsOffsetWithinTheBlock)
{
  TestPlugin plugin;
  const std::int32_t dryWet = plugin.IndexOf("Dry/wet");
  plugin.SetParameter(dryWet, 0.25); // the fake effect's gain is DryWet / 2: 0.25
  MControllerAssignment a = Assignment(kRangeUpOnly, 0.0, 1.0);
  a.parameter = dryWet;
  a.controller = 11;
  plugin.m_controllers.assign(1, a);
  plugin.m_controllersEnabled = true;
  plugin.Run(256);
  ASSERT_FLOAT_EQ(plugin.m_output[0][100], 0.25f * 0.25f);

  // A block four times the announced size runs in pieces: nothing allocates, and the change
  // still lands at its offset.
  constexpr std::int32_t kOffset = 3000;
  Send(plugin, 0xB0, 11, 127, kOffset); // full scale: DryWet 2, gain 1
  MAllocationCounter::Scope scope;
  plugin.Run(4096);
  EXPECT_EQ(scope.Count(), 0u);
  std::int32_t first = -1;
  for (std::int32_t i = 0; i < 4096 && first < 0; ++i)
    if (plugin.m_output[0][static_cast<std::size_t>(i)] > 0.1f)
      first = i;
  EXPECT_GE(first, kOffset - 1);
  EXPECT_LE(first, kOffset + plugin.GetMaxLFOBlockSize());
  EXPECT_FLOAT_EQ(plugin.m_output[1][4070], 0.25f);
}

TEST(MMIDIControllers, MIDIAndChannelModesAllocateNothingOnTheAudioThread)
{
  TestPlugin plugin;
  plugin.SetChannelMode(4);
  plugin.InitProcessing();
  MControllerAssignment a = Assignment(kRangeFull, 0.5, 1.0);
  a.parameter = plugin.IndexOf("Dry/wet");
  a.controller = MMIDIControllers::kPitchBend;
  plugin.m_controllers.assign(32, a);
  NoteControllers(plugin, kNoteSwitchAllOctaves, -1, 32);
  plugin.m_controllersEnabled = true;
  plugin.Run(512);
  // The core starts its editor-refresh thread and sizes its refresh list on the first parameter
  // change; that happens once per plug-in, before this measurement.
  plugin.SetParameter(plugin.IndexOf("Dry/wet"), 1.0);
  plugin.SetParameter(plugin.IndexOf("Depth"), 0.5);

  MAllocationCounter::Scope scope;
  for (std::int32_t i = 0; i < 40; ++i)
  {
    Send(plugin, 0xE0, static_cast<std::uint8_t>(i), 0x40, i * 10);
    Send(plugin, 0x90, 60, 100, i * 10 + 1);
    Send(plugin, 0xB0, 64, static_cast<std::uint8_t>(i % 2 * 127), i * 10 + 2);
  }
  plugin.Run(512);
  EXPECT_EQ(scope.Count(), 0);
}

// Learn takes what comes after it started, the latest message of an idle tick, one assignment per
// parameter (learning again replaces it), and turns the controllers on; Forget removes it.
TEST(MMIDIControllers, LearnFillsOneAssignmentForTheWaitingParameterFromTheLatestMessage)
{
  TestPlugin plugin;
  const std::int32_t dryWet = plugin.IndexOf("Dry/wet");
  Send(plugin, 0xB0, 20, 10); // before learn: dropped
  plugin.StartMIDILearn(dryWet);
  EXPECT_FALSE(plugin.ProcessMIDILearn());
  EXPECT_EQ(plugin.GetMIDILearnParameter(), dryWet) << "still waiting";
  Send(plugin, 0xB2, 74, 10);
  Send(plugin, 0xB0, 75, 10);
  ASSERT_TRUE(plugin.ProcessMIDILearn());
  EXPECT_EQ(plugin.GetMIDILearnParameter(), -1);
  EXPECT_TRUE(plugin.GetControllersEnabled());
  std::vector<MControllerAssignment> list = plugin.GetControllerAssignments();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(list[0].enabled);
  EXPECT_EQ(list[0].parameter, dryWet);
  EXPECT_EQ(list[0].controller, 75);
  EXPECT_EQ(list[0].channel, 1);
  EXPECT_EQ(list[0].rangeMode, kRangeInterval);
  Send(plugin, 0xB0, 75, 127);
  EXPECT_DOUBLE_EQ(Normalised(plugin, "Dry/wet"), 1.0);

  plugin.StartMIDILearn(dryWet);
  Send(plugin, 0xE3, 0, 64);
  ASSERT_TRUE(plugin.ProcessMIDILearn());
  list = plugin.GetControllerAssignments();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].controller, MMIDIControllers::kPitchBend);
  EXPECT_EQ(list[0].channel, 4);
  EXPECT_TRUE(plugin.HasMIDIAssignment(dryWet));
  EXPECT_TRUE(plugin.ForgetMIDI(dryWet));
  EXPECT_FALSE(plugin.ForgetMIDI(dryWet));
  EXPECT_FALSE(plugin.HasMIDIAssignment(dryWet));
}
