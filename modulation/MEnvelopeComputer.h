#pragma once
// MEnvelopeComputer: an envelope turned into a sorted list of segment evaluators.
//
// Build turns the control points of an MEnvelope into items, each valid from the previous
// item's end up to (not including) its own end; the last item ends at 1e308. Before the first
// point the curve holds the first value, after the last point the last value, and an envelope
// without points is the middle of its value range. Corners whose point asks for rounding get a
// rounding item (a quadratic Bezier or a Hermite cubic) between the shortened neighbours.
//
// Reading: Value and the Fill operations walk a cursor forward through the items, one
// comparison per position plus the evaluator; the cursor never moves backwards, so a reader
// that goes back calls ResetCursor (or uses ValueAt, which searches). Value, ValueAt, the
// derivatives and the fills are noexcept and allocate nothing, so the audio thread may call
// them on a built computer; Build allocates and throws, and runs on the thread that owns the
// envelope. One computer is used by one thread at a time.
//
// Accuracy: items evaluate in the distance from their segment's start, so a curve far from
// position 0 is as exact as one near it. The SSE2 twins of the polynomial items give the same
// results as the portable items bit for bit (same operations in the same order, no fused
// multiply-add); tests/modulation checks agreement within 4 units in the last place.

#include "base/MObject.h"
#include "modulation/MEnvelope.h"

#include <cstdint>
#include <memory>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TONVERA_ENVELOPE_SSE2 1
#else
#define TONVERA_ENVELOPE_SSE2 0
#endif

class MEnvelopeComputer : public MObject
{
public:
  /// The end of the last item: "never".
  static constexpr double kForever = 1e308;

  /// One segment evaluator. Value is meant for positions inside the item's range; outside it
  /// the closed form simply continues (finite wherever the closed form is).
  class Item
  {
  public:
    explicit Item(double end) : m_end(end) {}
    virtual ~Item() = default;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    /// destination[i] = Value(first + i * step) for i in 0..count - 1.
    virtual void FillDoubles(double* destination, double first, double step, int count) const noexcept;
    virtual void FillFloats(float* destination, double first, double step, int count) const noexcept;
    virtual double Value(double x) const noexcept = 0;
    /// Difference quotients over 1e-10 (over |x| 2^-40 once |x| exceeds 110, where 1e-10 would
    /// vanish in the rounding of x), unless the class gives an exact derivative.
    virtual double LeftDerivative(double x) const noexcept;
    virtual double RightDerivative(double x) const noexcept;

    double End() const { return m_end; }
    void SetEnd(double end) { m_end = end; }

  private:
    double m_end;
  };

  // The evaluators (modulation/MEnvelopeItems.h).
  class ItemConstant;
  class ItemLinear;
  class ItemQuadratic;
  class ItemFourthOrder;
  class ItemExponencial;
  class ItemBezier;
  class ItemDouble;
  class ItemCubic;
  class ItemPeriodic;
  class ItemStairs;
  class ItemPulses;
  class ItemSaw;
  class ItemTriangles;
  class ItemSines;
  class ItemQuadraticSSE;
  class ItemFourthOrderSSE;
  class ItemBezierSSE;
  class ItemCubicSSE;

  /// Which evaluators Build takes for the polynomial shapes.
  enum class Kernels
  {
    /// The SSE2 twins when the processor reports SSE2, else the portable items.
    kProcessorChoice,
    /// Always the portable items (tests and benchmarks compare the two).
    kPortable,
  };

  /// True when kProcessorChoice takes the SSE2 twins on this build and processor.
  static bool HasSSE2Twins();

  MEnvelopeComputer();
  ~MEnvelopeComputer() override;
  MEnvelopeComputer(const MEnvelopeComputer&) = delete;
  MEnvelopeComputer& operator=(const MEnvelopeComputer&) = delete;

  /// Rebuilds the items from `envelope`; cursor 0, current position = the envelope's start
  /// position. Checks the points first (MEnvelope::CheckPoints) and throws MException, leaving
  /// the previous items in place, when they fail ("Invalid control point type." for a shape
  /// outside the table). Allocates; never on the audio thread.
  void Build(const MEnvelope& envelope, Kernels kernels = Kernels::kProcessorChoice);

  /// The curve at `x`, moving the cursor forward as needed. A position before the cursor's item
  /// reads that item's closed form; ResetCursor first to go back.
  double Value(double x) noexcept;
  /// The curve at `x` by binary search; the cursor stays.
  double ValueAt(double x) const noexcept;
  /// destination[i] = the curve at first + i * step (i in 0..count - 1), through the cursor when
  /// step >= 0, by search otherwise. A null destination or a count below 1 does nothing.
  void FillDoubles(double* destination, double first, double step, int count) noexcept;
  void FillFloats(float* destination, double first, double step, int count) noexcept;
  /// Derivatives of the item that holds x on that side (at an item's end the left derivative is
  /// that item's, the right one the next item's).
  double LeftDerivative(double x) const noexcept;
  double RightDerivative(double x) const noexcept;

  void ResetCursor() noexcept { m_cursor = 0; }
  int GetCursor() const { return m_cursor; }
  int GetItemCount() const { return static_cast<int>(m_items.size()); }
  /// The item at `index` (0 .. GetItemCount() - 1); nullptr outside.
  const Item* GetItem(int index) const;

  /// The position from which the curve stays 0 to the end; kForever when it never does.
  double GetSilenceStart() const { return m_silenceStart; }
  double GetStartPosition() const { return m_startPosition; }
  double GetSecondPosition() const { return m_secondPosition; }
  double GetCurrentPosition() const { return m_currentPosition; }
  void SetCurrentPosition(double position) { m_currentPosition = position; }

private:
  int FindItem(double x, bool includeEnd) const noexcept;
  template <typename T>
  void Fill(T* destination, double first, double step, int count) noexcept;

  std::vector<std::unique_ptr<Item>> m_items;
  double m_currentPosition = 0.0;
  int m_cursor = 0;
  double m_startPosition = 0.0;
  double m_secondPosition = 0.0;
  double m_silenceStart = kForever;
};
