#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/desktop/DesktopEntry.h"
#include "app/desktop/ProgramIcon.h"
#include "app/window/RunMode.h"
#include "core/Credentials.h"
#include "core/ProfileReader.h"
#include "core/SettingsFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FirebirdServer.h"

namespace {
namespace fs = std::filesystem;

const fs::path kSources = PACKAGING_SOURCE_DIR;
const fs::path kGenerated = PACKAGING_GENERATED_DIR;

using testsupport::ReadAll;

TEST(MenuEntry, PassesTheDesktopEntryValidator) {
  std::string output;
  EXPECT_EQ(testsupport::RunCommand({"desktop-file-validate", (kSources / "kelmora-backup.desktop").string()},
                                    &output),
            0)
      << output;
  EXPECT_EQ(output, "") << "hints and warnings count too";
}

TEST(MenuEntry, StartsTheInstalledLinkInManualModeWithTheThemeIcon) {
  const std::string entry = ReadAll(kSources / "kelmora-backup.desktop");
  const auto exec = app::ReadEntryKey(entry, "Exec");
  ASSERT_TRUE(exec.has_value());
  const auto arguments = app::SplitExecArguments(*exec);
  ASSERT_TRUE(arguments.has_value()) << *exec;
  ASSERT_EQ(arguments->size(), 2u) << *exec;
  EXPECT_EQ((*arguments)[0], "kelmora-backup") << "found through PATH: the link in /usr/bin";
  QStringList asStarted;
  for (const std::string& argument : *arguments)
    asStarted << QString::fromStdString(argument);
  EXPECT_TRUE(app::IsManualMode(asStarted)) << "the menu opens the window";

  struct Key {
    const char* name;
    const char* value;
  };
  for (const Key& key : {Key{"Icon", "kelmora-backup"}, Key{"Terminal", "false"}, Key{"Type", "Application"},
                         Key{"Categories", "Utility;Archiving;"}, Key{"Name[pt_BR]", "Kelmora Backup"}}) {
    EXPECT_EQ(app::ReadEntryKey(entry, key.name).value_or("<missing>"), key.value) << key.name;
  }
  for (const char* translated : {"Comment", "Comment[pt_BR]"})
    EXPECT_FALSE(app::ReadEntryKey(entry, translated).value_or("").empty()) << translated;
}

TEST(SettingsTemplate, ReadsAsAnEmptyLocationWithTheLinuxFormAndTheDebianServerAccount) {
  // The installed file is what a user edits first; a comment that leaked into a value would become part of
  // it.
  const auto ini = core::ProfileReader::FromText(ReadAll(kSources / "sistema.ini"));
  EXPECT_EQ(ini.ReadString("Dados", "Dir", "<missing>"), "")
      << "the program asks for its settings file until set";
  EXPECT_EQ(ini.ReadString("Backup", "Sistema", "<missing>"), "Linux");
  EXPECT_EQ(ini.ReadString("Backup", "ContaServidor", "<missing>"), "firebird");
  // The package turns on what a bare sistema.ini leaves off.
  for (const char* key :
       {"RecuperarHorarios", "MostrarEstado", "ExplicarAcesso", "MonitorDetalhado", "OmitirDetalhes"})
    EXPECT_TRUE(core::SwitchIsOn(ini.ReadString("Backup", key, ""))) << key;
  // Until the administrator sets them, the program attaches with the password it was built with.
  const core::Credentials credentials = core::ParseCredentials(ReadAll(kSources / "credenciais"));
  EXPECT_FALSE(credentials.service.has_value());
  EXPECT_FALSE(credentials.database.has_value());
}

TEST(ManualPage, FormatsWithoutAWarning) {
  // What lintian runs on a manual page, with the page's own UTF-8: the program's and the runner's.
  for (const char* page : {"kelmora-backup.1", "kelmora-backup-run.1"}) {
    std::string output;
    const int code = testsupport::RunCommand(
        {"sh", "-c", "man --warnings -E UTF-8 -l -Tutf8 -Z \"$0\" >/dev/null", (kGenerated / page).string()},
        &output, {"MANROFFSEQ=", "MANWIDTH=80"});
    EXPECT_EQ(code, 0) << page << "\n" << output;
    EXPECT_EQ(output, "") << page << ": what man says about the page";
    EXPECT_EQ(ReadAll(kGenerated / page).find('@'), std::string::npos)
        << page << ": the version is filled in";
  }
}

// The packaged icon is the program's own tray drawing. Cairo and Qt smooth edges a little differently, so
// the pictures are compared by their mean difference, which a changed colour or shape moves far beyond.
double MeanDifference(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QColor p = a.pixelColor(x, y);
      const QColor q = b.pixelColor(x, y);
      sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) +
             std::abs(p.alpha() - q.alpha());
    }
  }
  return sum / (a.width() * a.height() * 4.0);
}

TEST(ThemeIcon, At32PixelsIsTheProgramsOwnDrawing) {
  QImage packaged(QString::fromStdString((kGenerated / "icons/32x32/kelmora-backup.png").string()));
  ASSERT_FALSE(packaged.isNull());
  packaged = packaged.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  // The menu shows the program itself, without the tray's mark for the last backup.
  const QImage program = app::ProgramIcon(app::BackupState::Waiting)
                             .pixmap(32, 32)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  ASSERT_EQ(program.size(), QSize(32, 32));
  EXPECT_LT(MeanDifference(packaged, program), 3.0);
  // The same comparison tells a picture with only the arrow's colour changed apart.
  QImage recoloured = program;
  for (int y = 0; y < recoloured.height(); ++y) {
    for (int x = 0; x < recoloured.width(); ++x) {
      if (recoloured.pixelColor(x, y) == QColor(30, 170, 60))
        recoloured.setPixelColor(x, y, QColor(200, 40, 40));
    }
  }
  EXPECT_GT(MeanDifference(recoloured, program), 3.0);
}

TEST(ThemeIcon, EveryUsualSizeIsRenderedAtItsSizeWithTransparentCorners) {
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    const QImage icon(QString::fromStdString((kGenerated / "icons" / name / "kelmora-backup.png").string()));
    ASSERT_FALSE(icon.isNull()) << name;
    EXPECT_EQ(icon.size(), QSize(size, size)) << name;
    EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << name;
    EXPECT_EQ(icon.pixelColor(size - 1, 0).alpha(), 0) << name;
    // The arrow's stem in the middle of the drum: green and opaque.
    const QColor middle = icon.pixelColor(size / 2, size * 15 / 32);
    EXPECT_EQ(middle.alpha(), 255) << name;
    EXPECT_GT(middle.green(), 2 * middle.red()) << name;
    EXPECT_GT(middle.green(), 2 * middle.blue()) << name;
  }
}

}  // namespace
