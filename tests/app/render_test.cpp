// orvane render, run as a program without a display over a calendar in its store.
#include "core/dataformat.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RenderCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
    ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
    ASSERT_TRUE(dir_.isValid());
  }

  QString DataHome() const { return dir_.path() + QStringLiteral("/data"); }
  QString Out() const { return dir_.path() + QStringLiteral("/panel.png"); }

  void StoreEventsOn(TDateTime day, int count) {
    ASSERT_TRUE(QDir().mkpath(DataHome() + QStringLiteral("/orvane")));
    auto opened = SqliteKeyStore::Open(DataHome() + QStringLiteral("/orvane/orvane.db"));
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    FixedClock clock(DT(2024, 3, 1, 9, 0));
    DataFormat calendar(clock);
    for (int i = 0; i < count; ++i) {
      TNote& note = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
      note.Title = QStringLiteral("Event %1").arg(i);
      note.StartDate = day;
    }
    calendar.DataChanged = true;
    ASSERT_TRUE(calendar.SaveIfChanged(*opened.store).ok);
  }

  int Run(const QStringList& args, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), DataHome());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(binary_, QStringList{QStringLiteral("render")} + args);
    EXPECT_TRUE(p.waitForFinished(30000));
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }

  QTemporaryDir dir_;
  QString binary_;
};

TEST_F(RenderCommand, PaintsThePanelWithoutADisplay) {
  StoreEventsOn(D(2024, 3, 15), 3);
  ASSERT_EQ(Run({QStringLiteral("--out"), Out(), QStringLiteral("--now"), QStringLiteral("2024-03-15 10:00")}), 0);
  const QImage picture(Out());
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.width(), 220);
  // The first start has a day list of today with three events, so the picture is taller
  // than one without them.
  ASSERT_EQ(Run({QStringLiteral("--out"), Out(), QStringLiteral("--now"), QStringLiteral("2024-03-16 10:00")}), 0);
  EXPECT_EQ(QImage(Out()).height(), picture.height() - 3 * 21);
}

TEST_F(RenderCommand, PaintsOverTheGivenBackdrop) {
  const QString backdrop = dir_.path() + QStringLiteral("/wall.png");
  QImage wall(64, 64, QImage::Format_RGB32);
  wall.fill(QColor(255, 0, 255));
  ASSERT_TRUE(wall.save(backdrop));
  ASSERT_EQ(Run({QStringLiteral("--out"), Out(), QStringLiteral("--backdrop"), backdrop}), 0);
  const QImage picture(Out());
  ASSERT_FALSE(picture.isNull());
  // Half the default background over magenta: red and blue well above green.
  const QColor c = picture.pixelColor(picture.width() / 2, picture.height() - 3);
  EXPECT_GT(c.red(), c.green() + 60);
  EXPECT_GT(c.blue(), c.green() + 60);
}

struct BadArgs {
  const char* name;
  QStringList args;
  int code;
  const char* message;
};

class RenderBadArguments : public RenderCommand, public ::testing::WithParamInterface<BadArgs> {};

TEST_P(RenderBadArguments, ExplainAndWriteNothing) {
  QStringList args = GetParam().args;
  args.replaceInStrings(QStringLiteral("@OUT"), Out());
  args.replaceInStrings(QStringLiteral("@DIR"), dir_.path());
  QFile junk(dir_.path() + QStringLiteral("/junk.png"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a picture");
  junk.close();
  QString err;
  EXPECT_EQ(Run(args, &err), GetParam().code);
  EXPECT_TRUE(err.contains(QLatin1String(GetParam().message))) << err.toStdString();
  EXPECT_FALSE(QFile::exists(Out()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderBadArguments,
    ::testing::Values(BadArgs{"NoOut", {}, 2, "--out FILE.png is required"},
                      BadArgs{"OutWithoutValue", {QStringLiteral("--out")}, 2, "--out needs a value"},
                      BadArgs{"BadMoment", {QStringLiteral("--out"), QStringLiteral("@OUT"), QStringLiteral("--now"),
                                            QStringLiteral("tomorrow")}, 2, "--now wants a moment"},
                      BadArgs{"UnknownOption", {QStringLiteral("--out"), QStringLiteral("@OUT"), QStringLiteral("--big")},
                              2, "unknown option --big"},
                      BadArgs{"MissingBackdrop", {QStringLiteral("--out"), QStringLiteral("@OUT"), QStringLiteral("--backdrop"),
                                                  QStringLiteral("@DIR/none.png")}, 1, "cannot read the picture"},
                      BadArgs{"BackdropNotAPicture", {QStringLiteral("--out"), QStringLiteral("@OUT"),
                                                      QStringLiteral("--backdrop"), QStringLiteral("@DIR/junk.png")},
                              1, "cannot read the picture"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
