#include "base/MFileLock.h"

#include <chrono>
#include <string>
#include <thread>

#ifdef _WIN32
#include "base/MStreamFailure.h"

#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace
{
// Short enough that a waiting instance follows the holder closely, long enough not to spin.
constexpr auto kPoll = std::chrono::milliseconds(5);
} // namespace

MFileLock::MFileLock(const MString& path, std::uint32_t timeoutMs)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
#ifdef _WIN32
  const std::wstring wide = MStreamFailure::ToWide(path);
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  // A lock file this account may only read (another account's, a read-only one) locks as well.
  if (handle == INVALID_HANDLE_VALUE)
    handle = CreateFileW(wide.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return;
  m_handle = handle;
  for (;;)
  {
    OVERLAPPED whole{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole))
    {
      m_locked = true;
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline)
      return;
    std::this_thread::sleep_for(kPoll);
  }
#else
  const std::string name = path.ToUTF8();
  m_descriptor = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  // flock needs no write access: a lock file this account may only read (another account's, a
  // read-only one) locks as well.
  if (m_descriptor < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
    m_descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_descriptor < 0)
    return;
  for (;;)
  {
    if (::flock(m_descriptor, LOCK_EX | LOCK_NB) == 0)
    {
      m_locked = true;
      return;
    }
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline)
      return;
    std::this_thread::sleep_for(kPoll);
  }
#endif
}

MFileLock::~MFileLock()
{
#ifdef _WIN32
  if (m_handle == nullptr)
    return;
  if (m_locked)
  {
    OVERLAPPED whole{};
    UnlockFileEx(static_cast<HANDLE>(m_handle), 0, 1, 0, &whole);
  }
  CloseHandle(static_cast<HANDLE>(m_handle));
#else
  if (m_descriptor < 0)
    return;
  if (m_locked)
    ::flock(m_descriptor, LOCK_UN);
  ::close(m_descriptor);
#endif
}
