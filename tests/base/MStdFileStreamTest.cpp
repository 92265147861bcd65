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

TEST(MStdFileStreamTest, WrittenFileReadsBackWithSeekSizeAndTruncateAndFailuresNameIt)
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

  // Failures carry the file name.
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

TEST(MStdFileStreamTest, WriteReplacingKeepsTheOldFileUntilTheNewOneIsComplete)
{
  TemporaryFile file("replaced.txt");
  const auto writeText = [](const char* text) {
    return [text](MStream& stream) { stream.Write(text, std::char_traits<char>::length(text)); };
  };
  const auto content = [&] {
    MStdFileStream in(file.Name(), MStdFileStream::Mode::Read);
    std::string text(static_cast<std::size_t>(in.GetSize()), '\0');
    in.Read(text.data(), text.size());
    return text;
  };
  const auto filesBeside = [&] {
    const std::filesystem::path path(file.Name().ToUTF8());
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
      count += entry.path().filename().string().rfind(path.filename().string(), 0) == 0 ? 1 : 0;
    return count;
  };
  ASSERT_TRUE(MStdFileStream::WriteReplacing(file.Name(), writeText("old")));
  ASSERT_TRUE(MStdFileStream::WriteReplacing(file.Name(), writeText("new text")));
  EXPECT_EQ(content(), "new text");
  // A writer that fails half-way: the complete old file stays and no temporary file is left.
  EXPECT_THROW(MStdFileStream::WriteReplacing(file.Name(),
                                              [](MStream& stream) {
                                                stream.Write("partial", 7);
                                                throw MException(MString("Disk full."));
                                              }),
               MException);
  EXPECT_EQ(content(), "new text");
  EXPECT_EQ(filesBeside(), 1);
  // A target that cannot be replaced (a folder of that name): false, nothing left behind.
  const MString folder = file.Name() + MString(".d");
  std::filesystem::create_directories(folder.ToUTF8() + "/inside");
  EXPECT_FALSE(MStdFileStream::WriteReplacing(folder, writeText("x")));
  std::filesystem::remove_all(folder.ToUTF8());
  EXPECT_EQ(filesBeside(), 1);
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

TEST(MBufferingStreamTest, BlocksPassTheProcessorBothWaysOnceOpened)
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

  MBufferingStream unopened;
  char byte = 0;
  EXPECT_EQ(MessageOf([&] { unopened.Write(&byte, 1); }), "Buffering stream has not been initialized.");
  EXPECT_EQ(MessageOf([&] { unopened.Read(&byte, 1); }), "Buffering stream has not been initialized.");
}
