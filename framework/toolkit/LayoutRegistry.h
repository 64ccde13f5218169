#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QObject;

// The window layouts by name (a plug-in's type, a panel's class): each name
// maps to the code that builds its window for an owner, as an interface file
// would. The program creates one at start-up and installs it (setShared);
// later parts register their layouts there. Main thread only.
class LayoutRegistry {
 public:
  // Builds the window of a layout; `owner` is the object that loads it.
  using Builder = std::function<std::unique_ptr<QWidget>(QObject* owner)>;

  // The installed registry; null before start-up.
  static LayoutRegistry* shared();
  static void setShared(LayoutRegistry* registry);

  void registerLayout(const QString& name, Builder builder);
  bool contains(const QString& name) const { return builders_.contains(name); }
  // The window of the named layout; null for an unknown name.
  std::unique_ptr<QWidget> build(const QString& name, QObject* owner) const;

 private:
  QHash<QString, Builder> builders_;
};
