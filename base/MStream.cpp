#include "base/MStream.h"

#include "base/MStreamFailure.h"

#include <algorithm>
#include <cstring>

MStream* MStream::ReturnSubstream()
{
  ThrowNotImplemented("return substream");
}

void MStream::Write(const void*, std::size_t)
{
  ThrowNotImplemented("write to stream");
}

void MStream::WriteZeros(std::size_t byteCount)
{
  static constexpr std::size_t kPiece = 1024;
  const unsigned char zeros[kPiece] = {};
  while (byteCount > 0)
  {
    const std::size_t piece = std::min(byteCount, kPiece);
    Write(zeros, piece);
    byteCount -= piece;
  }
}

std::size_t MStream::Read(void*, std::size_t)
{
  ThrowNotImplemented("read from stream");
}

std::size_t MStream::ReadLine(char* buffer, std::size_t capacity)
{
  if (capacity < 2)
    MStreamFailure::Throw("Could not load a line from stream.");
  std::size_t length = 0;
  bool anyByte = false;
  while (length + 1 < capacity)
  {
    char c = 0;
    if (Read(&c, 1) != 1)
      break;
    anyByte = true;
    if (c == 0 || c == '\n')
      break;
    if (c != '\r')
      buffer[length++] = c;
  }
  buffer[length] = 0;
  if (!anyByte)
    MStreamFailure::Throw("Could not load a line from stream.");
  return length;
}

void MStream::WriteString(const MString& text)
{
  const std::string narrow = MStreamFailure::ToNarrow(text);
  if (!narrow.empty())
    Write(narrow.data(), narrow.size());
}

void MStream::WriteLine(const MString& text)
{
  WriteString(text);
  const char lineFeed = '\n';
  Write(&lineFeed, 1);
}

void MStream::Seek(std::int64_t offset, int origin)
{
  std::int64_t forward = 0;
  switch (origin)
  {
  case kSeekFromStart:
    forward = offset - GetPosition();
    break;
  case kSeekFromCurrent:
    forward = offset;
    break;
  case kSeekFromEnd:
    forward = GetSize() + offset - GetPosition();
    break;
  default:
    MStreamFailure::Throw("Invalid seek origin.");
  }
  if (forward < 0)
    ThrowNotImplemented("backward seek in a stream");
  unsigned char discard[1024];
  while (forward > 0)
  {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(forward, sizeof discard));
    const std::size_t got = Read(discard, piece);
    if (got == 0)
      break; // the data ended: the position stays at the end
    forward -= static_cast<std::int64_t>(got);
  }
}

std::int64_t MStream::GetPosition()
{
  ThrowNotImplemented("get stream position");
}

void MStream::Flush()
{
  ThrowNotImplemented("flush stream");
}

bool MStream::IsEndOfStream()
{
  ThrowNotImplemented("end of stream test");
}

void MStream::Truncate()
{
  ThrowNotImplemented("truncate stream");
}

std::int64_t MStream::GetSize()
{
  ThrowNotImplemented("stream size detection");
}

std::size_t MStream::ReadFully(void* buffer, std::size_t byteCount)
{
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t total = 0;
  while (total < byteCount)
  {
    const std::size_t got = Read(bytes + total, byteCount - total);
    if (got == 0)
      break;
    total += got;
  }
  return total;
}

void MStream::ThrowNotImplemented(const char* service)
{
  MStreamFailure::Throw("Service \"{0}\" is not implemented.", MString::FromLiteral(service));
}
