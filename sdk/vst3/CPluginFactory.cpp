#include "sdk/vst3/CPluginFactory.h"

#include "sdk/vst3/VST3String.h"

#include <mutex>

namespace Steinberg
{
namespace
{
// The factory GetShared hands out; guarded by s_sharedLock, cleared by the factory's destructor.
std::mutex s_sharedLock;
CPluginFactory* s_shared = nullptr;

// Text fields of records from elsewhere may be unterminated; these views stop at the field end.
std::string_view Narrow(const char8* field, size_t size)
{
  size_t length = 0;
  while (length < size && field[length] != 0)
  {
    ++length;
  }
  return {field, length};
}

std::u16string_view Wide(const char16* field, int32 size)
{
  return {field, static_cast<size_t>(StringLength16(field, size))};
}
} // namespace

CPluginFactory::CPluginFactory(const PFactoryInfo& info) : m_info(info)
{
  m_info.vendor[PFactoryInfo::kNameSize - 1] = 0;
  m_info.url[PFactoryInfo::kURLSize - 1] = 0;
  m_info.email[PFactoryInfo::kEmailSize - 1] = 0;
}

IPluginFactory* CPluginFactory::GetShared(const PFactoryInfo& info,
                                          void (*registerClasses)(CPluginFactory& factory))
{
  std::lock_guard<std::mutex> lock(s_sharedLock);
  if (s_shared == nullptr)
  {
    auto* factory = new CPluginFactory(info);
    if (registerClasses != nullptr)
    {
      registerClasses(*factory);
    }
    s_shared = factory; // the new factory's own reference goes to the caller
  }
  else
  {
    s_shared->addRef();
  }
  return s_shared;
}

CPluginFactory::~CPluginFactory()
{
  {
    std::lock_guard<std::mutex> lock(s_sharedLock);
    if (s_shared == this)
    {
      s_shared = nullptr;
    }
  }
  if (m_hostContext != nullptr)
  {
    m_hostContext->release();
  }
}

bool CPluginFactory::RegisterClass(const PClassInfo2& info, CreateFunction create, void* context)
{
  if (create == nullptr || FindClass(info.cid) != nullptr)
  {
    return false;
  }
  ClassEntry entry{};
  std::memcpy(entry.info2.cid, info.cid, sizeof(TUID));
  entry.info2.cardinality = info.cardinality;
  CopyString8(entry.info2.category, Narrow(info.category, sizeof info.category));
  CopyString8(entry.info2.name, Narrow(info.name, sizeof info.name));
  entry.info2.classFlags = info.classFlags;
  CopyString8(entry.info2.subCategories, Narrow(info.subCategories, sizeof info.subCategories));
  CopyString8(entry.info2.vendor, Narrow(info.vendor, sizeof info.vendor));
  CopyString8(entry.info2.version, Narrow(info.version, sizeof info.version));
  CopyString8(entry.info2.sdkVersion, Narrow(info.sdkVersion, sizeof info.sdkVersion));

  std::memcpy(entry.infoW.cid, info.cid, sizeof(TUID));
  entry.infoW.cardinality = info.cardinality;
  CopyString8(entry.infoW.category, Narrow(info.category, sizeof info.category));
  CopyUtf8ToString16(entry.infoW.name, Narrow(info.name, sizeof info.name));
  entry.infoW.classFlags = info.classFlags;
  CopyString8(entry.infoW.subCategories, Narrow(info.subCategories, sizeof info.subCategories));
  CopyUtf8ToString16(entry.infoW.vendor, Narrow(info.vendor, sizeof info.vendor));
  CopyUtf8ToString16(entry.infoW.version, Narrow(info.version, sizeof info.version));
  CopyUtf8ToString16(entry.infoW.sdkVersion, Narrow(info.sdkVersion, sizeof info.sdkVersion));

  entry.create = create;
  entry.context = context;
  m_classes.push_back(entry);
  return true;
}

bool CPluginFactory::RegisterClass(const PClassInfoW& info, CreateFunction create, void* context)
{
  PClassInfo2 narrow{};
  std::memcpy(narrow.cid, info.cid, sizeof(TUID));
  narrow.cardinality = info.cardinality;
  CopyString8(narrow.category, Narrow(info.category, sizeof info.category));
  CopyString16ToUtf8(narrow.name, sizeof narrow.name, Wide(info.name, PClassInfo::kNameSize));
  narrow.classFlags = info.classFlags;
  CopyString8(narrow.subCategories, Narrow(info.subCategories, sizeof info.subCategories));
  CopyString16ToUtf8(narrow.vendor, sizeof narrow.vendor, Wide(info.vendor, PClassInfo2::kVendorSize));
  CopyString16ToUtf8(narrow.version, sizeof narrow.version, Wide(info.version, PClassInfo2::kVersionSize));
  CopyString16ToUtf8(narrow.sdkVersion, sizeof narrow.sdkVersion,
                     Wide(info.sdkVersion, PClassInfo2::kVersionSize));
  if (!RegisterClass(narrow, create, context))
  {
    return false;
  }
  // Keep the UTF-16 texts as given rather than their round trip through UTF-8.
  PClassInfoW& stored = m_classes.back().infoW;
  CopyString16(stored.name, Wide(info.name, PClassInfo::kNameSize));
  CopyString16(stored.vendor, Wide(info.vendor, PClassInfo2::kVendorSize));
  CopyString16(stored.version, Wide(info.version, PClassInfo2::kVersionSize));
  CopyString16(stored.sdkVersion, Wide(info.sdkVersion, PClassInfo2::kVersionSize));
  return true;
}

bool CPluginFactory::IsClassRegistered(const FUID& cid) const
{
  return FindClass(cid.data) != nullptr;
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info)
{
  if (info == nullptr)
  {
    return kInvalidArgument;
  }
  *info = m_info;
  return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses()
{
  return static_cast<int32>(m_classes.size());
}

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info)
{
  const ClassEntry* entry = EntryAt(index);
  if (entry == nullptr || info == nullptr)
  {
    return kInvalidArgument;
  }
  std::memcpy(info->cid, entry->info2.cid, sizeof(TUID));
  info->cardinality = entry->info2.cardinality;
  std::memcpy(info->category, entry->info2.category, sizeof info->category);
  std::memcpy(info->name, entry->info2.name, sizeof info->name);
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info)
{
  const ClassEntry* entry = EntryAt(index);
  if (entry == nullptr || info == nullptr)
  {
    return kInvalidArgument;
  }
  *info = entry->info2;
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info)
{
  const ClassEntry* entry = EntryAt(index);
  if (entry == nullptr || info == nullptr)
  {
    return kInvalidArgument;
  }
  *info = entry->infoW;
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString iid, void** obj)
{
  if (obj == nullptr)
  {
    return kInvalidArgument;
  }
  *obj = nullptr;
  if (cid == nullptr || iid == nullptr)
  {
    return kInvalidArgument;
  }
  const ClassEntry* entry = FindClass(cid);
  if (entry == nullptr)
  {
    return kNoInterface;
  }
  FUnknown* instance = nullptr;
  try
  {
    instance = entry->create(entry->context);
  }
  catch (...)
  {
    return kInternalError; // nothing may propagate into the host
  }
  if (instance == nullptr)
  {
    return kInternalError;
  }
  // The query adds the host's reference; releasing the creation reference leaves exactly one,
  // or deletes an instance that does not answer the interface.
  const tresult result = instance->queryInterface(iid, obj);
  instance->release();
  if (result != kResultOk)
  {
    *obj = nullptr;
    return kNoInterface;
  }
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* context)
{
  if (context != nullptr)
  {
    context->addRef();
  }
  if (m_hostContext != nullptr)
  {
    m_hostContext->release();
  }
  m_hostContext = context;
  return kResultOk;
}

void CPluginFactory::CollectInterfaces(InterfaceTable& table)
{
  FObject::CollectInterfaces(table);
  table.Add(IPluginFactory::iid, static_cast<IPluginFactory3*>(this));
  table.Add(IPluginFactory2::iid, static_cast<IPluginFactory3*>(this));
  table.Add(IPluginFactory3::iid, static_cast<IPluginFactory3*>(this));
}

const CPluginFactory::ClassEntry* CPluginFactory::FindClass(const int8* cid) const
{
  for (const ClassEntry& entry : m_classes)
  {
    if (std::memcmp(entry.info2.cid, cid, sizeof(TUID)) == 0)
    {
      return &entry;
    }
  }
  return nullptr;
}

const CPluginFactory::ClassEntry* CPluginFactory::EntryAt(int32 index) const
{
  if (index < 0 || index >= static_cast<int32>(m_classes.size()))
  {
    return nullptr;
  }
  return &m_classes[static_cast<size_t>(index)];
}
} // namespace Steinberg
