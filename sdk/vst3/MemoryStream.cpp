#include "sdk/vst3/MemoryStream.h"

#include <algorithm>
#include <new>

namespace Steinberg
{
MemoryStream::MemoryStream(std::span<const uint8> bytes) : m_data(bytes.begin(), bytes.end()) {}

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
  if (numBytesRead != nullptr)
  {
    *numBytesRead = 0;
  }
  if (numBytes < 0 || (buffer == nullptr && numBytes > 0))
  {
    return kInvalidArgument;
  }
  const int64 available = std::max<int64>(0, GetSize() - m_position);
  const auto count = static_cast<int32>(std::min<int64>(numBytes, available));
  if (count > 0)
  {
    std::memcpy(buffer, m_data.data() + m_position, static_cast<size_t>(count));
    m_position += count;
  }
  if (numBytesRead != nullptr)
  {
    *numBytesRead = count;
  }
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten)
{
  if (numBytesWritten != nullptr)
  {
    *numBytesWritten = 0;
  }
  if (numBytes < 0 || (buffer == nullptr && numBytes > 0))
  {
    return kInvalidArgument;
  }
  const int64 end = m_position + numBytes;
  if (end > kMaxSize)
  {
    return kOutOfMemory;
  }
  try
  {
    if (end > GetSize())
    {
      m_data.resize(static_cast<size_t>(end));
    }
  }
  catch (const std::bad_alloc&)
  {
    return kOutOfMemory;
  }
  if (numBytes > 0)
  {
    std::memcpy(m_data.data() + m_position, buffer, static_cast<size_t>(numBytes));
  }
  m_position = end;
  if (numBytesWritten != nullptr)
  {
    *numBytesWritten = numBytes;
  }
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek(int64 pos, int32 mode, int64* result)
{
  int64 base = 0;
  switch (mode)
  {
  case kIBSeekSet:
    base = 0;
    break;
  case kIBSeekCur:
    base = m_position;
    break;
  case kIBSeekEnd:
    base = GetSize();
    break;
  default:
    return kInvalidArgument;
  }
  // Both terms lie within 0..kMaxSize, so a target outside the range is caught before it
  // could overflow.
  if (pos < -base || pos > GetSize() - base)
  {
    return kInvalidArgument;
  }
  m_position = base + pos;
  if (result != nullptr)
  {
    *result = m_position;
  }
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* pos)
{
  if (pos == nullptr)
  {
    return kInvalidArgument;
  }
  *pos = m_position;
  return kResultOk;
}

void MemoryStream::Clear()
{
  m_data.clear();
  m_position = 0;
}

void MemoryStream::CollectInterfaces(InterfaceTable& table)
{
  FObject::CollectInterfaces(table);
  table.Add(IBStream::iid, static_cast<IBStream*>(this));
}
} // namespace Steinberg
