#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

class DataSourceController;

// The edits of one kind of dedicated input (MIDI or OSC) that the input
// preferences make: dedicating a detected input under a new published name,
// pointing a published name at another raw input, renaming a published
// name and deleting a dedication. The manager keeps the mapping (raw name →
// published name) and stores it; this moves the data-source nodes and
// changes the mapping only when every move it needs succeeded, so the tree,
// the mapping and the defaults always agree. A published name already in
// use is refused, so no edit can put one node in place of another.
//
// Main thread only.
class DedicatedSourcesEditor {
 public:
  // The manager's side of the bookkeeping.
  struct Manager {
    std::function<QVariantMap()> dictionary;
    std::function<void(const QVariantMap&)> setDictionary;
    std::function<void()> save;
    // The default published name of a new dedication.
    std::function<QString()> uniqueName;
  };
  struct Row {
    QString rawName;
    QString publishedName;
    bool operator==(const Row&) const = default;
  };
  struct Result {
    enum Kind { Changed, Unchanged, Refused };
    Kind kind = Unchanged;
    QString reason;  // why it was refused, in words for the pane
    static Result changed() { return {Changed, {}}; }
    static Result unchanged() { return {Unchanged, {}}; }
    static Result refused(QString why) { return {Refused, std::move(why)}; }
  };

  // `rawRoot` "MIDI" or "OSC"; `dedicatedRoot` "Dedicated MIDI" or
  // "Dedicated OSC".
  DedicatedSourcesEditor(QString rawRoot, QString dedicatedRoot, DataSourceController* dsc,
                         Manager manager);

  const QString& rawRoot() const { return rawRoot_; }
  const QString& dedicatedRoot() const { return dedicatedRoot_; }

  // The rows, sorted case-insensitively by published name; rebuilt from the
  // manager's mapping by `prepTableData` (and after every change).
  const std::vector<Row>& rows() const { return rows_; }
  const Row* rowAt(int row) const;
  void prepTableData();

  // A detected input becomes a dedicated source under the manager's unique
  // name: its node moves (keeping its identity and subscribers), or a new one
  // is made when the input has none yet. An input already dedicated is left.
  Result dedicate(const QString& rawName);
  // The published name of `row` follows another raw input; the old input's
  // node goes back under the raw root. A name already dedicated is ignored.
  Result setRawName(int row, const QString& rawName);
  Result setPublishedName(int row, const QString& publishedName);
  // The node goes back under the raw root; the dedicated holder goes with
  // its last entry.
  Result deleteRow(int row);

  // `prefix` followed by the first number from `first` up that names no node
  // under the dedicated root and no row.
  QString firstFreeName(const QString& prefix, long first) const;

 private:
  bool nodeAt(const QString& root, const QString& name) const;
  bool publishedNameTaken(const QString& name, int exceptRow) const;
  // Makes the dedicated holder when missing; answers whether it stands.
  bool ensureDedicatedHolder(bool& made);
  void removeDedicatedHolderIfEmpty();
  void commit(const QVariantMap& mapping);

  const QString rawRoot_;
  const QString dedicatedRoot_;
  DataSourceController* const dsc_;
  const Manager manager_;
  std::vector<Row> rows_;
};
