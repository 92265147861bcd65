#pragma once
// An IBStream over a growable byte buffer, for state in tests and in the test host.
//
// Reads past the end are short (the count read says how many bytes came; at the end it is 0)
// and still answer kResultOk, as host streams do. Writes grow the buffer up to kMaxSize.
// Seeks to a position before 0 or past the end are refused and leave the position unchanged.
// One thread at a time.

#include "sdk/vst3/FObject.h"

#include <span>
#include <vector>

namespace Steinberg
{
class MemoryStream : public FObject, public IBStream
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  /// Largest stream content; a write beyond it is refused with kOutOfMemory.
  static constexpr int64 kMaxSize = int64{1} << 30;

  MemoryStream() = default;
  /// Starts with a copy of `bytes`, positioned at 0.
  explicit MemoryStream(std::span<const uint8> bytes);

  /// kInvalidArgument for a negative count or a null buffer with a positive count.
  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override;
  /// Writes at the position (overwriting, then growing); kInvalidArgument as read,
  /// kOutOfMemory when the content would exceed kMaxSize or memory runs out.
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
  /// kInvalidArgument for an unknown mode or a target outside 0..size.
  tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result) override;
  /// kInvalidArgument for a null pointer.
  tresult PLUGIN_API tell(int64* pos) override;

  const std::vector<uint8>& GetData() const { return m_data; }
  int64 GetSize() const { return static_cast<int64>(m_data.size()); }
  /// Empties the stream and rewinds it.
  void Clear();

protected:
  void CollectInterfaces(InterfaceTable& table) override;

private:
  std::vector<uint8> m_data;
  int64 m_position = 0;
};
} // namespace Steinberg
