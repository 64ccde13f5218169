#pragma once

#include <QString>
#include <QStringList>

// One category of the effects browser: its name, the name it is shown
// under, its kind and its effects. The three effect lists run in parallel,
// one entry per effect.
struct FilterCategory {
  static inline const QString kTypeFilter = QStringLiteral("CIFilter");
  static inline const QString kTypeComposition = QStringLiteral("QTZ");
  static inline const QString kTypeAll = QStringLiteral("All");

  QString
      realCatName;  // the registry's category, "ALL", "SearchResults" or the composition category
  QString humanCatName;               // shown in the category list and as its tool tip
  QString catType;                    // kTypeFilter, kTypeComposition or kTypeAll
  QStringList catFilterNames;         // filter names, or the composition files' full paths
  QStringList catFilterHumanNames;    // shown in the effect list
  QStringList catFilterDescriptions;  // the effect list's tool tips

  static FilterCategory named(const QString& realName, const QString& humanName,
                              const QString& type) {
    FilterCategory made;
    made.realCatName = realName;
    made.humanCatName = humanName;
    made.catType = type;
    return made;
  }

  int count() const { return int(catFilterNames.size()); }
  void append(const QString& name, const QString& humanName, const QString& description) {
    catFilterNames << name;
    catFilterHumanNames << humanName;
    catFilterDescriptions << description;
  }
};
