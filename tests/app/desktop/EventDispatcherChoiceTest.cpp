// The program runs its message loop on Qt's own event dispatcher, chosen through QT_NO_GLIB before the
// application object is built and taken back from the environment afterwards. The program's own
// application object is checked in a child process, since this one holds a test's.

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop/EventDispatcherChoice.h"
#include "platform/Machine.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/TempFolder.h"

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
  // What the program's application object, built in that environment, runs on and leaves behind.
  const char* program;
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

// Built as the program builds it: its loop runs on the dispatcher of the choice, which programs started
// later no longer see; boxes are captioned "Backup"; a box closed while the main window hides in the
// notification area is the last window closed, and must not end the program.
TEST_P(EventDispatcherChoiceTest, TheProgramsApplicationObjectIsBuiltUnderTheChoiceAndForgetsIt) {
  const Case& c = GetParam();
  TempFolder folder;
  const std::string report = (folder.Path() / "report").string();
  std::vector<std::string> command = {"env", "-u", "QT_NO_GLIB"};
  if (c.given) command.push_back("QT_NO_GLIB=" + *c.given);
  command.insert(command.end(), {PROGRAM_APPLICATION_CHILD, report});
  std::string output;
  ASSERT_EQ(RunCommand(command, &output), 0) << output;
  EXPECT_EQ(ReadAll(report), std::string("name Backup\nquit on last window closed 0\n") + c.program)
      << c.name;
}

INSTANTIATE_TEST_SUITE_P(Environments, EventDispatcherChoiceTest,
                         ::testing::Values(Case{"not set", std::nullopt, "1", std::nullopt,
                                                "dispatcher QUnixEventDispatcherQPA\nQT_NO_GLIB unset\n"},
                                           Case{"set by the user", "1", "1", "1",
                                                "dispatcher QUnixEventDispatcherQPA\nQT_NO_GLIB \"1\"\n"},
                                           Case{"set empty by the user", "", "", "",
                                                "dispatcher QPAEventDispatcherGlib\nQT_NO_GLIB \"\"\n"},
                                           Case{"another value", "yes", "yes", "yes",
                                                "dispatcher QUnixEventDispatcherQPA\nQT_NO_GLIB \"yes\"\n"}),
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
