#include "app/desktop/TfrmNotas.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>

namespace app {
namespace {

// 649 x 480 with the window frame.
constexpr int kClientWidth = 633;
constexpr int kClientHeight = 446;

}  // namespace

TfrmNotas::TfrmNotas(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmNotas"));
  setWindowTitle(QStringLiteral("Notas das Versões"));
  resize(kClientWidth, kClientHeight);

  memNotas = new QPlainTextEdit(this);
  memNotas->setObjectName(QStringLiteral("memNotas"));
  memNotas->setGeometry(7, 10, 625, 425);
  memNotas->setReadOnly(true);
  memNotas->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font(QStringLiteral("Fixedsys"));
  font.setStyleHint(QFont::TypeWriter);
  memNotas->setFont(font);
}

TfrmNotas::~TfrmNotas() = default;

void TfrmNotas::showEvent(QShowEvent* event) {
  if (QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - frameGeometry().center() + pos());
  }
  QDialog::showEvent(event);
}

}  // namespace app
