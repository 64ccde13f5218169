#pragma once

#include "platform/composition/PortValue.h"
#include "platform/gl/TextureHandle.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

// One control of a composition panel (QCAttributeLoader): a view the
// performer moves, and beside it the value it hands to the renderer, kept
// so that any thread may read it (the render thread never touches the
// view). Elements are made by the factories of QCElementFactories and held
// in std::shared_ptr: a queued hand-off keeps its element alive until the
// render thread has delivered it.
//
// Threads: view(), setFrame, snapshots and prepareToBeDeleted belong to the
// main thread. key(), value(), snapshotAfterDelivery() and tapTexture() may
// be called from any thread. The two callbacks (setAction,
// setSnapshotNotice) may be called on any thread: the main thread, the
// data-source tick, or a MIDI or OSC input thread.
class QCPanelElement {
 public:
  // The row an element takes in a generated panel (its height and inset).
  enum class Row { Slider, Button, String, Text, Color, Position, Rectangle, Tap, PopUp, None };
  // When a delivery to the renderer refreshes the panel's live snapshot.
  enum class SnapOnDelivery { Always, WhenKeyListed, Never };

  using Callback = std::function<void()>;

  virtual ~QCPanelElement() = default;

  // The published input the element drives; fixed once made.
  virtual QString key() const = 0;
  // The view on screen; null once it has gone.
  virtual QWidget* view() const = 0;
  virtual Row row() const = 0;
  // Places the view in the panel's coordinates.
  virtual void setFrame(const QRectF& frame);

  // The value the renderer takes for key(), read at delivery; none when the
  // element hands nothing on (its input is fed another way).
  virtual std::optional<composition::PortValue> value() const = 0;
  // Whether a delivery refreshes the live snapshot, given whether the
  // renderer lists the key.
  virtual bool snapshotAfterDelivery(bool keyListed) const = 0;

  // Sent on every change of the value (the panel queues the element).
  virtual void setAction(Callback action) = 0;
  // Sent when a change is worth a new snapshot (bindings, envelopes, marks).
  virtual void setSnapshotNotice(Callback notice) = 0;

  // Empty when the element has nothing to save.
  virtual QVariantMap createSnapshot() const = 0;
  virtual void loadSnapshot(const QVariantMap& snapshot) = 0;
  // Older snapshots carry no "key": they name the element by this entry
  // ("sliderName" for sliders, "title" for the others) …
  virtual QString legacyNameKey() const { return QStringLiteral("title"); }
  // … holding this name.
  virtual QString legacyName() const = 0;

  virtual void prepareToBeDeleted() = 0;

  // The value a filter input takes (the filter panel, CIAttributeLoader):
  // by default the value() as a QVariant (a number as a double, a boolean,
  // a QColor). Any thread.
  virtual QVariant filterValue() const;
  // Position and rectangle elements: the size of the picture their values
  // are measured in (main thread).
  virtual void setCanvasSize(QSizeF) {}

  // Image elements: the texture fed to the input (render thread); null when
  // there is none. Other elements answer false and null.
  virtual bool isTap() const { return false; }
  virtual gl::TextureHandle tapTexture() const { return {}; }
  // Image elements: refill the list of taps (after a snapshot is loaded).
  virtual void reloadAvailableTaps() {}

  // The height of `row` and how far it is inset on both sides (x = inset,
  // width = panel width - 2 * inset); 0 height for Row::None.
  static int rowHeight(Row row);
  static int rowInset(Row row);
  // The frame a factory gives an element of `row` in a panel that wide:
  // (0, 0, width, rowHeight(row)). Sliders, strings and text take the
  // panel's whole width, the fixed-size rows are 25 narrower.
  static QRectF rowFrame(Row row, double panelWidth);
  // The gap between two rows.
  static constexpr int kRowGap = 4;

  // Whether the renderer a panel was bound to lists key() (kept with the
  // key), as the panel found it at the first delivery of the element to
  // that renderer (`binding` names the renderer). Render thread only, kept
  // for the panel that delivers the element, so that a frame neither looks
  // every queued key up again nor copies it.
  struct RendererListing {
    std::uint64_t binding = 0;
    bool listed = false;
    QString key;
  };
  RendererListing& rendererListing() const { return rendererListing_; }

  // Whether the element waits in its panel's hand-off (QCElementHandOff),
  // so that a change while it waits does not queue it twice. Any thread.
  std::atomic<bool>& handOffQueued() const { return handOffQueued_; }

 private:
  mutable RendererListing rendererListing_;
  mutable std::atomic<bool> handOffQueued_{false};
};
