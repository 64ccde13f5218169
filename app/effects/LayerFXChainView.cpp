#include "app/effects/LayerFXChainView.h"

#include "app/compositor/CompModeLists.h"
#include "app/effects/CIFXLoader.h"
#include "app/effects/LayerFXChain.h"
#include "app/effects/LayerFXObject.h"
#include "app/effects/LayerFXObjectPanel.h"
#include "framework/render/QCUtils.h"
#include "platform/image/FilterRegistry.h"

#include <QComboBox>
#include <QDir>
#include <QScrollArea>
#include <QSet>
#include <QVBoxLayout>

#include <algorithm>

const QString LayerFXChainView::kAddEffectTitle = QStringLiteral("Add effect");

namespace {

bool byTitle(const LayerFXChainView::Choice& a, const LayerFXChainView::Choice& b) {
  return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
}

}  // namespace

LayerFXChainView::LayerFXChainView(LayerFXChain& chain, QWidget* parent)
    : QWidget(parent), chain_(chain) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  addEffect_ = new QComboBox(this);
  addEffect_->setToolTip(kAddEffectTitle);
  layout->addWidget(addEffect_);
  scroll_ = new QScrollArea(this);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_ = new QWidget;
  listLayout_ = new QVBoxLayout(list_);
  listLayout_->setContentsMargins(0, 0, 0, 0);
  listLayout_->setSpacing(2);
  listLayout_->addStretch(1);
  scroll_->setWidget(list_);
  layout->addWidget(scroll_, 1);
  connect(addEffect_, qOverload<int>(&QComboBox::activated), this,
          [this](int row) { choiceMade(row); });
  reloadChoices();
  reloadEffects();
}

LayerFXChainView::~LayerFXChainView() { handBackPanels(); }

std::vector<LayerFXChainView::Choice> LayerFXChainView::effectChoices() {
  const image::FilterRegistry& registry = image::FilterRegistry::shared();
  std::vector<Choice> filters;
  for (const QString& name : registry.filterNamesInCategory(QString()))
    if (CIFXLoader::accepts(name))
      filters.push_back({registry.localizedNameForFilterName(name), false, name});
  std::stable_sort(filters.begin(), filters.end(), byTitle);

  std::vector<Choice> compositions;
  QSet<QString> seen;
  for (const QString& folder : QCUtils::searchFolders(QCUtils::kEffectsFolder))
    for (const QString& fileName : QDir(folder).entryList(QDir::Files, QDir::Name)) {
      const QString path = folder + fileName;
      if (!CompModeLists::hasCompositionExtension(fileName) || seen.contains(fileName) ||
          !QCUtils::isValidQCFXAtPath(path))
        continue;
      seen.insert(fileName);
      compositions.push_back({fileName, true, path});
    }
  std::stable_sort(compositions.begin(), compositions.end(), byTitle);

  filters.insert(filters.end(), compositions.begin(), compositions.end());
  return filters;
}

void LayerFXChainView::reloadChoices() {
  filling_ = true;
  choices_ = effectChoices();
  addEffect_->clear();
  addEffect_->addItem(kAddEffectTitle);
  bool compositions = false;
  for (size_t i = 0; i < choices_.size(); ++i) {
    if (choices_[i].composition && !compositions) {
      addEffect_->insertSeparator(addEffect_->count());
      compositions = true;
    }
    addEffect_->addItem(choices_[i].title, int(i));
    addEffect_->setItemData(addEffect_->count() - 1, choices_[i].name, Qt::ToolTipRole);
  }
  addEffect_->setCurrentIndex(0);
  filling_ = false;
}

void LayerFXChainView::choiceMade(int row) {
  if (filling_) return;
  const QVariant index = addEffect_->itemData(row);
  addEffect_->setCurrentIndex(0);
  if (!index.isValid() || index.toInt() < 0 || size_t(index.toInt()) >= choices_.size()) return;
  const Choice choice = choices_[size_t(index.toInt())];
  // The chain tells its layer, which shows the new effect.
  if (choice.composition)
    chain_.addQCFXFromPath(choice.name);
  else
    chain_.addCIFXNamed(choice.name);
}

void LayerFXChainView::handBackPanels() {
  while (listLayout_->count() > 1) {
    QLayoutItem* item = listLayout_->takeAt(0);
    if (QWidget* panel = item->widget()) {
      panel->hide();
      panel->setParent(nullptr);
    }
    delete item;
  }
}

void LayerFXChainView::reloadEffects() {
  handBackPanels();
  int row = 0;
  for (const FXChain::Element& element : chain_.fxArray()) {
    auto* effect = dynamic_cast<LayerFXObject*>(element.get());
    if (!effect || effect->deleted()) continue;
    LayerFXObjectPanel* panel = effect->panel();
    panel->setMinimumHeight(panel->height());
    listLayout_->insertWidget(row++, panel);
    panel->updateMixMode();
    panel->show();
  }
}

std::vector<QWidget*> LayerFXChainView::shownPanels() const {
  std::vector<QWidget*> panels;
  for (int i = 0; i < listLayout_->count(); ++i)
    if (QWidget* panel = listLayout_->itemAt(i)->widget()) panels.push_back(panel);
  return panels;
}
