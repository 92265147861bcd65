// The style package container: round trip, and every kind of damaged input rejected with a
// clear message and no out-of-bounds read (the ASan build runs these too).

#include "base/MException.h"
#include "gui/styles/MStylePackage.h"
#include "gui/styles/MTexturedStyle.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::vector<std::uint8_t> Bytes(const std::string& text)
{
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> SmallPackage()
{
  return MStylePackage::Build(
      {{"index.xml", Bytes("<stylepackage/>")}, {"a/b.png", Bytes("xyz")}, {"empty", {}}});
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}
} // namespace

TEST(MStylePackageTest, BuiltPackageReadsBackEntryForEntryAndTheEmbeddedOneHoldsBothStyles)
{
  const std::vector<std::uint8_t> bytes = SmallPackage();
  const MStylePackage package(bytes);
  ASSERT_EQ(package.GetEntries().size(), 3u);
  EXPECT_EQ(package.GetEntries()[1].name, MString("a/b.png"));
  const auto data = package.Get("a/b.png");
  EXPECT_EQ(std::string(data.begin(), data.end()), "xyz");
  EXPECT_TRUE(package.Get("empty").empty());
  EXPECT_FALSE(package.Has("A/B.PNG")); // names are exact
  EXPECT_EQ(MessageOf([&] { package.Get("missing"); }), "The style package holds no entry \"missing\".");
  EXPECT_EQ(MStylePackage::Build(
                {{"index.xml", Bytes("<stylepackage/>")}, {"a/b.png", Bytes("xyz")}, {"empty", {}}}),
            bytes); // deterministic

  // The embedded package holds both styles.
  EXPECT_TRUE(MStylePackage::FindResource("mstyle2").empty());
  const MStylePackage embedded(MStylePackage::FindResource("mstyle"));
  const std::vector<MString> names = MTexturedStyle::ListStyles(embedded);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], MString("Default"));
  EXPECT_EQ(names[1], MString("Silver"));
  EXPECT_EQ(MTexturedStyle::DefaultStyle(embedded), MString("Default"));
}

TEST(MStylePackageTest, EveryTruncationAndEveryFlippedByteIsRejected)
{
  const std::vector<std::uint8_t> bytes = SmallPackage();
  for (std::size_t length = 0; length < bytes.size(); ++length)
  {
    const std::string message = MessageOf([&] { MStylePackage(std::span(bytes.data(), length)); });
    EXPECT_EQ(message, MStylePackage::kMessageTruncated) << "length " << length;
  }

  // So is every flipped byte.
  const std::vector<std::uint8_t> original = SmallPackage();
  for (std::size_t at = 0; at < original.size(); ++at)
  {
    std::vector<std::uint8_t> bytes = original;
    bytes[at] ^= 0x20;
    EXPECT_NE(MessageOf([&] { MStylePackage package(bytes); }), "<no exception>") << "byte " << at;
  }
}

TEST(MStylePackageTest, AbsurdHeadersAreRejectedBeforeAnyRead)
{
  struct Case
  {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    const char* message;
  };
  const Case cases[] = {
      {"version", 8, 7, "The style package version 7 is not supported."},
      {"no entries", 12, 0, "The style package entry count 0 is not valid."},
      {"huge count", 12, 0xFFFFFFFF, "The style package entry count 4294967295 is not valid."},
      {"total beyond the cap", 20, 1, "The style package is too large."},
      {"total below the input", 16, 60, "The data is not a style package."},
      {"count beyond the data", 12, 4000, "The style package is truncated."},
  };
  for (const Case& c : cases)
  {
    std::vector<std::uint8_t> bytes = SmallPackage();
    PutU32(bytes, c.at, c.value);
    EXPECT_EQ(MessageOf([&] { MStylePackage package(bytes); }), c.message) << c.what;
  }
  EXPECT_EQ(MessageOf([] { MStylePackage package(Bytes("<?xml version=\"1.0\"?><style/>")); }),
            "The data is not a style package.");
}

TEST(MStylePackageTest, BuildRefusesNamesTheReaderWouldReject)
{
  const char* bad[] = {"",          "/abs",
                       "a/../b",    "sp ace",
                       "uml\xe4ut", "0123456789012345678901234567890123456789012345678901234567890123"};
  for (const char* name : bad)
    EXPECT_EQ(MessageOf([&] {
                MStylePackage::Build({{MString::FromNarrow(name), {}}});
              }),
              MStylePackage::kMessageEntryName)
        << name;
  EXPECT_EQ(MessageOf([] {
              MStylePackage::Build({{"x", {}}, {"x", {}}});
            }),
            "The style package holds the entry \"x\" twice.");
  EXPECT_EQ(MessageOf([] { MStylePackage::Build({}); }), "The style package entry count 0 is not valid.");
}

TEST(MStylePackageTest, PackagesWithoutStylesGiveTheUserMessages)
{
  const MTexturedStyleConfiguration configuration;
  const auto noIndex = MStylePackage::Build({{"Default/style.xml", Bytes("<style/>")}});
  const auto emptyIndex = MStylePackage::Build({{"index.xml", Bytes("<stylepackage default=\"Default\"/>")}});
  const auto noDefinition = MStylePackage::Build(
      {{"index.xml", Bytes("<stylepackage><style name=\"X\" definition=\"X/style.xml\"/></stylepackage>")}});
  EXPECT_EQ(MessageOf([&] { MTexturedStyle style(std::span<const std::uint8_t>(), configuration); }),
            "No style definition has been found.");
  EXPECT_EQ(MessageOf([&] { MTexturedStyle style(noIndex, configuration); }),
            "No style definition has been found.");
  EXPECT_EQ(MessageOf([&] { MTexturedStyle style(noDefinition, configuration); }),
            "No style definition has been found.");
  EXPECT_EQ(MessageOf([&] { MTexturedStyle style(emptyIndex, configuration); }),
            "No styles are available. Please reinstall the software.");
}
