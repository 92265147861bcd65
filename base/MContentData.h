#pragma once
// MContentData: what a control displays, shared by reference count between the value scale that
// produced it and the controls that draw it.
//
// Value scales create text content (GetContent, GetContentForNormalised); the GUI toolkit adds
// picture content of its own kinds. The record is immutable once made, so one instance may be
// handed to several controls and threads. Creating one allocates (GUI thread only).

#include "base/MString.h"

#include <cstdint>
#include <memory>

class MContentData
{
public:
  /// Kind code of the content. Value scales only produce Text.
  enum class Kind : std::int32_t
  {
    Text = 0,
    Picture = 1,
  };

  explicit MContentData(MString text, Kind kind = Kind::Text) : m_text(std::move(text)), m_kind(kind) {}
  virtual ~MContentData() = default;

  const MString& GetText() const noexcept { return m_text; }
  Kind GetKind() const noexcept { return m_kind; }

  /// Shared text content.
  static std::shared_ptr<const MContentData> MakeText(MString text)
  {
    return std::make_shared<const MContentData>(std::move(text));
  }

private:
  MString m_text;
  Kind m_kind;
};

using MContentDataPtr = std::shared_ptr<const MContentData>;
