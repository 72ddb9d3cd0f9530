#include "loopbackserver.h"
#include "network/httpclient.h"
#include "network/update.h"
#include "support/fakeservices.h"
#include "support/recordingshell.h"
#include "support/screenshot.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>
#include <sodium.h>

namespace {

const QString UpdateFailedText = QStringLiteral(
    "The system failed to get the available version information.\r\nPlease make sure you are connected to the "
    "internet.");
const QString DownloadErrorText = QStringLiteral("The download failed.\r\nPlease try again later.");

QByteArray Installer(int n) {
  QByteArray out(n, '\0');
  for (int i = 0; i < n; ++i) out[i] = static_cast<char>(i * 7 % 251);
  return out;
}

QByteArray FileAnswer(const QByteArray& body, qint64 announced = -1) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
         QByteArray::number(announced < 0 ? body.size() : announced) + "\r\n\r\n" + body;
}

ServerScript NotFound() { return ServerScript::Answer("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n"); }

QByteArray PathOf(const QByteArray& request) {
  const QList<QByteArray> words = request.split(' ');
  return words.size() > 1 ? words.at(1) : QByteArray();
}

// A signing key of the tests' own, standing in for the project's.
struct SigningKey {
  SigningKey() {
    EXPECT_GE(sodium_init(), 0);
    publicKey.resize(crypto_sign_PUBLICKEYBYTES);
    secretKey.resize(crypto_sign_SECRETKEYBYTES);
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(publicKey.data()),
                        reinterpret_cast<unsigned char*>(secretKey.data()));
  }
  QByteArray Sign(const QByteArray& body) const {
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(body.constData()), body.size(),
                         reinterpret_cast<const unsigned char*>(secretKey.constData()));
    return signature;
  }
  QByteArray publicKey;
  QByteArray secretKey;
};

const SigningKey& TestKey() {
  static const SigningKey key;
  return key;
}

// An update server on loopback: its version page, one installer answer and its signature;
// anything else is not found.
struct UpdateServer {
  explicit UpdateServer(LoopbackServer::Tls tls = LoopbackServer::Tls::Off) : tls(tls) {}
  // The installer answer with the test key's signature of its body.
  void Serve(const QByteArray& body, ServerScript answer) {
    installer = std::move(answer);
    signature = ServerScript::Answer(FileAnswer(TestKey().Sign(body)));
  }
  QByteArray version = "2.0.5.151";
  ServerScript installer = ServerScript::Answer(FileAnswer(Installer(3000)));
  ServerScript signature = ServerScript::Answer(FileAnswer(TestKey().Sign(Installer(3000))));
  LoopbackServer::Tls tls;
  LoopbackServer server{[this](const QByteArray& request) {
                          const QByteArray path = PathOf(request);
                          if (path == "/currentversion.php") return ServerScript::Page(version);
                          if (path.startsWith("/downloads/") && path.endsWith(".sig")) return signature;
                          if (path.startsWith("/downloads/")) return installer;
                          return NotFound();
                        },
                        tls};
};

class UpdateTest : public ::testing::Test {
 protected:
  UpdateTest() {
    QDir().mkpath(programDir());
    QDir().mkpath(dataDir());
  }

  QString programDir() const { return home.path() + QStringLiteral("/bin/"); }
  QString dataDir() const { return home.path() + QStringLiteral("/data/"); }

  UpdateIdentity Identity(const QString& version = QStringLiteral("2.0.5.150")) const {
    return UpdateIdentity{version, QStringLiteral("orvane"), programDir(), dataDir(), TestKey().publicKey};
  }

  // The updater over the host the test sets (empty: none), recording the program's end.
  std::unique_ptr<T_Update> Make(UpdateIdentity identity) {
    auto update = std::make_unique<T_Update>(dialogs, shell, network, [this] { return host; }, std::move(identity));
    update->HTTPClient->SetTimeOuts(2000, 2000);
    update->EndProgram = [this] { ++ends; };
    return update;
  }
  std::unique_ptr<T_Update> Make() { return Make(Identity()); }

  // Every installer file in both folders.
  QStringList Installers() const {
    QStringList found;
    for (const QString& dir : {programDir(), dataDir()}) {
      for (const QString& name : QDir(dir).entryList({QStringLiteral("setup_*")}, QDir::Files)) found << dir + name;
    }
    return found;
  }

  TempHome home;
  ScriptedDialogs dialogs;
  RecordingShell shell;
  FakeNetworkPresence network;
  QString host;
  int ends = 0;
};

// --- Names and numbers.

struct VersionNumberCase {
  const char* name;
  const char* text;
  std::optional<qint64> number;
};

class VersionNumberTest : public ::testing::TestWithParam<VersionNumberCase> {};

TEST_P(VersionNumberTest, IsTheLastComponentAsAWholeNumber) {
  EXPECT_EQ(T_Update::VersionNumber(QString::fromUtf8(GetParam().text)), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionNumberTest,
    ::testing::Values(VersionNumberCase{"FourParts", "2.0.5.150", 150}, VersionNumberCase{"SmallLast", "2.1.0.1", 1},
                      VersionNumberCase{"BlanksAroundLast", "2.0.5. 151 ", 151},
                      VersionNumberCase{"NoDot", "42", 42}, VersionNumberCase{"LeadingZeros", "1.007", 7},
                      VersionNumberCase{"EmptyLast", "2.0.5.", std::nullopt},
                      VersionNumberCase{"Letters", "2.0.5.beta", std::nullopt},
                      VersionNumberCase{"DigitsThenLetters", "2.0.5.1b", std::nullopt},
                      VersionNumberCase{"Negative", "2.0.5.-3", std::nullopt},
                      VersionNumberCase{"Sign", "2.0.5.+3", std::nullopt},
                      VersionNumberCase{"Overlong", "2.0.5.1234567890123456789", std::nullopt},
                      VersionNumberCase{"HtmlPage", "<!DOCTYPE html>", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct UsableCase {
  const char* name;
  const char* text;
  bool usable;
};

class UsableVersionTest : public ::testing::TestWithParam<UsableCase> {};

TEST_P(UsableVersionTest, OnlyPlainVersionsNameADownload) {
  EXPECT_EQ(T_Update::UsableVersion(QString::fromUtf8(GetParam().text)), GetParam().usable);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsableVersionTest,
    ::testing::Values(UsableCase{"FourNumbers", "2.0.5.151", true}, UsableCase{"NamedPart", "2.0-rc_1.7", true},
                      UsableCase{"Empty", "", false}, UsableCase{"ClimbsFolders", "../../etc/cron.d/x.1", false},
                      UsableCase{"Slash", "2/0.1", false}, UsableCase{"EmptyComponent", "2..1", false},
                      UsableCase{"Blank", "2.0 5.1", false}, UsableCase{"QueryInUrl", "2.0?x=1.1", false},
                      UsableCase{"NotANumberAtEnd", "2.0.5.x", false},
                      UsableCase{"TooLong", "1.1111111111.1111111111.1111111111.1111111111.1111111111.1111111111.1",
                                 false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Edition, ComesFromTheExecutableNameOrIsThatName) {
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("orvane")), QStringLiteral("prm"));
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("tessaly")), QStringLiteral("lit"));
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("Orvane")), QStringLiteral("Orvane"));
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("orvane-dev")), QStringLiteral("orvane-dev"));
}

// --- Start.

TEST_F(UpdateTest, TakesTheCompiledInVersionAndTheEdition) {
  const UpdateIdentity self = UpdateIdentity::ThisProgram();
  EXPECT_EQ(self.version.count(QLatin1Char('.')), 3);
  EXPECT_TRUE(T_Update::UsableVersion(self.version));
  EXPECT_EQ(self.executableName, QStringLiteral("test_network"));
  EXPECT_EQ(Make()->EditionCode(), QStringLiteral("prm"));
}

TEST_F(UpdateTest, DeletesTheInstallerOfTheRunningVersionAtStart) {
  const QStringList leftovers = {programDir() + QStringLiteral("setup_2.0.5.151_prm.exe"),
                                 dataDir() + QStringLiteral("setup_2.0.5.151_prm.exe")};
  const QString older = programDir() + QStringLiteral("setup_2.0.5.149_prm.exe");
  const QString otherEdition = programDir() + QStringLiteral("setup_2.0.5.151_lit.exe");
  for (const QString& path : leftovers + QStringList{older, otherEdition}) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("installer");
  }
  auto update = Make(Identity(QStringLiteral("2.0.5.151")));
  for (const QString& path : leftovers) EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
  EXPECT_TRUE(QFileInfo::exists(older));
  EXPECT_TRUE(QFileInfo::exists(otherEdition));
}

// --- The check.

TEST_F(UpdateTest, OnlyTheLastComponentDecidesWhetherAVersionIsNewer) {
  for (const QByteArray version : {"2.1.0.1", "2.0.5.150"}) {
    UpdateServer server;
    server.version = version;
    host = server.server.hostAndPort();
    auto update = Make();
    EXPECT_EQ(update->CheckForUpdate(version.endsWith('1')), UpdateOutcome::NoUpdate) << version.constData();
    ASSERT_EQ(server.server.requests().size(), 1);
    EXPECT_EQ(PathOf(server.server.requests().at(0)), QByteArray("/currentversion.php"));
    EXPECT_TRUE(server.server.requests().at(0).contains("\r\nUser-Agent: Orvane/1.0\r\n"));
    EXPECT_FALSE(update->isVisible());
  }
  EXPECT_TRUE(dialogs.asked().empty());
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(UpdateTest, WithoutANetworkTheServerIsNotAsked) {
  UpdateServer server;
  host = server.server.hostAndPort();
  network.present = false;
  EXPECT_EQ(Make()->CheckForUpdate(true), UpdateOutcome::CheckFailed);
  EXPECT_EQ(network.asked, QStringList{QStringLiteral("127.0.0.1")});
  EXPECT_TRUE(server.server.requests().isEmpty());
  EXPECT_TRUE(dialogs.asked().empty());
}

TEST_F(UpdateTest, DownloadsWritesAndStartsTheNewerInstallerThenEnds) {
  UpdateServer server;
  const QByteArray body = Installer(3000);
  server.Serve(body, ServerScript::Answer(FileAnswer(body)));
  host = server.server.hostAndPort();
  auto update = Make();
  const QString expected = programDir() + QStringLiteral("setup_2.0.5.151_prm.exe");
  QByteArray onDiskAtStart;
  bool visibleDuringDownload = false;
  QObject::connect(update->HTTPClient, &T_HTTPClient::DataReceived, [&] { visibleDuringDownload = update->isVisible(); });
  shell.onStart = [&](const QString& program) {
    QFile file(program);
    if (file.open(QIODevice::ReadOnly)) onDiskAtStart = file.readAll();
  };

  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);

  ASSERT_EQ(server.server.requests().size(), 3);
  EXPECT_TRUE(server.server.requests().at(1).startsWith("GET /downloads/setup_2.0.5.151_prm.exe HTTP/1.1\r\n"));
  EXPECT_TRUE(server.server.requests().at(1).contains("\r\nUser-Agent: Orvane/1.0\r\n"));
  EXPECT_EQ(PathOf(server.server.requests().at(2)), QByteArray("/downloads/setup_2.0.5.151_prm.exe.sig"));
  EXPECT_TRUE(visibleDuringDownload);
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].program, expected);
  EXPECT_TRUE(shell.started[0].arguments.isEmpty());
  EXPECT_EQ(onDiskAtStart, body);  // complete before it was started
  EXPECT_TRUE(QFileInfo(expected).isExecutable());
  EXPECT_EQ(Installers(), QStringList{expected});
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(dialogs.asked().empty());
  EXPECT_FALSE(update->isVisible());
  EXPECT_FALSE(update->DownloadTimer->isActive());
  EXPECT_FALSE(update->CancelButton->isEnabled());
}

TEST_F(UpdateTest, StartingTheInstallerEndsTheMainLoop) {
  UpdateServer server;
  host = server.server.hostAndPort();
  // The program's own way to end: the main loop returns, and the main sequence saves.
  T_Update update(dialogs, shell, network, [this] { return host; }, Identity());
  std::optional<UpdateOutcome> outcome;
  QTimer::singleShot(0, &update, [&] { outcome = update.CheckForUpdate(true); });
  QTimer guard;  // ends a broken test instead of hanging it
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(60000);
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_EQ(outcome, UpdateOutcome::Started);
  EXPECT_EQ(shell.started.size(), 1u);
}

TEST_F(UpdateTest, WritesIntoTheDataFolderWhenTheProgramFolderIsNotWritableAndStartsNothingWithoutOne) {
  UpdateServer server;
  host = server.server.hostAndPort();
  UpdateIdentity identity = Identity();
  identity.programDir = home.path() + QStringLiteral("/missing/");
  EXPECT_EQ(Make(identity)->CheckForUpdate(true), UpdateOutcome::Started);
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].program, dataDir() + QStringLiteral("setup_2.0.5.151_prm.exe"));
  EXPECT_EQ(ends, 1);
  identity.userDataDir = home.path() + QStringLiteral("/missing-too/");
  EXPECT_EQ(Make(identity)->CheckForUpdate(false), UpdateOutcome::Incomplete);
  EXPECT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(ends, 1);
}

struct VersionAnswerCase {
  const char* name;
  QByteArray page;
};

class VersionAnswerTest : public UpdateTest, public ::testing::WithParamInterface<VersionAnswerCase> {};

TEST_P(VersionAnswerTest, OnlyTheFirstLineIsTheVersion) {
  UpdateServer server;
  server.version = GetParam().page;
  host = server.server.hostAndPort();
  auto update = Make();
  EXPECT_EQ(update->GetRemoteVersion(), QStringLiteral("2.0.5.151"));
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
  ASSERT_EQ(server.server.requests().size(), 4);
  EXPECT_EQ(PathOf(server.server.requests().at(2)), QByteArray("/downloads/setup_2.0.5.151_prm.exe"));
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionAnswerTest,
                         ::testing::Values(VersionAnswerCase{"OneLine", "2.0.5.151"},
                                           VersionAnswerCase{"TrailingLineEnd", "2.0.5.151\r\n"},
                                           VersionAnswerCase{"SeveralLines", "2.0.5.151\r\n2.0.5.999\r\nnotes\r\n"},
                                           VersionAnswerCase{"UnixLines", "2.0.5.151\n2.0.5.999\n"},
                                           VersionAnswerCase{"Blanks", "  2.0.5.151  \r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Failures: silent checks say nothing, checks on request say what failed.

struct CheckFailureCase {
  const char* name;
  // Sets up the server side; returns the host to use.
  std::function<QString(std::unique_ptr<LoopbackServer>&)> serve;
};

class CheckFailureTest : public UpdateTest, public ::testing::WithParamInterface<CheckFailureCase> {};

TEST_P(CheckFailureTest, SilentSaysNothingOnRequestSaysUpdateFailed) {
  std::unique_ptr<LoopbackServer> server;
  host = GetParam().serve(server);
  auto update = Make();
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::CheckFailed);
  EXPECT_TRUE(dialogs.asked().empty());
  EXPECT_FALSE(update->isVisible());
  EXPECT_LE(server ? server->requests().size() : 0, 1);
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::CheckFailed);
  ASSERT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(dialogs.asked()[0].caption, QStringLiteral("Update Failed"));
  EXPECT_EQ(dialogs.asked()[0].text, UpdateFailedText);
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(ends, 0);
}

QString Serve(std::unique_ptr<LoopbackServer>& server, ServerScript script) {
  server = std::make_unique<LoopbackServer>(std::move(script));
  return server->hostAndPort();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckFailureTest,
    ::testing::Values(
        CheckFailureCase{"NoHostConfigured", [](auto&) { return QString(); }},
        CheckFailureCase{"BlankHost", [](auto&) { return QStringLiteral("   "); }},
        CheckFailureCase{"ServerUnreachable",
                         [](auto& server) {
                           const QString hostAndPort = Serve(server, ServerScript::Page("2.0.5.151"));
                           server->close();
                           return hostAndPort;
                         }},
        CheckFailureCase{"NotFound", [](auto& server) { return Serve(server, NotFound()); }},
        CheckFailureCase{"EmptyAnswer", [](auto& server) { return Serve(server, ServerScript::Page("")); }},
        CheckFailureCase{"ClosedWithoutAnswer", [](auto& server) { return Serve(server, ServerScript::Answer("")); }},
        CheckFailureCase{"LastComponentNotANumber",
                         [](auto& server) { return Serve(server, ServerScript::Page("2.0.5.beta")); }},
        CheckFailureCase{"AnHtmlPage",
                         [](auto& server) {
                           return Serve(server, ServerScript::Page("<html><body>Sign in to the network</body></html>"));
                         }},
        CheckFailureCase{"ClimbsOutOfTheFolder",
                         [](auto& server) { return Serve(server, ServerScript::Page("../../../tmp/evil.999")); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct DownloadFailureCase {
  const char* name;
  ServerScript installer;
};

class DownloadFailureTest : public UpdateTest, public ::testing::WithParamInterface<DownloadFailureCase> {};

TEST_P(DownloadFailureTest, SilentSaysNothingOnRequestSaysDownloadErrorAndLeavesNoFile) {
  UpdateServer server;
  server.installer = GetParam().installer;
  host = server.server.hostAndPort();
  auto update = Make();
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::DownloadFailed);
  EXPECT_TRUE(dialogs.asked().empty());
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_FALSE(update->isVisible());
  EXPECT_FALSE(update->DownloadTimer->isActive());
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::DownloadFailed);
  ASSERT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(dialogs.asked()[0].caption, QStringLiteral("Download Error"));
  EXPECT_EQ(dialogs.asked()[0].text, DownloadErrorText);
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(ends, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadFailureTest,
    ::testing::Values(DownloadFailureCase{"NotFound", NotFound()},
                      DownloadFailureCase{"ShorterThanAnnounced",
                                          ServerScript::Answer(FileAnswer(Installer(400), 1000))},
                      DownloadFailureCase{"ClosedWithoutAnswer", ServerScript::Answer("")},
                      DownloadFailureCase{"StallsUntilTheTimeOut",
                                          ServerScript::Answer(FileAnswer(Installer(400), 1000), false)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, AnHtmlInstallerAnswerIsWrittenAndStartedLikeAFile) {
  UpdateServer server;
  server.Serve("#!/bin/sh\necho installing\n", ServerScript::Page("#!/bin/sh\necho installing\n"));
  host = server.server.hostAndPort();
  auto update = Make();
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
  ASSERT_EQ(shell.started.size(), 1u);
  QFile file(shell.started[0].program);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("#!/bin/sh\necho installing\n"));
  EXPECT_EQ(ends, 1);
}

TEST_F(UpdateTest, AnAnswerOfAnotherTypeIsNeverWritten) {
  UpdateServer server;
  server.installer = ServerScript::Page("not an installer", "text/plain");
  host = server.server.hostAndPort();
  auto update = Make();
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::Incomplete);
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(ends, 0);
}

TEST_F(UpdateTest, AnInstallerThatCannotStartKeepsTheProgramRunning) {
  UpdateServer server;
  host = server.server.hostAndPort();
  shell.startResult = false;
  auto update = Make();
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::StartFailed);
  EXPECT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(ends, 0);
  EXPECT_TRUE(Installers().isEmpty());
  ASSERT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(dialogs.asked()[0].caption, QStringLiteral("Update Failed"));
}

// --- During the download.

// An installer that arrives in part, then waits far longer than any test runs.
ServerScript SlowInstaller() {
  const QByteArray whole = FileAnswer(Installer(10000));
  const qsizetype part = whole.size() - 6000;
  return ServerScript{{{0, whole.left(part)}, {50000, whole.mid(part)}}, true};
}

TEST_F(UpdateTest, CancelEndsTheDownloadAndHidesTheWindow) {
  UpdateServer server;
  server.installer = SlowInstaller();
  host = server.server.hostAndPort();
  auto update = Make();
  update->HTTPClient->SetTimeOuts(60000, 60000);
  int progressSeen = 0;
  // Once the gauge has moved, the user presses Cancel.
  QObject::connect(update->DownloadTimer, &QTimer::timeout, [&] {
    if (update->ProgressBar->value() > 0 && progressSeen == 0) {
      progressSeen = update->ProgressBar->value();
      QTest::mouseClick(update->CancelButton, Qt::LeftButton);
    }
  });
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::DownloadFailed);
  EXPECT_GT(progressSeen, 0);
  EXPECT_LT(progressSeen, 100);
  ASSERT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(dialogs.asked()[0].caption, QStringLiteral("Download Error"));
  EXPECT_FALSE(update->isVisible());
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(ends, 0);
}

TEST_F(UpdateTest, ClosingTheWindowCancelsTheDownload) {
  UpdateServer server;
  server.installer = SlowInstaller();
  host = server.server.hostAndPort();
  auto update = Make();
  update->HTTPClient->SetTimeOuts(60000, 60000);
  QObject::connect(update->HTTPClient, &T_HTTPClient::DataReceived, update.get(), [&] {
    if (server.server.requests().size() == 2) QTimer::singleShot(0, update.get(), [&] { update->close(); });
  });
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::DownloadFailed);
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(UpdateTest, ASecondCheckDuringADownloadDoesNothing) {
  UpdateServer server;
  host = server.server.hostAndPort();
  auto update = Make();
  std::optional<UpdateOutcome> second;
  QObject::connect(update->HTTPClient, &T_HTTPClient::DataReceived, [&] {
    if (!second) second = update->CheckForUpdate(false);
  });
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
  EXPECT_EQ(second, UpdateOutcome::Busy);
  EXPECT_EQ(server.server.requests().size(), 3);
  EXPECT_EQ(shell.started.size(), 1u);
}

// --- Only the project's signature makes an installer.

struct SignatureCase {
  const char* name;
  std::function<QByteArray(const QByteArray& body)> signature;
  bool valid;
  QByteArray key = TestKey().publicKey;
};

class SignatureTest : public ::testing::TestWithParam<SignatureCase> {};

TEST_P(SignatureTest, HoldsOnlyForTheKeysSignatureOfTheWholeBody) {
  const QByteArray body = Installer(5000);
  EXPECT_EQ(T_Update::SignatureValid(body, GetParam().signature(body), GetParam().key), GetParam().valid);
}

QByteArray Flipped(QByteArray bytes, qsizetype at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 1);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignatureTest,
    ::testing::Values(
        SignatureCase{"Raw", [](const QByteArray& b) { return TestKey().Sign(b); }, true},
        SignatureCase{"HexWithLineEnd", [](const QByteArray& b) { return TestKey().Sign(b).toHex() + "\n"; }, true},
        SignatureCase{"UpperCaseHex", [](const QByteArray& b) { return TestKey().Sign(b).toHex().toUpper(); }, true},
        SignatureCase{"OfAnotherBody", [](const QByteArray& b) { return TestKey().Sign(Flipped(b, 4999)); }, false},
        SignatureCase{"OfTheBodyWithoutItsLastByte", [](const QByteArray& b) { return TestKey().Sign(b.chopped(1)); },
                      false},
        SignatureCase{"ChangedSignature", [](const QByteArray& b) { return Flipped(TestKey().Sign(b), 10); }, false},
        SignatureCase{"ShortHex", [](const QByteArray& b) { return TestKey().Sign(b).toHex().chopped(2); }, false},
        SignatureCase{"NotHex", [](const QByteArray&) { return QByteArray(128, 'g'); }, false},
        SignatureCase{"Empty", [](const QByteArray&) { return QByteArray(); }, false},
        SignatureCase{"AnHtmlPage", [](const QByteArray&) { return QByteArray("<html>not found</html>"); }, false},
        SignatureCase{"TheProjectKeyDidNotSignIt", [](const QByteArray& b) { return TestKey().Sign(b); }, false,
                      ProjectPublicKey()},
        SignatureCase{"KeyOfTheWrongLength", [](const QByteArray& b) { return TestKey().Sign(b); }, false,
                      TestKey().publicKey.chopped(1)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProjectKey, IsAnEd25519PublicKey) { EXPECT_EQ(ProjectPublicKey().size(), crypto_sign_PUBLICKEYBYTES); }

struct UnsignedCase {
  const char* name;
  std::function<void(UpdateServer&)> serve;
  bool projectKey = false;  // the updater keeps the built-in key instead of the tests'
};

class UnsignedInstallerTest : public UpdateTest, public ::testing::WithParamInterface<UnsignedCase> {};

TEST_P(UnsignedInstallerTest, IsNeitherWrittenNorStartedAndTheUserIsToldOnce) {
  UpdateServer server;
  GetParam().serve(server);
  host = server.server.hostAndPort();
  UpdateIdentity identity = Identity();
  if (GetParam().projectKey) identity.publicKey = ProjectPublicKey();
  auto update = Make(identity);
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Unverified);
  ASSERT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(dialogs.asked()[0].caption, QStringLiteral("Update Failed"));
  EXPECT_EQ(dialogs.asked()[0].text, QStringLiteral("The downloaded update could not be verified and was not "
                                                    "installed.\r\nPlease try again later."));
  // The hourly check does not say it again for the same version; a check on request does.
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Unverified);
  EXPECT_EQ(dialogs.asked().size(), 1u);
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::Unverified);
  EXPECT_EQ(dialogs.asked().size(), 2u);
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(ends, 0);
  EXPECT_FALSE(update->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnsignedInstallerTest,
    ::testing::Values(
        UnsignedCase{"NoSignature", [](UpdateServer& s) { s.signature = NotFound(); }},
        UnsignedCase{"SignatureOfAnotherInstaller",
                     [](UpdateServer& s) { s.installer = ServerScript::Answer(FileAnswer(Installer(3001))); }},
        UnsignedCase{"SignatureCutShort",
                     [](UpdateServer& s) {
                       s.signature = ServerScript::Answer(FileAnswer(TestKey().Sign(Installer(3000)).left(40)));
                     }},
        UnsignedCase{"NotSignedByTheProjectKey", [](UpdateServer&) {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, AnInstallerBeyondItsCapIsNotDownloaded) {
  UpdateServer server;
  host = server.server.hostAndPort();
  auto update = Make();
  update->InstallerLimits.maxBody = 2999;
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::DownloadFailed);
  update->InstallerLimits.maxBody = 3000;
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
}

// --- Only a checked connection, or loopback, brings an installer.

struct SiteCase {
  const char* name;
  const char* host;
  const char* site;
};

class SiteTest : public ::testing::TestWithParam<SiteCase> {};

TEST_P(SiteTest, IsHttpsExceptOnLoopbackAddresses) {
  EXPECT_EQ(T_Update::SiteOf(QString::fromUtf8(GetParam().host)), QString::fromUtf8(GetParam().site));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SiteTest,
    ::testing::Values(SiteCase{"Name", "updates.orvane.org", "https://updates.orvane.org"},
                      SiteCase{"NameWithPort", "updates.orvane.org:8443", "https://updates.orvane.org:8443"},
                      SiteCase{"LoopbackWithPort", "127.0.0.1:8080", "http://127.0.0.1:8080"},
                      SiteCase{"AnyLoopbackAddress", "127.4.5.6", "http://127.4.5.6"},
                      SiteCase{"LoopbackV6", "[::1]:8080", "http://[::1]:8080"},
                      SiteCase{"LocalhostIsAName", "localhost:8080", "https://localhost:8080"},
                      SiteCase{"PrivateNetwork", "192.168.1.10", "https://192.168.1.10"},
                      SiteCase{"LooksLikeLoopback", "127.0.0.1.evil.example", "https://127.0.0.1.evil.example"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, DownloadsOverHttpsFromAServerWithACheckedCertificate) {
  UpdateServer server(LoopbackServer::Tls::On);
  host = QStringLiteral("localhost:%1").arg(server.server.port());
  auto update = Make();
  update->HTTPClient->AddCaCertificates({LoopbackServer::TlsCertificate()});
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::Started);
  EXPECT_EQ(server.server.requests().size(), 3);
  EXPECT_EQ(shell.started.size(), 1u);
  EXPECT_TRUE(dialogs.asked().empty());
}

TEST_F(UpdateTest, WithoutEncryptionANewerVersionIsOnlyAnnouncedWithItsPage) {
  for (const Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    UpdateServer server;
    // A name, not a loopback address: the version can be read in the plain, an installer not.
    host = QStringLiteral("localhost:%1").arg(server.server.port());
    auto update = Make();
    update->TlsAvailable = [] { return false; };
    update->ProductPage = [] { return QUrl(QStringLiteral("https://orvane.test/")); };
    const size_t askedBefore = dialogs.asked().size();
    dialogs.AnswerMessage(answer);
    EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Announced);
    ASSERT_EQ(dialogs.asked().size(), askedBefore + 1);
    EXPECT_EQ(dialogs.asked().back().caption, QStringLiteral("Update Available"));
    EXPECT_EQ(dialogs.LastText(), QStringLiteral("Orvane 2.0.5.151 is available.\r\nIt cannot be downloaded safely "
                                                 "from here. Do you want to open the Orvane web site to get it?"));
    EXPECT_EQ(shell.opened.size(), answer == Dialogs::Answer::Yes ? 1u : 0u);
    // The hourly check does not ask again about the same version.
    EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Announced);
    EXPECT_EQ(dialogs.asked().size(), askedBefore + 1);
    for (const QByteArray& request : server.server.requests()) {
      EXPECT_EQ(PathOf(request), QByteArray("/currentversion.php"));
    }
    EXPECT_TRUE(Installers().isEmpty());
    EXPECT_TRUE(shell.started.empty());
  }
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], QUrl(QStringLiteral("https://orvane.test/")));
}

// The "Download" window halfway through a download; written with ORVANE_SCREENSHOTS set.
TEST_F(UpdateTest, ScreenshotMidDownload) {
  UpdateServer server;
  server.installer = SlowInstaller();
  host = server.server.hostAndPort();
  auto update = Make();
  update->HTTPClient->SetTimeOuts(60000, 60000);
  QImage picture;
  QObject::connect(update->DownloadTimer, &QTimer::timeout, [&] {
    if (update->ProgressBar->value() > 0 && picture.isNull()) {
      picture = update->grab().toImage();
      update->CancelButtonClick();
    }
  });
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::DownloadFailed);
  ASSERT_FALSE(picture.isNull());
  SaveScreenshot(picture, QStringLiteral("update-download"));
}

}  // namespace
