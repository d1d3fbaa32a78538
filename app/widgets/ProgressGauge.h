#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace app {

// A horizontal progress bar that writes its percentage inside the bar. Changing the position only
// schedules a repaint, only when what the bar shows changes, and at most 25 times a second (the output
// area's rate): a backup moves the bar once per output line, and every repaint of a window costs a trip
// to the display.
class ProgressGauge : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressGauge(QWidget* parent = nullptr);

  int MinValue() const { return minValue_; }
  int MaxValue() const { return maxValue_; }
  int Progress() const { return progress_; }
  void SetMaxValue(int value);
  // The position is kept between the minimum and the maximum.
  void SetProgress(int value);
  void AddProgress(int value) { SetProgress(progress_ + value); }
  int PercentDone() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int FillWidth() const;
  void Changed(int oldPercent, int oldFill);
  void ScheduleRepaint();

  QTimer repaintTimer_;
  QElapsedTimer sinceLastPaint_;
  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
};

}  // namespace app
