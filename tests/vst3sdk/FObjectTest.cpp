// Reference counting and interface lookup of FObject, including a class with two FObject
// bases that shares one counter, and the byte layout of interface IDs.

#include "sdk/vst3/EditController.h"
#include "sdk/vst3/VST3Factory.h"
#include "sdk/vst3/VST3View.h"

#include <gtest/gtest.h>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
/// Counts its destructions so that tests can see when release deletes it.
class Probe : public FObject, public IBStream
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  explicit Probe(int& destroyed) : m_destroyed(destroyed) {}
  tresult PLUGIN_API read(void*, int32, int32*) override { return kNotImplemented; }
  tresult PLUGIN_API write(void*, int32, int32*) override { return kNotImplemented; }
  tresult PLUGIN_API seek(int64, int32, int64*) override { return kNotImplemented; }
  tresult PLUGIN_API tell(int64*) override { return kNotImplemented; }

protected:
  ~Probe() override { ++m_destroyed; }
  void CollectInterfaces(InterfaceTable& table) override
  {
    FObject::CollectInterfaces(table);
    table.Add(IBStream::iid, static_cast<IBStream*>(this));
  }

private:
  int& m_destroyed;
};

/// The shape of a single-component plug-in: processor and controller bases on one object.
class SingleComponent : public AudioEffect, public EditControllerEx1
{
  TONVERA_VST3_FORWARD_FUNKNOWN(AudioEffect)

public:
  explicit SingleComponent(int& destroyed) : m_destroyed(destroyed) {}
  tresult PLUGIN_API initialize(FUnknown* context) override { return AudioEffect::initialize(context); }
  tresult PLUGIN_API terminate() override
  {
    EditControllerEx1::terminate();
    return AudioEffect::terminate();
  }

protected:
  ~SingleComponent() override { ++m_destroyed; }
  void CollectInterfaces(InterfaceTable& table) override
  {
    AudioEffect::CollectInterfaces(table);
    EditControllerEx1::CollectInterfaces(table);
  }

private:
  int& m_destroyed;
};

template <typename I>
I* Query(FUnknown* object)
{
  return QueryInterfaceOf<I>(object);
}
} // namespace

TEST(FObjectTest, QueryAnswersExactlyTheTableAndAddsOneReference)
{
  int destroyed = 0;
  auto* probe = new Probe(destroyed);
  IBStream* stream = probe;
  ASSERT_EQ(probe->GetRefCount(), 1u);

  void* answer = nullptr;
  ASSERT_EQ(stream->queryInterface(IBStream::iid.data, &answer), kResultOk);
  EXPECT_EQ(answer, static_cast<void*>(stream));
  EXPECT_EQ(probe->GetRefCount(), 2u);
  ASSERT_EQ(stream->queryInterface(FUnknown::iid.data, &answer), kResultOk);
  EXPECT_EQ(probe->GetRefCount(), 3u);

  const FUID notAnswered[] = {IComponent::iid, IPluginBase::iid, IEditController::iid, IPlugView::iid};
  for (const FUID& iid : notAnswered)
  {
    answer = stream;
    EXPECT_EQ(stream->queryInterface(iid.data, &answer), kNoInterface);
    EXPECT_EQ(answer, nullptr);
  }
  EXPECT_EQ(probe->GetRefCount(), 3u) << "a failed query must not add a reference";
  EXPECT_EQ(stream->queryInterface(IBStream::iid.data, nullptr), kInvalidArgument);

  EXPECT_EQ(stream->release(), 2u);
  EXPECT_EQ(stream->release(), 1u);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(stream->release(), 0u);
  EXPECT_EQ(destroyed, 1);
}

TEST(FObjectTest, SingleComponentAnswersBothSidesAsSubObjectsOnOneCounter)
{
  int destroyed = 0;
  auto* instance = new SingleComponent(destroyed);
  FUnknown* object = static_cast<IAudioProcessor*>(instance);

  struct Expected
  {
    const char* name;
    FUID iid;
  };
  const Expected answered[] = {
      {"FUnknown", FUnknown::iid},
      {"IPluginBase", IPluginBase::iid},
      {"IComponent", IComponent::iid},
      {"IAudioProcessor", IAudioProcessor::iid},
      {"IEditController", IEditController::iid},
      {"IEditController2", IEditController2::iid},
      {"IUnitInfo", IUnitInfo::iid},
      {"IConnectionPoint", IConnectionPoint::iid},
  };
  std::vector<FUnknown*> held;
  for (const Expected& entry : answered)
  {
    void* answer = nullptr;
    ASSERT_EQ(object->queryInterface(entry.iid.data, &answer), kResultOk) << entry.name;
    held.push_back(static_cast<FUnknown*>(answer));
  }
  // The interfaces are sub-objects of the one instance, not objects of their own.
  EXPECT_EQ(held[2], static_cast<IComponent*>(instance));
  EXPECT_EQ(held[4], static_cast<IEditController*>(instance));
  // Every interface pointer, whichever base it belongs to, counts on the same counter: the
  // object survives until the last of the nine references goes, whatever the order.
  EXPECT_EQ(Query<IMidiMapping>(object), nullptr);
  for (FUnknown* reference : held)
  {
    reference->addRef();
    reference->release();
    reference->release();
    EXPECT_EQ(destroyed, 0);
  }
  object->release();
  EXPECT_EQ(destroyed, 1);
}

TEST(FObjectTest, InterfaceIdsFollowTheGuidTextInBothByteOrders)
{
  // The interface ID whose GUID text is "E831FF31-F2D5-4301-928E-BBEE25697802".
  const FUID com = MakeFUIDComOrder(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  const FUID big = MakeFUIDBigEndian(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  const uint8 comBytes[16] = {0x31, 0xFF, 0x31, 0xE8, 0xD5, 0xF2, 0x01, 0x43,
                              0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
  const uint8 bigBytes[16] = {0xE8, 0x31, 0xFF, 0x31, 0xF2, 0xD5, 0x43, 0x01,
                              0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
  EXPECT_EQ(std::memcmp(com.data, comBytes, 16), 0);
  EXPECT_EQ(std::memcmp(big.data, bigBytes, 16), 0);
#ifdef _WIN32
  EXPECT_TRUE(IComponent::iid == com);
#else
  EXPECT_TRUE(IComponent::iid == big);
#endif
  const uint8 unknown[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  EXPECT_EQ(std::memcmp(FUnknown::iid.data, unknown, 16), 0) << "the same in both orders";
}

TEST(FObjectTest, InterfaceIdsAreDistinct)
{
  const FUID ids[] = {FUnknown::iid,          IPluginBase::iid,          IBStream::iid,
                      IPluginFactory::iid,    IPluginFactory2::iid,      IPluginFactory3::iid,
                      IComponent::iid,        IAudioProcessor::iid,      IParamValueQueue::iid,
                      IParameterChanges::iid, IEventList::iid,           IComponentHandler::iid,
                      IEditController::iid,   IEditController2::iid,     IMidiMapping::iid,
                      IUnitInfo::iid,         IAttributeList::iid,       IMessage::iid,
                      IConnectionPoint::iid,  IHostApplication::iid,     IPlugView::iid,
                      IPlugFrame::iid,        Linux::IEventHandler::iid, Linux::ITimerHandler::iid,
                      Linux::IRunLoop::iid};
  for (size_t i = 0; i < std::size(ids); ++i)
  {
    for (size_t j = i + 1; j < std::size(ids); ++j)
    {
      EXPECT_FALSE(ids[i] == ids[j]) << i << " and " << j;
    }
  }
}
