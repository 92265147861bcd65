#pragma once
// MValueEnum: a scale over an enumeration. The variable is the enumerator (32 bits); its text is
// the item name (display and storage alike).
//
// Parsing folds ASCII case ("CENTER" selects "Center"); an unknown name selects item 0.
// Position: item / (count - 1); position x selects item trunc(x × (count - 1) + 0.5). Every item
// is a step (GetStepCount = count). Increments move by `steps` items whatever the level.
// Definition attributes: "id", "default" (an item name; also sets the variable) and "value" (an
// item name; the default too when "default" is absent).
//
// GUI thread only.

#include "base/MEnumeration.h"
#include "base/MEnumerations.h"
#include "base/MValue.h"

#include <cstdint>
#include <type_traits>

/// Binds an enumeration type to its name table. Specialised by the owner of each type.
template <typename E>
struct MEnumTraits;

/// The operations common to every enumeration; the variable is reached through ReadIndex and
/// WriteIndex.
class MValueEnumBase : public MValue
{
public:
  const MEnumeration& GetEnumeration() const noexcept { return m_enumeration; }
  int GetIndex() const { return ReadIndex(); }
  /// Writes item `index` (clamped); answers whether the variable changed.
  bool SetIndex(int index) { return Assign(index); }
  int GetDefaultIndex() const noexcept { return m_default; }
  void SetDefaultIndex(int index) noexcept { m_default = index; }

  MVALUE_SCALE_OPERATIONS

protected:
  MValueEnumBase(const MEnumeration& enumeration, int initial) noexcept
      : m_enumeration(enumeration), m_default(initial)
  {}

  virtual int ReadIndex() const = 0;
  virtual void WriteIndex(int index) = 0;
  bool Assign(long long index);
  /// Item of a name; unknown names give item 0.
  int IndexOfName(const MString& name) const;

private:
  const MEnumeration& m_enumeration;
  std::int32_t m_default;
};

template <typename E>
class MValueEnum : public MValueEnumBase
{
  static_assert(sizeof(E) == 4 && (std::is_enum_v<E> || std::is_integral_v<E>), "32-bit enumerations only");

public:
  /// Item 0, the table of MEnumTraits<E>.
  MValueEnum() : MValueEnum(MValueBinding<E>::Value(static_cast<E>(0))) {}
  /// Binds the variable; the default is its current value, clamped into the item range.
  explicit MValueEnum(const MValueBinding<E>& binding,
                      const MEnumeration& enumeration = MEnumTraits<E>::Get())
      : MValueEnumBase(enumeration, static_cast<int>(binding.Initial())), m_cell(binding)
  {
    Clamp();
  }

  E Get() const noexcept { return m_cell.Read(); }
  bool Set(E value) { return SetIndex(static_cast<int>(value)); }

protected:
  int ReadIndex() const override { return static_cast<int>(m_cell.Read()); }
  void WriteIndex(int index) override { m_cell.Write(static_cast<E>(index)); }

private:
  MValueCell<E> m_cell;
};
