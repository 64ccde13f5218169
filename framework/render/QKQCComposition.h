#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

// What the program needs to know of a composition file before it is played:
// its published inputs and outputs with the settings of their splitters and
// their default values, its category and description, and whether it takes
// live video input. The file is read as a property list (see
// docs/COMPOSITIONS.md) without being run, on any thread but the render
// thread; the reader is immutable once made, so it may be shared.
//
// A port record is the splitter node's "state" without the keys that
// describe a patch rather than the port (cleanUpStateDict); an input's record
// also holds "defaultVal", its value in the file's "inputParameters". A port
// whose splitter is not found gets an empty record.
class QKQCComposition {
 public:
  // States nested deeper than this are refused.
  static constexpr int kMaxStateDepth = 32;

  // Null (logged) for an empty path, an unreadable file, one without
  // "rootPatch" or its "state", or one nesting states too deeply.
  static std::shared_ptr<QKQCComposition> compositionWithFile(const QString& path);

  const QString& compositionPath() const { return compositionPath_; }
  const QVariantMap& publishedInputsDict() const { return publishedInputsDict_; }
  const QVariantMap& publishedOutputsDict() const { return publishedOutputsDict_; }
  // Empty when the file has none.
  const QString& category() const { return category_; }
  const QString& description() const { return description_; }
  bool hasLiveInput() const { return hasLiveInput_; }
  // The published input keys in the file's order; empty when there is none.
  const QStringList& inputKeys() const { return inputKeys_; }

  // The splitter node (a "QCSplitter" node dictionary) that a published
  // port of `state` leads to, through nested states when the port leads
  // into a macro patch; none when it is not found.
  static std::optional<QVariantMap> findSplitterForPublishedInputNamed(const QString& name,
                                                                       const QVariantMap& state);
  static std::optional<QVariantMap> findSplitterForPublishedOutputNamed(const QString& name,
                                                                        const QVariantMap& state);
  // Whether a "QCVideoInput" node occurs in the state or any nested state.
  static bool findVideoInputInStateDict(const QVariantMap& state);
  // Removes "userInfo", "version", "nodes", "publishedInputPorts",
  // "publishedOutputPorts", "ivarInputPortStates", "systemInputPortStates"
  // and "connections".
  static void cleanUpStateDict(QVariantMap& state);

  // The file's top-level dictionary; none, with `error` set, when it cannot
  // be read or is not a dictionary.
  static std::optional<QVariantMap> readFile(const QString& path, QString* error = nullptr);
  // "rootPatch" → "state" of a file's dictionary; none when either is
  // missing or not a dictionary.
  static std::optional<QVariantMap> rootState(const QVariantMap& file);
  // The string "key"s of a state's "publishedInputPorts" (or outputs, by
  // `portsKey`) in order; ports without a string key are skipped, logged.
  static QStringList publishedKeys(const QVariantMap& state, const QString& portsKey);

 private:
  QKQCComposition() = default;
  bool initWithFile(const QString& path);
  void readPorts(const QVariantMap& rootState, const QString& portsKey, QVariantMap& records,
                 QStringList* order);
  void readDefaults(const QVariantMap& file);

  QString compositionPath_;
  QVariantMap publishedInputsDict_;
  QVariantMap publishedOutputsDict_;
  QString category_;
  QString description_;
  bool hasLiveInput_ = false;
  QStringList inputKeys_;
};
