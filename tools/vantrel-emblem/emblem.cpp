#include "emblem.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace {

// The emblem is designed on a 241 x 140 canvas and scaled to the size asked.
constexpr qreal kDesignWidth = 241;
constexpr qreal kDesignHeight = 140;

const QColor kPlateTop(0x2f, 0x7f, 0xd8);
const QColor kPlateBottom(0x14, 0x3f, 0x7c);
const QColor kDiscCentre(0x2a, 0xb7, 0xc9);
const QColor kDiscEdge(0x0b, 0x5e, 0x80);
const QColor kRim(0xf4, 0xf8, 0xfc);
const QColor kGate(0xf4, 0xf8, 0xfc);
const QColor kArrow(0xff, 0xb3, 0x2e);
const QColor kArrowDark(0xe5, 0x80, 0x14);
const QColor kCheckFill(0x2f, 0xb8, 0x55);
const QColor kCheckDark(0x1c, 0x8a, 0x3c);
const QColor kNameText(0xff, 0xff, 0xff);
const QColor kTagText(0xcf, 0xe3, 0xff);

const QPointF kDiscCentrePoint(60, 70);
constexpr qreal kDiscRadius = 55;
const QRectF kPlate(70, 32, 156, 78);
constexpr qreal kPlateRadius = 18;
const QPointF kBadgeCentre(100, 106);
constexpr qreal kBadgeRadius = 16;

void drawPlate(QPainter& p) {
  QLinearGradient fill(kPlate.topLeft(), kPlate.bottomLeft());
  fill.setColorAt(0, kPlateTop);
  fill.setColorAt(1, kPlateBottom);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(kPlate, kPlateRadius, kPlateRadius);
  // A faint sheen over the upper half.
  QLinearGradient sheen(kPlate.topLeft(), QPointF(kPlate.left(), kPlate.center().y()));
  sheen.setColorAt(0, QColor(255, 255, 255, 70));
  sheen.setColorAt(1, QColor(255, 255, 255, 0));
  p.setBrush(sheen);
  p.drawRoundedRect(kPlate.adjusted(2, 2, -2, -kPlate.height() / 2), kPlateRadius - 2,
                    kPlateRadius - 2);
}

// The largest pixel size (up to maxSize) at which text fits width.
QFont fittedFont(const QString& text, qreal width, qreal maxSize, QFont::Weight weight) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setWeight(weight);
  for (qreal size = maxSize; size > 6; size -= 0.5) {
    font.setPixelSize(static_cast<int>(size));
    if (QFontMetricsF(font).horizontalAdvance(text) <= width) break;
  }
  return font;
}

void drawName(QPainter& p) {
  const QRectF textArea(kPlate.left() + 52, kPlate.top() + 10, kPlate.width() - 62,
                        kPlate.height() - 20);
  const QString name = QStringLiteral("Vantrel");
  const QString tag = QStringLiteral("port check");
  const QFont nameFont = fittedFont(name, textArea.width(), 30, QFont::Bold);
  const QFont tagFont = fittedFont(tag, textArea.width(), 13, QFont::Normal);
  const QFontMetricsF nameMetrics(nameFont), tagMetrics(tagFont);
  const qreal blockHeight = nameMetrics.ascent() + 4 + tagMetrics.height();
  const qreal nameBaseline = textArea.center().y() - blockHeight / 2 + nameMetrics.ascent();
  p.setFont(nameFont);
  p.setPen(QColor(0, 0, 0, 60));
  p.drawText(QPointF(textArea.left() + 1, nameBaseline + 1), name);
  p.setPen(kNameText);
  p.drawText(QPointF(textArea.left(), nameBaseline), name);
  p.setFont(tagFont);
  p.setPen(kTagText);
  p.drawText(QPointF(textArea.left() + 1, nameBaseline + 4 + tagMetrics.ascent()), tag);
}

// A round face with a light rim, lit from the upper left.
void drawRimmedDisc(QPainter& p, QPointF centre, qreal radius, qreal rim, QPointF light,
                    qreal spread, const QColor& lit, const QColor& shaded) {
  p.setPen(Qt::NoPen);
  p.setBrush(kRim);
  p.drawEllipse(centre, radius, radius);
  QRadialGradient fill(centre - light, radius * spread);
  fill.setColorAt(0, lit);
  fill.setColorAt(1, shaded);
  p.setBrush(fill);
  p.drawEllipse(centre, radius - rim, radius - rim);
}

void drawDisc(QPainter& p) {
  drawRimmedDisc(p, kDiscCentrePoint, kDiscRadius, 5, QPointF(14, 18), 1.25, kDiscCentre,
                 kDiscEdge);
}

// A wall across the disc with an opening in the middle: the port.
void drawGate(QPainter& p) {
  QPainterPath inside;
  inside.addEllipse(kDiscCentrePoint, kDiscRadius - 5, kDiscRadius - 5);
  p.save();
  p.setClipPath(inside);
  p.setPen(Qt::NoPen);
  p.setBrush(kGate);
  const qreal x = kDiscCentrePoint.x() + 4;
  p.drawRoundedRect(QRectF(x - 6, kDiscCentrePoint.y() - 60, 12, 46), 4, 4);
  p.drawRoundedRect(QRectF(x - 6, kDiscCentrePoint.y() + 14, 12, 46), 4, 4);
  // Shading on the opening's jambs gives the wall some depth.
  p.setBrush(QColor(0, 0, 0, 40));
  p.drawRect(QRectF(x + 2, kDiscCentrePoint.y() - 60, 4, 46 - 4));
  p.drawRect(QRectF(x + 2, kDiscCentrePoint.y() + 18, 4, 46));
  p.restore();
}

// The arrow that passes through the opening.
void drawArrow(QPainter& p) {
  const qreal y = kDiscCentrePoint.y();
  QPainterPath arrow;
  arrow.moveTo(18, y - 5);
  arrow.lineTo(84, y - 5);
  arrow.lineTo(84, y - 14);
  arrow.lineTo(103, y);
  arrow.lineTo(84, y + 14);
  arrow.lineTo(84, y + 5);
  arrow.lineTo(18, y + 5);
  arrow.quadTo(13, y, 18, y - 5);
  QLinearGradient fill(QPointF(0, y - 14), QPointF(0, y + 14));
  fill.setColorAt(0, kArrow);
  fill.setColorAt(1, kArrowDark);
  p.setPen(QPen(QColor(0x8a, 0x4a, 0x08, 120), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPath(arrow);
}

void drawCheckBadge(QPainter& p) {
  drawRimmedDisc(p, kBadgeCentre, kBadgeRadius, 3, QPointF(4, 5), 1.3, kCheckFill, kCheckDark);
  QPainterPath check;
  check.moveTo(kBadgeCentre + QPointF(-6.5, 0.5));
  check.lineTo(kBadgeCentre + QPointF(-2, 5));
  check.lineTo(kBadgeCentre + QPointF(7, -5));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(check);
}

// A transparent image of `size` whose painter maps the design area onto it,
// scaled to fit and centred.
QImage blankImage(const QSize& size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void fitDesignArea(QPainter& p, const QSize& size, const QRectF& area) {
  p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                   QPainter::SmoothPixmapTransform);
  const qreal scale = std::min(size.width() / area.width(), size.height() / area.height());
  p.translate((size.width() - area.width() * scale) / 2,
              (size.height() - area.height() * scale) / 2);
  p.scale(scale, scale);
  p.translate(-area.topLeft());
}

void drawDiscParts(QPainter& p) {
  drawDisc(p);
  drawGate(p);
  drawArrow(p);
  drawCheckBadge(p);
}

}  // namespace

QImage drawVantrelEmblem(const QSize& size) {
  QImage image = blankImage(size);
  QPainter p(&image);
  fitDesignArea(p, size, QRectF(0, 0, kDesignWidth, kDesignHeight));
  drawPlate(p);
  drawName(p);
  drawDiscParts(p);
  return image;
}

QImage drawVantrelIcon(int side) {
  const QSize size(side, side);
  QImage image = blankImage(size);
  QPainter p(&image);
  // The disc with a pixel of air around it; the badge stays inside this square.
  const qreal reach = kDiscRadius + 2;
  fitDesignArea(p, size,
                QRectF(kDiscCentrePoint - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)));
  drawDiscParts(p);
  return image;
}
