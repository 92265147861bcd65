#include "gui/x11/MX11Errors.h"

#include "gui/x11/MX11Headers.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace MX11Errors
{
namespace
{
using Handler = int (*)(Display*, XErrorEvent*);

struct Registry
{
  std::mutex lock;
  std::vector<std::pair<Display*, unsigned long>> displays;
  Handler previous = nullptr;
  bool installed = false;
};

Registry& GetRegistry()
{
  static Registry registry; // never destroyed before the last back end unregisters
  return registry;
}

int OnError(Display* display, XErrorEvent* error)
{
  Registry& registry = GetRegistry();
  Handler previous = nullptr;
  {
    std::lock_guard<std::mutex> guard(registry.lock);
    for (auto& entry : registry.displays)
      if (entry.first == display)
      {
        ++entry.second;
        return 0;
      }
    previous = registry.previous;
  }
  return previous ? previous(display, error) : 0;
}
} // namespace

void Register(_XDisplay* display)
{
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  registry.displays.emplace_back(display, 0ul);
  if (!registry.installed)
  {
    registry.previous = XSetErrorHandler(OnError);
    registry.installed = true;
  }
}

void Unregister(_XDisplay* display)
{
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto& list = registry.displays;
  list.erase(
      std::remove_if(list.begin(), list.end(), [display](const auto& e) { return e.first == display; }),
      list.end());
  if (list.empty() && registry.installed)
  {
    // XSetErrorHandler answers the handler it replaces: when that is not ours, another library
    // installed its own after us and chains to us; putting ours back keeps that chain intact.
    const Handler current = XSetErrorHandler(registry.previous);
    if (current != OnError)
      XSetErrorHandler(current);
    else
      registry.installed = false;
  }
}

unsigned long Count(_XDisplay* display)
{
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  for (const auto& entry : registry.displays)
    if (entry.first == display)
      return entry.second;
  return 0;
}
} // namespace MX11Errors
