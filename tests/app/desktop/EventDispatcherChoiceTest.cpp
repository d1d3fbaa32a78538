// The program runs its message loop on Qt's own event dispatcher, chosen through QT_NO_GLIB before the
// application object is built and taken back from the environment afterwards.

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <optional>
#include <string>

#include "app/desktop/EventDispatcherChoice.h"
#include "platform/Machine.h"

namespace testsupport {
namespace {

std::optional<std::string> Variable() {
  if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) return std::nullopt;
  return qgetenv("QT_NO_GLIB").toStdString();
}

void SetVariable(const std::optional<std::string>& value) {
  if (value) {
    qputenv("QT_NO_GLIB", QByteArray::fromStdString(*value));
  } else {
    qunsetenv("QT_NO_GLIB");
  }
}

// The class of the dispatcher Qt builds for a thread started now, as it builds the main thread's: asked
// from inside the thread's own message loop, which waits for nothing but the call.
std::string DispatcherOfANewThread() {
  QThread thread;
  thread.start();
  QObject inThread;
  inThread.moveToThread(&thread);
  std::string name;
  QMetaObject::invokeMethod(
      &inThread, [&name] { name = QAbstractEventDispatcher::instance()->metaObject()->className(); },
      Qt::BlockingQueuedConnection);
  thread.quit();
  thread.wait();
  return name;
}

class VariableRestored : public ::testing::Test {
 protected:
  void TearDown() override { SetVariable(before_); }

 private:
  std::optional<std::string> before_ = Variable();
};

struct Case {
  const char* name;
  std::optional<std::string> given;          // the user's environment
  std::optional<std::string> whileBuilding;  // between the choice and Forget
  std::optional<std::string> afterwards;     // after Forget
};

class EventDispatcherChoiceTest : public VariableRestored, public ::testing::WithParamInterface<Case> {};

TEST_P(EventDispatcherChoiceTest, SetsTheVariableOnlyWhenTheUserDidNotAndTakesBackOnlyItsOwn) {
  const Case& c = GetParam();
  SetVariable(c.given);
  const std::unique_ptr<platform::Environment> machine = platform::MachineEnvironment();
  app::EventDispatcherChoice choice(*machine);
  EXPECT_EQ(Variable(), c.whileBuilding) << c.name;
  choice.Forget();
  EXPECT_EQ(Variable(), c.afterwards) << c.name;
  choice.Forget();
  EXPECT_EQ(Variable(), c.afterwards) << c.name << ": a second Forget changes nothing";
}

INSTANTIATE_TEST_SUITE_P(Environments, EventDispatcherChoiceTest,
                         ::testing::Values(Case{"not set", std::nullopt, "1", std::nullopt},
                                           Case{"set by the user", "1", "1", "1"},
                                           Case{"set empty by the user", "", "", ""},
                                           Case{"another value", "yes", "yes", "yes"}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return "Case" + std::to_string(info.index);
                         });

class QtReadsTheChoice : public VariableRestored {};

TEST_F(QtReadsTheChoice, ADispatcherBuiltWhileItStandsIsQtsOwnAndAfterwardsTheDefaultAgain) {
  SetVariable(std::nullopt);
  const std::string byDefault = DispatcherOfANewThread();
  const std::unique_ptr<platform::Environment> machine = platform::MachineEnvironment();
  app::EventDispatcherChoice choice(*machine);
  EXPECT_EQ(DispatcherOfANewThread(), "QEventDispatcherUNIX");
  choice.Forget();
  EXPECT_EQ(DispatcherOfANewThread(), byDefault);
  EXPECT_EQ(byDefault, "QEventDispatcherGlib")
      << "the default this machine's Qt uses, which the choice replaces";
}

}  // namespace
}  // namespace testsupport
