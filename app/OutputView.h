#pragma once

#include <QAbstractScrollArea>
#include <QTimer>
#include <string>
#include <string_view>
#include <vector>

#include "core/Transcript.h"

namespace app {

// The read-only, multi-line output area of a backup job. It shows a transcript, the lines as the job wrote
// them (code page 1252), and paints only the visible ones, so adding a line costs the same however long the
// text has grown. Adding never repaints at once: the view refreshes 25 times a second while lines keep
// arriving, which keeps the job's per-line message pump cheap.
class OutputView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit OutputView(QWidget* parent = nullptr);

  // Shows this transcript from now on (the view's own one until then); the caller keeps it alive.
  void SetTranscript(core::Transcript& transcript);
  // The transcript received lines or was cleared.
  void TranscriptChanged() { ScheduleRefresh(); }

  void Clear();
  // Adds text as new lines; line breaks inside it (CR LF, LF or CR) start further lines.
  void Add(std::string_view text);
  const std::vector<std::string>& Lines() const { return transcript_->Lines(); }
  // The whole text, every line followed by CR LF.
  std::string Text() const { return transcript_->Text(); }
  // Applies pending additions to the scroll range and repaints now.
  void Refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ScheduleRefresh();
  int LineHeight() const;
  int VisibleLineCount() const;

  core::Transcript ownTranscript_;
  core::Transcript* transcript_ = &ownTranscript_;
  QTimer refreshTimer_;
};

}  // namespace app
