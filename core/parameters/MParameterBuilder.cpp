#include "core/parameters/MParameterBuilder.h"

#include "base/MException.h"
#include "core/parameters/ParameterBoolT.h"
#include "core/parameters/ParameterEnumT.h"
#include "core/parameters/ParameterFloatT.h"
#include "core/parameters/ParameterGroupT.h"
#include "core/parameters/ParameterIntT.h"

#include <algorithm>
#include <memory>

void MParameterIndexMap::Insert(std::int32_t effectIndex, ParameterBase* parameter)
{
  auto& bucket = m_buckets[effectIndex & (kBuckets - 1)];
  auto position = std::lower_bound(bucket.begin(), bucket.end(), effectIndex,
                                   [](const auto& entry, std::int32_t index) { return entry.first < index; });
  if (position != bucket.end() && position->first == effectIndex)
    position->second = parameter;
  else
    bucket.insert(position, {effectIndex, parameter});
}

ParameterBase* MParameterIndexMap::Find(std::int32_t effectIndex) const noexcept
{
  const auto& bucket = m_buckets[effectIndex & (kBuckets - 1)];
  std::size_t low = 0;
  std::size_t high = bucket.size();
  while (low < high)
  {
    const std::size_t middle = low + (high - low) / 2;
    if (bucket[middle].first == effectIndex)
      return bucket[middle].second;
    if (bucket[middle].first < effectIndex)
      low = middle + 1;
    else
      high = middle;
  }
  return nullptr;
}

void MParameterIndexMap::Clear() noexcept
{
  for (auto& bucket : m_buckets)
    bucket.clear();
}

std::int32_t MParameterIndexMap::Count() const noexcept
{
  std::size_t count = 0;
  for (const auto& bucket : m_buckets)
    count += bucket.size();
  return static_cast<std::int32_t>(count);
}

namespace
{
std::unique_ptr<ParameterBase> MakeParameter(MParameterInfo& info)
{
  switch (info.type)
  {
  case MParameterInfo::kNone:
  case MParameterInfo::kText:
    return nullptr;
  case MParameterInfo::kFloat:
    return std::make_unique<ParameterFloatT<ParameterBase>>();
  case MParameterInfo::kInteger:
    return std::make_unique<ParameterIntT<ParameterBase>>();
  case MParameterInfo::kEnumeration:
    return std::make_unique<ParameterEnumT<ParameterBase>>();
  case MParameterInfo::kBoolean:
    return std::make_unique<ParameterBoolT<ParameterBase>>();
  case MParameterInfo::kGroup:
    if (info.group.enabled == nullptr)
      return nullptr;
    return std::make_unique<ParameterGroupT<ParameterBase>>();
  default:
    throw MException(MString("Invalid plugin parameter type."));
  }
}
} // namespace

void MParameterBuilder::Build(MAudioPlugin& plugin, MParameterOwner* owner, const MParameterTable& table,
                              MParameterIndexMap& map, MPluginParameters** editorLink,
                              const MString& idPrefix, BuildPass pass)
{
  if ((table.flags & MParameterTable::kWantsTimeInfo) != 0)
    plugin.m_wantsTimeInfo = true;

  MString group;
  std::int32_t effectIndex = 0;
  auto visit = [&](MParameterInfo* info) {
    if (info == nullptr)
    {
      ++effectIndex;
      return;
    }
    if ((info->flags2 & MParameterInfo::kEndsGroup) != 0)
      group = MString();
    const bool appended = (info->flags2 & MParameterInfo::kAppendedSlot) != 0;
    if (info->Has(MParameterInfo::kHostVisible))
    {
      // Headings are followed in both passes, so an appended parameter keeps its group.
      if (info->type == MParameterInfo::kGroup)
        group = info->name;
      if (appended != (pass == BuildPass::kAppendedSlots))
      {
        ++effectIndex;
        return;
      }
      std::unique_ptr<ParameterBase> parameter = MakeParameter(*info);
      if (parameter)
      {
        parameter->m_owner = owner;
        parameter->m_descriptor = info;
        parameter->m_effectIndex = effectIndex;
        parameter->m_editorLink = editorLink;
        parameter->SetFromDescriptor(*info, group);
        parameter->m_idPrefix = idPrefix;
        parameter->SetTemporary(false);
        map.Insert(effectIndex, parameter.get());
        plugin.AddAutomationAdapter(parameter.release());
      }
    }
    ++effectIndex;
  };

  for (std::int32_t i = 0; table.descriptors != nullptr && i < table.count; ++i)
    visit(&table.descriptors[i]);
  if ((table.flags & MParameterTable::kHasPointerList) != 0)
  {
    for (std::int32_t i = 0; table.pointers != nullptr && i < table.pointerCount; ++i)
      visit(table.pointers[i]);
  }
  plugin.AssignAutomationIndices();
}
