#include "app/widgets/SteadyScrollBar.h"

#include <QStyleOptionSlider>
#include <utility>

namespace app {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

SteadyScrollBar::Look SteadyScrollBar::CurrentLook() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return {option.rect,
          option.state,
          option.activeSubControls,
          style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
          option.sliderPosition == option.minimum,
          option.sliderPosition == option.maximum};
}

void SteadyScrollBar::ChangeTogether(const std::function<void()>& changes) {
  struct Together {
    SteadyScrollBar& bar;
    explicit Together(SteadyScrollBar& b) : bar(b) { bar.changingTogether_ = true; }
    ~Together() {
      bar.changingTogether_ = false;
      if (const auto change = std::exchange(bar.changedTogether_, std::nullopt))
        bar.RepaintIfChanged(*change);
    }
  } together(*this);
  changes();
}

void SteadyScrollBar::sliderChange(SliderChange change) {
  if (changingTogether_) {
    changedTogether_ = change;
    return;
  }
  RepaintIfChanged(change);
}

void SteadyScrollBar::RepaintIfChanged(SliderChange change) {
  // A style that fades its scroll bars in on a move draws more than the look tells.
  const bool transient = style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this) != 0;
  if (!transient && painted_ && *painted_ == CurrentLook()) return;
  QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
  painted_ = CurrentLook();
  QScrollBar::paintEvent(event);
}

}  // namespace app
