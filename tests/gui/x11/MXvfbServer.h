#pragma once
// A private X server for tests and benchmarks: starts Xvfb on a display number of its own choosing
// (-displayfd), waits until it accepts connections, and ends it in the destructor. Nothing here
// depends on the toolkit, so the benchmark programs use it too.

#include <initializer_list>
#include <string>
#include <sys/types.h>

class MXvfbServer
{
public:
  /// The Xvfb program found on PATH, or "" when it is not installed.
  static std::string FindProgram();

  MXvfbServer() = default;
  /// Terminates the server (SIGTERM, SIGKILL after 2 s) and reaps it.
  ~MXvfbServer();
  MXvfbServer(const MXvfbServer&) = delete;
  MXvfbServer& operator=(const MXvfbServer&) = delete;

  /// Starts a 1024x768 screen of `depth` bits without TCP. `extraArguments` go to Xvfb as they are (e.g.
  /// "-extension" "MIT-SHM" to run without shared memory). Returns false with `error` set when
  /// the program is missing or the server did not come up within 10 s.
  bool Start(std::string& error, int depth = 24, std::initializer_list<const char*> extraArguments = {});

  /// ":N" once started.
  const std::string& GetDisplayName() const { return m_displayName; }
  pid_t GetProcessId() const { return m_pid; }

private:
  pid_t m_pid = -1;
  std::string m_displayName;
};
