#pragma once

#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/datasource/MasterClockClient.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QCPanelElement.h"
#include "platform/composition/PortValue.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QScrollArea>
#include <QSizeF>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class MasterClockInterface;
class QCElementHandOff;
class QKQCComposition;
namespace composition {
class QCRenderer;
}

// The control panel of one composition: one element per published input,
// stacked top to bottom in the order of the input keys sorted without
// regard to case, and the hand-off of every change to the composition's
// renderer on the render thread. It also feeds the inputs that follow the
// master clock (a number input whose key begins with "ZAPHBPM" takes the
// tempo, one beginning with "MeasurePosition" and its spellings the
// measure position) and the image inputs fed from taps.
//
// Which element an input gets (classify) goes by its port class and key;
// the element is made by that kind's factory (QCElementFactories). An input
// whose kind has no factory is skipped with one log line.
//
// A composition may come with a Qt Designer form (its panel file): then
// nothing is made; the form's control whose "key" property names an input
// becomes that input's element, an input without one is left out, and the
// form's learnable tab views bound to no input keep their state in the
// panel's snapshots ("tabViewsDict"). A form that does not load leaves the
// generated panel.
//
// Threads. Loading, layout, snapshots and the element list belong to the
// main thread. An element's change (its action) may come on any thread: it
// is queued in the hand-off, never touching a view. The owner's render
// thread calls dumpToRenderer before every render: it delivers what is
// queued (reading the elements' values, never their views), the tempo when
// it changed, the measure position and the tap images. A snapshot refresh
// that a change calls for on another thread is handed to the main thread,
// at most one pending per element. What the render thread needs of the
// panel (tempo and measure-position keys, taps) is published whole when a
// composition is loaded or removed.
class QCAttributeLoader : public QWidget,
                          public DataSourceControllerClient,
                          public MasterClockClient {
  Q_OBJECT
 public:
  // What a published input becomes.
  struct Choice {
    enum class Role { Skip, Tempo, MeasurePosition, Element };
    Role role = Role::Skip;
    QCElementFactories::Kind kind = QCElementFactories::Kind::Slider;
    bool operator==(const Choice& other) const {
      return role == other.role && (role != Role::Element || kind == other.kind);
    }
  };
  // The element table: by port class ("QCNumberPort" …) and key.
  static Choice classify(const QString& portClass, const QString& key);
  // The keys in panel order (case-insensitive, stable).
  static QStringList sortedKeys(QStringList keys);

  explicit QCAttributeLoader(QWidget* parent = nullptr);
  ~QCAttributeLoader() override;

  // Posts the master clock's finder notification.
  void awakeFromNib();

  // Main thread. Removes what the panel held, then makes the elements of
  // the composition's inputs; a null composition only clears. With a form
  // path, the controls of that form instead.
  void loadAttributesForComposition(std::shared_ptr<const QKQCComposition> composition,
                                    const QString& formPath = QString());
  // The same with a form already read (the panel takes it; null for none).
  void loadAttributesForComposition(std::shared_ptr<const QKQCComposition> composition,
                                    QWidget* form);
  void setComposition(std::shared_ptr<const QKQCComposition> composition);
  std::shared_ptr<const QKQCComposition> composition() const { return composition_; }

  // Queues `element` for the next frame (any thread). Ignored once deleted,
  // without a composition, or for a null element.
  void uiElementUsed(const std::shared_ptr<QCPanelElement>& element);

  // Render thread, before every render. `fallbackImage` (an image value, or
  // empty for none) is set on a tap's input while the tap has no texture.
  void dumpToRenderer(const std::shared_ptr<composition::QCRenderer>& renderer,
                      const composition::PortValue& fallbackImage = {});

  // The tempo 60 / measureDuration × beatsPerMeasure of `clock`; none when
  // it is not finite (a measure of 0 s), so the inputs keep the last one.
  static std::optional<float> tempoOf(const MasterClockInterface& clock);
  // The clock's notification: the tempo reaches the tempo inputs at the
  // next frame.
  void masterClockChangedNotification();

  // Main thread: writes the element's snapshot into the live snapshot.
  void paramSnapUpdated(const QCPanelElement& element);

  std::shared_ptr<QCPanelElement> findElementWithKey(const QString& key) const;
  std::shared_ptr<QCPanelElement> findTabViewWithKey(const QString& key) const;
  bool hasAttributes() const { return !elementArray_.empty() || !tabViewArray_.empty(); }
  // A form's tab views bound to no input.
  const std::vector<std::shared_ptr<QCPanelElement>>& tabViewArray() const { return tabViewArray_; }
  // The form's top view, or null for a generated panel, and its size when
  // it was read ((1, 1) before).
  QWidget* topNibView() const { return topNibView_.data(); }
  QSizeF topNibViewNativeSize() const { return topNibViewNativeSize_; }
  // The form's control under `key` (depth first, tab pages in order), or
  // null. A control is known by its "key" property, or by the key of a
  // slider, button or tab view.
  QWidget* recursivelySearchView(QWidget* view, const QString& key) const;
  static QString keyOfView(const QWidget* view);
  const std::vector<std::shared_ptr<QCPanelElement>>& elementArray() const { return elementArray_; }
  const std::vector<std::shared_ptr<QCPanelElement>>& tapArray() const { return tapArray_; }
  const QStringList& bpmInputsArray() const { return bpmInputsArray_; }
  const QStringList& measurePositionInputsArray() const { return measurePositionInputsArray_; }
  // The text element of the last "FileInput" key, or null.
  std::shared_ptr<QCPanelElement> defaultFileInput() const { return defaultFileInput_.lock(); }
  // The same for the render thread (as published with the composition).
  std::shared_ptr<QCPanelElement> renderThreadFileInput() const;

  void removeAllExistingElements();
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  // Empty for a panel without elements (nothing to save).
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  // Snapshots whose entries are found by the elements' keys alone.
  void deprecatedLoadSnapshot(const QVariantMap& snapshot);
  const QVariantMap& currentSnapshotDict() const { return currentSnapshotDict_; }
  // An empty dictionary takes a fresh snapshot.
  void setCurrentSnapshotDict(const QVariantMap& snapshot);
  void setLiveUpdating(bool flag) { liveUpdating_.store(flag); }
  bool liveUpdating() const { return liveUpdating_.load(); }
  bool presetsAreLoading() const { return presetsAreLoading_; }

  // The scroll view that shows the panel; its viewport width is the
  // panel's width. Lays the panel out again.
  void setParentScrollView(QScrollArea* scrollView);
  QScrollArea* parentScrollView() const { return parentScrollView_; }
  void resizeAndReposition();

  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  // Also follows the clock's measure-duration notification.
  void setMasterClock(MasterClockInterface* clock) override;
  MasterClockInterface* masterClock() const { return masterClock_.load(); }

  // Tests: the hand-off between the senders and the render thread.
  QCElementHandOff& handOff() const { return *handOff_; }

 protected:
  // Whether an input the table gives an element gets one (a kind of panel
  // may leave inputs out that its owner feeds itself).
  virtual bool wantsElementForInput(const QString& key, Choice choice) const {
    (void)key;
    (void)choice;
    return true;
  }
  // The elements in the order they are laid out top to bottom.
  virtual void orderElementsForLayout(std::vector<std::shared_ptr<QCPanelElement>>& elements) {
    (void)elements;
  }

 private:
  // What the render thread reads of the panel, replaced whole.
  struct RenderPlan {
    QStringList bpmKeys;
    QStringList measurePositionKeys;
    std::vector<std::shared_ptr<QCPanelElement>> taps;
    std::shared_ptr<QCPanelElement> textElement;
  };

  void generateInterface();
  void addElementForInput(const QString& key, const QVariantMap& description, Choice choice);
  std::shared_ptr<QCPanelElement> findInForm(const QString& key, const QVariantMap& description,
                                             Choice choice) const;
  void bindElement(const std::shared_ptr<QCPanelElement>& element, Choice choice, bool notices);
  void watchElement(const std::shared_ptr<QCPanelElement>& element, bool notices);
  void addFormTabViews();
  void updateParentScrollView();
  void publishRenderPlan();
  void processUIElement(const std::shared_ptr<QCPanelElement>& element,
                        composition::QCRenderer& renderer);
  // The element's listing for the renderer bound now, made at its first
  // delivery to it.
  const QCPanelElement::RendererListing& listingOf(const QCPanelElement& element,
                                                   const composition::QCRenderer& renderer) const;
  void requestSnapshotRefresh(const std::shared_ptr<QCPanelElement>& element);
  void pushTempo(composition::QCRenderer& renderer, const RenderPlan& plan);
  void dumpMeasurePositions(composition::QCRenderer& renderer, const RenderPlan& plan);
  void dumpTaps(composition::QCRenderer& renderer, const RenderPlan& plan,
                const composition::PortValue& fallbackImage);
  std::shared_ptr<QCPanelElement> matchSnapshot(const QVariantMap& snapshot) const;
  void loadElementSnapshot(QCPanelElement& element, const QVariantMap& snapshot);

  QPointer<QScrollArea> parentScrollView_;
  std::vector<std::shared_ptr<QCPanelElement>> elementArray_;
  std::vector<std::shared_ptr<QCPanelElement>> tabViewArray_;
  QPointer<QWidget> topNibView_;
  QSizeF topNibViewNativeSize_{1.0, 1.0};
  std::vector<std::shared_ptr<QCPanelElement>> tapArray_;
  QStringList bpmInputsArray_;
  QStringList measurePositionInputsArray_;
  std::weak_ptr<QCPanelElement> defaultFileInput_;
  std::shared_ptr<const QKQCComposition> composition_;
  QVariantMap currentSnapshotDict_;
  std::atomic<bool> liveUpdating_{false};
  std::atomic<MasterClockInterface*> masterClock_{nullptr};
  DataSourceController* dataSourceController_ = nullptr;
  bool presetsAreLoading_ = false;
  std::shared_ptr<QCElementHandOff> handOff_;
  // Whether element actions are taken (a composition is loaded and the
  // panel lives); shared with the actions.
  std::shared_ptr<std::atomic<bool>> accepting_;
  std::atomic<bool> deleted_{false};
  std::atomic<std::shared_ptr<const RenderPlan>> renderPlan_;
  std::atomic<bool> tempoPending_{false};
  // Render thread only: the renderer, and the number that names this
  // binding to it in the elements' listings (new for every renderer).
  std::weak_ptr<composition::QCRenderer> renderer_;
  std::uint64_t rendererBinding_ = 0;
  // Lives as long as the panel: main-thread work queued by other threads
  // checks it before touching the panel.
  std::shared_ptr<int> alive_;
  NotificationObservers observers_;
  NotificationObservers clockObservers_;
};
