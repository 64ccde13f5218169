#pragma once

#include "framework/datasource/DSPointHolderDelegate.h"

#include <QPointF>
#include <QRectF>

#include <atomic>
#include <cstdint>
#include <memory>

class DataSourceController;
class DSPointHolder;

// The built-in sources of the controller: the root "Mouse" (a point holder
// with the children "X" and "Y") with the pointer position, divided by the
// main display's size taken at creation, in screen coordinates whose origin
// is the main display's lower left corner. On the main display the values
// run 0 … 1; on another display they fall outside.
//
// The pointer is sampled on the main thread (`samplePointer`, driven by the
// controller's timer) into atomics; the tick thread only reads those.
class QKDSBuiltIn : public DSPointHolderDelegate, public std::enable_shared_from_this<QKDSBuiltIn> {
 public:
  // Takes the main display's bounds (when there is a screen) and puts the
  // "Mouse" root in place through the controller.
  static std::shared_ptr<QKDSBuiltIn> createWithController(DataSourceController* controller);

  float xValForPointHolder(DSPointHolder* holder) override;
  float yValForPointHolder(DSPointHolder* holder) override;

  // Main thread: reads the pointer's global position.
  void samplePointer();
  // Stores a pointer position given in the windowing system's global
  // coordinates (origin top left, y down).
  void setGlobalPointerPosition(QPointF position);

  // The pointer, in windowing-system coordinates, as the normalised values
  // above for a main display with the given bounds.
  static QPointF normalizedPointer(QPointF position, QRectF mainDisplay);

  // The main display's identifier, taken at creation; 0 without a screen.
  // It is made from the screen's connector name and serial number (see
  // displayIdentifier), so the same monitor on the same connector keeps it
  // from run to run.
  std::uint32_t mainDisplay() const { return mainDisplay_; }
  QRectF displayRect() const { return displayRect_; }

  // The first 32 bits (big-endian) of the SHA-1 of the UTF-8 name, a
  // newline and the UTF-8 serial number. Never 0 (which means no display).
  static std::uint32_t displayIdentifier(const QString& name, const QString& serialNumber);
  const std::shared_ptr<DSPointHolder>& mousePointHolder() const { return mousePointHolder_; }

 private:
  QKDSBuiltIn(DataSourceController* controller, std::uint32_t mainDisplay, QRectF displayRect);
  void install();

  DataSourceController* dataSourceController_;
  std::uint32_t mainDisplay_;
  QRectF displayRect_;
  std::shared_ptr<DSPointHolder> mousePointHolder_;
  std::atomic<float> x_{0.0f};
  std::atomic<float> y_{0.0f};
};
