#pragma once

#include <QVariantMap>
#include <QWidget>

#include <memory>

class QKFile;
class VidSourceObject;

// The background of a source's panel: it takes one media file dragged from
// the media bin ("QKMBDragType"; the grid's `dragContents` hold the files
// under "rowArray", or their IDs under "uniqueIdArray") and hands it to its
// source. This panel takes movie files only; `VidSourceObjectPanelNonQT`
// takes any media file.
class VidSourceObjectPanel : public QWidget {
 public:
  static const QString kDragType;  // "QKMBDragType"

  explicit VidSourceObjectPanel(QWidget* parent = nullptr);
  void setMyObject(std::weak_ptr<VidSourceObject> source) { myObject_ = std::move(source); }

  // The one file of a drag this panel takes (null: the drag is refused).
  std::shared_ptr<QKFile> acceptedFile(const QVariantMap& dragContents) const;
  // Hands the drag's file to the source; answers whether it was handed over.
  bool performDrop(const QVariantMap& dragContents);

 protected:
  virtual bool acceptsAnyFile() const { return false; }
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  static QVariantMap contentsOf(const QObject* dragSource);

  std::weak_ptr<VidSourceObject> myObject_;
};
