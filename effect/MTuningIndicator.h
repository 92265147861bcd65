#pragma once
// MTuningIndicator: the editor's tuning display. In a cell on the left it shows the name of the
// note the corrector aims at; beside it two bars on a -100 .. 100 cent scale: the upper one
// (red) how far the input is from that note, the lower one (green) how far the output is. Only
// -50 .. 50 can be reached: a note further away than half a semitone would have been another
// note.
//
// The bars take the style's red and green, moved towards black on a light track or towards white
// on a dark one until they stand out from the track by a contrast ratio of at least
// kBarContrast (the WCAG ratio of relative luminances, which asks 3:1 of graphics a user must
// read). The track is measured where it lies: the kept background under the bars with the
// indicator's own track shading over it, so a tinted style or a panel image of any brightness
// is covered.
//
// The effect's ProcessUpdate feeds it the display copies of the channel-0 corrector; the control
// is invalidated only when the note name or a bar changed, so an idle editor costs no painting, and
// the text is parsed again only for a new note name: new cents set the two bars of the laid-out
// document (a bar's value does not move anything in the layout). The background (the style's panel over what
// the parents painted beneath) is drawn once and kept: later paints copy it and draw the bars over it.
//
// Threads: GUI thread.

#include "gui/MBitmap.h"
#include "gui/stml/MSTMLControl.h"

#include <cstdint>
#include <vector>

class MSTMLIndicator;

class MTuningIndicator : public MSTMLControl
{
public:
  /// The rich-text template: {0} note name, {1} input cents, {2} output cents, {3} the Live mark
  /// under the name (empty while Live is off), {4} the width of the name's cell (40, wider with
  /// the mark). The bars' colours are set at paint time (see the top).
  static constexpr const char* kTemplate =
      "<tr><td width={4} valign=center><center><l3>{0}</l3>{3}</center></td><td><indicator width=100% "
      "height=24 value={1} min=-100 max=100 /><tr height=6></tr><indicator width=100% "
      "height=24 value={2} min=-100 max=100 />";
  /// Least contrast ratio of a bar against its track (1 .. 21).
  static constexpr double kBarContrast = 3.5;

  MTuningIndicator();
  ~MTuningIndicator() override = default;

  /// Cents from `chosen` to `note` (note numbers), rounded to the nearest integer with halves
  /// going up and limited to -50 .. 50; 0 for a note that is not a finite number.
  static std::int32_t Cents(double note, std::int32_t chosen);
  /// The indicator text for a chosen note (-1: none, which shows no name and two empty bars) and
  /// the input and output notes.
  /// `liveLatency` above 0 adds the Live mark with that latency (samples) under the name.
  static MString Text(std::int32_t chosen, double inputNote, double outputNote, std::int32_t liveLatency = 0);

  /// Shows the figures; answers whether the display changed. `liveLatency` as for Text.
  bool Show(std::int32_t chosen, double inputNote, double outputNote, std::int32_t liveLatency = 0);

  /// The kept background (drawn again after a change of size, place or style), then the text.
  void Paint(MDrawer& drawer) override;
  /// Whether the next paint copies the kept background instead of drawing it.
  bool HasBackground() const { return m_backgroundStyle != nullptr; }
  /// True when the next paint on `drawer` copies the kept background: the window then leaves the
  /// parents beneath unpainted.
  bool PaintsOpaquely(const MDrawer& drawer) const override;
  /// How many times the text was parsed (new note names; new cents only change the bars).
  std::int32_t GetParseCount() const { return m_parses; }

  /// WCAG contrast ratio of two opaque colours (1 .. 21; alpha is ignored).
  static double ContrastRatio(MColor a, MColor b);
  /// `bar` as it is when it stands out from `track` by at least `ratio`, else mixed towards black
  /// (light track) or white (dark track) just far enough; opaque.
  static MColor ReadableOn(MColor bar, MColor track, double ratio);
  /// The colours the bars were last painted in (input, output).
  MColor GetInputBarColor() const { return m_inputColor; }
  MColor GetOutputBarColor() const { return m_outputColor; }

private:
  /// Whether the kept background fits the control as it stands and `drawer` can take it.
  bool CanCopyBackground(const MDrawer& drawer) const;
  /// One of the template's indicators and the box the last layout gave it (document
  /// coordinates; empty before a layout).
  struct Bar
  {
    MSTMLIndicator* indicator;
    MRect box;
  };
  /// The template's two indicators, upper first (empty when the document does not hold both),
  /// and the union of their boxes.
  std::vector<Bar> FindBars(MRect& boxes) const;
  /// Gives the bars colours readable on the track under `boxes` (document coordinates), chosen
  /// again only when the style or the kept background under them changed.
  void ColourBars(const std::vector<Bar>& bars, const MRect& boxes);
  void ChooseBarColours(const MStyle& style, const MRect& area);
  /// Where `bar` changes when its value goes from `before` to `after`: the stretch between the
  /// two ends, full height (document coordinates; empty: nothing).
  static MRect ChangedStretch(const Bar& bar, std::int32_t before, std::int32_t after);

  struct ColourKey
  {
    const MStyle* style = nullptr; // compared only
    std::uint64_t revision = 0;
    std::uint64_t background = 0; // m_backgroundTaken when it was kept, else 0
    MRect area;
    bool operator==(const ColourKey&) const = default;
  };

  MBitmap m_background;
  const MStyle* m_backgroundStyle = nullptr; // compared only; null: nothing kept
  std::uint64_t m_backgroundStyleRevision = 0;
  MPoint m_backgroundAt;               // the window position it was taken at
  std::uint64_t m_backgroundTaken = 0; // counts the backgrounds kept
  ColourKey m_colouredFor;             // what the bar colours were chosen for
  std::int32_t m_pitchClass = -2;      // nothing shown yet
  std::int32_t m_liveLatency = 0;
  std::int32_t m_input = 0;
  std::int32_t m_output = 0;
  std::int32_t m_parses = 0;
  MColor m_inputColor{}, m_outputColor{};
};
