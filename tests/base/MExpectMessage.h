#pragma once
// Test helper: runs a call and answers the message of the MException it threw, or a note that
// it threw nothing (or something else), so that tests compare messages with EXPECT_EQ.

#include "base/MException.h"

#include <string>

template <typename Call>
std::string MessageOf(Call&& call)
{
  try
  {
    call();
  }
  catch (const MException& exception)
  {
    return exception.Message().ToUTF8();
  }
  catch (const std::exception& exception)
  {
    return std::string("<not an MException: ") + exception.what() + ">";
  }
  return "<no exception>";
}
