#include "tests/host/MFakeGainFixture.h"

const char* FakeGainModulePath()
{
  return TONVERA_FAKE_GAIN_MODULE;
}

const char* FakeNoEntryModulePath()
{
  return TONVERA_FAKE_NOENTRY_MODULE;
}

const char* FakeBadMagicModulePath()
{
  return TONVERA_FAKE_BADMAGIC_MODULE;
}

Vst2::VstIntPtr FakeGainProbe(MTestHostVst2& host, const char (&code)[5])
{
  return host.Dispatch(Vst2::effVendorSpecific, Vst2::FourCharCode(code[0], code[1], code[2], code[3]));
}
