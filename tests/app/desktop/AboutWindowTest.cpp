#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <utility>

#include "app/desktop/SystemLanguage.h"
#include "app/desktop/TAppVerInfo.h"
#include "app/desktop/TfrmSplash.h"
#include "app/desktop/VersionTable.h"
#include "app/window/TfrmBackup.h"
#include "platform/Cp1252.h"
#include "tests/app/desktop/DesktopEnvironment.h"
#include "tests/app/desktop/ManualWindowFixture.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

const QString kDescription = QStringLiteral("Cópia de Segurança do Sistema");

TEST(SystemLanguage, LocaleNamesBecomeLanguageIdentifiers) {
  const std::pair<const char*, int> cases[] = {
      {"pt_BR.UTF-8", 0x0416}, {"pt_BR", 0x0416}, {"pt_PT.ISO-8859-15@euro", 0x0816},
      {"pt", 0x0416},  // Portuguese alone is its default, Brazil
      {"en_US.UTF-8", 0x0409}, {"en_GB", 0x0809}, {"de_AT.UTF-8", 0x0C07},
      {"es_ES", 0x0C0A},       {"es_MX", 0x080A}, {"fr_XX", 0x040C},  // unknown country, default sublanguage
      {"es_AR", 0x2C0A},       {"hr_HR", 0x041A}, {"vi_VN.UTF-8", 0x042A},
      {"C", 0x0409},           {"POSIX", 0x0409}, {"C.UTF-8", 0x0409},
      {"xx_YY", 0x0000},
  };
  for (const auto& [locale, langId] : cases)
    EXPECT_EQ(app::LangIdFromLocaleName(locale), langId) << locale;
}

TEST(SystemLanguage, TakenFromTheLocaleVariablesInTheirOrder) {
  ScopedEnvironment all("LC_ALL", std::nullopt);
  ScopedEnvironment messages("LC_MESSAGES", std::nullopt);
  ScopedEnvironment lang("LANG", "pt_BR.UTF-8");
  EXPECT_EQ(app::SystemDefaultLangId(), 0x0416);
  {
    ScopedEnvironment german("LC_MESSAGES", "de_DE.UTF-8");
    EXPECT_EQ(app::SystemDefaultLangId(), 0x0407);
    ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(app::SystemDefaultLangId(), 0x0409);
  }
  ScopedEnvironment none("LANG", std::nullopt);
  EXPECT_EQ(app::SystemDefaultLangId(), 0x0409) << "no locale is the C locale";
}

TEST(ProgramVersionTable, HoldsThePortugueseBlockWithItsTranslationAndVersions) {
  const app::VersionTable& table = app::ProgramVersionTable();
  ASSERT_EQ(table.translations.size(), 1u);
  EXPECT_EQ(table.translations[0].language, 0x0416);
  EXPECT_EQ(table.translations[0].codePage, 0x04E4);
  const auto value = [&](const char* key) {
    return app::QueryVersionString(table, std::string("\\StringFileInfo\\041604E4\\") + key);
  };
  EXPECT_EQ(value("CompanyName"), "Kelmora");
  EXPECT_EQ(value("FileDescription"),
            "C\xF3pia de Seguran\xE7"
            "a do Sistema");
  EXPECT_EQ(value("InternalName"), "Backup");
  EXPECT_EQ(value("OriginalFilename"), "Backup");
  EXPECT_EQ(value("ProductVersion"), "1.0.0.0");
  EXPECT_EQ(value("LegalCopyright"), "") << "present, but empty";
  EXPECT_EQ(value("LegalTrademarks"), "");
  EXPECT_EQ(value("ProductName"), "");
  EXPECT_FALSE(value("Comments").has_value());
  // The text and the numeric file version tell the same version.
  EXPECT_EQ(value("FileVersion"), "2.80.9.0");
  EXPECT_EQ(table.fileVersion[0], 2);
  EXPECT_EQ(table.fileVersion[1], 80);
  EXPECT_EQ(table.fileVersion[2], 9);
  EXPECT_EQ(table.fileVersion[3], 0);
}

TEST(VersionQuery, PathsMatchWithoutRegardToCaseAndNothingElseMatches) {
  const app::VersionTable& table = app::ProgramVersionTable();
  EXPECT_EQ(app::QueryVersionString(table, "\\stringfileinfo\\041604e4\\companyname"), "Kelmora");
  EXPECT_EQ(app::QueryVersionString(table, "\\StringFileInfo\\\\041604E4\\CompanyName"), "Kelmora");
  EXPECT_FALSE(app::QueryVersionString(table, "\\StringFileInfo\\040904E4\\CompanyName").has_value());
  EXPECT_FALSE(app::QueryVersionString(table, "\\StringFileInfo\\041604B0\\CompanyName").has_value());
  EXPECT_FALSE(app::QueryVersionString(table, "\\VarFileInfo\\041604E4\\CompanyName").has_value());
  EXPECT_FALSE(app::QueryVersionString(table, "\\StringFileInfo\\041604E4").has_value());
  EXPECT_FALSE(app::QueryVersionString(table, "").has_value());
}

TEST(AppVerInfo, ReadsTheProgramsTableInBrazilianPortuguese) {
  const app::TAppVerInfo info(app::ProgramVersionTable(), 0x0416);
  EXPECT_EQ(info.CompanyName(), QStringLiteral("Kelmora"));
  EXPECT_EQ(info.FileDescription(), kDescription);
  EXPECT_EQ(info.FileVersion(), QStringLiteral("2.80.9.0"));
  EXPECT_EQ(info.OriginalFilename(), QStringLiteral("Backup"));
  EXPECT_TRUE(info.LegalCopyright().isEmpty());
  EXPECT_TRUE(info.Comments().isEmpty());
  EXPECT_EQ(info.FileName(), QCoreApplication::applicationFilePath());
}

TEST(AppVerInfo, OtherSystemLanguagesFallBackToTheTablesOwnTranslation) {
  for (std::uint16_t language : {0x0409, 0x0407, 0x0816, 0x0C0A, 0x0000}) {
    const app::TAppVerInfo info(app::ProgramVersionTable(), language);
    EXPECT_EQ(info.FileDescription(), kDescription) << std::hex << language;
    EXPECT_EQ(info.FileVersion(), QStringLiteral("2.80.9.0")) << std::hex << language;
    EXPECT_EQ(info.CompanyName(), QStringLiteral("Kelmora"));
  }
}

TEST(AppVerInfo, TheSystemLanguagesOwnBlockComesFirstAlwaysInCodePage1252) {
  app::VersionTable table;
  table.translations = {{0x0416, 0x0000}};
  table.stringBlocks = {{"0C0A04E4", {{"FileDescription", "Copia de seguridad"}, {"FileVersion", ""}}},
                        {"041604E4", {{"FileDescription", "N\xE3o deve aparecer"}}},
                        {"04160000",
                         {{"FileDescription", "Bloco da tradu\xE7\xE3o"},
                          {"FileVersion", "9.9"},
                          {"LegalCopyright", "\xA9 Kelmora"}}}};
  // "%.4X" writes the language in upper case, as the block is named.
  const app::TAppVerInfo spanish(table, 0x0C0A);
  EXPECT_EQ(spanish.FileDescription(), QStringLiteral("Copia de seguridad"));
  EXPECT_EQ(spanish.FileVersion(), QStringLiteral("9.9")) << "an empty value is looked up again";
  // The system language is always asked for in code page 1252; the fallback uses the table's own pair.
  const app::TAppVerInfo portuguese(table, 0x0416);
  EXPECT_EQ(portuguese.FileDescription(), QStringLiteral("Não deve aparecer"));
  const app::TAppVerInfo german(table, 0x0407);
  EXPECT_EQ(german.FileDescription(), QStringLiteral("Bloco da tradução"));
  EXPECT_EQ(german.LegalCopyright(), QStringLiteral("© Kelmora"));

  app::VersionTable untranslated;
  untranslated.stringBlocks = {{"041604E4", {{"FileDescription", "x"}}}};
  EXPECT_TRUE(app::TAppVerInfo(untranslated, 0x0409).FileDescription().isEmpty())
      << "without a translation entry there is nothing to fall back to";
  EXPECT_TRUE(app::TAppVerInfo(app::VersionTable{}, 0x0416).FileVersion().isEmpty());
}

// Delivers a click where the window system would: to the widget under the point.
void ClickAt(QWidget& window, QPoint point, QPoint releaseAt) {
  QWidget* target = window.childAt(point);
  if (target == nullptr) target = &window;
  const QPoint local = target->mapFrom(&window, point);
  const QPoint localRelease = target->mapFrom(&window, releaseAt);
  QMouseEvent press(QEvent::MouseButtonPress, local, target->mapToGlobal(local), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, localRelease, target->mapToGlobal(localRelease),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

void ClickAt(QWidget& window, QPoint point) {
  ClickAt(window, point, point);
}

class AboutWindow : public ManualWindowTest {
 protected:
  // Runs "Sobre" and hands over the window it showed modally.
  app::TfrmSplash* OpenAbout() {
    const std::size_t before = platform.modalShown.size();
    form->Sore1Click();
    if (platform.modalShown.size() != before + 1) return nullptr;
    return dynamic_cast<app::TfrmSplash*>(platform.modalShown.back());
  }
};

TEST_F(AboutWindow, SobreShowsANewBorderlessWindowOwnedByTheMainWindowWithItsTimerRunning) {
  app::TfrmSplash* first = OpenAbout();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->parent(), form.get());
  EXPECT_TRUE(first->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(first->size(), QSize(500, 300));
  EXPECT_TRUE(first->tmrClose.isActive());
  EXPECT_EQ(first->tmrClose.interval(), 10000);
  EXPECT_EQ(first->lblDescricao->geometry(), QRect(2, 182, 496, 32));
  EXPECT_EQ(first->txtVersao->geometry(), QRect(1, 230, 498, 14));
  EXPECT_EQ(first->imgSplash->pixmap().size(), QSize(500, 300));

  app::TfrmSplash* second = OpenAbout();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second) << "each use makes a new window";
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(AboutWindow, ShowsThePictureDescriptionAndVersionWhateverTheSystemLanguage) {
  for (const char* locale : {"pt_BR.UTF-8", "en_US.UTF-8", "C"}) {
    ScopedEnvironment language("LC_ALL", locale);
    app::TfrmSplash* about = OpenAbout();
    ASSERT_NE(about, nullptr);
    about->show();
    EXPECT_EQ(about->lblDescricao->text(), kDescription) << locale;
    EXPECT_EQ(about->txtVersao->text(), QStringLiteral("Versão 2.80.9.0")) << locale;
    about->close();
  }
}

TEST_F(AboutWindow, TheScreenshotShowsThePictureWithBothTextsOverIt) {
  app::TfrmSplash* about = OpenAbout();
  ASSERT_NE(about, nullptr);
  about->show();
  const QImage shot = about->grab().toImage();
  const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/about-window.png");
  shot.save(file);
  RecordProperty("screenshot", file.toStdString());
  ASSERT_EQ(shot.size(), QSize(500, 300));
  // The picture, not the black window behind it.
  EXPECT_GT(shot.pixelColor(5, 295).lightness(), 10);
  EXPECT_GT(shot.pixelColor(20, 160).lightness(), 150);
  // Dark text drawn over the pale part of the picture, in both label areas and nowhere else there.
  const auto darkPixels = [&](QRect area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        dark += shot.pixelColor(x, y).lightness() < 60 ? 1 : 0;
    return dark;
  };
  EXPECT_GT(darkPixels(about->lblDescricao->geometry()), 500);
  EXPECT_GT(darkPixels(about->txtVersao->geometry()), 50);
  EXPECT_EQ(darkPixels(QRect(0, 250, 500, 38)), 0);
}

TEST_F(AboutWindow, ClosesAfterItsTimerRunsOut) {
  app::TfrmSplash* about = OpenAbout();
  ASSERT_NE(about, nullptr);
  about->show();
  // The same timer and connection, without the ten seconds.
  about->tmrClose.start(1);
  QElapsedTimer waited;
  waited.start();
  while (about->isVisible() && waited.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  EXPECT_FALSE(about->isVisible());
  EXPECT_EQ(about->parent(), form.get()) << "closed, not destroyed: the main window still owns it";
}

TEST_F(AboutWindow, AClickOnThePictureClosesItAClickOnATextDoesNot) {
  app::TfrmSplash* about = OpenAbout();
  ASSERT_NE(about, nullptr);
  about->show();
  ASSERT_EQ(about->childAt(250, 190), about->lblDescricao) << "the texts lie over the picture";
  ClickAt(*about, QPoint(250, 190));
  ClickAt(*about, QPoint(250, 236));
  EXPECT_TRUE(about->isVisible()) << "a click on a text";
  ClickAt(*about, QPoint(250, 60), QPoint(600, 60));
  EXPECT_TRUE(about->isVisible()) << "pressed on the picture, released outside it: no click";
  ClickAt(*about, QPoint(250, 60));
  EXPECT_FALSE(about->isVisible()) << "a click on the picture";
}

}  // namespace
}  // namespace testsupport
