#pragma once

#include <QString>
#include <functional>
#include <memory>

class QAudioOutput;
class QMediaPlayer;
class QSoundEffect;

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

// The sound of the platform. WAV files (the shipped alarm among them) play through
// QSoundEffect, which reads the file itself and needs nothing but an audio output; other
// formats go to QMediaPlayer, and only when the media back end says it can decode them, since
// a back end without its plugins can crash when a player is made. Without an audio output
// nothing plays: the sound is simply silent.
class QtSound final : public Sound {
 public:
  // What the last Play did.
  enum class Outcome { None, Started, NoFile, NoDevice, Unsupported };

  // hasAudioOutput: whether the system offers a sound output; unset, Qt's list of audio
  // outputs is asked at every Play (a headset plugged in later counts).
  explicit QtSound(std::function<bool()> hasAudioOutput = {});
  ~QtSound() override;
  void Play(const QString& path) override;
  void Stop() override;

  Outcome LastOutcome() const { return outcome_; }
  // Whether a file of this name plays through QSoundEffect (a WAV file).
  static bool IsWave(const QString& path);

 private:
  bool HasAudioOutput() const;
  // Whether the media back end can decode files of this kind.
  static bool MediaPlayerDecodes(const QString& path);

  std::function<bool()> hasAudioOutput_;
  Outcome outcome_ = Outcome::None;
  std::unique_ptr<QSoundEffect> effect_;
  std::unique_ptr<QAudioOutput> output_;
  std::unique_ptr<QMediaPlayer> player_;
};
