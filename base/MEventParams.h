#pragma once
// Parameter records of the library's general events. Records are copied into an event's queue
// when posted, so they hold values or pointers, never references.

#include "base/MObject.h"

class MThread;

/// Something changed; `sender` is the object that says so (may be null).
struct MOnNotifyParams
{
  MObject* sender = nullptr;
};

/// A thread ended. `thread` identifies it; an auto-delete thread is already gone when the
/// record is delivered, so compare the pointer but do not follow it.
struct MOnThreadNotifyParams
{
  MThread* thread = nullptr;
};

/// An item of a list was chosen or changed; Item is an item pointer or an index.
template <class Item>
struct MOnItemParams
{
  MObject* sender = nullptr;
  Item item{};
};
