#pragma once

#include "framework/media/QKFile.h"
#include "framework/media/StoredProps.h"

#include <optional>
#include <vector>

// A text shown on a layer by a text style composition. Either read from a
// text file on disk (a file entry: read-only, re-read at every project load,
// the project keeping only its path) or typed into a blank entry of a page
// (the project keeps the text itself).
//
// Making a file entry editable switches it to keeping its text in the
// project, so that an edit is saved rather than lost.
class QKTextFile : public QKFile {
 public:
  static const QString kMyStringKey;         // "myString"
  static const QString kReadOnlyFlagKey;     // "readOnlyFlag"
  static const QString kStoreStringFlagKey;  // "storeStringWithSetFileFlag"
  static const QString kNoText;              // "no text"
  // Larger files are not read.
  static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

  // The stored properties, their types and (in order) their defaults.
  static const std::vector<StoredProps::Key>& storedKeys();

  // Whether the path's extension is a text type: "txt", "text", "TEXT",
  // "ttxt" or "ttro" (exact case).
  static bool isTextFileType(const QString& path);
  // The text of a file: a byte-order mark names the encoding; else strict
  // UTF-8; else Latin-1. Null, with `error` set, when the file cannot be
  // read, is larger than kMaxFileBytes or holds binary data (NUL bytes
  // outside UTF-16 or UTF-32).
  static std::optional<QString> readText(const QString& path, QString* error);

  // An empty entry to restore from a snapshot.
  static std::shared_ptr<QKTextFile> createWithCompositor(CompositorInterface* compositor);
  // A blank entry of a page: "no text", editable, stored in the project.
  static std::shared_ptr<QKTextFile> createWithName(const QString& name,
                                                    CompositorInterface* compositor);
  // A file entry: the text read from `path`; invalid when it cannot be.
  static std::shared_ptr<QKTextFile> createWithPath(const QString& path, const QString& name,
                                                    CompositorInterface* compositor);

  explicit QKTextFile(CompositorInterface* compositor);
  QKTextFile(const QString& name, CompositorInterface* compositor);

  // The kind, the six defaults, and valid when there is a text.
  void initTextFile();

  QString myString() const { return myString_.value_or(QString()); }
  bool hasText() const { return myString_.has_value(); }
  void setMyString(const QString& text) { myString_ = text; }
  void clearMyString() { myString_.reset(); }
  bool readOnlyFlag() const { return readOnlyFlag_; }
  // Making the entry editable keeps its text in the project from then on.
  void setReadOnlyFlag(bool readOnly);
  bool storeStringWithSetFileFlag() const { return storeString_; }

  QVariantMap createSnapshot() override;
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) override;
  bool loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                        CompositorInterface* compositor) override;
  QVariantMap convertPropsToDict() const;
  void convertDictToProps(const QVariant& stored);

 private:
  bool loadText(const QVariantMap& snapshot);
  void readFromFullPath();

  std::optional<QString> myString_;
  bool readOnlyFlag_ = false;
  bool storeString_ = true;
};
