#pragma once
// The stored form of the MIDI controller assignments and note controllers of a plug-in.
//
// The lists are part of the plug-in state (sub-items "Controllers" and "NoteControllers"); what
// an assignment does with incoming MIDI belongs to the MIDI processing of the adapter. Each list
// holds at most kMaxAssignments entries. An assignment names its target parameter by the
// parameter's name, resolved to an index when the list is loaded.
//
// Loading treats the item as untrusted: extra entries beyond the cap are ignored, an entry whose
// parameter name matches no parameter is dropped, numbers are clamped into their ranges and text
// that is no number leaves the field at its default. Host thread, under the plug-in's locks.

#include "base/MString.h"

#include <cstdint>
#include <vector>

class MAudioPlugin;
class MXmlItem;

struct MControllerAssignment
{
  bool enabled = false;
  std::int32_t parameter = -1;
  double value = 0.0;
  double maxValue = 0.0;
  double range = 1.0;
  std::int32_t channel = 0;    ///< 0 = any channel, else 1..16
  std::int32_t controller = 1; ///< 0..127, 128 aftertouch, 129 pitch-bend, 130/131 velocity
  std::int32_t rangeMode = 2;  ///< "Up and down", "Full range", "Up only", "Down only", "Interval"
  bool invert = false;
};

struct MNoteControllerAssignment
{
  bool enabled = false;
  std::int32_t parameter = -1;
  std::int32_t mode = 1; ///< "Linear", "Logarithmic", "On/Off", ... (0..6)
  std::int32_t channel = 0;
  std::int32_t note = 48;
  double value = 0.0;
  double maxValue = 1.0;
};

namespace MControllerSettings
{
inline constexpr std::int32_t kMaxAssignments = 32;

/// Writes both lists as sub-items "Controllers" and "NoteControllers" of `item` (replacing
/// earlier ones); attributes equal to their defaults are left out.
void Save(const MAudioPlugin& plugin, const std::vector<MControllerAssignment>& controllers,
          const std::vector<MNoteControllerAssignment>& noteControllers, MXmlItem& item);
/// Rebuilds both lists from `item`; a missing sub-item gives an empty list.
void Load(const MAudioPlugin& plugin, const MXmlItem& item, std::vector<MControllerAssignment>& controllers,
          std::vector<MNoteControllerAssignment>& noteControllers);
} // namespace MControllerSettings
