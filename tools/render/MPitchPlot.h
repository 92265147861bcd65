#pragma once
// MPitchPlot: the picture of a render's pitch. Input and output pitch over time (the frames of an
// MPitchComparison) are drawn against the scale's note lines with our own drawer, in the dark
// palette of the "Default" style:
// - a title line (what the caller says: file, scale, settings) and a legend (input and output
//   colours, and that the pitches come from the renderer's own detector);
// - the pitch axis in note numbers: a line per semitone, solid for the notes the scale enables
//   and faint for the others, labelled with note names ("F#4") where the labels have room, and
//   a dotted cents grid between the lines (10, 20, 25 or 50 cents, the finest that keeps its
//   lines at least 7 pixels apart);
// - the time axis in seconds with ticks at a round step, at least 70 pixels apart;
// - the tracks as lines through the voiced frames, broken where a frame is unvoiced and where
//   the pitch jumps by more than kBreakSemitones between two frames (a detector's octave slip,
//   not a sung line).
// The visible pitch range follows the data: from the 1st to the 99th percentile of the steady
// frames of both tracks (voiced, and within half a semitone of a neighbour: the detector's
// readings of an onset or a stop are not, nor is a stray octave error, so they do not squash
// the picture), rounded to semitones and widened by kMarginSemitones on each side, at least
// kMinSemitones in all.
// Pitches outside it are clipped at the plot's edge.
//
// Pure functions of their arguments; main thread (fonts and bitmaps allocate). Draw throws
// MException only for a size beyond MBitmap's caps.

#include "gui/MBitmap.h"
#include "tools/render/MPitchMeter.h"

#include <span>
#include <string>

class MPitchPlot
{
public:
  static constexpr MSize kDefaultSize{960, 420};
  static constexpr double kMarginSemitones = 2.5;
  static constexpr double kMinSemitones = 7.0;
  static constexpr double kBreakSemitones = 5.0;

  /// Where the data lands: the plot area in pixels and the time and pitch at its edges.
  struct Axes
  {
    MRect area;
    double lowNote = 0.0;  ///< note number at the bottom edge (69 = A4 = 440 Hz)
    double highNote = 0.0; ///< ... and at the top edge
    double seconds = 0.0;  ///< time at the right edge (the left edge is 0)

    /// Pixel row (y of the pixel edge grid, fractions allowed) of a continuous note number.
    double NoteY(double note) const;
    /// Pixel column of a time in seconds.
    double TimeX(double seconds) const;
  };

  /// The axes a picture of `size` gives these frames.
  static Axes AxesFor(std::span<const MPitchFrame> frames, MSize size);

  /// Draws the picture. `title` is the first line (UTF-8); `notes` are the scale's enabled notes.
  static MBitmap Draw(std::span<const MPitchFrame> frames, const MScaleText::Notes& notes,
                      const std::string& title, MSize size = kDefaultSize);

  /// Continuous note number of a frequency (69 = A4 = 440 Hz).
  static double NoteOf(double frequencyHz);
};
