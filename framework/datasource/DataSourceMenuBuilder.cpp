#include "framework/datasource/DataSourceMenuBuilder.h"

#include "framework/datasource/DataSourceDictionary.h"
#include "framework/datasource/DataSourceHolder.h"

bool DataSourceMenuBuilder::isHolderKind(int32_t type) {
  return type == DSType::Holder || type == DSType::UntickedHolder || type == DSType::ColorHolder ||
         type == DSType::PointHolder;
}

bool DataSourceMenuBuilder::isValueKind(int32_t type) {
  return type >= DSType::FloatFrequent && type <= DSType::ButtonFloat;
}

DataSourceMenuItem DataSourceMenuBuilder::itemForPath(const QString& title, const KeyPath& path,
                                                      bool enabled) {
  DataSourceMenuItem item;
  item.title = KeyPathAdditions::ownCopy(title);
  item.keyPath = path;
  item.toolTip = KeyPathAdditions::joined(path);
  item.enabled = enabled;
  return item;
}

DataSourceMenuItem DataSourceMenuBuilder::flatItemForPath(const QString& title, const KeyPath& path,
                                                          bool enabled) {
  DataSourceMenuItem item = itemForPath(title, path, enabled);
  item.plainTitle = QLatin1String(DataSourceMenuItem::kFlatListPlainTitle);
  return item;
}

void DataSourceMenuBuilder::appendIndented(DataSourceMenuItems& items,
                                           DataSourceMenuItems children) {
  for (auto& child : children) {
    child.title.prepend(QLatin1String(DataSourceMenuItem::kIndent));
    items.push_back(std::move(child));
  }
}

DataSourceMenuItems DataSourceMenuBuilder::extract(const DataSourceDictionary& level, int mask,
                                                   int toLevel, int carryOverToLevel) {
  DataSourceMenuItems items;
  level.forEachLocked([&](const QString& name, const std::shared_ptr<DataSource>& node) {
    const int32_t type = node->sourceType();
    const DataSourceHolder* holder = node->asHolder();
    if (isHolderKind(type) && holder) {
      DataSourceMenuItem item = itemForPath(name, node->pathArray(), false);
      if (mask != DataSourceMenuMask::Leaves && type == mask) {
        item.enabled = true;
        items.push_back(std::move(item));
      } else if (toLevel - 1 > 0) {
        DataSourceMenuItems children =
            holder->extractMenuItemsMatchingMask(mask, toLevel - 1, carryOverToLevel);
        if (children.empty()) return;
        items.push_back(std::move(item));
        appendIndented(items, std::move(children));
      } else {
        DataSourceMenuItems children =
            holder->extractMenuItemsMatchingMask(mask, carryOverToLevel, carryOverToLevel);
        if (children.empty()) return;
        item.enabled = true;
        item.submenu = std::make_shared<DataSourceMenu>(
            DataSourceMenu{KeyPathAdditions::ownCopy(name), std::move(children)});
        items.push_back(std::move(item));
      }
    } else if (isValueKind(type)) {
      if (mask != DataSourceMenuMask::Leaves && type != mask) return;
      items.push_back(itemForPath(name, node->pathArray(), true));
    }
  });
  return items;
}

DataSourceMenuItems DataSourceMenuBuilder::flatList(const DataSourceDictionary& level) {
  DataSourceMenuItems items;
  level.forEachLocked([&](const QString& name, const std::shared_ptr<DataSource>& node) {
    const int32_t type = node->sourceType();
    const DataSourceHolder* holder = node->asHolder();
    if (isHolderKind(type) && holder) {
      DataSourceMenuItem heading = flatItemForPath(name, node->pathArray(), false);
      heading.toolTip.clear();
      items.push_back(std::move(heading));
      appendIndented(items, holder->getDataSourcesMenuItems());
    } else if (isValueKind(type)) {
      items.push_back(flatItemForPath(name, node->pathArray(), true));
    }
  });
  return items;
}
