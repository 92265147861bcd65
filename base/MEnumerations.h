#pragma once
// The enumerations whose values are edited through MValueEnum, as name tables.
//
// The enumeration types themselves belong to their owners (threads, controls, styles, locale);
// an owner binds its type to its table by specialising MEnumTraits (MValueEnum.h):
//     template <> struct MEnumTraits<MStdIcon>
//     { static const MEnumeration& Get() { return MEnumerations::StdIcon(); } };
// Item order is the enumerator order.

#include "base/MEnumeration.h"

namespace MEnumerations
{

const MEnumeration& ThreadPriority();         ///< 7: "Idle" .. "Critical"
const MEnumeration& ControlType();            ///< 22: "empty" .. "menubar"
const MEnumeration& CaptionType();            ///< 4: "none", "small", "normal", "large"
const MEnumeration& StdCursor();              ///< 14: "arrow" .. "hollow"
const MEnumeration& HorizontalObjectLayout(); ///< 3: "Left", "Center", "Right"
const MEnumeration& VerticalObjectLayout();   ///< 3: "Top", "Center", "Bottom"
const MEnumeration& CheckBoxState();          ///< 3: "off", "on", "grayed"
const MEnumeration& ModalValue();             ///< 5: "none", "ok", "cancel", "yes", "no"
const MEnumeration& StdColor();               ///< 8: "text" .. "blue"
const MEnumeration& StdFont();                ///< 8: "normal" .. "large4"
const MEnumeration& StdBitmap();              ///< 5: "yes" .. "exclamation"
const MEnumeration& StdIcon();                ///< 53: "left" .. "phone"
const MEnumeration& LocaleLanguage();         ///< 142 language names, "Neutral" first
const MEnumeration& LocaleCountry();          ///< 241 country and territory names

} // namespace MEnumerations
