// What the program says on the desktop session's bus, against a private bus and the tests' own
// notification server: its notifications, and the channel through which a second start shows the window
// of an automatic program that runs without an icon.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QMenu>
#include <QTimer>
#include <atomic>
#include <future>
#include <thread>

#include "app/desktop/DesktopNotifications.h"
#include "app/desktop/ProgramChannel.h"
#include "app/desktop/RequestOffTheLoop.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/SessionBus.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
using namespace std::chrono_literals;

void PumpEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A connection of this process to a private bus, as one program holds it; gone with the object.
class Connection {
 public:
  Connection(const SessionBus& bus, const QString& name)
      : name_(name), bus_(QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), name)) {}
  ~Connection() { QDBusConnection::disconnectFromBus(name_); }
  QDBusConnection& Bus() { return bus_; }

 private:
  QString name_;
  QDBusConnection bus_;
};

// Asks on another thread, as a second program would, while this thread's loop lets the first answer.
bool ShowFromAnotherStart(Connection& connection, const QString& folder) {
  auto shown =
      std::async(std::launch::async, [&] { return app::ShowRunningProgram(connection.Bus(), folder); });
  while (shown.wait_for(0ms) != std::future_status::ready)
    PumpEvents();
  return shown.get();
}

TEST(DesktopNotifications, ReachTheSessionsServerWithUrgencyEntryAndPictureAndABodyItReadsRight) {
  struct Case {
    bool bodyMarkup;
    std::string body;  // as the server receives "a <b> & c"
  };
  for (const Case& c :
       {Case{false, "a <b> & c\nsegunda linha"}, Case{true, "a &lt;b&gt; &amp; c\nsegunda linha"}}) {
    SessionBus bus;
    NotificationServer server(bus, {}, c.bodyMarkup);
    Connection program(bus, QStringLiteral("notifications"));
    app::DesktopNotifications notifications(program.Bus());
    notifications.Send(QStringLiteral("Kelmora Backup"), QStringLiteral("a <b> & c\nsegunda linha"),
                       app::NotificationUrgency::Critical);
    notifications.Send(QStringLiteral("Kelmora Backup"), QStringLiteral("Sem ícone"),
                       app::NotificationUrgency::Normal);
    const auto received = server.WaitFor(2, 60s, PumpEvents);
    ASSERT_EQ(received.size(), 2u) << c.bodyMarkup;
    EXPECT_EQ(received[0].appName, "Kelmora Backup");
    EXPECT_EQ(received[0].appIcon, "kelmora-backup");
    EXPECT_EQ(received[0].summary, "Kelmora Backup");
    EXPECT_EQ(received[0].body, c.body);
    EXPECT_EQ(received[0].urgency, 2);
    EXPECT_EQ(received[0].desktopEntry, "kelmora-backup");
    EXPECT_EQ(received[0].imageWidth, 32);
    EXPECT_EQ(received[0].imageHeight, 32);
    EXPECT_EQ(received[1].body,
              "Sem \xC3\xAD"
              "cone");
    EXPECT_EQ(received[1].urgency, 1);
    // Its capabilities known, the server gets the next one at once.
    notifications.Send(QStringLiteral("Kelmora Backup"), QStringLiteral("terceira"),
                       app::NotificationUrgency::Normal);
    const auto third = server.WaitFor(3, 60s, PumpEvents);
    ASSERT_EQ(third.size(), 3u) << c.bodyMarkup;
    EXPECT_EQ(third[2].body, "terceira");
  }
}

TEST(ProgramChannel, ASecondStartReachesTheProgramOfItsOwnFolderOnly) {
  SessionBus bus;
  Connection first(bus, QStringLiteral("first")), second(bus, QStringLiteral("second"));
  const QString folder = QStringLiteral("/srv/kelmora/Cópia de Segurança/");
  int shown = 0;
  {
    app::ProgramChannel channel;
    channel.OnShow = [&] { ++shown; };
    ASSERT_TRUE(channel.Open(first.Bus(), folder));
    app::ProgramChannel sameFolder;
    EXPECT_FALSE(sameFolder.Open(second.Bus(), folder)) << "one program answers for a folder";
    EXPECT_TRUE(ShowFromAnotherStart(second, folder));
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(ShowFromAnotherStart(second, QStringLiteral("/srv/kelmora/Copia de Seguranca/")));
    EXPECT_EQ(shown, 1);
  }
  EXPECT_FALSE(ShowFromAnotherStart(second, folder)) << "a program that ended answers no more";
  EXPECT_FALSE(app::ShowRunningProgram(QDBusConnection(QStringLiteral("no such bus")), folder));
}

TEST(ProgramChannel, AnAutomaticProgramWithoutATraySaysSoOnceAndAStartFromTheMenuShowsItsWindow) {
  SessionBus bus;
  Connection program(bus, QStringLiteral("program")), menu(bus, QStringLiteral("menu"));
  FakePlatform platform;
  platform.bus = program.Bus();
  TempFolder folder;
  folder.Write("sistema.ini", "[Dados]\r\nDir=srv:/dados/app.fdb\r\n[Backup]\r\nSistema=Linux\r\n");
  const QString programFolder = QString::fromStdString(folder.WithSeparator());
  for (const bool tray : {true, false}) {
    platform.trayAvailable = tray;
    platform.notifications.clear();
    app::TfrmBackup form(QStringList{QStringLiteral("backup")}, programFolder);
    form.tmrConexao.stop();
    ASSERT_EQ(platform.notifications.size(), tray ? 0u : 1u) << tray;
    if (tray) {
      EXPECT_FALSE(ShowFromAnotherStart(menu, programFolder)) << "the icon is the way to the window";
      continue;
    }
    EXPECT_EQ(
        platform.notifications[0].text,
        QStringLiteral("Kelmora Backup|Esta área de trabalho não mostra ícones na área de notificação: o "
                       "backup automático continua em execução sem ícone. Para ver a janela, abra "
                       "\"Kelmora Backup\" no menu de aplicativos."));
    EXPECT_EQ(platform.urgencies[0], app::NotificationUrgency::Normal);
    ASSERT_FALSE(form.isVisible());
    EXPECT_TRUE(ShowFromAnotherStart(menu, programFolder));
    EXPECT_TRUE(form.isVisible());
    // What the tray menu would offer is in the window's own menu.
    EXPECT_EQ(form.Opes1->actions().first(), form.mnuIniciarWindows);
    EXPECT_EQ(form.Opes1->actions().last(), form.mnuSair);
    EXPECT_TRUE(form.mnuIniciarWindows->isEnabled() && form.mnuSair->isEnabled());
    // Minimised, it stays where the desktop keeps its windows: nothing else would bring it back.
    form.showMinimized();
    for (int i = 0; i < 20; ++i)
      QCoreApplication::processEvents();
    EXPECT_TRUE(form.isVisible());
  }
}

TEST(RequestOffTheLoop, TheWindowsLoopRunsWhileTheRequestWaits) {
  // The request finishes only once this thread's loop has run a timer: a request made on this thread
  // would wait for itself until its own deadline.
  std::promise<void> loopRan;
  QTimer::singleShot(0, [&] { loopRan.set_value(); });
  const std::thread::id windowThread = std::this_thread::get_id();
  std::atomic<bool> onAnotherThread = false;
  const platform::HttpReply reply = app::RequestOffTheLoop([&] {
    onAnotherThread = std::this_thread::get_id() != windowThread;
    if (loopRan.get_future().wait_for(60s) != std::future_status::ready)
      return platform::HttpReply{0, "blocked"};
    return platform::HttpReply{204, ""};
  });
  EXPECT_EQ(reply.status, 204) << reply.error;
  EXPECT_TRUE(onAnotherThread);
  EXPECT_THROW(app::RequestOffTheLoop([]() -> platform::HttpReply { throw std::runtime_error("curl"); }),
               std::runtime_error);
}

}  // namespace
}  // namespace testsupport
