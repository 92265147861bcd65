#include "gui/x11/MX11Wake.h"

#include "base/MException.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/eventfd.h>
#endif

MX11Wake::MX11Wake()
{
#if defined(__linux__)
  m_readFd = m_writeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
#else
  int fds[2];
  if (pipe(fds) == 0)
  {
    for (int fd : fds)
    {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_readFd = fds[0];
    m_writeFd = fds[1];
  }
#endif
  if (m_readFd < 0)
    throw MException("Could not create the GUI wake-up signal.");
}

MX11Wake::~MX11Wake()
{
  if (m_writeFd >= 0 && m_writeFd != m_readFd)
    close(m_writeFd);
  if (m_readFd >= 0)
    close(m_readFd);
}

void MX11Wake::Signal() noexcept
{
  // EAGAIN means the signal is already pending, which is all a wake-up needs; EINTR retries.
#if defined(__linux__)
  const std::uint64_t one = 1;
  while (write(m_writeFd, &one, sizeof one) < 0 && errno == EINTR)
  {}
#else
  const char one = 1;
  while (write(m_writeFd, &one, 1) < 0 && errno == EINTR)
  {}
#endif
}

bool MX11Wake::Drain() noexcept
{
  bool signalled = false;
  char buffer[64];
  for (;;)
  {
    const ssize_t got = read(m_readFd, buffer, sizeof buffer);
    if (got > 0)
    {
      signalled = true;
      continue; // a pipe may hold more bytes; an eventfd answers EAGAIN next
    }
    if (got < 0 && errno == EINTR)
      continue;
    return signalled;
  }
}
