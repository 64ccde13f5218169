#pragma once

#include <QString>
#include <QStringList>

#include <QMenu>

class QComboBox;

#include <functional>
#include <memory>

// The comp modes a layer can use, as three parallel lists: menu titles,
// identifiers (the name a layer stores) and kinds. Entry i of each stands
// for item i of the comp-mode menu; separators are "divider" in all three.
class CompModeLists {
 public:
  static const QString kDivider;     // "divider"
  static const QString kFilterKind;  // "CoreImage comp. mode"
  static const QString kBlendKind;   // "OpenGL blend mode"
  static const QString kQCKind;      // "QC Comp. mode"
  static const QString kAddTitle;    // "OpenGL Add"
  static const QString kOverTitle;   // "OpenGL Over"

  using ValidCheck = std::function<bool(const QString& path)>;
  using Localizer = std::function<QString(const QString& filterName)>;

  // The compositing filters (in the order given, titled by `localized`),
  // a divider, OpenGL Add (770:772) and Over (770:771), a divider, then the
  // comp-mode compositions found in `folders` (each ending in "/"), sorted
  // by name ignoring case.
  static CompModeLists build(const QStringList& filterNames, const Localizer& localized,
                             const QStringList& folders, const ValidCheck& isValid);

  // The file names of the comp-mode compositions of the folders, in the
  // order first accepted: extension exactly "qtz" or "QTZ"; a name already
  // accepted is logged as a duplicate and skipped.
  static QStringList compositionNames(const QStringList& folders, const ValidCheck& isValid);
  // "%ld:%ld" of the two GL blend factors.
  static QString blendIdentifier(long source, long destination);
  static bool hasCompositionExtension(const QString& fileName);

  // The menu: a separator for each divider, else an item titled by its
  // title with the kind as tool tip and {identifier, kind} as data.
  std::unique_ptr<QMenu> makeMenu() const;
  // Fills a pop-up the same way, each item's data its index in the lists.
  void fillPopUp(QComboBox& box) const;

  void append(const QString& title, const QString& name, const QString& tag);
  void appendDivider() { append(kDivider, kDivider, kDivider); }

  QStringList humanNames;  // compFilterHumanNameArray
  QStringList names;       // compFilterNameArray
  QStringList tags;        // compFilterTagArray
};
