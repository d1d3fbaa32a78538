#include "app/widgets/ProgressGauge.h"

#include <QPainter>
#include <algorithm>

namespace app {
namespace {
// The output area's refresh rate: a backup moves the bar by a pixel every few dozen lines, and a repaint
// for each would cost more than all the rest of the window's work per line.
constexpr int kFrameMilliseconds = 40;
}  // namespace

ProgressGauge::ProgressGauge(QWidget* parent) : QWidget(parent) {
  // Painting covers every pixel, so the window beneath need not be painted first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  repaintTimer_.setSingleShot(true);
  connect(&repaintTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void ProgressGauge::SetMaxValue(int value) {
  const int percent = PercentDone();
  const int fill = FillWidth();
  maxValue_ = std::max(value, minValue_);
  progress_ = std::clamp(progress_, minValue_, maxValue_);
  Changed(percent, fill);
}

void ProgressGauge::SetProgress(int value) {
  const int clamped = std::clamp(value, minValue_, maxValue_);
  if (clamped == progress_) return;
  const int percent = PercentDone();
  const int fill = FillWidth();
  progress_ = clamped;
  Changed(percent, fill);
}

int ProgressGauge::PercentDone() const {
  const long long range = static_cast<long long>(maxValue_) - minValue_;
  if (range <= 0) return 0;
  return static_cast<int>((static_cast<long long>(progress_) - minValue_) * 100 / range);
}

int ProgressGauge::FillWidth() const {
  const long long range = static_cast<long long>(maxValue_) - minValue_;
  if (range <= 0) return 0;
  return static_cast<int>((static_cast<long long>(progress_) - minValue_) * std::max(0, width() - 2) / range);
}

void ProgressGauge::Changed(int oldPercent, int oldFill) {
  if (oldPercent != PercentDone() || oldFill != FillWidth()) ScheduleRepaint();
}

void ProgressGauge::ScheduleRepaint() {
  if (repaintTimer_.isActive()) return;  // the coming repaint will show this change too
  const qint64 since = sinceLastPaint_.isValid() ? sinceLastPaint_.elapsed() : kFrameMilliseconds;
  if (since >= kFrameMilliseconds) {
    update();
  } else {
    repaintTimer_.start(static_cast<int>(kFrameMilliseconds - since));
  }
}

void ProgressGauge::paintEvent(QPaintEvent*) {
  sinceLastPaint_.restart();
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(Qt::gray);
  painter.drawRect(frame);
  const QRect filled(1, 1, FillWidth(), height() - 2);
  painter.fillRect(filled, QColor(0, 0, 128));
  const QString text = QString::number(PercentDone()) + QLatin1Char('%');
  // The text is black over the empty part and white over the fill, as in the classic gauge.
  painter.setPen(Qt::black);
  painter.drawText(rect(), Qt::AlignCenter, text);
  painter.setClipRect(filled);
  painter.setPen(Qt::white);
  painter.drawText(rect(), Qt::AlignCenter, text);
}

}  // namespace app
