#include "base/MMemoryStream.h"
#include "base/MStream.h"

#include "tests/base/MExpectMessage.h"
#include "tests/base/MStreamTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
// Implements only Write and records the size of every call.
class RecordingStream : public MStream
{
public:
  void Write(const void* buffer, std::size_t byteCount) override
  {
    m_calls.push_back(byteCount);
    const auto* bytes = static_cast<const char*>(buffer);
    m_bytes.append(bytes, byteCount);
  }
  std::vector<std::size_t> m_calls;
  std::string m_bytes;
};
} // namespace

TEST(MStreamTest, UnimplementedOperationsNameTheirServiceAndWritesBuiltOnWriteGoOutInPieces)
{
  MStream stream;
  char byte = 0;
  const struct
  {
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {[&] { stream.ReturnSubstream(); }, "Service \"return substream\" is not implemented."},
      {[&] { stream.Write(&byte, 1); }, "Service \"write to stream\" is not implemented."},
      {[&] { stream.Read(&byte, 1); }, "Service \"read from stream\" is not implemented."},
      {[&] { stream.GetPosition(); }, "Service \"get stream position\" is not implemented."},
      {[&] { stream.Flush(); }, "Service \"flush stream\" is not implemented."},
      {[&] { stream.IsEndOfStream(); }, "Service \"end of stream test\" is not implemented."},
      {[&] { stream.Truncate(); }, "Service \"truncate stream\" is not implemented."},
      {[&] { stream.GetSize(); }, "Service \"stream size detection\" is not implemented."},
      {[&] { stream.Seek(0, 7); }, "Invalid seek origin."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MessageOf(c.call), c.message);

  // Zeros go out in pieces of at most 1024; a line is written as narrow text.
  RecordingStream recorded;
  recorded.WriteZeros(2500);
  EXPECT_EQ(recorded.m_calls, (std::vector<std::size_t>{1024, 1024, 452}));
  EXPECT_EQ(recorded.m_bytes, std::string(2500, '\0'));
  RecordingStream lines;
  lines.WriteLine(MString(u"gr\u00fc\u00dfe \u20ac"));
  EXPECT_EQ(lines.m_bytes, "gr\xfc\xdf"
                           "e ?\n");
}

TEST(MStreamTest, ReadLineSplitsAtLineFeedAndZeroSkipsCarriageReturnsAndGoesOnPastTheBuffer)
{
  MShortReadStream stream(std::string("ab\r\ncd\0ef", 9));
  char line[16];
  std::vector<std::string> lines;
  for (int i = 0; i < 3; ++i)
  {
    const std::size_t length = stream.ReadLine(line, sizeof line);
    EXPECT_EQ(length, std::strlen(line));
    lines.emplace_back(line);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"ab", "cd", "ef"}));
  EXPECT_EQ(MessageOf([&] { stream.ReadLine(line, sizeof line); }), "Could not load a line from stream.");

  // A line longer than the buffer continues on the next call.
  MShortReadStream longer("abcdef\n");
  char part[4];
  longer.ReadLine(part, sizeof part);
  EXPECT_STREQ(part, "abc");
  longer.ReadLine(part, sizeof part);
  EXPECT_STREQ(part, "def");
}

TEST(MStreamTest, ForwardSeekAndReadFullyLoopOverShortReadsAndBackwardSeekFails)
{
  MShortReadStream stream("0123456789abcdefghij", 3);
  stream.Seek(10, MStream::kSeekFromCurrent);
  EXPECT_EQ(stream.Position(), 10u);
  char byte = 0;
  ASSERT_EQ(stream.Read(&byte, 1), 1u);
  EXPECT_EQ(byte, 'a');
  EXPECT_EQ(MessageOf([&] { stream.Seek(-1, MStream::kSeekFromCurrent); }),
            "Service \"backward seek in a stream\" is not implemented.");
  // From the start the default needs the position, which a plain stream does not know.
  EXPECT_EQ(MessageOf([&] { stream.Seek(15, MStream::kSeekFromStart); }),
            "Service \"get stream position\" is not implemented.");
  // A forward seek past the end stops at the end.
  stream.Seek(1000, MStream::kSeekFromCurrent);
  EXPECT_EQ(stream.Position(), 20u);

  // ReadFully loops over short reads.
  MShortReadStream pieces("abcdefg", 2);
  char bytes[8] = {};
  EXPECT_EQ(pieces.ReadFully(bytes, 5), 5u);
  EXPECT_STREQ(bytes, "abcde");
  EXPECT_EQ(pieces.ReadFully(bytes, 5), 2u);
}

TEST(MMemoryStreamTest, SeekSupportsAllOriginsAndRejectsOthersAndTheBufferOutlivesTheStream)
{
  MMemoryStream stream("0123456789", 10);
  const struct
  {
    std::int64_t offset;
    int origin;
    std::int64_t position;
  } cases[] = {
      {4, MStream::kSeekFromStart, 4}, {3, MStream::kSeekFromCurrent, 7}, {-5, MStream::kSeekFromCurrent, 2},
      {-1, MStream::kSeekFromEnd, 9},  {5, MStream::kSeekFromEnd, 15},
  };
  for (const auto& c : cases)
  {
    stream.Seek(c.offset, c.origin);
    EXPECT_EQ(stream.GetPosition(), c.position);
  }
  EXPECT_EQ(MessageOf([&] { stream.Seek(0, 3); }), "Invalid seek origin.");
  EXPECT_EQ(MessageOf([&] { stream.Seek(-1, MStream::kSeekFromStart); }), "Invalid seek position.");

  // The buffer outlives the stream.
  std::shared_ptr<MMemoryStream::Buffer> buffer;
  {
    MMemoryStream stream;
    stream.Write("state", 5);
    buffer = stream.GetBuffer();
  }
  ASSERT_EQ(buffer.use_count(), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer->GetData()), buffer->GetSize()), "state");
  // A new stream on the kept buffer reads the same bytes.
  MMemoryStream again(buffer);
  char bytes[6] = {};
  EXPECT_EQ(again.Read(bytes, 5), 5u);
  EXPECT_STREQ(bytes, "state");
}

TEST(MMemoryStreamTest, WritingPastTheEndFillsTheGapWithZerosAndTruncateCutsAtThePosition)
{
  MMemoryStream stream;
  stream.Write("ab", 2);
  stream.Seek(2, MStream::kSeekFromEnd);
  stream.Write("c", 1);
  EXPECT_EQ(stream.GetSize(), 5);
  EXPECT_EQ(BytesOf(stream), std::string("ab\0\0c", 5));

  // Truncate cuts at the position; a read stops at the end.
  stream.Seek(4, MStream::kSeekFromStart);
  stream.Truncate();
  EXPECT_EQ(stream.GetSize(), 4);
  EXPECT_TRUE(stream.IsEndOfStream());
  stream.Seek(1, MStream::kSeekFromStart);
  char bytes[8] = {};
  EXPECT_EQ(stream.Read(bytes, sizeof bytes), 3u);
  EXPECT_EQ(std::string(bytes, 3), std::string("b\0\0", 3));
  EXPECT_EQ(stream.Read(bytes, sizeof bytes), 0u);
}
