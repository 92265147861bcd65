#pragma once
// Reference counting and interface lookup shared by every object this layer hands to a host.
//
// An FObject starts with one reference, owned by whoever created it; release deletes it when
// the count reaches zero. queryInterface looks the requested ID up in a table that each class
// fills in CollectInterfaces (calling its base class first); a hit adds exactly one reference.
//
// A class that adds interface bases to an FObject gets several FUnknown sub-objects. It declares
// TONVERA_VST3_FORWARD_FUNKNOWN(Base) so that all of them share the one counter and table of
// Base. A class with two FObject bases (a component that is also its own controller) forwards to
// one of them and lets its CollectInterfaces call both bases' CollectInterfaces:
//
//     class MyPlugin : public AudioEffect, public EditControllerEx1
//     {
//       TONVERA_VST3_FORWARD_FUNKNOWN(AudioEffect)
//       void CollectInterfaces(InterfaceTable& table) override
//       {
//         AudioEffect::CollectInterfaces(table);
//         EditControllerEx1::CollectInterfaces(table);
//       }
//     };
//
// The first entry for an ID wins, so duplicates from the second base are harmless.
// Counting is thread-safe (hosts release from any thread); lookup does not allocate.

#include "sdk/vst3/VST3Base.h"

#include <atomic>

namespace Steinberg
{
/// The interfaces an object answers, collected on the stack for one lookup.
class InterfaceTable
{
public:
  static constexpr int kCapacity = 24;

  /// Appends (iid, object). A full table ignores further entries; 24 is twice what the largest
  /// class here needs.
  void Add(const FUID& iid, FUnknown* object);

  /// The object of the first entry whose ID equals the 16 bytes at `iid`, or null.
  FUnknown* Find(const int8* iid) const;

  int Count() const { return m_count; }

private:
  struct Entry
  {
    const FUID* iid;
    FUnknown* object;
  };
  Entry m_entries[kCapacity] = {};
  int m_count = 0;
};

class FObject : public FUnknown
{
public:
  FObject() = default;
  FObject(const FObject&) = delete;
  FObject& operator=(const FObject&) = delete;

  /// Null `obj` answers kInvalidArgument; an unknown or null `iid` stores null and answers
  /// kNoInterface.
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  uint32 PLUGIN_API addRef() override;
  /// Deletes the object when the count reaches zero and then answers 0.
  uint32 PLUGIN_API release() override;

  /// Current count (for tests and diagnostics; other threads may change it at once).
  uint32 GetRefCount() const { return m_refCount.load(std::memory_order_relaxed); }

protected:
  virtual ~FObject() = default;

  /// Adds this class's interfaces. FObject adds FUnknown; overrides call their base first.
  virtual void CollectInterfaces(InterfaceTable& table);

private:
  std::atomic<uint32> m_refCount{1};
};

/// Declares the three FUnknown methods of a class with several FUnknown sub-objects as
/// forwarders to `Base`, which must be an FObject (or forward to one).
#define TONVERA_VST3_FORWARD_FUNKNOWN(Base)                                                                  \
public:                                                                                                      \
  ::Steinberg::tresult PLUGIN_API queryInterface(const ::Steinberg::TUID iid, void** obj) override           \
  {                                                                                                          \
    return Base::queryInterface(iid, obj);                                                                   \
  }                                                                                                          \
  ::Steinberg::uint32 PLUGIN_API addRef() override                                                           \
  {                                                                                                          \
    return Base::addRef();                                                                                   \
  }                                                                                                          \
  ::Steinberg::uint32 PLUGIN_API release() override                                                          \
  {                                                                                                          \
    return Base::release();                                                                                  \
  }

/// Holds one reference to an interface and releases it when replaced or destroyed.
template <typename I>
class IPtr
{
public:
  IPtr() = default;
  /// Adopts `object` without adding a reference (for results of queryInterface and create calls).
  static IPtr Adopt(I* object)
  {
    IPtr result;
    result.m_object = object;
    return result;
  }
  /// Shares `object`, adding a reference.
  static IPtr Share(I* object)
  {
    if (object != nullptr)
    {
      object->addRef();
    }
    return Adopt(object);
  }
  IPtr(IPtr&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
  IPtr& operator=(IPtr&& other) noexcept
  {
    if (this != &other)
    {
      Reset();
      m_object = other.m_object;
      other.m_object = nullptr;
    }
    return *this;
  }
  IPtr(const IPtr&) = delete;
  IPtr& operator=(const IPtr&) = delete;
  ~IPtr() { Reset(); }

  void Reset()
  {
    if (m_object != nullptr)
    {
      m_object->release();
      m_object = nullptr;
    }
  }
  I* Get() const { return m_object; }
  I* operator->() const { return m_object; }
  explicit operator bool() const { return m_object != nullptr; }

private:
  I* m_object = nullptr;
};
} // namespace Steinberg
