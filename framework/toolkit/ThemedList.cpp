#include "framework/toolkit/ThemedList.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/ControllerFinder.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Log.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

const QString ThemedList::kRedrawNotification = QStringLiteral("QKRedrawTablesNotification");
const QString ThemedList::kRowHeightSample = QStringLiteral("Tpqyg");

ThemedList::ThemedList(QAbstractItemView* view, std::function<void(double)> applyRowHeight)
    : view_(view), applyRowHeight_(std::move(applyRowHeight)) {
  findController();
  observers_.observe(kRedrawNotification, nullptr, [this](const Notification&) { applyTheme(); });
}

ThemedList::~ThemedList() = default;

// A missing or mistyped entry keeps the view's own value.
void ThemedList::applyTheme() {
  const QVariantMap colors = ThemeDict::tableColors();
  QPalette palette = view_->palette();
  const QColor fill = ThemeDict::color(colors, QStringLiteral("fill"));
  const QColor text = ThemeDict::color(colors, QStringLiteral("textColor"));
  const QColor highlight = ThemeDict::color(colors, QStringLiteral("highlight"));
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    if (fill.isValid()) {
      palette.setColor(group, QPalette::Base, fill);
      palette.setColor(group, QPalette::AlternateBase, fill);
      palette.setColor(group, QPalette::Window, fill);
    }
    if (text.isValid()) {
      palette.setColor(group, QPalette::Text, text);
      palette.setColor(group, QPalette::HighlightedText, text);
    }
    if (highlight.isValid()) palette.setColor(group, QPalette::Highlight, highlight);
  }
  view_->setPalette(palette);
  view_->viewport()->setAutoFillBackground(true);
  const QFont font = ThemeDict::font(colors, QStringLiteral("font"), view_->font());
  view_->setFont(font);
  applyRowHeight_(QFontMetricsF(font).size(0, kRowHeightSample).height());
  view_->viewport()->update();
}

bool ThemedList::forwardKey(QKeyEvent* event) {
  if (!controller_) {
    Log::line("\t\terror: dataSourceController is NIL");
    findController();
    if (!controller_) return false;
  }
  controller_->keyDown(event);
  return true;
}

void ThemedList::deselectEverything() {
  if (!controller_) findController();
  if (controller_) controller_->deselectEverything();
}

void ThemedList::mouseDown(const QMouseEvent* event) {
  modifiersOnClick_ = static_cast<int>(event->modifiers());
  deselectEverything();
}

void ThemedList::findController() { findDataSourceController(this); }
