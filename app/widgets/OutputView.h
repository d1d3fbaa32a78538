#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <QTimer>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/Transcript.h"

namespace app {

class SteadyScrollBar;

// The read-only, multi-line output area of a backup job. It shows a transcript, the lines as the job wrote
// them (code page 1252), and paints only the visible ones, so adding a line costs the same however long the
// text has grown. Adding never repaints at once: the view refreshes 25 times a second while lines keep
// arriving, which keeps the job's per-line message pump cheap.
//
// Long lines are not wrapped (a server's line or a long path must stay one line, as the log has it): a
// horizontal scroll bar appears when a line is wider than the view. The user can select text with the
// mouse and copy it.
class OutputView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // A place between two characters of a line: column 0 is before its first character.
  struct Position {
    std::size_t line = 0;
    std::size_t column = 0;
    friend auto operator<=>(const Position&, const Position&) = default;
  };

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
  // Applies pending additions to the scroll ranges and repaints now.
  void Refresh();

  // A selection made before the transcript was last cleared names lines that are gone.
  bool HasSelection() const { return anchor_ != cursor_ && scannedClearing_ == transcript_->Clearings(); }
  // The selected text, its lines separated by LF as text pasted on this platform is.
  QString SelectedText() const;
  void SelectAll();
  // Copies the selection to the clipboard, or the whole text (CR LF after every line) when nothing is
  // selected.
  void Copy() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ScheduleRefresh();
  // Finds the longest of the lines added since the last look, starting afresh after a clearing.
  void ScanNewLines();
  int LineHeight() const;
  int VisibleLineCount() const;
  // Left edge of the text in viewport coordinates, after horizontal scrolling.
  int TextLeft() const;
  // The place nearest to a point of the viewport; points beyond the text give its nearest end.
  Position PositionAt(QPoint point) const;
  // Scrolls one step towards a point that a drag has taken outside the viewport.
  void ScrollTowards(QPoint point);
  void PaintSelection(QPainter& painter, std::size_t line, const QString& text, int y) const;

  core::Transcript ownTranscript_;
  core::Transcript* transcript_ = &ownTranscript_;
  // The longest line in characters (code page 1252 has one byte per character) and the width in pixels
  // of the widest line measured; the scroll range is computed from them at each refresh rather than by
  // measuring every line as it is added. Lines from `scannedLines_` on, of the transcript's clearing
  // `scannedClearing_`, have not been looked at yet.
  std::size_t longestLine_ = 0;
  std::size_t longestLength_ = 0;
  bool longestMeasured_ = true;
  std::size_t scannedLines_ = 0;
  std::uint64_t scannedClearing_ = 0;
  int widestPixels_ = 0;
  // The selection runs from the anchor (where the mouse was pressed) to the cursor; equal means none.
  Position anchor_;
  Position cursor_;
  bool selecting_ = false;
  QTimer refreshTimer_;
  SteadyScrollBar* down_ = nullptr;
  SteadyScrollBar* across_ = nullptr;
};

}  // namespace app
