// The edits of dedicated sources on a real data-source tree: every edit
// keeps the tree, the mapping and the stored mapping in agreement.
#include "app/shell/DedicatedSourcesEditor.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Result = DedicatedSourcesEditor::Result;
using Row = DedicatedSourcesEditor::Row;

const QString kMIDI = QStringLiteral("MIDI");
const QString kDedicated = QStringLiteral("Dedicated MIDI");
const QString kNote60 = QStringLiteral("note [60] ch. 1");
const QString kNote61 = QStringLiteral("note [61] ch. 1");
const QString kCtrl7 = QStringLiteral("ctrl [7] ch. 1");

class DedicatedSourcesEditorTest : public ::testing::Test {
 protected:
  DedicatedSourcesEditorTest() : dsc(DataSourceController::TickThread::Manual) {
    UserDefaults::standard().resetForTesting();
    editor = std::make_unique<DedicatedSourcesEditor>(
        kMIDI, kDedicated, &dsc,
        DedicatedSourcesEditor::Manager{
            [this] { return mapping; }, [this](const QVariantMap& d) { mapping = d; },
            [this] { ++saves; },
            [this] { return editor->firstFreeName(QStringLiteral("Ded. MIDI "), 1); }});
  }

  std::shared_ptr<DataSource> node(const QString& root, const QString& name) {
    return dsc.dataSourceForKeyArray({root, name});
  }
  std::shared_ptr<DataSource> rawInput(const QString& name) {
    return dsc.inputSourceForKeyArray({kMIDI, name});
  }
  int rowNamed(const QString& published) {
    for (std::size_t i = 0; i < editor->rows().size(); ++i)
      if (editor->rows()[i].publishedName == published) return static_cast<int>(i);
    return -1;
  }
  // "Kick" on note 60 and "Fader" on controller 7, from inputs already heard.
  void dedicateKickAndFader() {
    kick = rawInput(kNote60);
    fader = rawInput(kCtrl7);
    ASSERT_EQ(editor->dedicate(kNote60).kind, Result::Changed);
    ASSERT_EQ(editor->dedicate(kCtrl7).kind, Result::Changed);
    ASSERT_EQ(
        editor->setPublishedName(rowNamed(QStringLiteral("Ded. MIDI 1")), QStringLiteral("Kick"))
            .kind,
        Result::Changed);
    ASSERT_EQ(
        editor->setPublishedName(rowNamed(QStringLiteral("Ded. MIDI 2")), QStringLiteral("Fader"))
            .kind,
        Result::Changed);
    saves = 0;
  }

  DataSourceController dsc;
  QVariantMap mapping;
  int saves = 0;
  std::unique_ptr<DedicatedSourcesEditor> editor;
  std::shared_ptr<DataSource> kick, fader;
};

TEST_F(DedicatedSourcesEditorTest, ADetectedInputMovesItsOwnNodeUnderTheFirstFreeName) {
  const auto heard = rawInput(kNote60);
  EXPECT_FALSE(dsc.dataSourceForKeyArray({kDedicated}));
  ASSERT_EQ(editor->dedicate(kNote60).kind, Result::Changed);
  EXPECT_EQ(node(kDedicated, QStringLiteral("Ded. MIDI 1")), heard);
  EXPECT_FALSE(node(kMIDI, kNote60));
  EXPECT_EQ(mapping, (QVariantMap{{kNote60, QStringLiteral("Ded. MIDI 1")}}));
  EXPECT_EQ(saves, 1);

  // An input never heard gets a fresh node; one already dedicated is left.
  ASSERT_EQ(editor->dedicate(kCtrl7).kind, Result::Changed);
  EXPECT_TRUE(node(kDedicated, QStringLiteral("Ded. MIDI 2")));
  EXPECT_EQ(editor->dedicate(kNote60).kind, Result::Unchanged);
  EXPECT_EQ(mapping.size(), 2);
  EXPECT_EQ(saves, 2);
}

struct EditCase {
  const char* name;
  enum Kind { Raw, Published, Delete } kind;
  const char* row;  // the row's published name
  const char* value;
  Result::Kind expected;
};

void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class DedicatedSourcesEdits : public DedicatedSourcesEditorTest,
                              public ::testing::WithParamInterface<EditCase> {};

TEST_P(DedicatedSourcesEdits, ChangeTheTreeAndTheMappingTogetherOrNotAtAll) {
  dedicateKickAndFader();
  const auto next = rawInput(kNote61);
  const QVariantMap before = mapping;
  const EditCase& c = GetParam();
  const int row = rowNamed(QString::fromUtf8(c.row));
  const QString value = QString::fromUtf8(c.value);
  Result result;
  switch (c.kind) {
    case EditCase::Raw:
      result = editor->setRawName(row, value);
      break;
    case EditCase::Published:
      result = editor->setPublishedName(row, value);
      break;
    case EditCase::Delete:
      result = editor->deleteRow(row);
      break;
  }
  EXPECT_EQ(result.kind, c.expected);
  EXPECT_EQ(saves, c.expected == Result::Changed ? 1 : 0);
  EXPECT_EQ(result.reason.isEmpty(), c.expected != Result::Refused) << result.reason.toStdString();
  // The tree agrees with the mapping whatever happened, and the other row
  // keeps its node.
  for (auto it = mapping.cbegin(); it != mapping.cend(); ++it)
    EXPECT_TRUE(node(kDedicated, it.value().toString())) << it.value().toString().toStdString();
  EXPECT_EQ(node(kDedicated, QStringLiteral("Fader")), fader);
  if (c.expected != Result::Changed) {
    EXPECT_EQ(mapping, before);
    EXPECT_EQ(node(kDedicated, QStringLiteral("Kick")), kick);
    EXPECT_EQ(node(kMIDI, kNote61), next);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Edits, DedicatedSourcesEdits,
    ::testing::Values(
        EditCase{"RawUnchanged", EditCase::Raw, "Kick", "note [60] ch. 1", Result::Unchanged},
        EditCase{"RawOfAnotherRow", EditCase::Raw, "Kick", "ctrl [7] ch. 1", Result::Unchanged},
        EditCase{"RawEmpty", EditCase::Raw, "Kick", "", Result::Unchanged},
        EditCase{"RawHeard", EditCase::Raw, "Kick", "note [61] ch. 1", Result::Changed},
        EditCase{"RawTyped", EditCase::Raw, "Kick", "note [99] ch. 16", Result::Changed},
        EditCase{"RawNoRow", EditCase::Raw, "", "note [61] ch. 1", Result::Unchanged},
        EditCase{"PublishedEmpty", EditCase::Published, "Kick", "", Result::Unchanged},
        EditCase{"PublishedSame", EditCase::Published, "Kick", "Kick", Result::Unchanged},
        EditCase{"PublishedOfAnotherRow", EditCase::Published, "Kick", "Fader", Result::Refused},
        EditCase{"PublishedNew", EditCase::Published, "Kick", "Snare", Result::Changed},
        EditCase{"DeleteRow", EditCase::Delete, "Kick", "", Result::Changed},
        EditCase{"DeleteNoRow", EditCase::Delete, "", "", Result::Unchanged}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

TEST_F(DedicatedSourcesEditorTest, PointingANameAtAnotherInputKeepsTheNodeAndFreesTheOldInput) {
  dedicateKickAndFader();
  const auto next = rawInput(kNote61);
  ASSERT_EQ(editor->setRawName(rowNamed(QStringLiteral("Kick")), kNote61).kind, Result::Changed);
  EXPECT_EQ(node(kDedicated, QStringLiteral("Kick")), next);  // bound controls follow the name
  EXPECT_EQ(node(kMIDI, kNote60), kick);                      // the old input is raw again
  EXPECT_EQ(mapping.value(kNote61).toString(), QStringLiteral("Kick"));
  EXPECT_FALSE(mapping.contains(kNote60));
}

TEST_F(DedicatedSourcesEditorTest, APublishedNameTakenByAnotherRowReplacesNothing) {
  dedicateKickAndFader();
  const Result result =
      editor->setPublishedName(rowNamed(QStringLiteral("Kick")), QStringLiteral("Fader"));
  EXPECT_EQ(result.kind, Result::Refused);
  EXPECT_TRUE(result.reason.contains(QStringLiteral("Fader")));
  EXPECT_FALSE(fader->isDeleted());
  EXPECT_EQ(node(kDedicated, QStringLiteral("Kick")), kick);
  EXPECT_EQ(node(kDedicated, QStringLiteral("Fader")), fader);
}

TEST_F(DedicatedSourcesEditorTest, AMoveTheTreeRefusesChangesNeitherMappingNorDefaults) {
  dedicateKickAndFader();
  const QVariantMap before = mapping;
  // Without the raw root, no node can go back under it.
  dsc.setDataSource(nullptr, {kMIDI});
  EXPECT_EQ(editor->deleteRow(rowNamed(QStringLiteral("Kick"))).kind, Result::Refused);
  EXPECT_EQ(editor->setRawName(rowNamed(QStringLiteral("Kick")), kNote61).kind, Result::Refused);
  EXPECT_EQ(node(kDedicated, QStringLiteral("Kick")), kick);
  // A node taken away behind the pane's back cannot be renamed.
  dsc.setDataSource(nullptr, {kDedicated, QStringLiteral("Fader")});
  EXPECT_EQ(
      editor->setPublishedName(rowNamed(QStringLiteral("Fader")), QStringLiteral("Volume")).kind,
      Result::Refused);
  EXPECT_EQ(mapping, before);
  EXPECT_EQ(saves, 0);
  EXPECT_EQ(editor->rows().size(), 2u);
}

TEST_F(DedicatedSourcesEditorTest, TheLastDeletionRemovesTheHolderAndTheNextDedicationMakesIt) {
  dedicateKickAndFader();
  ASSERT_EQ(editor->deleteRow(rowNamed(QStringLiteral("Kick"))).kind, Result::Changed);
  EXPECT_TRUE(dsc.dataSourceForKeyArray({kDedicated}));
  ASSERT_EQ(editor->deleteRow(0).kind, Result::Changed);
  EXPECT_FALSE(dsc.dataSourceForKeyArray({kDedicated}));
  EXPECT_EQ(node(kMIDI, kCtrl7), fader);
  EXPECT_TRUE(mapping.isEmpty());
  ASSERT_EQ(editor->dedicate(kNote60).kind, Result::Changed);
  EXPECT_TRUE(std::dynamic_pointer_cast<DataSourceHolder>(dsc.dataSourceForKeyArray({kDedicated})));
  EXPECT_EQ(node(kDedicated, QStringLiteral("Ded. MIDI 1")), kick);
}

TEST_F(DedicatedSourcesEditorTest, RowsAreSortedByPublishedNameWhateverTheCase) {
  for (const QString& raw : {kNote60, kNote61, kCtrl7}) editor->dedicate(raw);
  editor->setPublishedName(rowNamed(QStringLiteral("Ded. MIDI 1")), QStringLiteral("gamma"));
  editor->setPublishedName(rowNamed(QStringLiteral("Ded. MIDI 2")), QStringLiteral("Alpha"));
  editor->setPublishedName(rowNamed(QStringLiteral("Ded. MIDI 3")), QStringLiteral("beta"));
  EXPECT_EQ(editor->rows(), (std::vector<Row>{{kNote61, QStringLiteral("Alpha")},
                                              {kCtrl7, QStringLiteral("beta")},
                                              {kNote60, QStringLiteral("gamma")}}));
}

TEST_F(DedicatedSourcesEditorTest, FreeNamesSkipNodesAndRows) {
  EXPECT_EQ(editor->firstFreeName(QStringLiteral("Ded. MIDI "), 1), QStringLiteral("Ded. MIDI 1"));
  editor->dedicate(kNote60);
  EXPECT_EQ(editor->firstFreeName(QStringLiteral("Ded. MIDI "), 1), QStringLiteral("Ded. MIDI 2"));
  // A row whose node has gone still holds its name.
  dsc.setDataSource(nullptr, {kDedicated, QStringLiteral("Ded. MIDI 1")});
  EXPECT_EQ(editor->firstFreeName(QStringLiteral("Ded. MIDI "), 1), QStringLiteral("Ded. MIDI 2"));
}

}  // namespace
