#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <string>

#include "app/widgets/OutputView.h"
#include "app/widgets/ProgressGauge.h"

namespace testsupport {
namespace {

// The refresh rate both widgets keep to while a backup streams its lines: 25 a second.
constexpr int kFrameMilliseconds = 40;

// Counts the paint events a widget receives and remembers when the last one came.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) {
    widget->installEventFilter(this);
    clock.start();
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      lastPaint = clock.nsecsElapsed();
    }
    return false;
  }
  int paints = 0;
  qint64 lastPaint = -1;
  QElapsedTimer clock;
};

void PumpFor(int milliseconds) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < milliseconds)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Whether the widget's picture has caught up: no repaint left pending once the frame time has passed.
void Settle() {
  PumpFor(6 * kFrameMilliseconds);
}

// The most frames a stream of that length may cost: one per frame time, and the first one at once.
int MostFramesFor(qint64 nanoseconds) {
  return static_cast<int>(nanoseconds / (kFrameMilliseconds * 1000000LL)) + 2;
}

class GaugeRepaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gauge.resize(429, 25);
    gauge.show();
    Settle();
  }
  app::ProgressGauge gauge;
};

TEST_F(GaugeRepaintTest, AStreamOfMovesRepaintsAtMostOncePerFrameAndShowsTheLastPosition) {
  gauge.SetMaxValue(3000);
  PaintCounter counter(&gauge);
  QElapsedTimer stream;
  stream.start();
  // As the backup's output loop moves it: one step per line, the messages pumped after each.
  qint64 lastMove = 0;
  for (int line = 0; line < 3000; ++line) {
    gauge.AddProgress(1);
    lastMove = counter.clock.nsecsElapsed();
    QCoreApplication::processEvents();
  }
  const qint64 streamed = stream.nsecsElapsed();
  EXPECT_GE(counter.paints, 1);
  EXPECT_LE(counter.paints, MostFramesFor(streamed)) << "streamed for " << streamed / 1000000 << " ms";
  Settle();
  EXPECT_EQ(gauge.Progress(), 3000);
  EXPECT_GT(counter.lastPaint, lastMove) << "the full bar must be painted once the stream stops";
}

TEST_F(GaugeRepaintTest, AMoveAfterAQuietFrameIsPaintedAtOnce) {
  gauge.SetMaxValue(100);
  Settle();
  PaintCounter counter(&gauge);
  gauge.SetProgress(50);
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, 1);
}

TEST_F(GaugeRepaintTest, AMoveThatChangesNeitherFillNorPercentageIsNotPainted) {
  gauge.SetMaxValue(15000);
  gauge.SetProgress(0);
  Settle();
  PaintCounter counter(&gauge);
  // 15,000 steps over 427 pixels: the first pixel and the first percent come after more than 30 steps.
  for (int step = 0; step < 30; ++step)
    gauge.AddProgress(1);
  Settle();
  EXPECT_EQ(counter.paints, 0);
  gauge.SetProgress(150);
  Settle();
  EXPECT_EQ(counter.paints, 1);
}

TEST(GaugeOnAWindowTest, AMoveRepaintsTheGaugeAloneAndCoversEveryPixel) {
  // A window whose own background would show through any pixel the gauge leaves unpainted.
  QWidget window;
  window.setAutoFillBackground(true);
  QPalette red = window.palette();
  red.setColor(QPalette::Window, Qt::red);
  window.setPalette(red);
  window.resize(445, 41);
  app::ProgressGauge gauge(&window);
  gauge.setGeometry(8, 8, 429, 25);
  gauge.SetMaxValue(100);
  window.show();
  Settle();
  PaintCounter beneath(&window);
  PaintCounter painted(&gauge);
  gauge.SetProgress(37);
  Settle();
  EXPECT_EQ(painted.paints, 1);
  EXPECT_EQ(beneath.paints, 0) << "the window beneath the gauge is not painted first";
  const QImage shown = window.screen()->grabWindow(window.winId(), 8, 8, 429, 25).toImage();
  const QImage fresh = gauge.grab().toImage();
  EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), fresh.convertToFormat(QImage::Format_RGB32));
  EXPECT_FALSE(shown.pixelColor(0, 0) == QColor(Qt::red) || shown.pixelColor(428, 24) == QColor(Qt::red));
  for (const QPoint border : {QPoint(0, 12), QPoint(428, 12), QPoint(200, 0), QPoint(200, 24)})
    EXPECT_EQ(shown.pixelColor(border), QColor(Qt::gray)) << "a grey frame on all four sides";
}

TEST(OutputViewRepaintTest, AStreamOfLinesRefreshesAtMostOncePerFrameAndEndsOnTheLastLine) {
  app::OutputView view;
  view.resize(585, 305);
  view.show();
  Settle();
  PaintCounter counter(view.viewport());
  QElapsedTimer stream;
  stream.start();
  // Long enough for a faster refresh to show: ten frames and more.
  int lines = 0;
  qint64 lastLine = 0;
  while (stream.elapsed() < 12 * kFrameMilliseconds) {
    view.Add("gbak:    writing data for table DADOS_" + std::to_string(lines++));
    lastLine = counter.clock.nsecsElapsed();
    QCoreApplication::processEvents();
  }
  const qint64 streamed = stream.nsecsElapsed();
  EXPECT_LE(counter.paints, MostFramesFor(streamed)) << "streamed for " << streamed / 1000000 << " ms";
  Settle();
  EXPECT_GT(counter.lastPaint, lastLine) << "the last lines must be painted once the stream stops";
  const QScrollBar* bar = view.verticalScrollBar();
  EXPECT_EQ(bar->value(), bar->maximum()) << "the view follows the newest line";
  EXPECT_EQ(view.Lines().size(), static_cast<size_t>(lines));
  EXPECT_GT(bar->maximum(), lines - 30);
}

}  // namespace
}  // namespace testsupport
