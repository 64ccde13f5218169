#include "app/inspector/MISegmentedControl.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

MISegmentedControl::MISegmentedControl(const QStringList& titles, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  for (int i = 0; i < titles.size(); ++i) {
    auto* segment = new QToolButton;
    segment->setText(titles[i]);
    segment->setCheckable(true);
    segment->setAutoRaise(false);
    group_->addButton(segment, i);
    row->addWidget(segment);
  }
  connect(group_, &QButtonGroup::idClicked, this, [this](int) {
    if (action_) action_();
  });
}

int MISegmentedControl::selectedSegment() const { return group_->checkedId(); }

void MISegmentedControl::setSelectedSegment(int segment) {
  if (QAbstractButton* button = group_->button(segment)) {
    button->setChecked(true);
    return;
  }
  group_->setExclusive(false);
  for (QAbstractButton* button : group_->buttons()) button->setChecked(false);
  group_->setExclusive(true);
}
