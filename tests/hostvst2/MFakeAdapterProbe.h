#pragma once
// What the fake adapter module (FakeAdapterModule.cpp) lets the tests see of its plug-in and its
// library object. The module exports TonveraFakeProbe, TonveraFakeSendAutomation,
// TonveraFakeGesture, TonveraFakeReportStateChanged and TonveraFakeOfferSurround with C linkage; the tests
// look them up with dlsym.

#include <cstdint>

struct MFakeAdapterProbe
{
  std::int32_t libraryCreations = 0;
  std::int32_t libraryShutdowns = 0;
  std::int32_t liveAdapters = 0;
  std::int32_t initProcessingCalls = 0;
  std::int32_t setValueCalls = 0;
  double sampleRate = 0.0;
  bool playing = false;
  bool positionJumped = false;
  double songPosition = 0.0;
  double barPosition = 0.0;
  std::int32_t denominator = 0;
  /// Channel pointers the plug-in's chunk processing saw in the last block.
  float* inputs[16] = {};
  float* outputs[8] = {};
  std::int32_t notesOn = 0;
};

using MFakeProbeFunction = void (*)(MFakeAdapterProbe* probe);
/// Makes the plug-in send a change of parameter `index` to the host, as its editor would.
using MFakeSendAutomationFunction = void (*)(std::int32_t index, double value);
/// TonveraFakeMoveParameter: the plug-in sets a value itself on another thread.
using MFakeMoveParameterFunction = void (*)(std::int32_t index, double value);
/// Opens (kFakeGestureBegin) or closes (kFakeGestureEnd) a gesture on `index`, or closes every
/// open gesture (kFakeGestureEndAll), as the plug-in's editor would.
using MFakeGestureFunction = void (*)(std::int32_t index, std::int32_t action);
/// Makes the plug-in report a change of its own state, on this thread (0) or another one (1).
using MFakeReportStateChangedFunction = void (*)(std::int32_t otherThread);
/// Sets what the plug-in answers to MAudioPlugin::OffersSurround (1: yes, 0: no; default yes).
using MFakeOfferSurroundFunction = void (*)(std::int32_t offer);
constexpr std::int32_t kFakeGestureBegin = 1;
constexpr std::int32_t kFakeGestureEnd = 2;
constexpr std::int32_t kFakeGestureEndAll = 3;
