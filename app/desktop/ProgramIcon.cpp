#include "app/desktop/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {
namespace {

// A round mark in the lower right corner, on a white ring so that it stands out on any panel.
void DrawMark(QPainter& painter, const QColor& fill) {
  painter.setPen(QPen(Qt::white, 1.5));
  painter.setBrush(fill);
  painter.drawEllipse(QRectF(17.5, 17.5, 13.5, 13.5));
}

void DrawState(QPainter& painter, BackupState state) {
  switch (state) {
    case BackupState::Waiting:
      return;
    case BackupState::Running: {
      // A clock face: the backup is under way.
      DrawMark(painter, QColor(230, 150, 20));
      painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(24.25, 24.25), QPointF(24.25, 20.5));
      painter.drawLine(QPointF(24.25, 24.25), QPointF(27.0, 25.8));
      return;
    }
    case BackupState::Succeeded: {
      DrawMark(painter, QColor(30, 150, 60));
      painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      painter.setBrush(Qt::NoBrush);
      QPainterPath check;
      check.moveTo(20.8, 24.5);
      check.lineTo(23.3, 27.0);
      check.lineTo(27.8, 21.5);
      painter.drawPath(check);
      return;
    }
    case BackupState::Failed: {
      DrawMark(painter, QColor(200, 30, 30));
      painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(24.25, 20.6), QPointF(24.25, 25.0));
      painter.drawPoint(QPointF(24.25, 28.0));
      return;
    }
  }
}

}  // namespace

QIcon ProgramIcon(BackupState state) {
  // A database drum with a green arrow into it: backup at a glance, drawn at the tray's 32 x 32.
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(20, 40, 90), 1.5));
  painter.setBrush(QColor(60, 110, 200));
  painter.drawRect(QRectF(5, 8, 22, 18));
  painter.drawEllipse(QRectF(5, 22, 22, 8));
  painter.setBrush(QColor(120, 170, 240));
  painter.drawEllipse(QRectF(5, 4, 22, 8));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(30, 170, 60));
  const QPointF arrow[] = {{12, 10}, {20, 10}, {20, 17}, {25, 17}, {16, 26}, {7, 17}, {12, 17}};
  painter.drawPolygon(arrow, 7);
  DrawState(painter, state);
  return QIcon(pixmap);
}

}  // namespace app
