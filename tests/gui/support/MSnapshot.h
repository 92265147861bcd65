#pragma once
// Golden snapshots for GUI tests: render a window through the headless window system and compare
// the surface with tests/gui/golden/<name>.png within a tolerance.
//
//   MWindowSystemHeadless system;
//   window.Open(system);
//   EXPECT_TRUE(MatchesGolden(RenderWindow(system, window), "panel_default"));
//
// A pixel differs when any channel (alpha included) differs by more than `channel`; the
// comparison fails when the sizes differ or more than `maxDifferingFraction` of the pixels
// differ. On failure the actual picture and a difference map (differing pixels red) are written
// to the build's snapshot folder, named in the failure message.
//
// TONVERA_UPDATE_GOLDENS=1 in the environment rewrites the golden instead of comparing (the
// comparison then passes). A missing golden fails and says how to create it.

#include "gui/MBitmap.h"

#include <gtest/gtest.h>

#include <string>

class MWindow;
class MWindowSystemHeadless;

struct MSnapshotTolerance
{
  int channel = 8;
  double maxDifferingFraction = 0.002;
};

/// Paints the whole window now and answers a copy of its surface. The window must be open in
/// `system`.
MBitmap RenderWindow(MWindowSystemHeadless& system, MWindow& window);

/// Compares `actual` with the golden `name` (see the file comment).
::testing::AssertionResult MatchesGolden(const MBitmap& actual, const std::string& name,
                                         const MSnapshotTolerance& tolerance = {});

/// Number of pixels that differ by more than `channel` in some channel; -1 when the sizes differ.
long long CountDifferingPixels(const MBitmap& a, const MBitmap& b, int channel,
                               MBitmap* differenceMap = nullptr);

/// Where goldens and failure pictures live.
std::string GoldenPath(const std::string& name);
std::string SnapshotOutputPath(const std::string& name);
