#pragma once
// The module's class factory: a list of registered classes, each with its records and a create
// function.
//
// A module builds one factory in GetPluginFactory, registers its classes and hands it to the
// host. The host calls it on its main thread; registration happens before the factory is
// handed out.

#include "sdk/vst3/FObject.h"
#include "sdk/vst3/VST3Factory.h"

#include <vector>

namespace Steinberg
{
class CPluginFactory : public FObject, public IPluginFactory3
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  /// Creates an instance with one reference, or answers null. `context` is the pointer given at
  /// registration. It may throw; the factory answers kInternalError then.
  using CreateFunction = FUnknown* (*)(void* context);

  explicit CPluginFactory(const PFactoryInfo& info);

  /// The module's one factory, for GetPluginFactory: the existing factory with an added
  /// reference, or a new one (one reference) on which `registerClasses` has run. When the host
  /// releases the factory for good, the next call builds a new one. Thread-safe.
  static IPluginFactory* GetShared(const PFactoryInfo& info,
                                   void (*registerClasses)(CPluginFactory& factory));

  /// Registers a class described by narrow records (the UTF-16 record is derived from it), or by
  /// UTF-16 records (the narrow one is derived, UTF-8). False when the class ID is taken or the
  /// create function is null.
  bool RegisterClass(const PClassInfo2& info, CreateFunction create, void* context = nullptr);
  bool RegisterClass(const PClassInfoW& info, CreateFunction create, void* context = nullptr);
  bool IsClassRegistered(const FUID& cid) const;

  /// The context of setHostContext (no added reference; valid while the factory holds it).
  FUnknown* GetHostContext() const { return m_hostContext; }

  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override;
  int32 PLUGIN_API countClasses() override;
  /// kResultOk, or kInvalidArgument for a null record or an index out of range.
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override;
  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override;
  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override;
  /// Creates the class `cid` and answers its interface `iid` with one reference:
  /// kInvalidArgument for null arguments, kNoInterface (and null) for an unknown class or an
  /// interface the instance does not answer, kInternalError when creation fails.
  tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override;
  /// Keeps the context with a reference (replacing an earlier one); kResultOk.
  tresult PLUGIN_API setHostContext(FUnknown* context) override;

protected:
  ~CPluginFactory() override;
  void CollectInterfaces(InterfaceTable& table) override;

private:
  struct ClassEntry
  {
    PClassInfo2 info2;
    PClassInfoW infoW;
    CreateFunction create;
    void* context;
  };
  const ClassEntry* FindClass(const int8* cid) const;
  const ClassEntry* EntryAt(int32 index) const;

  PFactoryInfo m_info;
  std::vector<ClassEntry> m_classes;
  FUnknown* m_hostContext = nullptr;
};
} // namespace Steinberg
