#pragma once

#include <gtest/gtest.h>

#include <QString>

namespace testsupport {

// Whether a text the program showed starts as expected; a failure shows the whole text.
inline ::testing::AssertionResult StartsWith(const QString& text, const QString& start) {
  if (text.startsWith(start)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << '"' << text.toStdString() << "\" does not start with \"" << start.toStdString() << '"';
}

}  // namespace testsupport
