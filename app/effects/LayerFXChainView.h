#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class LayerFXChain;
class QComboBox;
class QScrollArea;
class QVBoxLayout;

// The effects of a layer as its panel shows them: an "Add effect" pop-up of
// the registered filters that can be effects and of the effect compositions
// of the effect folders, and under it each effect's own panel in chain
// order. The effects' panels are borrowed while shown and handed back,
// unparented, when the chain changes and when this view goes.
//
// Main thread only.
class LayerFXChainView : public QWidget {
  Q_OBJECT
 public:
  static const QString kAddEffectTitle;  // "Add effect"

  // One item of the "Add effect" pop-up.
  struct Choice {
    QString title;
    bool composition = false;
    QString name;  // the filter name, or the composition's path
  };

  explicit LayerFXChainView(LayerFXChain& chain, QWidget* parent = nullptr);
  ~LayerFXChainView() override;

  // The pop-up's effects: the filters by display name, then the
  // compositions by file name (ignoring case; of equal file names the first
  // folder's), each group sorted ignoring case.
  static std::vector<Choice> effectChoices();

  // Shows the chain's effects again (after the chain changed).
  void reloadEffects();
  // Lists the filters and compositions again.
  void reloadChoices();

  QComboBox* addEffectPopUp() const { return addEffect_; }
  // The effects' panels shown, in chain order.
  std::vector<QWidget*> shownPanels() const;

 private:
  void handBackPanels();
  void choiceMade(int row);

  LayerFXChain& chain_;
  QComboBox* addEffect_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QWidget* list_ = nullptr;
  QVBoxLayout* listLayout_ = nullptr;
  std::vector<Choice> choices_;
  bool filling_ = false;
};
