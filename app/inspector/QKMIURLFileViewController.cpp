#include "app/inspector/QKMIURLFileViewController.h"

#include "app/inspector/MICheckBox.h"
#include "app/inspector/MIPropValues.h"
#include "app/inspector/MediaInspector.h"
#include "app/sources/WebSourceRules.h"
#include "framework/media/CompositorInterface.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

const QString QKMIURLFileViewController::kUseCustomResKey = QStringLiteral("useCustomResForURL");
const QString QKMIURLFileViewController::kHorResKey = QStringLiteral("urlHorRes");
const QString QKMIURLFileViewController::kVertResKey = QStringLiteral("urlVertRes");

namespace {

const QString kPropsUpdated = QStringLiteral("QKFileMoviePropsUpdatedNotification");
const QString kNoAddress = QStringLiteral("-");

// The pending values that differ from the stored ones.
QVariantMap editsOf(const QVariantMap& stored, const QVariantMap& pending) {
  QVariantMap edits;
  for (auto it = pending.cbegin(); it != pending.cend(); ++it)
    if (!stored.contains(it.key()) || stored.value(it.key()) != it.value())
      edits.insert(it.key(), it.value());
  return edits;
}

}  // namespace

QKMIURLFileViewController::QKMIURLFileViewController(MediaInspector* inspector)
    : inspector_(inspector) {
  buildView();
}

QKMIURLFileViewController::~QKMIURLFileViewController() = default;

void QKMIURLFileViewController::buildView() {
  view_ = new QWidget;
  auto* grid = new QGridLayout(view_);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->setVerticalSpacing(4);
  urlStringTextField_ = new QLineEdit;
  urlStringTextField_->setPlaceholderText(QStringLiteral("http://"));
  useURLResButton_ = new MICheckBox(QStringLiteral("Custom size"));
  urlHozResTextField_ = new QLineEdit;
  urlVertResTextField_ = new QLineEdit;
  for (QLineEdit* field : {urlHozResTextField_, urlVertResTextField_}) field->setFixedWidth(48);
  refreshButton_ = new QPushButton(QStringLiteral("Refresh Thumbnails"));

  grid->addWidget(new QLabel(QStringLiteral("Address")), 0, 0);
  grid->addWidget(urlStringTextField_, 0, 1, 1, 4);
  grid->addWidget(useURLResButton_, 1, 0);
  grid->addWidget(urlHozResTextField_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("x")), 1, 2);
  grid->addWidget(urlVertResTextField_, 1, 3);
  grid->addWidget(refreshButton_, 2, 0, 1, 2, Qt::AlignLeft);
  grid->setColumnStretch(4, 1);
  grid->setRowStretch(3, 1);

  connect(urlHozResTextField_, &QLineEdit::editingFinished, this,
          [this] { parameterChanged(urlHozResTextField_); });
  connect(urlVertResTextField_, &QLineEdit::editingFinished, this,
          [this] { parameterChanged(urlVertResTextField_); });
  connect(useURLResButton_, &QCheckBox::clicked, this, [this] { buttonUsed(); });
  connect(refreshButton_, &QPushButton::clicked, this, [this] { refreshThumbnails(); });
}

std::vector<std::shared_ptr<QKURLFile>> QKMIURLFileViewController::inspectedWebFiles() const {
  std::vector<std::shared_ptr<QKURLFile>> webs;
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles())
    if (auto web = std::dynamic_pointer_cast<QKURLFile>(file)) webs.push_back(web);
  return webs;
}

// --- Showing ---------------------------------------------------------------------------------

void QKMIURLFileViewController::updateSelection() {
  int webs = 0, custom = 0, withAddress = 0;
  int width = kDefaultWidth, height = kDefaultHeight;
  QString address;
  for (const std::shared_ptr<QKURLFile>& file : inspectedWebFiles()) {
    ++webs;
    if (!file->urlString().isEmpty()) {
      address = file->urlString();
      ++withAddress;
    }
    const QVariantMap stored = file->movieProps();
    if (const auto w = MIProps::number(stored, kHorResKey)) width = int(*w);
    if (const auto h = MIProps::number(stored, kVertResKey)) height = int(*h);
    if (stored.contains(kUseCustomResKey) && MIProps::flag(stored, kUseCustomResKey) == 1) ++custom;
  }
  // Only a lone entry's address may be edited: one typed address given to
  // several entries would merge them.
  urlStringInUse_ = webs == 1 && withAddress == 1;
  shownAddress_ = urlStringInUse_ ? address : QString();
  urlStringTextField_->setReadOnly(!urlStringInUse_);
  urlStringTextField_->setEnabled(urlStringInUse_);
  urlStringTextField_->setText(urlStringInUse_ ? address : kNoAddress);
  urlStringTextField_->setCursorPosition(0);  // the scheme and host show first
  useURLResButton_->setState(custom == 0 ? 0 : custom == webs ? 1 : -1);
  urlHozResTextField_->setText(QString::asprintf("%d", width));
  urlVertResTextField_->setText(QString::asprintf("%d", height));
}

// --- Edits -----------------------------------------------------------------------------------

void QKMIURLFileViewController::parameterChanged(QLineEdit* sender) {
  QString key;
  if (sender == urlHozResTextField_)
    key = kHorResKey;
  else if (sender == urlVertResTextField_)
    key = kVertResKey;
  else
    return;
  bool ok = false;
  const int value = sender->text().trimmed().toInt(&ok);
  if (!ok || value < 0) {
    Log::line(
        QStringLiteral("\t\terr: inspector: \"%1\" is not a size in pixels; the value is kept")
            .arg(sender->text()));
    return;
  }
  writePending(key, value);
}

void QKMIURLFileViewController::buttonUsed() {
  int state = useURLResButton_->state();
  if (state < 0) {
    useURLResButton_->setState(1);
    state = 1;
  }
  writePending(kUseCustomResKey, state);
}

void QKMIURLFileViewController::writePending(const QString& key, int value) {
  for (const std::shared_ptr<QKURLFile>& file : inspectedWebFiles())
    if (QVariantMap* pending = inspector_->pendingPropsFor(*file)) pending->insert(key, value);
}

void QKMIURLFileViewController::refreshThumbnails() {
  for (const std::shared_ptr<QKURLFile>& file : inspectedWebFiles()) {
    CompositorInterface* compositor = file->compositor();
    if (QKFileLoaderInterface* loader = compositor ? compositor->fileLoader() : nullptr)
      loader->createThumbnailForURLFile(file);
  }
}

// --- Apply -----------------------------------------------------------------------------------

// Only an edited address is applied: one stored long ago is kept as it is.
std::optional<QString> QKMIURLFileViewController::addressToApply() const {
  if (!urlStringInUse_ || urlStringTextField_->text() == shownAddress_) return std::nullopt;
  const std::optional<QString> address =
      WebSourceRules::addressFromTyped(urlStringTextField_->text());
  if (!address)
    Log::line(QStringLiteral(
        "\t\terr: inspector: an empty web address is not applied; the entry keeps its address"));
  return address;
}

void QKMIURLFileViewController::storeParamsForSelectedFiles() {
  const std::vector<std::shared_ptr<QKURLFile>> webs = inspectedWebFiles();
  if (webs.empty()) return;
  const std::optional<QString> address = addressToApply();
  bool addressTaken = false;
  for (const std::shared_ptr<QKURLFile>& file : webs) {
    const QVariantMap* pending = inspector_->pendingPropsFor(*file);
    if (!pending || !storeProps(*file, *pending)) continue;
    if (address) {
      takeAddress(*file, *address);
      addressTaken = true;
    }
    NotificationCenter::defaultCenter().post(kPropsUpdated, static_cast<QKFile*>(file.get()));
  }
  if (addressTaken) {
    shownAddress_ = *address;
    urlStringTextField_->setText(*address);
    urlStringTextField_->setCursorPosition(0);
  }
}

bool QKMIURLFileViewController::storeProps(QKURLFile& file, const QVariantMap& pending) {
  QVariantMap merged = file.movieProps();
  QString reason;
  if (!MIProps::validate(editsOf(merged, pending), &reason)) {
    Log::line(QStringLiteral("\t\terr: inspector: the settings of \"%1\" were not applied: %2")
                  .arg(file.name(), reason));
    return false;
  }
  for (auto it = pending.cbegin(); it != pending.cend(); ++it) merged.insert(it.key(), it.value());
  file.setMovieProps(merged);
  return true;
}

// An entry still named after its old address is named after the new one.
void QKMIURLFileViewController::takeAddress(QKURLFile& file, const QString& address) {
  const QString old = file.urlString();
  QLineEdit* nameField = inspector_->editableTextField();
  if (!old.isEmpty() && nameField && nameField->text() == QKURLFile::lastPathComponent(old)) {
    const QString name = QKURLFile::lastPathComponent(address);
    nameField->setText(name);
    file.setName(name);
  }
  file.setUrlString(address);
}
