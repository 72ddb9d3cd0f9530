// The platform's sound on a machine without sound: no audio server, and the media back end
// possibly without its plugins. Playing must never take the program down. The real player
// runs in a child copy of this test program, so a crash fails the test instead of ending
// the whole run.
#include "platform/sound.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString ShippedAlarm = qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/data/Alarms/Alarm1.wav";

// Runs only inside the child that QtSoundWithoutAudio starts.
TEST(QtSoundChild, PlaysWithoutAnAudioServer) {
  if (qEnvironmentVariableIsEmpty("ORVANE_SOUND_CHILD"))
    GTEST_SKIP() << "run by QtSoundWithoutAudio in a child process";
  EnsureApplication();
  QTemporaryDir dir;
  const QString song = dir.filePath("song.mp3");
  QFile file(song);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(4096, '\x55'));
  file.close();
  // The system's own answer about devices: there is none, so nothing plays.
  QtSound system;
  system.Play(ShippedAlarm);
  EXPECT_EQ(system.LastOutcome(), QtSound::Outcome::NoDevice);
  // Told there is a device, each kind of file goes its way and nothing crashes, whatever the
  // sound server and the media plugins then say.
  QtSound told([] { return true; });
  told.Play(ShippedAlarm);
  EXPECT_EQ(told.LastOutcome(), QtSound::Outcome::Started);
  QCoreApplication::processEvents();
  told.Play(song);
  EXPECT_NE(told.LastOutcome(), QtSound::Outcome::NoFile);
  QCoreApplication::processEvents();
  told.Play(dir.filePath("missing.wav"));
  EXPECT_EQ(told.LastOutcome(), QtSound::Outcome::NoFile);
  told.Stop();
}

TEST(QtSoundWithoutAudio, PlayingTheShippedAlarmDoesNotCrash) {
  ASSERT_TRUE(QFile::exists(ShippedAlarm));
  EnsureApplication();
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ORVANE_SOUND_CHILD", "1");
  // No sound server to reach, and none started on demand.
  env.insert("PULSE_SERVER", "unix:/nonexistent/orvane-test-pulse");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=QtSoundChild.*"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const std::string out = QString::fromLocal8Bit(child.readAll()).toStdString();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << out;
  EXPECT_EQ(child.exitCode(), 0) << out;
  EXPECT_NE(out.find("[       OK ] QtSoundChild.PlaysWithoutAnAudioServer"), std::string::npos) << out;
}

}  // namespace
