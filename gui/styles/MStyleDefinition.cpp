#include "gui/styles/MStyleDefinition.h"

#include "base/MEnumerations.h"
#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MXmlItem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace
{
[[noreturn]] void Invalid(const MString& key, const MString& value)
{
  throw MException(MFormat::Format("Invalid value \"{1}\" for \"{0}\" in the style definition.", key, value));
}

std::int32_t ParseInt(const MString& key, const MString& text, std::int32_t low, std::int32_t high)
{
  const std::string narrow = text.ToNarrow();
  char* end = nullptr;
  const long value = std::strtol(narrow.c_str(), &end, 10);
  if (narrow.empty() || end != narrow.c_str() + narrow.size() || value < low || value > high)
    Invalid(key, text);
  return std::int32_t(value);
}

double ParseReal(const MString& key, const MString& text, double low, double high)
{
  const std::string narrow = text.ToNarrow();
  char* end = nullptr;
  const double value = std::strtod(narrow.c_str(), &end);
  if (narrow.empty() || end != narrow.c_str() + narrow.size() || !std::isfinite(value) || value < low ||
      value > high)
    Invalid(key, text);
  return value;
}

bool ParseBool(const MString& key, const MString& text)
{
  if (text == "1" || text.EqualsName("true"))
    return true;
  if (text == "0" || text.EqualsName("false"))
    return false;
  Invalid(key, text);
}

MColor ParseColorValue(const MString& key, const MString& text)
{
  try
  {
    return MColor::Parse(text);
  }
  catch (const MException&)
  {
    Invalid(key, text);
  }
}

/// Splits "a,b,c" (blanks around the parts dropped, empty parts skipped).
std::vector<MString> SplitList(const MString& text)
{
  std::vector<MString> parts;
  std::int32_t start = 0;
  while (start <= text.Length())
  {
    std::int32_t comma = text.Find(u',', start);
    if (comma < 0)
      comma = text.Length();
    std::int32_t a = start, b = comma;
    while (a < b && text.At(a) == u' ')
      ++a;
    while (b > a && text.At(b - 1) == u' ')
      --b;
    if (b > a)
      parts.push_back(text.Substring(a, b - a));
    start = comma + 1;
  }
  return parts;
}

/// Reads the value of `key` when present; answers whether it was.
bool Has(const MXmlItem& item, const char* key)
{
  return item.HasAttribute(MString::FromLiteral(key));
}

// Small readers that leave the field alone when the attribute is absent.
void ReadInt(const MXmlItem& item, const char* key, std::int32_t low, std::int32_t high, std::int32_t& field)
{
  if (Has(item, key))
    field = ParseInt(MString::FromLiteral(key), item.GetAttribute(), low, high);
}

void ReadReal(const MXmlItem& item, const char* key, double low, double high, double& field)
{
  if (Has(item, key))
    field = ParseReal(MString::FromLiteral(key), item.GetAttribute(), low, high);
}

void ReadBool(const MXmlItem& item, const char* key, bool& field)
{
  if (Has(item, key))
    field = ParseBool(MString::FromLiteral(key), item.GetAttribute());
}

void ReadText(const MXmlItem& item, const char* key, MString& field)
{
  if (Has(item, key))
    field = item.GetAttribute();
}

void ReadAlpha(const MXmlItem& item, const char* key, std::int32_t& field)
{
  ReadInt(item, key, 0, 255, field);
}

MStdFont ParseFont(const MString& key, const MString& text)
{
  const int index = MEnumerations::StdFont().Find(text);
  if (index < 0)
    Invalid(key, text);
  return MStdFont(index);
}

void ReadCaption(const MXmlItem& item, MStyleCaption& caption)
{
  ReadText(item, "image", caption.image);
  if (Has(item, "captiontextcolor"))
    caption.textColor = ParseColorValue("captiontextcolor", item.GetAttribute());
  if (Has(item, "captiontextop"))
    caption.textOp = ParseColorOp(item.GetAttribute());
  if (Has(item, "captionfont"))
    caption.font = ParseFont("captionfont", item.GetAttribute());
  ReadInt(item, "captionheight", 0, 256, caption.height);
  ReadInt(item, "topborder", 0, 256, caption.topBorder);
  ReadInt(item, "captionimageheight", 0, 256, caption.imageHeight);
  ReadInt(item, "contenttopborder", 0, 256, caption.contentTopBorder);
  ReadInt(item, "contentbottomborder", 0, 256, caption.contentBottomBorder);
  ReadInt(item, "contentleftborder", 0, 256, caption.contentLeftBorder);
  ReadInt(item, "contentrightborder", 0, 256, caption.contentRightBorder);
  ReadInt(item, "captiontextoffset", -256, 256, caption.textOffset);
  ReadBool(item, "backgroundundercaption", caption.backgroundUnderCaption);
  ReadBool(item, "centertext", caption.centerText);
}

void ReadElement(const MXmlItem& item, MStyleElement& element)
{
  element.present = true;
  for (int s = 0; s < MStyleElement::StateCount; ++s)
  {
    ReadText(item, MStyleElement::kStateKeys[s], element.images[std::size_t(s)]);
    ReadAlpha(item, MStyleElement::kStateAlphaKeys[s], element.alphas[std::size_t(s)]);
  }
  ReadAlpha(item, "alpha", element.alpha);
  ReadInt(item, "borderx", 0, 1024, element.borderX);
  ReadInt(item, "bordery", 0, 1024, element.borderY);
  ReadInt(item, "contentoffsetx", -256, 256, element.contentOffsetX);
  ReadInt(item, "contentoffsety", -256, 256, element.contentOffsetY);
  // The element's own "image" is a control key (check mark), not a caption image.
  MString ownImage;
  ReadText(item, "image", ownImage);
  ReadCaption(item, element.caption);
  element.caption.image = MString();
  element.image = ownImage;
  static constexpr const char* kCaptionSizes[3] = {"smallcaption", "normalcaption", "largecaption"};
  for (std::size_t i = 0; i < 3; ++i)
    if (item.HasSubItem(MString::FromLiteral(kCaptionSizes[i])))
    {
      MStyleCaption caption = element.caption;
      ReadCaption(item.GetSubItem(), caption);
      element.captionSizes[i] = caption;
    }
  ReadText(item, "grayed", element.grayed);
  ReadText(item, "off", element.off);
  ReadText(item, "selector", element.selector);
  ReadReal(item, "baseangle", 0, 360, element.baseAngle);
  ReadReal(item, "selectorratio", 0, 1, element.selectorRatio);
  ReadText(item, "locator", element.locator);
  ReadText(item, "item", element.item);
  ReadText(item, "selecteditem", element.selectedItem);
  ReadInt(item, "contentmovex", -64, 64, element.contentMoveX);
  ReadInt(item, "contentmovey", -64, 64, element.contentMoveY);
  ReadInt(item, "hspace", 0, 256, element.hSpace);
}
} // namespace

const MString& MStyleElement::ImageFor(State state) const
{
  static const MString kNone;
  const MString& own = images[std::size_t(state)];
  if (!own.IsEmpty())
    return own;
  switch (state)
  {
  case FocusedHighlighted:
    return !images[Highlighted].IsEmpty() ? images[Highlighted] : images[Normal];
  case ClickedHighlighted:
    return !images[Clicked].IsEmpty() ? images[Clicked] : images[Normal];
  case Normal:
    return kNone;
  default:
    return images[Normal];
  }
}

std::vector<MString> MStyleElement::AllImages() const
{
  std::vector<MString> names(images.begin(), images.end());
  for (const MString* name : {&image, &grayed, &off, &selector, &locator, &item, &selectedItem})
    names.push_back(*name);
  for (const auto& caption : captionSizes)
    if (caption)
      names.push_back(caption->image);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  names.erase(std::remove_if(names.begin(), names.end(), [](const MString& n) { return n.IsEmpty(); }),
              names.end());
  return names;
}

int MStyleDefinition::ElementIndexOf(MControlType type)
{
  switch (type)
  {
  case MControlType::Window:
    return 0;
  case MControlType::Panel:
    return 1;
  case MControlType::Control:
    return 2;
  case MControlType::Static:
    return 3;
  case MControlType::Edit:
    return 4;
  case MControlType::Menu:
    return 5;
  case MControlType::MenuBar:
    return 6;
  case MControlType::Button:
    return 7;
  case MControlType::CaptionButton:
    return 8;
  case MControlType::CheckBox:
    return 9;
  case MControlType::Tracker:
    return 11;
  case MControlType::Rotator:
    return 12;
  case MControlType::ProgressBar:
    return 13;
  case MControlType::Switcher:
    return 14;
  case MControlType::Knob:
    return 16;
  case MControlType::HScrollBar:
    return 17;
  case MControlType::VScrollBar:
    return 18;
  case MControlType::TabSet:
    return 19;
  case MControlType::ListBox:
    return 21;
  case MControlType::TreeControl:
    return 22;
  default:
    return -1;
  }
}

const MStyleElement* MStyleDefinition::ElementFor(MControlType type) const
{
  const int index = ElementIndexOf(type);
  return index >= 0 && m_elements[std::size_t(index)].present ? &m_elements[std::size_t(index)] : nullptr;
}

void MStyleDefinition::Read(const MXmlItem& root)
{
  *this = MStyleDefinition();
  ReadText(root, "bitmap", bitmap);
  if (Has(root, "colors"))
  {
    const MString list = root.GetAttribute();
    for (const MString& part : SplitList(list))
    {
      const std::int32_t colon = part.Find(u':');
      if (colon <= 0)
        Invalid("colors", list);
      colors.emplace_back(part.Substring(0, colon), ParseColorValue("colors", part.Substring(colon + 1)));
    }
  }
  ReadAlpha(root, "disabledalpha", disabledAlpha);
  ReadAlpha(root, "focusedalpha", focusedAlpha);
  ReadAlpha(root, "highlightedalpha", highlightedAlpha);
  ReadAlpha(root, "clickedalpha", clickedAlpha);

  for (int i = 0; i < root.GetSubItemCount(); ++i)
  {
    const MXmlItem& child = root.GetSubItemAt(i);
    const MString& name = child.GetName();
    if (name.EqualsName("fonts"))
    {
      for (int f = 0; f < child.GetSubItemCount(); ++f)
      {
        const MXmlItem& font = child.GetSubItemAt(f);
        MStyleFontEntry entry;
        if (Has(font, "name"))
          entry.id = ParseFont("name", font.GetAttribute());
        else if (Has(font, "id"))
          entry.id = MStdFont(ParseInt("id", font.GetAttribute(), 0, kStdFontCount - 1));
        else
          continue;
        ReadText(font, "face", entry.face);
        ReadInt(font, "width", 0, 512, entry.width);
        ReadInt(font, "height", 1, 512, entry.height);
        ReadBool(font, "italic", entry.italic);
        ReadBool(font, "bold", entry.bold);
        if (Has(font, "align"))
          entry.align = ParseAlignment(font.GetAttribute());
        ReadInt(font, "spacebetweenchars", -16, 64, entry.spaceBetweenChars);
        fonts[std::size_t(entry.id)] = entry;
      }
    }
    else if (name.EqualsName("cursor"))
    {
      MStyleCursorEntry entry;
      if (!Has(child, "name"))
        continue;
      const int id = MEnumerations::StdCursor().Find(child.GetAttribute());
      if (id < 0)
        Invalid("cursor", child.GetAttribute());
      entry.id = MStdCursor(id);
      cursors.push_back(entry);
    }
    else
    {
      for (int e = 0; e < kElementCount; ++e)
        if (name.EqualsName(MString::FromLiteral(kElementNames[e])))
          ReadElement(child, m_elements[std::size_t(e)]);
    }
  }
}
