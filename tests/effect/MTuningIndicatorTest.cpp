// The tuning indicator in an open window (headless): it asks for a repaint only when what it shows
// changed, and its background is drawn once, then copied.

#include "effect/MTuningIndicator.h"
#include "gui/MControlInvalidator.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/styles/MTexturedStyle.h"
#include "tests/gui/support/MRecordingStyle.h"
#include "tests/gui/support/MSnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>

namespace
{
constexpr double kA4 = 69.0;

// Background draws of the indicator (a panel at the indicator's place).
long PanelDraws(const MRecordingStyle& style, MPoint at)
{
  return std::count_if(style.calls.begin(), style.calls.end(), [&](const MRecordingStyle::Call& call) {
    return call.paint.type == MControlType::Panel && call.origin == at;
  });
}

// Opens `indicator` in `window` as the tests place it.
MTuningIndicator& OpenIndicator(MWindowSystemHeadless& system, MStyle& style, MWindow& window)
{
  window.SetStyle(&style);
  window.SetBounds(MRect::FromSize(0, 0, 320, 90));
  MTuningIndicator& indicator = window.Add<MTuningIndicator>();
  indicator.SetControlType(MControlType::Panel);
  indicator.SetBounds(MRect::FromSize(10, 20, 300, 60));
  window.Open(system);
  return indicator;
}

// An indicator open in a window of its own, drawn by a recording style.
class Opened : public testing::Test
{
protected:
  ~Opened() override { window.Close(); }
  struct System : MWindowSystemHeadless
  {
    System() { Initialize(); }
  } system;
  MRecordingStyle style;
  MWindow window;
  MTuningIndicator& indicator = OpenIndicator(system, style, window);
};
using MTuningIndicatorPaint = Opened;
using MTuningIndicatorIdle = Opened;

TEST_F(MTuningIndicatorPaint, RepaintsOnlyForNewFiguresAndDrawsItsBackgroundOnce)
{
  ASSERT_TRUE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05));
  const MBitmap first = RenderWindow(system, window);
  const MPoint at = indicator.GetWindowPosition();
  EXPECT_EQ(PanelDraws(style, at), 1);
  EXPECT_TRUE(indicator.HasBackground());

  // The same figures (within a cent): nothing to repaint.
  window.GetInvalidator().Take();
  EXPECT_FALSE(indicator.Show(69, kA4 + 0.302, kA4 + 0.049));
  EXPECT_FALSE(window.GetInvalidator().IsDirty());

  // New figures repaint the indicator over the kept background: no second background draw, and
  // the same figures again give the first picture.
  ASSERT_TRUE(indicator.Show(69, kA4 - 0.20, kA4));
  EXPECT_TRUE(window.GetInvalidator().IsDirty());
  const MBitmap moved = RenderWindow(system, window);
  EXPECT_GT(CountDifferingPixels(first, moved, 8), 0);
  ASSERT_TRUE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05));
  EXPECT_EQ(CountDifferingPixels(first, RenderWindow(system, window), 8), 0);
  EXPECT_EQ(PanelDraws(style, at), 1);

  // Live on marks the note with the latency, with the same figures; off, the first picture again.
  EXPECT_NE(MTuningIndicator::Text(69, kA4, kA4, 256).ToUTF8().find("LIVE 256"), std::string::npos);
  EXPECT_EQ(MTuningIndicator::Text(69, kA4, kA4, 0), MTuningIndicator::Text(69, kA4, kA4));
  ASSERT_TRUE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05, 256));
  EXPECT_GT(CountDifferingPixels(first, RenderWindow(system, window), 8), 0);
  EXPECT_FALSE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05, 256));
  ASSERT_TRUE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05));
  EXPECT_EQ(CountDifferingPixels(first, RenderWindow(system, window), 8), 0);

  // A new size draws the background again.
  indicator.SetSize(MSize{280, 60});
  RenderWindow(system, window);
  EXPECT_EQ(PanelDraws(style, at), 2);
}
// How many pixels of `picture` differ from an indicator that parsed the figures afresh and
// painted everything.
long DifferenceFromAFreshPaint(MWindowSystemHeadless& system, const MBitmap& picture, int chosen,
                               double input, double output)
{
  MRecordingStyle style;
  MWindow fresh;
  MTuningIndicator& parsed = OpenIndicator(system, style, fresh);
  EXPECT_TRUE(parsed.Show(chosen, input, output));
  const long differing = static_cast<long>(CountDifferingPixels(picture, RenderWindow(system, fresh), 0));
  fresh.Close();
  return differing;
}

TEST_F(MTuningIndicatorPaint, NewCentsMoveTheBarsWithoutParsingOrPaintingTheWindowBeneath)
{
  ASSERT_TRUE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05));
  RenderWindow(system, window);
  EXPECT_EQ(indicator.GetParseCount(), 1);

  // New cents for the same note: the bars move in the parsed text, and only the indicator is
  // painted (the window's own paint sits at its origin).
  style.calls.clear();
  window.GetInvalidator().Take();
  ASSERT_TRUE(indicator.Show(81, kA4 + 12.0 - 0.20, kA4 + 12.0 + 0.10));
  EXPECT_EQ(indicator.GetParseCount(), 1);
  // The bars only: the name's cell (40 px on the left) stays as painted.
  const MRect dirty = window.GetInvalidator().Peek();
  EXPECT_GE(dirty.left, indicator.GetWindowPosition().x + 40);
  EXPECT_TRUE(indicator.GetWindowRect().Intersect(dirty) == dirty);
  window.GetInvalidator().Repaint();
  system.ProcessPendingMessages();
  EXPECT_EQ(std::count_if(style.calls.begin(), style.calls.end(),
                          [](const MRecordingStyle::Call& call) { return call.origin == MPoint{}; }),
            0);
  const MBitmap moved = *system.GetSurface(window);

  EXPECT_EQ(DifferenceFromAFreshPaint(system, moved, 81, kA4 + 12.0 - 0.20, kA4 + 12.0 + 0.10), 0);

  // A new note name is parsed.
  ASSERT_TRUE(indicator.Show(70, kA4 + 1.0, kA4 + 1.0));
  EXPECT_EQ(indicator.GetParseCount(), 2);
}

TEST_F(MTuningIndicatorPaint, ABarThatMovesACentRepaintsOnlyTheStretchBetweenItsEnds)
{
  ASSERT_TRUE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05));
  RenderWindow(system, window);

  // Each bar in turn, sharp and then across the middle: a narrow stretch of that bar alone, and
  // the same picture as a full paint of those figures.
  const double steps[][2] = {{0.31, 0.05}, {0.31, 0.03}, {-0.02, 0.03}};
  for (const auto& step : steps)
  {
    window.GetInvalidator().Take();
    ASSERT_TRUE(indicator.Show(69, kA4 + step[0], kA4 + step[1]));
    const MRect dirty = window.GetInvalidator().Peek();
    EXPECT_LE(dirty.Height(), 24) << step[0] << " " << step[1];
    EXPECT_LE(dirty.Width(), step[0] < 0 ? 48 : 8) << step[0] << " " << step[1];
    const MBitmap moved = RenderWindow(system, window);
    EXPECT_EQ(DifferenceFromAFreshPaint(system, moved, 69, kA4 + step[0], kA4 + step[1]), 0)
        << step[0] << " " << step[1];
  }
}

// WCAG relative luminance and contrast ratio, worked out here from the pixels on the surface.
double Luminance(std::uint32_t argb)
{
  const auto linear = [](std::uint32_t channel) {
    const double c = (channel & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(argb >> 16) + 0.7152 * linear(argb >> 8) + 0.0722 * linear(argb);
}

double Contrast(std::uint32_t a, std::uint32_t b)
{
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(MTuningIndicatorPaint, BarsStandOutFromTheirTrackInEveryStyleAndTint)
{
  MTexturedStyleConfiguration tinted;
  tinted.style = "Default";
  tinted.mainColors[0] = MColor{0xC8, 0x3C, 0x3C, 0xFF}; // surfaces in a warm red, near the bar's hue
  MTexturedStyleConfiguration silver;
  silver.style = "Silver";
  for (const MTexturedStyleConfiguration& configuration : {MTexturedStyleConfiguration(), silver, tinted})
  {
    MTexturedStyle style(configuration); // these three stand for the fixture's own
    SCOPED_TRACE(style.GetName().ToUTF8() + (configuration == tinted ? " tinted" : ""));
    MWindow window;
    MTuningIndicator& indicator = OpenIndicator(system, style, window);
    // Empty bars, then the upper one full sharp and the lower one full flat: the pixels that
    // changed were track and are bar now (and the middle marks, translucent, over either). The
    // most frequent colour before and after, per bar, is its track and its fill.
    ASSERT_TRUE(indicator.Show(69, kA4, kA4 + 0.001));
    const MBitmap empty = RenderWindow(system, window);
    ASSERT_TRUE(indicator.Show(69, kA4 + 0.5, kA4 - 0.5));
    const MBitmap full = RenderWindow(system, window);
    const MRect bars = indicator.GetWindowRect();
    const std::int32_t split = (bars.top + bars.bottom) / 2;
    std::map<std::uint32_t, long> track[2], fill[2];
    for (std::int32_t y = 0; y < full.Height(); ++y)
      for (std::int32_t x = 0; x < full.Width(); ++x)
        if (empty.Row(y)[x] != full.Row(y)[x])
        {
          ++track[y >= split][empty.Row(y)[x]];
          ++fill[y >= split][full.Row(y)[x]];
        }
    const auto most = [](const std::map<std::uint32_t, long>& counts) {
      return std::max_element(counts.begin(), counts.end(),
                              [](const auto& a, const auto& b) { return a.second < b.second; });
    };
    for (int bar = 0; bar < 2; ++bar)
    {
      ASSERT_FALSE(fill[bar].empty()) << "bar " << bar << " did not move";
      EXPECT_GT(most(fill[bar])->second, 60 * 10); // a quarter of the width, many rows high
      EXPECT_GE(Contrast(most(track[bar])->first, most(fill[bar])->first), 3.0) << "bar " << bar;
    }
    window.Close();
  }
}

// Waits up to 10 s (an idle-priority thread on a busy machine) for `done`.
template <class Condition>
bool WaitFor(Condition done)
{
  for (int i = 0; i < 1000 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

TEST_F(MTuningIndicatorIdle, UnchangedFiguresLetTheRepaintThreadSleepAndNewOnesWakeIt)
{
  ASSERT_TRUE(indicator.Show(69, kA4 + 0.30, kA4 + 0.05));
  RenderWindow(system, window);
  // The same figures again and again: nothing turns dirty, so the thread stops its rounds.
  EXPECT_TRUE(WaitFor([&] {
    indicator.Show(69, kA4 + 0.30, kA4 + 0.05);
    return MControlInvalidatorThread::IsSleeping();
  }));
  // A new figure inside the host's idle tick is painted by the tick itself: the thread sleeps on.
  window.GetInvalidator().Take();
  system.EnterIdleTick();
  ASSERT_TRUE(indicator.Show(69, kA4 - 0.10, kA4));
  system.LeaveIdleTick();
  EXPECT_TRUE(window.GetInvalidator().IsDirty());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(MControlInvalidatorThread::IsSleeping());
  // Outside a tick a new figure on a clean window wakes it.
  window.GetInvalidator().Take();
  ASSERT_TRUE(indicator.Show(69, kA4 - 0.20, kA4));
  EXPECT_TRUE(WaitFor([] { return !MControlInvalidatorThread::IsSleeping(); }));
}
} // namespace
