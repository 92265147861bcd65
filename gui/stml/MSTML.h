#pragma once
// STML: the small rich-text mark-up of help texts, message boxes, captions and the tuning
// indicator. MSTML parses a text into a tree of items, lays it out for a width with the fonts and
// colours of a style, draws it through a drawer and writes it as HTML.
//
// Tags (names compare case-insensitively; values may be quoted or not):
//   p [singleline=1]           paragraph break; needs no closing tag
//   b i s l1 l2 l3 l4 normal   fonts Bold, Italic, Small, Large1..4, Normal
//   cd ci cred cgreen cblue clight cdark [alpha=0..255]
//                              colours: cd = the default text colour (MStdColor::Text), ci = the
//                              accent (MStdColor::Highlight); the rest Red, Green, Blue, Light, Dark
//   left center right justify [singleline=1] [invert=1]
//                              alignment of the paragraphs started inside; a change of alignment
//                              starts a new paragraph. "invert" draws the text in the style's
//                              Dark colour (for light fills); "singleline" as on p.
//   li                         list item: a paragraph with a bullet, indented
//   img icon= bitmap= number= width= height= align= valign=
//   hline / rectangle size= color= alpha= hspace= vspace= width= height= align= valign=
//   indicator value= min= max= middle= color= bordercolor= width= height= align= valign=
//   tr height= padding= cellspaces= border= borderalpha=
//   td width= valign= padding= autosize=1 border= borderalpha= fillalpha=
//   tagset name=X ... /tagset  defines tag X as the tags written inside
// Sizes are pixels, "N%" of the available width (height: of the line or row), or a named
// constant: MaxStdIconSizeX / MaxStdIconSizeY (16) and the style metrics Spacing, Border,
// RowHeight, ScrollBar, KnobSize, ButtonHeight. Colours are RRGGBBAA (or RRGGBB). An attribute
// whose value cannot be read keeps its default. Numbers are clamped to ±100000 and widths and
// heights to 0..16384, so absurd values cost no more than large ones.
//
// Structure: text and inline objects flow into the current paragraph; "tr" starts a table row
// in the current container (the document, or the cell being filled: a row inside a cell nests,
// which the tuning indicator uses as a vertical spacer); "td" starts a cell in the current row
// (a row is opened when there is none) and the cell becomes the container until "</td>", the
// row's "</tr>" or the next "<td>" of the same row.
//
// Bad input, the fallbacks:
//   - An unknown tag (neither built-in nor defined) is ignored, its content shown in the current
//     formatting; so is its closing tag.
//   - A closing tag closes the most recent open tag of that name and everything opened after it;
//     a closing tag that matches nothing open is ignored. Tags still open at the end are closed.
//   - Malformed mark-up (a "<" without a name, an unterminated tag or comment) throws the
//     tokenizer's MException (MMarkupTokenizer.h); a raw "&" that starts no entity is text.
//   - More than 256 open formatting tags, more than 32 nested cells, a text longer than 1 Mi
//     characters or more than 100000 items throw MException ("STML nesting is too deep.",
//     "STML text is too long.", "STML text has too many items."). Uses of defined tags replay
//     their definitions; once they have replayed 16 times the text's length (plus 4096) in
//     characters of mark-up, the text throws "STML text has too many items." (tag sets that use
//     each other would otherwise multiply the work).
// Parsing is linear in the length of the text; layout is linear in the size of the tree (one pass per item;
// automatic cell widths add one measuring pass per nesting level) and always ends.
//
// Threads: parse anywhere; layout and drawing on the GUI thread (fonts of the style). A document
// is used by one thread at a time.

#include "base/MString.h"
#include "gui/MGuiTypes.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class MDrawer;
class MFont;
class MStyle;
struct MAttribute;

/// Fonts, colours and constants the layout and drawing read: the style's, or fixed defaults (a
/// dark theme, the built-in face at 13 px) when there is no style.
class MSTMLResources
{
public:
  explicit MSTMLResources(const MStyle* style = nullptr) : m_style(style) {}

  const MFont& GetFont(MStdFont font) const;
  MColor GetColor(MStdColor color) const;
  /// A named size constant; false when the name is unknown.
  bool GetConstant(const MString& name, std::int32_t& value) const;

private:
  const MStyle* m_style;
};

/// A size as written: pixels, a percentage of the available extent, or a named constant.
struct MSTMLSize
{
  std::int32_t value = 0;
  bool percent = false;
  bool given = false;
  MString constant; ///< non-empty: a named constant (an unknown name counts as not given)

  /// Pixels for `available` pixels of room; `fallback` when not given.
  std::int32_t Resolve(std::int32_t available, std::int32_t fallback, const MSTMLResources& resources) const;
};

class MSTMLItem
{
public:
  enum class Kind : std::int32_t
  {
    Paragraph,
    Image,
    Line,
    Rectangle,
    Indicator,
    TableRow,
    TableCell,
    Document,
  };

  explicit MSTMLItem(Kind kind) : m_kind(kind) {}
  virtual ~MSTMLItem() = default;
  MSTMLItem(const MSTMLItem&) = delete;
  MSTMLItem& operator=(const MSTMLItem&) = delete;

  Kind GetKind() const { return m_kind; }
  /// Where the last layout put the item (document coordinates).
  const MRect& GetBounds() const { return m_bounds; }

protected:
  friend class MSTMLLayouter;
  MRect m_bounds;

private:
  Kind m_kind;
};

/// An ordered list of items: the document and table cells.
class MSTMLContainer : public MSTMLItem
{
public:
  using MSTMLItem::MSTMLItem;

  std::size_t GetItemCount() const { return m_items.size(); }
  MSTMLItem& GetItem(std::size_t index) const { return *m_items.at(index); }
  void Clear() { m_items.clear(); }
  /// Exchanges the items with `other`.
  void SwapItems(MSTMLContainer& other) { m_items.swap(other.m_items); }
  template <class T>
  T& Append(std::unique_ptr<T> item)
  {
    T& reference = *item;
    m_items.push_back(std::move(item));
    return reference;
  }

private:
  std::vector<std::unique_ptr<MSTMLItem>> m_items;
};

/// An inline object placed in a paragraph's flow.
class MSTMLObject : public MSTMLItem
{
public:
  using MSTMLItem::MSTMLItem;

  MSTMLSize width;
  MSTMLSize height;
  /// Horizontal placement of an object that fills its own line ("align"), vertical placement in
  /// its line ("valign").
  MAlignment align = MAlign::Left;
  MAlignment valign = MAlign::VCenter;
  std::int32_t hspace = 0;
  std::int32_t vspace = 0;
};

class MSTMLImage : public MSTMLObject
{
public:
  MSTMLImage() : MSTMLObject(Kind::Image) {}
  /// Index into MEnumerations::StdIcon(), or -1.
  std::int32_t icon = -1;
  MString bitmap;
  std::int32_t number = 0;
};

class MSTMLLine : public MSTMLObject
{
public:
  MSTMLLine() : MSTMLObject(Kind::Line) {}
  std::int32_t size = 1;
  MColor color{};
  bool hasColor = false;
};

class MSTMLRectangle : public MSTMLObject
{
public:
  MSTMLRectangle() : MSTMLObject(Kind::Rectangle) {}
  std::int32_t size = 0; ///< frame thickness; 0 fills
  MColor color{};
  bool hasColor = false;
};

class MSTMLIndicator : public MSTMLObject
{
public:
  /// Opacity of the text colour laid over the background as the bar's track.
  static constexpr std::uint8_t kTrackAlpha = 0x14;

  MSTMLIndicator() : MSTMLObject(Kind::Indicator) {}
  double value = 0;
  double min = 0;
  double max = 100;
  /// Where the bar starts; the middle of the range unless given.
  double middle = 50;
  bool hasMiddle = false;
  MColor color{};
  bool hasColor = false;
  MColor borderColor{};
  bool hasBorderColor = false;

  /// Bar extent as fractions 0..1 of the width: from the middle to the value, clamped.
  void GetBar(double& from, double& to) const;
  /// Where `v` lies as a fraction 0..1 of the width, clamped (0 for an empty range).
  double Position(double v) const;
};

/// A run of text in one font and colour.
struct MSTMLRun
{
  MString text;
  MStdFont font = MStdFont::Normal;
  MStdColor color = MStdColor::Text;
  /// An explicit colour replaces `color` when `hasColor`.
  MColor explicitColor{};
  bool hasColor = false;
  std::uint8_t alpha = 255;
};

class MSTMLParagraph : public MSTMLItem
{
public:
  MSTMLParagraph() : MSTMLItem(Kind::Paragraph) {}

  /// Text runs and inline objects in reading order: an element is either a run (object null)
  /// or an object.
  struct Element
  {
    MSTMLRun run;
    std::unique_ptr<MSTMLObject> object;
  };
  std::vector<Element> elements;
  MAlignment alignment = MAlign::Left;
  bool justify = false;
  bool singleLine = false;
  bool listItem = false;

  bool IsEmpty() const { return elements.empty(); }
  /// All text of the runs (objects left out).
  MString GetPlainText() const;

  /// Layout result: one entry per placed piece (document coordinates).
  struct Placed
  {
    std::int32_t element = 0; ///< index into `elements`
    std::int32_t start = 0;   ///< text range of a run
    std::int32_t length = 0;
    MRect rect;                ///< a run: the line box of the text; an object: its box
    std::int32_t baseline = 0; ///< runs
  };
  std::vector<Placed> placed;
};

class MSTMLTableCell : public MSTMLContainer
{
public:
  MSTMLTableCell() : MSTMLContainer(Kind::TableCell) {}
  MSTMLSize width;
  MAlignment valign = MAlign::Top;
  std::int32_t padding = -1; ///< -1: the row's
  bool autosize = false;
  std::int32_t border = -1; ///< -1: the row's
  std::int32_t borderAlpha = -1;
  std::int32_t fillAlpha = 0;
};

class MSTMLTableRow : public MSTMLItem
{
public:
  MSTMLTableRow() : MSTMLItem(Kind::TableRow) {}
  std::vector<std::unique_ptr<MSTMLTableCell>> cells;
  std::int32_t height = 0;
  std::int32_t padding = 0;
  std::int32_t cellSpaces = 4;
  std::int32_t border = 0;
  std::int32_t borderAlpha = 255;
};

/// A parsed document.
class MSTML : public MSTMLContainer
{
public:
  MSTML() : MSTMLContainer(Kind::Document) {}

  /// Parses `text` (replacing the content). Throws MException as the file comment says; the
  /// document is then empty.
  void Parse(const MString& text);
  /// Parses a help text: the nine help tag definitions, then `text`.
  void ParseHelp(const MString& text);
  /// The nine definitions put in front of every help text.
  static const MString& GetHelpDefinitions();

  /// Lays the document out for `width` pixels (negative: 0; above 16384: 16384) and answers its
  /// height. Single-line paragraphs may be wider than `width`.
  std::int32_t Layout(std::int32_t width, const MSTMLResources& resources);
  /// Width and height of the last layout (the width the widest line needs, at least the width
  /// laid out for).
  MSize GetLayoutSize() const { return m_layoutSize; }
  /// Draws the last layout with its top-left corner at `origin` (drawer coordinates). Lays out
  /// nothing itself: call Layout first.
  void Draw(MDrawer& drawer, MPoint origin, const MSTMLResources& resources) const;

  /// The document as an HTML fragment (see MSTMLHtmlPage for the page around it).
  MString ToHtml() const;

private:
  MSize m_layoutSize;
};

/// An HTML page of help texts: headings, help paragraphs, pictures pointing into "images/"
/// (name + ".png"), and a section per control type inside <div class="controltypeinfo">.
class MSTMLHtmlPage
{
public:
  explicit MSTMLHtmlPage(const MString& title);

  /// <h1>..<h3> (levels outside 1..3 are clamped).
  void AddHeading(std::int32_t level, const MString& text);
  /// A help text (parsed with the help definitions; throws the parser's MException).
  void AddHelp(const MString& stml);
  /// <img src="images/NAME.png" alt="NAME">.
  void AddPicture(const MString& name);
  /// Opens / closes a <div class="controltypeinfo"> section (closing without an open one does
  /// nothing).
  void BeginControlType(const MString& name);
  void EndControlType();
  /// The complete page (open sections closed).
  MString Finish();

private:
  MString m_body;
  MString m_title;
  std::int32_t m_openSections = 0;
};

/// Escapes & < > " for HTML text and attribute values.
MString EscapeHtml(const MString& text);
