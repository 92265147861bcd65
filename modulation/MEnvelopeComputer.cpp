#include "modulation/MEnvelopeComputer.h"

#include "modulation/MEnvelopeItems.h"
#include "vector/MProcessorFeatures.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace
{
using Item = MEnvelopeComputer::Item;
using ItemPointer = std::unique_ptr<Item>;
using Point = MEnvelope::ControlPoint;

constexpr double kNoNeighbour = 1.7e308;

// The portable item or, when `twins` is set, its SSE2 twin.
template <typename Portable, typename Twin, typename... Arguments>
ItemPointer MakePolynomial(bool twins, Arguments... arguments)
{
#if TONVERA_ENVELOPE_SSE2
  if (twins)
    return std::make_unique<Twin>(arguments...);
#else
  (void)twins;
#endif
  return std::make_unique<Portable>(arguments...);
}

#if TONVERA_ENVELOPE_SSE2
using QuadraticTwin = MEnvelopeComputer::ItemQuadraticSSE;
using FourthOrderTwin = MEnvelopeComputer::ItemFourthOrderSSE;
using BezierTwin = MEnvelopeComputer::ItemBezierSSE;
using CubicTwin = MEnvelopeComputer::ItemCubicSSE;
#else
using QuadraticTwin = MEnvelopeComputer::ItemQuadratic;
using FourthOrderTwin = MEnvelopeComputer::ItemFourthOrder;
using BezierTwin = MEnvelopeComputer::ItemBezier;
using CubicTwin = MEnvelopeComputer::ItemCubic;
#endif

ItemPointer MakeCubic(bool twins, double end, double x0, double y0, double m0, double x1, double y1,
                      double m1)
{
  return MakePolynomial<MEnvelopeComputer::ItemCubic, CubicTwin>(twins, end, x0, y0, m0, x1, y1, m1);
}

ItemPointer MakeConstant(double end, double k)
{
  return std::make_unique<MEnvelopeComputer::ItemConstant>(end, k);
}

// The item of the segment from p0 to p1, for every shape but the smooth ones.
ItemPointer MakeSegment(bool twins, const Point& p0, const Point& p1)
{
  using C = MEnvelopeComputer;
  const double end = p1.x, c = p0.curvature;
  switch (p0.shape)
  {
  case MEnvelope::kShapeStairs:
    if (C::ItemPeriodic::StepCount(c) < 2.0)
      return MakeConstant(end, p0.y);
    return std::make_unique<C::ItemStairs>(end, p0.x, p0.y, p1.x, p1.y, c);
  case MEnvelope::kShapePulses:
    return std::make_unique<C::ItemPulses>(end, p0.x, p0.y, p1.x, p1.y, c);
  case MEnvelope::kShapeSaw:
    return std::make_unique<C::ItemSaw>(end, p0.x, p0.y, p1.x, p1.y, c);
  case MEnvelope::kShapeTriangles:
    return std::make_unique<C::ItemTriangles>(end, p0.x, p0.y, p1.x, p1.y, c);
  case MEnvelope::kShapeSines:
    return std::make_unique<C::ItemSines>(end, p0.x, p0.y, p1.x, p1.y, c);
  default:
    break;
  }
  if (std::fabs(p0.y - p1.y) < 1e-20)
    return MakeConstant(end, p0.y);
  const std::uint32_t flags = MEnvelope::ShapeFlags(p0.shape);
  const bool straight =
      (!(flags & MEnvelope::kUsesHorizontalCurvature) || std::fabs(p0.horizontalCurvature) < 1e-20) &&
      (!(flags & MEnvelope::kUsesCurvature) || std::fabs(c) < 1e-20);
  if (straight)
    return std::make_unique<C::ItemLinear>(end, p0.x, p0.y, p1.x, p1.y);
  switch (p0.shape)
  {
  case MEnvelope::kShapeMode1:
    return MakePolynomial<C::ItemQuadratic, QuadraticTwin>(twins, end, p0.x, p0.y, p1.x, p1.y, c);
  case MEnvelope::kShapeMode2:
    return MakePolynomial<C::ItemFourthOrder, FourthOrderTwin>(twins, end, p0.x, p0.y, p1.x, p1.y, c);
  case MEnvelope::kShapeMode3:
    return std::make_unique<C::ItemExponencial>(end, p0.x, p0.y, p1.x, p1.y, c);
  case MEnvelope::kShapeFree1:
  {
    double xC = 0.0, yC = 0.0;
    C::ItemBezier::FreeControlPoint(p0.x, p0.y, p1.x, p1.y, p0.horizontalCurvature, c, xC, yC);
    return MakePolynomial<C::ItemBezier, BezierTwin>(twins, end, p0.x, p0.y, xC, yC, p1.x, p1.y);
  }
  default:
    return std::make_unique<C::ItemDouble>(end, p0.x, p0.y, p1.x, p1.y, c);
  }
}

// "Smooth 2" slope at `p`: the mean of the secants to its neighbours, 0 at a point no higher
// than the lower of them and where a neighbour shares its position.
double NeighbourSlope(const Point& before, const Point& p, const Point& after)
{
  if (std::fabs(before.x - p.x) < 1e-50 || std::fabs(p.x - after.x) < 1e-50 ||
      p.y - 1e-20 <= std::min(before.y, after.y))
    return 0.0;
  return ((p.y - before.y) / (p.x - before.x) + (after.y - p.y) / (after.x - p.x)) * 0.5;
}

bool IsZero(double value)
{
  return std::fabs(value) < 1e-50;
}
} // namespace

bool MEnvelopeComputer::HasSSE2Twins()
{
#if TONVERA_ENVELOPE_SSE2
  return MProcessorFeatures::Get().sse2;
#else
  return false;
#endif
}

MEnvelopeComputer::MEnvelopeComputer()
{
  m_items.push_back(MakeConstant(kForever, 0.0));
}

MEnvelopeComputer::~MEnvelopeComputer() = default;

void MEnvelopeComputer::Build(const MEnvelope& envelope, Kernels kernels)
{
  const std::vector<Point>& points = envelope.GetPoints();
  MEnvelope::CheckPoints(points);
  const bool twins = kernels == Kernels::kProcessorChoice && HasSSE2Twins();
  const std::size_t n = points.size();

  std::vector<ItemPointer> items;
  double silenceStart = kForever;
  if (n == 0)
    items.push_back(MakeConstant(kForever, (envelope.GetMinimum() + envelope.GetMaximum()) / 2.0));
  else if (n == 1)
    items.push_back(MakeConstant(kForever, points[0].y));
  else
  {
    // Item i ends at point i (item 0 holds the first value before it); item n holds the last.
    items.reserve(2 * n + 1);
    items.push_back(MakeConstant(points[0].x, points[0].y));
    std::vector<std::size_t> smooth;
    for (std::size_t i = 1; i < n; ++i)
    {
      const Point& p0 = points[i - 1];
      const Point& p1 = points[i];
      const bool isSmooth = p0.shape == MEnvelope::kShapeSmooth1 || p0.shape == MEnvelope::kShapeSmooth2;
      if (std::fabs(p1.x - p0.x) <= 1e-8)
        items.push_back(MakeConstant(p1.x, p0.y));
      else if (isSmooth)
      {
        // Filled below, once the neighbours it takes its slopes from exist.
        smooth.push_back(i);
        items.push_back(nullptr);
      }
      else
        items.push_back(MakeSegment(twins, p0, p1));
    }
    items.push_back(MakeConstant(kForever, points[n - 1].y));

    // Smooth segments whose slopes are not 0 move between two points of value 0.
    std::vector<bool> moving(n + 1, false);
    for (const std::size_t i : smooth)
    {
      const Point& p0 = points[i - 1];
      const Point& p1 = points[i];
      double m0 = 0.0, m1 = 0.0;
      if (p0.shape == MEnvelope::kShapeSmooth1)
      {
        m0 = items[i - 1]->LeftDerivative(p0.x);
        m1 = items[i + 1] ? items[i + 1]->RightDerivative(p1.x) : 0.0;
      }
      else
      {
        m0 = NeighbourSlope(points[i >= 2 ? i - 2 : 0], p0, p1);
        m1 = NeighbourSlope(p0, p1, points[i + 1 < n ? i + 1 : n - 1]);
      }
      moving[i] = !IsZero(m0) || !IsZero(m1);
      items[i] = MakeCubic(twins, p1.x, p0.x, p0.y, m0, p1.x, p1.y, m1);
    }

    // Corner rounding and the silence start, from the last point to the first. Inserting after
    // item i leaves the items of the points still to come where they are.
    bool silent = true;
    for (std::size_t i = n; i-- > 0;)
    {
      const Point& p = points[i];
      // The curve is 0 from this point on only if the point and the segment leaving it are.
      silent = silent && IsZero(p.y) && !moving[i + 1];
      if (silent)
        silenceStart = p.x;

      const bool sharesPrevious = i > 0 && std::fabs(points[i - 1].x - p.x) <= 1e-8;
      const bool sharesNext = i + 1 < n && std::fabs(points[i + 1].x - p.x) <= 1e-8;
      if (sharesPrevious || sharesNext)
        continue;
      // Amounts outside 0..1 would reach past the neighbouring windows and unsort the items.
      const double a = std::clamp(p.leftRounding, 0.0, 1.0);
      const double b =
          (p.flags & MEnvelope::kFlagLeftRoundingBothSides) ? a : std::clamp(p.rightRounding, 0.0, 1.0);
      if (a < 1e-5 && b < 1e-5)
        continue;

      double left = 0.0, right = 0.0;
      if (p.flags & MEnvelope::kFlagSymmetricWindow)
      {
        const double half = std::min(i > 0 ? (p.x - points[i - 1].x) / 2.0 : kNoNeighbour,
                                     i + 1 < n ? (points[i + 1].x - p.x) / 2.0 : kNoNeighbour);
        left = p.x - half;
        right = p.x + half;
      }
      else
      {
        if (i > 0)
          left = (points[i - 1].x + p.x) / 2.0;
        if (i + 1 < n)
          right = (p.x + points[i + 1].x) / 2.0;
        if (i == 0)
          left = p.x - (right - p.x);
        if (i + 1 == n)
          right = p.x + (p.x - left);
      }
      // Held inside the window, which rounding of the weighted sums could leave by a unit.
      const double xl = std::clamp((1.0 - a) * p.x + a * left, left, p.x);
      const double xr = std::clamp((1.0 - b) * p.x + b * right, p.x, right);
      Item& before = *items[i];
      const Item& after = *items[i + 1];
      const double yl = before.Value(xl);
      const double yr = after.Value(xr);
      if (IsZero(yl - yr) && IsZero(yl - p.y))
        continue;
      const double sl = before.LeftDerivative(xl);
      const double sr = after.RightDerivative(xr);
      ItemPointer rounding;
      if (p.roundingMode == MEnvelope::kRoundingQuadratic)
      {
        // Where the two tangents meet, measured from xl.
        const double e = IsZero(sl - sr) ? kNoNeighbour : ((yl - yr) - (xl - xr) * sr) / (sr - sl);
        if (e >= 1e-10 && e <= (xr - xl) - 1e-10)
          rounding = MakePolynomial<ItemBezier, BezierTwin>(twins, xr, xl, yl, xl + e, yl + e * sl, xr, yr);
      }
      if (!rounding)
        rounding = MakeCubic(twins, xr, xl, yl, sl, xr, yr, sr);
      before.SetEnd(xl);
      items.insert(items.begin() + static_cast<std::ptrdiff_t>(i + 1), std::move(rounding));
      if (silent)
      {
        // The rounding item itself is not silent: the silence begins where it ends.
        silenceStart = xr;
        silent = false;
      }
    }
    // Ends never decrease, whatever rounding did at the ulp level: the cursor and the searches
    // rely on it.
    for (std::size_t k = 1; k < items.size(); ++k)
      if (items[k]->End() < items[k - 1]->End())
        items[k]->SetEnd(items[k - 1]->End());
  }

  m_items = std::move(items);
  m_cursor = 0;
  m_startPosition = envelope.GetStartPosition();
  m_secondPosition = envelope.GetSecondPosition();
  m_currentPosition = m_startPosition;
  m_silenceStart = silenceStart;
}

const MEnvelopeComputer::Item* MEnvelopeComputer::GetItem(int index) const
{
  if (index < 0 || index >= GetItemCount())
    return nullptr;
  return m_items[static_cast<std::size_t>(index)].get();
}

int MEnvelopeComputer::FindItem(double x, bool includeEnd) const noexcept
{
  // First item whose end lies beyond x (or at x, for a left-hand reading); the last item holds
  // everything after.
  std::size_t low = 0, high = m_items.size() - 1;
  while (low < high)
  {
    const std::size_t middle = (low + high) / 2;
    const double end = m_items[middle]->End();
    if (includeEnd ? end >= x : end > x)
      high = middle;
    else
      low = middle + 1;
  }
  return static_cast<int>(low);
}

double MEnvelopeComputer::Value(double x) noexcept
{
  const int last = GetItemCount() - 1;
  while (m_cursor < last && x >= m_items[static_cast<std::size_t>(m_cursor)]->End())
    ++m_cursor;
  return m_items[static_cast<std::size_t>(m_cursor)]->Value(x);
}

double MEnvelopeComputer::ValueAt(double x) const noexcept
{
  return m_items[static_cast<std::size_t>(FindItem(x, false))]->Value(x);
}

double MEnvelopeComputer::LeftDerivative(double x) const noexcept
{
  return m_items[static_cast<std::size_t>(FindItem(x, true))]->LeftDerivative(x);
}

double MEnvelopeComputer::RightDerivative(double x) const noexcept
{
  return m_items[static_cast<std::size_t>(FindItem(x, false))]->RightDerivative(x);
}

template <typename T>
void MEnvelopeComputer::Fill(T* destination, double first, double step, int count) noexcept
{
  if (destination == nullptr || count < 1)
    return;
  if (!(step >= 0.0))
  {
    // Falling (or not-a-number) steps: the cursor cannot go back, so each position searches.
    for (int i = 0; i < count; ++i)
      destination[i] = static_cast<T>(ValueAt(first + static_cast<double>(i) * step));
    return;
  }
  const int last = GetItemCount() - 1;
  int i = 0;
  while (i < count)
  {
    const double x = first + static_cast<double>(i) * step;
    while (m_cursor < last && x >= m_items[static_cast<std::size_t>(m_cursor)]->End())
      ++m_cursor;
    const Item& item = *m_items[static_cast<std::size_t>(m_cursor)];
    int runEnd = count;
    if (m_cursor < last && step > 0.0)
    {
      // The first index at or past the item's end, estimated by division and then settled by
      // the same position arithmetic the loop above uses, so no position is judged twice.
      const double end = item.End();
      const auto at = [first, step](int index) { return first + static_cast<double>(index) * step; };
      const double estimate = std::ceil((end - first) / step);
      // (A position that is not a number compares false everywhere: runs of one.)
      if (estimate >= count)
        runEnd = count;
      else if (estimate > i + 1)
        runEnd = static_cast<int>(estimate);
      else
        runEnd = i + 1;
      while (runEnd > i + 1 && at(runEnd - 1) >= end)
        --runEnd;
      while (runEnd < count && at(runEnd) < end)
        ++runEnd;
    }
    if constexpr (std::is_same_v<T, double>)
      item.FillDoubles(destination + i, x, step, runEnd - i);
    else
      item.FillFloats(destination + i, x, step, runEnd - i);
    i = runEnd;
  }
}

void MEnvelopeComputer::FillDoubles(double* destination, double first, double step, int count) noexcept
{
  Fill(destination, first, step, count);
}

void MEnvelopeComputer::FillFloats(float* destination, double first, double step, int count) noexcept
{
  Fill(destination, first, step, count);
}
