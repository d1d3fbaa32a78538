#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QThread>
#include <fstream>
#include <map>

#include "app/desktop/ShellOpen.h"
#include "app/desktop/TfrmNotas.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/desktop/DesktopEnvironment.h"
#include "tests/app/desktop/ManualWindowFixture.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

using MainWindowCommands = ManualWindowTest;

TEST_F(MainWindowCommands, NotasShowsAnEmptyReadOnlyNotesWindowModally) {
  form->NotasdaVerso1Click();
  ASSERT_EQ(platform.modalShown.size(), 1u);
  auto* notes = dynamic_cast<app::TfrmNotas*>(platform.modalShown[0]);
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(notes->parent(), form.get());
  EXPECT_EQ(notes->windowTitle(), QStringLiteral("Notas das Versões"));
  EXPECT_EQ(notes->size(), QSize(633, 446)) << "649 x 480 with its frame";
  EXPECT_EQ(notes->memNotas->geometry(), QRect(7, 10, 625, 425));
  EXPECT_TRUE(notes->memNotas->isReadOnly());
  EXPECT_TRUE(notes->memNotas->toPlainText().isEmpty());
  EXPECT_EQ(notes->memNotas->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(QRect(QPoint(0, 0), notes->size()).contains(notes->memNotas->geometry()));

  form->NotasdaVerso1->trigger();
  ASSERT_EQ(platform.modalShown.size(), 2u) << "the menu item runs the same command";
  EXPECT_NE(platform.modalShown[0], platform.modalShown[1]) << "each use makes a new window";
  EXPECT_TRUE(platform.boxes.empty());
}

// Remote support runs the program of the current folder or of the search path, never of the program folder.
class RemoteSupport : public MainWindowCommands {
 protected:
  RemoteSupport() : path_("PATH", searchPath.Path().string()) {}

  // A stand-in remote-support program that leaves a marker in the folder it was started in.
  static void PlaceRemote(const fs::path& folder, const std::string& marker) {
    const fs::path file = folder / "remoto.exe";
    WriteFile(file, "#!/bin/sh\necho started > \"$(pwd)/" + marker + "\"\n");
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  }
  static bool WaitForFile(const fs::path& file) {
    QElapsedTimer waited;
    waited.start();
    while (!fs::exists(file) && waited.elapsed() < 10000)
      QThread::msleep(20);
    return fs::exists(file);
  }

  TempFolder current;
  TempFolder searchPath;

 private:
  ScopedEnvironment path_;
};

TEST_F(RemoteSupport, NothingReachableMeansNothingHappens) {
  ScopedCurrentFolder here(current.Path());
  PlaceRemote(program.Path(), "wrong");
  EXPECT_TRUE(app::ResolveShellFile(QStringLiteral("remoto.exe")).isEmpty())
      << "the program folder is not searched";
  form->SuporteRemoto1Click();
  form->SuporteRemoto1->trigger();
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_TRUE(platform.modalShown.empty());
}

TEST_F(RemoteSupport, TheProgramInTheCurrentFolderStartsThere) {
  ScopedCurrentFolder here(current.Path());
  PlaceRemote(current.Path(), "started-here");
  PlaceRemote(searchPath.Path(), "started-from-path");
  EXPECT_EQ(app::ResolveShellFile(QStringLiteral("remoto.exe")),
            QString::fromStdString((current.Path() / "remoto.exe").string()))
      << "the current folder comes before the search path";
  form->SuporteRemoto1->trigger();  // the menu item, as the user chooses it
  EXPECT_TRUE(WaitForFile(current.Path() / "started-here"));
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(RemoteSupport, OtherwiseTheSearchPathIsUsed) {
  ScopedCurrentFolder here(current.Path());
  PlaceRemote(searchPath.Path(), "started-from-path");
  EXPECT_EQ(app::ResolveShellFile(QStringLiteral("remoto.exe")),
            QString::fromStdString((searchPath.Path() / "remoto.exe").string()));
  form->SuporteRemoto1Click();
  EXPECT_TRUE(WaitForFile(current.Path() / "started-from-path")) << "started in the current folder";
}

// The signal-state lines of /proc/PID/status ("SigBlk:", "SigIgn:", ...) as bit masks.
std::map<std::string, unsigned long long> SignalMasks(const fs::path& statusLines) {
  std::map<std::string, unsigned long long> masks;
  std::ifstream in(statusLines);
  for (std::string name, value; in >> name >> value;)
    masks[name] = std::stoull(value, nullptr, 16);
  return masks;
}

TEST_F(RemoteSupport, TheProgramStartsWithTheTerminationSignalsUnblockedAndAtTheirDefault) {
  ScopedCurrentFolder here(current.Path());
  const fs::path remote = current.Path() / "remoto.exe";
  // It reports its own signal state. Not a shell script: the shell clears its signal mask as it starts.
  WriteFile(remote,
            "#!/usr/bin/awk -f\nBEGIN { while ((getline line < \"/proc/self/status\") > 0) "
            "if (line ~ /^Sig(Blk|Ign):/) print line > \"signals\"; close(\"signals\") }\n");
  fs::permissions(remote, fs::perms::owner_all);

  // As the program has them: TERM, INT and HUP blocked from the start; HUP also ignored, as under nohup.
  sigset_t terminationSet;
  sigemptyset(&terminationSet);
  for (int number : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&terminationSet, number);
  sigset_t previousMask;
  pthread_sigmask(SIG_BLOCK, &terminationSet, &previousMask);
  struct sigaction ignore = {};
  struct sigaction previousHup = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGHUP, &ignore, &previousHup);
  form->SuporteRemoto1Click();
  sigaction(SIGHUP, &previousHup, nullptr);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

  ASSERT_TRUE(WaitForFile(current.Path() / "signals"));
  QElapsedTimer waited;
  waited.start();
  while (SignalMasks(current.Path() / "signals").size() < 2 && waited.elapsed() < 10000)
    QThread::msleep(20);
  const auto masks = SignalMasks(current.Path() / "signals");
  ASSERT_EQ(masks.size(), 2u);
  for (int number : {SIGTERM, SIGINT, SIGHUP}) {
    const unsigned long long bit = 1ULL << (number - 1);
    EXPECT_EQ(masks.at("SigBlk:") & bit, 0u) << "blocked: " << number;
    EXPECT_EQ(masks.at("SigIgn:") & bit, 0u) << "ignored: " << number;
  }
}

TEST_F(RemoteSupport, OnlyExecutableRegularFilesCount) {
  ScopedCurrentFolder here(current.Path());
  WriteFile(current.Path() / "remoto.exe", "not executable\n");
  fs::create_directory(searchPath.Path() / "remoto.exe");
  EXPECT_TRUE(app::ResolveShellFile(QStringLiteral("remoto.exe")).isEmpty());
  EXPECT_FALSE(app::ShellOpen(QStringLiteral("remoto.exe")));

  TempFolder relative;
  PlaceRemote(relative.Path(), "x");
  ScopedEnvironment relativePath("PATH", fs::relative(relative.Path(), current.Path()).string());
  EXPECT_TRUE(app::ResolveShellFile(QStringLiteral("remoto.exe")).isEmpty())
      << "relative search folders are skipped";
  EXPECT_TRUE(app::ResolveShellFile(QString()).isEmpty());
  EXPECT_EQ(app::ResolveShellFile(QString::fromStdString((relative.Path() / "remoto.exe").string())),
            QString::fromStdString((relative.Path() / "remoto.exe").string()))
      << "a name with a folder is taken as it stands";
}

}  // namespace
}  // namespace testsupport
