#include "framework/controls/DataSourceSubmenu.h"

#include "framework/controls/DataSourceMenuMarks.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceMenuAdapter.h"

#include <QAction>
#include <QMenu>

DataSourceSubmenu::~DataSourceSubmenu() { delete menu_; }

void DataSourceSubmenu::reload(const DataSourceController* controller,
                               std::function<void(QAction*)> chosen) {
  labelItem_->setMenu(nullptr);
  if (menu_) menu_->deleteLater();
  menu_ = nullptr;
  if (!controller) return;
  menu_ = DataSourceMenuAdapter::createMenu(controller->getDataSourcesMenu());
  if (!menu_) return;
  DataSourceMenuMarks::onChosen(menu_, std::move(chosen));
  labelItem_->setMenu(menu_);
}

void DataSourceSubmenu::uncheckAll() { DataSourceMenuMarks::uncheckAll(menu_); }

bool DataSourceSubmenu::check(const KeyPath& path) {
  return DataSourceMenuMarks::checkFirstFor(menu_, path) != nullptr;
}
