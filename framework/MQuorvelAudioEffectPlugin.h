#pragma once
// MQuorvelAudioEffectPlugin: the plug-in class every effect of the family is hosted in.
//
// It adds to the adapter what all these effects share in their state: eight preset slots (A to
// H, index 0..7) of which one is active, and the automatic-gain switch. The live plug-in state is
// the state of the active slot; each other slot keeps a copy of its own state item. Editor
// features (slot buttons, morphing, settings window) come with the editor.
//
// Threads: as the adapter; the slots are touched on the host and GUI threads only.

#include "base/MXmlItem.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"

#include <array>
#include <cstdint>

class MQuorvelAudioEffectPlugin : public MAudioEffectPluginToAudioPluginAdapter
{
public:
  static constexpr std::int32_t kPresetSlots = 8;

  MQuorvelAudioEffectPlugin();
  ~MQuorvelAudioEffectPlugin() override;

  /// "AGC", "PresetIndex", the inactive slots as sub-items "Preset0" .. "Preset7", then the
  /// adapter's part. A "PresetIndex" outside 0..7 is ignored.
  void Store(MStoreContext& context) override;

  std::int32_t GetPresetIndex() const noexcept { return m_presetIndex; }
  std::int32_t GetRequestedPresetIndex() const noexcept { return m_requestedPresetIndex; }
  /// The stored state of slot `index` (0..7); an empty item outside the range.
  const MXmlItem& GetPresetSlot(std::int32_t index) const;
  /// Replaces the stored state of slot `index` (ignored outside 0..7).
  void SetPresetSlot(std::int32_t index, const MXmlItem& settings);
  bool IsAGCEnabled() const noexcept { return m_agc; }
  void SetAGCEnabled(bool enabled) noexcept { m_agc = enabled; }

  /// Pointer to the plug-in itself and its name once more, as the module's creation stores them.
  MQuorvelAudioEffectPlugin* m_self = nullptr;
  MString m_productName;

private:
  MRelaxed<bool> m_agc{false};
  std::int32_t m_presetIndex = 0;
  std::int32_t m_requestedPresetIndex = 0;
  std::array<MXmlItem, kPresetSlots> m_presetSlots;
};
