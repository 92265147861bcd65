// Layouts: the distribution, bands, corners, grid, switch and occupy-border layouts, container
// arrangement and sizing, hostile numbers, and an editor-like panel re-laid out at three sizes.

#include "base/MException.h"
#include "base/MXmlItem.h"
#include "gui/MWindow.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MPanel.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/layout/MLayoutCorner.h"
#include "gui/layout/MLayoutGrid.h"
#include "gui/layout/MLayoutList.h"
#include "gui/layout/MLayoutOccupyBorder.h"
#include "gui/layout/MLayoutSide.h"
#include "gui/layout/MLayoutSwitch.h"
#include "tests/gui/support/MRecordingStyle.h"
#include "tests/gui/support/MSnapshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace
{

// A container of fixed-size children with ratios (0 = fixed), no window: no style, g = layoutspace.
struct Fixture
{
  MContainer container;

  Fixture(MSize size = MSize{200, 100}) { container.SetSize(size); }

  MControl& Child(MSize size, MSize ratio = MSize{0, 0}, MAlignment placement = MAlign::Center)
  {
    MControl& c = container.Add<MPanel>();
    c.SetSize(size);
    c.SetLayoutRatio(ratio);
    c.SetLayoutPlacement(placement);
    return c;
  }
  template <class T>
  T& Layout()
  {
    return container.GetLayouts().Add<T>();
  }
};

MXmlItem Item(std::vector<std::pair<const char*, const char*>> attributes)
{
  MXmlItem item("x");
  for (const auto& [name, value] : attributes)
    item.SetAttribute(MString::FromLiteral(name), MString::FromUTF8(value));
  return item;
}

// Wrapped text: 1000 client pixels of "area" in lines of 10 pixels.
class MWrapped : public MPanel, public MLayoutPlastic
{
public:
  MWrapped() { SetFlag(FlagPlastic, true); }
  std::int32_t GetPlasticClientExtent(MLayout::Axis axis, std::int32_t other) const override
  {
    return axis == MLayout::Axis::Y ? 10 * ((100 + std::max(other, 1) - 1) / std::max(other, 1)) : 50;
  }
};

} // namespace

TEST(MLayoutDistribution, RatiosShareTheFreeLengthWithRemaindersToTheLastRatioControls)
{
  struct Case
  {
    std::vector<int> ratios; // 0: fixed 10 pixels
    int height, space;
    std::vector<int> tops, heights;
  } cases[] = {
      {{1, 2}, 100, 0, {0, 33}, {33, 67}},
      {{1, 1, 1}, 100, 0, {0, 33, 66}, {33, 33, 34}},
      {{1, 0, 1}, 100, 0, {0, 45, 55}, {45, 10, 45}},
      {{1, 2}, 100, 4, {0, 36}, {32, 64}},  // g = 4 between them
      {{-3, 1}, 100, 0, {0, 10}, {10, 90}}, // a negative ratio is a fixed size
      {{1, 1}, 5, 10, {0, 10}, {0, 0}},     // nothing left: ratio controls get 0
  };
  for (const Case& c : cases)
  {
    Fixture f(MSize{50, c.height});
    MLayoutVertical& layout = f.Layout<MLayoutVertical>();
    layout.SetLayoutSpace(c.space);
    std::vector<MControl*> controls;
    for (int ratio : c.ratios)
      layout.AddControl(*controls.emplace_back(&f.Child(MSize{20, 10}, MSize{1, ratio})));
    f.container.Arrange();
    for (std::size_t i = 0; i < controls.size(); ++i)
    {
      EXPECT_EQ(controls[i]->GetPosition().y, c.tops[i]) << c.height << " #" << i;
      EXPECT_EQ(controls[i]->GetSize().y, c.heights[i]) << c.height << " #" << i;
      EXPECT_EQ(controls[i]->GetSize().x, 50); // ratio x fills
    }
  }
}

TEST(MLayoutDistribution, FixedControlsArePlacedInTheBandByPlacementAndBorder)
{
  struct Case
  {
    MAlignment placement;
    int border, x, y;
  } cases[] = {
      {MAlign::Right, 0, 20, 20},
      {MAlign::Right, 5, 15, 25},
      {MAlign::Left, 5, 5, 25},
      {MAlign::Center, 0, 10, 20},
      {MAlign::Right | MAlign::Bottom, 3, 17, 23},
  };
  for (const Case& c : cases)
  {
    Fixture f;
    MLayoutLeft& left = f.Layout<MLayoutLeft>();
    MControl& wide = f.Child(MSize{60, 20});
    MControl& narrow = f.Child(MSize{40, 10}, MSize{0, 0}, c.placement);
    narrow.SetLayoutBorder(MSize{c.border, c.border});
    left.AddControlWithoutSpace(wide);
    left.AddControlWithoutSpace(narrow);
    MControl& client = f.Child(MSize{});
    client.SetFlag(MControl::FlagClientLayout, true);
    f.container.Arrange();
    EXPECT_EQ(narrow.GetPosition(), (MPoint{c.x, c.y})) << int(c.placement) << " border " << c.border;
    EXPECT_EQ(narrow.GetSize(), (MSize{40, 10}));
    EXPECT_EQ(client.GetBounds(), (MRect{60, 0, 200, 100})); // the band is 60 wide
  }
}

TEST(MLayoutDistribution, EachBandDocksToItsEdgeAndShrinksTheFreeRectangleByItsThicknessAndGap)
{
  struct Case
  {
    std::int32_t direction;
    MPoint position;
    MRect rest;
  } cases[] = {
      {MLayoutSide::Left, {0, 0}, {34, 0, 200, 100}},
      {MLayoutSide::Top, {0, 0}, {0, 24, 200, 100}},
      {MLayoutSide::Right, {170, 0}, {0, 0, 166, 100}},
      {MLayoutSide::Bottom, {0, 80}, {0, 0, 200, 76}},
  };
  for (const Case& c : cases)
  {
    Fixture f;
    MLayoutSide& band = f.container.GetLayouts().Add<MLayoutSide>(c.direction);
    band.SetLayoutSpace(4);
    MControl& control = f.Child(MSize{30, 20});
    band.AddControl(control);
    MControl& client = f.Child(MSize{});
    client.SetFlag(MControl::FlagClientLayout, true);
    f.container.Arrange();
    EXPECT_EQ(control.GetPosition(), c.position) << c.direction;
    EXPECT_EQ(client.GetBounds(), c.rest) << c.direction;
  }
}

TEST(MLayoutDistribution, CollapsedControlsNeedNoHeightAndAreDrawnAtTheirCaptionHeight)
{
  MRecordingStyle style;
  MWindow window;
  window.SetStyle(&style);
  MContainer& container = window.Add<MContainer>();
  MLayoutVertical& layout = container.GetLayouts().Add<MLayoutVertical>();
  layout.SetLayoutSpace(-4); // g = 0
  MPanel& folded = container.Add<MPanel>();
  folded.SetCaptionType(MCaptionType::Normal);
  folded.SetFlag(MControl::FlagCollapsable, true);
  folded.SetSize(MSize{80, 50});
  folded.SetLayoutRatio(MSize{1, 1});
  MPanel& below = container.Add<MPanel>();
  below.SetMinimalClientSize(MSize{30, 30});
  layout.AddControl(folded);
  layout.AddControl(below);
  container.SetSize(MSize{100, 200});
  EXPECT_EQ(container.GetMinimalSize(), (MSize{30, 60})); // ratios 1 (caption 10) and 1 (30)
  folded.SetCollapsed(true);
  container.Arrange();
  EXPECT_EQ(container.GetMinimalSize(), (MSize{30, 30}));
  EXPECT_EQ(folded.GetBounds(), (MRect{0, 0, 100, MRecordingStyle::kCaptionHeight}));
  EXPECT_EQ(below.GetBounds(), (MRect{0, MRecordingStyle::kCaptionHeight, 100, 200}));
}

TEST(MLayoutSwitch, MinimalSizeIsTheLargestOfAllControlsWhicheverIsShown)
{
  Fixture f;
  MLayoutSwitch& layout = f.Layout<MLayoutSwitch>();
  MControl& small = f.Child(MSize{20, 70}, MSize{1, 1});
  MControl& large = f.Child(MSize{90, 10}, MSize{0, 0}, MAlign::Right | MAlign::Top);
  small.SetMinimalClientSize(MSize{20, 70});
  large.SetMinimalClientSize(MSize{90, 10});
  layout.AddControl(small);
  layout.AddControl(large);
  layout.Select(small);
  const MSize first = f.container.GetMinimalSize();
  f.container.Arrange();
  EXPECT_EQ(small.GetBounds(), (MRect{0, 0, 200, 100})); // both ratios: fills
  layout.Select(large);
  f.container.Arrange();
  EXPECT_EQ(f.container.GetMinimalSize(), first);
  EXPECT_EQ(first, (MSize{90, 70}));
  EXPECT_EQ(large.GetBounds(), (MRect{110, 0, 200, 10}));
  EXPECT_FALSE(small.IsVisible());
}

TEST(MLayoutCorner, TargetsAreCheckedAndAnOccupiedCornerIsReplaced)
{
  for (const char* bad : {"corner4", "", "centre", "corner-1"})
  {
    try
    {
      MLayoutCorner::ParseTarget(MString::FromUTF8(bad));
      ADD_FAILURE() << bad;
    }
    catch (const MException& e)
    {
      EXPECT_EQ(e.Message(), MString("Invalid target for corner layout.")) << bad;
    }
  }
  Fixture f;
  MLayoutCorner& corner = f.Layout<MLayoutCorner>();
  MControl& a = f.Child(MSize{10, 10});
  MControl& b = f.Child(MSize{12, 12});
  corner.AddControl(a);
  corner.LoadControlAttributes(a, Item({{"target", "CORNER1"}}));
  EXPECT_EQ(corner.GetCorner(1), &a);
  EXPECT_THROW(corner.LoadControlAttributes(a, Item({{"target", "corner4"}})), MException);
  EXPECT_EQ(corner.GetCorner(1), &a); // unchanged
  corner.AddControl(b, "corner1");
  EXPECT_EQ(corner.GetCorner(1), &b);
  EXPECT_EQ(a.GetLayout(), nullptr);
  f.container.Arrange();
  EXPECT_EQ(b.GetBounds(), (MRect{188, 0, 200, 12}));
}

TEST(MLayoutCorner, BandsRunBetweenTheCornersAndTheStripsShrinkTheFreeRectangle)
{
  Fixture f;
  MLayoutCorner& corner = f.Layout<MLayoutCorner>();
  corner.SetLayoutSpace(2);
  MControl& topLeft = f.Child(MSize{20, 15});
  MControl& top = f.Child(MSize{30, 10});
  MControl& left = f.Child(MSize{25, 30});
  MControl& client = f.Child(MSize{});
  client.SetFlag(MControl::FlagClientLayout, true);
  corner.AddControl(topLeft, "corner0");
  corner.AddControl(top, "top");
  corner.AddControl(left, "left");
  f.container.Arrange();
  EXPECT_EQ(topLeft.GetBounds(), (MRect{0, 0, 20, 15}));
  EXPECT_EQ(top.GetPosition(), (MPoint{22, 0})); // the band starts after the corner + g
  EXPECT_EQ(left.GetPosition(), (MPoint{0, 17}));
  EXPECT_EQ(client.GetBounds(), (MRect{27, 17, 200, 100}));
  // Corner 20 + g + top band 30 across; corner 15 + g + left band 30 down.
  EXPECT_EQ(f.container.GetMinimalSize(), (MSize{52, 47}));
}

TEST(MLayoutOccupyBorder, RefusesControlsAndKeepsAMargin)
{
  Fixture f;
  MLayoutOccupyBorder& border = f.Layout<MLayoutOccupyBorder>();
  border.LoadAttributes(Item({{"deflayoutborderx", "7"}, {"deflayoutbordery", " 3 "}}));
  MControl& c = f.Child(MSize{});
  try
  {
    border.AddControl(c);
    ADD_FAILURE();
  }
  catch (const MException& e)
  {
    EXPECT_EQ(e.Message(), MString("Service \"add control to occupy-space layout\" is not implemented."));
  }
  c.SetFlag(MControl::FlagClientLayout, true);
  c.SetMinimalClientSize(MSize{10, 10});
  f.container.Arrange();
  EXPECT_EQ(c.GetBounds(), (MRect{7, 3, 193, 97}));
  EXPECT_EQ(f.container.GetMinimalSize(), (MSize{24, 16}));
}

TEST(MLayoutGrid, FillOrderSpansAndColumnSizes)
{
  struct Case
  {
    const char* name;
    std::vector<std::pair<const char*, const char*>> attributes;
    std::vector<std::pair<int, int>> spans; // hspan, vspan per control
    std::vector<MLayoutGrid::Cell> cells;
  } cases[] = {
      {"reading order",
       {{"columns", "3"}},
       {{1, 1}, {1, 1}, {1, 1}, {1, 1}},
       {{0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}, {0, 1, 1, 1}}},
      {"span wraps",
       {{"columns", "3"}},
       {{1, 1}, {1, 1}, {2, 1}},
       {{0, 0, 1, 1}, {1, 0, 1, 1}, {0, 1, 2, 1}}},
      {"vspan blocks",
       {{"columns", "2"}},
       {{1, 2}, {1, 1}, {1, 1}},
       {{0, 0, 1, 2}, {1, 0, 1, 1}, {1, 1, 1, 1}}},
      {"vertical fill",
       {{"columns", "2"}, {"verticalfill", "1"}},
       {{1, 1}, {1, 1}, {1, 1}},
       {{0, 0, 1, 1}, {0, 1, 1, 1}, {1, 0, 1, 1}}},
      {"auto square",
       {},
       {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}},
       {{0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}}},
      {"default span",
       {{"columns", "4"}, {"columnspancount", "2"}},
       {{0, 1}, {0, 1}, {9, 1}},
       {{0, 0, 2, 1}, {2, 0, 2, 1}, {0, 1, 4, 1}}},
  };
  for (const Case& c : cases)
  {
    Fixture f;
    MLayoutGrid& grid = f.Layout<MLayoutGrid>();
    grid.LoadAttributes(Item(c.attributes));
    std::vector<MControl*> controls;
    for (const auto& [h, v] : c.spans)
    {
      MControl& control = *controls.emplace_back(&f.Child(MSize{10, 10}));
      grid.AddControl(control);
      grid.SetSpan(control, h, v);
    }
    f.container.Arrange();
    for (std::size_t i = 0; i < controls.size(); ++i)
    {
      MLayoutGrid::Cell cell;
      ASSERT_TRUE(grid.GetCell(*controls[i], cell));
      EXPECT_EQ(cell.column, c.cells[i].column) << c.name << " #" << i;
      EXPECT_EQ(cell.row, c.cells[i].row) << c.name << " #" << i;
      EXPECT_EQ(cell.columns, c.cells[i].columns) << c.name << " #" << i;
      EXPECT_EQ(cell.rows, c.cells[i].rows) << c.name << " #" << i;
    }
  }
}

TEST(MLayoutGrid, ColumnsTakeTheirWidthFromSingleColumnControlsAndSpansCoverTheGaps)
{
  Fixture f(MSize{300, 100});
  MLayoutGrid& grid = f.Layout<MLayoutGrid>();
  grid.LoadAttributes(Item({{"columns", "3"}, {"layoutspace", "5"}}));
  MControl& a = f.Child(MSize{40, 10});
  MControl& b = f.Child(MSize{20, 10}, MSize{1, 0});
  MControl& c = f.Child(MSize{30, 10});
  MControl& wide = f.Child(MSize{500, 10}, MSize{1, 0});
  for (MControl* control : {&a, &b, &c, &wide})
    grid.AddControl(*control);
  grid.LoadControlAttributes(wide, Item({{"hspan", "2"}}));
  f.container.Arrange();
  // Columns 40, ratio (fills: 300 - 40 - 30 - 2 * 5 = 220), 30; the wide control spans 40 + 5 + 220.
  EXPECT_EQ(a.GetBounds(), (MRect{0, 0, 40, 10}));
  EXPECT_EQ(b.GetBounds(), (MRect{45, 0, 265, 10}));
  EXPECT_EQ(c.GetBounds(), (MRect{270, 0, 300, 10}));
  EXPECT_EQ(wide.GetBounds(), (MRect{0, 15, 265, 25}));
  EXPECT_EQ(f.container.GetMinimalSize(),
            (MSize{40 + 5 + 0 + 5 + 30, 25})); // a ratio column needs its minimum
}

TEST(MLayoutHostileInput, AbsurdNumbersAreClampedAndMalformedAttributesNamed)
{
  Fixture f(MSize{1 << 30, 1 << 30});
  MLayoutVertical& layout = f.Layout<MLayoutVertical>();
  layout.LoadAttributes(Item({{"layoutspace", "99999999999999999999"}}));
  EXPECT_EQ(layout.GetLayoutSpace(), MLayout::kMaxExtent);
  for (int i = 0; i < 50; ++i)
  {
    MControl& c = f.Child(MSize{INT32_MAX, INT32_MAX}, MSize{i % 2 == 0 ? INT32_MAX : -5, INT32_MAX});
    c.SetLayoutBorder(MSize{INT32_MAX, INT32_MAX});
    c.SetMinimalClientSize(MSize{INT32_MAX, INT32_MAX});
    layout.AddControl(c);
    layout.LoadControlAttributes(c, Item({{"space", "2147483647"}}));
    EXPECT_EQ(c.GetLayoutSpace(), MLayout::kMaxExtent);
  }
  f.container.Arrange();
  const MSize minimal = f.container.GetMinimalSize();
  EXPECT_GT(minimal.y, 0);
  for (std::size_t i = 0; i < f.container.GetChildCount(); ++i)
  {
    const MControl& c = *f.container.GetChild(i);
    EXPECT_LE(c.GetSize().x, MLayout::kMaxExtent);
    EXPECT_LE(c.GetSize().y, MLayout::kMaxExtent);
    EXPECT_GE(c.GetSize().y, 0);
  }
  MLayoutGrid& grid = f.Layout<MLayoutGrid>();
  grid.LoadAttributes(Item({{"columns", "1000"}, {"rows", "-4"}}));
  MControl& spanning = f.Child(MSize{1, 1});
  grid.AddControl(spanning);
  grid.LoadControlAttributes(spanning, Item({{"hspan", "100000"}, {"vspan", "100000"}}));
  f.container.Arrange();
  MLayoutGrid::Cell cell;
  ASSERT_TRUE(grid.GetCell(spanning, cell));
  EXPECT_EQ(cell.columns, MLayoutGrid::kMaxColumns);
  EXPECT_EQ(cell.rows, MLayoutGrid::kMaxRows);

  for (const char* bad : {"12px", "", "-", "1 2", "0x10"})
  {
    try
    {
      layout.LoadAttributes(Item({{"deflayoutborderx", bad}}));
      ADD_FAILURE() << bad;
    }
    catch (const MException& e)
    {
      EXPECT_NE(e.Message().Find(MString("deflayoutborderx")), -1) << bad;
    }
  }
  EXPECT_THROW(MLayoutSide(4), MException);
}

TEST(MLayoutHostileInput, RandomLayoutsOfExtremeNumbersArrangeAndMeasureWithinBounds)
{
  std::uint32_t state = 12345;
  const auto next = [&state](std::uint32_t range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
  };
  const std::int32_t extremes[] = {0, 1, 7, -1, -100, 1 << 20, INT32_MAX, INT32_MIN, 1 << 30};
  const auto pick = [&] { return extremes[next(std::size(extremes))]; };
  // Control sizes stay where a control can still invalidate itself inside a window.
  const std::int32_t sizes[] = {0, 1, 7, -1, -100, 1 << 20, 1 << 24, 1 << 28};
  const auto pickSize = [&] { return sizes[next(std::size(sizes))]; };
  MRecordingStyle style;
  MWindow window;
  window.SetStyle(&style);
  for (int round = 0; round < 300; ++round)
  {
    MContainer& container = window.Add<MContainer>();
    container.SetSize(MSize{static_cast<std::int32_t>(next(2000)), static_cast<std::int32_t>(next(2000))});
    std::vector<MLayout*> layouts;
    for (std::uint32_t i = 0, n = next(5) + 1; i < n; ++i)
    {
      MLayoutList& all = container.GetLayouts();
      const std::uint32_t kind = next(7);
      layouts.push_back(kind == 0   ? &all.Add<MLayoutSide>(static_cast<std::int32_t>(next(4)))
                        : kind == 1 ? &all.Add<MLayoutClient>(static_cast<std::int32_t>(next(2)))
                        : kind == 2 ? &all.Add<MLayoutCorner>()
                        : kind == 3 ? &all.Add<MLayoutSwitch>()
                        : kind == 4 ? static_cast<MLayout*>(&all.Add<MLayoutOccupyBorder>())
                                    : &all.Add<MLayoutGrid>());
      layouts.back()->SetLayoutSpace(pick());
      layouts.back()->SetDefaultBorder(MSize{pick(), pick()});
      if (auto* grid = dynamic_cast<MLayoutGrid*>(layouts.back()))
      {
        grid->SetColumns(pick());
        grid->SetRows(pick());
        grid->SetVerticalFill(next(2) == 0);
      }
    }
    for (std::uint32_t i = 0, n = next(40); i < n; ++i)
    {
      MControl& c =
          next(4) == 0 ? static_cast<MControl&>(container.Add<MWrapped>()) : container.Add<MPanel>();
      c.SetSize(MSize{pickSize(), pickSize()});
      c.SetMinimalClientSize(MSize{pick(), pick()});
      c.SetLayoutRatio(MSize{pick(), pick()});
      c.SetLayoutBorder(MSize{pick(), pick()});
      c.SetLayoutSpace(pick());
      c.SetLayoutPlacement(static_cast<MAlignment>(next(16)));
      c.SetFlag(MControl::FlagCollapsable, true);
      c.SetCollapsed(next(5) == 0);
      c.SetVisible(next(6) != 0);
      MLayout& layout = *layouts[next(static_cast<std::uint32_t>(layouts.size()))];
      if (dynamic_cast<MLayoutOccupyBorder*>(&layout) != nullptr)
        continue;
      if (auto* corner = dynamic_cast<MLayoutCorner*>(&layout))
        corner->AddControl(c, static_cast<MLayoutCorner::Target>(next(8)));
      else
        layout.AddControl(c);
      if (auto* grid = dynamic_cast<MLayoutGrid*>(&layout))
        grid->SetSpan(c, pick(), pick());
    }
    std::vector<MRect> before;
    for (std::size_t i = 0; i < container.GetChildCount(); ++i)
      before.push_back(container.GetChild(i)->GetBounds());
    container.Arrange();
    const MSize minimal = container.GetMinimalSize();
    const MSize preferred = container.GetPreferredSize();
    EXPECT_GE(minimal.x, 0);
    EXPECT_GE(preferred.y, 0);
    for (std::size_t i = 0; i < container.GetChildCount(); ++i)
    {
      const MRect bounds = container.GetChild(i)->GetBounds();
      if (bounds == before[i])
        continue; // not placed (hidden, not shown by its switch, no room in its grid)
      EXPECT_LE(bounds.Width(), MLayout::kMaxExtent) << round;
      EXPECT_LE(bounds.Height(), MLayout::kMaxExtent) << round;
      EXPECT_LE(std::abs(std::int64_t{bounds.left}), std::int64_t{1} << 30) << round;
    }
    window.DeleteChildren();
  }
}

TEST(MLayoutLinks, DestroyedControlsLeaveTheirLayoutAndDestroyedLayoutsReleaseTheirControls)
{
  Fixture f;
  MLayoutTop& top = f.Layout<MLayoutTop>();
  MControl& a = f.Child(MSize{10, 10});
  MControl& b = f.Child(MSize{10, 10});
  top.AddControl(a);
  top.AddControl(b);
  f.container.RemoveChild(a); // destroyed here
  EXPECT_EQ(top.GetControlCount(), 1u);
  MLayoutBottom& bottom = f.Layout<MLayoutBottom>();
  bottom.AddControl(b); // moves
  EXPECT_EQ(top.GetControlCount(), 0u);
  EXPECT_EQ(b.GetLayout(), &bottom);
  f.container.GetLayouts().Remove(bottom).reset();
  EXPECT_EQ(b.GetLayout(), nullptr);
  f.container.Arrange();
}

TEST(MLayoutPlastic, PlasticControlsTakeTheHeightTheirWidthNeeds)
{
  for (const int width : {100, 50, 30})
  {
    Fixture f(MSize{width, 300});
    MWrapped& band = f.container.Add<MWrapped>();
    MWrapped& line = f.container.Add<MWrapped>();
    line.SetLayoutBorder(MSize{5, 0});
    line.SetLayoutRatio(MSize{1, 0}); // fixed height: the one its width needs
    f.Layout<MLayoutTop>().AddControl(band);
    f.Layout<MLayoutVertical>().AddControl(line);
    f.container.Arrange();
    const int lines = (100 + width - 1) / width;
    EXPECT_EQ(band.GetBounds(), (MRect{0, 0, width, 10 * lines})) << width;
    EXPECT_EQ(band.GetMinimalClientSize().y, 10 * lines); // adapted to the band's length
    const int inner = width - 10;
    EXPECT_EQ(line.GetBounds(),
              (MRect{5, 10 * lines, width - 5, 10 * lines + 10 * ((100 + inner - 1) / inner)}))
        << width;
  }
}

TEST(MLayoutContainer, NestedContainersReportWhatTheirLayoutsNeedAndStrangersAreSkipped)
{
  Fixture f;
  MContainer& inner = f.container.Add<MContainer>();
  MLayoutLeft& innerBand = inner.GetLayouts().Add<MLayoutLeft>();
  for (int i = 0; i < 2; ++i)
  {
    MControl& knob = inner.Add<MPanel>();
    knob.SetSize(MSize{30, 40});
    knob.SetLayoutRatio(MSize{0, 0});
    innerBand.AddControl(knob);
  }
  innerBand.SetLayoutSpace(6);
  EXPECT_EQ(inner.GetMinimalSize(), (MSize{30, 86}));
  inner.SetSize(inner.GetMinimalSize()); // a band is as thick as its controls are now
  MLayoutTop& top = f.Layout<MLayoutTop>();
  top.AddControl(inner);
  top.AddControl(f.container); // not a child of itself: skipped, no endless arrangement
  MContainer stranger;
  top.AddControl(stranger);
  f.container.Arrange();
  EXPECT_EQ(inner.GetBounds(), (MRect{0, 0, 200, 86}));
  EXPECT_EQ(f.container.GetMinimalSize(), (MSize{30, 86}));
  EXPECT_EQ(stranger.GetSize(), (MSize{}));
  EXPECT_EQ(top.GetControlFlags(), MLayout::ControlFlagStretchX | MLayout::ControlFlagStretchY);
}

TEST(MLayoutWindow, AnEditorPanelIsReLaidOutWhenItsWindowIsResized)
{
  MRecordingStyle style;
  MWindowSystemHeadless system;
  system.Initialize();
  MWindow window;
  window.SetStyle(&style);
  window.SetBounds(MRect::FromSize(0, 0, 100, 100));
  MContainer& editor = window.Add<MContainer>();
  editor.SetFlag(MControl::FlagClientLayout, true);
  MLayoutList& layouts = editor.GetLayouts();
  layouts.Add<MLayoutOccupyBorder>().SetDefaultBorder(MSize{6, 6});
  MLayoutTop& header = layouts.Add<MLayoutTop>();
  MLayoutLeft& knobs = layouts.Add<MLayoutLeft>();
  MLayoutBottom& status = layouts.Add<MLayoutBottom>();
  MLayoutVertical& body = layouts.Add<MLayoutVertical>();
  const auto add = [&](MLayout& layout, MSize size, MSize ratio, MCaptionType caption, MControlType type) {
    MControl& c = editor.Add<MPanel>();
    c.SetSize(size);
    c.SetLayoutRatio(ratio);
    c.SetCaptionType(caption);
    c.SetControlType(type);
    c.SetCaption("x");
    layout.AddControl(c);
    return &c;
  };
  add(header, MSize{0, 24}, MSize{1, 0}, MCaptionType::None, MControlType::Static);
  for (int i = 0; i < 3; ++i)
    add(knobs, MSize{48, 48}, MSize{0, 0}, MCaptionType::None, MControlType::Knob);
  add(status, MSize{80, 14}, MSize{0, 0}, MCaptionType::None, MControlType::Button)
      ->SetLayoutPlacement(MAlign::Right);
  add(body, MSize{0, 0}, MSize{1, 2}, MCaptionType::Normal, MControlType::Panel);
  add(body, MSize{0, 0}, MSize{1, 1}, MCaptionType::Normal, MControlType::Panel);
  window.Open(system);
  const MSize minimal = editor.GetMinimalSize();
  // The knob band runs from below the header to the bottom margin; the status band is beside it.
  EXPECT_EQ(minimal, (MSize{6 + 48 + 4 + 80 + 6, 6 + 24 + 4 + 3 * 48 + 2 * 4 + 6}));
  std::filesystem::create_directories(SnapshotOutputPath("layout"));
  for (const MSize size : {MSize{320, 200}, MSize{480, 260}, MSize{200, 240}})
  {
    window.SetSize(size);
    EXPECT_EQ(editor.GetSize(), size);
    EXPECT_TRUE(MatchesGolden(RenderWindow(system, window),
                              "layout/editor_" + std::to_string(size.x) + "x" + std::to_string(size.y)));
  }
}
