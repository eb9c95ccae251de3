#include "app/Images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace norvalis {

namespace {

const QColor Outline(60, 60, 60);
const QColor Paper(255, 255, 255);

void PaintSheet(QPainter& p) {
  QPainterPath sheet;
  sheet.moveTo(3.5, 1.5);
  sheet.lineTo(9.5, 1.5);
  sheet.lineTo(12.5, 4.5);
  sheet.lineTo(12.5, 14.5);
  sheet.lineTo(3.5, 14.5);
  sheet.closeSubpath();
  p.setPen(QPen(Outline, 1));
  p.setBrush(Paper);
  p.drawPath(sheet);
  QPainterPath fold;
  fold.moveTo(9.5, 1.5);
  fold.lineTo(9.5, 4.5);
  fold.lineTo(12.5, 4.5);
  p.setBrush(QColor(220, 220, 220));
  p.drawPath(fold);
}

void PaintNew(QPainter& p) {
  PaintSheet(p);
  // A spark at the corner: something new.
  p.setPen(QPen(QColor(230, 160, 0), 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12.5, 9.5), QPointF(12.5, 15.0));
  p.drawLine(QPointF(9.75, 12.25), QPointF(15.25, 12.25));
}

void PaintOpen(QPainter& p) {
  p.setPen(QPen(QColor(150, 110, 20), 1));
  p.setBrush(QColor(235, 190, 70));
  p.drawRect(QRectF(1.5, 3.5, 5, 2));  // tab
  p.drawRect(QRectF(1.5, 4.5, 12, 9));
  QPainterPath flap;  // the front flap, tilted open
  flap.moveTo(3.5, 7.5);
  flap.lineTo(15.5, 7.5);
  flap.lineTo(13.5, 13.5);
  flap.lineTo(1.5, 13.5);
  flap.closeSubpath();
  p.setBrush(QColor(250, 215, 110));
  p.drawPath(flap);
}

void PaintSave(QPainter& p) {
  p.setPen(QPen(QColor(20, 50, 110), 1));
  p.setBrush(QColor(50, 100, 190));
  QPainterPath disk;
  disk.moveTo(1.5, 1.5);
  disk.lineTo(12.5, 1.5);
  disk.lineTo(14.5, 3.5);
  disk.lineTo(14.5, 14.5);
  disk.lineTo(1.5, 14.5);
  disk.closeSubpath();
  p.drawPath(disk);
  p.setBrush(Paper);
  p.drawRect(QRectF(4.5, 1.5, 7, 5));  // label
  p.setBrush(QColor(200, 200, 210));
  p.drawRect(QRectF(3.5, 9.5, 9, 5));  // shutter
  p.setBrush(QColor(20, 50, 110));
  p.drawRect(QRectF(9.5, 2.5, 1, 3));
}

void PaintBrowse(QPainter& p) {
  p.setPen(QPen(Outline, 1));
  p.setBrush(QColor(210, 235, 250));
  p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
  p.setPen(QPen(QColor(120, 80, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(9.5, 9.5), QPointF(14.0, 14.0));
}

void PaintCheck(QPainter& p) {
  p.setPen(QPen(QColor(20, 140, 40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath tick;
  tick.moveTo(2.5, 8.5);
  tick.lineTo(6.0, 12.5);
  tick.lineTo(13.5, 3.0);
  p.drawPath(tick);
}

}  // namespace

QImage PaintImage(ImageIndex index, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / double(ImageSize), size / double(ImageSize));
  switch (index) {
    case ImageIndex::New:
      PaintNew(p);
      break;
    case ImageIndex::Open:
      PaintOpen(p);
      break;
    case ImageIndex::Save:
      PaintSave(p);
      break;
    case ImageIndex::Browse:
      PaintBrowse(p);
      break;
    case ImageIndex::Check:
      PaintCheck(p);
      break;
  }
  return image;
}

QIcon ImageIcon(ImageIndex index) {
  QIcon icon;
  for (int size : {ImageSize, 2 * ImageSize})
    icon.addPixmap(QPixmap::fromImage(PaintImage(index, size)));
  return icon;
}

}  // namespace norvalis
