#pragma once

#include <QRect>
#include <QScrollBar>
#include <QStyle>
#include <functional>
#include <optional>

namespace app {

// A scroll bar that repaints only when its picture changes. A plain scroll bar repaints at every change
// of its range or value; while a backup streams its lines the output area's range grows at every
// refresh, though after the first few hundred lines the handle stays at its smallest size at the bottom.
// Each of those repaints draws the style's gradients (spread over helper threads that the server's
// threads then wait for) and the scroll area's frame beneath, and sends the picture to the display.
class SteadyScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

  // Makes several changes (range, page step, position) as one: the bar repaints afterwards if its picture
  // changed, never for a state in between, such as a grown range before the position follows it to the end.
  void ChangeTogether(const std::function<void()>& changes);

 protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // What the style draws a scroll bar from: its rectangle and state, where the handle lies, and whether
  // the position stands at either end.
  struct Look {
    QRect rect;
    QStyle::State state;
    QStyle::SubControls activeSubControls;
    QRect handle;
    bool atMinimum = false;
    bool atMaximum = false;
    bool operator==(const Look&) const = default;
  };
  Look CurrentLook() const;

  void RepaintIfChanged(SliderChange change);

  // The look of the last paint; none before the first.
  std::optional<Look> painted_;
  bool changingTogether_ = false;
  std::optional<SliderChange> changedTogether_;
};

}  // namespace app
