#include "base/MHashStream.h"

void MHashStream::Write(const void* buffer, std::size_t byteCount)
{
  Update(static_cast<const std::uint8_t*>(buffer), byteCount);
  m_digested += static_cast<std::int64_t>(byteCount);
  if (m_target != nullptr)
    m_target->Write(buffer, byteCount);
}

std::size_t MHashStream::Read(void* buffer, std::size_t byteCount)
{
  if (m_target == nullptr)
    ThrowNotImplemented("read from stream");
  const std::size_t got = m_target->Read(buffer, byteCount);
  Update(static_cast<const std::uint8_t*>(buffer), got);
  m_digested += static_cast<std::int64_t>(got);
  return got;
}

void MHashStream::Flush()
{
  if (m_target != nullptr)
    m_target->Flush();
}

std::vector<std::uint8_t> MHashStream::GetDigest()
{
  m_digested = 0;
  return Finalize();
}

MString MHashStream::GetDigestText()
{
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : GetDigest())
  {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return MString::FromNarrow(text);
}
