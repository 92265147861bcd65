#include "gui/MDrawerToMBitmap.h"

#include "base/MHostCallShield.h"
#include "gui/MFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
using std::int32_t;
using std::int64_t;
using std::uint32_t;
using std::uint64_t;

// Shapes whose points lie further than this from the target are not drawn: far beyond any
// surface (16384 pixels at most) and small enough that the rasteriser's doubles stay exact to a
// small fraction of a pixel.
constexpr double kMaxCoordinate = 1e7;
// Largest chord error when circles and arcs are flattened, in pixels.
constexpr double kFlatness = 0.05;

/// x / 255 rounded, exact for 0 <= x <= 255 × 255.
inline uint32_t Div255(uint32_t x) noexcept
{
  x += 128;
  return (x + (x >> 8)) >> 8;
}

inline int32_t Clamp255(int32_t v) noexcept
{
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

inline int32_t ClampToInt32(int64_t v) noexcept
{
  return int32_t(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

inline uint32_t Channel(uint32_t p, int shift) noexcept
{
  return (p >> shift) & 255u;
}

inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) noexcept
{
  return (a << 24) | (r << 16) | (g << 8) | b;
}

inline int32_t Luminance(int32_t r, int32_t g, int32_t b) noexcept
{
  return (77 * r + 150 * g + 29 * b) >> 8;
}

/// Source over destination with weight `w` (1..255) and colour `rgb` (0x00RRGGBB): the mixing
/// rule of the header, with the opaque-destination fast path.
inline uint32_t Mix(uint32_t d, uint32_t rgb, uint32_t w) noexcept;

/// A colour prepared for mixing into opaque pixels with one weight: red and blue share one word,
/// green has its own, each channel in a 16-bit lane, so one multiply serves two channels and the
/// rounding division by 255 runs on both lanes at once (exactly Div255 per channel).
struct MPackedSource
{
  uint32_t rb;
  uint32_t g;
  uint32_t inverse;

  MPackedSource(uint32_t rgb, uint32_t w) noexcept
      : rb((rgb & 0xFF00FFu) * w + 0x800080u), g((rgb & 0x00FF00u) * w + 0x008000u), inverse(255 - w)
  {}

  uint32_t Over(uint32_t d) const noexcept
  {
    uint32_t rb2 = rb + (d & 0xFF00FFu) * inverse;
    rb2 = ((rb2 + ((rb2 >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    uint32_t g2 = g + (d & 0x00FF00u) * inverse;
    g2 = ((g2 + ((g2 >> 8) & 0x00FF00u)) >> 8) & 0x00FF00u;
    return 0xFF000000u | rb2 | g2;
  }
};

inline uint32_t Mix(uint32_t d, uint32_t rgb, uint32_t w) noexcept
{
  const uint32_t da = d >> 24;
  if (da == 255)
  {
    return MPackedSource(rgb, w).Over(d);
  }
  const uint32_t outA = da + Div255((255 - da) * w);
  if (outA == 0)
  {
    return 0;
  }
  // Colours weighted by their alpha contributions: (R w 255 + D da (255 - w)) / (outA 255).
  const uint32_t sw = w * 255;
  const uint32_t dw = da * (255 - w);
  const uint32_t den = outA * 255;
  const uint32_t r = (Channel(rgb, 16) * sw + Channel(d, 16) * dw + den / 2) / den;
  const uint32_t g = (Channel(rgb, 8) * sw + Channel(d, 8) * dw + den / 2) / den;
  const uint32_t b = (Channel(rgb, 0) * sw + Channel(d, 0) * dw + den / 2) / den;
  return Pack(outA, std::min(r, 255u), std::min(g, 255u), std::min(b, 255u));
}

/// Source over destination for a row: out[k] = in[k] with its alpha scaled by `alpha`, mixed into
/// out[k] by the rule of the header. Opaque destinations (the common case: window surfaces) take
/// four pixels at a time with SSE2 where the compiler offers it; the results are bit-identical to
/// the scalar rule.
void BlendRowOver(uint32_t* out, const uint32_t* in, int32_t count, uint32_t alpha) noexcept
{
  int32_t k = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i c255 = _mm_set1_epi16(255);
  const __m128i c128 = _mm_set1_epi16(128);
  const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
  const __m128i scale = _mm_set1_epi16(short(alpha));
  const auto div255 = [&](__m128i x) {
    x = _mm_add_epi16(x, c128);
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
  };
  const auto half = [&](__m128i s, __m128i d) {
    __m128i w = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    if (alpha != 255)
    {
      w = div255(_mm_mullo_epi16(w, scale));
    }
    const __m128i mixed = _mm_add_epi16(_mm_mullo_epi16(s, w), _mm_mullo_epi16(d, _mm_sub_epi16(c255, w)));
    return div255(mixed);
  };
  for (; k + 4 <= count; k += 4)
  {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + k));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(d, opaque), opaque)) != 0xFFFF)
    {
      break; // a translucent destination: the scalar rule from here on
    }
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
    const __m128i lo = half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    const __m128i hi = half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
  }
#endif
  for (; k < count; ++k)
  {
    const uint32_t s = in[k];
    const uint32_t w = alpha == 255 ? s >> 24 : Div255((s >> 24) * alpha);
    const uint32_t d = out[k];
    if (w == 255)
    {
      out[k] = s | 0xFF000000u;
    }
    else if (w != 0)
    {
      out[k] = d >> 24 == 255 ? MPackedSource(s & 0xFFFFFFu, w).Over(d) : Mix(d, s & 0xFFFFFFu, w);
    }
  }
}

/// The result colour R of `op` for one channel (not for Color, Copy, None, Alphablend).
inline int32_t ChannelResult(MColorOp op, int32_t d, int32_t s, int32_t lumS, int32_t contrastD) noexcept
{
  switch (op)
  {
  case MColorOp::Modulate:
    return int32_t(Div255(uint32_t(d * s)));
  case MColorOp::Overlay:
    return d < 128 ? int32_t(Div255(uint32_t(2 * d * s)))
                   : 255 - int32_t(Div255(uint32_t(2 * (255 - d) * (255 - s))));
  case MColorOp::Invert:
    return 255 - d;
  case MColorOp::Add:
    return std::min(255, d + s);
  case MColorOp::Subtract:
    return std::max(0, d - s);
  case MColorOp::Lighten:
    return std::max(d, s);
  case MColorOp::Darken:
    return std::min(d, s);
  case MColorOp::Difference:
    return d > s ? d - s : s - d;
  case MColorOp::IncContrast:
    return Clamp255(128 + (d - 128) * (255 + s) / 255);
  case MColorOp::DecContrast:
    return 128 + (d - 128) * (255 - s) / 255;
  case MColorOp::LightenByContrast:
    return Clamp255(d + lumS * contrastD / 255);
  case MColorOp::DarkenByContrast:
    return Clamp255(d - lumS * contrastD / 255);
  case MColorOp::AddAndOverflow:
    return (d + s) & 255;
  default:
    return s;
  }
}

/// S's hue and saturation with D's luminance, pulled back into 0..255 towards that luminance.
uint32_t ColorResult(uint32_t d, uint32_t s) noexcept
{
  const int32_t sr = int32_t(Channel(s, 16)), sg = int32_t(Channel(s, 8)), sb = int32_t(Channel(s, 0));
  const int32_t lum = Luminance(int32_t(Channel(d, 16)), int32_t(Channel(d, 8)), int32_t(Channel(d, 0)));
  const int32_t delta = lum - Luminance(sr, sg, sb);
  int32_t c[3] = {sr + delta, sg + delta, sb + delta};
  const int32_t lo = std::min({c[0], c[1], c[2]});
  const int32_t hi = std::max({c[0], c[1], c[2]});
  for (int32_t& v : c)
  {
    if (lo < 0 && lum > lo)
    {
      v = lum + (v - lum) * lum / (lum - lo);
    }
    if (hi > 255 && hi > lum)
    {
      v = lum + (v - lum) * (255 - lum) / (hi - lum);
    }
    v = Clamp255(v);
  }
  return Pack(0, uint32_t(c[0]), uint32_t(c[1]), uint32_t(c[2]));
}

inline uint32_t CopyMix(uint32_t d, uint32_t s, uint32_t coverage) noexcept
{
  if (coverage >= 255)
  {
    return s;
  }
  const uint32_t ic = 255 - coverage;
  return Pack(Div255(Channel(s, 24) * coverage + Channel(d, 24) * ic),
              Div255(Channel(s, 16) * coverage + Channel(d, 16) * ic),
              Div255(Channel(s, 8) * coverage + Channel(d, 8) * ic),
              Div255(Channel(s, 0) * coverage + Channel(d, 0) * ic));
}

/// Within the range where shapes are drawn (target pixels).
bool Finite(double v) noexcept
{
  return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate;
}

/// Finite and no further from any target than a coordinate plus the largest origin can be.
bool Plausible(double v) noexcept
{
  return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate + 4294967296.0;
}

/// Chords for an arc of `sweep` radians at `radius` so that the error stays below kFlatness.
int32_t SegmentsFor(double radius, double sweep) noexcept
{
  const double step = radius > kFlatness ? 2.0 * std::acos(1.0 - kFlatness / radius) : 1.0;
  const double n = std::ceil(sweep / std::max(step, 1e-4));
  return int32_t(std::clamp(n, 2.0, 4096.0));
}

/// The radius whose inscribed polygon of `segments` chords over a full turn has the circle's area.
double AreaRadius(double radius, int32_t segmentsPerTurn) noexcept
{
  const double theta = 2.0 * std::numbers::pi / segmentsPerTurn;
  return radius * std::sqrt(theta / std::sin(theta));
}
} // namespace

// --- rasteriser --------------------------------------------------------------------------------

// Exact-area coverage of polygons inside a box of the target: each edge adds its signed area and
// cover to the cells it crosses; a running sum along each row gives the coverage. Rows are
// independent (the sum restarts per row), so edges above and below the box are simply skipped;
// parts of edges left of the box act as a vertical edge on its left side, parts right of it
// cannot change any cell inside and are dropped.
class MDrawerToMBitmap::Rasterizer
{
public:
  Rasterizer(std::vector<float>& cells, std::vector<int32_t>& spans, MRect box)
      : m_cells(cells), m_spans(spans), m_box(box), m_width(box.Width()), m_height(box.Height())
  {
    m_stride = m_width + 2;
    const std::size_t need = std::size_t(m_stride) * std::size_t(m_height);
    if (m_cells.size() < need)
    {
      m_cells.assign(need, 0.0f);
    }
    // Per row the first and last cell an edge touched; outside them the running sum is constant.
    m_spans.assign(std::size_t(m_height) * 2, 0);
    for (int32_t y = 0; y < m_height; ++y)
    {
      m_spans[std::size_t(2 * y)] = m_stride;
      m_spans[std::size_t(2 * y + 1)] = -1;
    }
  }

  /// An edge in target pixels.
  void AddEdge(double x0, double y0, double x1, double y1)
  {
    x0 -= m_box.left;
    x1 -= m_box.left;
    y0 -= m_box.top;
    y1 -= m_box.top;
    if (y0 == y1)
    {
      return;
    }
    const double w = m_width;
    // Split at x = 0 and x = width.
    double cuts[4] = {0.0, 1.0, 1.0, 1.0};
    int count = 1;
    if (x0 != x1)
    {
      for (double edge : {0.0, w})
      {
        const double t = (edge - x0) / (x1 - x0);
        if (t > 0.0 && t < 1.0)
        {
          cuts[count++] = t;
        }
      }
    }
    if (count == 3 && cuts[2] < cuts[1])
    {
      std::swap(cuts[1], cuts[2]);
    }
    cuts[count++] = 1.0;
    for (int i = 0; i + 1 < count; ++i)
    {
      const double ta = cuts[i], tb = cuts[i + 1];
      if (tb <= ta)
      {
        continue;
      }
      const double xa = x0 + (x1 - x0) * ta, ya = y0 + (y1 - y0) * ta;
      const double xb = i + 2 == count ? x1 : x0 + (x1 - x0) * tb;
      const double yb = i + 2 == count ? y1 : y0 + (y1 - y0) * tb;
      const double mid = 0.5 * (xa + xb);
      if (mid <= 0.0)
      {
        Walk(0.0, ya, 0.0, yb);
      }
      else if (mid < w)
      {
        Walk(std::clamp(xa, 0.0, w), ya, std::clamp(xb, 0.0, w), yb);
      }
    }
  }

  /// Blends `color` into the target by the accumulated coverage and clears the cells.
  void Composite(MBitmap& target, MColor color)
  {
    const uint32_t rgb = color.ToARGB() & 0xFFFFFFu;
    const uint32_t alpha = color.a;
    const uint32_t solid = 0xFF000000u | rgb;
    for (int32_t y = 0; y < m_height; ++y)
    {
      const int32_t first = m_spans[std::size_t(2 * y)];
      const int32_t last = m_spans[std::size_t(2 * y + 1)];
      if (last < first)
      {
        continue; // no edge crossed this row: nothing inside the box
      }
      float* cells = m_cells.data() + std::size_t(y) * std::size_t(m_stride);
      uint32_t* row = target.Row(m_box.top + y) + m_box.left;
      const auto weightOf = [alpha](float sum) {
        const uint32_t coverage = uint32_t(std::min(std::fabs(sum), 1.0f) * 255.0f + 0.5f);
        return coverage == 255 ? alpha : Div255(coverage * alpha);
      };
      const auto run = [&](int32_t from, int32_t to, uint32_t w) {
        if (w == 255)
        {
          std::fill(row + from, row + to, solid);
        }
        else if (w != 0)
        {
          for (int32_t i = from; i < to; ++i)
          {
            row[i] = Mix(row[i], rgb, w);
          }
        }
      };
      float acc = 0.0f;
      uint32_t w = 0;
      const int32_t end = std::min(last + 1, m_width);
      int32_t x = first;
      while (x < end)
      {
        if (cells[x] != 0.0f)
        {
          acc += cells[x];
          w = weightOf(acc);
          run(x, x + 1, w);
          ++x;
          continue;
        }
        // Cells no edge touched keep the coverage: the interior and holes go by runs.
        int32_t to = x + 1;
        while (to < end && cells[to] == 0.0f)
        {
          ++to;
        }
        run(x, to, w);
        x = to;
      }
      // Past the last touched cell the coverage no longer changes: a run to the box's edge.
      run(x, m_width, weightOf(acc));
      std::fill(cells + first, cells + last + 1, 0.0f);
    }
  }

private:
  void Touch(int32_t y, int32_t from, int32_t to) noexcept
  {
    int32_t& first = m_spans[std::size_t(2 * y)];
    int32_t& last = m_spans[std::size_t(2 * y + 1)];
    first = std::min(first, from);
    last = std::max(last, to);
  }

  // Adds one edge with 0 <= x <= width.
  void Walk(double x0, double y0, double x1, double y1)
  {
    double dir = 1.0;
    if (y0 > y1)
    {
      dir = -1.0;
      std::swap(x0, x1);
      std::swap(y0, y1);
    }
    const double h = m_height;
    if (y1 <= 0.0 || y0 >= h || y0 == y1)
    {
      return;
    }
    const double dxdy = (x1 - x0) / (y1 - y0);
    double x = x0;
    if (y0 < 0.0)
    {
      x -= y0 * dxdy;
      y0 = 0.0;
    }
    const double yEnd = std::min(y1, h);
    const double w = m_width;
    const int32_t first = int32_t(std::floor(y0));
    const int32_t last = std::min(int32_t(std::ceil(yEnd)), m_height);
    for (int32_t y = first; y < last; ++y)
    {
      float* cells = m_cells.data() + std::size_t(y) * std::size_t(m_stride);
      const double dy = std::min(double(y + 1), yEnd) - std::max(double(y), y0);
      const double xNext = x + dxdy * dy;
      const double d = dy * dir;
      const double xa = std::clamp(std::min(x, xNext), 0.0, w);
      const double xb = std::clamp(std::max(x, xNext), 0.0, w);
      const double xaFloor = std::floor(xa);
      const int32_t xai = int32_t(xaFloor);
      const double xbCeil = std::ceil(xb);
      const int32_t xbi = int32_t(xbCeil);
      if (xbi <= xai + 1)
      {
        const double xmf = 0.5 * (xa + xb) - xaFloor;
        cells[xai] += float(d - d * xmf);
        cells[xai + 1] += float(d * xmf);
        Touch(y, xai, xai + 1);
      }
      else
      {
        const double s = 1.0 / (xb - xa);
        const double xaf = xa - xaFloor;
        const double a0 = 0.5 * s * (1.0 - xaf) * (1.0 - xaf);
        const double xbf = xb - xbCeil + 1.0;
        const double am = 0.5 * s * xbf * xbf;
        cells[xai] += float(d * a0);
        if (xbi == xai + 2)
        {
          cells[xai + 1] += float(d * (1.0 - a0 - am));
        }
        else
        {
          const double a1 = s * (1.5 - xaf);
          cells[xai + 1] += float(d * (a1 - a0));
          for (int32_t xi = xai + 2; xi < xbi - 1; ++xi)
          {
            cells[xi] += float(d * s);
          }
          const double a2 = a1 + (xbi - xai - 3) * s;
          cells[xbi - 1] += float(d * (1.0 - a2 - am));
        }
        cells[xbi] += float(d * am);
        Touch(y, xai, xbi);
      }
      x = xNext;
    }
  }

  std::vector<float>& m_cells;
  std::vector<int32_t>& m_spans;
  MRect m_box;
  int32_t m_width;
  int32_t m_height;
  int32_t m_stride = 0;
};

// --- target, origin and clip -----------------------------------------------------------------

MDrawerToMBitmap::MDrawerToMBitmap(MBitmap& target) : m_target(&target)
{
  Reset();
}

void MDrawerToMBitmap::SetTarget(MBitmap& target)
{
  m_target = &target;
  Reset();
}

void MDrawerToMBitmap::Reset() noexcept
{
  m_origin = MPoint{};
  m_clip = TargetBounds();
}

MRect MDrawerToMBitmap::TargetBounds() const noexcept
{
  return m_target->Bounds();
}

MRect MDrawerToMBitmap::EffectiveClip() const noexcept
{
  return m_clip.Intersect(TargetBounds());
}

MRect MDrawerToMBitmap::ToTargetClipped(const MRect& rect) const noexcept
{
  const MRect clip = EffectiveClip();
  const int64_t left = std::max<int64_t>(int64_t(rect.left) + m_origin.x, clip.left);
  const int64_t top = std::max<int64_t>(int64_t(rect.top) + m_origin.y, clip.top);
  const int64_t right = std::min<int64_t>(int64_t(rect.right) + m_origin.x, clip.right);
  const int64_t bottom = std::min<int64_t>(int64_t(rect.bottom) + m_origin.y, clip.bottom);
  if (left >= right || top >= bottom)
  {
    return MRect{};
  }
  return MRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
}

MSize MDrawerToMBitmap::GetTargetSize() const
{
  return m_target->Size();
}

MPoint MDrawerToMBitmap::SetOrigin(MPoint origin)
{
  const MPoint old = m_origin;
  m_origin = origin;
  return old;
}

MPoint MDrawerToMBitmap::GetOrigin() const
{
  return m_origin;
}

MRect MDrawerToMBitmap::SetClip(const MRect& clip)
{
  const MRect old = m_clip;
  m_clip = TargetBounds();
  m_clip = ToTargetClipped(clip);
  return old;
}

MRect MDrawerToMBitmap::IntersectClip(const MRect& clip)
{
  const MRect old = m_clip;
  m_clip = ToTargetClipped(clip);
  return old;
}

void MDrawerToMBitmap::RestoreClip(const MRect& targetClip)
{
  m_clip = targetClip.Intersect(TargetBounds());
}

MRect MDrawerToMBitmap::GetClip() const
{
  const MRect clip = EffectiveClip();
  if (clip.IsEmpty())
  {
    return MRect{};
  }
  return MRect{ClampToInt32(int64_t(clip.left) - m_origin.x), ClampToInt32(int64_t(clip.top) - m_origin.y),
               ClampToInt32(int64_t(clip.right) - m_origin.x),
               ClampToInt32(int64_t(clip.bottom) - m_origin.y)};
}

// --- pixels ----------------------------------------------------------------------------------

uint32_t MDrawerToMBitmap::CombinePixel(uint32_t d, uint32_t s, MColorOp op, uint32_t coverage) noexcept
{
  coverage = std::min(coverage, 255u);
  switch (op)
  {
  case MColorOp::None:
    return d;
  case MColorOp::Copy:
    return CopyMix(d, s, coverage);
  default:
    break;
  }
  const uint32_t w = Div255((s >> 24) * coverage);
  if (w == 0)
  {
    return d;
  }
  uint32_t rgb = s & 0xFFFFFFu;
  if (op == MColorOp::Color)
  {
    rgb = ColorResult(d, s);
  }
  else if (op != MColorOp::Alphablend)
  {
    const int32_t dr = int32_t(Channel(d, 16)), dg = int32_t(Channel(d, 8)), db = int32_t(Channel(d, 0));
    const int32_t sr = int32_t(Channel(s, 16)), sg = int32_t(Channel(s, 8)), sb = int32_t(Channel(s, 0));
    const int32_t lumS = Luminance(sr, sg, sb);
    const int32_t contrastD = std::min(255, 2 * std::abs(Luminance(dr, dg, db) - 128));
    rgb = Pack(0, uint32_t(ChannelResult(op, dr, sr, lumS, contrastD)),
               uint32_t(ChannelResult(op, dg, sg, lumS, contrastD)),
               uint32_t(ChannelResult(op, db, sb, lumS, contrastD)));
  }
  return Mix(d, rgb, w);
}

void MDrawerToMBitmap::FillRectangle(const MRect& rect, MColor color, MColorOp op)
{
  const MRect r = ToTargetClipped(rect);
  if (r.IsEmpty() || op == MColorOp::None)
  {
    return;
  }
  const uint32_t s = color.ToARGB();
  const int32_t width = r.Width();
  if (op == MColorOp::Copy || (op == MColorOp::Alphablend && color.a == 255))
  {
    const uint32_t value = op == MColorOp::Copy ? s : (s | 0xFF000000u);
    for (int32_t y = r.top; y < r.bottom; ++y)
    {
      std::fill_n(m_target->Row(y) + r.left, width, value);
    }
    return;
  }
  if (op == MColorOp::Alphablend)
  {
    if (color.a == 0)
    {
      return;
    }
    m_row.assign(std::size_t(width), s);
    for (int32_t y = r.top; y < r.bottom; ++y)
    {
      BlendRowOver(m_target->Row(y) + r.left, m_row.data(), width, 255);
    }
    return;
  }
  for (int32_t y = r.top; y < r.bottom; ++y)
  {
    uint32_t* row = m_target->Row(y) + r.left;
    for (int32_t x = 0; x < width; ++x)
    {
      row[x] = CombinePixel(row[x], s, op, 255);
    }
  }
}

void MDrawerToMBitmap::FrameRectangle(const MRect& rect, MColor color, int32_t thickness)
{
  if (rect.IsEmpty() || thickness <= 0)
  {
    return;
  }
  const int64_t t = std::min<int64_t>(
      {thickness, (int64_t(rect.right) - rect.left + 1) / 2, (int64_t(rect.bottom) - rect.top + 1) / 2});
  const int32_t ti = int32_t(t);
  // Top and bottom bands run the full width; the sides fill in between, so no pixel is blended twice.
  FillRectangle(MRect{rect.left, rect.top, rect.right, rect.top + ti}, color);
  if (rect.bottom - ti > rect.top + ti)
  {
    FillRectangle(MRect{rect.left, rect.bottom - ti, rect.right, rect.bottom}, color);
    FillRectangle(MRect{rect.left, rect.top + ti, std::min(rect.left + ti, rect.right), rect.bottom - ti},
                  color);
    if (rect.right - ti >= rect.left + ti)
    {
      FillRectangle(MRect{rect.right - ti, rect.top + ti, rect.right, rect.bottom - ti}, color);
    }
  }
  else if (rect.bottom > rect.top + ti)
  {
    FillRectangle(MRect{rect.left, rect.top + ti, rect.right, rect.bottom}, color);
  }
}

void MDrawerToMBitmap::FillGradient(const MRect& rect, MColor from, MColor to, bool vertical)
{
  const MRect r = ToTargetClipped(rect);
  if (r.IsEmpty())
  {
    return;
  }
  // Position of each clipped row or column inside the whole (unclipped) rectangle.
  const int64_t start = vertical ? int64_t(rect.top) + m_origin.y : int64_t(rect.left) + m_origin.x;
  const int64_t span = vertical ? int64_t(rect.bottom) - rect.top : int64_t(rect.right) - rect.left;
  const auto colorAt = [&](int64_t position) {
    const double t = span > 1 ? double(position - start) / double(span - 1) : 0.0;
    const auto mix = [t](std::uint8_t a, std::uint8_t b) {
      return std::uint8_t(std::lround(a + (double(b) - a) * t));
    };
    return MColor{mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b), mix(from.a, to.a)};
  };
  const int32_t width = r.Width();
  if (vertical)
  {
    for (int32_t y = r.top; y < r.bottom; ++y)
    {
      const uint32_t s = colorAt(y).ToARGB();
      const uint32_t a = s >> 24;
      uint32_t* row = m_target->Row(y) + r.left;
      if (a == 255)
      {
        std::fill_n(row, width, s);
        continue;
      }
      if (a != 0)
      {
        m_row.assign(std::size_t(width), s);
        BlendRowOver(row, m_row.data(), width, 255);
      }
    }
    return;
  }
  m_row.resize(std::size_t(width));
  for (int32_t x = 0; x < width; ++x)
  {
    m_row[std::size_t(x)] = colorAt(r.left + x).ToARGB();
  }
  for (int32_t y = r.top; y < r.bottom; ++y)
  {
    uint32_t* row = m_target->Row(y) + r.left;
    for (int32_t x = 0; x < width; ++x)
    {
      const uint32_t s = m_row[std::size_t(x)];
      const uint32_t a = s >> 24;
      row[x] = a == 255 ? s : (a == 0 ? row[x] : Mix(row[x], s & 0xFFFFFFu, a));
    }
  }
}

// --- anti-aliased shapes -----------------------------------------------------------------------

void MDrawerToMBitmap::FillShape(std::span<const PointF> points, std::span<const int32_t> contourEnds,
                                 MColor color)
{
  if (points.size() < 3 || color.a == 0)
  {
    return;
  }
  double minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
  for (const PointF& p : points)
  {
    if (!Finite(p.x + m_origin.x) || !Finite(p.y + m_origin.y))
    {
      return;
    }
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const double ox = m_origin.x, oy = m_origin.y;
  const MRect clip = EffectiveClip();
  const MRect box{std::max(clip.left, int32_t(std::max(std::floor(minX + ox), -2e9))),
                  std::max(clip.top, int32_t(std::max(std::floor(minY + oy), -2e9))),
                  std::min(clip.right, int32_t(std::min(std::ceil(maxX + ox), 2e9))),
                  std::min(clip.bottom, int32_t(std::min(std::ceil(maxY + oy), 2e9)))};
  if (box.IsEmpty())
  {
    return;
  }
  Rasterizer rasterizer(m_cells, m_spans, box);
  std::size_t begin = 0;
  for (const int32_t endIndex : contourEnds)
  {
    const std::size_t end = std::min(points.size(), std::size_t(std::max(endIndex, 0)));
    for (std::size_t i = begin; i < end; ++i)
    {
      const PointF& a = points[i];
      const PointF& b = points[i + 1 < end ? i + 1 : begin];
      rasterizer.AddEdge(a.x + ox, a.y + oy, b.x + ox, b.y + oy);
    }
    begin = end;
  }
  rasterizer.Composite(*m_target, color);
}

namespace
{
/// Appends points of an arc (angles from 12 o'clock, clockwise) with `segments` chords.
void AppendArc(std::vector<MDrawer::PointF>& points, double cx, double cy, double radius, double from,
               double to, int32_t segments)
{
  // Rotating a unit vector step by step costs a few multiplications per point instead of a sine
  // and a cosine; over 4096 steps the drift stays far below 1e-9 pixel.
  const double step = (to - from) / segments;
  const double cs = std::cos(step), sn = std::sin(step);
  double s = std::sin(from), c = std::cos(from);
  for (int32_t i = 0; i <= segments; ++i)
  {
    points.push_back(MDrawer::PointF{cx + radius * s, cy - radius * c});
    const double next = s * cs + c * sn;
    c = c * cs - s * sn;
    s = next;
  }
}

/// Appends a closed circle as a polygon (clockwise, or anticlockwise with `reverse`).
void AppendCircle(std::vector<MDrawer::PointF>& points, double cx, double cy, double radius, bool reverse)
{
  const int32_t segments = std::max(8, SegmentsFor(radius, 2.0 * std::numbers::pi));
  const double turn = 2.0 * std::numbers::pi;
  AppendArc(points, cx, cy, AreaRadius(radius, segments), reverse ? turn : 0.0, reverse ? 0.0 : turn,
            segments);
  points.pop_back(); // the closing point repeats the first
}

/// Appends a rounded rectangle (clockwise, or anticlockwise with `reverse`).
void AppendRoundRect(std::vector<MDrawer::PointF>& points, double left, double top, double right,
                     double bottom, double radius, bool reverse)
{
  radius = std::clamp(radius, 0.0, 0.5 * std::min(right - left, bottom - top));
  const std::size_t first = points.size();
  const double half = 0.5 * std::numbers::pi;
  if (radius <= 0.0)
  {
    points.insert(points.end(), {{left, top}, {right, top}, {right, bottom}, {left, bottom}});
  }
  else
  {
    const int32_t segments = SegmentsFor(radius, half);
    AppendArc(points, left + radius, top + radius, radius, 3 * half, 4 * half, segments);
    AppendArc(points, right - radius, top + radius, radius, 0, half, segments);
    AppendArc(points, right - radius, bottom - radius, radius, half, 2 * half, segments);
    AppendArc(points, left + radius, bottom - radius, radius, 2 * half, 3 * half, segments);
  }
  if (reverse)
  {
    std::reverse(points.begin() + std::ptrdiff_t(first), points.end());
  }
}
} // namespace

void MDrawerToMBitmap::FillCircle(double cx, double cy, double radius, MColor color)
{
  MHostCallShield::Run("MDrawerToMBitmap::FillCircle", [&] {
    if (!Plausible(cx) || !Plausible(cy) || !(radius > 0.0) || radius > kMaxCoordinate)
    {
      return;
    }
    m_points.clear();
    AppendCircle(m_points, cx, cy, radius, false);
    const int32_t ends[1] = {int32_t(m_points.size())};
    FillShape(m_points, ends, color);
  });
}

void MDrawerToMBitmap::FrameCircle(double cx, double cy, double radius, double thickness, MColor color)
{
  if (!Plausible(cx) || !Plausible(cy) || !(radius > 0.0) || !(thickness > 0.0) || radius > kMaxCoordinate ||
      thickness > kMaxCoordinate)
  {
    return;
  }
  const double outer = radius + 0.5 * thickness;
  const double inner = radius - 0.5 * thickness;
  m_points.clear();
  AppendCircle(m_points, cx, cy, outer, false);
  const int32_t outerEnd = int32_t(m_points.size());
  if (inner > 0.0)
  {
    AppendCircle(m_points, cx, cy, inner, true);
  }
  const int32_t ends[2] = {outerEnd, int32_t(m_points.size())};
  FillShape(m_points, ends, color);
}

void MDrawerToMBitmap::FrameArc(double cx, double cy, double radius, double thickness, double fromAngle,
                                double toAngle, MColor color)
{
  if (!std::isfinite(fromAngle) || !std::isfinite(toAngle))
  {
    return;
  }
  if (toAngle < fromAngle)
  {
    std::swap(fromAngle, toAngle);
  }
  const double sweep = toAngle - fromAngle;
  if (sweep >= 2.0 * std::numbers::pi)
  {
    FrameCircle(cx, cy, radius, thickness, color);
    return;
  }
  if (!Plausible(cx) || !Plausible(cy) || !(radius > 0.0) || !(thickness > 0.0) || radius > kMaxCoordinate ||
      thickness > kMaxCoordinate || sweep <= 0.0)
  {
    return;
  }
  const double outer = radius + 0.5 * thickness;
  const double inner = std::max(0.0, radius - 0.5 * thickness);
  m_points.clear();
  AppendArc(m_points, cx, cy, outer, fromAngle, toAngle, SegmentsFor(outer, sweep));
  if (inner > 0.0)
  {
    AppendArc(m_points, cx, cy, inner, toAngle, fromAngle, SegmentsFor(inner, sweep));
  }
  else
  {
    m_points.push_back(PointF{cx, cy});
  }
  const int32_t ends[1] = {int32_t(m_points.size())};
  FillShape(m_points, ends, color);
}

void MDrawerToMBitmap::FillRoundRectangle(const MRect& rect, double radius, MColor color)
{
  MHostCallShield::Run("MDrawerToMBitmap::FillRoundRectangle", [&] {
    if (rect.IsEmpty() || std::isnan(radius))
    {
      return;
    }
    if (radius < 0.5)
    {
      FillRectangle(rect, color);
      return;
    }
    if (RoundRectBySlices(rect, radius, 0.0, color))
    {
      return;
    }
    m_points.clear();
    AppendRoundRect(m_points, rect.left, rect.top, rect.right, rect.bottom, radius, false);
    const int32_t ends[1] = {int32_t(m_points.size())};
    FillShape(m_points, ends, color);
  });
}

void MDrawerToMBitmap::FrameRoundRectangle(const MRect& rect, double radius, double thickness, MColor color)
{
  if (rect.IsEmpty() || std::isnan(radius) || !(thickness > 0.0) || thickness > kMaxCoordinate)
  {
    return;
  }
  radius = std::max(radius, 0.0);
  if (RoundRectBySlices(rect, radius, thickness, color))
  {
    return;
  }
  const double l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  m_points.clear();
  AppendRoundRect(m_points, l, t, r, b, radius, false);
  const int32_t outerEnd = int32_t(m_points.size());
  if (r - l > 2 * thickness && b - t > 2 * thickness)
  {
    AppendRoundRect(m_points, l + thickness, t + thickness, r - thickness, b - thickness,
                    std::max(0.0, std::min(radius, 0.5 * std::min(r - l, b - t)) - thickness), true);
  }
  const int32_t ends[2] = {outerEnd, int32_t(m_points.size())};
  FillShape(m_points, ends, color);
}

bool MDrawerToMBitmap::RoundRectBySlices(const MRect& rect, double radius, double thickness, MColor color)
{
  const int64_t w = int64_t(rect.right) - rect.left, h = int64_t(rect.bottom) - rect.top;
  const double r = std::min(radius, 0.5 * double(std::min(w, h)));
  if (!(r >= 0.5) || r > kMaxCoordinate || !(thickness >= 0.0) || thickness > r + 1.0 ||
      thickness != std::floor(thickness))
  {
    return false;
  }
  const int32_t cr = int32_t(std::ceil(r));
  const int32_t t = int32_t(thickness);
  if (2 * int64_t(cr) > w || 2 * int64_t(cr) > h || t > cr)
  {
    return false;
  }
  // Corner boxes of cr × cr pixels, anti-aliased; (u, v) run inwards from the rectangle's corner.
  const double quarter = 0.5 * std::numbers::pi;
  const int32_t segments = SegmentsFor(r, quarter);
  const struct
  {
    double x, y, sx, sy;
  } corners[4] = {{double(rect.left), double(rect.top), 1, 1},
                  {double(rect.right), double(rect.top), -1, 1},
                  {double(rect.right), double(rect.bottom), -1, -1},
                  {double(rect.left), double(rect.bottom), 1, -1}};
  for (const auto& corner : corners)
  {
    const auto at = [&](double u, double v) {
      return PointF{corner.x + corner.sx * u, corner.y + corner.sy * v};
    };
    m_points.clear();
    for (int32_t i = 0; i <= segments; ++i)
    {
      const double a = 3 * quarter + quarter * i / segments;
      m_points.push_back(at(r + r * std::sin(a), r - r * std::cos(a)));
    }
    m_points.insert(m_points.end(), {at(cr, 0), at(cr, cr), at(0, cr)});
    const int32_t outerEnd = int32_t(m_points.size());
    if (t > 0)
    {
      // The inner outline shares the outer arc's centre; traced backwards, it cuts the hole.
      const double inner = r - t;
      if (inner > 0.0)
      {
        for (int32_t i = 0; i <= segments; ++i)
        {
          const double a = 3 * quarter + quarter * i / segments;
          m_points.push_back(at(r + inner * std::sin(a), r - inner * std::cos(a)));
        }
      }
      else
      {
        m_points.push_back(at(t, t));
      }
      m_points.insert(m_points.end(), {at(cr, t), at(cr, cr), at(t, cr)});
      std::reverse(m_points.begin() + outerEnd, m_points.end());
    }
    const int32_t ends[2] = {outerEnd, int32_t(m_points.size())};
    FillShape(m_points, ends, color);
  }
  // The straight parts between the corner boxes are whole pixels.
  const int32_t l = rect.left, tp = rect.top, rt = rect.right, b = rect.bottom;
  if (t == 0)
  {
    FillRectangle(MRect{l + cr, tp, rt - cr, tp + cr}, color);
    FillRectangle(MRect{l, tp + cr, rt, b - cr}, color);
    FillRectangle(MRect{l + cr, b - cr, rt - cr, b}, color);
  }
  else
  {
    FillRectangle(MRect{l + cr, tp, rt - cr, tp + t}, color);
    FillRectangle(MRect{l + cr, b - t, rt - cr, b}, color);
    FillRectangle(MRect{l, tp + cr, l + t, b - cr}, color);
    FillRectangle(MRect{rt - t, tp + cr, rt, b - cr}, color);
  }
  return true;
}

void MDrawerToMBitmap::FillPolygon(std::span<const PointF> points, MColor color)
{
  if (points.size() < 3 || points.size() > std::size_t(std::numeric_limits<int32_t>::max()))
  {
    return;
  }
  const int32_t ends[1] = {int32_t(points.size())};
  FillShape(points, ends, color);
}

void MDrawerToMBitmap::Line(double x0, double y0, double x1, double y1, MColor color, double width)
{
  if (!Plausible(x0) || !Plausible(y0) || !Plausible(x1) || !Plausible(y1) || !(width > 0.0) ||
      width > kMaxCoordinate)
  {
    return;
  }
  const double dx = x1 - x0, dy = y1 - y0;
  const double length = std::hypot(dx, dy);
  if (length <= 0.0)
  {
    return;
  }
  const double nx = -dy / length * 0.5 * width, ny = dx / length * 0.5 * width;
  const PointF quad[4] = {{x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}, {x1 - nx, y1 - ny}, {x0 - nx, y0 - ny}};
  const int32_t ends[1] = {4};
  FillShape(quad, ends, color);
}

// --- bitmaps ---------------------------------------------------------------------------------

void MDrawerToMBitmap::BitBlt(int32_t x, int32_t y, const MBitmap& bitmap, const MRect& source, MColorOp op,
                              std::uint8_t alpha)
{
  MHostCallShield::Run("MDrawerToMBitmap::BitBlt", [&] { BlitUnguarded(x, y, bitmap, source, op, alpha); });
}

void MDrawerToMBitmap::BlitUnguarded(int64_t x, int64_t y, const MBitmap& bitmap, const MRect& source,
                                     MColorOp op, std::uint8_t alpha)
{
  if (op == MColorOp::None || alpha == 0)
  {
    return;
  }
  const MRect src = source.Intersect(bitmap.Bounds());
  if (src.IsEmpty())
  {
    return;
  }
  // Destination of `src` in target pixels, clipped.
  x += int64_t(src.left) - source.left + m_origin.x;
  y += int64_t(src.top) - source.top + m_origin.y;
  const MRect clip = EffectiveClip();
  const int64_t left = std::max<int64_t>(x, clip.left),
                right = std::min<int64_t>(x + src.Width(), clip.right);
  const int64_t top = std::max<int64_t>(y, clip.top),
                bottom = std::min<int64_t>(y + src.Height(), clip.bottom);
  if (left >= right || top >= bottom)
  {
    return;
  }
  const int32_t width = int32_t(right - left);
  const int32_t height = int32_t(bottom - top);
  const int32_t sx = int32_t(src.left + (left - x));
  const int32_t sy = int32_t(src.top + (top - y));
  const bool self = &bitmap == m_target;
  // Rows are processed in the order that never reads an already written row of an overlapping
  // self-copy; within a row the source row is copied aside first.
  const bool upwards = self && sy < int32_t(top);
  if (self)
  {
    m_row.resize(std::size_t(width));
  }
  for (int32_t i = 0; i < height; ++i)
  {
    const int32_t row = upwards ? height - 1 - i : i;
    const uint32_t* in = bitmap.Row(sy + row) + sx;
    uint32_t* out = m_target->Row(int32_t(top) + row) + left;
    if (self)
    {
      std::memcpy(m_row.data(), in, std::size_t(width) * sizeof(uint32_t));
      in = m_row.data();
    }
    if (op == MColorOp::Copy && alpha == 255)
    {
      std::memcpy(out, in, std::size_t(width) * sizeof(uint32_t));
    }
    else if (op == MColorOp::Alphablend)
    {
      BlendRowOver(out, in, width, alpha);
    }
    else
    {
      for (int32_t k = 0; k < width; ++k)
      {
        out[k] = CombinePixel(out[k], in[k], op, alpha);
      }
    }
  }
}

void MDrawerToMBitmap::StretchBlt(const MRect& dest, const MBitmap& bitmap, const MRect& source, MColorOp op,
                                  std::uint8_t alpha)
{
  MHostCallShield::Run("MDrawerToMBitmap::StretchBlt",
                       [&] { StretchUnguarded(dest, bitmap, source, op, alpha); });
}

void MDrawerToMBitmap::StretchUnguarded(const MRect& dest, const MBitmap& bitmap, const MRect& source,
                                        MColorOp op, std::uint8_t alpha)
{
  const MRect src = source.Intersect(bitmap.Bounds());
  if (src.IsEmpty() || dest.IsEmpty() || op == MColorOp::None || alpha == 0)
  {
    return;
  }
  if (int64_t(dest.right) - dest.left == src.Width() && int64_t(dest.bottom) - dest.top == src.Height())
  {
    BlitUnguarded(dest.left, dest.top, bitmap, src, op, alpha);
    return;
  }
  const MRect r = ToTargetClipped(dest);
  if (r.IsEmpty())
  {
    return;
  }
  if (&bitmap == m_target)
  {
    // Scaling a surface onto itself: work from a copy of the source part.
    MBitmap copy(src.Width(), src.Height());
    for (int32_t y = 0; y < src.Height(); ++y)
    {
      std::memcpy(copy.Row(y), bitmap.Row(src.top + y) + src.left,
                  std::size_t(src.Width()) * sizeof(uint32_t));
    }
    StretchUnguarded(dest, copy, copy.Bounds(), op, alpha);
    return;
  }
  const double destLeft = double(dest.left) + m_origin.x, destTop = double(dest.top) + m_origin.y;
  const double scaleX = double(src.Width()) / (double(dest.right) - dest.left);
  const double scaleY = double(src.Height()) / (double(dest.bottom) - dest.top);
  // A source whose every row is one colour (a vertical gradient, a plain fill) gives rows of one
  // colour: the filter below then works out the first column only and repeats it.
  bool uniformRows = true;
  for (int32_t y = src.top; y < src.bottom && uniformRows; ++y)
  {
    const uint32_t* row = bitmap.Row(y) + src.left;
    uniformRows = std::all_of(row + 1, row + src.Width(), [&](uint32_t p) { return p == row[0]; });
  }
  // Per destination column: left sample and its 8-bit weight of the right neighbour.
  const int32_t width = uniformRows ? 1 : r.Width();
  m_index.resize(std::size_t(width) * 2);
  m_row.resize(std::size_t(r.Width()));
  for (int32_t i = 0; i < width; ++i)
  {
    const double u = std::clamp((r.left + i - destLeft + 0.5) * scaleX - 0.5, 0.0, double(src.Width() - 1));
    const int32_t u0 = int32_t(u);
    m_index[std::size_t(2 * i)] = src.left + u0;
    m_index[std::size_t(2 * i + 1)] = u0 + 1 < src.Width() ? int32_t(std::lround((u - u0) * 256.0)) : 0;
  }
  // Separable filter: each source row is interpolated horizontally once into a cached row of
  // premultiplied values (blue, green, red times alpha, then alpha, all times 256), and each
  // destination row mixes the two cached rows around it. Enlarging by n costs about one
  // horizontal pass per source row; the vertical mix runs on four lanes at once.
  m_hrows.resize(std::size_t(width) * 8);
  int32_t cached[2] = {-1, -1};
  const auto horizontal = [&](int32_t sourceRow) -> const float* {
    for (int slot = 0; slot < 2; ++slot)
    {
      if (cached[slot] == sourceRow)
      {
        return m_hrows.data() + std::size_t(slot) * std::size_t(width) * 4;
      }
    }
    return nullptr;
  };
  const auto fill = [&](int32_t sourceRow, int keep) {
    const int slot = keep == 0 ? 1 : 0;
    cached[slot] = sourceRow;
    float* h = m_hrows.data() + std::size_t(slot) * std::size_t(width) * 4;
    const uint32_t* in = bitmap.Row(src.top + sourceRow);
    for (int32_t i = 0; i < width; ++i, h += 4)
    {
      const int32_t x0 = m_index[std::size_t(2 * i)];
      const uint32_t fx = uint32_t(m_index[std::size_t(2 * i + 1)]);
      const uint32_t p0 = in[x0], p1 = in[fx != 0 ? x0 + 1 : x0];
      const uint32_t w0 = (256 - fx) * (p0 >> 24), w1 = fx * (p1 >> 24);
      h[0] = float(Channel(p0, 0) * w0 + Channel(p1, 0) * w1);
      h[1] = float(Channel(p0, 8) * w0 + Channel(p1, 8) * w1);
      h[2] = float(Channel(p0, 16) * w0 + Channel(p1, 16) * w1);
      h[3] = float(w0 + w1);
    }
  };
  for (int32_t y = r.top; y < r.bottom; ++y)
  {
    const double v = std::clamp((y - destTop + 0.5) * scaleY - 0.5, 0.0, double(src.Height() - 1));
    const int32_t v0 = int32_t(v);
    const int32_t v1 = std::min(v0 + 1, src.Height() - 1);
    const float fy = v1 != v0 ? float(std::lround((v - v0) * 256.0)) / 256.0f : 0.0f;
    if (horizontal(v0) == nullptr)
    {
      fill(v0, cached[0] == v1 ? 0 : (cached[1] == v1 ? 1 : -1));
    }
    if (horizontal(v1) == nullptr)
    {
      fill(v1, cached[0] == v0 ? 0 : 1);
    }
    const float* top = horizontal(v0);
    const float* bottom = horizontal(v1);
    uint32_t* out = m_target->Row(y) + r.left;
    uint32_t* samples = m_row.data();
    const float iy = 1.0f - fy;
    for (int32_t i = 0; i < width; ++i, top += 4, bottom += 4)
    {
      // Alpha in units of 1/256; the colours divided by it come out straight.
      const float a = top[3] * iy + bottom[3] * fy;
      if (a < 128.0f)
      {
        samples[i] = 0; // transparent (Copy writes it, the others skip it)
        continue;
      }
#if defined(__SSE2__)
      // Opaque samples (the bulk of most images) need no division.
      const float inverse = a == 65280.0f ? 1.0f / 65280.0f : 1.0f / a;
      const __m128i sum =
          _mm_cvtps_epi32(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(top), _mm_set1_ps(iy)),
                                                _mm_mul_ps(_mm_loadu_ps(bottom), _mm_set1_ps(fy))),
                                     _mm_setr_ps(inverse, inverse, inverse, 1.0f / 256.0f)));
      const __m128i words = _mm_packs_epi32(sum, sum);
      samples[i] = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
#else
      const auto channel = [&](int k) {
        return std::min(255u, uint32_t(std::lround((top[k] * iy + bottom[k] * fy) / (k == 3 ? 256.0f : a))));
      };
      samples[i] = Pack(channel(3), channel(2), channel(1), channel(0));
#endif
    }
    if (uniformRows)
    {
      std::fill(samples + 1, samples + r.Width(), samples[0]);
    }
    if (op == MColorOp::Alphablend)
    {
      BlendRowOver(out, samples, r.Width(), alpha);
    }
    else if (op == MColorOp::Copy && alpha == 255)
    {
      std::copy_n(samples, r.Width(), out);
    }
    else
    {
      for (int32_t i = 0; i < r.Width(); ++i)
      {
        out[i] = CombinePixel(out[i], samples[i], op, alpha);
      }
    }
  }
}

void MDrawerToMBitmap::DrawBordered(const MRect& dest, const MBitmap& bitmap, int32_t borderX,
                                    int32_t borderY, MBitmapFill fill, MColorOp op, std::uint8_t alpha)
{
  if (dest.IsEmpty() || bitmap.IsEmpty())
  {
    return;
  }
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  const int32_t bx = std::clamp(borderX, 0, w / 2), by = std::clamp(borderY, 0, h / 2);
  // A destination smaller than both borders squeezes them.
  const int32_t dbx = int32_t(std::min<int64_t>(bx, (int64_t(dest.right) - dest.left) / 2));
  const int32_t dby = int32_t(std::min<int64_t>(by, (int64_t(dest.bottom) - dest.top) / 2));
  const int32_t srcX[4] = {0, bx, w - bx, w};
  const int32_t srcY[4] = {0, by, h - by, h};
  const int32_t dstX[4] = {dest.left, dest.left + dbx, dest.right - dbx, dest.right};
  const int32_t dstY[4] = {dest.top, dest.top + dby, dest.bottom - dby, dest.bottom};
  const bool tileX = fill == MBitmapFill::HPattern || fill == MBitmapFill::Pattern;
  const bool tileY = fill == MBitmapFill::VPattern || fill == MBitmapFill::Pattern;
  for (int j = 0; j < 3; ++j)
  {
    for (int i = 0; i < 3; ++i)
    {
      const MRect s{srcX[i], srcY[j], srcX[i + 1], srcY[j + 1]};
      const MRect d{dstX[i], dstY[j], dstX[i + 1], dstY[j + 1]};
      if (s.IsEmpty() || d.IsEmpty())
      {
        continue;
      }
      const bool tx = tileX && i == 1, ty = tileY && j == 1;
      if (!tx && !ty)
      {
        StretchBlt(d, bitmap, s, op, alpha);
        continue;
      }
      // Tiles of the source size along the tiled axes, visited only where the clip shows them.
      const MRect visible = GetClip().Intersect(d);
      if (visible.IsEmpty())
      {
        continue;
      }
      // Along an axis that is not tiled the one "tile" is the whole cell.
      const int64_t stepX = tx ? s.Width() : int64_t(d.right) - d.left;
      const int64_t stepY = ty ? s.Height() : int64_t(d.bottom) - d.top;
      const MRect saved = IntersectClip(d);
      const int64_t firstX = d.left + (int64_t(visible.left) - d.left) / stepX * stepX;
      const int64_t firstY = d.top + (int64_t(visible.top) - d.top) / stepY * stepY;
      for (int64_t ty0 = firstY; ty0 < visible.bottom; ty0 += stepY)
      {
        for (int64_t tx0 = firstX; tx0 < visible.right; tx0 += stepX)
        {
          const MRect tile{int32_t(tx0), int32_t(ty0), ClampToInt32(tx0 + stepX), ClampToInt32(ty0 + stepY)};
          StretchBlt(tile, bitmap, s, op, alpha);
        }
      }
      RestoreClip(saved);
    }
  }
}

// --- text --------------------------------------------------------------------------------------

void MDrawerToMBitmap::AlignedTextOut(const MRect& rect, const MString& text, const MFont& font, MColor color,
                                      MAlignment alignment)
{
  MHostCallShield::Run("MDrawerToMBitmap::AlignedTextOut",
                       [&] { TextUnguarded(rect, text, font, color, alignment); });
}

void MDrawerToMBitmap::TextUnguarded(const MRect& rect, const MString& text, const MFont& font, MColor color,
                                     MAlignment alignment)
{
  const MRect clip = ToTargetClipped(rect);
  if (clip.IsEmpty() || text.IsEmpty() || color.a == 0)
  {
    return;
  }
  const int32_t width = font.Layout(text, m_glyphs);
  const int64_t left = int64_t(rect.left) + m_origin.x, top = int64_t(rect.top) + m_origin.y;
  const int64_t rectWidth = int64_t(rect.right) - rect.left, rectHeight = int64_t(rect.bottom) - rect.top;
  int64_t x = left;
  switch (alignment & MAlign::HMask)
  {
  case MAlign::Left:
    break;
  case MAlign::Right:
    x = left + rectWidth - width;
    break;
  default:
    x = left + (rectWidth - width) / 2;
    break;
  }
  int64_t y = top;
  switch (alignment & MAlign::VMask)
  {
  case MAlign::Top:
    break;
  case MAlign::Bottom:
    y = top + rectHeight - font.LineHeight();
    break;
  default:
    y = top + (rectHeight - font.LineHeight()) / 2;
    break;
  }
  const int64_t baseline = y + font.Ascent();
  const uint32_t rgb = color.ToARGB() & 0xFFFFFFu;
  for (const MFont::PlacedGlyph& placed : m_glyphs)
  {
    const MFont::Glyph& glyph = *placed.glyph;
    const int64_t gx = x + placed.x + glyph.left, gy = baseline - glyph.top;
    const int64_t x0 = std::max<int64_t>(gx, clip.left), x1 = std::min<int64_t>(gx + glyph.width, clip.right);
    const int64_t y0 = std::max<int64_t>(gy, clip.top),
                  y1 = std::min<int64_t>(gy + glyph.height, clip.bottom);
    for (int64_t py = y0; py < y1; ++py)
    {
      const std::uint8_t* coverage = glyph.coverage.data() + (py - gy) * glyph.width;
      uint32_t* out = m_target->Row(int32_t(py));
      for (int64_t px = x0; px < x1; ++px)
      {
        const uint32_t c = coverage[px - gx];
        if (c == 0)
        {
          continue;
        }
        const uint32_t w = color.a == 255 ? c : Div255(c * color.a);
        out[px] = w == 255 ? (0xFF000000u | rgb) : (w == 0 ? out[px] : Mix(out[px], rgb, w));
      }
    }
  }
}

MSize MDrawerToMBitmap::GetTextExtent(const MString& text, const MFont& font)
{
  return MSize{font.TextWidth(text), font.LineHeight()};
}

void MDrawerToMBitmap::FillMask(int32_t x, int32_t y, const MAlphaMask& mask, MColor color)
{
  const MRect clip = EffectiveClip();
  const int64_t gx = int64_t(x) + m_origin.x, gy = int64_t(y) + m_origin.y;
  const int64_t x0 = std::max<int64_t>(gx, clip.left), x1 = std::min<int64_t>(gx + mask.Width(), clip.right);
  const int64_t y0 = std::max<int64_t>(gy, clip.top), y1 = std::min<int64_t>(gy + mask.Height(), clip.bottom);
  const uint32_t rgb = color.ToARGB() & 0xFFFFFFu;
  for (int64_t py = y0; py < y1; ++py)
  {
    const std::uint8_t* values = mask.Row(int32_t(py - gy));
    uint32_t* out = m_target->Row(int32_t(py));
    for (int64_t px = x0; px < x1; ++px)
    {
      const uint32_t w = Div255(uint32_t(values[px - gx]) * color.a);
      out[px] = w == 255 ? (0xFF000000u | rgb) : (w == 0 ? out[px] : Mix(out[px], rgb, w));
    }
  }
}
