#include "base/MMD5Stream.h"

#include <md5.h>

struct MMD5Stream::Context
{
  MD5_CTX md5;
};

MMD5Stream::MMD5Stream(MStream* target) : MHashStream(target), m_context(std::make_unique<Context>())
{
  MD5Init(&m_context->md5);
}

MMD5Stream::~MMD5Stream() = default;

void MMD5Stream::Update(const std::uint8_t* bytes, std::size_t byteCount)
{
  if (byteCount > 0)
    MD5Update(&m_context->md5, bytes, byteCount);
}

std::vector<std::uint8_t> MMD5Stream::Finalize()
{
  std::vector<std::uint8_t> digest(MD5_DIGEST_LENGTH);
  MD5Final(digest.data(), &m_context->md5);
  MD5Init(&m_context->md5);
  return digest;
}
