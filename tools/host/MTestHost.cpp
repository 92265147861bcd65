#include "tools/host/MTestHost.h"

#include <cstdio>
#include <utility>

const char* MTestHostStatusText(MTestHostStatus status)
{
  switch (status)
  {
  case MTestHostStatus::Ok:
    return "ok";
  case MTestHostStatus::ModuleNotFound:
    return "module not found";
  case MTestHostStatus::EntryMissing:
    return "entry point missing";
  case MTestHostStatus::NullEffect:
    return "plug-in refused to load";
  case MTestHostStatus::BadMagic:
    return "bad plug-in record";
  }
  return "unknown";
}

std::string MTestHostEditText(const std::vector<MTestHostEdit>& edits)
{
  std::string text;
  for (const MTestHostEdit& edit : edits)
  {
    char word[48];
    if (edit.kind == MTestHostEdit::Kind::Perform)
      std::snprintf(word, sizeof word, "P%d=%g", edit.index, static_cast<double>(edit.value));
    else
      std::snprintf(word, sizeof word, "%c%d", edit.kind == MTestHostEdit::Kind::Begin ? 'B' : 'E',
                    edit.index);
    text += (text.empty() ? "" : " ") + std::string(word);
  }
  return text;
}

void MTestHostLock::Lock()
{
  m_mutex.lock();
  m_owner.store(std::this_thread::get_id());
}

void MTestHostLock::Unlock()
{
  m_owner.store(std::thread::id{});
  m_mutex.unlock();
}

void MTestHostLock::Enter(const std::string& what)
{
  if (m_owner.load() == std::this_thread::get_id())
  {
    const std::lock_guard<std::mutex> record(m_recordMutex);
    m_reentrant.push_back(what);
    return;
  }
  if (m_enabled)
  {
    const std::lock_guard<std::mutex> wait(m_mutex);
  }
}

std::vector<std::string> MTestHostLock::TakeReentrant()
{
  const std::lock_guard<std::mutex> record(m_recordMutex);
  return std::exchange(m_reentrant, {});
}
