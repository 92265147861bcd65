#pragma once
// The key translation both host interfaces share: VST 2.4 (effEditKeyDown/Up) and VST 3
// (IPlugView::onKeyDown/Up) number their virtual keys and modifier bits the same way, and the
// toolkit wants Windows virtual keys (MVirtualKey) and its own modifier bits.

#include "gui/MWindowSystem.h"

#include <cstdint>

namespace MHostEditorKeys
{
/// Fills `event` with the KeyDown/KeyUp for the host's key: `virtualKey` in the hosts' numbering
/// (1 = back space ... 57 = equals; 0 = none), else `character` (letters and digits become their
/// upper-case key, other printable characters a Character event on key down). `modifiers`: bit 0
/// shift, 1 alternate, 3 control. When a letter or digit goes down, `typed` (if given) receives
/// the Character event of the character as typed (else its code becomes KeyUp, meaning none); so
/// does the space key (virtual key 7).
/// Answers false for a key that has no translation (unknown numbers, control characters, values
/// out of range).
bool Translate(bool down, std::int32_t character, std::int32_t virtualKey, std::uint32_t modifiers,
               MSystemEvent& event, MSystemEvent* typed = nullptr);
} // namespace MHostEditorKeys
