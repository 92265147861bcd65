#include "base/MHexaStream.h"
#include "base/MMD5Stream.h"
#include "base/MMemoryStream.h"

#include "tests/base/MExpectMessage.h"
#include "tests/base/MStreamTestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

TEST(MMD5StreamTest, DigestsTheReferenceSuiteAndPassesDataThroughBothWays)
{
  const struct
  {
    std::string message;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  MMD5Stream md5;
  for (const auto& c : cases)
  {
    // Written in two parts: the digest must not depend on how the data were split.
    const std::size_t half = c.message.size() / 2;
    md5.Write(c.message.data(), half);
    md5.Write(c.message.data() + half, c.message.size() - half);
    EXPECT_EQ(md5.GetDigestText().ToUTF8(), c.digest) << '"' << c.message << '"';
  }

  // With a target, the data pass through both ways.
  MMemoryStream target;
  MMD5Stream writer(&target);
  writer.Write("abc", 3);
  EXPECT_EQ(BytesOf(target), "abc");
  EXPECT_EQ(writer.GetDigestText().ToUTF8(), "900150983cd24fb0d6963f7d28e17f72");

  MMemoryStream source("message digest", 14);
  MMD5Stream reader(&source);
  char bytes[32];
  EXPECT_EQ(reader.ReadFully(bytes, sizeof bytes), 14u);
  EXPECT_EQ(reader.GetDigestText().ToUTF8(), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(MHexaStreamTest, EveryByteValueRoundTripsReadInEitherCaseAcrossShortReads)
{
  std::string all;
  for (int i = 0; i < 256; ++i)
    all += static_cast<char>(i);
  MMemoryStream written;
  MHexaStream(written).Write(all.data(), all.size());
  std::string text = BytesOf(written);
  ASSERT_EQ(text.size(), 512u);
  // Letters in both cases, and an odd digit at the end, which is dropped.
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char>(i % 2 == 0 ? std::toupper(text[i]) : std::tolower(text[i]));
  MShortReadStream source(text + "C", 33);
  MHexaStream hexa(source);
  std::string back(1000, '\0');
  back.resize(hexa.ReadFully(back.data(), back.size()));
  EXPECT_EQ(back, all);
  EXPECT_EQ(hexa.Read(back.data(), 1), 0u);
}

TEST(MHexaStreamTest, NonDigitTextIsRejected)
{
  MMemoryStream source("0A1G", 4);
  MHexaStream hexa(source);
  char bytes[2];
  EXPECT_EQ(MessageOf([&] { hexa.Read(bytes, 2); }), "Invalid character in hexadecimal text.");
}
