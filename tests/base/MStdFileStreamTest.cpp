#include "base/MBufferingStream.h"
#include "base/MMemoryStream.h"
#include "base/MStdFileStream.h"

#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
class TemporaryFile
{
public:
  explicit TemporaryFile(const char* name)
      : m_path(std::filesystem::temp_directory_path() /
               (std::string("tonvera-") + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + name))
  {}
  ~TemporaryFile() { std::filesystem::remove(m_path); }
  MString Name() const { return MString::FromUTF8(m_path.string()); }

private:
  std::filesystem::path m_path;
};
} // namespace

TEST(MStdFileStreamTest, WrittenFileReadsBackWithSeekSizeAndTruncate)
{
  TemporaryFile file("data \u00e4.bin");
  {
    MStdFileStream out(file.Name(), MStdFileStream::Mode::Write);
    out.Write("0123456789", 10);
    EXPECT_EQ(out.GetPosition(), 10);
    out.Seek(-4, MStream::kSeekFromCurrent);
    out.Truncate();
    out.Close();
  }
  MStdFileStream in(file.Name(), MStdFileStream::Mode::Read);
  EXPECT_EQ(in.GetSize(), 6);
  in.Seek(-2, MStream::kSeekFromEnd);
  char bytes[8] = {};
  EXPECT_FALSE(in.IsEndOfStream());
  EXPECT_EQ(in.Read(bytes, sizeof bytes), 2u);
  EXPECT_STREQ(bytes, "45");
  EXPECT_TRUE(in.IsEndOfStream());
  EXPECT_EQ(MessageOf([&] { in.Seek(0, 9); }), "Invalid seek origin.");
  EXPECT_EQ(MessageOf([&] { in.Seek(-100, MStream::kSeekFromStart); }), "Could not perform file seek.");
}

TEST(MStdFileStreamTest, FailuresCarryTheFileName)
{
  TemporaryFile missing("missing.xml");
  const std::string name = missing.Name().ToUTF8();
  MStdFileStream stream;
  EXPECT_EQ(MessageOf([&] { stream.Open(missing.Name(), MStdFileStream::Mode::Read); }),
            "File \"" + name + "\" could not be open. Make sure it exists.");
  const MString inMissingFolder = MString::FromUTF8(name + "/no/such/folder.xml");
  EXPECT_EQ(MessageOf([&] { stream.Open(inMissingFolder, MStdFileStream::Mode::Write); }),
            "File \"" + inMissingFolder.ToUTF8() +
                "\" could not be created. Make sure there is no write-protected file already existing.");
  char byte = 0;
  EXPECT_EQ(MessageOf([&] { stream.Read(&byte, 1); }), "File stream is not initialized.");
}

namespace
{
// Adds `key` to every byte on the way out and subtracts it on the way in, and records block sizes.
class AddingProcessor : public MBufferingStream::BlockModificationProcessor
{
public:
  void ModifyBlock(std::uint8_t* block, std::size_t size, bool writing) override
  {
    for (std::size_t i = 0; i < size; ++i)
      block[i] = static_cast<std::uint8_t>(writing ? block[i] + 3 : block[i] - 3);
    sizes.push_back(size);
  }
  std::vector<std::size_t> sizes;
};
} // namespace

TEST(MBufferingStreamTest, BlocksPassTheProcessorBothWays)
{
  MMemoryStream target;
  AddingProcessor processor;
  const std::string text = "abcdefghijklmnopqrstuvw";
  {
    MBufferingStream out;
    out.Open(target, MBufferingStream::Direction::Writing, 10, &processor);
    out.Write(text.data(), 4);
    out.Write(text.data() + 4, text.size() - 4);
    EXPECT_EQ(target.GetSize(), 20); // two full blocks, the rest waits
    out.Close();
  }
  EXPECT_EQ(processor.sizes, (std::vector<std::size_t>{10, 10, 3}));
  EXPECT_EQ(target.GetBuffer()->GetData()[0], 'a' + 3);

  target.Seek(0, MStream::kSeekFromStart);
  MBufferingStream in;
  in.Open(target, MBufferingStream::Direction::Reading, 10, &processor);
  std::string back(40, '\0');
  back.resize(in.ReadFully(back.data(), back.size()));
  EXPECT_EQ(back, text);
  EXPECT_TRUE(in.IsEndOfStream());
}

TEST(MBufferingStreamTest, UseBeforeOpenIsRejected)
{
  MBufferingStream stream;
  char byte = 0;
  EXPECT_EQ(MessageOf([&] { stream.Write(&byte, 1); }), "Buffering stream has not been initialized.");
  EXPECT_EQ(MessageOf([&] { stream.Read(&byte, 1); }), "Buffering stream has not been initialized.");
}
