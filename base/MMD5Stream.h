#pragma once
// MD5 message digest (RFC 1321) of the data passing through; see MHashStream.

#include "base/MHashStream.h"

#include <memory>

class MMD5Stream : public MHashStream
{
public:
  explicit MMD5Stream(MStream* target = nullptr);
  ~MMD5Stream() override;

  MMD5Stream(const MMD5Stream&) = delete;
  MMD5Stream& operator=(const MMD5Stream&) = delete;

protected:
  void Update(const std::uint8_t* bytes, std::size_t byteCount) override;
  std::vector<std::uint8_t> Finalize() override;

private:
  struct Context;
  std::unique_ptr<Context> m_context;
};
