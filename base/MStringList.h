#pragma once
// MStringList: an ordered, index-addressed list of MString (items of list boxes, value lists).
//
// Capacity is kept at a power of two of the item count, as for every growable array of the
// library. Reading an index outside 0..Count()-1 answers the empty string; editing operations
// clip or ignore such indices. Main-thread data: not locked; allocates when it grows.

#include "base/MObject.h"
#include "base/MString.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

class MStringList : public MObject
{
public:
  MStringList() = default;
  MStringList(std::initializer_list<MString> items);

  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(m_items.size()); }
  bool IsEmpty() const noexcept { return m_items.empty(); }

  /// The item at `index`; the empty string outside the list.
  const MString& At(std::int32_t index) const noexcept;
  const MString& operator[](std::int32_t index) const noexcept { return At(index); }

  /// Appends and answers the new item's index.
  std::int32_t Add(const MString& item);
  /// Inserts before `index` (clipped to 0..Count()).
  void Insert(std::int32_t index, const MString& item);
  /// Replaces the item at `index`; ignored outside the list.
  void Set(std::int32_t index, const MString& item);
  /// Removes the item at `index`; ignored outside the list.
  void Remove(std::int32_t index);
  void Clear() noexcept;

  /// Index of the first item equal to `item` (exact comparison), or -1.
  std::int32_t IndexOf(const MString& item) const noexcept;
  /// Index of the first item equal to `name` by the name comparison (case and accents folded),
  /// or -1.
  std::int32_t IndexOfName(const MString& name) const noexcept;

  /// The items joined with `separator` between them.
  MString Join(const MString& separator) const;
  /// Splits `text` at every occurrence of `separator` (a character); an empty text gives an
  /// empty list, and empty pieces between separators are kept.
  static MStringList Split(const MString& text, char16_t separator);

  auto begin() const noexcept { return m_items.begin(); }
  auto end() const noexcept { return m_items.end(); }

  friend bool operator==(const MStringList& a, const MStringList& b) noexcept
  {
    return a.m_items == b.m_items;
  }

private:
  void GrowFor(std::size_t count);

  std::vector<MString> m_items;
};
