#include "base/MHostCallShield.h"

#include "base/MDiagnosticLog.h"
#include "base/MException.h"
#include "base/MFormat.h"

MString MHostCallShield::SystemExceptionText(const MString& traceName)
{
  return MFormat::Format("SYSTEM EXCEPTION! {0}", traceName);
}

void MHostCallShield::ReportLibraryException(const MString& traceName, const MException& exception) noexcept
{
  if (!MDiagnosticLog::IsEnabled())
  {
    return;
  }
  try
  {
    // Swallowed on purpose; the note only helps someone debugging inside a host.
    MDiagnosticLog::Write(MFormat::Format("{0}: {1}", traceName, exception.Message()));
  }
  catch (...)
  {}
}

void MHostCallShield::ReportSystemException(const MString& traceName) noexcept
{
  if (!MDiagnosticLog::IsEnabled())
  {
    return;
  }
  try
  {
    MDiagnosticLog::Write(SystemExceptionText(traceName));
  }
  catch (...)
  {}
}
