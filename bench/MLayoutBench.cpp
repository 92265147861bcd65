// Cost of arranging an editor through its layouts, beside a reference measured in the same run:
//   layout arrange controls=60 us=... direct_us=... ratio_to_direct=... limit_us=200
//     a window's editor container of 60 controls (header band, knob bands left and right, a
//     button band at the bottom, a 6-column grid of knobs, two ratio panels) resized between two
//     sizes, so every arrangement moves every stretching control; against the same controls set
//     to the rectangles the layouts gave them, in a plain loop under the tree lock (the bare cost
//     of moving them).
// Times are CPU time per iteration in microseconds (one resize and arrangement per iteration).

#include "base/MLockGuard.h"
#include "gui/MFont.h"
#include "gui/MWindow.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MPanel.h"
#include "gui/layout/MLayoutGrid.h"
#include "gui/layout/MLayoutList.h"
#include "gui/layout/MLayoutSide.h"

#include "bench/MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{

class MBenchStyle : public MStyle
{
public:
  MString GetName() const override { return "Bench"; }
  std::int32_t GetMetric(std::int32_t index) const override { return index == MetricSpacing ? 4 : 0; }
  MRect GetClientRect(MControlType, MCaptionType caption, MSize size) const override
  {
    return MRect{0, caption == MCaptionType::None ? 0 : std::min(14, size.y), size.x, size.y};
  }
  MSize GetControlSize(MControlType, MCaptionType caption, MSize client) const override
  {
    return MSize{client.x, client.y + (caption == MCaptionType::None ? 0 : 14)};
  }
  void PaintControl(MDrawer&, const MControlPaint&) override {}
  void PaintContent(MDrawer&, const MRect&, const MControlPaint&) override {}
  MColor GetColor(MStdColor) const override { return MColor{}; }
  const MFont& GetFont(MStdFont) const override { return m_font; }
  void LoadConfiguration(const MXmlItem&) override {}
  void SaveConfiguration(MXmlItem&) const override {}

private:
  MFont m_font;
};

constexpr MSize kSizes[2] = {MSize{800, 500}, MSize{840, 530}};

struct Fixture
{
  MBenchStyle style;
  MWindow window;
  MContainer* editor = nullptr;
  std::vector<MControl*> controls;
  std::vector<MRect> bounds[2]; // what the layouts gave each control at each size

  Fixture()
  {
    window.SetStyle(&style);
    editor = &window.Add<MContainer>();
    MLayoutList& layouts = editor->GetLayouts();
    MLayoutTop& header = layouts.Add<MLayoutTop>();
    MLayoutLeft& left = layouts.Add<MLayoutLeft>();
    MLayoutRight& right = layouts.Add<MLayoutRight>();
    MLayoutBottom& bottom = layouts.Add<MLayoutBottom>();
    MLayoutGrid& grid = layouts.Add<MLayoutGrid>();
    grid.SetColumns(6);
    const auto add = [&](MLayout& layout, MSize size, MSize ratio) {
      MControl& c = editor->Add<MPanel>();
      c.SetSize(size);
      c.SetLayoutRatio(ratio);
      c.SetCaptionType(MCaptionType::Small);
      layout.AddControl(c);
      controls.push_back(&c);
    };
    for (int i = 0; i < 4; ++i)
      add(header, MSize{120, 24}, MSize{i == 1 ? 1 : 0, 0});
    for (int i = 0; i < 10; ++i)
      add(left, MSize{64, 40}, MSize{0, i % 3 == 0 ? 1 : 0});
    for (int i = 0; i < 10; ++i)
      add(right, MSize{64, 40}, MSize{0, i % 4 == 0 ? 1 : 0});
    for (int i = 0; i < 6; ++i)
      add(bottom, MSize{90, 22}, MSize{i == 5 ? 1 : 0, 0});
    for (int i = 0; i < 30; ++i)
      add(grid, MSize{56, 60}, MSize{i % 6 == 0 ? 1 : 0, i / 6 == 2 ? 1 : 0});
    for (int s = 0; s < 2; ++s)
    {
      editor->SetSize(kSizes[s]);
      for (MControl* c : controls)
        bounds[s].push_back(c->GetBounds());
    }
  }
};

Fixture& Shared()
{
  static Fixture fixture;
  return fixture;
}

void LayoutArrange60(benchmark::State& state)
{
  Fixture& f = Shared();
  int s = 0;
  for (auto _ : state)
  {
    s ^= 1;
    f.editor->SetSize(kSizes[s]); // arranges
    benchmark::ClobberMemory();
  }
}

void DirectMove60(benchmark::State& state)
{
  Fixture& f = Shared();
  int s = 0;
  for (auto _ : state)
  {
    s ^= 1;
    // Under the tree lock, as an arrangement runs.
    MSynchronizationObjectGuard lock(f.window.GetTreeLock(), MSynchronizationObject::kModeExclusive);
    for (std::size_t i = 0; i < f.controls.size(); ++i)
      f.controls[i]->SetBounds(f.bounds[s][i]);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(LayoutArrange60)->Unit(benchmark::kMicrosecond);
BENCHMARK(DirectMove60)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;
  const double arrange = reporter.Micros("LayoutArrange60"), direct = reporter.Micros("DirectMove60");
  if (arrange >= 0.0 && direct > 0.0)
    std::printf("layout arrange controls=60 us=%.2f direct_us=%.2f ratio_to_direct=%.2f limit_us=200\n",
                arrange, direct, arrange / direct);
  return 0;
}
