#pragma once
// Building an effect's typed parameters from its descriptor table.
//
// MParameterBuilder::Build walks the descriptors in order (then the pointer list when the table
// says so) and makes one typed parameter over ParameterBase for every host-visible descriptor:
// float, integer, enumeration, boolean, and a group switch for a group heading that has one.
// Group headings name the group of the parameters after them until a descriptor ends it. The
// effect index counts every descriptor, including those that made nothing. Each parameter is
// appended to the plug-in's adapters and entered in the index map; then the plug-in assigns
// indices. Main thread, during the effect adapter's initialisation; allocates.
//
// A descriptor flagged kAppendedSlot is left out of that walk and built by a second call with
// BuildPass::kAppendedSlots, which the effect adapter makes after the effect registered its own
// adapters: a parameter added later takes the next free host index instead of moving the slots
// after it, while its descriptor sits where its group is (its group heading and effect index
// come from its place in the table).
//
// MParameterIndexMap finds the parameter of an effect index: 8 buckets by index & 7, each kept
// in ascending index order and searched by bisection.

#include "core/parameters/MParameterInfo.h"
#include "core/parameters/MParameterOwner.h"
#include "core/parameters/ParameterBase.h"

#include <cstdint>
#include <utility>
#include <vector>

class MParameterIndexMap
{
public:
  /// Enters (or replaces) the parameter of `effectIndex`.
  void Insert(std::int32_t effectIndex, ParameterBase* parameter);
  /// The parameter of `effectIndex`, or null.
  ParameterBase* Find(std::int32_t effectIndex) const noexcept;
  void Clear() noexcept;
  std::int32_t Count() const noexcept;

private:
  static constexpr std::int32_t kBuckets = 8;
  std::vector<std::pair<std::int32_t, ParameterBase*>> m_buckets[kBuckets];
};

namespace MParameterBuilder
{
/// Which descriptors one call builds: those without kAppendedSlot, or only those with it.
enum class BuildPass
{
  kInPlace,
  kAppendedSlots,
};

/// Builds the parameters of `table` into `plugin` (see above). Throws MException
/// "Invalid plugin parameter type." at a host-visible descriptor of unknown type; the parameters
/// made before it stay registered. `owner` receives the change notifications; `editorLink` is
/// the plug-in's parameter panel pointer address (may be null).
void Build(MAudioPlugin& plugin, MParameterOwner* owner, const MParameterTable& table,
           MParameterIndexMap& map, MPluginParameters** editorLink, const MString& idPrefix = MString(),
           BuildPass pass = BuildPass::kInPlace);
} // namespace MParameterBuilder
