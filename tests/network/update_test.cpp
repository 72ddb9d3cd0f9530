#include "network/update.h"
#include "loopbackserver.h"
#include "network/httpclient.h"
#include "support/fakeservices.h"
#include "support/recordingshell.h"
#include "support/screenshot.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <sodium.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

namespace {

QByteArray Installer(int n) {
  QByteArray out(n, '\0');
  for (int i = 0; i < n; ++i) out[i] = static_cast<char>(i * 7 % 251);
  return out;
}

ServerScript File(const QByteArray& body, qint64 announced = -1, bool close = true) {
  return ServerScript::Answer("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                                  QByteArray::number(announced < 0 ? body.size() : announced) + "\r\n\r\n" + body,
                              close);
}

const ServerScript NotFound = ServerScript::Answer("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n");

QByteArray PathOf(const QByteArray& request) { return request.split(' ').value(1); }

// A signing key of the tests' own, standing in for the project's.
struct SigningKey {
  SigningKey() : publicKey(crypto_sign_PUBLICKEYBYTES, '\0'), secretKey(crypto_sign_SECRETKEYBYTES, '\0') {
    EXPECT_GE(sodium_init(), 0);
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
  QByteArray publicKey, secretKey;
};

const SigningKey& TestKey() {
  static const SigningKey key;
  return key;
}

// An update server on loopback: its version page, one installer answer and its signature;
// anything else is not found.
struct UpdateServer {
  explicit UpdateServer(LoopbackServer::Tls tls = LoopbackServer::Tls::Off) : tls(tls) {}
  ServerScript version = ServerScript::Page("2.0.5.151");
  ServerScript installer = File(Installer(3000));
  ServerScript signature = File(TestKey().Sign(Installer(3000)));
  LoopbackServer::Tls tls;
  LoopbackServer server{[this](const QByteArray& request) {
                          const QByteArray path = PathOf(request);
                          if (path == "/currentversion.php") return version;
                          if (path.startsWith("/downloads/") && path.endsWith(".sig")) return signature;
                          return path.startsWith("/downloads/") ? installer : NotFound;
                        },
                        tls};
  QByteArray Path(int i) const { return PathOf(server.requests().value(i)); }
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
    auto update = std::make_unique<T_Update>(
        dialogs, shell, network, [this] { return host; }, std::move(identity));
    update->HTTPClient->SetTimeOuts(2000, 2000);
    update->EndProgram = [this] { ++ends; };
    return update;
  }
  std::unique_ptr<T_Update> Make() { return Make(Identity()); }
  std::unique_ptr<T_Update> Serving(UpdateServer& server) {
    host = server.server.hostAndPort();
    return Make();
  }
  // Every installer file in both folders.
  QStringList Installers() const {
    QStringList found;
    for (const QString& dir : {programDir(), dataDir()}) {
      for (const QString& name : QDir(dir).entryList({QStringLiteral("setup_*")}, QDir::Files)) found << dir + name;
    }
    return found;
  }
  // An installer that arrives in part, then waits far longer than any test runs.
  static ServerScript SlowInstaller() {
    const QByteArray whole = File(Installer(10000)).pieces[0].bytes;
    return ServerScript{{{0, whole.chopped(6000)}, {50000, whole.right(6000)}}, true};
  }

  TempHome home;
  ScriptedDialogs dialogs;
  RecordingShell shell;
  FakeNetworkPresence network;
  QString host;
  int ends = 0;
};

TEST(UpdateNames, VersionNumbersUsableVersionsEditionsAndSites) {
  const std::pair<const char*, std::optional<qint64>> numbers[] = {{"2.0.5.150", 150},
                                                                   {"2.1.0.1", 1},
                                                                   {"2.0.5. 151 ", 151},
                                                                   {"42", 42},
                                                                   {"1.007", 7},
                                                                   {"2.0.5.", std::nullopt},
                                                                   {"2.0.5.beta", std::nullopt},
                                                                   {"2.0.5.1b", std::nullopt},
                                                                   {"2.0.5.-3", std::nullopt},
                                                                   {"2.0.5.+3", std::nullopt},
                                                                   {"2.0.5.1234567890123456789", std::nullopt},
                                                                   {"<!DOCTYPE html>", std::nullopt}};
  for (const auto& [text, number] : numbers)
    EXPECT_EQ(T_Update::VersionNumber(QString::fromUtf8(text)), number) << text;
  const std::pair<const char*, bool> usable[] = {
      {"2.0.5.151", true}, {"2.0-rc_1.7", true},
      {"", false},         {"../../etc/cron.d/x.1", false},
      {"2/0.1", false},    {"2..1", false},
      {"2.0 5.1", false},  {"2.0?x=1.1", false},
      {"2.0.5.x", false},  {"1.1111111111.1111111111.1111111111.1111111111.1111111111.1111111111.1", false}};
  for (const auto& [text, ok] : usable) EXPECT_EQ(T_Update::UsableVersion(QString::fromUtf8(text)), ok) << text;
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("tessaly")), QStringLiteral("lit"));
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("Orvane")), QStringLiteral("Orvane"));
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("orvane-dev")), QStringLiteral("orvane-dev"));
  // Only a checked connection, or loopback, brings an installer.
  const std::pair<const char*, const char*> sites[] = {{"updates.orvane.org", "https://updates.orvane.org"},
                                                       {"updates.orvane.org:8443", "https://updates.orvane.org:8443"},
                                                       {"127.0.0.1:8080", "http://127.0.0.1:8080"},
                                                       {"127.4.5.6", "http://127.4.5.6"},
                                                       {"[::1]:8080", "http://[::1]:8080"},
                                                       {"localhost:8080", "https://localhost:8080"},
                                                       {"192.168.1.10", "https://192.168.1.10"},
                                                       {"127.0.0.1.evil.example", "https://127.0.0.1.evil.example"}};
  for (const auto& [host, site] : sites) EXPECT_EQ(T_Update::SiteOf(QString::fromUtf8(host)), QString::fromUtf8(site));
  EXPECT_EQ(ProjectPublicKey().size(), crypto_sign_PUBLICKEYBYTES);
}

TEST_F(UpdateTest, TakesTheCompiledInVersionAndDeletesItsOwnInstallerAtStart) {
  const UpdateIdentity self = UpdateIdentity::ThisProgram();
  EXPECT_EQ(self.version.count(QLatin1Char('.')), 3);
  EXPECT_TRUE(T_Update::UsableVersion(self.version));
  EXPECT_EQ(self.executableName, QStringLiteral("test_network"));
  const QStringList leftovers = {programDir() + QStringLiteral("setup_2.0.5.151_prm.exe"),
                                 dataDir() + QStringLiteral("setup_2.0.5.151_prm.exe")};
  const QStringList kept = {programDir() + QStringLiteral("setup_2.0.5.149_prm.exe"),
                            programDir() + QStringLiteral("setup_2.0.5.151_lit.exe")};
  for (const QString& path : leftovers + kept) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("installer");
  }
  EXPECT_EQ(Make(Identity(QStringLiteral("2.0.5.151")))->EditionCode(), QStringLiteral("prm"));
  EXPECT_EQ(Installers(), kept);
}

TEST_F(UpdateTest, OnlyTheLastComponentDecidesWhetherAVersionIsNewer) {
  for (const char* version : {"2.1.0.1", "2.0.5.150"}) {
    UpdateServer server;
    server.version = ServerScript::Page(version);
    auto update = Serving(server);
    EXPECT_EQ(update->CheckForUpdate(version[2] == '1'), UpdateOutcome::NoUpdate) << version;
    ASSERT_EQ(server.server.requests().size(), 1);
    EXPECT_EQ(server.Path(0), QByteArray("/currentversion.php"));
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
  auto update = Serving(server);
  const QString expected = programDir() + QStringLiteral("setup_2.0.5.151_prm.exe");
  QByteArray onDiskAtStart;
  bool visibleDuringDownload = false;
  std::optional<UpdateOutcome> second;
  QObject::connect(update->HTTPClient, &T_HTTPClient::DataReceived, [&] {
    visibleDuringDownload = update->isVisible();
    if (!second) second = update->CheckForUpdate(false);  // a second check during a download does nothing
  });
  shell.onStart = [&](const QString& program) {
    QFile file(program);
    if (file.open(QIODevice::ReadOnly)) onDiskAtStart = file.readAll();
  };
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
  EXPECT_EQ(second, UpdateOutcome::Busy);
  ASSERT_EQ(server.server.requests().size(), 3);
  EXPECT_TRUE(server.server.requests().at(1).startsWith("GET /downloads/setup_2.0.5.151_prm.exe HTTP/1.1\r\n"));
  EXPECT_TRUE(server.server.requests().at(1).contains("\r\nUser-Agent: Orvane/1.0\r\n"));
  EXPECT_EQ(server.Path(2), QByteArray("/downloads/setup_2.0.5.151_prm.exe.sig"));
  EXPECT_TRUE(visibleDuringDownload);
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].program, expected);
  EXPECT_TRUE(shell.started[0].arguments.isEmpty());
  EXPECT_EQ(onDiskAtStart, Installer(3000));  // complete before it was started
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
  T_Update update(
      dialogs, shell, network, [this] { return host; }, Identity());
  std::optional<UpdateOutcome> outcome;
  QTimer::singleShot(0, &update, [&] { outcome = update.CheckForUpdate(true); });
  QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });  // ends a broken test instead of hanging it
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
  identity.userDataDir = home.path() + QStringLiteral("/missing-too/");
  EXPECT_EQ(Make(identity)->CheckForUpdate(false), UpdateOutcome::Incomplete);
  EXPECT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(ends, 1);
}

TEST_F(UpdateTest, OnlyTheFirstLineOfTheVersionPageIsTheVersion) {
  for (const QByteArray page :
       {"2.0.5.151\r\n", "2.0.5.151\r\n2.0.5.999\r\nnotes\r\n", "2.0.5.151\n2.0.5.999\n", "  2.0.5.151  \r\n"}) {
    UpdateServer server;
    server.version = ServerScript::Page(page);
    auto update = Serving(server);
    EXPECT_EQ(update->GetRemoteVersion(), QStringLiteral("2.0.5.151"));
    EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
    EXPECT_EQ(server.Path(2), QByteArray("/downloads/setup_2.0.5.151_prm.exe"));
  }
  EXPECT_EQ(shell.started.size(), 4u);
}

TEST_F(UpdateTest, OtherInstallerAnswersAreWrittenOnlyWhenSignedAndCapped) {
  UpdateServer server;
  // An HTML answer is written and started like a file.
  const QByteArray script = "#!/bin/sh\necho installing\n";
  server.installer = ServerScript::Page(script);
  server.signature = File(TestKey().Sign(script));
  auto update = Serving(server);
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
  ASSERT_EQ(shell.started.size(), 1u);
  QFile file(shell.started[0].program);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), script);
  ASSERT_TRUE(file.remove());
  // An answer of another type never is.
  server.installer = ServerScript::Page("not an installer", "text/plain");
  EXPECT_EQ(update->CheckForUpdate(false), UpdateOutcome::Incomplete);
  EXPECT_TRUE(Installers().isEmpty());
  // An installer beyond its cap is not downloaded.
  server.installer = File(Installer(3000));
  server.signature = File(TestKey().Sign(Installer(3000)));
  update->InstallerLimits.maxBody = 2999;
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::DownloadFailed);
  update->InstallerLimits.maxBody = 3000;
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
  EXPECT_EQ(shell.started.size(), 2u);
  EXPECT_EQ(ends, 2);
}

// Silent checks say nothing of a failure (but of an unverified installer, once per version);
// checks on request say what failed. Nothing is left behind or started.
struct FailureCase {
  const char* name;
  std::function<void(UpdateServer&, QString& host, UpdateIdentity&, RecordingShell&)> serve;
  UpdateOutcome outcome;
  const char* caption = "Update Failed";
  bool toldWhenSilent = false;
};

class UpdateFailure : public UpdateTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpdateFailure, IsToldOnlyWhenAskedAndLeavesNothing) {
  const FailureCase& c = GetParam();
  UpdateServer server;
  host = server.server.hostAndPort();
  UpdateIdentity identity = Identity();
  c.serve(server, host, identity, shell);
  auto update = Make(identity);
  if (c.toldWhenSilent) dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(true), c.outcome);
  EXPECT_LE(server.server.requests().size(), c.outcome == UpdateOutcome::CheckFailed ? 1 : 3);
  EXPECT_FALSE(update->isVisible());
  EXPECT_FALSE(update->DownloadTimer->isActive());
  EXPECT_EQ(update->CheckForUpdate(true), c.outcome);  // the hourly check does not say it again
  EXPECT_EQ(dialogs.asked().size(), c.toldWhenSilent ? 1u : 0u);
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(false), c.outcome);
  ASSERT_EQ(dialogs.asked().size(), c.toldWhenSilent ? 2u : 1u);
  EXPECT_EQ(dialogs.asked().back().caption, QString::fromUtf8(c.caption));
  const char* text =
      c.outcome == UpdateOutcome::CheckFailed
          ? "The system failed to get the available version information.\r\nPlease make sure you are "
            "connected to the internet."
      : c.outcome == UpdateOutcome::DownloadFailed ? "The download failed.\r\nPlease try again later."
      : c.outcome == UpdateOutcome::Unverified
          ? "The downloaded update could not be verified and was not installed.\r\nPlease try again later."
          : nullptr;
  EXPECT_EQ(dialogs.asked().back().text, text ? QString::fromUtf8(text) : dialogs.asked().back().text);
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_EQ(shell.started.size(), c.outcome == UpdateOutcome::StartFailed ? 3u : 0u);
  EXPECT_EQ(ends, 0);
}

using Check = UpdateOutcome;
void Version(UpdateServer& s, const QByteArray& page) { s.version = ServerScript::Page(page); }
INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateFailure,
    ::testing::Values(
        FailureCase{"NoHostConfigured", [](auto&, QString& h, auto&, auto&) { h.clear(); }, Check::CheckFailed},
        FailureCase{"BlankHost", [](auto&, QString& h, auto&, auto&) { h = QStringLiteral("   "); },
                    Check::CheckFailed},
        FailureCase{"ServerUnreachable", [](UpdateServer& s, auto&, auto&, auto&) { s.server.close(); },
                    Check::CheckFailed},
        FailureCase{"VersionNotFound", [](UpdateServer& s, auto&, auto&, auto&) { s.version = NotFound; },
                    Check::CheckFailed},
        FailureCase{"EmptyAnswer", [](UpdateServer& s, auto&, auto&, auto&) { Version(s, ""); }, Check::CheckFailed},
        FailureCase{"ClosedWithoutAnswer",
                    [](UpdateServer& s, auto&, auto&, auto&) { s.version = ServerScript::Answer(""); },
                    Check::CheckFailed},
        FailureCase{"LastComponentNotANumber", [](UpdateServer& s, auto&, auto&, auto&) { Version(s, "2.0.5.beta"); },
                    Check::CheckFailed},
        FailureCase{"AnHtmlPage",
                    [](UpdateServer& s, auto&, auto&, auto&) { Version(s, "<html><body>Sign in</body></html>"); },
                    Check::CheckFailed},
        FailureCase{"ClimbsOutOfTheFolder",
                    [](UpdateServer& s, auto&, auto&, auto&) { Version(s, "../../../tmp/evil.999"); },
                    Check::CheckFailed},
        FailureCase{"InstallerNotFound", [](UpdateServer& s, auto&, auto&, auto&) { s.installer = NotFound; },
                    Check::DownloadFailed, "Download Error"},
        FailureCase{"ShorterThanAnnounced",
                    [](UpdateServer& s, auto&, auto&, auto&) { s.installer = File(Installer(400), 1000); },
                    Check::DownloadFailed, "Download Error"},
        FailureCase{"InstallerClosedWithoutAnswer",
                    [](UpdateServer& s, auto&, auto&, auto&) { s.installer = ServerScript::Answer(""); },
                    Check::DownloadFailed, "Download Error"},
        FailureCase{"StallsUntilTheTimeOut",
                    [](UpdateServer& s, auto&, auto&, auto&) { s.installer = File(Installer(400), 1000, false); },
                    Check::DownloadFailed, "Download Error"},
        FailureCase{"InstallerCannotStart",
                    [](auto&, auto&, auto&, RecordingShell& shell) { shell.startResult = false; }, Check::StartFailed},
        FailureCase{"NoSignature", [](UpdateServer& s, auto&, auto&, auto&) { s.signature = NotFound; },
                    Check::Unverified, "Update Failed", true},
        FailureCase{"SignatureOfAnotherInstaller",
                    [](UpdateServer& s, auto&, auto&, auto&) { s.installer = File(Installer(3001)); },
                    Check::Unverified, "Update Failed", true},
        FailureCase{
            "SignatureCutShort",
            [](UpdateServer& s, auto&, auto&, auto&) { s.signature = File(TestKey().Sign(Installer(3000)).left(40)); },
            Check::Unverified, "Update Failed", true},
        FailureCase{"NotSignedByTheProjectKey",
                    [](auto&, auto&, UpdateIdentity& identity, auto&) { identity.publicKey = ProjectPublicKey(); },
                    Check::Unverified, "Update Failed", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateSignature, HoldsOnlyForTheKeysSignatureOfTheWholeBody) {
  const QByteArray body = Installer(5000), signature = TestKey().Sign(body), key = TestKey().publicKey;
  const auto flipped = [](QByteArray bytes, qsizetype at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 1);
    return bytes;
  };
  const struct {
    QByteArray signature;
    bool valid;
    QByteArray key;
  } cases[] = {{signature, true, key},
               {signature.toHex() + "\n", true, key},
               {signature.toHex().toUpper(), true, key},
               {TestKey().Sign(flipped(body, 4999)), false, key},
               {TestKey().Sign(body.chopped(1)), false, key},
               {flipped(signature, 10), false, key},
               {signature.toHex().chopped(2), false, key},
               {QByteArray(128, 'g'), false, key},
               {QByteArray(), false, key},
               {"<html>not found</html>", false, key},
               {signature, false, ProjectPublicKey()},
               {signature, false, key.chopped(1)}};
  for (const auto& c : cases)
    EXPECT_EQ(T_Update::SignatureValid(body, c.signature, c.key), c.valid) << c.signature.toHex().left(20).constData();
}

TEST_F(UpdateTest, ScreenshotMidDownloadThenCancelOrClosingEndsIt) {
  for (const bool close : {false, true}) {
    UpdateServer server;
    server.installer = SlowInstaller();
    auto update = Serving(server);
    update->HTTPClient->SetTimeOuts(60000, 60000);
    int progressSeen = 0;
    // Once the gauge has moved, the user presses Cancel (the window's picture for the
    // screenshots is taken then) or closes the window.
    QObject::connect(update->DownloadTimer, &QTimer::timeout, [&] {
      if (update->ProgressBar->value() == 0 || progressSeen > 0) return;
      progressSeen = update->ProgressBar->value();
      if (close) return QTimer::singleShot(0, update.get(), [&] { update->close(); });
      SaveScreenshot(update->grab().toImage(), QStringLiteral("update-download"));
      QTest::mouseClick(update->CancelButton, Qt::LeftButton);
    });
    if (!close) dialogs.AnswerMessage(Dialogs::Answer::Ok);
    EXPECT_EQ(update->CheckForUpdate(close), UpdateOutcome::DownloadFailed);
    EXPECT_GT(progressSeen, 0);
    EXPECT_LT(progressSeen, 100);
    EXPECT_FALSE(update->isVisible());
  }
  ASSERT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(dialogs.asked()[0].caption, QStringLiteral("Download Error"));
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(ends, 0);
}

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
    for (const QByteArray& request : server.server.requests())
      EXPECT_EQ(PathOf(request), QByteArray("/currentversion.php"));
    EXPECT_TRUE(Installers().isEmpty());
    EXPECT_TRUE(shell.started.empty());
  }
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], QUrl(QStringLiteral("https://orvane.test/")));
}

}  // namespace
