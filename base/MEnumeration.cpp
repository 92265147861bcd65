#include "base/MEnumeration.h"

#include <algorithm>
#include <cstring>

namespace
{

char16_t FoldAscii(char16_t c) noexcept
{
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsAsciiFolded(const MString& a, const MString& b) noexcept
{
  if (a.Length() != b.Length())
  {
    return false;
  }
  for (std::int32_t i = 0; i < a.Length(); ++i)
  {
    if (FoldAscii(a.At(i)) != FoldAscii(b.At(i)))
    {
      return false;
    }
  }
  return true;
}

} // namespace

MString MEnumeration::Name(int index) const noexcept
{
  if (index < 0 || index >= m_count)
  {
    return MString();
  }
  return MString::FromLiteral(m_names[index]);
}

std::uint32_t MEnumeration::Hash(const MString& name, int prefixLength) noexcept
{
  std::uint32_t hash = 1;
  std::int32_t length = std::min<std::int32_t>(name.Length(), prefixLength);
  for (std::int32_t i = 0; i < length; ++i)
  {
    hash ^= static_cast<std::uint32_t>(FoldAscii(name.At(i))) * static_cast<std::uint32_t>(5 + i);
  }
  return hash;
}

void MEnumeration::Build() const
{
  if (m_count <= 0)
  {
    return;
  }
  auto count = static_cast<std::uint32_t>(m_count);
  int longest = 1;
  for (int i = 0; i < m_count; ++i)
  {
    longest = std::max(longest, static_cast<int>(std::strlen(m_names[i])));
  }
  // Pick the shortest prefix that reaches the largest number of distinct buckets.
  int bestDistinct = -1;
  std::vector<char> used(count);
  for (int length = 1; length <= longest; ++length)
  {
    std::fill(used.begin(), used.end(), 0);
    int distinct = 0;
    for (int i = 0; i < m_count; ++i)
    {
      std::uint32_t bucket = Hash(Name(i), length) % count;
      distinct += used[bucket] == 0 ? 1 : 0;
      used[bucket] = 1;
    }
    if (distinct > bestDistinct)
    {
      bestDistinct = distinct;
      m_prefixLength = length;
    }
  }
  m_slots.assign(count, -1);
  for (int i = 0; i < m_count; ++i)
  {
    std::uint32_t slot = Hash(Name(i), m_prefixLength) % count;
    while (m_slots[slot] >= 0)
    {
      slot = (slot + 1) % count;
    }
    m_slots[slot] = i;
  }
}

int MEnumeration::PrefixLength() const
{
  std::call_once(m_built, [this] { Build(); });
  return m_prefixLength;
}

int MEnumeration::Find(const MString& name) const
{
  std::call_once(m_built, [this] { Build(); });
  if (m_count <= 0)
  {
    return -1;
  }
  auto count = static_cast<std::uint32_t>(m_count);
  std::uint32_t slot = Hash(name, m_prefixLength) % count;
  for (std::uint32_t probe = 0; probe < count; ++probe)
  {
    int item = m_slots[(slot + probe) % count];
    if (item < 0)
    {
      return -1;
    }
    if (EqualsAsciiFolded(Name(item), name))
    {
      return item;
    }
  }
  return -1;
}
