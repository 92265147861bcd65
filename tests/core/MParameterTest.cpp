// Typed parameters over descriptors: value mappings, texts, parsing, notifications and the
// descriptor-level randomisation.

#include "core/parameters/ParameterBase.h"
#include "core/parameters/ParameterBaseCustom.h"
#include "core/parameters/ParameterBoolT.h"
#include "core/parameters/ParameterEnumT.h"
#include "core/parameters/ParameterFloatT.h"
#include "core/parameters/ParameterGroupT.h"
#include "core/parameters/ParameterIntT.h"
#include "core/plugin/MModuleRandom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

namespace
{
const char* const kModes[] = {"Chromatic", "Major", "Minor", "Custom"};

// A host-visible descriptor of `type`.
MParameterInfo Info(std::int32_t type)
{
  MParameterInfo info;
  info.type = type;
  info.flags = MParameterInfo::kHostVisible;
  return info;
}

MParameterInfo Float(double minimum, double maximum, std::int32_t curve = MParameterInfo::kLinear,
                     double defaultValue = 0.0)
{
  MParameterInfo info = Info(MParameterInfo::kFloat);
  info.floating.minimum = minimum;
  info.floating.maximum = maximum;
  info.floating.defaultValue = defaultValue;
  info.curve = curve;
  return info;
}

MParameterInfo Integer(std::int32_t minimum, std::int32_t maximum)
{
  MParameterInfo info = Info(MParameterInfo::kInteger);
  info.integer.minimum = minimum;
  info.integer.maximum = maximum;
  return info;
}

MParameterInfo Enumeration()
{
  MParameterInfo info = Info(MParameterInfo::kEnumeration);
  info.enumeration.names = kModes;
  info.enumeration.count = 4;
  return info;
}

template <template <class> class Typed>
std::unique_ptr<ParameterBase> Wrap(MParameterInfo& info)
{
  auto parameter = std::make_unique<Typed<ParameterBase>>();
  parameter->m_descriptor = &info;
  return parameter;
}

struct RecordingOwner : MParameterOwner
{
  void OnParameterChanged(std::int32_t effectIndex) override { changed.push_back(effectIndex); }
  void SetParametersChanged() override { ++changedBits; }
  std::vector<std::int32_t> changed;
  int changedBits = 0;
};

// A formatter that shows and reads percent of the plain value: "50.0%".
void PercentFormatter(MString& result, MParameterInfo& info, const MString& input)
{
  if (input.IsEmpty())
    result = MString::FromDouble(info.floating.value * 100.0, 1) + MString("%");
  else
    info.floating.value = input.ToDouble() / 100.0;
}
} // namespace

// ---- mapping edge cases --------------------------------------------------------------------------

TEST(ParameterFloatT, MapsLinearCurvedAndDegenerateRangesAsSpecifiedAndClampsHostValues)
{
  MParameterInfo linear = Float(-12.0, 12.0);
  auto p = Wrap<ParameterFloatT>(linear);
  p->SetValue(0, 0.5, true);
  EXPECT_DOUBLE_EQ(linear.floating.value, 0.0);
  linear.floating.value = -6.0;
  EXPECT_DOUBLE_EQ(p->GetValue(0), 0.25);
  EXPECT_EQ(p->GetValueNameFrom01(0, 0.75).ToUTF8(), "6.000000");
  // Host values outside 0..1 are clamped; not-a-number is ignored.
  p->SetValue(0, 3.0, true);
  EXPECT_DOUBLE_EQ(linear.floating.value, 12.0);
  p->SetValue(0, std::nan(""), true);
  EXPECT_DOUBLE_EQ(linear.floating.value, 12.0);

  MParameterInfo quadratic = Float(0.0, 1.0, MParameterInfo::kQuadratic, 0.25);
  auto q = Wrap<ParameterFloatT>(quadratic);
  q->SetValue(0, 0.5, true);
  EXPECT_DOUBLE_EQ(quadratic.floating.value, 0.25);
  EXPECT_DOUBLE_EQ(q->GetValue(0), 0.5);
  EXPECT_DOUBLE_EQ(q->GetDefaultValue(0), 0.25) << "the default is linear in the plain range";

  // A degenerate range answers zero instead of infinity, for floats and enumerations.
  MParameterInfo degenerate = Float(3.0, 3.0);
  degenerate.floating.value = 3.0;
  EXPECT_DOUBLE_EQ(Wrap<ParameterFloatT>(degenerate)->GetValue(0), 0.0);
  MParameterInfo empty = Enumeration();
  empty.enumeration.count = 1;
  EXPECT_DOUBLE_EQ(Wrap<ParameterEnumT>(empty)->GetValue(0), 0.0);
}

TEST(ParameterEnumT, SelectsIndexByRoundingNTimesXMinusOneHalfAndIntegersRoundHalfUp)
{
  MParameterInfo info = Enumeration();
  auto p = Wrap<ParameterEnumT>(info);
  const struct
  {
    double x;
    int index;
  } cases[] = {{0.0, 0}, {0.2, 0}, {0.25, 1}, {0.5, 2}, {0.75, 3}, {1.0, 3}};
  for (const auto& c : cases)
  {
    p->SetValue(0, c.x, true);
    EXPECT_EQ(info.enumeration.value, c.index) << "x = " << c.x;
  }
  info.enumeration.value = 2;
  EXPECT_DOUBLE_EQ(p->GetValue(0), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(p->ParseValueName(0, MString("minor")), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(p->ParseValueName(0, MString("Lydian")), 0.0);

  // Integers round half up.
  MParameterInfo integer = Integer(0, 10);
  auto i = Wrap<ParameterIntT>(integer);
  i->SetValue(0, 0.45, true);
  EXPECT_EQ(integer.integer.value, 5);
  i->SetValue(0, 0.44, true);
  EXPECT_EQ(integer.integer.value, 4);
}

TEST(ParameterBoolT, SwitchesAtOneHalfAndNamesItsStates)
{
  MParameterInfo info = Info(MParameterInfo::kBoolean);
  auto p = Wrap<ParameterBoolT>(info);
  p->SetValue(0, 0.49, true);
  EXPECT_FALSE(info.boolean.value);
  p->SetValue(0, 0.5, true);
  EXPECT_TRUE(info.boolean.value);
  EXPECT_EQ(p->GetValueNameFrom01(0, 0.3).ToUTF8(), "Off");
  EXPECT_DOUBLE_EQ(p->ParseValueName(0, MString("1")), 1.0);
  EXPECT_DOUBLE_EQ(p->ParseValueName(0, MString("0")), 0.0);
  EXPECT_DOUBLE_EQ(p->GetDefaultValue(0), 0.5);
}

// ---- the round-trip property for every type ------------------------------------------------------

namespace
{
struct RoundTripCase
{
  std::string name;
  std::function<MParameterInfo()> make;
  std::function<std::unique_ptr<ParameterBase>(MParameterInfo&)> wrap;
  double valueTolerance; // how far GetValue(SetValue(x)) may be from x
  // How far a parsed display text may land from the value it shows, for normalised value x.
  std::function<double(double)> textTolerance;
};

// Display with six decimals: the plain value is within 5e-7 of the truth. Through a curve
// u -> u^(1/p) the normalised error is at most (u + d)^(1/p) - u^(1/p) <= d^(1/p) near 0.
double CurvedTolerance(double x, double range, int power)
{
  const double plainStep = 5.0000001e-7 / range;
  const double u = std::pow(x, power);
  return std::pow(u + plainStep, 1.0 / power) - std::pow(std::max(u - plainStep, 0.0), 1.0 / power) + 1e-12;
}

std::vector<RoundTripCase> RoundTripCases()
{
  return {
      {"FloatLinear", [] { return Float(-12.0, 12.0); }, Wrap<ParameterFloatT>, 1e-12,
       [](double) { return 5.0000001e-7 / 24.0; }},
      {"FloatQuadratic", [] { return Float(0.0, 2.0, MParameterInfo::kQuadratic); }, Wrap<ParameterFloatT>,
       1e-9, [](double x) { return CurvedTolerance(x, 2.0, 2); }},
      {"FloatQuartic", [] { return Float(20.0, 20000.0, MParameterInfo::kQuartic); }, Wrap<ParameterFloatT>,
       1e-9, [](double x) { return CurvedTolerance(x, 19980.0, 4); }},
      {"FloatFormatted",
       [] {
         MParameterInfo info = Float(-24.0, 24.0);
         info.format = MString("{0;.2} dB");
         return info;
       },
       Wrap<ParameterFloatT>, 1e-12, [](double) { return 0.0050001 / 48.0; }},
      {"FloatWithFormatter",
       [] {
         MParameterInfo info = Float(0.0, 1.0);
         info.formatter = PercentFormatter;
         return info;
       },
       Wrap<ParameterFloatT>, 1e-12, [](double) { return 0.00050001; }},
      {"Integer", [] { return Integer(-5, 37); }, Wrap<ParameterIntT>, 0.5 / 42.0 + 1e-12,
       [](double) { return 1e-12; }},
      {"Enumeration", Enumeration, Wrap<ParameterEnumT>, 1.0 / 4.0 + 1e-12, [](double) { return 1e-12; }},
      {"Boolean", [] { return Info(MParameterInfo::kBoolean); }, Wrap<ParameterBoolT>, 0.5,
       [](double) { return 0.0; }},
  };
}
} // namespace

TEST(TypedParameters, GetValueOfSetValueReturnsTheValueUpToResolutionAndDisplayTextParsesBack)
{
  for (const RoundTripCase& c : RoundTripCases())
  {
    MParameterInfo info = c.make();
    std::unique_ptr<ParameterBase> p = c.wrap(info);
    for (int i = 0; i <= 200; ++i)
    {
      const double x = i / 200.0;
      p->SetValue(0, x, true);
      const double value = p->GetValue(0);
      ASSERT_NEAR(value, x, c.valueTolerance) << c.name << " x = " << x;
      // Setting what GetValue reports changes nothing: the mapping is a projection.
      p->SetValue(0, value, true);
      ASSERT_NEAR(p->GetValue(0), value, 1e-12) << c.name << " x = " << x;

      const MString text = p->GetValueName(0);
      ASSERT_NEAR(p->ParseValueName(0, text), value, c.textTolerance(value))
          << c.name << " text " << text.ToUTF8();
      ASSERT_EQ(p->GetValueNameFrom01(0, value).ToUTF8(), text.ToUTF8()) << c.name;
    }
  }
}

TEST(TypedParameters, GroupSwitchBehavesAsABooleanOnItsSwitch)
{
  MRelaxed<bool> enabled{false};
  MParameterInfo info;
  info.type = MParameterInfo::kGroup;
  info.group.enabled = &enabled;
  auto p = Wrap<ParameterGroupT>(info);
  p->SetValue(0, 0.7, true);
  EXPECT_TRUE(enabled.Load());
  EXPECT_EQ(p->GetType(0), 4);
  EXPECT_DOUBLE_EQ(p->ParseValueName(0, p->GetValueName(0)), 1.0);
}

// ---- notifications -------------------------------------------------------------------------------

TEST(ParameterBase, NonSilentChangeTellsTheEffectAndSilentChangeTellsNobody)
{
  RecordingOwner owner;
  MParameterInfo info = Float(0.0, 1.0);
  auto p = Wrap<ParameterFloatT>(info);
  p->m_owner = &owner;
  p->m_effectIndex = 7;

  p->SetValue(0, 0.3, true);
  EXPECT_TRUE(owner.changed.empty());
  p->SetValue(0, 0.4, false);
  EXPECT_EQ(owner.changed, std::vector<std::int32_t>{7});
  EXPECT_EQ(owner.changedBits, 0) << "only descriptors with 0x20 set the changed bit";

  info.flags = MParameterInfo::kHostVisible | MParameterInfo::kSetsChangedBit;
  p->SetValue(0, 0.5, false);
  EXPECT_EQ(owner.changedBits, 1);
}

TEST(ParameterBaseCustom, CallsItsCallbacksOnEveryChangeButRequestsRefreshOnlyWhenBoundAndNotSilent)
{
  MAudioPlugin plugin;
  MParameterInfo info = Integer(0, 4);
  auto* p = new ParameterIntT<ParameterBaseCustom>();
  p->m_descriptor = &info;
  plugin.AddAutomationAdapter(p);
  plugin.AssignAutomationIndices();

  int calls = 0;
  ParameterBaseCustom* seen = nullptr;
  struct Context
  {
    int* calls;
    ParameterBaseCustom** seen;
  } context{&calls, &seen};
  p->AddChangeCallback(nullptr, &context, [](void*, void* raw, MOnPluginParameterChangeParams& params) {
    auto* c = static_cast<Context*>(raw);
    ++*c->calls;
    *c->seen = params.parameter;
    EXPECT_EQ(params.reserved, 0);
  });

  p->SetValue(0, 0.5, true);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, p);
  p->SetValue(0, 0.75, false);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(plugin.GetNeedUpdateCount(), 0) << "no control is bound";
  p->m_boundControls = 1;
  p->SetValue(0, 1.0, false);
  EXPECT_EQ(plugin.GetNeedUpdateCount(), 1);
  p->SetValue(0, 0.0, true);
  EXPECT_EQ(plugin.GetNeedUpdateCount(), 1) << "silent";
}

// ---- descriptor-level randomisation --------------------------------------------------------------

TEST(MParameterInfo, RandomisationDrawsFromTheModuleGenerator)
{
  MModuleRandom::Seed(12345u);
  const std::uint32_t expectedState = 12345u * 214013u + 2531011u;
  EXPECT_DOUBLE_EQ(MModuleRandom::Next(), ((expectedState >> 16) & 0x7FFF) / 32767.0);

  MParameterInfo info = Float(-10.0, 10.0);
  info.flags = MParameterInfo::kHostVisible | MParameterInfo::kRandomizable;
  MModuleRandom::Seed(777u);
  const double r = MModuleRandom::ValueOf(777u * 214013u + 2531011u);
  MModuleRandom::Seed(777u);
  info.Randomize(1.0);
  EXPECT_DOUBLE_EQ(info.floating.value, -10.0 + 20.0 * r);
  EXPECT_DOUBLE_EQ(info.floating.previous, info.floating.value);
}

TEST(MParameterInfo, PartialRandomisationMovesEachTypeWithinItsAmountAndRangeAndRoundsWholeNumbers)
{
  MModuleRandom::Seed(99u);
  for (int round = 0; round < 300; ++round)
  {
    MParameterInfo f = Float(0.0, 100.0, MParameterInfo::kLinear);
    f.flags = MParameterInfo::kRandomizable;
    f.floating.value = round % 2 == 0 ? 95.0 : 50.0;
    const double before = f.floating.value;
    f.Randomize(0.2);
    EXPECT_LE(std::fabs(f.floating.value - before), 20.0 + 1e-9);
    EXPECT_GE(f.floating.value, 0.0);
    EXPECT_LE(f.floating.value, 100.0);

    MParameterInfo i = Integer(0, 10);
    i.flags = MParameterInfo::kRandomizable;
    i.integer.value = 9;
    i.Randomize(0.2);
    EXPECT_GE(i.integer.value, 7);
    EXPECT_LE(i.integer.value, 10);

    MParameterInfo e = Enumeration();
    e.flags = MParameterInfo::kRandomizable;
    e.enumeration.value = 0;
    e.Randomize(1.0);
    EXPECT_GE(e.enumeration.value, 0);
    EXPECT_LE(e.enumeration.value, 3);
  }

  MParameterInfo locked = Float(0.0, 1.0);
  locked.floating.value = 0.5;
  locked.Randomize(1.0);
  EXPECT_DOUBLE_EQ(locked.floating.value, 0.5) << "without 0x40 nothing is randomised";

  MParameterInfo b = Info(MParameterInfo::kBoolean);
  b.flags = MParameterInfo::kRandomizable;
  for (int round = 0; round < 50; ++round)
  {
    b.boolean.value = true;
    b.Randomize(0.4);
    ASSERT_TRUE(b.boolean.value) << "amounts below 0.5 leave switches alone";
  }

  // Whole-number randomisation rounds float values.
  MParameterInfo f = Float(0.0, 12.0);
  f.flags = MParameterInfo::kRandomizable;
  f.flags2 = MParameterInfo::kRandomWholeNumbers;
  for (int round = 0; round < 100; ++round)
  {
    f.Randomize(1.0);
    ASSERT_DOUBLE_EQ(f.floating.value, std::floor(f.floating.value));
  }
}
