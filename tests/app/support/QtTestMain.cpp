#include <gtest/gtest.h>

#include <QApplication>

// In-process window tests: one application object for the whole program, on the offscreen platform
// unless the environment asks for another.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Backup"));
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
