#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

namespace app {

QIcon ProgramIcon() {
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
  return QIcon(pixmap);
}

}  // namespace app
