#pragma once

#include "platform/image/Filter.h"
#include "platform/image/Kernel.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

// The shape every built-in filter shares: it is made by its registered name,
// takes "inputImage" and its parameters by key and gives "outputImage" over
// the input's extent. A parameter set to nothing keeps its value; a number
// outside the parameter's range is clamped to it and one that is not finite
// is ignored. A kernel that is missing, unreadable or does not compile gives
// the input unchanged, logged once per filter.
class CustomFilter : public image::Filter {
 public:
  // One scalar parameter's attribute row.
  struct ScalarRow {
    QString key;
    double min;
    double max;
    double sliderMin;
    double sliderMax;
    double defaultValue;
    double identity;
    bool basicSet = true;   // carries CIUIParameterSet = CIUISetBasic
    bool described = true;  // has an attribute (a panel offers it)
  };
  static QVariantMap scalarAttribute(const ScalarRow& row);
  static QVariantMap imageAttribute(const QString& displayName);

  CustomFilter(const QString& name, QStringList inputKeys, QString kernelName);

  void setValue(const QVariant& value, const QString& forKey) override;

  const QString& kernelName() const { return kernelName_; }
  // Whether a failure of this filter's kernel was logged (once per name).
  static bool kernelFailureLogged(const QString& filterName);

 protected:
  // The kernel applied to the arguments over the input's extent; the input
  // unchanged when the kernel cannot run.
  image::Image applyKernel(const image::Image& input,
                           const std::vector<image::KernelArgument>& arguments);
  // The kernel applied over `output`; nothing when the kernel is missing,
  // unreadable or does not compile (logged once per filter), a null image
  // when the engine refuses the pass.
  std::optional<image::Image> kernelResult(const image::Kernel::Output& output,
                                           const std::vector<image::KernelArgument>& arguments);
  // The output of a kernel reading `input` over `extent`: a finite region,
  // taken from what the input's texture covers when the extent is infinite.
  static image::Kernel::Output outputOver(const QRectF& extent, const image::Image& input);
  // The attribute dictionary of an input key (empty when it has none).
  virtual QVariantMap attributeFor(const QString& key) const;
  // Stores a checked value (the base stores it as it is).
  virtual void storeValue(const QVariant& value, const QString& forKey);

 private:
  void logKernelFailureOnce(const QString& why) const;

  QString kernelName_;
};
