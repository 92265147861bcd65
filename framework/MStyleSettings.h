#pragma once
// MStyleSettings: the user's choice of style and main colours, kept as the section
// "StyleConfiguration" of the general settings (MGeneralSettings::LoadSection), with the
// attributes of MTexturedStyleConfiguration ("Style", "maincolor0" .. "maincolor3", the
// adjustments). When no section can be read, the fresh item is written: "Style" = "Silver" and
// the four default main colours (written when the general settings sheet first opens: opening an
// editor writes no file).
//
// One style draws every editor of the process: the window system's default style, made by the
// module on first use. Editors share the host's UI thread and that window system, so a change
// made in one editor's settings reaches every open editor at once: Apply loads the configuration
// into the shared style and invalidates every open window of the system, each repainting on its
// next pump. An editor that opens later finds the stored configuration (ApplyStored), also one
// opened by another process after the change.
//
// Threads: GUI thread (the host's UI thread). File access and the style load allocate.

#include "gui/styles/MStyleConfiguration.h"

#include <cstdint>

class MWindowSystemCommon;
class MTexturedStyle;

namespace MStyleSettings
{
inline constexpr const char* kSectionName = "StyleConfiguration";

/// Whether Load writes the fresh item when there is none.
enum class FreshItem
{
  Keep,  ///< opening an editor writes no file
  Write, ///< the general settings sheet, where the configuration lives
};
/// The stored configuration; when there is none the fresh item, written with FreshItem::Write
/// (unless the general settings file cannot be read: that stays untouched; a failing write only
/// loses the record, the fresh item is still answered).
MTexturedStyleConfiguration Load(FreshItem fresh = FreshItem::Keep);
/// Stores `configuration`; false with `error` set when the general settings cannot be written.
bool Save(const MTexturedStyleConfiguration& configuration, MString& error);

/// The textured default style of `system`, or null (no style, or one of another kind).
MTexturedStyle* SharedStyle(const MWindowSystemCommon& system);
/// Makes the shared style draw `configuration` (nothing when it already does) and invalidates
/// every open window of `system`. False when there is no textured style or it could not load the
/// configuration (it then draws as before). Never throws.
bool Apply(MWindowSystemCommon& system, const MTexturedStyleConfiguration& configuration);
/// Apply with the stored configuration: called as an editor opens.
bool ApplyStored(MWindowSystemCommon& system);
/// Called from an open editor's idle: at most once per kFollowMs (the system's clock) it looks
/// at the general settings file's time and applies the stored configuration when the file
/// changed since the last look, so editors of other processes (hosts that run each plug-in in a
/// process of its own) follow a choice made in one of them. Answers whether it applied.
inline constexpr std::uint64_t kFollowMs = 1000;
bool FollowStored(MWindowSystemCommon& system);
} // namespace MStyleSettings
