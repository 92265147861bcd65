#pragma once
// MPresetManagerT: a preset tree bound to the object its presets apply to.
//
// The plug-in instantiates it for itself; the controller editor may instantiate it for its
// controller sets. `Target` provides:
//     void LoadPresetSettings(MXmlItem& settings);   // apply an expanded preset (loading)
//     void SavePresetSettings(MXmlItem& settings);   // write the current state (saving)
//     std::int32_t GetCurrentPresetIndex() const;    // -1 for none
//     void SetCurrentPresetIndex(std::int32_t index);
// Applying decodes the preset completely before the target sees it, so a damaged preset throws
// MException and leaves the target as it was.
//
// Threads: as the tree: one thread at a time, never the audio thread; the target's owner
// serialises the callers (the plug-in's preset lock).

#include "base/MException.h"
#include "framework/MPresetTree.h"

#include <algorithm>
#include <cstdint>

template <class Target>
class MPresetManagerT : public MPresetTree
{
public:
  explicit MPresetManagerT(Target& target) : m_target(target) {}

  /// Decodes `preset` and loads it into the target. Throws MException (the decoding message);
  /// the target is then unchanged.
  void ApplyPreset(const MXmlItem& preset)
  {
    MXmlItem settings;
    DecodePreset(preset, settings);
    m_target.LoadPresetSettings(settings);
  }

  /// Applies the preset at `index` in tree order and makes it the current one. Throws
  /// "Index out of range." or the decoding message; nothing changes then.
  void ApplyPresetAt(std::int32_t index)
  {
    ApplyPreset(GetPreset(index));
    m_target.SetCurrentPresetIndex(index);
  }

  /// The preset `step` places after the current one, wrapping round both ways; with no current
  /// preset, +1 gives the first preset and -1 the last. Answers the index applied, or -1 when the tree has no
  /// preset. Throws as ApplyPresetAt.
  std::int32_t Step(std::int32_t step)
  {
    const std::int64_t count = GetPresetCount();
    if (count == 0)
      return -1;
    std::int64_t current = m_target.GetCurrentPresetIndex();
    if (current < 0 || current >= count)
      current = step >= 0 ? -1 : count;
    std::int64_t index = (current + step) % count;
    if (index < 0)
      index += count;
    ApplyPresetAt(static_cast<std::int32_t>(index));
    return static_cast<std::int32_t>(index);
  }

  /// Appends the target's current state to `folder` as an expanded preset named `name`.
  MXmlItem& SaveCurrent(MXmlItem& folder, const MString& name)
  {
    MXmlItem settings(MString("preset"));
    m_target.SavePresetSettings(settings);
    return AddPreset(folder, name, settings);
  }

  /// Replaces `preset` (kept at its place, under its name and id) by the target's current state.
  /// The window asks "Are you sure you want to replace selected preset?" first.
  void ReplaceWithCurrent(MXmlItem& preset)
  {
    const MString name = preset.GetAttribute(MString("name"), MString::FromLiteral(kUnnamedPreset));
    const MString id = IdOf(preset);
    MXmlItem settings(MString("preset"));
    m_target.SavePresetSettings(settings);
    settings.SetAttribute(MString("name"), name);
    settings.SetAttribute(MString("id"), IsValidId(id) ? id : NewId());
    preset = std::move(settings);
  }

  Target& GetTarget() noexcept { return m_target; }

private:
  Target& m_target;
};
