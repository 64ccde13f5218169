#include "app/prefs/MovieSourcePrefsController.h"

#include "app/prefs/PrefsDefaults.h"
#include "app/sources/MovieSource.h"
#include "platform/foundation/UserDefaults.h"

#include <QCheckBox>
#include <QVBoxLayout>

const QString MovieSourcePrefsController::kLoopingKey = QStringLiteral("useQTMovieLooping");

MovieSourcePrefsController::MovieSourcePrefsController(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Movie Playback"));
  auto* layout = new QVBoxLayout(this);
  useQTMovieLoopingButton_ =
      new QCheckBox(QStringLiteral("Loop movies in the player (seamless)"), this);
  layout->addWidget(useQTMovieLoopingButton_);
  layout->addStretch(1);
  connect(useQTMovieLoopingButton_, &QCheckBox::clicked, this,
          [this] { buttonUsed(useQTMovieLoopingButton_); });
}

void MovieSourcePrefsController::awakeFromNib() {
  const bool looping = PrefsDefaults::integer(kLoopingKey).value_or(1) != 0;
  useQTMovieLoopingButton_->setChecked(looping);
  MovieSource::setUseQTMovieLooping(looping);
}

void MovieSourcePrefsController::buttonUsed(QObject* sender) {
  if (sender != useQTMovieLoopingButton_) return;
  const qint64 value = useQTMovieLoopingButton_->isChecked() ? 1 : 0;
  UserDefaults::standard().setValue(kLoopingKey, value);
  MovieSource::setUseQTMovieLooping(value != 0);
}
