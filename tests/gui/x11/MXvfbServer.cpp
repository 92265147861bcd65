#include "MXvfbServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

std::string MXvfbServer::FindProgram()
{
  const char* path = std::getenv("PATH");
  std::string list = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= list.size())
  {
    const std::size_t end = list.find(':', start);
    const std::string directory =
        list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::string candidate = (directory.empty() ? std::string(".") : directory) + "/Xvfb";
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return {};
}

bool MXvfbServer::Start(std::string& error, int depth, std::initializer_list<const char*> extraArguments)
{
  const std::string program = FindProgram();
  if (program.empty())
  {
    error = "Xvfb is not installed (Debian package xvfb; scripts/install-deps.sh installs it)";
    return false;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
  {
    error = "pipe failed";
    return false;
  }
  // The write end must survive exec: the server writes its display number there.
  const int writeFd = fcntl(fds[1], F_DUPFD, 10);
  close(fds[1]);
  const std::string fdText = std::to_string(writeFd);
  const std::string screen = "1024x768x" + std::to_string(depth);
  // -terminate: the server ends when its last client goes, so a test process that dies without
  // running our destructor (Xlib's default error handler calls exit) leaves no server behind.
  std::vector<const char*> argv{program.c_str(), "-displayfd", fdText.c_str(), "-screen",   "0",
                                screen.c_str(),  "-nolisten",  "tcp",          "-terminate"};
  argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int spawned =
      posix_spawn(&m_pid, program.c_str(), &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(writeFd);
  if (spawned != 0)
  {
    close(fds[0]);
    m_pid = -1;
    error = "could not start " + program;
    return false;
  }
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline)
  {
    pollfd readable{fds[0], POLLIN, 0};
    if (poll(&readable, 1, 100) <= 0)
      continue;
    char buffer[16];
    const ssize_t got = read(fds[0], buffer, sizeof buffer);
    if (got <= 0)
      break; // the server ended before it wrote its number
    number.append(buffer, std::size_t(got));
    if (number.find('\n') != std::string::npos)
      break;
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
    number.pop_back();
  if (number.empty())
  {
    error = "Xvfb did not report its display within 10 s";
    return false;
  }
  m_displayName = ":" + number;
  return true;
}

MXvfbServer::~MXvfbServer()
{
  if (m_pid <= 0)
    return;
  kill(m_pid, SIGTERM);
  for (int i = 0; i < 200; ++i)
  {
    if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(m_pid, SIGKILL);
  waitpid(m_pid, nullptr, 0);
}
