#pragma once

#include <QWidget>

namespace app {

// A horizontal progress bar that writes its percentage inside the bar. Changing the position only
// schedules a repaint, and only when what the bar shows changes.
class TGauge : public QWidget {
  Q_OBJECT

 public:
  explicit TGauge(QWidget* parent = nullptr);

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

  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
};

}  // namespace app
