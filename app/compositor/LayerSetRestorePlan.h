#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <vector>

// The layer tree a compositor snapshot asks for, checked before anything
// live is touched, and the name lists a differential restore works from.
//
// The tree keeps the entries in their order. An entry that is not a
// dictionary, has no name, nests deeper than `kMaxDepth` levels or repeats
// the name of a group it sits in is left out (logged); a later entry of a
// name already taken gets the first free " %ld" suffix (logged), so every
// name in the tree is unique. A group's members come from its "layerArray"
// (anything else counts as none); "parentLayerName" is not read: where an
// entry sits says where it goes.
class LayerSetRestorePlan {
 public:
  static constexpr int kMaxDepth = 32;

  struct Entry {
    QString name;
    bool group = false;
    QVariantMap snapshot;  // "layerName" holds `name`
    std::vector<Entry> members;
  };

  explicit LayerSetRestorePlan(const QVariantList& layerSnapArray);

  const std::vector<Entry>& tree() const { return tree_; }
  // Depth first, groups before their members.
  std::vector<const Entry*> entries() const;
  // Names of the non-group layers and of the groups, depth first.
  QStringList layerNames() const { return layerNames_; }
  QStringList groupNames() const { return groupNames_; }

  // The names of `from` that `other` does not contain, in `from`'s order.
  static QStringList missingFrom(const QStringList& from, const QStringList& other);

 private:
  std::vector<Entry> clean(const QVariantList& array, int depth, QStringList& ancestors);
  QString uniqueName(const QString& name);

  std::vector<Entry> tree_;
  QStringList layerNames_;
  QStringList groupNames_;
  QStringList taken_;
};
