#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QButtonGroup;

// A row of exclusive segments (the loop modes). `action` runs on a click.
class MISegmentedControl : public QWidget {
  Q_OBJECT
 public:
  explicit MISegmentedControl(const QStringList& titles, QWidget* parent = nullptr);
  int selectedSegment() const;
  void setSelectedSegment(int segment);  // out of range: none
  void setAction(std::function<void()> action) { action_ = std::move(action); }

 private:
  QButtonGroup* group_;
  std::function<void()> action_;
};
