#pragma once

#include "app/shell/DedicatedSourceDetector.h"
#include "app/shell/DedicatedSourcesEditor.h"

#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>

class ActiveDeleteTableView;
class DataSourceController;
class DedicatedSourcesModel;
class QLabel;
class QPushButton;

// The dedicated sources of one input preference pane: the table of
// dedications (raw name, published name; both editable), "Create New",
// which listens for the next input and dedicates it, and "Delete Selected"
// (or the Delete key), which gives the input its raw name back. A line
// under the buttons says when the section is listening and why an edit was
// refused. Until `wake` the table is empty and the buttons do nothing.
// Main thread.
class DedicatedSourcesSection : public QWidget {
  Q_OBJECT
 public:
  struct Config {
    QString title;           // "Dedicated MIDI Sources"
    QString rawRoot;         // "MIDI"
    QString dedicatedRoot;   // "Dedicated MIDI"
    QString rawColumnTitle;  // "MIDI Source"
    QString detectNotification;
    // The raw name of what a detect notification's user info announces;
    // empty when it names nothing to dedicate (that ends the listening too).
    std::function<QString(const QVariantMap& userInfo)> rawNameOf;
    QString listeningText;  // shown while listening
  };

  explicit DedicatedSourcesSection(Config config, QWidget* parent = nullptr);
  ~DedicatedSourcesSection() override;

  void wake(DataSourceController* dsc, DedicatedSourcesEditor::Manager manager);
  DedicatedSourcesEditor* editor() const { return editor_.get(); }

  // Starts listening; pressed again while listening it does nothing.
  void createNewPressed();
  void deleteSelectedPressed();
  void stopDetecting();
  bool isDetecting() const { return detector_.isDetecting(); }
  // Rebuilds the rows from the manager's mapping.
  void reload();

  ActiveDeleteTableView* tableView() const { return table_; }
  QPushButton* createButton() const { return createButton_; }
  QPushButton* deleteButton() const { return deleteButton_; }
  // The line under the buttons: listening, or the last refusal.
  QString statusText() const;

 private:
  void detected(const QVariantMap& userInfo);
  void showResult(const DedicatedSourcesEditor::Result& result);
  void showStatus(const QString& text);
  int selectedRow() const;

  const Config config_;
  std::unique_ptr<DedicatedSourcesEditor> editor_;
  DedicatedSourcesModel* model_ = nullptr;
  ActiveDeleteTableView* table_ = nullptr;
  QPushButton* createButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QLabel* status_ = nullptr;
  std::unique_ptr<class ActiveDeleteDelegate> deleteKey_;
  DedicatedSourceDetector detector_;
};
