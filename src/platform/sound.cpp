#include "platform/sound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QMimeDatabase>
#include <QSoundEffect>
#include <QUrl>

QtSound::QtSound(std::function<bool()> hasAudioOutput) : hasAudioOutput_(std::move(hasAudioOutput)) {}

QtSound::~QtSound() { Stop(); }

bool QtSound::IsWave(const QString& path) {
  // By content first: a RIFF/WAVE header, whatever the name says.
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) {
    const QByteArray head = file.read(12);
    if (head.size() == 12) return head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
  }
  return QFileInfo(path).suffix().compare(QStringLiteral("wav"), Qt::CaseInsensitive) == 0;
}

bool QtSound::HasAudioOutput() const {
  if (hasAudioOutput_) return hasAudioOutput_();
  return !QMediaDevices::audioOutputs().isEmpty() && !QMediaDevices::defaultAudioOutput().isNull();
}

bool QtSound::MediaPlayerDecodes(const QString& path) {
  const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
  const QList<QMediaFormat::FileFormat> formats = QMediaFormat().supportedFileFormats(QMediaFormat::Decode);
  for (QMediaFormat::FileFormat format : formats) {
    const QMimeType supported = QMediaFormat(format).mimeType();
    if (supported.isValid() && (mime == supported || mime.inherits(supported.name()))) return true;
  }
  return false;
}

void QtSound::Play(const QString& path) {
  Stop();
  if (!QFileInfo(path).isFile()) {
    outcome_ = Outcome::NoFile;
    return;
  }
  if (!HasAudioOutput()) {
    outcome_ = Outcome::NoDevice;
    return;
  }
  const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  if (IsWave(path)) {
    if (!effect_) effect_ = std::make_unique<QSoundEffect>();
    // A new alarm restarts the sound from its beginning.
    effect_->setSource(url);
    effect_->play();
    outcome_ = Outcome::Started;
    return;
  }
  if (!MediaPlayerDecodes(path)) {
    outcome_ = Outcome::Unsupported;
    return;
  }
  if (!player_) {
    output_ = std::make_unique<QAudioOutput>();
    player_ = std::make_unique<QMediaPlayer>();
    player_->setAudioOutput(output_.get());
  }
  player_->setSource(url);
  player_->play();
  outcome_ = Outcome::Started;
}

void QtSound::Stop() {
  if (effect_) effect_->stop();
  if (player_) player_->stop();
}
