#include "app/shell/BugReporterDescriptionField.h"

#include "platform/foundation/Alert.h"

#include <QMimeData>

BugReporterDescriptionField::BugReporterDescriptionField(QWidget* parent) : QPlainTextEdit(parent) {
  setAcceptDrops(false);
  viewport()->setAcceptDrops(false);
}

bool BugReporterDescriptionField::canInsertFromMimeData(const QMimeData* source) const {
  return source && source->hasText();
}

void BugReporterDescriptionField::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText()) return;
  const QString text = source->text();
  if (text.isEmpty()) return;
  if (text.size() > kLongestPaste) {
    Alert::show(QStringLiteral("Hang on a second...."),
                QStringLiteral("You can't paste that much text in here.  Please enter a short "
                               "description of your setup and/or what you were doing when the "
                               "crash occurred.  Please do NOT paste things like crash or console "
                               "logs in here."),
                {QStringLiteral("OK")});
    return;
  }
  insertPlainText(text);
}
