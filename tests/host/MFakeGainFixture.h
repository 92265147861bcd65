#pragma once
// Shared set-up of the module tests: the fake gain plug-in (MFakeGainEffect.cpp) loaded through
// the test host, and its private probes.

#include "tools/host/MTestHostVst2.h"

#include <gtest/gtest.h>

/// Paths of the modules built beside the tests.
const char* FakeGainModulePath();
const char* FakeNoEntryModulePath();
const char* FakeBadMagicModulePath();

/// Asks the fake plug-in for one of its private figures (effVendorSpecific with a four-character
/// code): "tmpo"/"ppq " tempo and position seen in the last block × 1000, "pcnt" processReplacing
/// calls that reached it, "evts" MIDI events accepted, "mods" last key modifier, "hsr "/"hbs " rate
/// and block size the host answered at resume, "plvl" process level seen in the last block,
/// "hver" host version. Probes that take a pointer ("hcan", "hvnd", "hprd") are dispatched by hand.
Vst2::VstIntPtr FakeGainProbe(MTestHostVst2& host, const char (&code)[5]);

class MFakeGainFixture : public ::testing::Test
{
protected:
  static constexpr int kNumParams = 3;

  void SetUp() override
  {
    ASSERT_EQ(m_host.LoadModule(FakeGainModulePath()), MTestHostStatus::Ok) << m_host.LastError();
  }

  MTestHostVst2 m_host;
};
