#include <gtest/gtest.h>

#include <QAction>

#include "app/desktop/DesktopEntry.h"
#include "app/window/RunValues.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/desktop/DesktopEnvironment.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

const QString kOnText = QStringLiteral("Backup do Kelmora configurado para INICIAR neste computador.");
const QString kOffText = QStringLiteral("Backup do Kelmora configurado para NÃO INICIAR neste computador.");

// The menu command as the user reaches it: through either item, which Qt flips by itself when clicked.
class StartWithSystemTest : public ::testing::Test {
 protected:
  StartWithSystemTest() : configDirs_("XDG_CONFIG_DIRS", config.Path().string()) {
    program.Write("sistema.ini", "[Dados]\r\nDir=srv:/dados/app.fdb\r\n");
  }

  std::unique_ptr<app::TfrmBackup> StartProgram() {
    return std::make_unique<app::TfrmBackup>(QStringList{QStringLiteral("backup"), QStringLiteral("MANUAL")},
                                             QString::fromStdString(program.WithSeparator()));
  }
  fs::path Folder() const { return config.Path() / "autostart"; }
  fs::path ToggleEntry() const { return Folder() / "Backup Kelmora.desktop"; }
  void Plant(const std::string& fileName, const std::string& contents) const {
    fs::create_directories(Folder());
    WriteFile(Folder() / fileName, contents);
  }
  static void ExpectMarks(const app::TfrmBackup& form, bool checked) {
    EXPECT_EQ(form.mnuIniciarWindows->isChecked(), checked);
    EXPECT_EQ(form.popIniciarWindows->isChecked(), checked);
  }
  std::vector<std::string> ExecArgumentsOf(const fs::path& entry) const {
    const auto exec = app::ReadEntryKey(ReadFile(entry), "Exec");
    return exec ? app::SplitExecArguments(*exec).value_or(std::vector<std::string>{})
                : std::vector<std::string>{};
  }

  FakePlatform platform;
  TempFolder config;
  TempFolder program;

 private:
  ScopedEnvironment configDirs_;
};

TEST_F(StartWithSystemTest, FirstUseRegistersTheProgramAndSecondUseRemovesIt) {
  auto form = StartProgram();
  ExpectMarks(*form, false);

  form->mnuIniciarWindows->trigger();
  ASSERT_TRUE(fs::exists(ToggleEntry()));
  EXPECT_EQ(ExecArgumentsOf(ToggleEntry()),
            std::vector<std::string>{program.WithSeparator() + BACKUP_EXECUTABLE_NAME})
      << "the fixed program name in the program's folder, without arguments";
  ExpectMarks(*form, true);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::Information);
  EXPECT_EQ(platform.boxes[0].text, kOnText);

  form->popIniciarWindows->trigger();
  EXPECT_FALSE(fs::exists(ToggleEntry()));
  ExpectMarks(*form, false);
  ASSERT_EQ(platform.boxes.size(), 2u);
  EXPECT_EQ(platform.boxes[1].kind, app::MessageBoxKind::Information);
  EXPECT_EQ(platform.boxes[1].text, kOffText);

  form->popIniciarWindowsClick();
  EXPECT_TRUE(fs::exists(ToggleEntry())) << "called directly, not through a clicked item";
  ExpectMarks(*form, true);
  EXPECT_EQ(platform.boxes.back().text, kOnText);
}

TEST_F(StartWithSystemTest, TheStartUpCheckLooksAtTheOtherName) {
  Plant("Kelmora Backup.desktop", "[Desktop Entry]\nType=Application\nExec=/opt/kelmora/backup\n");
  auto form = StartProgram();
  ExpectMarks(*form, true);
  EXPECT_TRUE(platform.boxes.empty());

  // The command tests "Backup Kelmora", finds nothing and writes it, yet the marks go off: they flip.
  form->mnuIniciarWindows->trigger();
  EXPECT_TRUE(fs::exists(ToggleEntry()));
  ExpectMarks(*form, false);
  EXPECT_EQ(platform.boxes.back().text, kOffText);
  EXPECT_TRUE(app::HasRunValue("Kelmora Backup")) << "the start-up name is never written or deleted";

  // An entry made by the command does not set the marks at the next start.
  fs::remove(Folder() / "Kelmora Backup.desktop");
  auto next = StartProgram();
  ExpectMarks(*next, false);
}

TEST_F(StartWithSystemTest, AnUnwritableFolderReportsTheFailureAndKeepsTheMarks) {
  WriteFile(config.Path() / "not-a-folder", "");
  ScopedEnvironment blocked("XDG_CONFIG_DIRS", (config.Path() / "not-a-folder").string());
  auto form = StartProgram();
  ExpectMarks(*form, false);

  for (QAction* item : {form->mnuIniciarWindows, form->popIniciarWindows}) {
    platform.boxes.clear();
    item->trigger();
    ASSERT_EQ(platform.boxes.size(), 1u) << "the error box only, no confirmation";
    EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
    EXPECT_EQ(platform.boxes[0].text, QStringLiteral("Failed to set data for 'Backup Kelmora'"));
    ExpectMarks(*form, false);
  }
}

TEST_F(StartWithSystemTest, AnEntryWithAnEmptyCommandIsWrittenAgain) {
  Plant("Backup Kelmora.desktop", "[Desktop Entry]\nType=Application\nName=Backup Kelmora\nExec=\n");
  auto form = StartProgram();
  form->popIniciarWindows->trigger();
  EXPECT_EQ(ExecArgumentsOf(ToggleEntry()),
            std::vector<std::string>{program.WithSeparator() + BACKUP_EXECUTABLE_NAME});
  ExpectMarks(*form, true);
  EXPECT_EQ(platform.boxes.back().text, kOnText);
}

TEST_F(StartWithSystemTest, AProgramFolderWithReservedCharactersIsQuotedInTheEntry) {
  TempFolder parent;
  const fs::path odd = parent.Path() / "Kelmora $Backup (2)";
  fs::create_directories(odd);
  WriteFile(odd / "sistema.ini", "[Dados]\nDir=srv:/db.fdb\n");
  app::TfrmBackup form(QStringList{QStringLiteral("backup"), QStringLiteral("MANUAL")},
                       QString::fromStdString(odd.string() + "/"));
  form.popIniciarWindowsClick();
  const std::string line = *app::ReadEntryKey(ReadFile(ToggleEntry()), "Exec");
  EXPECT_EQ(line.front(), '"');
  EXPECT_EQ(ExecArgumentsOf(ToggleEntry()),
            std::vector<std::string>{(odd / BACKUP_EXECUTABLE_NAME).string()});
}

}  // namespace
}  // namespace testsupport
