#pragma once
// Buses of a component: the audio and event buses it declares and the per-direction lists that
// IComponent answers from.
//
// Built and changed on the host's main thread (initialize, setBusArrangements); process only
// reads arrangements and active flags.

#include "sdk/vst3/VST3Component.h"

#include <memory>
#include <string_view>
#include <vector>

namespace Steinberg::Vst
{
/// A named bus with its type (main or auxiliary), BusInfo flags and active state.
class Bus
{
public:
  /// Names longer than a String128 are cut to it. Active initially when flags has kDefaultActive.
  Bus(std::u16string_view name, BusType busType, int32 flags);
  virtual ~Bus() = default;

  bool IsActive() const { return m_active; }
  void SetActive(bool active) { m_active = active; }
  const TChar* GetName() const { return m_name; }
  void SetName(std::u16string_view name);
  BusType GetBusType() const { return m_busType; }
  int32 GetFlags() const { return m_flags; }

  /// Fills name, bus type, flags and channel count; the list fills media type and direction.
  virtual void GetInfo(BusInfo& info) const;

protected:
  virtual int32 GetChannelCount() const = 0;

private:
  String128 m_name = {};
  BusType m_busType;
  int32 m_flags;
  bool m_active;
};

/// An audio bus; its channel count is the number of speakers in its arrangement.
class AudioBus : public Bus
{
public:
  AudioBus(std::u16string_view name, BusType busType, int32 flags, SpeakerArrangement arrangement);

  SpeakerArrangement GetArrangement() const { return m_arrangement; }
  void SetArrangement(SpeakerArrangement arrangement) { m_arrangement = arrangement; }

protected:
  int32 GetChannelCount() const override { return SpeakerArr::GetChannelCount(m_arrangement); }

private:
  SpeakerArrangement m_arrangement;
};

/// An event (MIDI) bus with a number of channels (16 for one MIDI port).
class EventBus : public Bus
{
public:
  EventBus(std::u16string_view name, BusType busType, int32 flags, int32 channelCount);

protected:
  int32 GetChannelCount() const override { return m_channelCount; }

private:
  int32 m_channelCount;
};

/// The buses of one media type and direction, in index order. Owns its buses.
class BusList
{
public:
  BusList(MediaType type, BusDirection direction) : m_type(type), m_direction(direction) {}

  MediaType GetType() const { return m_type; }
  BusDirection GetDirection() const { return m_direction; }
  int32 Count() const { return static_cast<int32>(m_buses.size()); }
  /// The bus at `index`, or null when the index is out of range.
  Bus* At(int32 index) const;
  /// Appends the bus and answers it.
  Bus* Add(std::unique_ptr<Bus> bus);
  void Clear() { m_buses.clear(); }

  /// Complete BusInfo of the bus at `index`; false when out of range.
  bool GetInfo(int32 index, BusInfo& info) const;

private:
  MediaType m_type;
  BusDirection m_direction;
  std::vector<std::unique_ptr<Bus>> m_buses;
};
} // namespace Steinberg::Vst
