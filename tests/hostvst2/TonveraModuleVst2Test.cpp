// The built Tonvera module answers both plug-in interfaces from one binary, also from inside its
// VST 3 bundle (the sound through each interface: tests/crossformat).

#include <gtest/gtest.h>

#include <string>

#ifdef TONVERA_MODULE_BUNDLE_BINARY
#include "tools/host/MSharedLibrary.h"

namespace
{
TEST(TonveraModuleVst2Test, OneBinaryAnswersBothInterfacesFromTheBundleToo)
{
  for (const char* path : {TONVERA_MODULE, TONVERA_MODULE_BUNDLE_BINARY})
  {
    MSharedLibrary library;
    std::string error;
    ASSERT_TRUE(library.Open(path, error)) << error;
#ifdef _WIN32
    for (const char* entry : {"VSTPluginMain", "main", "GetPluginFactory", "InitDll", "ExitDll"})
#else
    for (const char* entry : {"VSTPluginMain", "main", "GetPluginFactory", "ModuleEntry", "ModuleExit"})
#endif
      EXPECT_NE(library.Symbol(entry), nullptr) << path << " " << entry;
    EXPECT_EQ(library.Symbol("CreateTonveraPlugin"), nullptr);
  }
}
} // namespace
#endif
