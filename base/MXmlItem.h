#pragma once
// XML item: the node of every structured document of the library (plug-in state, presets,
// settings files, GUI descriptions).
//
// An item has a name, attributes, an ordered list of owned sub-items and text content.
//  - Attributes are held sorted by name under the name comparison of MString::CompareNames
//    (ASCII case and Latin accents folded), so names differing only in case are one attribute.
//    Lookup bisects; SetAttribute replaces a value in place or inserts at the sorted place.
//  - Sub-items keep insertion order; lookup by name is a linear search for the first item whose
//    name equals under the same folding.
//  - Two lookup caches remember the last attribute and sub-item found by HasAttribute and
//    HasSubItem, for the pattern
//        if (item.HasAttribute("Version")) version = item.GetAttribute().ToInteger();
//    GetAttribute()/GetSubItem() without a successful Has... call throw MException
//    "There is no attribute in the cache. Previous call to HasAttribute probably did not succeed."
//    and "There is no subitem in the cache. Previous call to HasSubItem probably did not succeed.".
//    Changing the attributes or sub-items keeps a cache pointing at the same entry, or clears it
//    when that entry was removed.
// Copying an item copies the whole subtree (caches start empty in the copy).
//
// Reading and writing documents: MXmlReader and MXmlWriter (the Read/Write members here are
// shortcuts). Threads: an item is used by one thread at a time; never on the audio thread
// (everything allocates).

#include "base/MObject.h"
#include "base/MString.h"

#include <memory>
#include <vector>

class MStream;

/// One attribute: name and value.
struct MAttribute
{
  MString name;
  MString value;

  friend bool operator==(const MAttribute&, const MAttribute&) = default;
};

class MXmlItem : public MObject
{
public:
  MXmlItem() = default;
  explicit MXmlItem(const MString& name);
  MXmlItem(const MXmlItem& other);
  MXmlItem(MXmlItem&& other) noexcept;
  MXmlItem& operator=(const MXmlItem& other);
  MXmlItem& operator=(MXmlItem&& other) noexcept;
  ~MXmlItem() override;

  const MString& GetName() const { return m_name; }
  void SetName(const MString& name) { m_name = name; }
  const MString& GetText() const { return m_text; }
  void SetText(const MString& text) { m_text = text; }

  /// Empties the item: name, attributes, sub-items, text and caches.
  void Clear();

  // ---- attributes ----

  int GetAttributeCount() const { return static_cast<int>(m_attributes.size()); }
  /// The attribute at `index` (0 .. GetAttributeCount() - 1) in sorted order.
  const MAttribute& GetAttributeAt(int index) const
  {
    return m_attributes.at(static_cast<std::size_t>(index));
  }

  /// Replaces the value of the attribute of that name (keeping the stored spelling of the name),
  /// or inserts a new attribute at its sorted place.
  void SetAttribute(const MString& name, const MString& value);
  /// Replaces all attributes by `attributes`, sorted; for names that repeat, the first spelling
  /// and the last value win, as repeated SetAttribute calls would leave them. O(n log n).
  void SetAttributes(std::vector<MAttribute> attributes);
  /// Removes the attribute when present; answers whether it was.
  bool RemoveAttribute(const MString& name);
  /// Searches the attribute; on success caches it and answers true, else clears the cache.
  bool HasAttribute(const MString& name) const;
  /// The value of the cached attribute (see HasAttribute); throws when the cache is empty.
  const MString& GetAttribute() const;
  /// The value of the attribute of that name, or `defaultValue` when it is absent.
  MString GetAttribute(const MString& name, const MString& defaultValue) const;

  // ---- sub-items ----

  int GetSubItemCount() const { return static_cast<int>(m_subItems.size()); }
  MXmlItem& GetSubItemAt(int index) { return *m_subItems.at(static_cast<std::size_t>(index)); }
  const MXmlItem& GetSubItemAt(int index) const { return *m_subItems.at(static_cast<std::size_t>(index)); }

  /// Searches the first sub-item of that name; on success caches it and answers true, else
  /// clears the cache.
  bool HasSubItem(const MString& name) const;
  /// The cached sub-item (see HasSubItem); throws when the cache is empty.
  MXmlItem& GetSubItem();
  const MXmlItem& GetSubItem() const;
  /// The first sub-item of that name, or a new empty one of that name appended at the end.
  MXmlItem& GetOrAddSubItem(const MString& name);
  /// Appends a new empty sub-item and answers it.
  MXmlItem& AddSubItem(const MString& name);
  /// Appends a copy (or the moved contents) of `item` and answers the new sub-item.
  MXmlItem& AddSubItem(MXmlItem item);
  /// Removes and destroys the sub-item at `index`; an index outside the list does nothing.
  void RemoveSubItemAt(int index);

  // ---- iteration ----

  /// Walks the attributes of an item in sorted order:
  ///     MXmlItem::AttributeIterator it;
  ///     for (it.Start(item); it.IsValid(); it.Next()) use(it.Get());
  /// Every call before Start throws "XML item iterator has not been initialized.". The item must
  /// outlive the walk; changing it during the walk is allowed (the walk goes on by position).
  class AttributeIterator
  {
  public:
    void Start(const MXmlItem& item);
    bool IsValid() const;
    void Next();
    const MAttribute& Get() const;

  private:
    const MXmlItem* m_item = nullptr;
    std::size_t m_index = 0;
  };

  /// Walks the sub-items of an item in order; same rules as AttributeIterator.
  class SubItemIterator
  {
  public:
    void Start(MXmlItem& item);
    bool IsValid() const;
    void Next();
    MXmlItem& Get() const;

  private:
    MXmlItem* m_item = nullptr;
    std::size_t m_index = 0;
  };

  // ---- documents (see MXmlWriter and MXmlReader) ----

  void Write(MStream& stream, bool compact, const MString& encoding) const;
  void WriteCompressed(MStream& stream) const;
  void Read(MStream& stream);
  void ReadCompressed(MStream& stream);

  /// Exact equality of the whole subtree: names, attributes (exact text, same order), text and
  /// sub-items.
  friend bool operator==(const MXmlItem& a, const MXmlItem& b);

private:
  /// Index of the attribute of that name, or of its sorted insertion place; `found` tells which.
  std::size_t FindAttribute(const MString& name, bool& found) const;

  MString m_name;
  std::vector<MAttribute> m_attributes;
  std::vector<std::unique_ptr<MXmlItem>> m_subItems;
  MString m_text;
  mutable std::ptrdiff_t m_cachedAttribute = -1;
  mutable MXmlItem* m_cachedSubItem = nullptr;
};
