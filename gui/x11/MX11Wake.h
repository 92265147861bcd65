#pragma once
// MX11Wake: the GUI thread's wake-up signal, a file descriptor that any thread can make readable.
// Linux uses an eventfd; elsewhere a non-blocking self-pipe. The GUI thread polls it beside the X
// connection and clears it with Drain. No Xlib call is involved, so other threads never touch the
// display connection.

class MX11Wake
{
public:
  /// Creates the descriptor(s). Throws MException "Could not create the GUI wake-up signal."
  /// when the system refuses.
  MX11Wake();
  ~MX11Wake();
  MX11Wake(const MX11Wake&) = delete;
  MX11Wake& operator=(const MX11Wake&) = delete;

  /// Makes the descriptor readable. Any thread; never blocks (a full pipe or a saturated counter
  /// is already readable), allocates nothing, async-signal-safe.
  void Signal() noexcept;

  /// Clears the signal; true when it was set. GUI thread; never blocks.
  bool Drain() noexcept;

  /// The descriptor to poll for reading.
  int GetFileDescriptor() const { return m_readFd; }

private:
  int m_readFd = -1;
  int m_writeFd = -1; // the same descriptor as m_readFd for an eventfd
};
