#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

// The preset records of a project and the arithmetic on them that needs no
// window: their order, names, placement, stepping, renumbering, and the
// reading of the "presets" array of a project file, older layouts included.
// A record is a dictionary with "QKPMNameKey", "QKPMTypeKey",
// "QKPMIndexKey" and the snapshot keys of its kind.
namespace PresetRecords {

inline const QString kNameKey = QStringLiteral("QKPMNameKey");
inline const QString kTypeKey = QStringLiteral("QKPMTypeKey");
inline const QString kIndexKey = QStringLiteral("QKPMIndexKey");

inline const QString kEverything = QStringLiteral("Everything");
inline const QString kPlugins = QStringLiteral("Plugins");
inline const QString kLayers = QStringLiteral("Layers");
inline const QString kLayerFX = QStringLiteral("Layer FX");

inline const QString kCompositorSnapshotKey = QStringLiteral("compositorSnapshot");
inline const QString kPluginManagerSnapshotKey = QStringLiteral("PMSnapshot");
inline const QString kWindowPositionSnapshotKey = QStringLiteral("windPosSnapshot");
inline const QString kLayerFXSnapshotKey = QStringLiteral("layerFXSnapshot");
inline const QString kLayerFXShortcutSnapshotKey = QStringLiteral("layerFXShortcutSnapshot");

// The snapshot keys a kind holds; none for an unknown kind.
QStringList snapshotKeys(const QString& kind);

// A record's index, name and kind; nullopt-like defaults (-1, empty) when
// missing or of the wrong type.
qint64 indexOf(const QVariant& record);
QString nameOf(const QVariant& record);
QString kindOf(const QVariant& record);

// The positions of `records` in table order: by "QKPMIndexKey" ascending,
// equal indices in array order.
QVector<int> arrangedOrder(const QVariantList& records);

// "untitled 1", "untitled 2", …: the first that no record is named.
bool nameExists(const QString& name, const QVariantList& records);
QString uniqueName(const QVariantList& records);

// The record at `newPosition` (appended with index n) lands just below the
// selected row: records indexed above `selectedRow` move down one and the
// new one takes selectedRow + 1. No selection (-1) leaves it at the end.
void placeBelowSelectedRow(QVariantList& records, int newPosition, int selectedRow);

// Sets every record's index to its place in `order` (positions into
// `records`), 0 … n−1.
void renumber(QVariantList& records, const QVector<int>& order);

// Stepping over the rows of the table (n rows, selected row s): the row
// to select, or -1 when nothing changes. A kind steps to the next (or
// previous) record of that kind, wrapping, never onto s itself; any kind
// moves one row, wrapping, and needs two rows.
int stepToKind(const QVariantList& records, const QVector<int>& order, int selectedRow,
               const QString& kind, bool forward);
int stepToAny(int rowCount, int selectedRow, bool forward);

// The "presets" array of a project file as records, in file order:
// elements that are not dictionaries are skipped; a missing (or mistyped)
// name comes from "presetName" or is empty, a missing kind is
// "Everything", a missing index takes the running count; "namedArray"
// groups are flattened depth first (deeper than 32: skipped, logged). The
// records are then renumbered 0 … n−1 in table order.
QVariantList readPresets(const QVariantList& elements);

}  // namespace PresetRecords
