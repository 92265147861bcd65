#include "tools/host/MTestHost.h"

const char* MTestHostStatusText(MTestHostStatus status)
{
  switch (status)
  {
  case MTestHostStatus::Ok:
    return "ok";
  case MTestHostStatus::ModuleNotFound:
    return "module not found";
  case MTestHostStatus::EntryMissing:
    return "entry point missing";
  case MTestHostStatus::NullEffect:
    return "plug-in refused to load";
  case MTestHostStatus::BadMagic:
    return "bad plug-in record";
  }
  return "unknown";
}
