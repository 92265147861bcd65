#pragma once
// Basic VST 3 ABI types: scalar types, result codes, interface identifiers, the root interface
// FUnknown, IPluginBase and the byte stream IBStream.
//
// These declarations mirror the published binary interface, so names and member order are the
// interface's own and must not change: the host calls through these vtables. Interfaces carry
// no destructor (a virtual destructor would add vtable slots the host does not know).
// Records use natural alignment; on x86-64 (Linux and Windows) that is the published layout,
// and the static_asserts below each record check it on every 64-bit build.

#include <cstddef>
#include <cstdint>
#include <cstring>

// Calling convention of every interface method and exported entry point. It only matters on
// 32-bit Windows; on x86-64 the compilers accept and ignore it.
#ifdef _WIN32
#define PLUGIN_API __stdcall
#else
#define PLUGIN_API
#endif

// The exported entry points of a module carry default visibility (the rest of the module is
// hidden); on Windows they are exported from the DLL.
#ifdef _WIN32
#define TONVERA_VST3_EXPORT extern "C" __declspec(dllexport)
#else
#define TONVERA_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace Steinberg
{
using int8 = char;
using uint8 = std::uint8_t;
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using TSize = int64;
using tresult = int32;
using TBool = uint8;
using char8 = char;
using char16 = char16_t;
using TChar = char16;
using CString = const char8*;
using FIDString = const char8*; ///< for interface and class IDs: points at 16 bytes
using TUID = int8[16];

constexpr bool kIsComCompatible =
#ifdef _WIN32
    true;
#else
    false;
#endif

// Result codes. Windows uses the COM values so that the interfaces stay COM-compatible;
// other platforms use small integers. kResultOk and kResultTrue are the same value.
#ifdef _WIN32
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = kResultOk;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = kResultOk;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

/// A 16-byte interface or class identifier, written as four 32-bit words l1..l4.
/// On Windows the bytes follow the COM GUID layout (l1 little-endian, the two halves of l2 each
/// little-endian, l3 and l4 big-endian); elsewhere all four words are stored big-endian.
struct FUID
{
  int8 data[16];

  constexpr bool operator==(const FUID& other) const
  {
    for (int i = 0; i < 16; ++i)
    {
      if (data[i] != other.data[i])
      {
        return false;
      }
    }
    return true;
  }

  /// True when the 16 bytes at `tuid` equal this ID; false for a null pointer.
  bool Matches(const int8* tuid) const { return tuid != nullptr && std::memcmp(data, tuid, 16) == 0; }

  /// Copies 16 bytes from `tuid` (which must not be null).
  static FUID FromTUID(const int8* tuid)
  {
    FUID id{};
    std::memcpy(id.data, tuid, 16);
    return id;
  }
};

/// The identifier in COM GUID byte order (the Windows layout).
constexpr FUID MakeFUIDComOrder(uint32 l1, uint32 l2, uint32 l3, uint32 l4)
{
  auto byte = [](uint32 word, int shift) { return static_cast<int8>(static_cast<uint8>(word >> shift)); };
  return FUID{{byte(l1, 0), byte(l1, 8), byte(l1, 16), byte(l1, 24), byte(l2, 16), byte(l2, 24), byte(l2, 0),
               byte(l2, 8), byte(l3, 24), byte(l3, 16), byte(l3, 8), byte(l3, 0), byte(l4, 24), byte(l4, 16),
               byte(l4, 8), byte(l4, 0)}};
}

/// The identifier with all four words big-endian (the layout off Windows).
constexpr FUID MakeFUIDBigEndian(uint32 l1, uint32 l2, uint32 l3, uint32 l4)
{
  auto byte = [](uint32 word, int shift) { return static_cast<int8>(static_cast<uint8>(word >> shift)); };
  return FUID{{byte(l1, 24), byte(l1, 16), byte(l1, 8), byte(l1, 0), byte(l2, 24), byte(l2, 16), byte(l2, 8),
               byte(l2, 0), byte(l3, 24), byte(l3, 16), byte(l3, 8), byte(l3, 0), byte(l4, 24), byte(l4, 16),
               byte(l4, 8), byte(l4, 0)}};
}

/// Builds the identifier from its four words in the byte order of this platform.
constexpr FUID MakeFUID(uint32 l1, uint32 l2, uint32 l3, uint32 l4)
{
  return kIsComCompatible ? MakeFUIDComOrder(l1, l2, l3, l4) : MakeFUIDBigEndian(l1, l2, l3, l4);
}

/// Root interface: every object handed across the boundary answers these three methods.
/// queryInterface stores an added reference in *obj and answers kResultOk, or stores null and
/// answers kNoInterface. addRef and release answer the new count (informational only).
class FUnknown
{
public:
  virtual tresult PLUGIN_API queryInterface(const TUID iid, void** obj) = 0;
  virtual uint32 PLUGIN_API addRef() = 0;
  virtual uint32 PLUGIN_API release() = 0;

  static constexpr FUID iid = MakeFUID(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

/// Initialisation of a plug-in object: the host calls initialize (with its host context)
/// right after creation and terminate before the last release.
class IPluginBase : public FUnknown
{
public:
  virtual tresult PLUGIN_API initialize(FUnknown* context) = 0;
  virtual tresult PLUGIN_API terminate() = 0;

  static constexpr FUID iid = MakeFUID(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

/// Seek origins of IBStream::seek.
enum IStreamSeekMode : int32
{
  kIBSeekSet = 0,
  kIBSeekCur = 1,
  kIBSeekEnd = 2
};

/// Byte stream handed over for state. Reads and writes may be short: the count actually moved
/// is stored through the optional count pointer.
class IBStream : public FUnknown
{
public:
  virtual tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
  virtual tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
  virtual tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result) = 0;
  virtual tresult PLUGIN_API tell(int64* pos) = 0;

  static constexpr FUID iid = MakeFUID(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

/// Asks `object` for the interface `I`; answers the pointer with one added reference, or null.
template <typename I>
I* QueryInterfaceOf(FUnknown* object)
{
  void* result = nullptr;
  if (object == nullptr || object->queryInterface(I::iid.data, &result) != kResultOk)
  {
    return nullptr;
  }
  return static_cast<I*>(result);
}

static_assert(sizeof(TChar) == 2, "VST 3 strings are UTF-16");
static_assert(sizeof(TUID) == 16);
} // namespace Steinberg
