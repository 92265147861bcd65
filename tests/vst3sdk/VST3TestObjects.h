#pragma once
// Small host-side objects shared by the VST 3 layer tests: a host application context and a
// component handler that records what it receives.

#include "sdk/vst3/FObject.h"
#include "sdk/vst3/VST3Controller.h"
#include "sdk/vst3/VST3String.h"

#include <vector>

namespace TonveraTest
{
using namespace Steinberg;
using namespace Steinberg::Vst;

class TestHostApplication : public FObject, public IHostApplication
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  /// The context pointer a host passes to initialize.
  FUnknown* Context() { return static_cast<IHostApplication*>(this); }

  tresult PLUGIN_API getName(String128 name) override
  {
    CopyString16(name, 128, u"Tonvera Test Host");
    return kResultOk;
  }
  tresult PLUGIN_API createInstance(TUID /*cid*/, TUID /*iid*/, void** obj) override
  {
    *obj = nullptr;
    return kNoInterface;
  }

protected:
  void CollectInterfaces(InterfaceTable& table) override
  {
    FObject::CollectInterfaces(table);
    table.Add(IHostApplication::iid, static_cast<IHostApplication*>(this));
  }
};

class RecordingHandler : public FObject, public IComponentHandler
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  struct Edit
  {
    ParamID id;
    ParamValue value;
  };
  std::vector<Edit> edits;
  std::vector<int32> restarts;

  tresult PLUGIN_API beginEdit(ParamID /*id*/) override { return kResultOk; }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override
  {
    edits.push_back({id, value});
    return kResultOk;
  }
  tresult PLUGIN_API endEdit(ParamID /*id*/) override { return kResultOk; }
  tresult PLUGIN_API restartComponent(int32 flags) override
  {
    restarts.push_back(flags);
    return kResultOk;
  }

protected:
  void CollectInterfaces(InterfaceTable& table) override
  {
    FObject::CollectInterfaces(table);
    table.Add(IComponentHandler::iid, static_cast<IComponentHandler*>(this));
  }
};
} // namespace TonveraTest
