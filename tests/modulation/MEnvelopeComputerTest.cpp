// Building the item list (ends, steps, smooth slopes, rounding, silence), reading it through
// the cursor, rejecting bad envelopes, and storing an envelope.

#include "modulation/MEnvelopeComputer.h"

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"

#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace
{
using Point = MEnvelope::ControlPoint;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Point At(double x, double y, int shape = MEnvelope::kShapeMode1, double curvature = 0.0,
         double rounding = 0.0)
{
  Point p;
  p.x = x;
  p.y = y;
  p.shape = shape;
  p.curvature = curvature;
  p.leftRounding = p.rightRounding = rounding;
  return p;
}

std::unique_ptr<MEnvelopeComputer> Built(const std::vector<Point>& points)
{
  MEnvelope envelope;
  envelope.SetRange(-2.0, 6.0);
  envelope.SetPoints(points);
  auto computer = std::make_unique<MEnvelopeComputer>();
  computer->Build(envelope);
  return computer;
}

// Hermite cubic from (x0, y0) with slope m0 to (x1, y1) with slope m1, in its basis form.
double Hermite(double x0, double y0, double m0, double x1, double y1, double m1, double x)
{
  const double h = x1 - x0, t = (x - x0) / h;
  return (2 * t * t * t - 3 * t * t + 1) * y0 + (t * t * t - 2 * t * t + t) * h * m0 +
         (-2 * t * t * t + 3 * t * t) * y1 + (t * t * t - t * t) * h * m1;
}

struct Probe
{
  const char* what;
  std::vector<Point> points;
  double x;
  double expected;
};

TEST(MEnvelopeComputer, BuildsTheCurveTheControlPointsDescribe)
{
  const auto line = MEnvelope::kShapeMode1;
  const std::vector<Point> step = {At(0, 0), At(1, 0), At(1, 4), At(2, 4)};
  const std::vector<Point> smooth1 = {At(0, 0), At(1, 1, MEnvelope::kShapeSmooth1),
                                      At(2, 3, MEnvelope::kShapeSmooth1), At(3, 2), At(4, 0)};
  const std::vector<Point> smooth2 = {At(0, 0, MEnvelope::kShapeSmooth2), At(1, 2, MEnvelope::kShapeSmooth2),
                                      At(2, 1), At(3, 3)};
  const std::vector<Point> corner = {At(0, 0), At(2, 2, line, 0, 1.0), At(4, 0)};
  Point cubic = At(2, 2, line, 0, 1.0);
  cubic.roundingMode = MEnvelope::kRoundingCubic;
  const Probe probes[] = {
      {"no point: middle of the range", {}, -1e9, 2.0},
      {"no point: middle of the range", {}, 1e9, 2.0},
      {"one point everywhere", {At(3, 0.7)}, -1e9, 0.7},
      {"one point everywhere", {At(3, 0.7)}, 1e9, 0.7},
      {"before the first point", {At(1, 2), At(2, 5)}, 0.0, 2.0},
      {"between", {At(1, 2), At(2, 5)}, 1.5, 3.5},
      {"after the last point", {At(1, 2), At(2, 5)}, 7.0, 5.0},
      {"vertical step: left of it", step, 1.0 - 1e-12, 0.0},
      {"vertical step: at it", step, 1.0, 4.0},
      {"rise below 1e-20 is constant", {At(0, 1, MEnvelope::kShapeMode2, 0.8), At(1, 1 + 1e-21)}, 0.5, 1.0},
      {"run of 1e-8 is constant",
       {At(0, 0), At(1, 0, MEnvelope::kShapeSines), At(1 + 5e-9, 3), At(2, 3)},
       1 + 2e-9,
       0.0},
      {"smooth 1 after a line", smooth1, 1.5, Hermite(1, 1, 1, 2, 3, 0, 1.5)},
      {"smooth 1 before a line", smooth1, 2.5, Hermite(2, 3, 0, 3, 2, -2, 2.5)},
      {"smooth 2 at the first point", smooth2, 0.5, Hermite(0, 0, 0, 1, 2, 0.5, 0.5)},
      {"smooth 2 between", smooth2, 1.5, Hermite(1, 2, 0.5, 2, 1, 0, 1.5)},
      {"rounded corner: window edge", corner, 1.0, 1.0},
      {"rounded corner: Bezier through (2, 2)", corner, 2.0, 1.5},
      {"rounded corner: outside the window", corner, 3.5, 0.5},
      {"cubic corner", {At(0, 0), cubic, At(4, 0)}, 1.5, Hermite(1, 1, 1, 3, 1, -1, 1.5)},
      {"first point's window mirrors the next", {At(0, 0, line, 0, 1.0), At(2, 2)}, 0.0, 0.25},
      {"last point's window mirrors the previous", {At(0, 0), At(2, 2, line, 0, 1.0)}, 2.0, 1.75},
  };
  for (const Probe& probe : probes)
  {
    auto computer = Built(probe.points);
    EXPECT_NEAR(computer->ValueAt(probe.x), probe.expected, 1e-6) << probe.what;
    EXPECT_NEAR(computer->Value(probe.x), probe.expected, 1e-6) << probe.what;
  }
}

TEST(MEnvelopeComputer, RoundingWindowsMeetWithoutOverlapTheCurveStaysContinuousAndSilenceStartsAtZero)
{
  Point symmetric = At(1, 1, MEnvelope::kShapeMode1, 0.0, 1.0);
  symmetric.flags = MEnvelope::kFlagSymmetricWindow;
  const std::vector<std::vector<Point>> cases = {
      {At(0, 0, 0, 0, 1), At(1, 1, 0, 0, 1), At(2, 0, 0, 0, 1), At(3, 1, 0, 0, 1)},
      {At(0, 0, 0, 0.8, 5.0), At(1, 1, 1, -0.5, -3.0), At(2, 0, 3, 0.9, 1.0), At(3, 1)},
      {At(0, 0), symmetric, At(4, 0)},
  };
  for (const auto& points : cases)
  {
    auto computer = Built(points);
    for (int i = 1; i < computer->GetItemCount(); ++i)
      EXPECT_GE(computer->GetItem(i)->End(), computer->GetItem(i - 1)->End());
    for (double x = -0.5; x < 3.5; x += 0.125)
      EXPECT_NEAR(computer->ValueAt(x - 1e-9), computer->ValueAt(x), 1e-6) << "jump at " << x;
  }
  // The symmetric window of the third case is half the shorter distance: the line from (1, 1)
  // to (4, 0) is untouched from 1.5 on.
  EXPECT_NEAR(Built(cases[2])->ValueAt(1.6), 1.0 - 0.6 / 3.0, 1e-12);

  // Silence starts where the curve stays zero.
  const struct
  {
    std::vector<Point> points;
    double silenceStart;
  } silences[] = {
      {{At(0, 1), At(1, 1)}, MEnvelopeComputer::kForever},
      {{At(0, 0)}, MEnvelopeComputer::kForever},
      {{At(0, 1), At(1, 0), At(2, 0)}, 1.0},
      {{At(0, 1), At(1, 1), At(1, 0), At(2, 0)}, 1.0},
      // The rounding item at (1, 0) moves it to 1.25 ...
      {{At(0, 1), At(1, 0, 0, 0, 0.5), At(2, 0)}, 1.25},
      // ... and past the last point, whose window mirrors the previous half distance.
      {{At(0, 1), At(3, 0, 0, 0, 1.0)}, 4.5},
      // A smooth segment between two zeros still moves: its slope at 0 is 1.
      {{At(-1, -2), At(0, 0, MEnvelope::kShapeSmooth2), At(1, 0), At(2, 0)}, 1.0},
  };
  for (const auto& test : silences)
  {
    auto computer = Built(test.points);
    EXPECT_EQ(computer->GetSilenceStart(), test.silenceStart);
    if (test.silenceStart < MEnvelopeComputer::kForever)
    {
      EXPECT_NE(computer->ValueAt(test.silenceStart - 0.2), 0.0);
      for (double x = test.silenceStart; x < 5.0; x += 0.0625)
        EXPECT_EQ(computer->ValueAt(x), 0.0) << x;
    }
  }
}

TEST(MEnvelopeComputer, CursorMovesForwardOnlyAndNeverPastTheLastItem)
{
  auto computer = Built({At(0, 0, 1, 0.5), At(1, 1, 3, 0.2, 0.5), At(2, 0, 7, 0.7), At(3, 1)});
  int cursor = 0;
  for (double x = -1.0; x < 4.0; x += 0.01)
  {
    EXPECT_EQ(computer->Value(x), computer->ValueAt(x)) << x;
    EXPECT_GE(computer->GetCursor(), cursor);
    cursor = computer->GetCursor();
  }
  // Positions that are not numbers or infinite walk no run out of range (UBSan watches the
  // run arithmetic).
  std::vector<float> odd(40);
  computer->ResetCursor();
  computer->FillFloats(odd.data(), kNaN, 0.5, 20);
  computer->FillFloats(odd.data() + 20, -kInf, 1.0, 20);
  EXPECT_LT(computer->GetCursor(), computer->GetItemCount());
  EXPECT_EQ(odd[39], 0.0f) << "minus infinity holds the first value";
  for (const double x : {kInf, kNaN, 1e308})
  {
    const double value = computer->Value(x);
    EXPECT_LT(computer->GetCursor(), computer->GetItemCount());
    EXPECT_TRUE(std::isnan(x) || value == 1.0);
  }
  // Fills split the positions among the items exactly as single readings do, item ends
  // included (exact binary positions), and falling positions read the same curve by search.
  std::vector<double> fill(321);
  computer->ResetCursor();
  computer->FillDoubles(fill.data(), -1.0, 1.0 / 64.0, 321);
  for (int i = 0; i < 321; ++i)
    EXPECT_EQ(fill[i], computer->ValueAt(-1.0 + i / 64.0)) << i;
  computer->FillDoubles(fill.data(), 3.5, -0.1, 50);
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(fill[i], computer->ValueAt(3.5 - 0.1 * i));
}

TEST(MEnvelope, RejectsBadPointsAndBadStoredEnvelopesAndReadsGoodOnesBackBitForBit)
{
  const auto with = [](auto change) { return [change](MEnvelope& e) { e.SetPoints({change(At(0, 0))}); }; };
  const auto stored = [](std::function<void(MXmlItem&)> edit) {
    return [edit](MEnvelope& e) {
      MXmlItem item("Envelope");
      MEnvelope source;
      source.SetPoints({At(0, 0), At(1, 1)});
      source.Save(item);
      edit(item);
      e.Load(item);
    };
  };
  const struct
  {
    std::function<void(MEnvelope&)> change;
    const char* message;
  } cases[] = {
      {with([](Point p) { return p.shape = 12, p; }), "Invalid control point type."},
      {with([](Point p) { return p.shape = -1, p; }), "Invalid control point type."},
      {with([](Point p) { return p.roundingMode = 2, p; }), "Invalid envelope rounding mode (2)."},
      {with([](Point p) { return p.x = kNaN, p; }), "Envelope point position is not a finite number."},
      {with([](Point p) { return p.y = -kInf, p; }), "Envelope point value is not a finite number."},
      {with([](Point p) { return p.curvature = kNaN, p; }),
       "Envelope point curvature is not a finite number."},
      {with([](Point p) { return p.horizontalCurvature = kInf, p; }), "horizontal curvature is not a finite"},
      {with([](Point p) { return p.rightRounding = kNaN, p; }), "right rounding is not a finite number"},
      {with([](Point p) { return p.x = 1e200, p; }), "Envelope point position (1e+200) is out of range."},
      {[](MEnvelope& e) {
         e.SetPoints({At(1, 0), At(0, 0)});
       },
       "not sorted by position (point 1)"},
      {[](MEnvelope& e) {
         e.SetPoints({At(1, 0), At(1, 0)});
       },
       "Envelope point 1 duplicates its neighbour."},
      {[](MEnvelope& e) {
         e.SetPoints({At(1, 0), At(1, 1), At(1, 2)});
       },
       "point 2 duplicates"},
      {[](MEnvelope& e) { e.SetPoints(std::vector<Point>(65537)); }, "at most 65536 points, not 65537"},
      {[](MEnvelope& e) { e.SetPoint(5, At(9, 0)); }, "Envelope point index 5 out of range."},
      {[](MEnvelope& e) { e.AddPoint(At(kNaN, 0)); }, "not a finite number"},
      {[](MEnvelope& e) { e.SetRange(kNaN, 1); }, "range minimum is not a finite number"},
      {stored([](MXmlItem& i) { i.SetAttribute("Count", "2000000000"); }),
       "declares 2000000000 points; at most 65536"},
      {stored([](MXmlItem& i) { i.SetAttribute("Count", "-1"); }), "declares -1 points"},
      {stored([](MXmlItem& i) { i.SetAttribute("Count", "3"); }), "declares 3 points but holds 2"},
      {stored([](MXmlItem& i) { i.SetAttribute("Count", "two"); }), "Count is not an integer"},
      {stored([](MXmlItem& i) { i.RemoveAttribute("Count"), i.AddSubItem("Point").SetAttribute("X", "-1"); }),
       "not sorted by position (point 2)"},
      {stored([](MXmlItem& i) { i.GetSubItemAt(1).SetAttribute("X", "nan"); }), "X is not a number: \"nan\""},
      {stored([](MXmlItem& i) { i.GetSubItemAt(1).SetAttribute("Y", "1e999"); }), "Y is not a number"},
      {stored([](MXmlItem& i) { i.GetSubItemAt(1).SetAttribute("Curvature", "0.5x"); }),
       "Curvature is not a number"},
      {stored([](MXmlItem& i) { i.GetSubItemAt(0).SetAttribute("Shape", "12"); }),
       "Invalid control point type."},
      {stored([](MXmlItem& i) { i.GetSubItemAt(0).SetAttribute("X", "2"); }), "not sorted"},
  };
  for (const auto& test : cases)
  {
    MEnvelope envelope;
    envelope.SetPoints({At(0.5, 7)});
    const std::string message = MessageOf([&] { test.change(envelope); });
    EXPECT_NE(message.find(test.message), std::string::npos) << message;
    ASSERT_EQ(envelope.GetPointCount(), 1) << test.message;
    EXPECT_EQ(envelope.GetPoint(0).y, 7.0) << test.message;
  }

  // A good stored envelope reads back bit for bit.
  MEnvelope envelope;
  envelope.SetRange(-0.1, 1.0 / 3.0);
  envelope.SetPositions(2.0 / 7.0, -1e-300);
  Point a = At(0.1, 1.0 / 3.0, MEnvelope::kShapeFree1, -0.7, 0.30000000000000004);
  a.flags = MEnvelope::kFlagSymmetricWindow | MEnvelope::kFlagLeftRoundingBothSides | (1ull << 63);
  a.horizontalCurvature = std::nextafter(0.5, 1.0);
  a.roundingMode = MEnvelope::kRoundingCubic;
  envelope.SetPoints({a, At(0.1, -1e100), At(1e100, 5e-324, MEnvelope::kShapeSines, 99.5)});

  MXmlItem item("Envelope");
  envelope.Save(item);
  MMemoryStream stream;
  item.Write(stream, true, "utf-8");
  stream.Seek(0, MStream::kSeekFromStart);
  MXmlItem read;
  read.Read(stream);
  MEnvelope back;
  back.Load(read);

  EXPECT_EQ(back.GetMinimum(), envelope.GetMinimum());
  EXPECT_EQ(back.GetMaximum(), envelope.GetMaximum());
  EXPECT_EQ(back.GetStartPosition(), envelope.GetStartPosition());
  EXPECT_EQ(back.GetSecondPosition(), envelope.GetSecondPosition());
  ASSERT_EQ(back.GetPointCount(), 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::memcmp(&back.GetPoint(i), &envelope.GetPoint(i), sizeof(Point)), 0) << i;
}

} // namespace
