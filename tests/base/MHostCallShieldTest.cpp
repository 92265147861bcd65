#include "base/MDiagnosticLog.h"
#include "base/MException.h"
#include "base/MHostCallShield.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
void Collect(const MString& text, void* context)
{
  static_cast<std::vector<MString>*>(context)->push_back(text);
}

void SetEnvironment(const char* value)
{
#ifdef _WIN32
  _putenv_s("TONVERA_DIAGNOSTICS", value);
#else
  setenv("TONVERA_DIAGNOSTICS", value, 1);
#endif
}

// Restores the environment's choice after a test that changed the log.
struct LogReset
{
  ~LogReset()
  {
    SetEnvironment("");
    MDiagnosticLog::Reconfigure();
  }
};
} // namespace

TEST(MHostCallShieldTest, AnswersTheBodysResultOrTheNeutralOneAndReportsOnlySystemExceptions)
{
  LogReset reset;
  std::vector<MString> log;
  MDiagnosticLog::SetSink(&Collect, &log);

  EXPECT_EQ(MHostCallShield::Run("Adapter::getParameter", -1, [] { return 7; }), 7);
  EXPECT_EQ(
      MHostCallShield::Run("Adapter::getParameter", -1, []() -> int { throw std::runtime_error("boom"); }),
      -1);
  EXPECT_EQ(MHostCallShield::Run("Adapter::setState", 0L, []() -> long { throw MException("Bad state."); }),
            0L);
  EXPECT_EQ(MHostCallShield::Run("Adapter::close", 0, []() -> int { throw 42; }), 0);
  EXPECT_TRUE(MHostCallShield::Run("Adapter::open", [] {}));
  EXPECT_FALSE(MHostCallShield::Run("MAudioPluginVSTAdapter::setParameter", [] { throw std::bad_alloc(); }));

  const char* expected[] = {
      "SYSTEM EXCEPTION! Adapter::getParameter",
      "Adapter::setState: Bad state.",
      "SYSTEM EXCEPTION! Adapter::close",
      "SYSTEM EXCEPTION! MAudioPluginVSTAdapter::setParameter",
  };
  ASSERT_EQ(log.size(), std::size(expected));
  for (std::size_t i = 0; i < log.size(); ++i)
  {
    EXPECT_EQ(log[i].ToUTF8(), expected[i]);
  }
  static_assert(noexcept(MHostCallShield::Run("x", 0, []() -> int { throw 1; })));
}

TEST(MHostCallShieldTest, DiscardsByDefaultAndWritesWhereTheEnvironmentSays)
{
  LogReset reset;
  SetEnvironment("");
  MDiagnosticLog::Reconfigure();
  EXPECT_FALSE(MDiagnosticLog::IsEnabled());
  EXPECT_EQ(MHostCallShield::Run("Quiet::call", 3, []() -> int { throw std::logic_error("x"); }), 3);

  SetEnvironment("stderr");
  MDiagnosticLog::Reconfigure();
  ::testing::internal::CaptureStderr();
  MHostCallShield::Run("Loud::call", [] { throw std::logic_error("x"); });
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "SYSTEM EXCEPTION! Loud::call\n");

  std::string path = ::testing::TempDir() + "tonvera-diagnostics-test.log";
  std::remove(path.c_str());
  SetEnvironment(path.c_str());
  MDiagnosticLog::Reconfigure();
  EXPECT_TRUE(MDiagnosticLog::IsEnabled());
  MHostCallShield::Run("MAudioPluginVSTAdapter::MEditor::update", [] { throw std::logic_error("x"); });
  MDiagnosticLog::Write(MString::FromUTF8("caf\xc3\xa9"));
  SetEnvironment("");
  MDiagnosticLog::Reconfigure(); // closes the file

  std::ifstream file(path);
  std::string first, second;
  std::getline(file, first);
  std::getline(file, second);
  EXPECT_EQ(first, "SYSTEM EXCEPTION! MAudioPluginVSTAdapter::MEditor::update");
  EXPECT_EQ(second, "caf\xc3\xa9");
  std::remove(path.c_str());
}

TEST(MExceptionTest, CarriesMessageContextAndCodeAndIsAStandardException)
{
  try
  {
    throw MException("MStream::Read", MString::FromUTF8("Unexpected end \xe2\x80\x94 stop."), 5);
  }
  catch (const std::exception& caught)
  {
    EXPECT_STREQ(caught.what(), "Unexpected end \xe2\x80\x94 stop.");
    const auto* exception = dynamic_cast<const MException*>(&caught);
    ASSERT_NE(exception, nullptr);
    EXPECT_EQ(exception->Context(), MString("MStream::Read"));
    EXPECT_EQ(exception->Code(), 5);
    MException copy(*exception);
    EXPECT_STREQ(copy.what(), caught.what());
  }
  MException plain("Could not acquire mutex.");
  EXPECT_EQ(plain.Code(), 0);
  EXPECT_TRUE(plain.Context().IsEmpty());
}
