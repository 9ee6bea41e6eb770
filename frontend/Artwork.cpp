// Paints the icon (a page with a tag bracket on a blue square) and the
// start-up picture (the icon, the program's name and version).
#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

void PaintIcon(QPainter& p, const QRectF& r) {
  const qreal s = r.width();
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(r.topLeft(), r.bottomRight());
  back.setColorAt(0, QColor(0x2b, 0x6c, 0xb0));
  back.setColorAt(1, QColor(0x1a, 0x3f, 0x6e));
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(r, s * 0.18, s * 0.18);
  // A sheet of paper with a folded corner.
  QPainterPath sheet;
  const qreal l = r.left() + s * 0.24, t = r.top() + s * 0.16, w = s * 0.52, h = s * 0.68, fold = s * 0.14;
  sheet.moveTo(l, t);
  sheet.lineTo(l + w - fold, t);
  sheet.lineTo(l + w, t + fold);
  sheet.lineTo(l + w, t + h);
  sheet.lineTo(l, t + h);
  sheet.closeSubpath();
  p.setBrush(QColor(0xf7, 0xf4, 0xea));
  p.drawPath(sheet);
  p.setBrush(QColor(0xd9, 0xd2, 0xbd));
  QPainterPath corner;
  corner.moveTo(l + w - fold, t);
  corner.lineTo(l + w - fold, t + fold);
  corner.lineTo(l + w, t + fold);
  corner.closeSubpath();
  p.drawPath(corner);
  // Text lines and a tag on the sheet.
  p.setBrush(QColor(0x9a, 0xa5, 0xb1));
  for (int i = 0; i < 3; ++i) p.drawRect(QRectF(l + s * 0.06, t + s * (0.40 + 0.08 * i), w - s * 0.12, s * 0.03));
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setPixelSize(static_cast<int>(s * 0.22));
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0xc0, 0x39, 0x2b));
  p.drawText(QRectF(l, t + s * 0.06, w, s * 0.28), Qt::AlignCenter, QStringLiteral("<:>"));
}

}  // namespace

QPixmap BrannockIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  PaintIcon(p, QRectF(0, 0, size, size));
  return pixmap;
}

QPixmap SplashPicture(const QString& title, const QString& version) {
  QPixmap pixmap(480, 240);
  pixmap.fill(QColor(0xf7, 0xf4, 0xea));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x1a, 0x3f, 0x6e), 3));
  p.drawRect(QRectF(1.5, 1.5, 477, 237));
  PaintIcon(p, QRectF(28, 64, 112, 112));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(24);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0x1a, 0x3f, 0x6e));
  p.drawText(QRectF(160, 70, 300, 70), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, title);
  font.setPixelSize(15);
  font.setBold(false);
  p.setFont(font);
  p.drawText(QRectF(160, 145, 300, 24), Qt::AlignLeft | Qt::AlignVCenter, version);
  p.drawText(QRectF(160, 175, 300, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Starting..."));
  return pixmap;
}
