#pragma once
// MHostCallShield: the guard around every entry point that a host or the operating system calls.
//
// No exception may cross into a host. Each entry point runs its body inside Run, with a trace
// name that says which entry point it is:
//
//   VstIntPtr MAudioPluginVSTAdapter::Dispatch(...) noexcept
//   {
//     return MHostCallShield::Run("MAudioPluginVSTAdapter::dispatcher", VstIntPtr{0}, [&] {
//       ...                                   // may throw
//       return result;
//     });
//   }
//
// Run answers the body's result, or the caller's neutral result when the body threw. A caught
// MException is an expected failure (bad state bytes, a refused request) and is swallowed; any
// other exception is reported to MDiagnosticLog as "SYSTEM EXCEPTION! {0}" with the trace name.
// Both are written only while the log is enabled, so with the default (discarding) log a caught
// exception costs no formatting. Run itself is noexcept and may be called on any thread.

#include "base/MException.h"
#include "base/MString.h"

#include <exception>
#include <type_traits>
#include <utility>

class MHostCallShield
{
public:
  /// Runs `body` and answers its result, or `neutral` when it threw.
  template <typename Body>
  static std::invoke_result_t<Body&> Run(const MString& traceName,
                                         std::type_identity_t<std::invoke_result_t<Body&>> neutral,
                                         Body&& body) noexcept
  {
    try
    {
      return body();
    }
    catch (const MException& exception)
    {
      ReportLibraryException(traceName, exception);
    }
    catch (...)
    {
      ReportSystemException(traceName);
    }
    return neutral;
  }

  /// Runs a body without a result. Answers true when it completed, false when it threw.
  template <typename Body>
    requires std::is_void_v<std::invoke_result_t<Body&>>
  static bool Run(const MString& traceName, Body&& body) noexcept
  {
    return Run(traceName, false, [&body] {
      body();
      return true;
    });
  }

  /// The text the log receives for an exception other than MException.
  static MString SystemExceptionText(const MString& traceName);

private:
  static void ReportLibraryException(const MString& traceName, const MException& exception) noexcept;
  static void ReportSystemException(const MString& traceName) noexcept;
};
