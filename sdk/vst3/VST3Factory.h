#pragma once
// The class factory a module exports through GetPluginFactory, and its information records.
//
// The host calls the factory on its main thread: it reads PFactoryInfo and one class record per
// class, then creates a class by its 16-byte class ID. Narrow text fields are UTF-8 (ASCII in
// practice), the fields of PClassInfoW are UTF-16; every field is NUL-terminated inside its size.

#include "sdk/vst3/VST3Base.h"

namespace Steinberg
{
/// Factory-wide information.
struct PFactoryInfo
{
  enum FactoryFlags : int32
  {
    kNoFlags = 0,
    kClassesDiscardable = 1 << 0,
    kLicenseCheck = 1 << 1,
    kComponentNonDiscardable = 1 << 3,
    kUnicode = 1 << 4 ///< the class records are also available as PClassInfoW
  };
  static constexpr int32 kURLSize = 256;
  static constexpr int32 kEmailSize = 128;
  static constexpr int32 kNameSize = 64;

  char8 vendor[kNameSize];
  char8 url[kURLSize];
  char8 email[kEmailSize];
  int32 flags;
};

/// Basic class record (narrow texts).
struct PClassInfo
{
  enum ClassCardinality : int32
  {
    kManyInstances = 0x7FFFFFFF
  };
  static constexpr int32 kCategorySize = 32;
  static constexpr int32 kNameSize = 64;

  TUID cid;
  int32 cardinality;
  char8 category[kCategorySize];
  char8 name[kNameSize];
};

/// Extended class record (narrow texts): adds flags, sub-categories, vendor and versions.
struct PClassInfo2
{
  static constexpr int32 kVendorSize = 64;
  static constexpr int32 kVersionSize = 64;
  static constexpr int32 kSubCategoriesSize = 128;

  TUID cid;
  int32 cardinality;
  char8 category[PClassInfo::kCategorySize];
  char8 name[PClassInfo::kNameSize];
  uint32 classFlags;
  char8 subCategories[kSubCategoriesSize]; ///< "|"-separated, e.g. "Fx|Delay"
  char8 vendor[kVendorSize];
  char8 version[kVersionSize];
  char8 sdkVersion[kVersionSize];
};

/// Extended class record with UTF-16 name, vendor and versions (category and sub-categories
/// stay narrow).
struct PClassInfoW
{
  TUID cid;
  int32 cardinality;
  char8 category[PClassInfo::kCategorySize];
  char16 name[PClassInfo::kNameSize];
  uint32 classFlags;
  char8 subCategories[PClassInfo2::kSubCategoriesSize];
  char16 vendor[PClassInfo2::kVendorSize];
  char16 version[PClassInfo2::kVersionSize];
  char16 sdkVersion[PClassInfo2::kVersionSize];
};

/// The module's class factory. createInstance answers kResultOk with one reference in *obj, or
/// stores null and answers a failure.
class IPluginFactory : public FUnknown
{
public:
  virtual tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 PLUGIN_API countClasses() = 0;
  virtual tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) = 0;
  virtual tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;

  static constexpr FUID iid = MakeFUID(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory
{
public:
  virtual tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) = 0;

  static constexpr FUID iid = MakeFUID(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

class IPluginFactory3 : public IPluginFactory2
{
public:
  virtual tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
  /// The host hands its context (IHostApplication) to the factory before creating classes.
  virtual tresult PLUGIN_API setHostContext(FUnknown* context) = 0;

  static constexpr FUID iid = MakeFUID(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
};

namespace Vst
{
/// Category texts of PClassInfo.
constexpr const char8* kVstAudioEffectClass = "Audio Module Class";
constexpr const char8* kVstComponentControllerClass = "Component Controller Class";

/// Class flags of PClassInfo2 for components.
enum ComponentFlags : uint32
{
  kDistributable = 1 << 0,
  kSimpleModeSupported = 1 << 1
};
} // namespace Vst

// Signatures of the module's exported entry points (Linux: ModuleEntry/ModuleExit; Windows:
// InitDll/ExitDll). ModuleEntry receives the handle returned by dlopen.
using GetFactoryProc = IPluginFactory*(PLUGIN_API*)();
using ModuleEntryFunc = bool(PLUGIN_API*)(void* sharedLibraryHandle);
using ModuleExitFunc = bool(PLUGIN_API*)();

static_assert(sizeof(PFactoryInfo) == 452);
static_assert(sizeof(PClassInfo) == 116);
static_assert(sizeof(PClassInfo2) == 440);
static_assert(sizeof(PClassInfoW) == 696);
static_assert(offsetof(PClassInfoW, name) == 52 && offsetof(PClassInfoW, classFlags) == 180);
} // namespace Steinberg
