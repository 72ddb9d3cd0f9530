#pragma once

#include <QString>
#include <memory>

class QAudioOutput;
class QMediaPlayer;

// Plays a sound file once, without waiting for it: the alarm sound and the options preview.
// Tests use a recording double, so they play nothing.
class Sound {
 public:
  virtual ~Sound() = default;
  // Stops what plays and starts the file. A file that cannot be played is ignored.
  virtual void Play(const QString& path) = 0;
  virtual void Stop() = 0;
};

// Plays nothing: pictures made without a desktop.
class SilentSound final : public Sound {
 public:
  void Play(const QString&) override {}
  void Stop() override {}
};

// The media player of the platform (QMediaPlayer with an audio output), made on first use.
class QtSound final : public Sound {
 public:
  QtSound();
  ~QtSound() override;
  void Play(const QString& path) override;
  void Stop() override;

 private:
  std::unique_ptr<QAudioOutput> output_;
  std::unique_ptr<QMediaPlayer> player_;
};
