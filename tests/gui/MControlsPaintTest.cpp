// Every control class: its gallery sheet matches the golden picture of each style, and hostile
// sizes neither crash nor draw outside the control.
//
// Goldens: tests/gui/golden/<style>/<control>.png; scripts/update-goldens.sh rewrites them.

#include "gui/MBitmap.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MStyle.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "tests/gui/support/MSnapshot.h"
#include "tools/gallery/MGallery.h"

#include <gtest/gtest.h>

namespace
{
class MControlsPaint : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    s_system = new MWindowSystemHeadless();
    s_system->Initialize();
  }
  static void TearDownTestSuite()
  {
    delete s_system;
    s_system = nullptr;
  }
  static MWindowSystemHeadless* s_system;
};
MWindowSystemHeadless* MControlsPaint::s_system = nullptr;

bool IsTreeBasic(const std::string& name)
{
  for (const char* basic : {"MPanel", "MContainer", "MStatic", "MStaticMultiLine", "MPanelGradient",
                            "MPanelGradientBlack", "MSpacer"})
    if (name == basic)
      return true;
  return false;
}

TEST_F(MControlsPaint, EveryControlMatchesItsGoldenInBothStyles)
{
  const std::vector<MGallery::Entry> entries = MGallery::Entries(MGallery::MakeSampleFolder());
  for (const char* styleName : MGallery::kStyleNames)
  {
    std::unique_ptr<MStyle> style = MGallery::MakeStyle(styleName);
    for (const MGallery::Entry& entry : entries)
    {
      SCOPED_TRACE(std::string(styleName) + "/" + entry.name);
      const MBitmap sheet = MGallery::RenderSheet(*s_system, *style, entry);
      // Text edges may move by a level between FreeType builds; shapes may not.
      EXPECT_TRUE(
          MatchesGolden(sheet, std::string(styleName) + "/" + entry.name, MSnapshotTolerance{12, 0.004}));
    }
  }
}

TEST_F(MControlsPaint, HostileSizesNeitherCrashNorDrawOutside)
{
  // Each control paints itself (no window clipping) with the clip at the whole target; whatever
  // its size, pixels outside its rectangle must stay as they were.
  const std::vector<MGallery::Entry> entries = MGallery::Entries(MGallery::MakeSampleFolder());
  std::unique_ptr<MStyle> style = MGallery::MakeStyle("Default");
  const MSize sizes[] = {{0, 0}, {-7, -3}, {1, 1}, {3, 200}, {200, 2}, {100000, 100000}};
  const MColor sentinel{0x12, 0x34, 0x56, 0xFF};
  for (const MGallery::Entry& entry : entries)
  {
    if (entry.isWindow)
      continue; // windows are sized by their back end, not by a parent
    if (IsTreeBasic(entry.name))
      continue; // the tree's basic controls are tested with the tree
    for (const MSize size : sizes)
    {
      SCOPED_TRACE(entry.name + " at " + std::to_string(size.x) + "x" + std::to_string(size.y));
      MWindow window;
      window.SetStyle(style.get());
      window.SetSize(MSize{120, 90});
      MControl& control = window.AddChild(entry.make());
      control.SetBounds(MRect::FromSize(20, 15, size.x, size.y));
      const MSize actual = control.GetSize();
      EXPECT_GE(actual.x, 0);
      EXPECT_GE(actual.y, 0);
      MBitmap target(120, 90);
      target.Fill(sentinel);
      MDrawerToMBitmap drawer(target);
      drawer.SetOrigin(MPoint{20, 15});
      drawer.SetClip(MRect{-20, -15, 100, 75});
      control.Paint(drawer);
      const MRect inside = MRect::FromSize(20, 15, actual.x, actual.y).Intersect(MRect{0, 0, 120, 90});
      long long outside = 0;
      for (std::int32_t y = 0; y < 90; ++y)
        for (std::int32_t x = 0; x < 120; ++x)
          if (!inside.Contains(MPoint{x, y}) && target.GetPixel(x, y) != sentinel.ToARGB())
            ++outside;
      EXPECT_EQ(outside, 0) << "pixels drawn outside the control";
      // Input at the corners of a degenerate control must not fail either.
      MSystemEvent move{MSystemEvent::MouseMove, MPoint{20, 15}, 0, 0};
      window.DispatchSystemEvent(move);
      MSystemEvent wheel{MSystemEvent::MouseWheel, MPoint{20, 15}, 0, -120};
      window.DispatchSystemEvent(wheel);
    }
  }
}
} // namespace
