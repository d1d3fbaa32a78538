#include "app/widgets/OutputView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "app/Text.h"
#include "app/widgets/SteadyScrollBar.h"

namespace app {
namespace {
// While a backup streams its lines the view refreshes 25 times a second: smooth enough to watch, and
// every refresh repaints the text and the scroll bar and sends the picture to the display on the same
// thread that fetches the lines, so a faster rate takes time from the backup.
constexpr int kRefreshMilliseconds = 40;
constexpr int kTextMargin = 3;

int Advance(const QFontMetrics& metrics, const QString& text, std::size_t columns) {
  return metrics.horizontalAdvance(text, static_cast<int>(columns));
}

}  // namespace

OutputView::OutputView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBar(down_ = new SteadyScrollBar(Qt::Vertical, this));
  setHorizontalScrollBar(across_ = new SteadyScrollBar(Qt::Horizontal, this));
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  viewport()->setCursor(Qt::IBeamCursor);
  refreshTimer_.setSingleShot(true);
  refreshTimer_.setInterval(kRefreshMilliseconds);
  connect(&refreshTimer_, &QTimer::timeout, this, &OutputView::Refresh);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

void OutputView::SetTranscript(core::Transcript& transcript) {
  transcript_ = &transcript;
  scannedLines_ = 0;
  scannedClearing_ = transcript.Clearings();
  ScheduleRefresh();
}

void OutputView::Clear() {
  transcript_->Clear();
  ScanNewLines();
  ScheduleRefresh();
}

void OutputView::Add(std::string_view text) {
  transcript_->Add(text);
  ScheduleRefresh();
}

void OutputView::ScanNewLines() {
  const auto& lines = Lines();
  if (scannedClearing_ != transcript_->Clearings() || scannedLines_ > lines.size()) {
    scannedClearing_ = transcript_->Clearings();
    scannedLines_ = 0;
    longestLine_ = 0;
    longestLength_ = 0;
    longestMeasured_ = true;
    widestPixels_ = 0;
    anchor_ = cursor_ = Position{};
    selecting_ = false;
  }
  // Only a comparison per line: the pixel width of the longest line is measured once per refresh.
  for (; scannedLines_ < lines.size(); ++scannedLines_) {
    if (lines[scannedLines_].size() > longestLength_) {
      longestLength_ = lines[scannedLines_].size();
      longestLine_ = scannedLines_;
      longestMeasured_ = false;
    }
  }
}

void OutputView::ScheduleRefresh() {
  if (!refreshTimer_.isActive()) refreshTimer_.start();
}

int OutputView::LineHeight() const {
  return std::max(1, fontMetrics().lineSpacing());
}

int OutputView::VisibleLineCount() const {
  return std::max(1, (viewport()->height() - 2 * kTextMargin) / LineHeight());
}

int OutputView::TextLeft() const {
  return kTextMargin - horizontalScrollBar()->value();
}

void OutputView::Refresh() {
  refreshTimer_.stop();
  ScanNewLines();
  if (!longestMeasured_) {
    // In a fixed-pitch font, as the view's is meant to be, the line with the most characters is the
    // widest; painting corrects the width for any other font as wider lines come into view.
    widestPixels_ =
        std::max(widestPixels_, fontMetrics().horizontalAdvance(FromCp1252(Lines()[longestLine_])));
    longestMeasured_ = true;
  }
  across_->ChangeTogether([&] {
    across_->setRange(0, std::max(0, widestPixels_ + 2 * kTextMargin - viewport()->width()));
    across_->setPageStep(viewport()->width());
    across_->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
  });

  // After the horizontal bar, which may have appeared and taken height from the viewport.
  down_->ChangeTogether([&] {
    const bool following = down_->value() >= down_->maximum();
    const int maximum = std::max(0, static_cast<int>(Lines().size()) - VisibleLineCount());
    {
      const QSignalBlocker quiet(down_);
      down_->setRange(0, maximum);
    }
    down_->setPageStep(VisibleLineCount());
    if (following) down_->setValue(maximum);
  });
  viewport()->update();
}

void OutputView::paintEvent(QPaintEvent*) {
  ScanNewLines();
  QPainter painter(viewport());
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::Text));
  const QFontMetrics metrics = fontMetrics();
  const int height = LineHeight();
  const int ascent = metrics.ascent();
  const int left = TextLeft();
  const size_t first = static_cast<size_t>(std::max(0, verticalScrollBar()->value()));
  const size_t count = static_cast<size_t>(VisibleLineCount()) + 1;
  int widest = widestPixels_;
  int y = kTextMargin;
  for (size_t i = first; i < Lines().size() && i < first + count; ++i, y += height) {
    const QString text = FromCp1252(Lines()[i]);
    painter.drawText(left, y + ascent, text);
    if (HasSelection()) PaintSelection(painter, i, text, y);
    widest = std::max(widest, metrics.horizontalAdvance(text));
  }
  if (widest > widestPixels_) {
    // A proportional font drew a line wider than the longest one measured: widen the scroll range at
    // the next refresh, not from inside painting.
    widestPixels_ = widest;
    ScheduleRefresh();
  }
}

void OutputView::PaintSelection(QPainter& painter, size_t line, const QString& text, int y) const {
  const auto [start, end] = std::minmax(anchor_, cursor_);
  if (line < start.line || line > end.line) return;
  const QFontMetrics metrics = fontMetrics();
  const size_t from = line == start.line ? start.column : 0;
  const size_t to = line == end.line ? std::min(end.column, static_cast<size_t>(text.size()))
                                     : static_cast<size_t>(text.size());
  const int left = TextLeft();
  const int x = left + Advance(metrics, text, from);
  // A selection that goes on to the next line takes this line's break with it, shown as one space.
  const int right =
      left + Advance(metrics, text, to) + (line < end.line ? metrics.horizontalAdvance(QLatin1Char(' ')) : 0);
  if (right <= x) return;
  const QRect area(x, y, right - x, LineHeight());
  painter.save();
  painter.fillRect(area, palette().color(QPalette::Highlight));
  painter.setClipRect(area);
  painter.setPen(palette().color(QPalette::HighlightedText));
  painter.drawText(left, y + metrics.ascent(), text);
  painter.restore();
}

void OutputView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Refresh();
}

OutputView::Position OutputView::PositionAt(QPoint point) const {
  if (Lines().empty()) return {};
  const int height = LineHeight();
  const int offset = point.y() - kTextMargin;
  const int row = offset >= 0 ? offset / height : -((-offset + height - 1) / height);
  const long long line = static_cast<long long>(verticalScrollBar()->value()) + row;
  if (line < 0) return {};
  if (line >= static_cast<long long>(Lines().size())) return {Lines().size() - 1, Lines().back().size()};

  const QString text = FromCp1252(Lines()[static_cast<size_t>(line)]);
  const QFontMetrics metrics = fontMetrics();
  const int x = point.x() - TextLeft();
  // The last column whose left edge is at or before x, then whichever of it and the next is nearer.
  size_t low = 0;
  size_t high = static_cast<size_t>(text.size());
  while (low < high) {
    const size_t middle = (low + high + 1) / 2;
    if (Advance(metrics, text, middle) <= x) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  if (low < static_cast<size_t>(text.size()) &&
      x - Advance(metrics, text, low) > Advance(metrics, text, low + 1) - x) {
    ++low;
  }
  return {static_cast<size_t>(line), low};
}

void OutputView::ScrollTowards(QPoint point) {
  const QRect inside = viewport()->rect();
  QScrollBar* bar = verticalScrollBar();
  if (point.y() < inside.top()) bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  if (point.y() > inside.bottom()) bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  QScrollBar* across = horizontalScrollBar();
  if (point.x() < inside.left()) across->triggerAction(QAbstractSlider::SliderSingleStepSub);
  if (point.x() > inside.right()) across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void OutputView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  cursor_ = PositionAt(event->position().toPoint());
  // Shift extends the selection from where it started, as in any text view.
  if (!event->modifiers().testFlag(Qt::ShiftModifier)) anchor_ = cursor_;
  selecting_ = true;
  viewport()->update();
}

void OutputView::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_ || !event->buttons().testFlag(Qt::LeftButton)) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  const QPoint point = event->position().toPoint();
  ScrollTowards(point);
  cursor_ = PositionAt(point);
  viewport()->update();
}

void OutputView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !selecting_) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  selecting_ = false;
  // Where the desktop has a primary selection, a middle click elsewhere pastes what was just selected.
  QClipboard* clipboard = QApplication::clipboard();
  if (HasSelection() && clipboard->supportsSelection())
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

QString OutputView::SelectedText() const {
  if (!HasSelection()) return {};
  const auto [start, end] = std::minmax(anchor_, cursor_);
  QString text;
  for (size_t line = start.line; line <= end.line && line < Lines().size(); ++line) {
    const std::string_view whole = Lines()[line];
    const size_t from = std::min(line == start.line ? start.column : 0, whole.size());
    const size_t to = std::min(line == end.line ? end.column : whole.size(), whole.size());
    if (line != start.line) text += QLatin1Char('\n');
    text += FromCp1252(whole.substr(from, to - from));
  }
  return text;
}

void OutputView::SelectAll() {
  anchor_ = Position{};
  cursor_ = Lines().empty() ? Position{} : Position{Lines().size() - 1, Lines().back().size()};
  viewport()->update();
}

void OutputView::Copy() const {
  QApplication::clipboard()->setText(HasSelection() ? SelectedText() : FromCp1252(Text()));
}

void OutputView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    Copy();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

}  // namespace app
