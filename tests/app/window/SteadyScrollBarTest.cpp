// The output area's scroll bars repaint only when their picture changes, and a stream of lines repaints
// only the text: while a backup streams its lines the range grows at every refresh, but the handle soon
// stops moving. Whatever is skipped, the display must hold the same picture as a fresh painting.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <functional>
#include <ostream>
#include <string>

#include "app/widgets/OutputView.h"
#include "app/widgets/SteadyScrollBar.h"

namespace testsupport {
namespace {

class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
  int paints = 0;
};

// Delivers the pending repaints (posted, not timed).
void Settle() {
  for (int round = 0; round < 5; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// What the display holds for the widget now, read back from its window.
QImage Shown(const QWidget& widget) {
  const QPoint at = widget.mapTo(widget.window(), QPoint(0, 0));
  return widget.screen()
      ->grabWindow(widget.window()->winId(), at.x(), at.y(), widget.width(), widget.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

// The widget painted afresh.
QImage Painted(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct BarChange {
  const char* name;
  int maximum;  // the range before, from 0
  int value;    // the position before
  std::function<void(app::SteadyScrollBar&)> change;
  bool repaints;
  bool pictureChanges;
};

// The range grows to end and the position follows it to the end, as one change.
std::function<void(app::SteadyScrollBar&)> GrowAndFollowTogether(int end) {
  return [end](app::SteadyScrollBar& bar) {
    bar.ChangeTogether([&] {
      bar.setRange(0, end);
      bar.setValue(end);
    });
  };
}

void PrintTo(const BarChange& c, std::ostream* out) {
  *out << c.name;
}

class SteadyScrollBarTest : public ::testing::TestWithParam<BarChange> {};

TEST_P(SteadyScrollBarTest, RepaintsExactlyWhenThePictureChanges) {
  const BarChange& c = GetParam();
  app::SteadyScrollBar bar(Qt::Vertical);
  bar.resize(14, 289);
  bar.setPageStep(21);
  bar.setRange(0, c.maximum);
  bar.setValue(c.value);
  bar.show();
  Settle();
  const QImage before = Shown(bar);
  ASSERT_EQ(before, Painted(bar));

  PaintCounter counter(&bar);
  c.change(bar);
  Settle();
  EXPECT_EQ(counter.paints > 0, c.repaints) << c.name;
  EXPECT_EQ(Shown(bar) != before, c.pictureChanges) << c.name;
  EXPECT_EQ(Shown(bar), Painted(bar)) << c.name << ": the display shows the bar as it is";
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SteadyScrollBarTest,
    ::testing::Values(BarChange{"a long range grows, the position follows it together", 39000, 39000,
                                GrowAndFollowTogether(39500), false, false},
                      // The position stands short of the end for a moment: the handle moves up, then back.
                      BarChange{"a long range grows, the position follows it apart", 39000, 39000,
                                [](app::SteadyScrollBar& bar) {
                                  bar.setRange(0, 39500);
                                  bar.setValue(39500);
                                },
                                true, false},
                      BarChange{"a long range's page step changes", 39000, 39000,
                                [](app::SteadyScrollBar& bar) { bar.setPageStep(20); }, false, false},
                      BarChange{"the position moves by one in the middle of a very long range", 1000000,
                                500000, [](app::SteadyScrollBar& bar) { bar.setValue(500001); }, false,
                                false},
                      BarChange{"the position goes to the top of a long range", 39000, 39000,
                                [](app::SteadyScrollBar& bar) { bar.setValue(0); }, true, true},
                      BarChange{"a short range grows, the position follows it together", 10, 10,
                                GrowAndFollowTogether(20), true, true},
                      BarChange{"the range is emptied", 39000, 39000,
                                [](app::SteadyScrollBar& bar) { bar.setRange(0, 0); }, true, true},
                      BarChange{"the bar is disabled", 39000, 39000,
                                [](app::SteadyScrollBar& bar) { bar.setEnabled(false); }, true, true}),
    [](const ::testing::TestParamInfo<BarChange>& info) { return "Case" + std::to_string(info.index); });

class OutputStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(585, 305);
    view.show();
    // A line wider than the view: both bars are shown, as in every real job (the target path).
    view.Add("Realizando o backup para /home/usuario/Kelmora Backup/backup/APLICACAO_20260102_0304.gbk");
    Stream(1000);
  }
  void Stream(int lines) {
    for (int i = 0; i < lines; ++i)
      view.Add("gbak:    writing data for table CADASTRO_" + std::to_string(streamed++));
    view.Refresh();
    Settle();
  }
  app::OutputView view;
  int streamed = 0;
};

TEST_F(OutputStreamTest, RefreshesRepaintTheTextButNeitherTheBarsNorTheFrame) {
  PaintCounter area(&view);
  PaintCounter text(view.viewport());
  PaintCounter down(view.verticalScrollBar());
  PaintCounter across(view.horizontalScrollBar());
  for (int refresh = 0; refresh < 20; ++refresh)
    Stream(500);
  EXPECT_EQ(text.paints, 20);
  EXPECT_EQ(down.paints, 0);
  EXPECT_EQ(across.paints, 0);
  EXPECT_EQ(area.paints, 0) << "the frame and the corner between the bars";
  EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
  EXPECT_EQ(Shown(view), Painted(view)) << "the display shows the newest lines and the bars as they are";
}

TEST_F(OutputStreamTest, AClearedViewRepaintsItsBarsAndShowsThemAsTheyAre) {
  PaintCounter down(view.verticalScrollBar());
  view.Clear();
  view.Add("Backup iniciado em 01/02/2026 03:04:05");
  view.Refresh();
  Settle();
  EXPECT_GE(down.paints, 1) << "the handle fills the groove again";
  EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(Shown(view), Painted(view));
}

}  // namespace
}  // namespace testsupport
