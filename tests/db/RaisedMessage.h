#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace db::testing {

// The message of the error of type Error that an action raises. An action that raises nothing fails the
// test, and so does one that raises another type, which goes through.
template <class Error>
std::string MessageRaised(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.Message();
  }
  ADD_FAILURE() << "nothing was raised";
  return {};
}

}  // namespace db::testing
