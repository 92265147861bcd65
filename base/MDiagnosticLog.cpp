#include "base/MDiagnosticLog.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace
{
enum class Target
{
  Unknown, // the environment has not been read yet
  Discard,
  Stream,
  Custom,
};

struct State
{
  std::mutex lock;
  std::atomic<Target> target{Target::Unknown};
  std::FILE* stream = nullptr;
  bool ownsStream = false;
  MDiagnosticLog::Sink sink = nullptr;
  void* context = nullptr;
};

// Constructed on first use and never destroyed, so shields running during static destruction or
// module unload still find it. It lives in static storage rather than on the heap: a module that
// is loaded and unloaded repeatedly must not leave a block behind each time.
State& TheState()
{
  alignas(State) static unsigned char storage[sizeof(State)];
  static State* state = new (storage) State();
  return *state;
}

void CloseStream(State& state)
{
  if (state.ownsStream && state.stream != nullptr)
  {
    std::fclose(state.stream);
  }
  state.stream = nullptr;
  state.ownsStream = false;
}

// Called with the lock held.
void ReadEnvironment(State& state)
{
  CloseStream(state);
  state.sink = nullptr;
  const char* setting = std::getenv("TONVERA_DIAGNOSTICS");
  if (setting == nullptr || *setting == '\0')
  {
    state.target.store(Target::Discard, std::memory_order_release);
    return;
  }
  if (std::strcmp(setting, "stderr") == 0)
  {
    state.stream = stderr;
  }
  else
  {
    state.stream = std::fopen(setting, "a");
    state.ownsStream = state.stream != nullptr;
  }
  state.target.store(state.stream != nullptr ? Target::Stream : Target::Discard, std::memory_order_release);
}

Target CurrentTarget(State& state)
{
  Target target = state.target.load(std::memory_order_acquire);
  if (target == Target::Unknown)
  {
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.target.load(std::memory_order_relaxed) == Target::Unknown)
    {
      ReadEnvironment(state);
    }
    target = state.target.load(std::memory_order_relaxed);
  }
  return target;
}
} // namespace

bool MDiagnosticLog::IsEnabled() noexcept
{
  try
  {
    return CurrentTarget(TheState()) != Target::Discard;
  }
  catch (...)
  {
    return false; // a lock or allocation failure: nothing is logged
  }
}

void MDiagnosticLog::Write(const MString& text) noexcept
{
  try
  {
    State& state = TheState();
    if (CurrentTarget(state) == Target::Discard)
    {
      return;
    }
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.target.load(std::memory_order_relaxed) == Target::Custom && state.sink != nullptr)
    {
      state.sink(text, state.context);
    }
    else if (state.stream != nullptr)
    {
      std::string line = text.ToUTF8();
      line.push_back('\n');
      std::fwrite(line.data(), 1, line.size(), state.stream);
      std::fflush(state.stream);
    }
  }
  catch (...)
  {
    // Diagnostics must never become a failure of their own.
  }
}

void MDiagnosticLog::SetSink(Sink sink, void* context) noexcept
{
  try
  {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    CloseStream(state);
    state.sink = sink;
    state.context = context;
    state.target.store(sink != nullptr ? Target::Custom : Target::Discard, std::memory_order_release);
  }
  catch (...)
  {}
}

void MDiagnosticLog::Reconfigure() noexcept
{
  try
  {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    ReadEnvironment(state);
  }
  catch (...)
  {}
}
