// The tray icon of the real program in automatic mode as a user sees it in the notification area when the
// administrator asks for the state of the backups (MostrarEstado): the mark of each backup state drawn in
// the icon, a failure's notification from the session's notification server beside it. Each state is held
// still while it is looked at: the running job by stopping the server in the middle of the job's
// verification, the others because nothing happens until the next command.
#include <gtest/gtest.h>

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/Desktop.h"
#include "tests/e2e/support/JobSteps.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/LogBlock.h"
#include "tests/support/SessionBus.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

// What the lower right corner of the icon shows. The program's picture has the blue drum there; each
// backup state puts a round mark of its own colour on it (orange running, green succeeded, red failed).
enum class Mark { None, Running, Succeeded, Failed, Unknown };

// In the order of Mark.
const char* NameOf(Mark mark) {
  static constexpr const char* kNames[] = {"none (drum blue)", "running (orange)", "succeeded (green)",
                                           "failed (red)", "unknown"};
  return kNames[static_cast<int>(mark)];
}

Mark MarkOf(const QColor& c) {
  if (c.blue() > 150 && c.red() < 120 && c.green() < 160) return Mark::None;
  if (c.red() > 180 && c.green() > 100 && c.green() < 200 && c.blue() < 90) return Mark::Running;
  if (c.green() > 110 && c.red() < 90 && c.blue() < 110) return Mark::Succeeded;
  if (c.red() > 150 && c.green() < 90 && c.blue() < 90) return Mark::Failed;
  return Mark::Unknown;
}

class TrayStates : public ::testing::Test {
 protected:
  TrayStates() : display(/*withTray=*/true) { iconsBefore = display.Children(display.TrayWindow()); }

  // The notification area's slot that holds our icon, once it is there.
  std::string WaitForIcon() const {
    std::string icon;
    Eventually(
        [&] {
          for (const auto& child : display.Children(display.TrayWindow()))
            if (std::find(iconsBefore.begin(), iconsBefore.end(), child) == iconsBefore.end()) icon = child;
          return !icon.empty();
        },
        60s);
    return icon;
  }

  // The mark in the icon now. The tray host draws the 32 x 32 picture smaller than its slot, and a
  // notification may cover part of the slot, so the picture is found by its blue drum, which spans
  // (4.25, 3.25) to (27.75, 30.75) of the picture with its outline. The mark is a disc around
  // (24.25, 24.25); its part below and right of the line x + y = 44.5 lies on the drum, away from the
  // green arrow, so there the colour that most pixels have is the mark's, or the drum's blue without one.
  Mark MarkNow(const std::string& icon) const {
    const fs::path png =
        fs::temp_directory_path() / ("kelmora-tray-icon-" + std::to_string(getpid()) + ".png");
    display.Run({"import", "-window", icon, png.string()});
    const QImage slot(QString::fromStdString(png.string()));
    fs::remove(png);
    if (slot.isNull()) return Mark::Unknown;
    int left = slot.width(), top = slot.height(), right = -1, bottom = -1;
    for (int y = 0; y < slot.height(); ++y) {
      for (int x = 0; x < slot.width(); ++x) {
        const QColor c = slot.pixelColor(x, y);
        if (c.blue() <= c.red() + 40 || c.blue() <= c.green() + 20) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    if (right - left < 8 || bottom - top < 8) return Mark::Unknown;
    std::map<Mark, int> counts;
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) {
        const double px = 4.25 + (x - left) * 23.5 / (right - left);
        const double py = 3.25 + (y - top) * 27.5 / (bottom - top);
        if (std::hypot(px - 24.25, py - 24.25) > 5.5 || px + py < 44.5) continue;
        const Mark mark = MarkOf(slot.pixelColor(x, y));
        if (mark != Mark::Unknown) ++counts[mark];
      }
    }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts.end() || most->second < 3 ? Mark::Unknown : most->first;
  }

  bool WaitForMark(const std::string& icon, Mark expected, std::chrono::milliseconds timeout = 60s) const {
    return Eventually([&] { return MarkNow(icon) == expected; }, timeout);
  }

  // The notification area and what lies below it, enlarged, beside the whole screen.
  void Shoot(const std::string& name) const {
    const std::string whole = SCREENSHOT_DIR "/tray-state-" + name + ".png";
    display.Screenshot(whole);
    const XDisplay::Geometry tray = display.GeometryOf(display.TrayWindow());
    const int width = 420;
    display.Run({"convert", whole, "-crop",
                 std::to_string(width) + "x160+" + std::to_string(tray.x + tray.width - width) + "+" +
                     std::to_string(tray.y),
                 "+repage", "-scale", "300%", SCREENSHOT_DIR "/tray-state-" + name + "-zoom.png"});
  }

  XDisplay display;
  std::vector<std::string> iconsBefore;
};

std::size_t BlocksIn(const std::string& log) {
  std::size_t blocks = 0;
  for (std::size_t at = log.find(kLogBlockEnd); at != std::string::npos;
       at = log.find(kLogBlockEnd, at + kLogBlockEnd.size()))
    ++blocks;
  return blocks;
}

TEST_F(TrayStates, EachBackupStateMarksTheIconAndAFailureShowsANotification) {
  // A server of its own: the test stops it in the middle of a job and then for good.
  FirebirdServer server;
  // Automatic mode starts jobs only at the schedule times: the first at least 40 seconds after now, for a
  // look at the waiting icon, the second two minutes later, with the server gone by then.
  QDateTime now = QDateTime::currentDateTime();
  if (now.time().second() > 20) now = now.addSecs(60);
  const QDateTime first = now.addSecs(60);
  AppDatabaseOptions options;
  options.row->time1 = first.toString("hh:mm").toStdString();
  options.row->time2 = first.addSecs(120).toString("hh:mm").toStdString();
  options.recordDisconnects = true;
  const fs::path database = CreateAppDatabase(server, "TRAY_STATES", options);
  ProgramFolder folder;
  folder.WriteIni("[Dados]\r\nDir=" + server.Location(database) +
                  "\r\n[Backup]\r\nSistema=Linux\r\nVerificar=1\r\nMostrarEstado=1\r\n");
  SessionBus bus;
  NotificationServer notifications(bus, display.ClientEnvironment());
  RunningProgram program(display, folder, {}, {bus.ClientVariable()});

  const std::string icon = WaitForIcon();
  ASSERT_FALSE(icon.empty()) << program.Output();
  ASSERT_TRUE(WaitForDisconnect(server, database, program.Pid(), 90s)) << "the settings row was never read";
  EXPECT_TRUE(WaitForMark(icon, Mark::None, 30s)) << NameOf(MarkNow(icon));
  Shoot("waiting");

  // Once the scratch database of the verification exists, the backup's lines have all been read, each
  // with the message pump, so the icon has been drawn running; the stopped server keeps the job there.
  const fs::path backupFolder = folder.Path() / "backup";
  ASSERT_TRUE(Eventually(
      [&] {
        if (!fs::is_directory(backupFolder)) return false;
        for (const auto& entry : fs::directory_iterator(backupFolder))
          if (entry.path().string().ends_with("_verificacao.fdb")) return true;
        return false;
      },
      150s))
      << program.Output();
  server.Pause();
  EXPECT_TRUE(WaitForMark(icon, Mark::Running)) << NameOf(MarkNow(icon));
  Shoot("running");
  server.Resume();

  const fs::path log = backupFolder / "backup.txt";
  ASSERT_TRUE(Eventually([&] { return BlocksIn(ReadAll(log)) == 1; }, 60s)) << ReadAll(log);
  EXPECT_NE(ReadAll(log).find("Backup verificado.\r\n"), std::string::npos) << ReadAll(log);
  EXPECT_TRUE(WaitForMark(icon, Mark::Succeeded)) << NameOf(MarkNow(icon));
  Shoot("succeeded");

  // The server is gone at the second time: the job fails at once, and a notification says so.
  server.Stop();
  ASSERT_TRUE(Eventually([&] { return BlocksIn(ReadAll(log)) == 2; }, 180s)) << ReadAll(log);
  EXPECT_NE(ReadAll(log).find("Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
                              "do.\r\n"),
            std::string::npos)
      << ReadAll(log);
  EXPECT_TRUE(WaitForMark(icon, Mark::Failed)) << NameOf(MarkNow(icon));
  const auto received = notifications.WaitFor(1, 60s);
  ASSERT_EQ(received.size(), 1u) << "no notification came";
  EXPECT_TRUE(received[0].body.starts_with("O backup de ")) << received[0].body;
  EXPECT_EQ(received[0].urgency, 2);
  EXPECT_FALSE(display.WaitForWindow("^Notifica", 30s).empty()) << "the notification server shows it";
  Shoot("failed");
  EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
}  // namespace testsupport
