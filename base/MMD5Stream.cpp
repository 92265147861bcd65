#include "base/MMD5Stream.h"

#include "base/MException.h"

#ifdef _WIN32
// Windows: the system's cryptographic service provider computes the digest.
#include <windows.h>
#include <wincrypt.h>

struct MMD5Stream::Context
{
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;

  Context()
  {
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
      throw MException("Could not start the MD5 digest.");
    Restart();
  }

  ~Context()
  {
    if (hash != 0)
      CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
  }

  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  void Restart()
  {
    if (hash != 0)
      CryptDestroyHash(hash);
    hash = 0;
    if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash))
      throw MException("Could not start the MD5 digest.");
  }
};

MMD5Stream::MMD5Stream(MStream* target) : MHashStream(target), m_context(std::make_unique<Context>()) {}

MMD5Stream::~MMD5Stream() = default;

void MMD5Stream::Update(const std::uint8_t* bytes, std::size_t byteCount)
{
  // CryptHashData takes at most 4 GiB - 1 at a time.
  constexpr std::size_t kChunk = std::size_t(1) << 30;
  while (byteCount > 0)
  {
    const std::size_t count = byteCount < kChunk ? byteCount : kChunk;
    if (!CryptHashData(m_context->hash, bytes, static_cast<DWORD>(count), 0))
      throw MException("Could not compute the MD5 digest.");
    bytes += count;
    byteCount -= count;
  }
}

std::vector<std::uint8_t> MMD5Stream::Finalize()
{
  std::vector<std::uint8_t> digest(16);
  DWORD size = static_cast<DWORD>(digest.size());
  if (!CryptGetHashParam(m_context->hash, HP_HASHVAL, digest.data(), &size, 0) || size != digest.size())
    throw MException("Could not compute the MD5 digest.");
  m_context->Restart();
  return digest;
}

#else
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
#endif
