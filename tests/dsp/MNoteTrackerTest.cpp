#include "dsp/MNoteTracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace
{
constexpr int kHop = 256;

void EnableOnly(MNoteTracker& tracker, const std::vector<int>& pitchClasses)
{
  for (auto& flag : tracker.ScaleNotes())
    flag = false;
  for (int pc : pitchClasses)
    tracker.ScaleNotes()[static_cast<std::size_t>(pc)] = true;
}

void Configure(MNoteTracker& tracker, double sampleRate, double speed, double depth)
{
  tracker.SetSampleRate(sampleRate);
  tracker.SetSpeed(speed);
  tracker.SetDepth(depth);
  tracker.UpdateCoefficients();
}

struct ScaleCase
{
  std::vector<int> enabled;
  double input;
  int expectedNote;
};

class NoteTrackerScaleSearch : public testing::TestWithParam<ScaleCase>
{};

TEST_P(NoteTrackerScaleSearch, ChoosesTheNearestEnabledNoteSearchingFromTheSideOfTheInput)
{
  const ScaleCase& c = GetParam();
  MNoteTracker tracker;
  Configure(tracker, 44100.0, 1.0, 1.0);
  EnableOnly(tracker, c.enabled);

  // Two frames: speed 1 completes the glide after the first.
  tracker.FeedNote(c.input, kHop);
  tracker.FeedNote(c.input, kHop);
  EXPECT_EQ(tracker.ChosenNote(), c.expectedNote);
  EXPECT_NEAR(tracker.OutputNote(), c.expectedNote, 1e-12);
  EXPECT_DOUBLE_EQ(tracker.InputNote(), c.input);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoteTrackerScaleSearch,
    testing::Values(
        // Only C: E+0.2 looks upward first (65, 63, 66, 62, 67, 61, 68) and reaches 60.
        ScaleCase{{0}, 64.2, 60},
        // F#+0.2 starts upward and finds 72 as its eleventh candidate ...
        ScaleCase{{0}, 66.2, 72},
        // ... while exactly F# starts downward and finds 60 as its eleventh candidate.
        ScaleCase{{0}, 66.0, 60},
        // A fraction of exactly 0.5 rounds up before the search: between C and C#, or B and C.
        ScaleCase{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 60.5, 61}, ScaleCase{{0, 11}, 59.5, 60},
        // The middle of a gap (D between C and E) is not above the rounded note, so the
        // search starts downward; 62.5 rounds up to D# and finds E below-first (62 off, 64 on).
        ScaleCase{{0, 4}, 62.0, 60}, ScaleCase{{0, 4}, 62.5, 64},
        // Chromatic: simply the nearest note.
        ScaleCase{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 57.3, 57},
        ScaleCase{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 57.7, 58},
        // C major, input on C# slightly high: searches up first, finds D.
        ScaleCase{{0, 2, 4, 5, 7, 9, 11}, 61.1, 62},
        // C major, input on C# slightly low: searches down first, finds C.
        ScaleCase{{0, 2, 4, 5, 7, 9, 11}, 60.9, 60}));

TEST(NoteTrackerTest, NoEnabledNoteOrAbsentPitchLeavesTheInputUncorrected)
{
  MNoteTracker tracker;
  Configure(tracker, 44100.0, 1.0, 1.0);
  EXPECT_EQ(tracker.ChosenNote(), -1);
  EXPECT_DOUBLE_EQ(tracker.OutputNote(), -1.0);

  EnableOnly(tracker, {});
  tracker.FeedNote(64.3, kHop);
  EXPECT_EQ(tracker.ChosenNote(), -1);
  EXPECT_DOUBLE_EQ(tracker.OutputNote(), 64.3);

  EnableOnly(tracker, {0});
  tracker.FeedNote(std::nullopt, kHop);
  EXPECT_EQ(tracker.ChosenNote(), -1);
  EXPECT_DOUBLE_EQ(tracker.InputNote(), -1.0);
  EXPECT_DOUBLE_EQ(tracker.OutputNote(), -1.0);

  tracker.FeedNote(std::nan(""), kHop);
  EXPECT_DOUBLE_EQ(tracker.OutputNote(), -1.0);

  // Negative notes (below about 8 Hz) are never corrected.
  tracker.FeedNote(-3.2, kHop);
  EXPECT_EQ(tracker.ChosenNote(), -1);
  EXPECT_DOUBLE_EQ(tracker.OutputNote(), -3.2);
}

// Feeds a constant note 0.3 above 69 until the offset is gone and answers the time in
// seconds at which the remaining offset first fell to half (linearly interpolated) and
// the time at which it first reached zero.
struct GlideTimes
{
  double half;
  double done;
};

GlideTimes MeasureGlide(double sampleRate, double speed)
{
  MNoteTracker tracker;
  Configure(tracker, sampleRate, speed, 1.0);
  const double offset = 0.3;
  GlideTimes times{-1.0, -1.0};
  double previousRemaining = offset;
  for (int frame = 0; frame < 4 * static_cast<int>(sampleRate) / kHop; ++frame)
  {
    tracker.FeedNote(69.0 + offset, kHop);
    const double remaining = tracker.OutputNote() - 69.0;
    const double t = static_cast<double>(frame) * kHop / sampleRate;
    if (times.half < 0.0 && remaining <= offset / 2)
    {
      const double fraction = (previousRemaining - offset / 2) / (previousRemaining - remaining);
      times.half = t - kHop / sampleRate + fraction * kHop / sampleRate;
    }
    if (remaining <= 1e-12)
    {
      times.done = t;
      break;
    }
    previousRemaining = remaining;
  }
  return times;
}

TEST(NoteTrackerTest, GlideOntoANewNoteTakesTheTimeSetBySpeedAndRestartsWithTheNextNote)
{
  for (double sampleRate : {44100.0, 48000.0})
  {
    SCOPED_TRACE(sampleRate);
    const double hopTime = kHop / sampleRate;
    // Speed 1: the first frame passes uncorrected, the second is on the note.
    const GlideTimes fast = MeasureGlide(sampleRate, 1.0);
    EXPECT_NEAR(fast.done, hopTime, 1e-12);
    // Speed 0.5: (0.5)^4 s = 62.5 ms.
    const GlideTimes medium = MeasureGlide(sampleRate, 0.5);
    EXPECT_NEAR(medium.done, 0.0625, hopTime);
    EXPECT_NEAR(medium.half, 0.03125, hopTime);
    // Speed 0: one second (plus one sample); half of the offset is left at 0.5 s.
    const GlideTimes slow = MeasureGlide(sampleRate, 0.0);
    EXPECT_NEAR(slow.done, 1.0, hopTime);
    EXPECT_NEAR(slow.half, 0.5, hopTime);
  }
  // A new chosen note restarts the glide.
  MNoteTracker tracker;
  Configure(tracker, 44100.0, 0.5, 1.0);
  for (int i = 0; i < 40; ++i)
    tracker.FeedNote(60.2, kHop);
  EXPECT_NEAR(tracker.OutputNote(), 60.0, 1e-12);
  tracker.FeedNote(64.2, kHop);
  EXPECT_EQ(tracker.ChosenNote(), 64);
  EXPECT_DOUBLE_EQ(tracker.OutputNote(), 64.2); // glide starts from zero again
  tracker.FeedNote(64.2, kHop);
  EXPECT_GT(tracker.OutputNote(), 64.0);
  EXPECT_LT(tracker.OutputNote(), 64.2);
}

// Feeds a note 0.3 sharp of 62 with a 5 Hz vibrato of +/-0.5 semitone and answers the
// mean and the peak-to-peak swing of the output over the last two seconds of five.
struct VibratoResult
{
  double mean;
  double swing;
};

VibratoResult RunVibrato(double sampleRate, double depth)
{
  MNoteTracker tracker;
  Configure(tracker, sampleRate, 1.0, depth);
  EnableOnly(tracker, {2}); // only D, so the vibrato never changes the chosen note
  const int frames = static_cast<int>(5.0 * sampleRate / kHop);
  const int settled = static_cast<int>(3.0 * sampleRate / kHop);
  double sum = 0.0;
  double low = 1e9;
  double high = -1e9;
  int count = 0;
  for (int frame = 0; frame < frames; ++frame)
  {
    const double t = frame * kHop / sampleRate;
    tracker.FeedNote(62.3 + 0.5 * std::sin(2.0 * std::numbers::pi * 5.0 * t), kHop);
    if (frame >= settled)
    {
      sum += tracker.OutputNote();
      low = std::min(low, tracker.OutputNote());
      high = std::max(high, tracker.OutputNote());
      ++count;
    }
  }
  return {sum / count, high - low};
}

TEST(NoteTrackerTest, FullDepthRemovesTheWholeOffsetAndLowerDepthOnlyItsAverage)
{
  for (double sampleRate : {44100.0, 48000.0})
  {
    SCOPED_TRACE(sampleRate);
    const VibratoResult full = RunVibrato(sampleRate, 1.0);
    EXPECT_NEAR(full.mean, 62.0, 1e-9);
    EXPECT_NEAR(full.swing, 0.0, 1e-9);

    // Depth 0.3: the offset is low-passed with a time constant of 0.7^4 s = 0.24 s. At
    // 5 Hz a one-pole low-pass passes 1 / sqrt(1 + (2 pi 5 * 0.24)^2) = 13 %, so at least
    // about 85 % of the 1.0 semitone swing remains, while the 0.3 average is removed.
    const VibratoResult partial = RunVibrato(sampleRate, 0.3);
    EXPECT_NEAR(partial.mean, 62.0, 0.02);
    EXPECT_GT(partial.swing, 0.85);
    EXPECT_LT(partial.swing, 1.2);
  }
}

// Chosen note after each input note, from a fresh tracker (chromatic, Speed and Depth 1).
std::vector<int> ChosenNotes(double holdCents, const std::vector<std::optional<double>>& inputs,
                             const std::vector<int>& pitchClasses = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})
{
  MNoteTracker tracker;
  Configure(tracker, 44100.0, 1.0, 1.0);
  EnableOnly(tracker, pitchClasses);
  tracker.SetHoldCents(holdCents);
  std::vector<int> chosen;
  for (const std::optional<double>& x : inputs)
  {
    tracker.FeedNote(x, kHop);
    chosen.push_back(tracker.ChosenNote());
  }
  return chosen;
}

TEST(NoteTrackerTest, NoteHoldKeepsTheNoteWhileTheVoiceHoversAroundTheMidpoint)
{
  // F#4 (66) sung 40 cents sharp with a vibrato of +-20 cents: the midpoint to G4 lies at 66.5.
  std::vector<std::optional<double>> inputs = {66.0};
  for (int frame = 0; frame < 80; ++frame)
    inputs.push_back(66.4 + 0.2 * std::sin(frame * 0.7));
  const std::vector<int> held = ChosenNotes(25.0, inputs);
  EXPECT_EQ(std::count(held.begin(), held.end(), 66), static_cast<long>(held.size()));
  // Without hold the same voice flips to G4 and back (what the hold is for).
  const std::vector<int> nearest = ChosenNotes(0.0, inputs);
  EXPECT_GT(std::count(nearest.begin(), nearest.end(), 67), 0);

  // Beyond the midpoint by more than the hold, in either direction, the tracker moves.
  EXPECT_EQ(ChosenNotes(25.0, {66.0, 66.74, 66.76}), (std::vector<int>{66, 66, 67}));
  EXPECT_EQ(ChosenNotes(25.0, {66.0, 65.26, 65.24}), (std::vector<int>{66, 66, 65}));
  // Between scale notes two semitones apart (E and F# of D major) the midpoint is F.
  EXPECT_EQ(ChosenNotes(25.0, {64.0, 65.2, 65.3}, {1, 2, 4, 6, 7, 9, 11}), (std::vector<int>{64, 64, 66}));
}

TEST(NoteTrackerTest, NoteHoldFollowsARealNoteChangeWithinOneFrameAndLetsGoOfANoteTheScaleDrops)
{
  for (double hold : {0.0, 25.0, 49.0})
  {
    SCOPED_TRACE(hold);
    EXPECT_EQ(ChosenNotes(hold, {66.0, 67.0, 66.0, 64.0, 69.0}), (std::vector<int>{66, 67, 66, 64, 69}));
    // After a pause nothing is held: the first voiced frame takes its nearest note.
    EXPECT_EQ(ChosenNotes(hold, {66.0, std::nullopt, 66.6}).back(), 67);
  }
  // Nor is a note the scale no longer has.
  MNoteTracker tracker;
  Configure(tracker, 44100.0, 1.0, 1.0);
  tracker.SetHoldCents(50.0);
  tracker.FeedNote(66.0, kHop);
  tracker.ScaleNotes()[6] = false;
  tracker.FeedNote(66.4, kHop);
  EXPECT_EQ(tracker.ChosenNote(), 67);
}
} // namespace
