#pragma once
// MControl::MXmlLoader: builds control trees (editors, dialogs, whole windows) from XML documents.
//
// Document shape: the root element describes the root control (a window or container the
// caller made, or a control class created by Create); inside it control elements, positioned by
// "posx", "posy", "sizex", "sizey", and layout elements; inside a layout element the controls
// that layout arranges (they become children of the enclosing container); inside value controls
// a "value" element (and optionally "maxvalue") whose "type" selects the value scale:
//     <container sizex="300" sizey="120">
//       <left layoutspace="4">
//         <knob id="gain" sizex="48" sizey="60"><value type="volume" min="-60" max="12"/></knob>
//       </left>
//       <static clientlayout="1" text="Tonvera"/>
//     </container>
//
// Registry: one table of control and layout creators (kControlBuckets buckets) and one of value
// creators (kValueBuckets buckets), built once on first use. A name's bucket is HashName(name)
// modulo the bucket count; each bucket is sorted by name and searched by bisection; names compare
// case-insensitively (MString::CompareNames), so "KNOB" and "knob" are one name.
// HashName: the XOR of (c << p) over the ASCII-lower-cased characters c at positions p; for
// names of 16 characters or more only the characters at positions 4i for i < min(length / 4, 8)
// take part (shifted by their position 4i).
//
// Building a control element (Control creator), with its parent and the layout it belongs to:
//  1. the control is created as the last child of the parent;
//  2. its attributes are checked (below) and read (MControl::LoadAttributes and the class's own);
//  3. a value control (MControlValue) gets the value of its first "value" child element and
//     checks its first "maxvalue" element (no control holds a second value yet: it is built and
//     dropped);
//  4. its child elements are built in document order;
//  5. unless it is flagged "clientlayout", it joins the layout of the enclosing layout element,
//     which then reads its member attributes from the same element ("space" for side and client
//     layouts, "hspan"/"vspan" for the grid, "target" for the corner layout);
//  6. a container arranges its children once they are all built.
// A layout element (Layout creator) appends its layout to the container's list (document order
// is layout order), reads "layoutspace", "deflayoutborderx", "deflayoutbordery" and its class's
// keys, and builds its child elements as members of that layout.
//
// Checked input (every failure is an MException whose text names the element, its id when it
// has one, and the attribute):
//  - an element name that is no control or layout name (nor "value"/"maxvalue" inside a value
//    control) is an error; so is a layout element whose parent is no container;
//  - an attribute the element does not read is an error. A control reads the attributes its
//    class writes in SaveAttributes (and "maxlength" of edit fields), plus the member attributes
//    of its layout; a layout reads its keys; a value element reads "type", "id", "min", "max",
//    "default", "value", "inc", "maxinc", "format" and "step";
//  - the integer attributes of every control must be decimal integers within: positions
//    -kMaxExtent..kMaxExtent; sizes, minimal client sizes and borders 0..kMaxExtent; ratios
//    0..MLayout::kMaxRatio; flags any integer (non-zero = set);
//  - at most kMaxElements elements per load and kMaxDepth nested control and layout elements
//    (the XML reader caps the document's own nesting at MXmlReader::kMaxDepth);
//  - a "value" element whose "type" names no value scale leaves the control without a value.
// On failure the children that the failed call added to the root are removed again; attributes
// already read into the root stay.
//
// Threads: GUI thread (the tree is changed through the controls' own locked operations); the
// registry is built once, safely from any thread.

#include "base/MString.h"
#include "gui/MControl.h"

#include <cstdint>
#include <memory>
#include <vector>

class MContainer;
class MEnumeration;
class MLayout;
class MObject;
class MStream;
class MValue;
class MXmlItem;

class MControl::MXmlLoader
{
public:
  static constexpr int kControlBuckets = 32;
  static constexpr int kValueBuckets = 8;
  /// Largest coordinate or size (pixels) a document may give a control.
  static constexpr std::int32_t kMaxExtent = 16384;
  /// Most elements one load builds, and deepest nesting of control and layout elements.
  static constexpr int kMaxElements = 4096;
  static constexpr int kMaxDepth = 64;

  /// State of one load (element count, nesting depth).
  struct Build;

  /// A control or layout creator, registered under its element name.
  class Creator
  {
  public:
    explicit Creator(const char* name) : m_name(MString::FromLiteral(name)) {}
    virtual ~Creator() = default;
    const MString& GetName() const { return m_name; }
    /// Builds the object `element` describes inside `parent`; `layout` (may be null) is the layout
    /// of the enclosing layout element. Answers the created control or layout. Throws MException.
    virtual MObject* Create(Build& build, MControl& parent, const MXmlItem& element,
                            MLayout* layout) const = 0;
    /// A new control of the class (null for layouts).
    virtual std::unique_ptr<MControl> NewControl() const { return nullptr; }

  private:
    MString m_name;
  };

  /// Control creator over a default-constructible control class.
  template <class T>
  class Control : public Creator
  {
  public:
    using Creator::Creator;
    MObject* Create(Build& build, MControl& parent, const MXmlItem& element, MLayout* layout) const override
    {
      return BuildControl(build, parent, element, layout, NewControl());
    }
    std::unique_ptr<MControl> NewControl() const override { return std::make_unique<T>(); }
  };

  /// Layout creator over a default-constructible layout class; `keys` lists the layout's own
  /// attributes and `memberKeys` the attributes it reads from its controls' elements (null-ended).
  template <class T>
  class Layout : public Creator
  {
  public:
    Layout(const char* name, const char* const* keys, const char* const* memberKeys)
        : Creator(name), m_keys(keys), m_memberKeys(memberKeys)
    {}
    MObject* Create(Build& build, MControl& parent, const MXmlItem& element, MLayout*) const override
    {
      return BuildLayout(build, parent, element, std::make_unique<T>(), m_keys, m_memberKeys);
    }

  private:
    const char* const* m_keys;
    const char* const* m_memberKeys;
  };

  /// A value creator, registered under its type name.
  class ValueCreator
  {
  public:
    explicit ValueCreator(const char* name) : m_name(MString::FromLiteral(name)) {}
    virtual ~ValueCreator() = default;
    const MString& GetName() const { return m_name; }
    /// A new value of the scale with its definition read from `element`.
    std::unique_ptr<MValue> Create(const MXmlItem& element) const;

  protected:
    virtual std::unique_ptr<MValue> NewValue() const = 0;

  private:
    MString m_name;
  };

  /// Value creator over a default-constructible value class.
  template <class T>
  class Value : public ValueCreator
  {
  public:
    using ValueCreator::ValueCreator;

  protected:
    std::unique_ptr<MValue> NewValue() const override { return std::make_unique<T>(); }
  };

  /// Value creator of an enumeration scale (a 32-bit item index) over a name table.
  class EnumValue : public ValueCreator
  {
  public:
    EnumValue(const char* name, const MEnumeration& (*table)()) : ValueCreator(name), m_table(table) {}

  protected:
    std::unique_ptr<MValue> NewValue() const override;

  private:
    const MEnumeration& (*m_table)();
  };

  // --- building --------------------------------------------------------------------------------

  /// Reads the root attributes of `element` into `root` (a window, container or any control made
  /// by the caller) and builds its children. GUI thread. Throws MException (see the file comment).
  static void Load(MControl& root, const MXmlItem& element);
  /// Reads an XML document from `stream` (MXmlReader) and loads it into `root`.
  static void LoadDocument(MControl& root, MStream& stream);
  /// Creates a detached control of the class the root element names (a "container" ...) and
  /// loads it. Throws MException for an element that names no control class.
  static std::unique_ptr<MControl> Create(const MXmlItem& element);
  /// The value a "value" element describes; null when its "type" names no value scale. Throws
  /// MException naming the element and attribute for attributes it does not read or that the
  /// scale refuses.
  static std::unique_ptr<MValue> CreateValue(const MXmlItem& element);

  // --- registry --------------------------------------------------------------------------------

  /// Builds both tables on the first call; later calls do nothing. Any thread.
  static void EnsureRegistry();
  /// The creator registered under `name`; null when none.
  static const Creator* FindCreator(const MString& name);
  static const ValueCreator* FindValueCreator(const MString& name);
  /// Bucket hash of a name (see the file comment).
  static std::uint32_t HashName(const MString& name);
  /// Registered names, in registration order.
  static std::vector<MString> GetNames();
  static std::vector<MString> GetValueNames();
  /// The names in bucket `bucket` of the control table (values: of the value table), in their
  /// sorted order; empty outside the range.
  static std::vector<MString> GetBucket(int bucket, bool values = false);

private:
  static MObject* BuildControl(Build& build, MControl& parent, const MXmlItem& element, MLayout* layout,
                               std::unique_ptr<MControl> control);
  static MObject* BuildLayout(Build& build, MControl& parent, const MXmlItem& element,
                              std::unique_ptr<MLayout> layout, const char* const* keys,
                              const char* const* memberKeys);
  /// Builds the child elements of `element` inside `control` (members of `layout` when set).
  static void CreateChildren(Build& build, MControl& control, const MXmlItem& element, MLayout* layout);
  /// Reads the attributes of `element` into `control` and builds its value and children.
  static void LoadControl(Build& build, MControl& control, const MXmlItem& element, MLayout* layout);
};
