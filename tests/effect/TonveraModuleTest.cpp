#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include "effect/TonveraAudioEffectPlugin.h"
#include "host/module/MHostEditorKeys.h"

#include <gtest/gtest.h>

namespace
{

TEST(TonveraModuleTest, CommandSevenWithoutAnInstanceCreatesAnEffect)
{
  MPluginCommandBlock block;
  const std::int64_t handle =
      TonveraAudioEffectPluginInterface(nullptr, MPluginCommand::kGetInstance, &block);
  ASSERT_NE(handle, 0);
  void* instance = MPlugin::FromHandle(handle);
  auto* effect = dynamic_cast<TonveraAudioEffectPlugin*>(MPlugin::FromHandle(handle));
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(TonveraAudioEffectPluginInterface(instance, MPluginCommand::kGetInstance, &block), handle);

  const auto* table = reinterpret_cast<const MParameterTable*>(
      TonveraAudioEffectPluginInterface(instance, MPluginCommand::kGetParameterTable, &block));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->count, 12);
  EXPECT_EQ(table->specialCount, 1);
  EXPECT_EQ(table->specials[0].name.ToUTF8(), "Scale");

  double rate = 48000.0;
  MPluginCommandBlock init(2, MPluginCommandBlock::FromPointer(&rate));
  EXPECT_EQ(TonveraAudioEffectPluginInterface(instance, MPluginCommand::kInitProcessing, &init), 0);
  EXPECT_EQ(TonveraAudioEffectPluginInterface(instance, MPluginCommand::kGetLatency, &block), 1024);
  EXPECT_EQ(TonveraAudioEffectPluginInterface(instance, MPluginCommand::kGetTailSize, &block), 4096);
  for (std::int64_t unknown : {8, 50, 99, 108, -5})
    EXPECT_EQ(TonveraAudioEffectPluginInterface(instance, unknown, &block), -1) << unknown;

  EXPECT_EQ(TonveraAudioEffectPluginInterface(instance, MPluginCommand::kDestroy, &block), 0);
}

// The library counters are process-wide: this test keeps them balanced. (One library object for
// every VST 2.4 instance, shut down with the last and created again, is the VST 2.4 adapter
// suite's, through a module of its own.)
TEST(TonveraModuleTest, AVst3AdapterComingAndGoingLeavesTheLibraryOfTheVst2Ones)
{
  using MModuleLibrary::AdapterKind;
  const std::int32_t shut = MModuleLibrary::GetShutdownCount();
  MModuleLibrary::AdapterCreated(AdapterKind::kVst2);
  Module* first = MModuleLibrary::Initialize();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetText().ToUTF8(), "ZozEdavodo");
  EXPECT_TRUE(first->IsInitialized());
  MModuleLibrary::AdapterCreated(AdapterKind::kVst3);
  MModuleLibrary::AdapterDestroyed(AdapterKind::kVst3);
  EXPECT_EQ(MModuleLibrary::Get(), first);
  EXPECT_EQ(MModuleLibrary::GetShutdownCount(), shut);
  MModuleLibrary::AdapterDestroyed(AdapterKind::kVst2);
  EXPECT_EQ(MModuleLibrary::Get(), nullptr);
  EXPECT_EQ(MModuleLibrary::GetShutdownCount(), shut + 1);
}

TEST(TonveraModuleTest, LibraryInitialisationOfASharingModuleAppliesTheNameOnce)
{
  const std::int64_t settings[5] = {1, 2, 3, 4, 5};
  MLibraryInitializationRecord record{settings, 6, "Shared"};
  Module* first = MLibraryDLLInitialize(&record);
  ASSERT_NE(first, nullptr);
  record.libraryName = "Other";
  EXPECT_EQ(MLibraryDLLInitialize(&record), first);
  EXPECT_EQ(first->GetLibraryName().ToUTF8(), "Shared");
  EXPECT_EQ(MModuleLibrary::GetSharedSetting(4), 5);
  EXPECT_EQ(MModuleLibrary::GetSharedSetting(5), 6);
  EXPECT_EQ(MLibraryDLLInitialize(nullptr), nullptr);
  MModuleLibrary::Shutdown();
  EXPECT_EQ(MModuleLibrary::Get(), nullptr);
}

TEST(TonveraModuleTest, AttachReadsTheProcessorFeaturesAndDetachShutsDown)
{
  static int hookCalls = 0;
  MModuleLibrary::SetAttachHook([](bool) { ++hookCalls; });
  EXPECT_TRUE(MModuleLibrary::Attach(nullptr));
#if defined(__x86_64__)
  EXPECT_TRUE(MModuleLibrary::GetProcessorFlags().sse2) << "every x86-64 processor has SSE2";
#endif
  ASSERT_NE(MModuleLibrary::Initialize(), nullptr);
  EXPECT_TRUE(MModuleLibrary::Detach());
  EXPECT_TRUE(MModuleLibrary::IsDetaching());
  EXPECT_EQ(MModuleLibrary::Get(), nullptr);
  EXPECT_EQ(hookCalls, 2);
  MModuleLibrary::SetAttachHook(nullptr);
}

} // namespace

TEST(MHostEditorKeys, HostKeysBecomeToolkitKeysAndTypedCharacters)
{
  struct Case
  {
    bool down;
    std::int32_t character;
    std::int32_t virtualKey;
    std::uint32_t modifiers;
    bool translated;
    MSystemEvent::Code code;
    std::int32_t value;
    std::uint32_t toolkitModifiers;
    MSystemEvent::Code typedCode;
  };
  using E = MSystemEvent;
  const Case cases[] = {
      {true, 0, 1, 0, true, E::KeyDown, MVirtualKey::Back, 0, E::KeyUp},
      {false, 0, 4, 0, true, E::KeyUp, MVirtualKey::Return, 0, E::KeyUp},
      {true, 0, 11, 1, true, E::KeyDown, MVirtualKey::Left, E::ModShift, E::KeyUp},
      {true, 0, 40, 8 | 2, true, E::KeyDown, MVirtualKey::F1, E::ModControl | E::ModAlt, E::KeyUp},
      {true, 0, 57, 0, true, E::KeyDown, 0xBB, 0, E::KeyUp},
      {true, ' ', 7, 0, true, E::KeyDown, MVirtualKey::Space, 0, E::Character},
      {true, ' ', 7, 1, true, E::KeyDown, MVirtualKey::Space, E::ModShift, E::Character},
      {false, ' ', 7, 0, true, E::KeyUp, MVirtualKey::Space, 0, E::KeyUp},
      {true, ' ', 0, 0, true, E::Character, ' ', 0, E::KeyUp},
      {true, 'a', 0, 0, true, E::KeyDown, 'A', 0, E::Character},
      {false, 'a', 0, 0, true, E::KeyUp, 'A', 0, E::KeyUp},
      {true, '7', 0, 0, true, E::KeyDown, '7', 0, E::Character},
      {true, u'\u00e9', 0, 0, true, E::Character, 0xE9, 0, E::KeyUp},
      {false, u'\u00e9', 0, 0, false, E::KeyUp, 0, 0, E::KeyUp},
      {true, 0, 58, 0, false, E::KeyDown, 0, 0, E::KeyUp},
      {true, 0, -3, 0, false, E::KeyDown, 0, 0, E::KeyUp},
      {true, 0x1B, 0, 0, false, E::KeyDown, 0, 0, E::KeyUp},
      {true, 0x110000, 0, 0, false, E::KeyDown, 0, 0, E::KeyUp},
  };
  for (const Case& c : cases)
  {
    MSystemEvent event;
    MSystemEvent typed;
    ASSERT_EQ(MHostEditorKeys::Translate(c.down, c.character, c.virtualKey, c.modifiers, event, &typed),
              c.translated)
        << c.character << " " << c.virtualKey;
    if (!c.translated)
      continue;
    EXPECT_EQ(event.code, c.code) << c.character << " " << c.virtualKey;
    EXPECT_EQ(event.value, c.value) << c.character << " " << c.virtualKey;
    EXPECT_EQ(event.modifiers, c.toolkitModifiers) << c.virtualKey;
    EXPECT_EQ(typed.code, c.typedCode) << c.character;
    if (typed.code == E::Character)
    {
      EXPECT_EQ(typed.value, c.character);
    }
  }
}
