#include "app/desktop/TfrmSplash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include "app/ErrorRoute.h"
#include "app/desktop/JpegDecoder.h"
#include "app/desktop/SplashPicture.h"
#include "app/desktop/TAppVerInfo.h"

namespace app {
namespace {

QLabel* TextOverPicture(QWidget* parent, const char* name, QRect place, int pixelSize) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(place);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(true);
  label->setFont(font);
  // No background of its own: the picture shows through.
  label->setAutoFillBackground(false);
  label->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
  return label;
}

}  // namespace

TfrmSplash::TfrmSplash(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmSplash"));
  setFixedSize(kWidth, kHeight);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  imgSplash = new QLabel(this);
  imgSplash->setObjectName(QStringLiteral("imgSplash"));
  imgSplash->setGeometry(0, 0, kWidth, kHeight);
  imgSplash->setAlignment(Qt::AlignCenter);
  const auto picture = SplashPicture();
  imgSplash->setPixmap(QPixmap::fromImage(DecodeJpeg(picture.data(), picture.size())));
  imgSplash->installEventFilter(this);

  // Created after the picture, so that they lie over it and take the clicks that land on them.
  lblDescricao = TextOverPicture(this, "lblDescricao", QRect(2, 182, 496, 32), 27);
  txtVersao = TextOverPicture(this, "txtVersao", QRect(1, 230, 498, 14), 11);

  AppVerInfo = new TAppVerInfo(this);

  tmrClose.setInterval(10000);
  connect(&tmrClose, &QTimer::timeout, this, [this] { Guarded([this] { tmrCloseTimer(); }); });
}

TfrmSplash::~TfrmSplash() = default;

void TfrmSplash::FormShow() {
  lblDescricao->setText(AppVerInfo->FileDescription());
  txtVersao->setText(QStringLiteral("Versão %1").arg(AppVerInfo->FileVersion()));
}

void TfrmSplash::imgSplashClick() {
  close();
}

void TfrmSplash::tmrCloseTimer() {
  tmrClose.stop();
  close();
}

void TfrmSplash::showEvent(QShowEvent* event) {
  if (QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
  QDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

bool TfrmSplash::eventFilter(QObject* watched, QEvent* event) {
  // A click is a left press and release on the picture; releasing elsewhere cancels it.
  if (watched == imgSplash && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && imgSplash->rect().contains(mouse->position().toPoint())) {
      Guarded([this] { imgSplashClick(); });
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace app
