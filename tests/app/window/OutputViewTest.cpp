// The output area: long lines stay whole behind a horizontal scroll bar, and text is selected with the
// mouse and copied.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "app/widgets/OutputView.h"

namespace testsupport {
namespace {

// The text starts 3 pixels in from the viewport's left and top edges.
constexpr int kMargin = 3;

class OutputViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(585, 305);
    view.show();
  }
  QFontMetrics Metrics() const { return QFontMetrics(view.font()); }
  // The viewport point between the column-th and the next character of a visible line, half-way down it.
  QPoint At(int visibleLine, const QString& text, int column) const {
    return {kMargin + Metrics().horizontalAdvance(text.left(column)) - view.horizontalScrollBar()->value(),
            kMargin + visibleLine * Metrics().lineSpacing() + Metrics().lineSpacing() / 2};
  }
  void Mouse(QEvent::Type type, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(point), QPointF(view.viewport()->mapToGlobal(point)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, modifiers);
    QCoreApplication::sendEvent(view.viewport(), &event);
  }
  void Drag(QPoint from, QPoint to) {
    Mouse(QEvent::MouseButtonPress, from);
    Mouse(QEvent::MouseMove, to);
    Mouse(QEvent::MouseButtonRelease, to);
  }
  void Key(int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(&view, &event);
  }

  app::OutputView view;
};

TEST_F(OutputViewTest, ALongLineStaysOneLineAndTheHorizontalBarReachesItsEnd) {
  view.Add("Backup iniciado em 01/02/2026 03:04:05");
  view.Refresh();
  EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0) << "short lines need no horizontal bar";

  const std::string path = "Realizando o backup para /home/joao/" + std::string(300, 'p') + "/backup/APP.gbk";
  view.Add(path);
  EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0) << "the range follows at the refresh, not per line";
  view.Refresh();
  ASSERT_EQ(view.Lines().size(), 2u) << "not wrapped";
  EXPECT_EQ(view.Lines()[1], path);
  QScrollBar* across = view.horizontalScrollBar();
  const int width = Metrics().horizontalAdvance(QString::fromStdString(path));
  EXPECT_GE(across->maximum() + view.viewport()->width(), width + kMargin) << "the end can be scrolled to";
  EXPECT_LE(across->maximum() + view.viewport()->width(), width + 2 * kMargin + 1) << "and no further";

  const int longLineMaximum = across->maximum();
  // Scrolled to the end, the right edge of the view shows the last characters of the line.
  across->setValue(across->maximum());
  const QString text = QString::fromStdString(path);
  Mouse(QEvent::MouseButtonPress, At(1, text, text.size() - 4));
  Mouse(QEvent::MouseMove, At(1, text, text.size()));
  Mouse(QEvent::MouseButtonRelease, At(1, text, text.size()));
  EXPECT_EQ(view.SelectedText(), QStringLiteral(".gbk"));

  view.Clear();
  view.Add("curta");
  view.Refresh();
  EXPECT_EQ(across->maximum(), 0) << "a cleared view forgets the long line";
  view.Add(path);
  view.Refresh();
  EXPECT_EQ(across->maximum(), longLineMaximum) << "and measures the next long one afresh";
}

TEST_F(OutputViewTest, DraggingSelectsFromThePressToTheReleaseInEitherDirection) {
  const QString lines[] = {QStringLiteral("gbak: readied database"), QStringLiteral("gbak: writing domains"),
                           QStringLiteral("Backup conclu\u00EDdo.")};
  for (const QString& line : lines)
    view.Add(line.toLatin1().toStdString());
  view.Refresh();
  EXPECT_FALSE(view.HasSelection());

  Drag(At(0, lines[0], 6), At(1, lines[1], 13));
  EXPECT_EQ(view.SelectedText(), QStringLiteral("readied database\ngbak: writing"));
  Drag(At(2, lines[2], 14), At(1, lines[1], 14));
  EXPECT_EQ(view.SelectedText(), QStringLiteral("domains\nBackup conclu\u00ED")) << "upwards";
  Drag(At(1, lines[1], 5), At(1, lines[1], 5));
  EXPECT_FALSE(view.HasSelection()) << "a plain click clears it";

  // Shift extends from where the last press was.
  Mouse(QEvent::MouseButtonPress, At(0, lines[0], 0));
  Mouse(QEvent::MouseButtonRelease, At(0, lines[0], 0));
  Mouse(QEvent::MouseButtonPress, At(0, lines[0], 4), Qt::ShiftModifier);
  Mouse(QEvent::MouseButtonRelease, At(0, lines[0], 4), Qt::ShiftModifier);
  EXPECT_EQ(view.SelectedText(), QStringLiteral("gbak"));

  // Beyond the last line and past the end of a line count as the end.
  Drag(At(1, lines[1], 14), QPoint(580, 300));
  EXPECT_EQ(view.SelectedText(), QStringLiteral("domains\nBackup conclu\u00EDdo."));
  view.Clear();
  EXPECT_FALSE(view.HasSelection());
}

TEST_F(OutputViewTest, CtrlCCopiesTheSelectionOrEverythingWhenNothingIsSelected) {
  view.Add("primeira linha");
  view.Add("segunda linha");
  view.Refresh();
  QClipboard* clipboard = QApplication::clipboard();

  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("primeira linha\r\nsegunda linha\r\n"));

  const QString second = QStringLiteral("segunda linha");
  Drag(At(1, second, 0), At(1, second, 7));
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("segunda"));

  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(view.SelectedText(), QStringLiteral("primeira linha\nsegunda linha"));
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("primeira linha\nsegunda linha"));
}

TEST_F(OutputViewTest, DraggingPastTheBottomScrollsTowardsTheLaterLines) {
  for (int i = 0; i < 200; ++i)
    view.Add("linha " + std::to_string(i));
  view.Refresh();
  QScrollBar* bar = view.verticalScrollBar();
  bar->setValue(0);
  const QString first = QStringLiteral("linha 0");
  Mouse(QEvent::MouseButtonPress, At(0, first, 0));
  Mouse(QEvent::MouseMove, QPoint(20, view.viewport()->height() + 10));
  EXPECT_EQ(bar->value(), 1);
  Mouse(QEvent::MouseMove, QPoint(20, view.viewport()->height() + 10));
  EXPECT_EQ(bar->value(), 2);
  Mouse(QEvent::MouseButtonRelease, QPoint(20, view.viewport()->height() + 10));
  EXPECT_TRUE(view.SelectedText().startsWith(QStringLiteral("linha 0\nlinha 1\n")));
}

}  // namespace
}  // namespace testsupport
