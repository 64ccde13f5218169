#pragma once

#include <QFont>
#include <QString>

#include <vector>

class QMenu;
class QWidget;

// A menu of pages (and media bins) as data, built on any change by the file
// loader and copied into the pop-ups' own menus. Tags: -3 not choosable
// (separators, headings), -2 nothing, -1 follow the media bin of that title,
// 0 or more a page ID. Items are never enabled automatically.
class QKPageListMenu {
 public:
  static constexpr int kNoneTag = -2;
  static constexpr int kFollowMediaBinTag = -1;
  static constexpr int kInertTag = -3;
  static constexpr int kMaxIndentation = 15;

  struct Item {
    QString title;
    int tag = kInertTag;
    int indentation = 0;  // 0 … 15
    bool enabled = true;
    bool separator = false;
  };

  void addItem(const QString& title, int tag, int indentation = 0, bool enabled = true);
  void addSeparator();
  void clear() { items_.clear(); }
  const std::vector<Item>& items() const { return items_; }

  // The pop-ups' menus: "Lucida Grande" at 9 points.
  static QFont font();
  // A menu of these items (indented titles lead with spaces), each tagged
  // for QKNSPopUpButton.
  QMenu* toMenu(QWidget* parent = nullptr) const;

 private:
  std::vector<Item> items_;
};
