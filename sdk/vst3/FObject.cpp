#include "sdk/vst3/FObject.h"

namespace Steinberg
{
void InterfaceTable::Add(const FUID& iid, FUnknown* object)
{
  if (m_count < kCapacity)
  {
    m_entries[m_count++] = Entry{&iid, object};
  }
}

FUnknown* InterfaceTable::Find(const int8* iid) const
{
  if (iid == nullptr)
  {
    return nullptr;
  }
  for (int i = 0; i < m_count; ++i)
  {
    if (m_entries[i].iid->Matches(iid))
    {
      return m_entries[i].object;
    }
  }
  return nullptr;
}

tresult PLUGIN_API FObject::queryInterface(const TUID iid, void** obj)
{
  if (obj == nullptr)
  {
    return kInvalidArgument;
  }
  InterfaceTable table;
  CollectInterfaces(table);
  FUnknown* found = table.Find(iid);
  if (found == nullptr)
  {
    *obj = nullptr;
    return kNoInterface;
  }
  // The reference goes through the found sub-object so that a class which forwards counting
  // elsewhere is counted the same way as a host's own addRef on that pointer.
  found->addRef();
  *obj = found;
  return kResultOk;
}

uint32 PLUGIN_API FObject::addRef()
{
  return m_refCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 PLUGIN_API FObject::release()
{
  // acq_rel: every use of the object by other threads happens before its deletion here.
  const uint32 previous = m_refCount.fetch_sub(1, std::memory_order_acq_rel);
  if (previous == 1)
  {
    delete this;
    return 0;
  }
  return previous - 1;
}

void FObject::CollectInterfaces(InterfaceTable& table)
{
  table.Add(FUnknown::iid, this);
}
} // namespace Steinberg
