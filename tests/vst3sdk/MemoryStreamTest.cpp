// MemoryStream: reads, writes, seeks and their edges, as state code sees them through IBStream.

#include "sdk/vst3/MemoryStream.h"

#include <gtest/gtest.h>

#include <array>

using namespace Steinberg;

namespace
{
class MemoryStreamTest : public ::testing::Test
{
protected:
  void TearDown() override { EXPECT_EQ(m_object->release(), 0u); }

  /// Fills the stream with the bytes 0..count-1 and rewinds it.
  void Fill(int32 count)
  {
    std::vector<uint8> bytes(static_cast<size_t>(count));
    for (int32 i = 0; i < count; ++i)
    {
      bytes[static_cast<size_t>(i)] = static_cast<uint8>(i);
    }
    int32 written = -1;
    ASSERT_EQ(m_stream->write(bytes.data(), count, &written), kResultOk);
    ASSERT_EQ(written, count);
    ASSERT_EQ(m_stream->seek(0, kIBSeekSet, nullptr), kResultOk);
  }

  int64 Tell()
  {
    int64 position = -1;
    EXPECT_EQ(m_stream->tell(&position), kResultOk);
    return position;
  }

  MemoryStream* m_object = new MemoryStream();
  IBStream* m_stream = m_object;
};
} // namespace

TEST_F(MemoryStreamTest, ReadsBackWhatWasWrittenShortNearTheEndAndNothingAtIt)
{
  Fill(10);
  std::array<uint8, 10> bytes{};
  int32 read = -1;
  ASSERT_EQ(m_stream->read(bytes.data(), 10, &read), kResultOk);
  EXPECT_EQ(read, 10);
  for (int i = 0; i < 10; ++i)
  {
    EXPECT_EQ(bytes[static_cast<size_t>(i)], i);
  }
  EXPECT_EQ(Tell(), 10);

  // Near the end a read is short, at the end empty.
  ASSERT_EQ(m_stream->seek(7, kIBSeekSet, nullptr), kResultOk);
  bytes = {};
  ASSERT_EQ(m_stream->read(bytes.data(), 8, &read), kResultOk);
  EXPECT_EQ(read, 3);
  EXPECT_EQ(bytes[0], 7);
  EXPECT_EQ(bytes[2], 9);
  EXPECT_EQ(bytes[3], 0) << "nothing beyond the content may be copied";
  ASSERT_EQ(m_stream->read(bytes.data(), 8, &read), kResultOk);
  EXPECT_EQ(read, 0);
  EXPECT_EQ(Tell(), 10);
}

TEST_F(MemoryStreamTest, SeeksFromEachOriginWithinTheContent)
{
  Fill(10);
  struct Case
  {
    int64 pos;
    int32 mode;
    int64 expected;
  };
  const Case cases[] = {{4, kIBSeekSet, 4},  {3, kIBSeekCur, 7},   {-7, kIBSeekCur, 0}, {-2, kIBSeekEnd, 8},
                        {0, kIBSeekEnd, 10}, {10, kIBSeekSet, 10}, {0, kIBSeekSet, 0}};
  for (const Case& c : cases)
  {
    int64 result = -1;
    ASSERT_EQ(m_stream->seek(c.pos, c.mode, &result), kResultOk) << c.pos << " from " << c.mode;
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(Tell(), c.expected);
  }
}

TEST_F(MemoryStreamTest, RefusesSeeksOutsideTheContentAndKeepsThePosition)
{
  Fill(10);
  ASSERT_EQ(m_stream->seek(5, kIBSeekSet, nullptr), kResultOk);
  struct Case
  {
    int64 pos;
    int32 mode;
  };
  const Case cases[] = {{-1, kIBSeekSet}, {11, kIBSeekSet},        {-6, kIBSeekCur},
                        {6, kIBSeekCur},  {1, kIBSeekEnd},         {-11, kIBSeekEnd},
                        {0, 3},           {INT64_MIN, kIBSeekCur}, {INT64_MAX, kIBSeekEnd}};
  for (const Case& c : cases)
  {
    EXPECT_EQ(m_stream->seek(c.pos, c.mode, nullptr), kInvalidArgument) << c.pos << " from " << c.mode;
    EXPECT_EQ(Tell(), 5);
  }
}

TEST_F(MemoryStreamTest, WriteInsideTheContentOverwritesThenGrowsAndGivenBytesStartAtZero)
{
  Fill(4);
  ASSERT_EQ(m_stream->seek(2, kIBSeekSet, nullptr), kResultOk);
  uint8 bytes[4] = {0xA0, 0xA1, 0xA2, 0xA3};
  ASSERT_EQ(m_stream->write(bytes, 4, nullptr), kResultOk);
  const std::vector<uint8> expected = {0, 1, 0xA0, 0xA1, 0xA2, 0xA3};
  EXPECT_EQ(m_object->GetData(), expected);
  EXPECT_EQ(Tell(), 6);

  // A stream made from bytes starts at position zero.
  const uint8 given[3] = {7, 8, 9};
  auto* stream = new MemoryStream(given);
  uint8 first = 0;
  ASSERT_EQ(stream->read(&first, 1, nullptr), kResultOk);
  EXPECT_EQ(first, 7);
  EXPECT_EQ(stream->GetSize(), 3);
  static_cast<IBStream*>(stream)->release();
}

TEST_F(MemoryStreamTest, RefusesNegativeCountsAndMissingBuffers)
{
  Fill(4);
  uint8 byte = 0;
  int32 count = -1;
  EXPECT_EQ(m_stream->read(&byte, -1, &count), kInvalidArgument);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(m_stream->read(nullptr, 1, &count), kInvalidArgument);
  EXPECT_EQ(m_stream->write(&byte, -1, &count), kInvalidArgument);
  EXPECT_EQ(m_stream->write(nullptr, 1, &count), kInvalidArgument);
  EXPECT_EQ(m_stream->tell(nullptr), kInvalidArgument);
  EXPECT_EQ(m_object->GetSize(), 4);
  EXPECT_EQ(Tell(), 0);
}
