// Parsing of STML texts into the item tree (see MSTML.h for the tags and the fallbacks).

#include "gui/stml/MSTML.h"

#include "base/MEnumerations.h"
#include "base/MException.h"
#include "base/MMarkupTokenizer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace
{
constexpr std::int32_t kMaxTextLength = 1 << 20;
constexpr std::size_t kMaxOpenTags = 256;
constexpr std::size_t kMaxFrames = 32;
constexpr std::int32_t kMaxItems = 100000;
constexpr int kMaxExpansionDepth = 8;
// Mark-up (in characters, see Definition::weight) that the uses of defined tags may replay in one
// parse: a base for short texts plus a share per character of the text, so that the work stays
// linear in the text. Definitions that use each
// other multiply (ten uses of a tag that holds ten uses of the next one ...); such a text ends
// with "STML text has too many items." instead of running for minutes.
constexpr std::int64_t kExpansionBase = 4096;
constexpr std::int64_t kExpansionPerCharacter = 16;
constexpr double kMaxNumber = 100000.0;
constexpr std::int32_t kMaxExtent = 16384;

std::u16string Fold(const MString& name)
{
  std::u16string folded = name.ToUTF16();
  for (char16_t& c : folded)
    c = MString::FoldForName(c);
  return folded;
}

const MString* FindAttribute(const std::vector<MAttribute>& attributes, const char16_t* name)
{
  for (const MAttribute& attribute : attributes)
  {
    if (Fold(attribute.name) == name)
      return &attribute.value;
  }
  return nullptr;
}

/// A decimal number ("-12", "3.5"); false when the text is not one.
bool ReadNumber(const MString& text, double& value)
{
  const std::u16string s = text.ToUTF16();
  std::size_t i = 0;
  while (i < s.size() && s[i] == u' ')
    ++i;
  const std::size_t start = i;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
    ++i;
  bool digits = false;
  while (i < s.size() && ((s[i] >= u'0' && s[i] <= u'9') || s[i] == u'.'))
  {
    digits = digits || s[i] != u'.';
    ++i;
  }
  if (!digits)
    return false;
  const double read = MString(std::u16string_view(s).substr(start, i - start)).ToDouble();
  if (!std::isfinite(read))
    return false;
  value = std::clamp(read, -kMaxNumber, kMaxNumber);
  return true;
}

void ReadInteger(const std::vector<MAttribute>& attributes, const char16_t* name, std::int32_t& out,
                 std::int32_t low = -static_cast<std::int32_t>(kMaxNumber),
                 std::int32_t high = static_cast<std::int32_t>(kMaxNumber))
{
  double value = 0;
  if (const MString* text = FindAttribute(attributes, name); text != nullptr && ReadNumber(*text, value))
    out = std::clamp(static_cast<std::int32_t>(std::lround(value)), low, high);
}

void ReadDouble(const std::vector<MAttribute>& attributes, const char16_t* name, double& out,
                bool* given = nullptr)
{
  double value = 0;
  if (const MString* text = FindAttribute(attributes, name); text != nullptr && ReadNumber(*text, value))
  {
    out = value;
    if (given != nullptr)
      *given = true;
  }
}

void ReadBool(const std::vector<MAttribute>& attributes, const char16_t* name, bool& out)
{
  double value = 0;
  if (const MString* text = FindAttribute(attributes, name); text != nullptr)
  {
    if (ReadNumber(*text, value))
      out = value != 0;
    else if (Fold(*text) == u"true" || Fold(*text) == u"yes")
      out = true;
    else if (Fold(*text) == u"false" || Fold(*text) == u"no")
      out = false;
  }
}

void ReadColor(const std::vector<MAttribute>& attributes, const char16_t* name, MColor& out, bool& given)
{
  if (const MString* text = FindAttribute(attributes, name); text != nullptr)
  {
    try
    {
      out = MColor::Parse(*text);
      given = true;
    }
    catch (const MException&)
    {
      // Unreadable colours keep the default.
    }
  }
}

void ReadSize(const std::vector<MAttribute>& attributes, const char16_t* name, MSTMLSize& out)
{
  const MString* text = FindAttribute(attributes, name);
  if (text == nullptr)
    return;
  double value = 0;
  if (ReadNumber(*text, value))
  {
    out.percent = text->Find(u'%') >= 0;
    out.value = std::clamp(static_cast<std::int32_t>(std::lround(value)), 0, out.percent ? 1000 : kMaxExtent);
    out.constant.Clear();
    out.given = true;
    return;
  }
  // A named constant, resolved at layout time.
  if (!text->IsEmpty() && text->Length() <= 64)
  {
    out.constant = *text;
    out.percent = false;
    out.given = true;
  }
}

MAlignment ReadHorizontal(const MString& text, MAlignment fallback)
{
  const std::u16string v = Fold(text);
  if (v == u"left")
    return MAlign::Left;
  if (v == u"right")
    return MAlign::Right;
  if (v == u"center" || v == u"centre" || v == u"middle")
    return MAlign::HCenter;
  return fallback;
}

MAlignment ReadVertical(const MString& text, MAlignment fallback)
{
  const std::u16string v = Fold(text);
  if (v == u"top")
    return MAlign::Top;
  if (v == u"bottom")
    return MAlign::Bottom;
  if (v == u"center" || v == u"centre" || v == u"middle")
    return MAlign::VCenter;
  return fallback;
}

void ReadPlacement(const std::vector<MAttribute>& attributes, MSTMLObject& object)
{
  ReadSize(attributes, u"width", object.width);
  ReadSize(attributes, u"height", object.height);
  if (const MString* text = FindAttribute(attributes, u"align"))
    object.align = ReadHorizontal(*text, object.align);
  if (const MString* text = FindAttribute(attributes, u"valign"))
    object.valign = ReadVertical(*text, object.valign);
  ReadInteger(attributes, u"hspace", object.hspace, 0, 1000);
  ReadInteger(attributes, u"vspace", object.vspace, 0, 1000);
}

/// Formatting that opening tags push and closing tags restore.
struct TextState
{
  MStdFont font = MStdFont::Normal;
  MStdColor color = MStdColor::Text;
  MColor explicitColor{};
  bool hasColor = false;
  std::uint8_t alpha = 255;
  MAlignment alignment = MAlign::Left;
  bool justify = false;
  bool singleLine = false;
};

struct OpenTag
{
  std::u16string name;
  TextState before;
};

struct Frame
{
  MSTMLContainer* container = nullptr;
  MSTMLTableRow* row = nullptr;
  MSTMLParagraph* paragraph = nullptr;
  bool isCell = false;
};

struct Definition
{
  std::vector<MMarkupTokenizer::Token> tags;
  /// What one use costs: the characters of the tags' names and attributes, plus one per tag.
  std::int64_t weight = 0;
};

std::int64_t WeightOf(const MMarkupTokenizer::Token& token)
{
  std::int64_t weight = 1 + token.name.Length();
  for (const MAttribute& attribute : token.attributes)
    weight += attribute.name.Length() + attribute.value.Length();
  return weight;
}

class Parser
{
public:
  explicit Parser(MSTML& document) { m_frames.push_back(Frame{&document, nullptr, nullptr, false}); }

  void Run(const MString& text)
  {
    if (text.Length() > kMaxTextLength)
      throw MException("STML text is too long.");
    m_expansionBudget = kExpansionBase + kExpansionPerCharacter * text.Length();
    MMarkupTokenizer tokenizer(text, true);
    MMarkupTokenizer::Token token;
    while (tokenizer.Next(token))
    {
      switch (token.type)
      {
      case MMarkupTokenizer::TokenType::Text:
        if (m_defining == nullptr && m_skipDepth == 0)
          AddText(token.text);
        break;
      case MMarkupTokenizer::TokenType::StartTag:
        StartTag(token, 0);
        break;
      case MMarkupTokenizer::TokenType::EndTag:
        EndTag(Fold(token.name));
        break;
      case MMarkupTokenizer::TokenType::End:
        break;
      }
    }
  }

private:
  void CountItem()
  {
    if (++m_items > kMaxItems)
      throw MException("STML text has too many items.");
  }

  Frame& Top() { return m_frames.back(); }

  MSTMLParagraph& CurrentParagraph()
  {
    Frame& frame = Top();
    if (frame.paragraph == nullptr)
    {
      CountItem();
      frame.row = nullptr;
      frame.paragraph = &frame.container->Append(std::make_unique<MSTMLParagraph>());
      ApplyParagraphState(*frame.paragraph);
    }
    return *frame.paragraph;
  }

  void ApplyParagraphState(MSTMLParagraph& paragraph) const
  {
    paragraph.alignment = m_state.alignment;
    paragraph.justify = m_state.justify;
    paragraph.singleLine = paragraph.singleLine || m_state.singleLine;
  }

  /// After a change of alignment: an empty paragraph takes it, a filled one ends.
  void ParagraphStateChanged(const TextState& before)
  {
    if (before.alignment == m_state.alignment && before.justify == m_state.justify &&
        before.singleLine == m_state.singleLine)
      return;
    MSTMLParagraph* paragraph = Top().paragraph;
    if (paragraph == nullptr)
      return;
    if (paragraph->IsEmpty())
      ApplyParagraphState(*paragraph);
    else
      Top().paragraph = nullptr;
  }

  void AddText(const MString& raw)
  {
    // Blanks and line breaks collapse to single spaces; a paragraph starts without one.
    std::u16string text;
    bool blank = false;
    for (char16_t c : raw.ToUTF16())
    {
      if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')
      {
        blank = true;
        continue;
      }
      if (blank)
        text += u' ';
      blank = false;
      text += c;
    }
    if (blank)
      text += u' ';
    MSTMLParagraph* existing = Top().paragraph;
    const bool atStart = existing == nullptr || existing->IsEmpty() ||
                         (existing->elements.back().object == nullptr &&
                          existing->elements.back().run.text.EndsWith(MString(" ")));
    if (atStart && !text.empty() && text.front() == u' ')
      text.erase(0, 1);
    if (text.empty())
      return;
    MSTMLParagraph& paragraph = CurrentParagraph();
    MSTMLRun run;
    run.font = m_state.font;
    run.color = m_state.color;
    run.explicitColor = m_state.explicitColor;
    run.hasColor = m_state.hasColor;
    run.alpha = m_state.alpha;
    if (!paragraph.elements.empty() && paragraph.elements.back().object == nullptr)
    {
      MSTMLRun& last = paragraph.elements.back().run;
      if (last.font == run.font && last.color == run.color && last.hasColor == run.hasColor &&
          last.explicitColor == run.explicitColor && last.alpha == run.alpha)
      {
        last.text += MString(std::u16string_view(text));
        return;
      }
    }
    CountItem();
    run.text = MString(std::u16string_view(text));
    paragraph.elements.push_back(MSTMLParagraph::Element{std::move(run), nullptr});
  }

  void AddObject(std::unique_ptr<MSTMLObject> object)
  {
    CountItem();
    MSTMLParagraph& paragraph = CurrentParagraph();
    paragraph.elements.push_back(MSTMLParagraph::Element{MSTMLRun{}, std::move(object)});
  }

  void NewParagraph(bool singleLine, bool listItem)
  {
    MSTMLParagraph* current = Top().paragraph;
    if (current == nullptr || !current->IsEmpty())
    {
      Top().paragraph = nullptr;
      current = &CurrentParagraph();
    }
    current->singleLine = singleLine || m_state.singleLine;
    current->listItem = listItem;
  }

  /// Applies a formatting tag to the state; false when `name` is none.
  bool Format(const std::u16string& name, const std::vector<MAttribute>& attributes)
  {
    static const std::map<std::u16string, MStdFont> kFonts = {
        {u"b", MStdFont::Bold},    {u"i", MStdFont::Italic},      {u"s", MStdFont::Small},
        {u"l1", MStdFont::Large1}, {u"l2", MStdFont::Large2},     {u"l3", MStdFont::Large3},
        {u"l4", MStdFont::Large4}, {u"normal", MStdFont::Normal},
    };
    static const std::map<std::u16string, MStdColor> kColors = {
        {u"cd", MStdColor::Text},      {u"ci", MStdColor::Highlight}, {u"cred", MStdColor::Red},
        {u"cgreen", MStdColor::Green}, {u"cblue", MStdColor::Blue},   {u"clight", MStdColor::Light},
        {u"cdark", MStdColor::Dark},
    };
    if (const auto font = kFonts.find(name); font != kFonts.end())
    {
      m_state.font = font->second;
      return true;
    }
    if (const auto color = kColors.find(name); color != kColors.end())
    {
      m_state.color = color->second;
      m_state.hasColor = false;
      std::int32_t alpha = m_state.alpha;
      ReadInteger(attributes, u"alpha", alpha, 0, 255);
      m_state.alpha = static_cast<std::uint8_t>(alpha);
      return true;
    }
    if (name == u"left" || name == u"center" || name == u"right" || name == u"justify")
    {
      m_state.justify = name == u"justify";
      m_state.alignment = name == u"center"  ? MAlign::HCenter
                          : name == u"right" ? MAlign::Right
                                             : MAlign::Left;
      ReadBool(attributes, u"singleline", m_state.singleLine);
      bool invert = false;
      ReadBool(attributes, u"invert", invert);
      if (invert)
      {
        m_state.color = MStdColor::Dark;
        m_state.hasColor = false;
      }
      return true;
    }
    return false;
  }

  /// Handles one opening tag; `expansion` > 0 inside a defined tag's definition (its formatting
  /// tags then change the state without being pushed).
  void StartTag(const MMarkupTokenizer::Token& token, int expansion)
  {
    const std::u16string name = Fold(token.name);
    if (m_defining != nullptr)
    {
      if (name == u"tagset")
        ++m_skipDepth;
      else if (m_skipDepth == 0)
      {
        m_defining->tags.push_back(token);
        m_defining->weight += WeightOf(token);
      }
      return;
    }
    if (m_skipDepth > 0)
    {
      if (name == u"tagset" && !token.selfClosing)
        ++m_skipDepth;
      return;
    }
    if (name == u"tagset")
    {
      if (token.selfClosing)
        return;
      const MString* defined = FindAttribute(token.attributes, u"name");
      if (defined == nullptr || defined->IsEmpty())
      {
        m_skipDepth = 1;
        return;
      }
      Definition& definition = m_definitions[Fold(*defined)];
      definition.tags.clear();
      definition.weight = 0;
      m_defining = &definition;
      return;
    }
    if (Structure(name, token.attributes))
      return;
    if (Object(name, token.attributes))
      return;

    const TextState before = m_state;
    const bool pushes = expansion == 0 && !token.selfClosing;
    bool known = Format(name, token.attributes);
    if (!known)
    {
      const auto definition = m_definitions.find(name);
      if (definition != m_definitions.end() && expansion < kMaxExpansionDepth)
      {
        known = true;
        m_expansionBudget -= definition->second.weight;
        if (m_expansionBudget < 0)
          throw MException("STML text has too many items.");
        // Copied: a definition may be redefined while it is applied.
        const std::vector<MMarkupTokenizer::Token> tags = definition->second.tags;
        for (const MMarkupTokenizer::Token& tag : tags)
          StartTag(tag, expansion + 1);
      }
    }
    if (!known)
      return; // unknown tags are ignored
    if (pushes)
    {
      if (m_open.size() >= kMaxOpenTags)
        throw MException("STML nesting is too deep.");
      m_open.push_back(OpenTag{name, before});
    }
    else if (expansion == 0)
    {
      m_state = before; // "<b/>" formats nothing
    }
    ParagraphStateChanged(before);
  }

  bool Structure(const std::u16string& name, const std::vector<MAttribute>& attributes)
  {
    if (name == u"p" || name == u"li")
    {
      bool singleLine = false;
      ReadBool(attributes, u"singleline", singleLine);
      NewParagraph(singleLine, name == u"li");
      return true;
    }
    if (name == u"tr")
    {
      CountItem();
      auto row = std::make_unique<MSTMLTableRow>();
      ReadInteger(attributes, u"height", row->height, 0, kMaxExtent);
      ReadInteger(attributes, u"padding", row->padding, 0, 1000);
      ReadInteger(attributes, u"cellspaces", row->cellSpaces, 0, 1000);
      ReadInteger(attributes, u"border", row->border, 0, 100);
      ReadInteger(attributes, u"borderalpha", row->borderAlpha, 0, 255);
      Frame& frame = Top();
      frame.paragraph = nullptr;
      frame.row = &frame.container->Append(std::move(row));
      return true;
    }
    if (name == u"td")
    {
      CountItem();
      // A cell that has no row of its own ends at the next cell ("<td>a<td>b": two cells).
      if (Top().isCell && Top().row == nullptr)
        m_frames.pop_back();
      if (m_frames.size() >= kMaxFrames)
        throw MException("STML nesting is too deep.");
      Frame& frame = Top();
      if (frame.row == nullptr)
      {
        CountItem();
        frame.paragraph = nullptr;
        frame.row = &frame.container->Append(std::make_unique<MSTMLTableRow>());
      }
      auto cell = std::make_unique<MSTMLTableCell>();
      ReadSize(attributes, u"width", cell->width);
      if (const MString* text = FindAttribute(attributes, u"valign"))
        cell->valign = ReadVertical(*text, cell->valign);
      ReadInteger(attributes, u"padding", cell->padding, 0, 1000);
      ReadBool(attributes, u"autosize", cell->autosize);
      ReadInteger(attributes, u"border", cell->border, 0, 100);
      ReadInteger(attributes, u"borderalpha", cell->borderAlpha, 0, 255);
      ReadInteger(attributes, u"fillalpha", cell->fillAlpha, 0, 255);
      MSTMLTableCell* raw = cell.get();
      frame.row->cells.push_back(std::move(cell));
      m_frames.push_back(Frame{raw, nullptr, nullptr, true});
      return true;
    }
    return false;
  }

  bool Object(const std::u16string& name, const std::vector<MAttribute>& attributes)
  {
    if (name == u"img")
    {
      auto image = std::make_unique<MSTMLImage>();
      if (const MString* icon = FindAttribute(attributes, u"icon"))
        image->icon = MEnumerations::StdIcon().Find(*icon);
      if (const MString* bitmap = FindAttribute(attributes, u"bitmap"))
        image->bitmap = *bitmap;
      ReadInteger(attributes, u"number", image->number, 0, 100000);
      ReadPlacement(attributes, *image);
      AddObject(std::move(image));
      return true;
    }
    if (name == u"hline" || name == u"rectangle")
    {
      std::unique_ptr<MSTMLObject> object;
      std::int32_t size = name == u"hline" ? 1 : 0;
      ReadInteger(attributes, u"size", size, 0, 1000);
      if (name == u"hline")
      {
        auto line = std::make_unique<MSTMLLine>();
        line->size = size;
        ReadColor(attributes, u"color", line->color, line->hasColor);
        line->vspace = 3;
        object = std::move(line);
      }
      else
      {
        auto rectangle = std::make_unique<MSTMLRectangle>();
        rectangle->size = size;
        ReadColor(attributes, u"color", rectangle->color, rectangle->hasColor);
        object = std::move(rectangle);
      }
      std::int32_t alpha = 255;
      ReadInteger(attributes, u"alpha", alpha, 0, 255);
      if (auto* line = dynamic_cast<MSTMLLine*>(object.get()))
        line->color.a = static_cast<std::uint8_t>(line->hasColor ? line->color.a * alpha / 255 : alpha);
      if (auto* rectangle = dynamic_cast<MSTMLRectangle*>(object.get()))
        rectangle->color.a =
            static_cast<std::uint8_t>(rectangle->hasColor ? rectangle->color.a * alpha / 255 : alpha);
      ReadPlacement(attributes, *object);
      AddObject(std::move(object));
      return true;
    }
    if (name == u"indicator")
    {
      auto indicator = std::make_unique<MSTMLIndicator>();
      ReadDouble(attributes, u"min", indicator->min);
      ReadDouble(attributes, u"max", indicator->max);
      ReadDouble(attributes, u"value", indicator->value);
      ReadDouble(attributes, u"middle", indicator->middle, &indicator->hasMiddle);
      if (!indicator->hasMiddle)
        indicator->middle = (indicator->min + indicator->max) / 2;
      ReadColor(attributes, u"color", indicator->color, indicator->hasColor);
      ReadColor(attributes, u"bordercolor", indicator->borderColor, indicator->hasBorderColor);
      ReadPlacement(attributes, *indicator);
      AddObject(std::move(indicator));
      return true;
    }
    return false;
  }

  void EndTag(const std::u16string& name)
  {
    if (m_defining != nullptr || m_skipDepth > 0)
    {
      if (name == u"tagset")
      {
        if (m_skipDepth > 0)
          --m_skipDepth;
        else
          m_defining = nullptr;
      }
      return;
    }
    if (name == u"p" || name == u"li")
    {
      Top().paragraph = nullptr;
      return;
    }
    if (name == u"td")
    {
      if (Top().isCell)
        m_frames.pop_back();
      Top().paragraph = nullptr;
      return;
    }
    if (name == u"tr")
    {
      while (Top().isCell && Top().row == nullptr)
        m_frames.pop_back();
      Top().row = nullptr;
      Top().paragraph = nullptr;
      return;
    }
    for (std::size_t i = m_open.size(); i-- > 0;)
    {
      if (m_open[i].name == name)
      {
        const TextState before = m_state;
        m_state = m_open[i].before;
        m_open.resize(i);
        ParagraphStateChanged(before);
        return;
      }
    }
    // Closing tags that match nothing open are ignored.
  }

  std::vector<Frame> m_frames;
  std::vector<OpenTag> m_open;
  TextState m_state;
  std::map<std::u16string, Definition> m_definitions;
  Definition* m_defining = nullptr;
  int m_skipDepth = 0;
  std::int32_t m_items = 0;
  // Characters of mark-up the uses of defined tags may still replay (see kExpansionBase).
  std::int64_t m_expansionBudget = 0;
};
} // namespace

void MSTML::Parse(const MString& text)
{
  Clear();
  try
  {
    Parser(*this).Run(text);
  }
  catch (...)
  {
    Clear();
    throw;
  }
}

void MSTML::ParseHelp(const MString& text)
{
  MString full = GetHelpDefinitions();
  full += text;
  Parse(full);
}

const MString& MSTML::GetHelpDefinitions()
{
  static const MString definitions("<tagset name=\"range\"><cgreen></tagset>"
                                   "<tagset name=\"example\"><i></tagset>"
                                   "<tagset name=\"symbol\"><cgreen></tagset>"
                                   "<tagset name=\"reference\"><cred><i></tagset>"
                                   "<tagset name=\"value\"><cgreen></tagset>"
                                   "<tagset name=\"control\"><cgreen></tagset>"
                                   "<tagset name=\"shortcutnop\"><cgreen></tagset>"
                                   "<tagset name=\"shortcut\"><p><cgreen></tagset>"
                                   "<tagset name=\"name\"><b><cred></tagset>");
  return definitions;
}
