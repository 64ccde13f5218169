#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// Additions to dictionaries (QVariantMap).
namespace MutDictAdditions {

// A dictionary from alternating objects and keys, read in order up to the
// first nil (an invalid QVariant) in either place; an object left without a
// key is dropped. Nothing when the first object is nil. Keys are taken as
// strings.
std::optional<QVariantMap> dictionaryWithObjectsAndKeys(const QVariantList& objectsAndKeys);

// Deep merge of `other` into `self`: where both hold a dictionary under a
// key, the two merge key by key; in every other case `other`'s value wins.
void recursivelyAddThisDict(QVariantMap& self, const QVariantMap& other);

// The dictionary written out as source text that builds it again (colours,
// numbers, fonts and nested dictionaries; numbers in the C locale). A value
// of any other kind is logged and left out together with its key.
QString contentsAsSourceStringWithTabDepth(const QVariantMap& self, int depth);

// Sets objects[i] for keys[i], in order; only when both lists are non-empty
// and of the same length.
void addObjects(QVariantMap& self, const QVariantList& objects, const QStringList& forKeys);

}  // namespace MutDictAdditions
