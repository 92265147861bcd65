#include "gui/styles/MTexturedStyle.h"

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "gui/MDrawer.h"
#include "gui/MDrawerToMBitmap.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.14159265358979323846;

[[noreturn]] void NoDefinition()
{
  throw MException(MString::FromLiteral(MTexturedStyle::kMessageNoDefinition));
}

const MXmlItem& ReadIndex(const MStylePackage& package, MXmlItem& index)
{
  if (!package.Has(MString::FromLiteral(MStylePackage::kIndexName)))
    NoDefinition();
  const auto bytes = package.Get(MString::FromLiteral(MStylePackage::kIndexName));
  MMemoryStream stream(bytes.data(), bytes.size());
  MXmlReader::Read(stream, index);
  return index;
}

/// (name, definition entry) of every style of the index.
std::vector<std::pair<MString, MString>> IndexStyles(const MStylePackage& package)
{
  MXmlItem index;
  ReadIndex(package, index);
  std::vector<std::pair<MString, MString>> styles;
  for (int i = 0; i < index.GetSubItemCount(); ++i)
  {
    const MXmlItem& item = index.GetSubItemAt(i);
    if (item.GetName().EqualsName("style") && item.HasAttribute("name"))
      styles.emplace_back(item.GetAttribute("name", MString()), item.GetAttribute("definition", MString()));
  }
  if (styles.empty())
    throw MException(MString::FromLiteral(MTexturedStyle::kMessageNoStyles));
  return styles;
}

// Whether some control type is drawn with element `index`.
bool IsDrawn(int index)
{
  for (int type = 0; type <= int(MControlType::MenuBar); ++type)
    if (MStyleDefinition::ElementIndexOf(MControlType(type)) == index)
      return true;
  return false;
}

// The image names of an element that PaintBody, PaintIndicator, PaintCaption and PaintRow read
// (the captions are taken separately).
std::vector<const MString*> DrawnImages(const MStyleElement& element)
{
  std::vector<const MString*> names;
  for (const MString& state : element.images)
    names.push_back(&state);
  for (const MString* name : {&element.image, &element.grayed, &element.off, &element.selector,
                              &element.locator, &element.item, &element.selectedItem})
    names.push_back(name);
  return names;
}

double Clamp01(double v)
{
  return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

} // namespace

MTexturedStyle::MTexturedStyle(const MTexturedStyleConfiguration& configuration)
    : MTexturedStyle(MStylePackage::FindResource(MString::FromLiteral(MStylePackage::kResourceName)),
                     configuration)
{}

MTexturedStyle::MTexturedStyle(std::span<const std::uint8_t> package,
                               const MTexturedStyleConfiguration& configuration)
    : MBaseStyle(configuration, "Default")
{
  if (package.empty())
    NoDefinition();
  m_package = MStylePackage(package);
  Load(configuration);
}

MTexturedStyle::~MTexturedStyle() = default;

std::vector<MString> MTexturedStyle::ListStyles(const MStylePackage& package)
{
  std::vector<MString> names;
  for (const auto& style : IndexStyles(package))
    names.push_back(style.first);
  return names;
}

MString MTexturedStyle::DefaultStyle(const MStylePackage& package)
{
  MXmlItem index;
  ReadIndex(package, index);
  const std::vector<MString> names = ListStyles(package);
  const MString wanted = index.GetAttribute("default", MString());
  for (const MString& name : names)
    if (name.EqualsName(wanted))
      return name;
  return names.front();
}

void MTexturedStyle::Load(const MTexturedStyleConfiguration& configuration)
{
  const auto styles = IndexStyles(m_package);
  MString wanted = configuration.style.IsEmpty() ? DefaultStyle(m_package) : configuration.style;
  auto found =
      std::find_if(styles.begin(), styles.end(), [&](const auto& s) { return s.first.EqualsName(wanted); });
  if (found == styles.end())
  {
    wanted = DefaultStyle(m_package);
    found =
        std::find_if(styles.begin(), styles.end(), [&](const auto& s) { return s.first.EqualsName(wanted); });
  }
  const MString& definitionName = found->second;
  if (definitionName.IsEmpty() || !m_package.Has(definitionName))
    NoDefinition();

  MXmlItem root;
  {
    const auto bytes = m_package.Get(definitionName);
    MMemoryStream stream(bytes.data(), bytes.size());
    MXmlReader::Read(stream, root);
  }
  MStyleDefinition definition;
  definition.Read(root);

  const std::int32_t slash = definitionName.FindLast(u'/');
  const MString folder = slash >= 0 ? definitionName.Substring(0, slash + 1) : MString();
  const MStyleTint tint(configuration);

  // The bitmaps the painters below draw, decoded and tinted with the slot of their element.
  // Elements no control type is drawn with (radio buttons, value buttons, control check boxes,
  // splitters) and keys no painter reads (a knob's value button, selector overlays, check-box
  // control icons, the global window bitmap, which the window element names again) are not
  // decoded: no control shows them.
  std::map<std::string, MBitmap> images;
  const auto loadImage = [&](const MString& name, int slot) {
    if (name.IsEmpty() || images.count(name.ToNarrow()) != 0)
      return;
    const auto bytes = m_package.Get(folder + name);
    MBitmap bitmap = MBitmap::LoadPNG(bytes.data(), bytes.size());
    tint.Apply(bitmap, slot);
    images.emplace(name.ToNarrow(), std::move(bitmap));
  };
  for (int e = 0; e < MStyleDefinition::kElementCount; ++e)
  {
    const MStyleElement& element = definition.Element(e);
    if (!element.present || !IsDrawn(e))
      continue;
    for (const auto& caption : element.captionSizes)
      if (caption)
        loadImage(caption->image, MStyleTint::kCaptionSlot);
    for (const MString* name : DrawnImages(element))
      loadImage(*name, MStyleTint::SlotOf(e));
  }

  // The palette of everything drawn without images.
  MBaseStyleConfiguration palette = MBaseStyleConfiguration::Dark();
  for (const auto& [name, color] : definition.colors)
    palette.SetNamedColor(name, color);
  for (MColor* color : {&palette.background, &palette.surface, &palette.raised, &palette.sunken,
                        &palette.border, &palette.text, &palette.textDisabled, &palette.accentText})
    *color = tint.Apply(*color, 0);
  palette.accent = tint.Apply(palette.accent, 1);
  if (definition.fonts[0])
    palette.fontSize = std::clamp(definition.fonts[0]->height, 9, 20);

  // Commit.
  m_definition = std::move(definition);
  m_scaled.clear();
  m_scaledPixels = 0;
  m_images = std::move(images);
  m_folder = folder;
  m_name = found->first;
  m_configuration = configuration;
  const MStyleElement* knob = m_definition.ElementFor(MControlType::Knob);
  m_knobHalfSweep = knob != nullptr ? std::clamp(knob->baseAngle, 10.0, 180.0) * kPi / 180.0 : kKnobEndAngle;
  SetPalette(palette);
  std::array<MFontDescriptor, kStdFontCount> fonts = DefaultFonts(palette.fontSize);
  for (std::size_t i = 0; i < fonts.size(); ++i)
    if (const auto& entry = m_definition.fonts[i])
    {
      if (!entry->face.IsEmpty())
        fonts[i].face = entry->face;
      if (entry->height > 0)
        fonts[i].pixelHeight = std::clamp(entry->height, 6, 96);
      fonts[i].bold = entry->bold;
      fonts[i].italic = entry->italic;
      fonts[i].extraSpacing = entry->spaceBetweenChars;
    }
  SetFonts(fonts);
  Changed(); // the images changed even when the palette stayed
}

MPoint MTexturedStyle::PressedContentShift(MControlType type) const
{
  const MStyleElement* element = m_definition.ElementFor(type);
  return element != nullptr ? MPoint{element->contentMoveX, element->contentMoveY}
                            : MBaseStyle::PressedContentShift(type);
}

void MTexturedStyle::SetConfiguration(const MTexturedStyleConfiguration& configuration)
{
  Load(configuration);
}

void MTexturedStyle::LoadConfiguration(const MXmlItem& item)
{
  MTexturedStyleConfiguration configuration = m_configuration;
  configuration.Load(item);
  Load(configuration);
}

void MTexturedStyle::SaveConfiguration(MXmlItem& item) const
{
  m_configuration.Save(item);
}

const MBitmap* MTexturedStyle::GetImage(const MString& name) const
{
  if (name.IsEmpty())
    return nullptr;
  const auto found = m_images.find(name.ToNarrow());
  return found != m_images.end() && !found->second.IsEmpty() ? &found->second : nullptr;
}

const MTexturedStyle::ControlCaptionInstance* MTexturedStyle::GetCaption(MControlType type,
                                                                         MCaptionType captionType) const
{
  const MStyleElement* element = m_definition.ElementFor(type);
  const int size = int(captionType) - 1;
  if (element == nullptr || size < 0 || size > 2 || !element->captionSizes[std::size_t(size)])
    return nullptr;
  return &*element->captionSizes[std::size_t(size)];
}

std::vector<MTexturedStyle::SpecialCaptionButtonTag>
MTexturedStyle::CaptionButtons(const MRect& bar, std::span<const MString> tags) const
{
  std::vector<SpecialCaptionButtonTag> buttons;
  const std::int32_t side = std::max(bar.Height() - 4, 0);
  std::int32_t right = bar.right - 2;
  for (const MString& tag : tags)
  {
    if (right - side < bar.left)
      break;
    buttons.push_back(
        SpecialCaptionButtonTag{tag, MRect{right - side, bar.top + 2, right, bar.top + 2 + side}});
    right -= side + 2;
  }
  return buttons;
}

std::int32_t MTexturedStyle::CaptionHeightOf(MControlType type, MCaptionType captionType) const
{
  const ControlCaptionInstance* caption = GetCaption(type, captionType);
  return caption != nullptr && caption->height >= 0 ? caption->height
                                                    : MBaseStyle::CaptionHeightOf(type, captionType);
}

MRect MTexturedStyle::InsetsOf(MControlType type, MCaptionType captionType) const
{
  MRect insets = MBaseStyle::InsetsOf(type, captionType);
  const MStyleElement* element = m_definition.ElementFor(type);
  if (element == nullptr)
    return insets;
  if (type == MControlType::CheckBox && element->hSpace > 0)
    insets.left = CheckBoxBox(MRect{0, 0, 64, 64}).right + element->hSpace;
  const ControlCaptionInstance* caption = GetCaption(type, captionType);
  const MStyleCaption& c = caption != nullptr ? *caption : element->caption;
  if (c.contentLeftBorder >= 0)
    insets.left = c.contentLeftBorder;
  if (c.contentTopBorder >= 0)
    insets.top = c.contentTopBorder;
  if (c.contentRightBorder >= 0)
    insets.right = c.contentRightBorder;
  if (c.contentBottomBorder >= 0)
    insets.bottom = c.contentBottomBorder;
  return insets;
}

MStyleElement::State MTexturedStyle::StateOf(const MControlPaint& paint) const
{
  if (paint.disabled)
    return MStyleElement::Disabled;
  if (paint.clicked)
    return paint.highlighted ? MStyleElement::ClickedHighlighted : MStyleElement::Clicked;
  if (paint.highlighted)
    return paint.focused ? MStyleElement::FocusedHighlighted : MStyleElement::Highlighted;
  return paint.focused ? MStyleElement::Focused : MStyleElement::Normal;
}

std::uint8_t MTexturedStyle::AlphaOf(const MStyleElement& element, MStyleElement::State state) const
{
  if (element.alphas[std::size_t(state)] >= 0)
    return std::uint8_t(element.alphas[std::size_t(state)]);
  if (element.alpha >= 0)
    return std::uint8_t(element.alpha);
  switch (state)
  {
  case MStyleElement::Disabled:
    return std::uint8_t(m_definition.disabledAlpha);
  case MStyleElement::Focused:
  case MStyleElement::FocusedHighlighted:
    return std::uint8_t(m_definition.focusedAlpha);
  case MStyleElement::Highlighted:
    return std::uint8_t(m_definition.highlightedAlpha);
  case MStyleElement::Clicked:
  case MStyleElement::ClickedHighlighted:
    return std::uint8_t(m_definition.clickedAlpha);
  default:
    return 255;
  }
}

bool MTexturedStyle::DrawImage(MDrawer& drawer, const MStyleElement& element, const MString& image,
                               const MRect& rect, std::uint8_t alpha) const
{
  return DrawImage(drawer, image, rect, element.borderX, element.borderY, alpha);
}

bool MTexturedStyle::DrawImage(MDrawer& drawer, const MString& image, const MRect& rect, std::int32_t borderX,
                               std::int32_t borderY, std::uint8_t alpha) const
{
  const MBitmap* bitmap = GetImage(image);
  if (bitmap == nullptr)
    return false;
  if (!rect.IsEmpty())
  {
    const std::int32_t bx = std::min({borderX, bitmap->Width() / 2, rect.Width() / 2});
    const std::int32_t by = std::min({borderY, bitmap->Height() / 2, rect.Height() / 2});
    const MBitmap& scaled = Scaled(*bitmap, MSize{rect.Width(), rect.Height()}, bx, by);
    if (scaled.IsEmpty())
      drawer.DrawBordered(rect, *bitmap, bx, by, MBitmapFill::Stretch, MColorOp::Alphablend, alpha);
    else
      drawer.BitBlt(rect.left, rect.top, scaled, scaled.Bounds(), MColorOp::Alphablend, alpha);
  }
  return true;
}

void MTexturedStyle::DrawCentred(MDrawer& drawer, const MString& image, double cx, double cy, double size,
                                 std::uint8_t alpha) const
{
  const MBitmap* bitmap = GetImage(image);
  if (bitmap == nullptr || !(size >= 1))
    return;
  const std::int32_t side = std::int32_t(std::lround(size));
  const MRect dest = MRect::FromSize(std::int32_t(std::lround(cx - side / 2.0)),
                                     std::int32_t(std::lround(cy - side / 2.0)), side, side);
  const MBitmap& scaled = Scaled(*bitmap, MSize{side, side}, 0, 0);
  if (scaled.IsEmpty())
    drawer.StretchBlt(dest, *bitmap, bitmap->Bounds(), MColorOp::Alphablend, alpha);
  else
    drawer.BitBlt(dest.left, dest.top, scaled, scaled.Bounds(), MColorOp::Alphablend, alpha);
}

const MBitmap& MTexturedStyle::Scaled(const MBitmap& source, MSize size, std::int32_t bx,
                                      std::int32_t by) const
{
  static const MBitmap kNone;
  // Only sizes a window could show; anything else is drawn directly each time.
  if (size.x <= 0 || size.y <= 0 || size.x > MBaseBitmap::kMaxSide || size.y > MBaseBitmap::kMaxSide ||
      std::int64_t(size.x) * size.y > (std::int64_t(1) << 22))
    return kNone;
  const ScaledKey key{&source, size.x, size.y, bx, by};
  auto found = m_scaled.find(key);
  if (found == m_scaled.end())
  {
    const std::int64_t pixels = std::int64_t(size.x) * size.y;
    if (m_scaled.size() >= kScaledCacheEntries || m_scaledPixels + pixels > kScaledCachePixels)
    {
      // Drop the least recently used half, or everything when the pixels would pass the budget.
      std::vector<std::uint64_t> uses;
      for (const auto& entry : m_scaled)
        uses.push_back(entry.second.first);
      std::nth_element(uses.begin(), uses.begin() + std::ptrdiff_t(uses.size() / 2), uses.end());
      const std::uint64_t median = uses.empty() ? 0 : uses[uses.size() / 2];
      const bool all = m_scaledPixels + pixels > kScaledCachePixels;
      std::erase_if(m_scaled, [&](const auto& entry) {
        if (!all && entry.second.first >= median)
          return false;
        m_scaledPixels -= std::int64_t(entry.second.second.Width()) * entry.second.second.Height();
        return true;
      });
    }
    m_scaledPixels += pixels;
    MBitmap scaled(size.x, size.y);
    MDrawerToMBitmap drawer(scaled);
    drawer.DrawBordered(scaled.Bounds(), source, bx, by, MBitmapFill::Stretch, MColorOp::Copy, 255);
    found = m_scaled.emplace(key, std::make_pair(std::uint64_t(0), std::move(scaled))).first;
  }
  found->second.first = ++m_scaledClock;
  return found->second.second;
}

void MTexturedStyle::PaintBody(MDrawer& drawer, const MControlPaint& paint, const MRect& body)
{
  const MStyleElement* element = m_definition.ElementFor(paint.type);
  if (element == nullptr)
  {
    MBaseStyle::PaintBody(drawer, paint, body);
    return;
  }
  const MStyleElement::State state = StateOf(paint);
  const MString& image = element->ImageFor(state);
  const std::uint8_t alpha = AlphaOf(*element, state);
  const ControlCaptionInstance* caption = GetCaption(paint.type, paint.captionType);
  MRect target = body;
  if (caption != nullptr && caption->backgroundUnderCaption)
    target.top = paint.rect.top;
  target = target.Offset(element->contentOffsetX, element->contentOffsetY);
  bool drawn = false;
  switch (paint.type)
  {
  case MControlType::Tracker:
    // The state images are the thumb's; the groove is the base style's.
    MBaseStyle::PaintBody(drawer, paint, body);
    return;
  case MControlType::CheckBox:
    drawn = DrawImage(drawer, *element, image, CheckBoxBox(body), alpha);
    break;
  case MControlType::Knob:
  {
    const MRect square = KnobSquare(body);
    const double r = square.Width() / 2.0;
    if (GetImage(image) == nullptr)
      break;
    // The image is the body disc with its shadow; the ring around it is drawn as vectors.
    const double bodyRadius = KnobBodyRadius(r) + 2;
    DrawCentred(drawer, image, square.left + r, square.top + r, 2 * bodyRadius, alpha);
    PaintKnob(drawer, paint, body, MakeInk(paint), false, GetImage(element->selector) == nullptr);
    return;
  }
  case MControlType::Rotator:
  {
    if (GetImage(image) == nullptr)
      break;
    const MRect square = KnobSquare(body);
    drawer.StretchBlt(square, *GetImage(image), GetImage(image)->Bounds(), MColorOp::Alphablend, alpha);
    return;
  }
  default:
    drawn = DrawImage(drawer, *element, image, target, alpha);
    break;
  }
  if (!drawn)
    MBaseStyle::PaintBody(drawer, paint, body);
}

void MTexturedStyle::PaintIndicator(MDrawer& drawer, const MControlPaint& paint, const MRect& body)
{
  const MStyleElement* element = m_definition.ElementFor(paint.type);
  if (element == nullptr)
  {
    MBaseStyle::PaintIndicator(drawer, paint, body);
    return;
  }
  const MStyleElement::State state = StateOf(paint);
  const std::uint8_t alpha = AlphaOf(*element, state);
  const std::uint8_t opacity = paint.disabled ? std::uint8_t(m_definition.disabledAlpha) : 255;
  switch (paint.type)
  {
  case MControlType::CheckBox:
  {
    const MString& mark = paint.check == MCheckState::On       ? element->image
                          : paint.check == MCheckState::Grayed ? element->grayed
                                                               : element->off;
    if (GetImage(mark) != nullptr)
      DrawImage(drawer, *element, mark, CheckBoxBox(body), opacity);
    else if (paint.check != MCheckState::Off)
      MBaseStyle::PaintIndicator(drawer, paint, body);
    return;
  }
  case MControlType::Knob:
  case MControlType::Rotator:
  {
    if (paint.value < 0 || GetImage(element->selector) == nullptr)
    {
      if (paint.type == MControlType::Rotator || GetImage(element->ImageFor(state)) == nullptr)
        MBaseStyle::PaintIndicator(drawer, paint, body);
      return;
    }
    const MRect square = KnobSquare(body);
    const double r = square.Width() / 2.0;
    const double angle = paint.type == MControlType::Knob
                             ? -m_knobHalfSweep + 2 * m_knobHalfSweep * Clamp01(paint.value)
                             : Clamp01(paint.value) * 2 * kPi;
    const double inner = paint.type == MControlType::Knob ? KnobBodyRadius(r) : r;
    const double distance = inner * element->selectorRatio;
    const double size = std::max(4.0, inner * 0.42);
    DrawCentred(drawer, element->selector, square.left + r + std::sin(angle) * distance,
                square.top + r - std::cos(angle) * distance, size, opacity);
    return;
  }
  case MControlType::Tracker:
  {
    if (paint.value < 0)
      return;
    // The base draws fill and thumb; a thumb image replaces the thumb.
    const bool vertical = body.Height() > body.Width();
    const MRect inner = body.Inset(vertical ? 0 : 1, vertical ? 1 : 0);
    const MRect thumb = TrackerThumb(inner, paint.value);
    if (GetImage(element->ImageFor(state)) == nullptr)
    {
      MBaseStyle::PaintIndicator(drawer, paint, body);
      return;
    }
    // Fill only (the base thumb is drawn over it, then covered by the image).
    MBaseStyle::PaintIndicator(drawer, paint, body);
    DrawImage(drawer, *element, element->ImageFor(state), thumb, alpha);
    return;
  }
  case MControlType::HScrollBar:
  case MControlType::VScrollBar:
  {
    if (paint.value < 0)
      return;
    const MRect thumb =
        ScrollThumb(body, paint.type == MControlType::VScrollBar, paint.value, paint.value2).Inset(2, 2);
    if (!DrawImage(drawer, *element, element->locator, thumb, paint.clicked || paint.highlighted ? 255 : 220))
      MBaseStyle::PaintIndicator(drawer, paint, body);
    return;
  }
  case MControlType::ProgressBar:
  {
    if (paint.value <= 0)
      return;
    MRect fill = body;
    fill.right = body.left + std::int32_t(std::lround(Clamp01(paint.value) * body.Width()));
    if (fill.Width() < 2 * std::min(element->borderX, body.Width() / 2))
      fill.right = std::min(body.right, fill.left + 2 * element->borderX);
    if (!DrawImage(drawer, *element, element->image, fill, opacity))
      MBaseStyle::PaintIndicator(drawer, paint, body);
    return;
  }
  case MControlType::Switcher:
  {
    const MBitmap* thumbImage = GetImage(element->selector);
    if (thumbImage == nullptr)
    {
      MBaseStyle::PaintIndicator(drawer, paint, body);
      return;
    }
    const double value =
        paint.value >= 0 ? Clamp01(paint.value) : (paint.check == MCheckState::On ? 1.0 : 0.0);
    const std::int32_t side = std::min(body.Height(), 22);
    if (GetImage(element->image) != nullptr && value > 0)
    {
      MRect on{body.left, body.top + (body.Height() - side) / 2, 0, 0};
      on.bottom = on.top + side;
      on.right = body.left + side + std::int32_t(std::lround(value * (body.Width() - side)));
      DrawImage(drawer, *element, element->image, on, opacity);
    }
    const double cx = body.left + side / 2.0 + value * (body.Width() - side);
    DrawCentred(drawer, element->selector, cx, body.top + body.Height() / 2.0, side, opacity);
    return;
  }
  default:
    MBaseStyle::PaintIndicator(drawer, paint, body);
    return;
  }
}

void MTexturedStyle::PaintCaption(MDrawer& drawer, const MControlPaint& paint, const MRect& bar)
{
  const ControlCaptionInstance* caption = GetCaption(paint.type, paint.captionType);
  const MBitmap* image = caption != nullptr ? GetImage(caption->image) : nullptr;
  const MStyleElement* element = m_definition.ElementFor(paint.type);
  if (caption == nullptr || image == nullptr || element == nullptr)
  {
    MBaseStyle::PaintCaption(drawer, paint, bar);
    return;
  }
  MRect imageRect = bar;
  if (caption->imageHeight > 0)
    imageRect.bottom = std::min(bar.bottom, bar.top + caption->imageHeight);
  const std::uint8_t opacity = paint.disabled ? std::uint8_t(m_definition.disabledAlpha) : 255;
  const std::int32_t bx = std::min({element->borderX, image->Width() / 2, imageRect.Width() / 2});
  const std::int32_t by = std::min({element->borderY, image->Height() / 2, imageRect.Height() / 2});
  drawer.DrawBordered(imageRect, *image, bx, by, MBitmapFill::Stretch, MColorOp::Alphablend, opacity);
  const MStdFont font =
      caption->font.value_or(paint.captionType == MCaptionType::Small ? MStdFont::Small : MStdFont::Bold);
  const MColor color = caption->textColor.value_or(m_palette.text);
  MRect textRect{bar.left + caption->textOffset, bar.top + caption->topBorder,
                 bar.right - caption->textOffset, bar.bottom};
  const MAlignment alignment =
      caption->centerText ? MAlignment(MAlign::Center) : MAlignment(MAlign::Left | MAlign::VCenter);
  if (caption->textOp == MColorOp::Alphablend || textRect.IsEmpty())
  {
    drawer.AlignedTextOut(textRect, paint.caption, GetFont(font), color.WithAlpha(opacity), alignment);
    return;
  }
  // "captiontextop": the text is set on a clear bitmap of its own, which then combines with the
  // caption image by that operation (an inverted or darkened title, say).
  MBitmap text(textRect.Width(), textRect.Height());
  MDrawerToMBitmap textDrawer(text);
  textDrawer.AlignedTextOut(text.Bounds(), paint.caption, GetFont(font), color, alignment);
  drawer.BitBlt(textRect.left, textRect.top, text, text.Bounds(), caption->textOp, opacity);
}

void MTexturedStyle::PaintRow(MDrawer& drawer, const MRect& rect, const MControlPaint& paint)
{
  const MStyleElement* element = m_definition.ElementFor(paint.type);
  if (element != nullptr && !paint.disabled)
  {
    const MString& image =
        paint.clicked ? element->selectedItem : (paint.highlighted ? element->item : MString());
    if (!image.IsEmpty() && GetImage(image) != nullptr)
    {
      DrawImage(drawer, image, rect, 4, 4, 255);
      const MColor text =
          paint.clicked && paint.type != MControlType::TabSet ? m_palette.accentText : m_palette.text;
      const bool centred = paint.type == MControlType::TabSet || paint.type == MControlType::MenuBar;
      drawer.AlignedTextOut(centred ? rect : rect.Inset(6, 0), paint.text, GetFont(paint.font), text,
                            centred ? MAlignment(MAlign::Center)
                                    : MAlignment(MAlign::Left | MAlign::VCenter));
      return;
    }
  }
  MBaseStyle::PaintRow(drawer, rect, paint);
}

MStdCursor MTexturedStyle::GetDragCursor(MStdCursor wanted) const
{
  for (const MStyleCursorEntry& cursor : m_definition.cursors)
    if (cursor.id == wanted)
      return wanted;
  return MStdCursor::Link;
}
