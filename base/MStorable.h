#pragma once
// Objects that store their state in an XML item, in both directions through one operation.
//
//     void MyEffect::Store(MStoreContext& context)
//     {
//       MBase::Store(context);             // the base class's part, at its documented place
//       context.Store("ChannelMode", m_channelMode);
//     }
//
// With saving = true, Store writes the object's state into the item; with saving = false it reads
// it back. The typed helpers of MStoreContext follow the settings convention: on saving the
// attribute is always written; on loading it is read only when present, so an absent attribute
// leaves the value as it was. Numbers are decimal text; doubles are written in general notation
// with 12 significant digits. Main thread only (allocates).

#include "base/MObject.h"
#include "base/MString.h"
#include "base/MXmlItem.h"

#include <cstdint>

/// The record handed to Store: the direction and the item.
class MStoreContext
{
public:
  MStoreContext(bool saving, MXmlItem& item) : m_saving(saving), m_item(&item) {}

  bool IsSaving() const { return m_saving; }
  MXmlItem& GetItem() const { return *m_item; }

  void Store(const MString& name, MString& value);
  void Store(const MString& name, std::int32_t& value);
  void Store(const MString& name, std::int64_t& value);
  void Store(const MString& name, double& value);
  /// Stored as "1" or "0"; any non-zero number reads as true.
  void Store(const MString& name, bool& value);

private:
  bool m_saving;
  MXmlItem* m_item;
};

class MStorable : public MObject
{
public:
  /// Writes (context.IsSaving()) or reads the object's state; see the file comment.
  virtual void Store(MStoreContext& context) = 0;
};
