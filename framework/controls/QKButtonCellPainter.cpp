#include "framework/controls/QKButtonCellPainter.h"

#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/BezierPathAdditions.h"
#include "framework/toolkit/ThemeDict.h"

#include <QPainter>
#include <QPainterPath>

namespace {

using S = InterfaceColorScheme;

double number(const QVariantMap& dict, const QString& key, double fallback) {
  const QVariant value = dict.value(key);
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Float:
      return value.toDouble();
    default:
      return fallback;
  }
}

QKButtonCellPainter::Look lookOf(const QVariantMap& leaf, const QString& state,
                                 const QKButtonCellPainter::Look& fallback) {
  const QVariantMap text = ThemeDict::map(leaf, state + QStringLiteral("FontAttribs"));
  return {ThemeDict::color(leaf, state + QStringLiteral("FillColor"), fallback.fill),
          ThemeDict::color(leaf, state + QStringLiteral("StrokeColor"), fallback.stroke),
          ThemeDict::font(text, S::kFontAttribute, fallback.font),
          ThemeDict::color(text, S::kForegroundColorAttribute, fallback.text)};
}

}  // namespace

const QKButtonCellPainter::Leaf& QKButtonCellPainter::builtInLeaf() {
  static const Leaf leaf = [] {
    const QFont font = S::font(S::interfaceFontFamily(), 9);
    const QColor grey = QColor::fromRgbF(0.5f, 0.5f, 0.5f);
    Leaf built;
    built.on = {Qt::red, Qt::black, font, Qt::black};
    built.off = {Qt::white, Qt::black, font, Qt::black};
    built.transition = {grey, grey, font, Qt::black};
    return built;
  }();
  return leaf;
}

QVariantMap QKButtonCellPainter::relevantColorDict(const QKButtonCell& cell) {
  const QKButtonManager* manager = cell.knownButtonManager();
  if (!manager) return {};
  const QVariantMap byState =
      ThemeDict::map(manager->appearanceDict(),
                     cell.selected() ? QStringLiteral("selected") : QStringLiteral("unselected"));
  const QVariantMap byBinding =
      ThemeDict::map(byState, cell.syncFlag() ? QStringLiteral("sync") : QStringLiteral("unsync"));
  return ThemeDict::map(
      byBinding, cell.hardwareLearnMode() ? QStringLiteral("HLM") : QStringLiteral("non-HLM"));
}

QKButtonCellPainter::Leaf QKButtonCellPainter::leaf(const QVariantMap& colorDict) {
  const Leaf& builtIn = builtInLeaf();
  if (colorDict.isEmpty()) return builtIn;
  Leaf leaf;
  leaf.strokeWidth = number(colorDict, QStringLiteral("strokeWidth"), builtIn.strokeWidth);
  leaf.radius = number(colorDict, QStringLiteral("radius"), builtIn.radius);
  leaf.on = lookOf(colorDict, QStringLiteral("on"), builtIn.on);
  leaf.off = lookOf(colorDict, QStringLiteral("off"), builtIn.off);
  leaf.transition = lookOf(colorDict, QStringLiteral("transition"), builtIn.transition);
  return leaf;
}

const QKButtonCellPainter::Look& QKButtonCellPainter::lookFor(const QKButtonCell& cell,
                                                              const Leaf& leaf) {
  if (cell.isDown()) return leaf.transition;
  return cell.intValue() == 1 ? leaf.on : leaf.off;
}

QRectF QKButtonCellPainter::bodyRect(const QKButtonCell& cell, const QRectF& frame,
                                     double strokeWidth) {
  QRectF body(frame.x() + strokeWidth / 2, frame.y() + strokeWidth / 2, frame.width() - strokeWidth,
              frame.height() - strokeWidth);
  if (cell.syncToggle()) body.setLeft(body.left() + body.height() / 2);
  return body;
}

QString QKButtonCellPainter::text(const QKButtonCell& cell, double bodyWidth) {
  if (cell.showShortcut() && cell.syncFlag()) {
    const KeyPath path = cell.syncArray();
    if (path.isEmpty()) return {};
    return bodyWidth <= 30 ? path.last() : path.join(QLatin1Char('/'));
  }
  switch (cell.intValue()) {
    case 1:
      return cell.title2();
    case 0:
      return cell.title();
    default:
      return cell.mixedString();
  }
}

void QKButtonCellPainter::draw(QPainter& painter, const QKButtonCell& cell, const QRectF& frame) {
  const Leaf colors = leaf(relevantColorDict(cell));
  const Look& look = lookFor(cell, colors);
  const double sw = colors.strokeWidth;
  const QRectF body = bodyRect(cell, frame, sw);

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  QPainterPath path = BezierPathAdditions::roundRectPath(body, colors.radius);
  path.closeSubpath();
  painter.fillPath(path, look.fill);
  if (sw > 0) painter.strokePath(path, QPen(look.stroke, sw));

  const QImage tiles = cell.imgTiles();
  if (!tiles.isNull()) {
    const QSizeF tile = cell.imgTileSize();
    double tileX = 0;
    if (cell.isDown())
      tileX = tile.width();
    else if (cell.intValue() == 1)
      tileX = 2 * tile.width();
    const QRectF target(frame.x() + (frame.width() - tile.width()) / 2,
                        frame.y() + (frame.height() - tile.height()) / 2, tile.width(),
                        tile.height());
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.drawImage(target, tiles, QRectF(QPointF(tileX, 0), tile));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }

  const QString shown = text(cell, body.width());
  if (!shown.isEmpty()) {
    painter.setFont(look.font);
    painter.setPen(look.text);
    // Centred in the body, one point lower.
    painter.drawText(body.translated(0, 1), Qt::AlignCenter, shown);
  }
  painter.restore();
}
