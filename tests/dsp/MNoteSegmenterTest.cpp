#include "dsp/MNoteSegmenter.h"
#include "dsp/MNoteTracker.h"
#include "dsp/MTonveraFFTProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

// Pitch tracks run through the note tracker (every note enabled) and the segmenter as the effect
// runs them, with the note each frame was detected at given as a frequency, so that the two note
// numberings meet as they do in the effect.
namespace
{
struct Sent
{
  int frame;    // the frame that sent it
  int note;     // the MIDI note started, or -1 for an end
  int velocity; // with a start
};

struct Track
{
  double rate = 48000.0;
  int hop = 256;
  std::vector<double> pitches; // MIDI numbering, one a frame; below 0 unvoiced

  int Frames(double seconds) const { return static_cast<int>(std::lround(seconds * rate / hop)); }
  double Ms(int frames) const { return 1000.0 * frames * hop / rate; }
  // A straight line from one pitch to another (both ends included in the frames).
  Track& Line(double from, double to, double seconds)
  {
    const int frames = std::max(1, Frames(seconds));
    for (int i = 0; i < frames; ++i)
      pitches.push_back(from + (to - from) * i / std::max(1, frames - 1));
    return *this;
  }
  Track& Hold(double pitch, double seconds) { return Line(pitch, pitch, seconds); }
  Track& Rest(double seconds) { return Line(-1.0, -1.0, seconds); }
  Track& Vibrato(double centre, double cents, double hz, double seconds)
  {
    for (int i = 0; i < Frames(seconds); ++i)
      pitches.push_back(centre + cents / 100.0 * std::sin(2.0 * std::numbers::pi * hz * i * hop / rate));
    return *this;
  }

  std::vector<Sent> Segment(double levelDb = -20.0) const
  {
    MNoteTracker tracker;
    tracker.SetSampleRate(rate);
    tracker.UpdateCoefficients();
    MNoteSegmenter segmenter;
    segmenter.SetSampleRate(rate);
    segmenter.Reset();
    std::vector<Sent> sent;
    for (int i = 0; i < static_cast<int>(pitches.size()); ++i)
    {
      const double pitch = pitches[static_cast<std::size_t>(i)];
      if (pitch >= 0.0)
        tracker.FeedNote(MTonveraFFTProcessor::NoteOfFrequency(440.0 * std::exp2((pitch - 69.0) / 12.0)),
                         hop);
      else
        tracker.FeedNote(std::nullopt, hop);
      const bool sounding = !segmenter.Sounding().IsNone();
      const MNoteSegmenter::Decision decision = segmenter.Feed(
          {MMIDINoteNumber::FromTracker(tracker.ChosenNote()),
           MMIDINoteNumber::PitchFromTracker(tracker.InputNote()), levelDb, hop, tracker.HoldCents()});
      if (decision.change == MNoteSegmenter::Change::kStart)
        sent.push_back({i, decision.note.Number(), decision.velocity});
      else if (decision.change == MNoteSegmenter::Change::kEnd && sounding)
        sent.push_back({i, -1, 0}); // later ends of nothing are no news
    }
    return sent;
  }
};

using NoteList = std::vector<int>; // the notes started, in order, with -1 for an end

NoteList Notes(const std::vector<Sent>& sent)
{
  NoteList notes;
  for (const Sent& s : sent)
    notes.push_back(s.note);
  return notes;
}
} // namespace

TEST(NoteSegmenter, OnsetComesAfterTheMinimumNoteTimeAndTheReleaseAfterItsTime)
{
  std::mt19937 random(1);
  for (const double rate : {44100.0, 48000.0, 96000.0})
    for (const int hop : {64, 256, 1024})
    {
      const int note = std::uniform_int_distribution<int>(24, 108)(random);
      const double levelDb = std::uniform_real_distribution<double>(-59.0, 0.0)(random);
      Track track{rate, hop, {}};
      track.Rest(0.2).Hold(note, 0.6);
      const int voiceEnds = static_cast<int>(track.pitches.size());
      track.Rest(0.3);
      const int voiceStarts = track.Frames(0.2);
      const std::vector<Sent> sent = track.Segment(levelDb);
      SCOPED_TRACE(testing::Message() << rate << " Hz, hop " << hop << ", note " << note);
      ASSERT_EQ(Notes(sent), (NoteList{note, -1}));
      // Each frame stands for the hop before it.
      const double onsetMs = track.Ms(sent[0].frame - voiceStarts + 1);
      EXPECT_GE(onsetMs, 100.0);
      EXPECT_LT(onsetMs, 100.0 + track.Ms(1));
      const double releaseMs = track.Ms(sent[1].frame - voiceEnds + 1);
      EXPECT_GE(releaseMs, 50.0);
      EXPECT_LT(releaseMs, 50.0 + track.Ms(1));
      EXPECT_GE(sent[0].velocity, 1);
      EXPECT_LE(sent[0].velocity, 127);
    }
  // Louder is never softer; silence is no voice at all.
  EXPECT_EQ(Track{}.Hold(60, 0.5).Segment(0.0)[0].velocity, 127);
  EXPECT_EQ(Track{}.Hold(60, 0.5).Segment(-59.9)[0].velocity, 1);
  EXPECT_LT(Track{}.Hold(60, 0.5).Segment(-40.0)[0].velocity,
            Track{}.Hold(60, 0.5).Segment(-20.0)[0].velocity);
  EXPECT_TRUE(Track{}.Hold(60, 0.5).Segment(-60.0).empty());
}

// A scoop into a note (or a fall from above) and a glide between two pass through notes nobody sang.
TEST(NoteSegmenter, NotesAScoopOrAGlidePassesThroughAreNotSent)
{
  std::mt19937 random(2);
  for (int run = 0; run < 40; ++run)
  {
    const int note = std::uniform_int_distribution<int>(36, 96)(random);
    const double depth = std::uniform_real_distribution<double>(0.6, 4.0)(random) * (run % 2 == 0 ? -1 : 1);
    const int step = std::uniform_int_distribution<int>(1, 11)(random) * (run % 2 == 0 ? 1 : -1);
    const double seconds = std::uniform_real_distribution<double>(0.01, 0.09)(random);
    SCOPED_TRACE(testing::Message() << note << ", scoop " << depth << ", glide " << step << " in "
                                    << seconds);
    Track scoop;
    scoop.Rest(0.1).Line(note + depth, note, seconds).Hold(note, 0.4).Rest(0.2);
    EXPECT_EQ(Notes(scoop.Segment()), (NoteList{note, -1}));
    Track glide;
    glide.Hold(note, 0.3).Line(note, note + step, seconds).Hold(note + step, 0.3).Rest(0.2);
    const std::vector<Sent> sent = glide.Segment();
    ASSERT_EQ(Notes(sent), (NoteList{note, note + step, -1}));
    // The new note follows the end of the glide by the minimum note time.
    EXPECT_LT(glide.Ms(sent[1].frame - glide.Frames(0.3)), 1000.0 * seconds + 100.0 + glide.Ms(1));
  }
}

TEST(NoteSegmenter, OctaveSlipsNeitherEndTheNoteNorStartAnother)
{
  std::mt19937 random(4);
  for (int run = 0; run < 40; ++run)
  {
    const int note = std::uniform_int_distribution<int>(40, 84)(random);
    const int octaves = std::uniform_int_distribution<int>(1, 2)(random) * (run % 2 == 0 ? 1 : -1);
    const double slip = std::uniform_real_distribution<double>(0.005, 0.3)(random);
    SCOPED_TRACE(testing::Message() << note << " slipping " << octaves << " octaves for " << slip << " s");
    // While the note sounds.
    Track sounding;
    sounding.Hold(note, 0.3).Hold(note + 12 * octaves, slip).Hold(note, 0.2).Rest(0.2);
    EXPECT_EQ(Notes(sounding.Segment()), (NoteList{note, -1}));
    // While it waits to be sent: it is sent in the octave first heard, on time.
    Track waiting;
    const double heard = std::uniform_real_distribution<double>(0.0, 0.08)(random);
    waiting.Hold(note, heard).Hold(note + 12 * octaves, 0.04).Hold(note, 0.3).Rest(0.2);
    const std::vector<Sent> sent = waiting.Segment();
    ASSERT_EQ(Notes(sent), (NoteList{note, -1}));
    EXPECT_LT(waiting.Ms(sent[0].frame + 1), 100.0 + waiting.Ms(2));
  }
}

// Vibrato of +-50 cents around a note, or a voice that drifts towards a neighbour, keeps the note
// until the voice is past the midpoint by the hold.
TEST(NoteSegmenter, VibratoKeepsTheNoteAndANeighbourTakesOverOnlyPastTheMidpointByTheHold)
{
  std::mt19937 random(5);
  for (int run = 0; run < 40; ++run)
  {
    const int note = std::uniform_int_distribution<int>(36, 96)(random);
    const double centre = note + std::uniform_real_distribution<double>(-0.1, 0.1)(random);
    const double hz = std::uniform_real_distribution<double>(4.0, 7.0)(random);
    const int side = run % 2 == 0 ? 1 : -1;
    const bool past = run % 4 < 2;
    const double cents =
        std::uniform_real_distribution<double>(past ? 26.0 : 1.0, past ? 45.0 : 24.0)(random);
    SCOPED_TRACE(testing::Message() << centre << " at " << hz << " Hz; drifting " << side * (50.0 + cents));
    Track vibrato;
    vibrato.Rest(0.1).Vibrato(centre, 50.0, hz, 1.5).Rest(0.2);
    EXPECT_EQ(Notes(vibrato.Segment()), (NoteList{note, -1}));
    Track drift;
    drift.Hold(note, 0.3).Hold(note + side * (0.5 + cents / 100.0), 0.5).Rest(0.2);
    EXPECT_EQ(Notes(drift.Segment()), past ? (NoteList{note, note + side, -1}) : (NoteList{note, -1}));
  }
}
