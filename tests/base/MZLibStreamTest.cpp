#include "base/MMemoryStream.h"
#include "base/MZLibStream.h"

#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace
{
std::vector<std::uint8_t> Bytes(const MMemoryStream& stream)
{
  const auto& buffer = *stream.GetBuffer();
  return {buffer.GetData(), buffer.GetData() + buffer.GetSize()};
}

std::vector<std::uint8_t> Compress(const std::string& text, int quality)
{
  MMemoryStream target;
  MZLibStream zlib(target, MZLibStream::Direction::Writing, quality);
  zlib.Write(text.data(), text.size());
  zlib.Finish();
  return Bytes(target);
}

// Reads everything in pieces of `piece` bytes.
std::string Decompress(const std::vector<std::uint8_t>& bytes, std::size_t piece = 1000,
                       std::uint64_t limit = MZLibStream::kDefaultOutputLimit)
{
  MMemoryStream source(bytes.data(), bytes.size());
  MZLibStream zlib(source, MZLibStream::Direction::Reading, 0, limit);
  std::string text;
  std::vector<char> buffer(piece);
  for (;;)
  {
    const std::size_t got = zlib.Read(buffer.data(), buffer.size());
    if (got == 0)
      break;
    text.append(buffer.data(), got);
  }
  EXPECT_TRUE(zlib.IsEndOfStream());
  return text;
}

std::string NoisyText(std::size_t size)
{
  std::mt19937 random(7);
  std::string text;
  for (std::size_t i = 0; i < size; ++i)
    text += static_cast<char>('a' + random() % 7);
  return text;
}

// The level field of the RFC 1950 header (FLEVEL, top two bits of the second byte): 0 fastest,
// 1 fast, 2 default, 3 maximum.
int HeaderLevelField(const std::vector<std::uint8_t>& bytes)
{
  return bytes.at(1) >> 6;
}

std::vector<const char*> s_reports;
void RecordReport(const char* message)
{
  s_reports.push_back(message);
}
} // namespace

TEST(MZLibStreamTest, RoundTripInOddPiecesStoredAtLowQualityAndAtTheTopAsZlibsOwn)
{
  const std::string text = NoisyText(300000);
  const auto bytes = Compress(text, 60);
  for (const std::size_t piece : {1u, 7u, 4096u, 100000u})
    EXPECT_EQ(Decompress(bytes, piece), text) << "piece " << piece;

  // Quality 0 and 1 store without compression.
  const std::string repeated(5000, 'x');
  for (const int quality : {0, 1})
  {
    const auto stored = Compress(repeated, quality);
    EXPECT_EQ(HeaderLevelField(stored), 0) << "quality " << quality;
    // Stored blocks keep every byte: the output cannot be smaller than the input.
    EXPECT_GT(stored.size(), repeated.size());
    EXPECT_EQ(Decompress(stored), repeated);
  }
  EXPECT_LT(Compress(repeated, 100).size(), 100u);

  // At the top quality the output is zlib's own one-shot compression.
  const std::string sample = NoisyText(20000);
  uLongf bound = compressBound(static_cast<uLong>(sample.size()));
  std::vector<std::uint8_t> oneShot(bound);
  ASSERT_EQ(compress2(oneShot.data(), &bound, reinterpret_cast<const Bytef*>(sample.data()),
                      static_cast<uLong>(sample.size()), 9),
            Z_OK);
  oneShot.resize(bound);
  EXPECT_EQ(Compress(sample, 100), oneShot);
}

TEST(MZLibStreamTest, CorruptOrTruncatedDataFailCleanly)
{
  auto bytes = Compress(NoisyText(2000), 100);
  bytes[bytes.size() / 2] ^= 0xFF;
  bytes[bytes.size() / 2 + 1] ^= 0x55;
  EXPECT_EQ(MessageOf([&] { Decompress(bytes); }), "Source compressed stream has invalid content.");
  const std::vector<std::uint8_t> notZlib = {'<', '?', 'x', 'm', 'l', ' '};
  EXPECT_EQ(MessageOf([&] { Decompress(notZlib); }), "Source compressed stream has invalid content.");

  // Truncated data fail cleanly at every cut.
  const auto compressed = Compress(NoisyText(3000), 100);
  for (std::size_t cut = 0; cut < compressed.size(); cut += 37)
  {
    const std::vector<std::uint8_t> part(compressed.begin(),
                                         compressed.begin() + static_cast<std::ptrdiff_t>(cut));
    const std::string message = MessageOf([&] { Decompress(part); });
    // A cut inside the checksum may also read as a wrong checksum: both are clean failures.
    EXPECT_TRUE(message == "Source compressed stream is truncated." ||
                message == "Source compressed stream has invalid content.")
        << "cut at " << cut << ": " << message;
  }
}

TEST(MZLibStreamTest, DecompressionBombStopsAtTheOutputLimit)
{
  // 17 MiB of zeros compress to a few kilobytes.
  const std::string zeros(17u << 20, '\0');
  const auto bomb = Compress(zeros, 100);
  ASSERT_LT(bomb.size(), 100000u);
  EXPECT_EQ(MessageOf([&] { Decompress(bomb, 1u << 16); }), "Decompressed data exceed the size limit.");
  // Exactly at a smaller limit is still fine; one byte over is not.
  const auto small = Compress(std::string(1000, 'a'), 100);
  EXPECT_EQ(Decompress(small, 64, 1000).size(), 1000u);
  EXPECT_EQ(MessageOf([&] { Decompress(small, 64, 999); }), "Decompressed data exceed the size limit.");
}

TEST(MZLibStreamTest, DestroyingAnUnfinishedWriterIsReportedNotThrownAndAWrongDirectionRefused)
{
  const auto previous = MZLibStream::SetUsageErrorReporter(&RecordReport);
  s_reports.clear();
  {
    MMemoryStream target;
    MZLibStream zlib(target, MZLibStream::Direction::Writing, 100);
    zlib.Write("abc", 3);
  }
  {
    MMemoryStream target;
    MZLibStream zlib(target, MZLibStream::Direction::Writing, 100);
    zlib.Finish();
  }
  MZLibStream::SetUsageErrorReporter(previous);
  ASSERT_EQ(s_reports.size(), 1u);
  EXPECT_STREQ(s_reports[0], "ZLIB stream has not been terminated.");

  // Each direction refuses the other's operation.
  MMemoryStream target;
  MZLibStream reader(target, MZLibStream::Direction::Reading);
  EXPECT_EQ(MessageOf([&] { reader.Write("a", 1); }), "Service \"write to stream\" is not implemented.");
  MZLibStream writer(target, MZLibStream::Direction::Writing);
  char byte = 0;
  EXPECT_EQ(MessageOf([&] { writer.Read(&byte, 1); }), "Service \"read from stream\" is not implemented.");
  writer.Finish();
}
