#include "base/MStringList.h"

#include <algorithm>
#include <bit>

namespace
{
const MString kEmpty;
} // namespace

MStringList::MStringList(std::initializer_list<MString> items)
{
  GrowFor(items.size());
  m_items.assign(items.begin(), items.end());
}

void MStringList::GrowFor(std::size_t count)
{
  if (count > m_items.capacity())
  {
    m_items.reserve(std::bit_ceil(count));
  }
}

const MString& MStringList::At(std::int32_t index) const noexcept
{
  return (index >= 0 && index < Count()) ? m_items[static_cast<std::size_t>(index)] : kEmpty;
}

std::int32_t MStringList::Add(const MString& item)
{
  GrowFor(m_items.size() + 1);
  m_items.push_back(item);
  return Count() - 1;
}

void MStringList::Insert(std::int32_t index, const MString& item)
{
  GrowFor(m_items.size() + 1);
  index = std::clamp(index, std::int32_t{0}, Count());
  m_items.insert(m_items.begin() + index, item);
}

void MStringList::Set(std::int32_t index, const MString& item)
{
  if (index >= 0 && index < Count())
  {
    m_items[static_cast<std::size_t>(index)] = item;
  }
}

void MStringList::Remove(std::int32_t index)
{
  if (index >= 0 && index < Count())
  {
    m_items.erase(m_items.begin() + index);
  }
}

void MStringList::Clear() noexcept
{
  m_items.clear();
}

std::int32_t MStringList::IndexOf(const MString& item) const noexcept
{
  for (std::int32_t i = 0; i < Count(); ++i)
  {
    if (At(i) == item)
    {
      return i;
    }
  }
  return -1;
}

std::int32_t MStringList::IndexOfName(const MString& name) const noexcept
{
  for (std::int32_t i = 0; i < Count(); ++i)
  {
    if (At(i).EqualsName(name))
    {
      return i;
    }
  }
  return -1;
}

MString MStringList::Join(const MString& separator) const
{
  MString result;
  for (std::int32_t i = 0; i < Count(); ++i)
  {
    if (i > 0)
    {
      result.Append(separator);
    }
    result.Append(At(i));
  }
  return result;
}

MStringList MStringList::Split(const MString& text, char16_t separator)
{
  MStringList list;
  if (text.IsEmpty())
  {
    return list;
  }
  std::int32_t start = 0;
  for (;;)
  {
    std::int32_t found = text.Find(separator, start);
    if (found < 0)
    {
      list.Add(text.Substring(start));
      return list;
    }
    list.Add(text.Substring(start, found - start));
    start = found + 1;
  }
}
