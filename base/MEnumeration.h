#pragma once
// MEnumeration: the fixed item names of one enumeration, with a name lookup.
//
// Items are numbered from 0 in table order; the name of an item is its text everywhere (display,
// storage, XML definitions). Lookup compares whole names with ASCII letters folded (A-Z as
// a-z) and answers -1 for an unknown name.
//
// The lookup table is built once, on first use, by whichever thread gets there first (the build
// is guarded; afterwards lookups only read). Hash of a name: h = 1, then for each character c
// (A-Z folded to a-z) at position i of the first L characters, h ^= c × (5 + i); bucket =
// h mod count. L is the shortest prefix length that spreads the names over the most buckets;
// names that still share a bucket go to the next free one.
//
// Tables are static objects (MEnumerations.h); the name texts must live for the whole program.

#include "base/MString.h"

#include <cstdint>
#include <mutex>
#include <vector>

class MEnumeration
{
public:
  /// `names` points to `count` static texts (ASCII).
  MEnumeration(const char* const* names, int count) noexcept : m_names(names), m_count(count) {}
  MEnumeration(const MEnumeration&) = delete;
  MEnumeration& operator=(const MEnumeration&) = delete;

  int Count() const noexcept { return m_count; }
  /// Name of item `index`; empty outside 0 .. Count() - 1. Never allocates.
  MString Name(int index) const noexcept;
  /// Item of that name (ASCII case folded), or -1.
  int Find(const MString& name) const;

  /// The prefix length the hash uses (builds the table when needed).
  int PrefixLength() const;
  /// The hash of `name` over its first `prefixLength` characters.
  static std::uint32_t Hash(const MString& name, int prefixLength) noexcept;

private:
  void Build() const;

  const char* const* m_names;
  int m_count;
  mutable std::once_flag m_built;
  mutable int m_prefixLength = 0;
  mutable std::vector<int> m_slots;
};
