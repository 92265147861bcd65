#include "base/MConsoleStream.h"

#include "base/MStreamFailure.h"

#include <cstdio>

void MConsoleStream::Write(const void* buffer, std::size_t byteCount)
{
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (byteCount > 0)
  {
    const std::size_t written = std::fwrite(bytes, 1, byteCount, stdout);
    if (written == 0)
      MStreamFailure::Throw("Error writing to console.");
    bytes += written;
    byteCount -= written;
  }
}

std::size_t MConsoleStream::Read(void* buffer, std::size_t byteCount)
{
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t total = 0;
  while (total < byteCount)
  {
    const std::size_t got = std::fread(bytes + total, 1, byteCount - total, stdin);
    total += got;
    if (got == 0)
    {
      if (std::ferror(stdin))
        MStreamFailure::Throw("Error reading from console.");
      break;
    }
  }
  return total;
}

void MConsoleStream::Flush()
{
  if (std::fflush(stdout) != 0)
    MStreamFailure::Throw("Error writing to console.");
}

bool MConsoleStream::IsEndOfStream()
{
  return std::feof(stdin) != 0;
}
