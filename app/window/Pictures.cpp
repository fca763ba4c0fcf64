#include "app/window/Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace quillet {
namespace {

QPixmap Transparent(int width, int height) {
  QPixmap pixmap(width, height);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// An envelope filling the rectangle: body, flap and outline.
void DrawEnvelope(QPainter& painter, const QRectF& rect, const QColor& paper, const QColor& ink) {
  painter.setPen(QPen(ink, 1));
  painter.setBrush(paper);
  painter.drawRect(rect);
  QPolygonF flap;
  flap << rect.topLeft() << QPointF(rect.center().x(), rect.top() + rect.height() * 0.6)
       << rect.topRight();
  painter.setBrush(paper.darker(110));
  painter.drawPolygon(flap);
}

// A quill pen from the tip (bottom left) to the feather's end.
void DrawQuill(QPainter& painter, const QPointF& tip, const QPointF& end, const QColor& color) {
  QPainterPath feather;
  const QPointF along = end - tip;
  const QPointF across(-along.y() * 0.18, along.x() * 0.18);
  feather.moveTo(tip + along * 0.25);
  feather.quadTo(tip + along * 0.6 + across, end);
  feather.quadTo(tip + along * 0.6 - across, tip + along * 0.25);
  painter.setPen(QPen(color.darker(150), 1));
  painter.setBrush(color);
  painter.drawPath(feather);
  painter.setPen(QPen(Qt::black, 1.5));
  painter.drawLine(tip, tip + along * 0.9);
}

QPixmap SignGlyph(bool plus, const QColor& color) {
  QPixmap pixmap = Transparent(16, 16);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(color.darker(160), 1));
  painter.setBrush(color);
  painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(5, 8), QPointF(11, 8));
  if (plus) painter.drawLine(QPointF(8, 5), QPointF(8, 11));
  return pixmap;
}

QPixmap SendPicture(bool enabled) {
  QPixmap pixmap = Transparent(20, 16);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor paper = enabled ? QColor(255, 250, 225) : QColor(225, 225, 225);
  const QColor ink = enabled ? QColor(60, 60, 120) : QColor(150, 150, 150);
  DrawEnvelope(painter, QRectF(0.5, 3.5, 14, 10), paper, ink);
  painter.setPen(QPen(enabled ? QColor(200, 40, 40) : QColor(160, 160, 160), 2));
  painter.drawLine(QPointF(13, 8.5), QPointF(19, 8.5));
  painter.drawLine(QPointF(16.5, 6), QPointF(19, 8.5));
  painter.drawLine(QPointF(16.5, 11), QPointF(19, 8.5));
  return pixmap;
}

}  // namespace

QIcon WindowIcon() {
  QPixmap pixmap = Transparent(32, 32);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawEnvelope(painter, QRectF(1.5, 8.5, 26, 19), QColor(255, 250, 225), QColor(40, 40, 110));
  DrawQuill(painter, QPointF(14, 24), QPointF(30, 2), QColor(70, 130, 200));
  return QIcon(pixmap);
}

QIcon AddGlyph() { return QIcon(SignGlyph(true, QColor(40, 150, 60))); }

QIcon RemoveGlyph() { return QIcon(SignGlyph(false, QColor(200, 50, 40))); }

QIcon SendGlyph() {
  QIcon icon;
  icon.addPixmap(SendPicture(true), QIcon::Normal);
  icon.addPixmap(SendPicture(false), QIcon::Disabled);
  return icon;
}

QPixmap DecorativePicture() {
  QPixmap pixmap(kDecorativePictureWidth, kDecorativePictureHeight);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, kDecorativePictureHeight);
  sky.setColorAt(0, QColor(120, 170, 230));
  sky.setColorAt(1, QColor(235, 240, 250));
  painter.fillRect(pixmap.rect(), sky);
  painter.setPen(QPen(QColor(255, 255, 255, 160), 1, Qt::DashLine));
  painter.drawLine(QPointF(8, 60), QPointF(95, 14));
  DrawEnvelope(painter, QRectF(10.5, 26.5, 58, 38), QColor(255, 250, 225), QColor(40, 40, 110));
  DrawQuill(painter, QPointF(52, 58), QPointF(100, 6), QColor(230, 120, 40));
  return pixmap;
}

}  // namespace quillet
