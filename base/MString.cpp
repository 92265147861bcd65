#include "base/MString.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <stdexcept>

// The header sits directly before the characters; its capacity counts the character bytes only
// (terminator included), so the header never eats into the room the capacity rule promises.
struct MString::Header
{
  std::uint32_t capacityBytes;
  std::atomic<std::uint32_t> references;
};
static_assert(sizeof(std::atomic<std::uint32_t>) == 4, "the header is two 32-bit words");

namespace
{
// The largest length whose capacity still fits the 32-bit capacity word.
constexpr std::int32_t kMaxLength = (1 << 29);

std::int32_t ClampIndex(std::int32_t index, std::int32_t length) noexcept
{
  return std::clamp(index, std::int32_t{0}, length);
}
} // namespace

std::uint32_t MString::CapacityForLength(std::int32_t length) noexcept
{
  std::uint32_t bytes = 2u * static_cast<std::uint32_t>(std::max(length, std::int32_t{0})) + 8u;
  std::uint32_t capacity = 1;
  while (capacity < bytes)
  {
    capacity <<= 1;
  }
  return capacity;
}

MString::Header* MString::HeaderOf() const noexcept
{
  return reinterpret_cast<Header*>(const_cast<void*>(m_data)) - 1;
}

char16_t* MString::Allocate(std::int32_t length)
{
  if (length < 0 || length > kMaxLength)
  {
    throw std::length_error("MString: text too long");
  }
  std::uint32_t capacity = CapacityForLength(length);
  void* block = ::operator new(sizeof(Header) + capacity);
  Header* header = new (block) Header{capacity, {1}};
  return reinterpret_cast<char16_t*>(header + 1);
}

void MString::Release() noexcept
{
  if (IsLiteral())
  {
    return;
  }
  Header* header = HeaderOf();
  // Release and acquire on the decrement, so every write made through another owner happens
  // before the buffer is freed. (Not a release decrement and a separate acquire fence: that is
  // as correct, but ThreadSanitizer does not see fences and reports every buffer shared between
  // threads, such as the strings of a state item copied on the host thread.)
  if (header->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
  {
    header->~Header();
    ::operator delete(header);
  }
}

void MString::SetOwned(char16_t* chars, std::int32_t length) noexcept
{
  m_data = chars;
  m_length = length;
  m_mode = 0;
  chars[length] = 0;
}

void MString::MakeUnique(std::int32_t length)
{
  length = std::max(length, m_length);
  if (!IsLiteral() && HeaderOf()->references.load(std::memory_order_acquire) == 1)
  {
    if (CapacityForLength(length) <= HeaderOf()->capacityBytes)
    {
      return;
    }
    char16_t* grown = Allocate(length);
    std::memcpy(grown, OwnedChars(), sizeof(char16_t) * static_cast<std::size_t>(m_length));
    std::int32_t keep = m_length;
    Release();
    SetOwned(grown, keep);
    return;
  }
  // Shared buffer or literal: copy into a buffer of our own (widening a literal byte by byte).
  char16_t* copy = Allocate(length);
  if (IsLiteral())
  {
    const char* source = LiteralChars();
    for (std::int32_t i = 0; i < m_length; ++i)
    {
      copy[i] = static_cast<unsigned char>(source[i]);
    }
  }
  else
  {
    std::memcpy(copy, OwnedChars(), sizeof(char16_t) * static_cast<std::size_t>(m_length));
  }
  std::int32_t keep = m_length;
  Release();
  SetOwned(copy, keep);
}

MString::MString(const char16_t* text) : MString()
{
  if (text != nullptr)
  {
    *this = MString(std::u16string_view(text));
  }
}

MString::MString(const char16_t* text, std::int32_t length) : MString()
{
  if (text != nullptr && length > 0)
  {
    *this = MString(std::u16string_view(text, static_cast<std::size_t>(length)));
  }
}

MString::MString(std::u16string_view text) : MString()
{
  if (text.empty())
  {
    return;
  }
  if (text.size() > static_cast<std::size_t>(kMaxLength))
  {
    throw std::length_error("MString: text too long");
  }
  std::int32_t length = static_cast<std::int32_t>(text.size());
  char16_t* chars = Allocate(length);
  std::memcpy(chars, text.data(), sizeof(char16_t) * text.size());
  SetOwned(chars, length);
}

MString MString::FromLiteral(const char* staticText) noexcept
{
  MString result;
  if (staticText != nullptr)
  {
    std::size_t length = std::strlen(staticText);
    result.m_data = staticText;
    result.m_length = static_cast<std::int32_t>(std::min(length, static_cast<std::size_t>(kMaxLength)));
  }
  return result;
}

MString MString::FromNarrow(std::string_view text)
{
  MString result;
  if (text.empty())
  {
    return result;
  }
  if (text.size() > static_cast<std::size_t>(kMaxLength))
  {
    throw std::length_error("MString: text too long");
  }
  std::int32_t length = static_cast<std::int32_t>(text.size());
  char16_t* chars = Allocate(length);
  for (std::int32_t i = 0; i < length; ++i)
  {
    chars[i] = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
  }
  result.SetOwned(chars, length);
  return result;
}

MString::MString(const MString& other) noexcept
    : m_data(other.m_data), m_length(other.m_length), m_mode(other.m_mode)
{
  if (!IsLiteral())
  {
    // A new owner needs no ordering: it can only be created from an existing one.
    HeaderOf()->references.fetch_add(1, std::memory_order_relaxed);
  }
}

MString::MString(MString&& other) noexcept
    : m_data(other.m_data), m_length(other.m_length), m_mode(other.m_mode)
{
  other.m_data = "";
  other.m_length = 0;
  other.m_mode = kModeLiteral;
}

MString& MString::operator=(const MString& other) noexcept
{
  if (this != &other)
  {
    MString copy(other);
    *this = std::move(copy);
  }
  return *this;
}

MString& MString::operator=(MString&& other) noexcept
{
  if (this != &other)
  {
    Release();
    m_data = other.m_data;
    m_length = other.m_length;
    m_mode = other.m_mode;
    other.m_data = "";
    other.m_length = 0;
    other.m_mode = kModeLiteral;
  }
  return *this;
}

MString::~MString()
{
  Release();
}

char16_t MString::At(std::int32_t index) const noexcept
{
  if (index < 0 || index >= m_length)
  {
    return 0;
  }
  return IsLiteral() ? static_cast<unsigned char>(LiteralChars()[index]) : OwnedChars()[index];
}

MString MString::Substring(std::int32_t start, std::int32_t count) const
{
  start = ClampIndex(start, m_length);
  std::int32_t available = m_length - start;
  count = (count < 0 || count > available) ? available : count;
  if (start == 0 && count == m_length)
  {
    return *this;
  }
  if (count == 0)
  {
    return MString();
  }
  if (IsLiteral() && start + count == m_length)
  {
    // The tail of a zero-terminated literal is itself a zero-terminated literal.
    MString tail(*this);
    tail.m_data = LiteralChars() + start;
    tail.m_length = count;
    return tail;
  }
  if (IsLiteral())
  {
    return FromNarrow(std::string_view(LiteralChars() + start, static_cast<std::size_t>(count)));
  }
  return MString(std::u16string_view(OwnedChars() + start, static_cast<std::size_t>(count)));
}

std::int32_t MString::Find(const MString& needle, std::int32_t from) const noexcept
{
  from = std::max(from, std::int32_t{0});
  std::int32_t last = m_length - needle.m_length;
  for (std::int32_t i = from; i <= last; ++i)
  {
    if (MatchesAt(i, needle))
    {
      return i;
    }
  }
  return -1;
}

std::int32_t MString::Find(char16_t character, std::int32_t from) const noexcept
{
  for (std::int32_t i = std::max(from, std::int32_t{0}); i < m_length; ++i)
  {
    if (At(i) == character)
    {
      return i;
    }
  }
  return -1;
}

std::int32_t MString::FindLast(char16_t character) const noexcept
{
  for (std::int32_t i = m_length - 1; i >= 0; --i)
  {
    if (At(i) == character)
    {
      return i;
    }
  }
  return -1;
}

bool MString::MatchesAt(std::int32_t start, const MString& part) const noexcept
{
  if (start < 0 || part.m_length > m_length - start)
  {
    return false;
  }
  for (std::int32_t i = 0; i < part.m_length; ++i)
  {
    if (At(start + i) != part.At(i))
    {
      return false;
    }
  }
  return true;
}

bool MString::StartsWith(const MString& prefix) const noexcept
{
  return MatchesAt(0, prefix);
}

bool MString::EndsWith(const MString& suffix) const noexcept
{
  return MatchesAt(m_length - suffix.m_length, suffix);
}

int MString::Compare(const MString& other) const noexcept
{
  std::int32_t common = std::min(m_length, other.m_length);
  for (std::int32_t i = 0; i < common; ++i)
  {
    int difference = static_cast<int>(At(i)) - static_cast<int>(other.At(i));
    if (difference != 0)
    {
      return difference;
    }
  }
  return (m_length < other.m_length) ? -1 : (m_length > other.m_length ? 1 : 0);
}

bool operator==(const MString& a, const MString& b) noexcept
{
  if (a.m_length != b.m_length)
  {
    return false;
  }
  if (!a.IsLiteral() && a.m_data == b.m_data)
  {
    return true;
  }
  return a.Compare(b) == 0;
}

std::strong_ordering operator<=>(const MString& a, const MString& b) noexcept
{
  return a.Compare(b) <=> 0;
}

MString& MString::Append(const MString& text)
{
  return Insert(m_length, text);
}

MString& MString::Append(char16_t character)
{
  MakeUnique(m_length + 1);
  char16_t* chars = MutableChars();
  chars[m_length] = character;
  ++m_length;
  chars[m_length] = 0;
  return *this;
}

MString& MString::Insert(std::int32_t position, const MString& text)
{
  if (text.m_length == 0)
  {
    return *this;
  }
  if (m_length == 0 && !text.IsLiteral())
  {
    return *this = text;
  }
  if (text.m_length > kMaxLength - m_length)
  {
    throw std::length_error("MString: text too long");
  }
  position = ClampIndex(position, m_length);
  // Keep the inserted text alive and stable even when it shares our own buffer.
  MString source(text);
  MakeUnique(m_length + source.m_length);
  char16_t* chars = MutableChars();
  std::memmove(chars + position + source.m_length, chars + position,
               sizeof(char16_t) * static_cast<std::size_t>(m_length - position));
  for (std::int32_t i = 0; i < source.m_length; ++i)
  {
    chars[position + i] = source.At(i);
  }
  m_length += source.m_length;
  chars[m_length] = 0;
  return *this;
}

MString& MString::Remove(std::int32_t start, std::int32_t count)
{
  start = ClampIndex(start, m_length);
  count = std::clamp(count, std::int32_t{0}, m_length - start);
  if (count == 0)
  {
    return *this;
  }
  MakeUnique(m_length);
  char16_t* chars = MutableChars();
  std::memmove(chars + start, chars + start + count,
               sizeof(char16_t) * static_cast<std::size_t>(m_length - start - count));
  m_length -= count;
  chars[m_length] = 0;
  return *this;
}

MString& MString::SetAt(std::int32_t index, char16_t character)
{
  if (index >= 0 && index < m_length)
  {
    MakeUnique(m_length);
    MutableChars()[index] = character;
  }
  return *this;
}

void MString::Clear() noexcept
{
  Release();
  m_data = "";
  m_length = 0;
  m_mode = kModeLiteral;
}

void MString::Reserve(std::int32_t length)
{
  MakeUnique(length);
}

std::uint32_t MString::CapacityBytes() const noexcept
{
  return IsLiteral() ? 0 : HeaderOf()->capacityBytes;
}

std::uint32_t MString::ShareCount() const noexcept
{
  return IsLiteral() ? 0 : HeaderOf()->references.load(std::memory_order_relaxed);
}

MString operator+(const MString& a, const MString& b)
{
  MString result(a);
  result.Append(b);
  return result;
}

std::size_t std::hash<MString>::operator()(const MString& text) const noexcept
{
  // FNV-1a over the code units, so a literal and its widened copy hash alike.
  std::uint64_t hash = 14695981039346656037ull;
  for (std::int32_t i = 0; i < text.Length(); ++i)
  {
    hash = (hash ^ text.At(i)) * 1099511628211ull;
  }
  return static_cast<std::size_t>(hash);
}
