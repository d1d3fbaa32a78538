#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <stdexcept>

#include "app/desktop/ProgramIcon.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

using app::TRxTrayIcon;
using Reason = QSystemTrayIcon::ActivationReason;

QIcon SquareIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::darkBlue);
  return QIcon(pixmap);
}

TEST(TrayIconHint, ShortPartBeforeTheFirstBarAtMostSixtyThreeCharacters) {
  EXPECT_EQ(TRxTrayIcon::ShortHint(QStringLiteral("Kelmora Backup")), QStringLiteral("Kelmora Backup"));
  EXPECT_EQ(TRxTrayIcon::ShortHint(QStringLiteral("Curto|Longo|mais")), QStringLiteral("Curto"));
  EXPECT_EQ(TRxTrayIcon::ShortHint(QStringLiteral("|só o resto")), QString());
  const QString exactly63(63, QLatin1Char('a'));
  EXPECT_EQ(TRxTrayIcon::ShortHint(exactly63), exactly63);
  EXPECT_EQ(TRxTrayIcon::ShortHint(exactly63 + QStringLiteral("bc")), exactly63);
  EXPECT_EQ(TRxTrayIcon::ShortHint(exactly63 + QStringLiteral("|x")), exactly63);
}

TEST(TrayIconActivation, TheIconIsThereOnlyWhileActiveAndHavingAPicture) {
  TRxTrayIcon tray;
  EXPECT_FALSE(tray.Active());
  EXPECT_FALSE(tray.Added());
  tray.SetActive(true);
  EXPECT_TRUE(tray.Active());
  EXPECT_FALSE(tray.Added()) << "no picture, nothing to show";

  tray.SetIcon(SquareIcon(64));
  tray.SetActive(false);
  tray.SetActive(true);
  EXPECT_TRUE(tray.Added());
  tray.SetActive(false);
  EXPECT_FALSE(tray.Added());
  tray.SetActive(true);
  EXPECT_TRUE(tray.Added()) << "it can come back";

  tray.SetIcon(QIcon());
  EXPECT_FALSE(tray.Added()) << "an icon without a picture leaves the tray";
}

TEST(TrayIconActivation, KeepsItsOwnThirtyTwoPixelPicture) {
  TRxTrayIcon tray;
  tray.SetIcon(SquareIcon(256));
  const QList<QSize> sizes = tray.Icon().availableSizes();
  ASSERT_EQ(sizes.size(), 1);
  EXPECT_EQ(sizes.front(), QSize(32, 32));

  // The program's picture, as the main window uses it.
  tray.SetIcon(app::ProgramIcon());
  const QImage tray32 = tray.Icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage program32 = app::ProgramIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(tray32, program32);
  EXPECT_NE(tray32.pixelColor(16, 16).alpha(), 0) << "the picture is not empty in the middle";
}

TEST(TrayIconPicture, DrumArrowAndTheMarkOfTheLastBackupAtTheirPlaces) {
  using app::BackupState;
  const QColor drum(60, 110, 200), lid(120, 170, 240), arrow(30, 170, 60), white(Qt::white);
  // Points wholly inside one shape, where antialiasing leaves the shape's own colour.
  const struct {
    BackupState state;
    QPoint at;
    QColor colour;
  } points[] = {
      {BackupState::Waiting, {0, 0}, QColor(0, 0, 0, 0)},  // a clear corner
      {BackupState::Waiting, {16, 6}, lid},
      {BackupState::Waiting, {18, 13}, arrow},  // the arrow's shaft, right half
      {BackupState::Waiting, {20, 16}, drum},   // beside the shaft, just above the head
      {BackupState::Succeeded, {24, 21}, QColor(30, 150, 60)},
      {BackupState::Succeeded, {20, 24}, white},  // where the tick starts
      {BackupState::Running, {21, 21}, QColor(230, 150, 20)},
      {BackupState::Running, {24, 22}, white},  // the clock's hand
      {BackupState::Failed, {21, 21}, QColor(200, 30, 30)},
      {BackupState::Failed, {24, 22}, white},  // the exclamation mark
  };
  for (const auto& point : points) {
    const QImage picture =
        app::ProgramIcon(point.state).pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(picture.pixelColor(point.at), point.colour)
        << static_cast<int>(point.state) << " at " << point.at.x() << "," << point.at.y();
  }
}

class TrayIconClicks : public ::testing::Test {
 protected:
  TrayIconClicks() {
    tray.SetIcon(SquareIcon(32));
    tray.SetActive(true);
    tray.OnClick = [this](TRxTrayIcon& sender, TRxTrayIcon::MouseButton button, QPoint) {
      EXPECT_EQ(&sender, &tray);
      clicks.push_back(button);
    };
    menu.addAction(QStringLiteral("Sair"));
  }
  ~TrayIconClicks() override { menu.hide(); }

  FakePlatform platform;
  TRxTrayIcon tray;
  QMenu menu;
  std::vector<TRxTrayIcon::MouseButton> clicks;
};

TEST_F(TrayIconClicks, LeftClickCallsOnClickAndRightClickOpensTheMenuInstead) {
  tray.SetPopupMenu(&menu);
  tray.Notify(Reason::Trigger);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], TRxTrayIcon::MouseButton::Left);
  EXPECT_FALSE(menu.isVisible());

  tray.Notify(Reason::Context);
  EXPECT_TRUE(menu.isVisible());
  EXPECT_EQ(clicks.size(), 1u) << "the menu replaces the click";
}

TEST_F(TrayIconClicks, RightClickWithoutAMenuToOpenIsAClick) {
  tray.Notify(Reason::Context);
  tray.SetPopupMenu(&menu);
  tray.SetAutoPopup(false);
  tray.Notify(Reason::Context);
  tray.SetAutoPopup(true);
  tray.SetActive(false);
  tray.Notify(Reason::Context);
  EXPECT_EQ(clicks, std::vector<TRxTrayIcon::MouseButton>(3, TRxTrayIcon::MouseButton::Right));
  EXPECT_FALSE(menu.isVisible());
}

TEST_F(TrayIconClicks, MiddleButtonAndTheSecondPressOfADoubleClickDoNothing) {
  tray.SetPopupMenu(&menu);
  tray.Notify(Reason::MiddleClick);
  tray.Notify(Reason::Unknown);
  EXPECT_TRUE(clicks.empty());
  // A double click arrives as a click and then the double click: one click in all.
  tray.Notify(Reason::Trigger);
  tray.Notify(Reason::DoubleClick);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_FALSE(menu.isVisible());
}

TEST_F(TrayIconClicks, DisabledIgnoresEveryClick) {
  tray.SetPopupMenu(&menu);
  tray.SetEnabled(false);
  tray.Notify(Reason::Trigger);
  tray.Notify(Reason::Context);
  EXPECT_TRUE(clicks.empty());
  EXPECT_FALSE(menu.isVisible());
}

TEST_F(TrayIconClicks, AnErrorInTheHandlerReachesTheStandardErrorBox) {
  tray.OnClick = [](TRxTrayIcon&, TRxTrayIcon::MouseButton, QPoint) { throw std::runtime_error("Falhou"); };
  tray.Notify(Reason::Trigger);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("Falhou."));
}

class TrayIconOfTheWindow : public ::testing::Test {
 protected:
  TrayIconOfTheWindow() {
    folder.Write("sistema.ini", "[Dados]\nDir=srv:/dados/app.fdb\n");
    form = std::make_unique<app::TfrmBackup>(QStringList{QStringLiteral("backup")},
                                             QString::fromStdString(folder.WithSeparator()));
  }
  ~TrayIconOfTheWindow() override { form->PopupMenu->hide(); }

  FakePlatform platform;
  TempFolder folder;
  std::unique_ptr<app::TfrmBackup> form;
};

TEST_F(TrayIconOfTheWindow, AutomaticModeIconShowsTheHiddenWindow) {
  EXPECT_TRUE(form->RxTrayIcon->Added());
  EXPECT_EQ(form->RxTrayIcon->Icon().availableSizes(), QList<QSize>{QSize(32, 32)});
  EXPECT_EQ(form->RxTrayIcon->PopupMenu(), form->PopupMenu);
  ASSERT_FALSE(form->isVisible());
  form->RxTrayIcon->Notify(Reason::Trigger);
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->isMinimized());
}

TEST_F(TrayIconOfTheWindow, MinimisingHidesAndTheIconRestores) {
  form->show();
  form->showMinimized();
  for (int i = 0; i < 20 && form->isVisible(); ++i)
    QApplication::processEvents();
  EXPECT_FALSE(form->isVisible()) << "automatic mode hides a minimised window";
  form->RxTrayIcon->Notify(Reason::Trigger);
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->isMinimized()) << "shown and restored";
}

TEST_F(TrayIconOfTheWindow, RightClickMenuSairEndsWithTheIconRemoved) {
  form->RxTrayIcon->Notify(Reason::Context);
  EXPECT_TRUE(form->PopupMenu->isVisible());
  EXPECT_FALSE(form->isVisible()) << "the menu does not show the window";
  form->popSair->trigger();
  EXPECT_FALSE(form->RxTrayIcon->Active());
  EXPECT_FALSE(form->RxTrayIcon->Added());
}

TEST(TrayIconManualMode, NoIconRemainsAfterStartUp) {
  FakePlatform platform;
  TempFolder folder;
  folder.Write("sistema.ini", "[Dados]\nDir=srv:/dados/app.fdb\n");
  app::TfrmBackup form(QStringList{QStringLiteral("backup"), QStringLiteral("MANUAL")},
                       QString::fromStdString(folder.WithSeparator()));
  EXPECT_FALSE(form.RxTrayIcon->Active());
  EXPECT_FALSE(form.RxTrayIcon->Added());
}

}  // namespace
}  // namespace testsupport
