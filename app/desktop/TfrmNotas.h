#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace app {

// The release-notes window. No notes are stored with the program, so its text area stays empty.
class TfrmNotas : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmNotas(QWidget* owner);
  ~TfrmNotas() override;

  QPlainTextEdit* memNotas = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace app
