#include "base/MXmlItem.h"

#include "base/MStreamFailure.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"

#include <algorithm>

MXmlItem::MXmlItem(const MString& name) : m_name(name) {}

MXmlItem::MXmlItem(const MXmlItem& other)
    : MObject(other), m_name(other.m_name), m_attributes(other.m_attributes), m_text(other.m_text)
{
  m_subItems.reserve(other.m_subItems.size());
  for (const auto& subItem : other.m_subItems)
    m_subItems.push_back(std::make_unique<MXmlItem>(*subItem));
}

MXmlItem::MXmlItem(MXmlItem&& other) noexcept
    : m_name(std::move(other.m_name)), m_attributes(std::move(other.m_attributes)),
      m_subItems(std::move(other.m_subItems)), m_text(std::move(other.m_text))
{
  other.Clear();
}

MXmlItem& MXmlItem::operator=(const MXmlItem& other)
{
  if (this != &other)
  {
    MXmlItem copy(other);
    *this = std::move(copy);
  }
  return *this;
}

MXmlItem& MXmlItem::operator=(MXmlItem&& other) noexcept
{
  if (this != &other)
  {
    m_name = std::move(other.m_name);
    m_attributes = std::move(other.m_attributes);
    m_subItems = std::move(other.m_subItems);
    m_text = std::move(other.m_text);
    m_cachedAttribute = -1;
    m_cachedSubItem = nullptr;
    other.Clear();
  }
  return *this;
}

MXmlItem::~MXmlItem() = default;

void MXmlItem::Clear()
{
  m_name.Clear();
  m_attributes.clear();
  m_subItems.clear();
  m_text.Clear();
  m_cachedAttribute = -1;
  m_cachedSubItem = nullptr;
}

std::size_t MXmlItem::FindAttribute(const MString& name, bool& found) const
{
  std::size_t low = 0;
  std::size_t high = m_attributes.size();
  while (low < high)
  {
    const std::size_t middle = low + (high - low) / 2;
    const int order = m_attributes[middle].name.CompareNames(name);
    if (order == 0)
    {
      found = true;
      return middle;
    }
    if (order < 0)
      low = middle + 1;
    else
      high = middle;
  }
  found = false;
  return low;
}

void MXmlItem::SetAttribute(const MString& name, const MString& value)
{
  bool found = false;
  const std::size_t index = FindAttribute(name, found);
  if (found)
  {
    m_attributes[index].value = value;
    return;
  }
  m_attributes.insert(m_attributes.begin() + static_cast<std::ptrdiff_t>(index), MAttribute{name, value});
  if (m_cachedAttribute >= static_cast<std::ptrdiff_t>(index))
    ++m_cachedAttribute;
}

void MXmlItem::SetAttributes(std::vector<MAttribute> attributes)
{
  std::stable_sort(attributes.begin(), attributes.end(),
                   [](const MAttribute& a, const MAttribute& b) { return a.name.CompareNames(b.name) < 0; });
  // Runs of equal names: keep the first spelling with the last value.
  std::vector<MAttribute> unique;
  unique.reserve(attributes.size());
  for (auto& attribute : attributes)
  {
    if (!unique.empty() && unique.back().name.CompareNames(attribute.name) == 0)
      unique.back().value = std::move(attribute.value);
    else
      unique.push_back(std::move(attribute));
  }
  m_attributes = std::move(unique);
  m_cachedAttribute = -1;
}

bool MXmlItem::RemoveAttribute(const MString& name)
{
  bool found = false;
  const std::size_t index = FindAttribute(name, found);
  if (!found)
    return false;
  m_attributes.erase(m_attributes.begin() + static_cast<std::ptrdiff_t>(index));
  const auto removed = static_cast<std::ptrdiff_t>(index);
  if (m_cachedAttribute == removed)
    m_cachedAttribute = -1;
  else if (m_cachedAttribute > removed)
    --m_cachedAttribute;
  return true;
}

bool MXmlItem::HasAttribute(const MString& name) const
{
  bool found = false;
  const std::size_t index = FindAttribute(name, found);
  m_cachedAttribute = found ? static_cast<std::ptrdiff_t>(index) : -1;
  return found;
}

const MString& MXmlItem::GetAttribute() const
{
  if (m_cachedAttribute < 0)
    MStreamFailure::Throw(
        "There is no attribute in the cache. Previous call to HasAttribute probably did not succeed.");
  return m_attributes[static_cast<std::size_t>(m_cachedAttribute)].value;
}

MString MXmlItem::GetAttribute(const MString& name, const MString& defaultValue) const
{
  bool found = false;
  const std::size_t index = FindAttribute(name, found);
  return found ? m_attributes[index].value : defaultValue;
}

bool MXmlItem::HasSubItem(const MString& name) const
{
  m_cachedSubItem = nullptr;
  for (const auto& subItem : m_subItems)
  {
    if (subItem->m_name.EqualsName(name))
    {
      m_cachedSubItem = subItem.get();
      return true;
    }
  }
  return false;
}

MXmlItem& MXmlItem::GetSubItem()
{
  if (m_cachedSubItem == nullptr)
    MStreamFailure::Throw(
        "There is no subitem in the cache. Previous call to HasSubItem probably did not succeed.");
  return *m_cachedSubItem;
}

const MXmlItem& MXmlItem::GetSubItem() const
{
  return const_cast<MXmlItem*>(this)->GetSubItem();
}

MXmlItem& MXmlItem::GetOrAddSubItem(const MString& name)
{
  for (const auto& subItem : m_subItems)
  {
    if (subItem->m_name.EqualsName(name))
      return *subItem;
  }
  return AddSubItem(name);
}

MXmlItem& MXmlItem::AddSubItem(const MString& name)
{
  m_subItems.push_back(std::make_unique<MXmlItem>(name));
  return *m_subItems.back();
}

MXmlItem& MXmlItem::AddSubItem(MXmlItem item)
{
  m_subItems.push_back(std::make_unique<MXmlItem>(std::move(item)));
  return *m_subItems.back();
}

void MXmlItem::RemoveSubItemAt(int index)
{
  if (index < 0 || index >= GetSubItemCount())
    return;
  const auto position = m_subItems.begin() + index;
  if (m_cachedSubItem == position->get())
    m_cachedSubItem = nullptr;
  m_subItems.erase(position);
}

namespace
{
[[noreturn]] void ThrowIteratorNotStarted()
{
  MStreamFailure::Throw("XML item iterator has not been initialized.");
}
} // namespace

void MXmlItem::AttributeIterator::Start(const MXmlItem& item)
{
  m_item = &item;
  m_index = 0;
}

bool MXmlItem::AttributeIterator::IsValid() const
{
  if (m_item == nullptr)
    ThrowIteratorNotStarted();
  return m_index < m_item->m_attributes.size();
}

void MXmlItem::AttributeIterator::Next()
{
  if (m_item == nullptr)
    ThrowIteratorNotStarted();
  ++m_index;
}

const MAttribute& MXmlItem::AttributeIterator::Get() const
{
  if (m_item == nullptr)
    ThrowIteratorNotStarted();
  return m_item->m_attributes.at(m_index);
}

void MXmlItem::SubItemIterator::Start(MXmlItem& item)
{
  m_item = &item;
  m_index = 0;
}

bool MXmlItem::SubItemIterator::IsValid() const
{
  if (m_item == nullptr)
    ThrowIteratorNotStarted();
  return m_index < m_item->m_subItems.size();
}

void MXmlItem::SubItemIterator::Next()
{
  if (m_item == nullptr)
    ThrowIteratorNotStarted();
  ++m_index;
}

MXmlItem& MXmlItem::SubItemIterator::Get() const
{
  if (m_item == nullptr)
    ThrowIteratorNotStarted();
  return *m_item->m_subItems.at(m_index);
}

void MXmlItem::Write(MStream& stream, bool compact, const MString& encoding) const
{
  MXmlWriter::Write(*this, stream, compact, encoding);
}

void MXmlItem::WriteCompressed(MStream& stream) const
{
  MXmlWriter::WriteCompressed(*this, stream);
}

void MXmlItem::Read(MStream& stream)
{
  MXmlReader::Read(stream, *this);
}

void MXmlItem::ReadCompressed(MStream& stream)
{
  MXmlReader::ReadCompressed(stream, *this);
}

bool operator==(const MXmlItem& a, const MXmlItem& b)
{
  if (a.m_name != b.m_name || a.m_text != b.m_text || a.m_attributes != b.m_attributes ||
      a.m_subItems.size() != b.m_subItems.size())
    return false;
  for (std::size_t i = 0; i < a.m_subItems.size(); ++i)
  {
    if (!(*a.m_subItems[i] == *b.m_subItems[i]))
      return false;
  }
  return true;
}
