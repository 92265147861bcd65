#pragma once
// MValueList: a scale over an index into a list of item texts, for list boxes and switchers.
//
// Two forms: MValueList<const char*> over a C array of narrow (Latin-1) texts with a count, and
// MValueList<MStringList> over a string list, whose current length counts (the list may change
// between calls). The items are not owned and must outlive the scale.
//
// Text: the selected item's text (empty for an empty list). Parsing compares the whole text with
// each item in order by name comparison (case and accents folded) and selects the first equal
// one; no match leaves the index and answers false. Position x selects item
// trunc((count - 1) × x + 0.5); every item is a step. Increments move by `steps` items.
// Storage: the index as a decimal integer. Definition attributes: "id", "default", "value"
// (indices).
//
// GUI thread only.

#include "base/MStringList.h"
#include "base/MValue.h"

#include <cstdint>

/// The operations shared by both forms; items are reached through ItemCount and Item.
class MValueListBase : public MValue
{
public:
  int GetIndex() const noexcept { return m_cell.Read(); }
  /// Selects item `index` (clamped); answers whether the index changed.
  bool SetIndex(int index) { return Assign(index); }
  int GetDefaultIndex() const noexcept { return m_default; }
  void SetDefaultIndex(int index) noexcept { m_default = index; }

  virtual int ItemCount() const = 0;
  /// Text of item `index`; empty outside the list.
  virtual MString Item(int index) const = 0;

  MVALUE_SCALE_OPERATIONS

protected:
  explicit MValueListBase(const MValueBinding<std::int32_t>& binding)
      : m_cell(binding), m_default(binding.Initial())
  {}

  bool Assign(long long index);

private:
  MValueCell<std::int32_t> m_cell;
  std::int32_t m_default;
};

template <typename Items>
class MValueList;

/// Over a C array of `count` narrow texts.
template <>
class MValueList<const char*> : public MValueListBase
{
public:
  MValueList(const MValueBinding<std::int32_t>& binding, const char* const* items, std::int32_t count)
      : MValueListBase(binding), m_items(items), m_count(items != nullptr && count > 0 ? count : 0)
  {
    Clamp();
  }

  int ItemCount() const override { return m_count; }
  MString Item(int index) const override;

private:
  const char* const* m_items;
  std::int32_t m_count;
};

/// Over a string list.
template <>
class MValueList<MStringList> : public MValueListBase
{
public:
  MValueList(const MValueBinding<std::int32_t>& binding, const MStringList& items)
      : MValueListBase(binding), m_items(&items)
  {
    Clamp();
  }

  int ItemCount() const override { return m_items->Count(); }
  MString Item(int index) const override;

private:
  const MStringList* m_items;
};
