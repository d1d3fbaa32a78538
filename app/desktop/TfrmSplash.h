#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

namespace app {

class TAppVerInfo;

// The About window: a borderless 500 x 300 picture with the program's description and version over it.
// A click on the picture (not on the texts) or ten seconds close it; whoever shows it starts tmrClose.
class TfrmSplash : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 500;
  static constexpr int kHeight = 300;

  explicit TfrmSplash(QWidget* owner);
  ~TfrmSplash() override;

  void FormShow();
  void imgSplashClick();
  void tmrCloseTimer();

  QLabel* imgSplash = nullptr;
  QLabel* lblDescricao = nullptr;
  QLabel* txtVersao = nullptr;
  TAppVerInfo* AppVerInfo = nullptr;
  QTimer tmrClose;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace app
