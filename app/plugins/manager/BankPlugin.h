#pragma once

#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QList>
#include <QRectF>

#include <functional>
#include <memory>
#include <optional>

class BlackTranslucentPanel;
class QAbstractItemModel;
class QKButton;
class QKNSTableView;
class QKScrollView;
class QVBoxLayout;
class QWidget;

// A plug-in whose window is a bank of controls the user adds, deletes and
// names: a scroll view over an "Options" button that opens a sheet over the
// window's body, the sheet holding the plug-in's own rows of settings above
// the list of controls and its "+", "-" and "Done" buttons. The sheet closes
// as a restore starts or a plug-in is deleted. Main thread only.
class BankPlugin : public QKPlugin {
  Q_OBJECT
 public:
  void awakeFromNib() override;
  // Call it last from the subclass's own.
  void prepareToBeDeleted() override;

  void showOptionsPanel();
  void closeOptionsPanel();
  QKScrollView* scrollView() const { return scrollView_; }
  QWidget* documentView() const { return documentView_; }
  BlackTranslucentPanel* optionsPanel() const { return optionsPanel_; }
  QKNSTableView* listView() const { return listView_; }

 protected:
  BankPlugin(const QString& type, const QString& name, std::int32_t uniqueID);

  // The window of `owner` (a BankPlugin, else an empty window) at `frame`.
  static std::unique_ptr<QWidget> buildBankWindow(QObject* owner, const QRectF& frame);
  // A whole number from a snapshot; none for text, a flag or anything else.
  static std::optional<long long> wholeNumber(const QVariant& value);
  // "1", "2", … the lowest not `taken`.
  static QString lowestFreeName(const std::function<bool(const QString&)>& taken);
  // Not empty and no "/": a name that can stand in a source's key path.
  static bool isSoundName(const QString& name);
  // The rows selected in the sheet's list.
  QList<int> selectedRows() const;
  // The target of the plug-in's buttons: their actions run while it lives.
  const std::shared_ptr<int>& liveness() const { return alive_; }

  // The sheet's rows above the list.
  virtual void buildSheetRows(QVBoxLayout* column) = 0;
  virtual QAbstractItemModel* listModel() const = 0;
  virtual void reloadList() = 0;
  virtual void resetPositions() = 0;
  // The sheet's "+" and "-".
  virtual void addFromSheet() = 0;
  virtual void deleteRows(const QList<int>& rows) = 0;

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildOptionsPanel(QWidget* body);
  void placeOptionsPanel();
  void bind(QKButton* button, std::function<void()> action);

  QKScrollView* scrollView_ = nullptr;
  QWidget* documentView_ = nullptr;
  BlackTranslucentPanel* optionsPanel_ = nullptr;
  QKNSTableView* listView_ = nullptr;
  QKButton* optionsButton_ = nullptr;
  QKButton* doneButton_ = nullptr;
  QKButton* createButton_ = nullptr;
  QKButton* deleteButton_ = nullptr;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
