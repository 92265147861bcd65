#include "base/MHexaStream.h"

#include "base/MStreamFailure.h"

#include <algorithm>
#include <cstdint>

namespace
{
constexpr std::size_t kBytesPerPiece = 128;

int DigitValue(char c)
{
  const int value = MString::HexDigitValue(static_cast<unsigned char>(c));
  if (value < 0)
    MStreamFailure::Throw("Invalid character in hexadecimal text.");
  return value;
}
} // namespace

void MHexaStream::Write(const void* buffer, std::size_t byteCount)
{
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  char text[2 * kBytesPerPiece];
  while (byteCount > 0)
  {
    const std::size_t piece = std::min(byteCount, kBytesPerPiece);
    for (std::size_t i = 0; i < piece; ++i)
    {
      text[2 * i] = kDigits[bytes[i] >> 4];
      text[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    m_underlying.Write(text, 2 * piece);
    bytes += piece;
    byteCount -= piece;
  }
}

std::size_t MHexaStream::Read(void* buffer, std::size_t byteCount)
{
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  char text[2 * kBytesPerPiece];
  std::size_t total = 0;
  while (total < byteCount && !m_ended)
  {
    const std::size_t wanted = 2 * std::min(byteCount - total, kBytesPerPiece);
    const std::size_t got = m_underlying.ReadFully(text, wanted);
    if (got < wanted)
      m_ended = true; // the text ended; an odd last digit has no partner and is dropped
    const std::size_t pairs = got / 2;
    for (std::size_t i = 0; i < pairs; ++i)
      bytes[total + i] =
          static_cast<std::uint8_t>(DigitValue(text[2 * i]) << 4 | DigitValue(text[2 * i + 1]));
    total += pairs;
  }
  return total;
}
