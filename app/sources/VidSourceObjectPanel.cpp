#include "app/sources/VidSourceObjectPanel.h"

#include "app/mediabin/MBFileGridView.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/VidSourceObject.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKQTFile.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

const QString VidSourceObjectPanel::kDragType = QStringLiteral("QKMBDragType");

VidSourceObjectPanel::VidSourceObjectPanel(QWidget* parent) : QWidget(parent) {
  setAcceptDrops(true);
  setAutoFillBackground(true);
}

QVariantMap VidSourceObjectPanel::contentsOf(const QObject* dragSource) {
  const auto* grid = qobject_cast<const MBFileGridView*>(dragSource);
  return grid ? grid->dragContents() : QVariantMap();
}

std::shared_ptr<QKFile> VidSourceObjectPanel::acceptedFile(const QVariantMap& dragContents) const {
  std::shared_ptr<QKFile> file;
  const QVariantList rows = dragContents.value(QStringLiteral("rowArray")).toList();
  const QVariantList ids = dragContents.value(QStringLiteral("uniqueIdArray")).toList();
  if (!rows.isEmpty()) {
    if (rows.size() != 1) return nullptr;
    file = rows.first().value<std::shared_ptr<QKFile>>();
  } else if (ids.size() == 1) {
    file = SourceFileLookup::fileForUniqueId(long(ids.first().toLongLong()));
  }
  if (!file) return nullptr;
  if (!acceptsAnyFile() && !std::dynamic_pointer_cast<QKQTFile>(file)) return nullptr;
  return file;
}

bool VidSourceObjectPanel::performDrop(const QVariantMap& dragContents) {
  const std::shared_ptr<QKFile> file = acceptedFile(dragContents);
  const std::shared_ptr<VidSourceObject> source = myObject_.lock();
  if (!file || !source) return false;
  source->loadThisFile(file);
  return true;
}

void VidSourceObjectPanel::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasFormat(kDragType) && acceptedFile(contentsOf(event->source())))
    event->acceptProposedAction();
  else
    event->ignore();
}

void VidSourceObjectPanel::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasFormat(kDragType) && acceptedFile(contentsOf(event->source())))
    event->acceptProposedAction();
  else
    event->ignore();
}

void VidSourceObjectPanel::dropEvent(QDropEvent* event) {
  if (event->mimeData()->hasFormat(kDragType) && performDrop(contentsOf(event->source())))
    event->acceptProposedAction();
  else
    event->ignore();
}
