#include "app/OutputView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include "app/Text.h"

namespace app {
namespace {
// While a backup streams its lines the view refreshes 25 times a second: smooth enough to watch, and
// every refresh repaints the text and the scroll bar and sends the picture to the display on the same
// thread that fetches the lines, so a faster rate takes time from the backup.
constexpr int kRefreshMilliseconds = 40;
constexpr int kTextMargin = 3;
}  // namespace

OutputView::OutputView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  refreshTimer_.setSingleShot(true);
  refreshTimer_.setInterval(kRefreshMilliseconds);
  connect(&refreshTimer_, &QTimer::timeout, this, &OutputView::Refresh);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

void OutputView::SetTranscript(core::Transcript& transcript) {
  transcript_ = &transcript;
  ScheduleRefresh();
}

void OutputView::Clear() {
  transcript_->Clear();
  ScheduleRefresh();
}

void OutputView::Add(std::string_view text) {
  transcript_->Add(text);
  ScheduleRefresh();
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

void OutputView::Refresh() {
  refreshTimer_.stop();
  QScrollBar* bar = verticalScrollBar();
  const bool following = bar->value() >= bar->maximum();
  const int maximum = std::max(0, static_cast<int>(Lines().size()) - VisibleLineCount());
  bar->setRange(0, maximum);
  bar->setPageStep(VisibleLineCount());
  if (following) bar->setValue(maximum);
  viewport()->update();
}

void OutputView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::Text));
  const int height = LineHeight();
  const int ascent = fontMetrics().ascent();
  const size_t first = static_cast<size_t>(std::max(0, verticalScrollBar()->value()));
  const size_t count = static_cast<size_t>(VisibleLineCount()) + 1;
  int y = kTextMargin;
  for (size_t i = first; i < Lines().size() && i < first + count; ++i, y += height) {
    painter.drawText(kTextMargin, y + ascent, FromCp1252(Lines()[i]));
  }
}

void OutputView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Refresh();
}

void OutputView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
    QApplication::clipboard()->setText(FromCp1252(Text()));
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

}  // namespace app
