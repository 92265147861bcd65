#include "base/MException.h"

MException::MException(const MString& message) : MException(MString(), message, 0) {}

MException::MException(const MString& context, const MString& message, std::int32_t code)
    : m_context(context), m_message(message), m_code(code),
      m_what(std::make_shared<const std::string>(message.ToUTF8()))
{}

// Out of line so the vtable and type information live in one object file.
MException::~MException() = default;

const char* MException::what() const noexcept
{
  return m_what ? m_what->c_str() : "";
}
