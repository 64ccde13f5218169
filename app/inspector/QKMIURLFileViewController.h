#pragma once

#include "app/inspector/MIPane.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class MICheckBox;
class MediaInspector;
class QKURLFile;
class QLineEdit;
class QPushButton;
class QWidget;

// The inspector's pane for web entries: the address of a single entry, the
// custom render size (on, off or mixed over several entries) and a button
// that asks for new thumbnails. Size edits go into the pending edits; the
// address is read from its field when the inspector applies.
//
// An address typed without a scheme gets "http://" in front of it; an
// empty one is refused and the entry keeps its address. An entry still
// named after its address follows a new address's last component; a name
// given by hand is kept. Main thread only.
class QKMIURLFileViewController : public QObject, public MIPane {
 public:
  static const QString kUseCustomResKey;  // "useCustomResForURL"
  static const QString kHorResKey;        // "urlHorRes"
  static const QString kVertResKey;       // "urlVertRes"
  static constexpr int kDefaultWidth = 320;
  static constexpr int kDefaultHeight = 240;

  explicit QKMIURLFileViewController(MediaInspector* inspector);
  ~QKMIURLFileViewController() override;

  // The pane's view, owned by whoever places it.
  QWidget* view() const { return view_; }

  void updateSelection() override;
  void storeParamsForSelectedFiles() override;

  // The size fields' edit (after editing ends).
  void parameterChanged(QLineEdit* sender);
  // The custom-size check box's click.
  void buttonUsed();
  void refreshThumbnails();

  // Whether the address field holds one entry's address and may be applied.
  bool urlStringInUse() const { return urlStringInUse_; }
  QLineEdit* urlStringTextField() const { return urlStringTextField_; }
  MICheckBox* useURLResButton() const { return useURLResButton_; }
  QLineEdit* urlHozResTextField() const { return urlHozResTextField_; }
  QLineEdit* urlVertResTextField() const { return urlVertResTextField_; }
  QPushButton* refreshButton() const { return refreshButton_; }

 private:
  void buildView();
  std::vector<std::shared_ptr<QKURLFile>> inspectedWebFiles() const;
  void writePending(const QString& key, int value);
  std::optional<QString> addressToApply() const;
  // False (logged) when the entry's edits may not be stored.
  bool storeProps(QKURLFile& file, const QVariantMap& pending);
  void takeAddress(QKURLFile& file, const QString& address);

  MediaInspector* inspector_;
  QPointer<QWidget> view_;
  QLineEdit* urlStringTextField_ = nullptr;
  MICheckBox* useURLResButton_ = nullptr;
  QLineEdit* urlHozResTextField_ = nullptr;
  QLineEdit* urlVertResTextField_ = nullptr;
  QPushButton* refreshButton_ = nullptr;
  bool urlStringInUse_ = false;
  // The address the field showed before the user edited it.
  QString shownAddress_;
};
