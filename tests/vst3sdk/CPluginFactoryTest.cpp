// Class registration, class records and instance creation of CPluginFactory.

#include "sdk/vst3/CPluginFactory.h"
#include "sdk/vst3/Component.h"
#include "sdk/vst3/VST3String.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
constexpr FUID kEffectCid = MakeFUID(0x11111111, 0x22222222, 0x33333333, 0x44444444);
constexpr FUID kOtherCid = MakeFUID(0x55555555, 0x66666666, 0x77777777, 0x88888888);

int s_liveEffects = 0;

class CountedEffect : public AudioEffect
{
public:
  CountedEffect() { ++s_liveEffects; }

protected:
  ~CountedEffect() override { --s_liveEffects; }
};

FUnknown* CreateEffect(void* /*context*/)
{
  return static_cast<IAudioProcessor*>(new CountedEffect());
}

FUnknown* CreateNothing(void* /*context*/)
{
  return nullptr;
}

FUnknown* CreateThrowing(void* /*context*/)
{
  throw std::runtime_error("no instance");
}

PClassInfo2 MakeClassInfo(const FUID& cid, std::string_view name)
{
  PClassInfo2 info{};
  std::memcpy(info.cid, cid.data, sizeof(TUID));
  info.cardinality = PClassInfo::kManyInstances;
  CopyString8(info.category, kVstAudioEffectClass);
  CopyString8(info.name, name);
  CopyString8(info.subCategories, "Fx|Pitch Shift");
  CopyString8(info.version, "7.10");
  CopyString8(info.sdkVersion, "VST 3.5.2");
  return info;
}

class CPluginFactoryTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    PFactoryInfo info{};
    CopyString8(info.vendor, "Vendor");
    info.flags = PFactoryInfo::kUnicode;
    m_factory = new CPluginFactory(info);
    ASSERT_TRUE(m_factory->RegisterClass(MakeClassInfo(kEffectCid, "Effé"), &CreateEffect));
  }
  void TearDown() override
  {
    EXPECT_EQ(static_cast<IPluginFactory*>(m_factory)->release(), 0u);
    EXPECT_EQ(s_liveEffects, 0) << "an instance leaked";
  }

  CPluginFactory* m_factory = nullptr;
};
} // namespace

TEST_F(CPluginFactoryTest, CreatesARegisteredClassWithOneReferenceAndRefusesWhatItCannotCreate)
{
  struct Case
  {
    const char* name;
    const int8* cid;
    const int8* iid;
    tresult expected;
  };
  const Case cases[] = {
      {"unknown class", kOtherCid.data, IComponent::iid.data, kNoInterface},
      {"interface the instance lacks", kEffectCid.data, IEditController::iid.data, kNoInterface},
      {"null class", nullptr, IComponent::iid.data, kInvalidArgument},
      {"null interface", kEffectCid.data, nullptr, kInvalidArgument},
  };
  for (const Case& c : cases)
  {
    void* object = &s_liveEffects;
    EXPECT_EQ(m_factory->createInstance(c.cid, c.iid, &object), c.expected) << c.name;
    EXPECT_EQ(object, nullptr) << c.name;
    EXPECT_EQ(s_liveEffects, 0) << c.name << ": a refused instance must be destroyed";
  }
  EXPECT_EQ(m_factory->createInstance(kEffectCid.data, IComponent::iid.data, nullptr), kInvalidArgument);

  // A registered class is created with one reference, the host's.
  void* object = nullptr;
  ASSERT_EQ(m_factory->createInstance(kEffectCid.data, IComponent::iid.data, &object), kResultOk);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(s_liveEffects, 1);
  EXPECT_EQ(static_cast<IComponent*>(object)->release(), 0u) << "the host's reference is the only one";
  EXPECT_EQ(s_liveEffects, 0);

  // A creation function that fails answers an internal error.
  ASSERT_TRUE(m_factory->RegisterClass(MakeClassInfo(kOtherCid, "Null"), &CreateNothing));
  object = nullptr;
  EXPECT_EQ(m_factory->createInstance(kOtherCid.data, FUnknown::iid.data, &object), kInternalError);

  const FUID throwingCid = MakeFUID(1, 2, 3, 4);
  ASSERT_TRUE(m_factory->RegisterClass(MakeClassInfo(throwingCid, "Throwing"), &CreateThrowing));
  EXPECT_EQ(m_factory->createInstance(throwingCid.data, FUnknown::iid.data, &object), kInternalError);
  EXPECT_EQ(object, nullptr);
}

TEST_F(CPluginFactoryTest, ClassRecordsAgreeInAllThreeForms)
{
  PClassInfo info{};
  PClassInfo2 info2{};
  PClassInfoW infoW{};
  ASSERT_EQ(m_factory->getClassInfo(0, &info), kResultOk);
  ASSERT_EQ(m_factory->getClassInfo2(0, &info2), kResultOk);
  ASSERT_EQ(m_factory->getClassInfoUnicode(0, &infoW), kResultOk);
  EXPECT_TRUE(kEffectCid.Matches(info.cid));
  EXPECT_TRUE(kEffectCid.Matches(infoW.cid));
  EXPECT_STREQ(info.name, "Effé");
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_STREQ(info2.subCategories, "Fx|Pitch Shift");
  EXPECT_EQ(info2.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(std::u16string(infoW.name), u"Effé");
  EXPECT_EQ(std::u16string(infoW.version), u"7.10");
  EXPECT_EQ(std::u16string(infoW.sdkVersion), u"VST 3.5.2");

  EXPECT_EQ(m_factory->getClassInfo(1, &info), kInvalidArgument);
  EXPECT_EQ(m_factory->getClassInfo2(-1, &info2), kInvalidArgument);
  EXPECT_EQ(m_factory->getClassInfoUnicode(0, nullptr), kInvalidArgument);
}

TEST_F(CPluginFactoryTest, AnswersAllThreeFactoryInterfaces)
{
  for (const FUID& iid : {IPluginFactory::iid, IPluginFactory2::iid, IPluginFactory3::iid})
  {
    void* answer = nullptr;
    ASSERT_EQ(m_factory->queryInterface(iid.data, &answer), kResultOk);
    EXPECT_EQ(answer, static_cast<void*>(static_cast<IPluginFactory3*>(m_factory)));
    static_cast<FUnknown*>(answer)->release();
  }
  PFactoryInfo info{};
  ASSERT_EQ(m_factory->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Vendor");
  EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
}

TEST_F(CPluginFactoryTest, RegistersUnicodeRecordsAndRefusesKnownIdsAndMissingFunctions)
{
  PClassInfoW infoW{};
  std::memcpy(infoW.cid, kOtherCid.data, sizeof(TUID));
  CopyString8(infoW.category, kVstAudioEffectClass);
  CopyString16(infoW.name, u"Tonhöhe \U0001D11E");
  ASSERT_TRUE(m_factory->RegisterClass(infoW, &CreateEffect));
  PClassInfo narrow{};
  PClassInfoW wide{};
  ASSERT_EQ(m_factory->getClassInfo(1, &narrow), kResultOk);
  ASSERT_EQ(m_factory->getClassInfoUnicode(1, &wide), kResultOk);
  EXPECT_STREQ(narrow.name, "Tonhöhe \xF0\x9D\x84\x9E");
  EXPECT_EQ(std::u16string(wide.name), u"Tonhöhe \U0001D11E");
  // A second class with a known id, or one without a function, is refused.
  EXPECT_FALSE(m_factory->RegisterClass(MakeClassInfo(kEffectCid, "Again"), &CreateEffect));
  EXPECT_FALSE(m_factory->RegisterClass(MakeClassInfo(MakeFUID(9, 9, 9, 9), "No function"), nullptr));
  EXPECT_EQ(m_factory->countClasses(), 2);
}

TEST(CPluginFactoryShared, OneFactoryWhileHeldAndAFreshOneAfterTheLastRelease)
{
  static int registrations = 0;
  auto registerOne = [](CPluginFactory& factory) {
    ++registrations;
    factory.RegisterClass(PClassInfo2{}, &CreateEffect);
  };
  IPluginFactory* first = CPluginFactory::GetShared(PFactoryInfo{}, registerOne);
  IPluginFactory* again = CPluginFactory::GetShared(PFactoryInfo{}, registerOne);
  EXPECT_EQ(again, first);
  EXPECT_EQ(registrations, 1);
  EXPECT_EQ(again->release(), 1u);
  EXPECT_EQ(first->release(), 0u);
  IPluginFactory* fresh = CPluginFactory::GetShared(PFactoryInfo{}, registerOne);
  EXPECT_EQ(registrations, 2);
  EXPECT_EQ(fresh->countClasses(), 1);
  EXPECT_EQ(fresh->release(), 0u);
}
