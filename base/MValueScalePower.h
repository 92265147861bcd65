#pragma once
// Decorators that bend the normalised mapping of another scale: position p of the decorator is
// inner position p^N (MValueScaleSqr: N = 2; MValueScalePower<4>: N = 4), so a knob spends more
// of its travel on the low end (a volume knob near silence, a time knob near zero).
//
// Every operation is forwarded to the inner scale (display and parsing through the inner
// GetText and SetText, storage, steps, clamping), except:
//   GetNormalised            = inner position^(1/N)
//   SetNormalised(x)         = inner SetNormalised(x^N)
//   GetContentForNormalised  = inner content at x^N
//   IncrementFine(n)         = SetNormalised(own position + n × 0.001, limited to [0, 1])
// All storage lives in the inner scale; the decorator takes the inner id and keeps it in step
// after LoadDefinition. An owning decorator destroys the inner scale with itself.
//
// GUI thread only.

#include "base/MValue.h"

#include <cmath>
#include <memory>

template <int N>
class MValueScalePower : public MValue
{
  static_assert(N >= 2, "a power of at least 2");

public:
  /// Decorates a scale it owns.
  explicit MValueScalePower(std::unique_ptr<MValue> inner) : m_inner(inner.release()), m_ownsInner(true)
  {
    SetId(m_inner->GetId());
  }
  /// Decorates a scale owned elsewhere, which must outlive the decorator.
  explicit MValueScalePower(MValue& inner) : m_inner(&inner), m_ownsInner(false) { SetId(m_inner->GetId()); }

  ~MValueScalePower() override
  {
    if (m_ownsInner)
    {
      delete m_inner;
    }
  }

  MValue& GetInner() const noexcept { return *m_inner; }
  bool OwnsInner() const noexcept { return m_ownsInner; }

  MString ToString() const override { return m_inner->ToString(); }
  void FromString(const MString& text) override { m_inner->FromString(text); }
  bool SetDefault() override { return m_inner->SetDefault(); }
  bool Save(MXmlItem& item) const override { return m_inner->Save(item); }
  void Load(const MXmlItem& item) override { m_inner->Load(item); }
  void LoadDefinition(const MXmlItem& item) override
  {
    m_inner->LoadDefinition(item);
    SetId(m_inner->GetId());
  }
  const MValueTypeInfo& GetTypeInfo() const override { return m_inner->GetTypeInfo(); }
  MString FormatText() const override { return m_inner->GetText(); }
  MContentDataPtr GetContentForNormalised(double x) const override
  {
    return m_inner->GetContentForNormalised(Bend(x));
  }
  bool ParseText(const MString& text) override { return m_inner->SetText(text); }
  void Clamp() override { m_inner->Clamp(); }
  bool Increment(int steps, int level) override { return m_inner->Increment(steps, level); }
  bool IncrementFine(int steps) override
  {
    double position = GetNormalised() + steps * 0.001;
    return SetNormalised(position < 0.0 ? 0.0 : (position > 1.0 ? 1.0 : position));
  }
  double GetNormalised() const override { return Unbend(m_inner->GetNormalised()); }
  bool SetNormalised(double x) override { return m_inner->SetNormalised(Bend(x)); }
  int GetStepCount() const override { return m_inner->GetStepCount(); }
  MContentDataPtr GetContentForStep(int i) const override { return m_inner->GetContentForStep(i); }
  int GetReserved() const override { return m_inner->GetReserved(); }
  void SetStep(int i) override { m_inner->SetStep(i); }

  /// Inner position of own position x.
  static double Bend(double x) noexcept
  {
    double result = x;
    for (int i = 1; i < N; ++i)
    {
      result *= x;
    }
    return result;
  }
  /// Own position of inner position p (p^(1/N); 0 for negative or not-a-number input).
  static double Unbend(double p) noexcept
  {
    if (!(p > 0.0))
    {
      return 0.0;
    }
    if constexpr (N == 2)
    {
      return std::sqrt(p);
    }
    else if constexpr (N == 4)
    {
      return std::sqrt(std::sqrt(p));
    }
    else
    {
      return std::pow(p, 1.0 / N);
    }
  }

private:
  MValue* m_inner;
  bool m_ownsInner;
};

/// Square-law decorator: position p is inner position p².
class MValueScaleSqr : public MValueScalePower<2>
{
public:
  using MValueScalePower<2>::MValueScalePower;
};
