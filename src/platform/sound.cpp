#include "platform/sound.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

QtSound::QtSound() = default;

QtSound::~QtSound() {
  if (player_) player_->stop();
}

void QtSound::Play(const QString& path) {
  if (!QFileInfo(path).isFile()) return;
  if (!player_) {
    output_ = std::make_unique<QAudioOutput>();
    player_ = std::make_unique<QMediaPlayer>();
    player_->setAudioOutput(output_.get());
  }
  // Close, set the file, open and play: a new alarm restarts the sound from its beginning.
  player_->stop();
  player_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  player_->play();
}

void QtSound::Stop() {
  if (player_) player_->stop();
}
