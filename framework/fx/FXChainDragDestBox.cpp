#include "framework/fx/FXChainDragDestBox.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/fx/FXChain.h"
#include "framework/fx/FXChainManager.h"
#include "framework/fx/FXObject.h"
#include "framework/fx/FXObjectPanel.h"
#include "framework/fx/QKRedView.h"
#include "framework/toolkit/ControllerFinder.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/Log.h"

#include <QAbstractItemView>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>

int FXChainDragDestBox::insertionIndex(const std::vector<QRectF>& frames, const QPointF& point) {
  if (frames.empty()) return 0;
  const QRectF& first = frames.front();
  if (point.y() > first.y() + first.height()) return 0;
  const int count = static_cast<int>(frames.size());
  if (point.y() < frames.back().y()) return count;
  for (int i = 0; i < count; ++i) {
    const QRectF& frame = frames[size_t(i)];
    if (frame.y() < point.y() && point.y() <= frame.y() + frame.height())
      return point.y() < frame.y() + frame.height() / 2 ? i + 1 : i;
  }
  return -1;
}

QRectF FXChainDragDestBox::barRect(const std::vector<QRectF>& frames, int index,
                                   const QSizeF& boxSize) {
  if (frames.empty()) return QRectF(0, boxSize.height() - kBarHeight, boxSize.width(), kBarHeight);
  const int count = static_cast<int>(frames.size());
  if (index >= count) {
    const QRectF& last = frames.back();
    return QRectF(last.x(), last.y(), last.width(), kBarHeight);
  }
  const QRectF& frame = frames[size_t(std::max(index, 0))];
  double y = frame.y() + frame.height() - kBarHeight / 2;
  if (index <= 0) y -= kBarHeight / 2;
  return QRectF(frame.x(), y, frame.width(), kBarHeight);
}

int FXChainDragDestBox::reorderedIndex(int from, int drop) { return drop > from ? drop - 1 : drop; }

FXChainDragDestBox::FXChainDragDestBox(FXChain* chain, QWidget* parent)
    : QWidget(parent), myChain_(chain) {
  setAcceptDrops(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  findDataSourceController(this);
}

FXChainDragDestBox::~FXChainDragDestBox() {
  // The panels belong to their elements: out before the box goes.
  for (QWidget* panel : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (panel != theHighlight_) {
      panel->hide();
      panel->setParent(nullptr);
    }
}

QKRedView* FXChainDragDestBox::highlight() const { return theHighlight_; }

void FXChainDragDestBox::setDataSourceController(DataSourceController* controller) {
  dataSourceController_ = controller;
}

void FXChainDragDestBox::paintEvent(QPaintEvent* event) {
  QColor fill = QKWindow::windowFillColor();
  if (!fill.isValid()) fill = palette().color(QPalette::Window);
  QPainter(this).fillRect(event->rect(), fill);
}

void FXChainDragDestBox::mousePressEvent(QMouseEvent* event) {
  if (!dataSourceController_) findDataSourceController(this);
  if (dataSourceController_) dataSourceController_->deselectEverything();
  QWidget::mousePressEvent(event);
}

std::vector<QRectF> FXChainDragDestBox::elementFrames() const {
  std::vector<QRectF> frames;
  if (!myChain_) return frames;
  for (const FXChain::Element& element : myChain_->fxArray())
    frames.push_back(element->localFrame());
  return frames;
}

bool FXChainDragDestBox::offersElementType(const QMimeData* data) const {
  const FXChainManager* manager = myChain_ ? myChain_->chainManager() : nullptr;
  return data && manager && !manager->chainFXPboardType().isEmpty() &&
         data->hasFormat(FXChainManager::mimeTypeFor(manager->chainFXPboardType()));
}

bool FXChainDragDestBox::dragMovedTo(const QMimeData* data, const QPointF& point) {
  if (!offersElementType(data) || !myChain_ || myChain_->deleted()) {
    dragLeft();
    return false;
  }
  const std::vector<QRectF> frames = elementFrames();
  const QPointF up(point.x(), height() - point.y());
  dropInsertionLocation_ = insertionIndex(frames, up);
  if (dropInsertionLocation_ < 0) {
    removeHighlight();
    return false;
  }
  const QRectF bar = barRect(frames, dropInsertionLocation_, QSizeF(size()));
  if (!theHighlight_) theHighlight_ = new QKRedView(this);
  theHighlight_->setGeometry(
      QRectF(bar.x(), height() - bar.y() - bar.height(), bar.width(), bar.height()).toRect());
  theHighlight_->show();
  theHighlight_->raise();
  update();
  return true;
}

void FXChainDragDestBox::dragLeft() {
  dropInsertionLocation_ = -1;
  removeHighlight();
}

void FXChainDragDestBox::removeHighlight() {
  if (!theHighlight_) return;
  theHighlight_->hide();
  theHighlight_->deleteLater();
  theHighlight_ = nullptr;
}

bool FXChainDragDestBox::performDrop(const QMimeData* data, QObject* source,
                                     Qt::DropActions actions) {
  const int index = dropInsertionLocation_;
  dragLeft();
  if (!myChain_ || myChain_->deleted() || index < 0 || !offersElementType(data) ||
      !(actions & Qt::CopyAction))
    return false;
  if (auto* panel = qobject_cast<FXObjectPanel*>(source)) {
    const std::shared_ptr<FXObject> element = panel->myFXObject();
    FXChain* from = element ? element->myChain() : nullptr;
    const FXChainManager* family = element ? element->myChainManager() : nullptr;
    if (!from || element->deleted() || !family ||
        family->chainFXPboardType() != myChain_->chainManager()->chainFXPboardType()) {
      Log::line("\t\terr: an element of another chain family was not taken");
      return false;
    }
    if (panel->optOnClick())
      if (const QByteArray copy = element->copyDragData(); !copy.isEmpty())
        return myChain_->insertEffectData(copy, unsigned(index));
    if (from != myChain_) {
      // Kept alive between the two edits; each takes its own chain's lock.
      const FXChain::Element moved = from->removeEffectFromChain(element.get());
      if (!moved) return false;
      myChain_->insertEffectObject(moved, unsigned(index));
      return true;
    }
    const int at = myChain_->indexOf(element.get());
    if (at < 0) return false;
    myChain_->moveEffect(element.get(), unsigned(reorderedIndex(at, index)));
    return true;
  }
  if (qobject_cast<QAbstractItemView*>(source)) {
    const QByteArray payload =
        data->data(FXChainManager::mimeTypeFor(myChain_->chainManager()->chainFXPboardType()));
    if (payload.isEmpty()) {
      Log::line("\t\tERROR: no FXObject data as NSData in the pboard");
      return false;
    }
    return myChain_->insertEffectData(payload, unsigned(index));
  }
  Log::line("\t\terr: a dragged element from outside the program was not taken");
  return false;
}

void FXChainDragDestBox::dragEnterEvent(QDragEnterEvent* event) {
  dropInsertionLocation_ = -1;
  dragMoveEvent(event);
}

void FXChainDragDestBox::dragMoveEvent(QDragMoveEvent* event) {
  if (dragMovedTo(event->mimeData(), event->position())) {
    event->setDropAction(event->proposedAction());
    event->accept();
  } else {
    // Still accepted while the type is ours, so moves between panels go on.
    if (offersElementType(event->mimeData()))
      event->accept();
    else
      event->ignore();
  }
}

void FXChainDragDestBox::dragLeaveEvent(QDragLeaveEvent* event) {
  dragLeft();
  QWidget::dragLeaveEvent(event);
}

void FXChainDragDestBox::dropEvent(QDropEvent* event) {
  if (performDrop(event->mimeData(), event->source(), event->possibleActions())) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}
