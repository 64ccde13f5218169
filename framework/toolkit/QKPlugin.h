#pragma once

#include "framework/datasource/DataSourceControllerClient.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>

class AppControllerInterface;
class QKWindow;

// The base of every control plug-in: the controller of one window built from
// the layout named after the plug-in's type. It introduces the new instance to
// the data-source controller and the plug-in manager (at construction) and
// its window to the Window menu (awakeFromNib), keeps the instance's type
// name, title and identifier, renames and sorts it, and takes and loads the
// window part of its snapshot.
//
// What a plug-in class does: its constructor runs after this one; its
// awakeFromNib calls this one; its createSnapshot keeps this class's snapshot
// under kSuperSnap and its loadSnapshot passes that back here; its
// prepareToBeDeleted stops its own work and then calls this one. A plug-in
// destroyed without prepareToBeDeleted logs it and is detached here all the
// same. Main thread only.
class QKPlugin : public QObject, public DataSourceControllerClient {
  Q_OBJECT
 public:
  static const QString kName;         // "name"
  static const QString kUniqueID;     // "uniqueID"
  static const QString kWindowTitle;  // "windowTitle"
  static const QString kWindowSnap;   // "windowSnap"
  static const QString kSuperSnap;    // "superSnap": a subclass's key for this snapshot

  QKPlugin(const QString& name, const QString& windowTitle, std::int32_t uniqueID);
  ~QKPlugin() override;

  // The window: built on the first call from the layout named after the type
  // (then awakeFromNib runs). Null when no layout has that name (logged once).
  QKWindow* window();
  virtual void awakeFromNib();

  // Renames the instance: its window title, and the announcements.
  virtual void setPluginName(const QString& name);
  // By type name, then by title: negative, zero or positive.
  int sortByPluginName(const QKPlugin& other) const;

  virtual QVariantMap createSnapshot() const;
  // The window's frame from "windowSnap", or from the top level of older
  // snapshots that kept the frame keys there.
  virtual void loadSnapshot(const QVariantMap& snapshot);
  virtual void prepareToBeDeleted();
  virtual void selectedInWindowMenu() {}

  bool deleted() const { return deleted_; }
  QString name() const { return name_; }
  QString windowTitle() const { return windowTitle_; }
  std::int32_t uniqueID() const { return uniqueID_; }
  AppControllerInterface* appController() const { return appController_; }
  void setAppController(AppControllerInterface* controller) { appController_ = controller; }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }

 private:
  void loadWindow();
  void detach();

  QString name_;
  AppControllerInterface* appController_ = nullptr;
  DataSourceController* dataSourceController_ = nullptr;
  QString windowTitle_;
  std::int32_t uniqueID_ = 0;
  bool deleted_ = false;
  bool windowLoaded_ = false;
  std::unique_ptr<QKWindow> window_;
};
