#include "base/MStdFileStream.h"

#include "base/MStreamFailure.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace
{
// The few calls that differ between the C libraries we build with: wide file names and 64-bit
// file offsets on Windows, UTF-8 names and off_t offsets on POSIX.
#ifdef _WIN32
std::FILE* OpenFile(const MString& name, bool writing)
{
  const std::wstring wide = MStreamFailure::ToWide(name);
  if (writing)
    return _wfopen(wide.c_str(), L"wb");
  // A reader shares deletion: another instance replaces the file by a rename while it is read,
  // and that rename must not fail because of this reader.
  HANDLE handle =
      CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
  {
    const DWORD error = GetLastError();
    errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND     ? ENOENT
            : error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES
                                                                               : EIO;
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (descriptor < 0)
  {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "rb");
  if (file == nullptr)
    _close(descriptor);
  return file;
}
int SeekFile(std::FILE* file, std::int64_t offset, int origin)
{
  return _fseeki64(file, offset, origin);
}
std::int64_t TellFile(std::FILE* file)
{
  return _ftelli64(file);
}
bool TruncateFile(std::FILE* file, std::int64_t size)
{
  return _chsize_s(_fileno(file), size) == 0;
}
bool SyncFile(std::FILE* file)
{
  return _commit(_fileno(file)) == 0;
}
std::filesystem::path ToPath(const MString& name)
{
  return std::filesystem::path(MStreamFailure::ToWide(name));
}
void SyncFolderOf(const std::filesystem::path&)
{
  // A rename is recorded with the file on the file systems Windows writes to.
}
#else
std::FILE* OpenFile(const MString& name, bool writing)
{
  const std::string utf8 = MStreamFailure::ToUtf8(name);
  return std::fopen(utf8.c_str(), writing ? "wb" : "rb");
}
int SeekFile(std::FILE* file, std::int64_t offset, int origin)
{
  return fseeko(file, static_cast<off_t>(offset), origin);
}
std::int64_t TellFile(std::FILE* file)
{
  return static_cast<std::int64_t>(ftello(file));
}
bool TruncateFile(std::FILE* file, std::int64_t size)
{
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}
bool SyncFile(std::FILE* file)
{
  return fsync(fileno(file)) == 0;
}
std::filesystem::path ToPath(const MString& name)
{
  return std::filesystem::path(MStreamFailure::ToUtf8(name));
}
// Makes the rename itself durable: the folder's entry goes to the disk too.
void SyncFolderOf(const std::filesystem::path& file)
{
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const int descriptor = ::open(folder.c_str(), O_RDONLY);
  if (descriptor < 0)
    return;
  (void)fsync(descriptor);
  ::close(descriptor);
}
#endif

int StdOrigin(int origin)
{
  switch (origin)
  {
  case MStream::kSeekFromStart:
    return SEEK_SET;
  case MStream::kSeekFromCurrent:
    return SEEK_CUR;
  case MStream::kSeekFromEnd:
    return SEEK_END;
  default:
    MStreamFailure::Throw("Invalid seek origin.");
  }
}
} // namespace

MStdFileStream::MStdFileStream(const MString& fileName, Mode mode)
{
  Open(fileName, mode);
}

MStdFileStream::~MStdFileStream()
{
  if (m_file != nullptr)
    std::fclose(m_file);
}

void MStdFileStream::Open(const MString& fileName, Mode mode)
{
  if (m_file != nullptr)
  {
    std::fclose(m_file);
    m_file = nullptr;
  }
  const bool writing = mode == Mode::Write;
  std::FILE* file = OpenFile(fileName, writing);
  if (file == nullptr)
  {
    if (writing)
      MStreamFailure::Throw(
          "File \"{0}\" could not be created. Make sure there is no write-protected file already existing.",
          fileName);
    MStreamFailure::Throw("File \"{0}\" could not be open. Make sure it exists.", fileName);
  }
  m_file = file;
  m_fileName = fileName;
  m_mode = mode;
}

void MStdFileStream::Close()
{
  if (m_file == nullptr)
    return;
  const bool failed = std::fclose(m_file) != 0;
  m_file = nullptr;
  if (failed && m_mode == Mode::Write)
    MStreamFailure::Throw("Error writing to file \"{0}\". Probably disk full.", m_fileName);
}

std::FILE* MStdFileStream::File() const
{
  if (m_file == nullptr)
    MStreamFailure::Throw("File stream is not initialized.");
  return m_file;
}

void MStdFileStream::Write(const void* buffer, std::size_t byteCount)
{
  std::FILE* file = File();
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (byteCount > 0)
  {
    const std::size_t written = std::fwrite(bytes, 1, byteCount, file);
    if (written == 0)
      MStreamFailure::Throw("Error writing to file \"{0}\". Probably disk full.", m_fileName);
    bytes += written;
    byteCount -= written;
  }
}

std::size_t MStdFileStream::Read(void* buffer, std::size_t byteCount)
{
  std::FILE* file = File();
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t total = 0;
  while (total < byteCount)
  {
    const std::size_t got = std::fread(bytes + total, 1, byteCount - total, file);
    total += got;
    if (got == 0)
    {
      if (std::ferror(file))
        MStreamFailure::Throw("Error reading from file \"{0}\".", m_fileName);
      break; // end of file
    }
  }
  return total;
}

void MStdFileStream::Seek(std::int64_t offset, int origin)
{
  std::FILE* file = File();
  if (SeekFile(file, offset, StdOrigin(origin)) != 0)
    MStreamFailure::Throw("Could not perform file seek.");
}

std::int64_t MStdFileStream::GetPosition()
{
  const std::int64_t position = TellFile(File());
  if (position < 0)
    MStreamFailure::Throw("Could not perform file seek.");
  return position;
}

void MStdFileStream::Flush()
{
  if (std::fflush(File()) != 0)
    MStreamFailure::Throw("Error writing to file \"{0}\". Probably disk full.", m_fileName);
}

void MStdFileStream::Sync()
{
  Flush();
  if (!SyncFile(File()))
    MStreamFailure::Throw("Error writing to file \"{0}\". Probably disk full.", m_fileName);
}

bool MStdFileStream::WriteReplacing(const MString& fileName, const std::function<void(MStream&)>& write)
{
  static std::atomic<std::uint32_t> counter{0};
  // Clock, a random number and a per-process count: unique across instances and processes.
  const auto ticks = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  MString temporary = fileName;
  temporary += MString(".");
  temporary += MString::FromUnsigned(ticks % 1000000007u);
  temporary += u'-';
  temporary += MString::FromUnsigned(std::random_device{}());
  temporary += u'-';
  temporary += MString::FromUnsigned(counter.fetch_add(1));
  temporary += MString(".tmp");
  std::error_code error;
  try
  {
    MStdFileStream stream(temporary, Mode::Write);
    write(stream);
    stream.Sync();
    stream.Close();
  }
  catch (...)
  {
    std::filesystem::remove(ToPath(temporary), error);
    throw;
  }
  const std::filesystem::path target = ToPath(fileName);
  std::filesystem::rename(ToPath(temporary), target, error);
  if (error)
  {
    std::filesystem::remove(ToPath(temporary), error);
    return false;
  }
  SyncFolderOf(target);
  return true;
}

bool MStdFileStream::IsEndOfStream()
{
  return GetPosition() >= GetSize();
}

void MStdFileStream::Truncate()
{
  const std::int64_t position = GetPosition();
  Flush();
  if (!TruncateFile(File(), position))
    MStreamFailure::Throw("Error writing to file \"{0}\". Probably disk full.", m_fileName);
}

std::int64_t MStdFileStream::GetSize()
{
  std::FILE* file = File();
  const std::int64_t position = GetPosition();
  if (SeekFile(file, 0, SEEK_END) != 0)
    MStreamFailure::Throw("Could not perform file seek.");
  const std::int64_t size = TellFile(file);
  if (SeekFile(file, position, SEEK_SET) != 0 || size < 0)
    MStreamFailure::Throw("Could not perform file seek.");
  return size;
}
