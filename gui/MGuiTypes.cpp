#include "gui/MGuiTypes.h"

#include "base/MException.h"
#include "base/MFormat.h"

namespace
{
constexpr const char* kColorOpNames[kColorOpCount] = {
    "None",
    "Alphablend",
    "Modulate",
    "Copy",
    "Overlay",
    "Color",
    "Invert",
    "Add",
    "Subtract",
    "Lighten",
    "Darken",
    "Difference",
    "IncContrast",
    "DecContrast",
    "LightenByContrast",
    "DarkenByContrast",
    "AddAndOverflow",
};
constexpr const char* kBitmapFillNames[kBitmapFillCount] = {"Stretch", "HPattern", "VPattern", "Pattern"};

// Alignment names by value; values 3, 7 and above 10 have none.
constexpr const char* kAlignmentNames[11] = {
    "center,center", "left,center", "right,center",  nullptr,       "center,top",   "left,top",
    "right,top",     nullptr,       "center,bottom", "left,bottom", "right,bottom",
};

// Names are compared with ASCII case folded only (no accent folding: these are identifiers).
bool EqualsAsciiFolded(const MString& a, const char* b)
{
  std::int32_t i = 0;
  for (; b[i] != 0; ++i)
  {
    char16_t x = a.At(i);
    char16_t y = static_cast<unsigned char>(b[i]);
    if (x >= u'A' && x <= u'Z')
      x = char16_t(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z')
      y = char16_t(y - u'A' + u'a');
    if (x != y || i >= a.Length())
      return false;
  }
  return i == a.Length();
}
} // namespace

MColor MColor::Parse(const MString& text)
{
  const std::int32_t length = text.Length();
  if (length == 6 || length == 8)
  {
    std::uint8_t bytes[4] = {0, 0, 0, 255};
    bool valid = true;
    for (std::int32_t i = 0; i < length && valid; i += 2)
    {
      const int high = MString::HexDigitValue(text.At(i));
      const int low = MString::HexDigitValue(text.At(i + 1));
      valid = high >= 0 && low >= 0;
      bytes[i / 2] = std::uint8_t(high * 16 + low);
    }
    if (valid)
      return MColor{bytes[0], bytes[1], bytes[2], bytes[3]};
  }
  throw MException(MFormat::Format("Invalid color ({0}).", text));
}

MString MColor::ToText() const
{
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char16_t out[8];
  const std::uint8_t bytes[4] = {r, g, b, a};
  for (int i = 0; i < 4; ++i)
  {
    out[2 * i] = char16_t(kDigits[bytes[i] >> 4]);
    out[2 * i + 1] = char16_t(kDigits[bytes[i] & 15]);
  }
  return MString(out, 8);
}

MString ColorOpName(MColorOp op)
{
  const auto index = static_cast<std::int32_t>(op);
  return index >= 0 && index < kColorOpCount ? MString::FromLiteral(kColorOpNames[index]) : MString();
}

MColorOp ParseColorOp(const MString& name)
{
  for (int i = 0; i < kColorOpCount; ++i)
    if (EqualsAsciiFolded(name, kColorOpNames[i]))
      return static_cast<MColorOp>(i);
  throw MException(MFormat::Format("Invalid MColorOp identifier to parse ({0}).", name));
}

MString BitmapFillName(MBitmapFill fill)
{
  const auto index = static_cast<std::int32_t>(fill);
  return index >= 0 && index < kBitmapFillCount ? MString::FromLiteral(kBitmapFillNames[index]) : MString();
}

MBitmapFill ParseBitmapFill(const MString& name)
{
  for (int i = 0; i < kBitmapFillCount; ++i)
    if (EqualsAsciiFolded(name, kBitmapFillNames[i]))
      return static_cast<MBitmapFill>(i);
  throw MException(MFormat::Format("Invalid MBitmapFill identifier to parse ({0}).", name));
}

MString AlignmentName(MAlignment alignment)
{
  if (alignment < 11 && kAlignmentNames[alignment] != nullptr)
    return MString::FromLiteral(kAlignmentNames[alignment]);
  return MString();
}

MAlignment ParseAlignment(const MString& name)
{
  for (int i = 0; i < 11; ++i)
    if (kAlignmentNames[i] != nullptr && EqualsAsciiFolded(name, kAlignmentNames[i]))
      return static_cast<MAlignment>(i);
  throw MException(MFormat::Format("Invalid MAlignment identifier to parse ({0}).", name));
}
