#include "core/plugin/MMIDIProcessor.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
/// Records every decoded call.
class Recorder : public MMIDIProcessor
{
public:
  void ProcessNote(const MMIDINote& note) override
  {
    notes.push_back(note);
    MMIDIProcessor::ProcessNote(note);
  }
  void ProcessPitchBend(std::int32_t delta, double time, std::int32_t channel, double value) override
  {
    bends.push_back(value);
    MMIDIProcessor::ProcessPitchBend(delta, time, channel, value);
  }
  void ProcessVolume(std::int32_t, double, std::int32_t, double value) override { volume = value; }
  void ProcessPan(std::int32_t, double, std::int32_t, double value) override { pan = value; }
  void ProcessAllNotesOff(std::int32_t, double) override { ++allNotesOff; }

  bool Send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
  {
    const std::uint8_t bytes[3] = {status, data1, data2};
    return ProcessMIDIEvent(0, bytes);
  }

  std::vector<MMIDINote> notes;
  std::vector<double> bends;
  double volume = -1.0;
  double pan = -2.0;
  int allNotesOff = 0;
};

class CountingListener : public MMIDIListener
{
public:
  void ProcessNote(const MMIDINote&) override { ++notes; }
  void ProcessMIDIController(std::int32_t, double, std::int32_t, std::int32_t, double) override
  {
    ++controllers;
  }
  int notes = 0;
  int controllers = 0;
};
} // namespace

TEST(MMIDIProcessor, VelocitiesMapOneBelowTheRawValueNoteOnZeroIsANoteOffAndUnheldNotesEndNothing)
{
  Recorder midi;
  midi.Send(0x90, 60, 127);
  midi.Send(0x91, 61, 1);
  midi.Send(0x90, 60, 0);
  ASSERT_EQ(midi.notes.size(), 3u);
  EXPECT_DOUBLE_EQ(midi.notes[0].velocity, 126.0 / 127.0);
  EXPECT_TRUE(midi.notes[0].noteOn);
  EXPECT_DOUBLE_EQ(midi.notes[1].velocity, 0.0);
  EXPECT_EQ(midi.notes[1].channel, 1);
  EXPECT_FALSE(midi.notes[2].noteOn);
  EXPECT_EQ(midi.notes[2].heldCount, 0);
  EXPECT_EQ(midi.held[0][60], 0);

  // A note-off for a note not held reaches nobody.
  CountingListener listener;
  midi.AddMIDIListener(&listener);
  midi.Send(0x80, 64, 40);
  midi.Send(0x90, 64, 0);
  EXPECT_EQ(midi.notes.size(), 3u);
  EXPECT_EQ(listener.notes, 0);
  EXPECT_EQ(midi.heldOnChannel[0], 0);
}

TEST(MMIDIProcessor, PitchBendSpansMinusOneToPlusOneWithTheCentreSlightlyAboveAndBaseControllersAct)
{
  Recorder midi;
  midi.Send(0xE0, 0x00, 0x00);
  midi.Send(0xE0, 0x00, 0x40); // 8192
  midi.Send(0xE0, 0x7F, 0x7F); // 16383
  ASSERT_EQ(midi.bends.size(), 3u);
  EXPECT_DOUBLE_EQ(midi.bends[0], -1.0);
  EXPECT_DOUBLE_EQ(midi.bends[1], 8192.0 * 2.0 / 16383.0 - 1.0);
  EXPECT_GT(midi.bends[1], 0.0);
  EXPECT_DOUBLE_EQ(midi.bends[2], 1.0);
  EXPECT_DOUBLE_EQ(midi.bend, 1.0);

  // Volume, pan and all notes off: the base controllers.
  EXPECT_TRUE(midi.Send(0xB0, 7, 127));
  midi.Send(0xB0, 10, 0);
  midi.Send(0xB0, 123, 0);
  EXPECT_DOUBLE_EQ(midi.volume, 1.0);
  EXPECT_DOUBLE_EQ(midi.pan, -1.0);
  EXPECT_EQ(midi.allNotesOff, 1);
  EXPECT_FALSE(midi.Send(0xC0, 5, 0)) << "program change is not handled";
  EXPECT_FALSE(midi.Send(0xF8, 0, 0));
}

TEST(MMIDIProcessor, SustainDefersNoteOffsAndReleasesExactlyAsManyAsWereDeferred)
{
  Recorder midi;
  for (int i = 0; i < 3; ++i)
    midi.Send(0x90, 50, 100);
  midi.Send(0x90, 52, 100);
  midi.Send(0xB0, 64, 127);
  for (int i = 0; i < 3; ++i)
    midi.Send(0x80, 50, 0);
  EXPECT_EQ(midi.held[0][50], 3) << "deferred note-offs keep the note held";
  EXPECT_EQ(midi.sustained[0][50], 3);
  midi.notes.clear();
  midi.Send(0xB0, 64, 0);
  ASSERT_EQ(midi.notes.size(), 3u);
  for (const MMIDINote& note : midi.notes)
  {
    EXPECT_EQ(note.note, 50);
    EXPECT_FALSE(note.noteOn);
  }
  EXPECT_EQ(midi.held[0][50], 0);
  EXPECT_EQ(midi.held[0][52], 1) << "a note still held is not released by the pedal";
  EXPECT_EQ(midi.heldOnChannel[0], 1);
}

TEST(MMIDIProcessor, ListenersHearOnlyTheirChannelsAndOnlyWhileEnabled)
{
  Recorder midi;
  CountingListener listener;
  MRelaxed<bool> enabled{true};
  listener.channelMask = 0x0002; // channel 1 only
  listener.enableFlag = &enabled;
  ASSERT_TRUE(midi.AddMIDIListener(&listener));
  EXPECT_FALSE(midi.AddMIDIListener(&listener));
  midi.Send(0xB0, 1, 10);
  midi.Send(0xB1, 1, 10);
  midi.Send(0x91, 60, 10);
  EXPECT_EQ(listener.controllers, 1);
  EXPECT_EQ(listener.notes, 1);
  enabled = false;
  midi.Send(0xB1, 1, 10);
  EXPECT_EQ(listener.controllers, 1);
  enabled = true;
  midi.RemoveMIDIListener(&listener);
  midi.Send(0xB1, 1, 10);
  EXPECT_EQ(listener.controllers, 1);
}
