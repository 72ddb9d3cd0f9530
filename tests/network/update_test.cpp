#include "network/update.h"
#include "loopbackserver.h"
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
 public:
  UpdateTest() {
    QDir().mkpath(programDir);
    QDir().mkpath(dataDir);
  }
  // The updater over the host the test sets (empty: none), recording the program's end.
  std::unique_ptr<T_Update> Make(UpdateIdentity id) {
    auto update = std::make_unique<T_Update>(
        dialogs, shell, network, [this] { return host; }, std::move(id));
    update->HTTPClient->SetTimeOuts(2000, 2000);
    update->EndProgram = [this] { ++ends; };
    return update;
  }
  std::unique_ptr<T_Update> Serving(UpdateServer& server) {
    host = server.server.hostAndPort();
    return Make(identity);
  }
  // Every installer file in both folders.
  QStringList Installers() const {
    QStringList found;
    for (const QString& dir : {programDir, dataDir}) {
      for (const QString& name : QDir(dir).entryList({QStringLiteral("setup_*")}, QDir::Files)) found << dir + name;
    }
    return found;
  }

  TempHome home;
  const QString programDir = home.path() + QStringLiteral("/bin/"), dataDir = home.path() + QStringLiteral("/data/");
  UpdateIdentity identity{QStringLiteral("2.0.5.150"), QStringLiteral("orvane"), programDir, dataDir,
                          TestKey().publicKey};
  ScriptedDialogs dialogs;
  RecordingShell shell;
  FakeNetworkPresence network;
  QString host;
  int ends = 0;
};

TEST(UpdateNames, VersionNumbersUsableVersionsAndSites) {
  // clang-format off
  const std::pair<const char*, std::optional<qint64>> numbers[] = {
      {"2.0.5.150", 150}, {"2.0.5. 151 ", 151}, {"1.007", 7}, {"2.0.5.", std::nullopt}, {"2.0.5.1b", std::nullopt},
      {"2.0.5.-3", std::nullopt}, {"2.0.5.1234567890123456789", std::nullopt}};
  const std::pair<const char*, bool> usable[] = {
      {"2.0.5.151", true}, {"2.0-rc_1.7", true}, {"", false}, {"../../etc/cron.d/x.1", false}, {"2/0.1", false},
      {"2..1", false}, {"2.0?x=1.1", false}, {"2.0.5.x", false},
      {"1.1111111111.1111111111.1111111111.1111111111.1111111111.1111111111.1", false}};
  // Only a checked connection, or loopback, brings an installer.
  const std::pair<const char*, const char*> sites[] = {
      {"updates.orvane.org:8443", "https://updates.orvane.org:8443"}, {"127.0.0.1:8080", "http://127.0.0.1:8080"},
      {"127.4.5.6", "http://127.4.5.6"}, {"[::1]:8080", "http://[::1]:8080"},
      {"localhost:8080", "https://localhost:8080"}, {"127.0.0.1.evil.example", "https://127.0.0.1.evil.example"}};
  // clang-format on
  for (const auto& [text, number] : numbers)
    EXPECT_EQ(T_Update::VersionNumber(QString::fromUtf8(text)), number) << text;
  for (const auto& [text, ok] : usable) EXPECT_EQ(T_Update::UsableVersion(QString::fromUtf8(text)), ok) << text;
  for (const auto& [host, site] : sites) EXPECT_EQ(T_Update::SiteOf(QString::fromUtf8(host)), QString::fromUtf8(site));
  EXPECT_EQ(T_Update::EditionOf(QStringLiteral("tessaly")), QStringLiteral("lit"));
  EXPECT_EQ(ProjectPublicKey().size(), crypto_sign_PUBLICKEYBYTES);
}

TEST_F(UpdateTest, TakesTheCompiledInVersionAndDeletesItsOwnInstallerAtStart) {
  const UpdateIdentity self = UpdateIdentity::ThisProgram();
  EXPECT_EQ(self.version.count(QLatin1Char('.')), 3);
  EXPECT_TRUE(T_Update::UsableVersion(self.version));
  EXPECT_EQ(self.executableName, QStringLiteral("test_network"));
  const QStringList kept = {programDir + QStringLiteral("setup_2.0.5.149_prm.exe"),
                            programDir + QStringLiteral("setup_2.0.5.151_lit.exe")};
  for (const QString& path : kept + QStringList{programDir + QStringLiteral("setup_2.0.5.151_prm.exe"),
                                                dataDir + QStringLiteral("setup_2.0.5.151_prm.exe")}) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("installer");
  }
  identity.version = QStringLiteral("2.0.5.151");
  EXPECT_EQ(Make(identity)->EditionCode(), QStringLiteral("prm"));
  EXPECT_EQ(Installers(), kept);
}

TEST_F(UpdateTest, TheFirstLineOfTheVersionPageIsComparedByItsLastComponentOnly) {
  const std::pair<QByteArray, UpdateOutcome> pages[] = {{"2.1.0.1", UpdateOutcome::NoUpdate},
                                                        {"2.0.5.150", UpdateOutcome::NoUpdate},
                                                        {"2.0.5.151\r\n2.0.5.999\r\nnotes\r\n", UpdateOutcome::Started},
                                                        {"  2.0.5.151  \n2.0.5.999\n", UpdateOutcome::Started}};
  for (const auto& [page, outcome] : pages) {
    UpdateServer server;
    server.version = ServerScript::Page(page);
    auto update = Serving(server);
    EXPECT_EQ(update->CheckForUpdate(false), outcome) << page.constData();
    ASSERT_EQ(server.server.requests().size(), outcome == UpdateOutcome::NoUpdate ? 1 : 3);
    EXPECT_TRUE(server.server.requests().at(0).startsWith("GET /currentversion.php HTTP/1.1\r\n"));
    EXPECT_TRUE(server.server.requests().at(0).contains("\r\nUser-Agent: Orvane/1.0\r\n"));
    EXPECT_EQ(server.Path(1), outcome == UpdateOutcome::NoUpdate ? "" : "/downloads/setup_2.0.5.151_prm.exe");
  }
  EXPECT_TRUE(dialogs.asked().empty());
  EXPECT_EQ(shell.started.size(), 2u);
  // Without a network the server is not asked.
  UpdateServer server;
  host = server.server.hostAndPort();
  network.present = false;
  EXPECT_EQ(Make(identity)->CheckForUpdate(true), UpdateOutcome::CheckFailed);
  EXPECT_EQ(network.asked.back(), QStringLiteral("127.0.0.1"));
  EXPECT_TRUE(server.server.requests().isEmpty());
}

TEST_F(UpdateTest, DownloadsOverCheckedHttpsWritesAndStartsTheNewerInstallerThenEnds) {
  UpdateServer server(LoopbackServer::Tls::On);
  host = QStringLiteral("localhost:%1").arg(server.server.port());
  auto update = Make(identity);
  update->HTTPClient->AddCaCertificates({LoopbackServer::TlsCertificate()});
  const QString expected = programDir + QStringLiteral("setup_2.0.5.151_prm.exe");
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
  EXPECT_TRUE(server.server.requests().at(1).contains("\r\nUser-Agent: Orvane/1.0\r\n"));
  EXPECT_EQ(server.Path(2), QByteArray("/downloads/setup_2.0.5.151_prm.exe.sig"));
  EXPECT_TRUE(visibleDuringDownload);
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].program, expected);
  EXPECT_EQ(onDiskAtStart, Installer(3000));  // complete before it was started
  EXPECT_TRUE(QFileInfo(expected).isExecutable());
  EXPECT_EQ(Installers(), QStringList{expected});
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(dialogs.asked().empty());
  EXPECT_FALSE(update->isVisible());
  EXPECT_FALSE(update->DownloadTimer->isActive());
}

TEST_F(UpdateTest, StartingTheInstallerEndsTheMainLoop) {
  UpdateServer server;
  host = server.server.hostAndPort();
  // The program's own way to end: the main loop returns, and the main sequence saves.
  T_Update update(
      dialogs, shell, network, [this] { return host; }, identity);
  std::optional<UpdateOutcome> outcome;
  QTimer::singleShot(0, &update, [&] { outcome = update.CheckForUpdate(true); });
  QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });  // ends a broken test instead of hanging it
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_EQ(outcome, UpdateOutcome::Started);
}

TEST_F(UpdateTest, WritesIntoTheDataFolderWhenTheProgramFolderIsNotWritableAndStartsNothingWithoutOne) {
  UpdateServer server;
  host = server.server.hostAndPort();
  identity.programDir = home.path() + QStringLiteral("/missing/");
  EXPECT_EQ(Make(identity)->CheckForUpdate(true), UpdateOutcome::Started);
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].program, dataDir + QStringLiteral("setup_2.0.5.151_prm.exe"));
  identity.userDataDir = home.path() + QStringLiteral("/missing-too/");
  EXPECT_EQ(Make(identity)->CheckForUpdate(false), UpdateOutcome::Incomplete);
  EXPECT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(ends, 1);
}

TEST_F(UpdateTest, OtherInstallerAnswersAreWrittenOnlyWhenSignedAndCapped) {
  UpdateServer server;
  // An HTML answer is written and started like a file.
  const QByteArray script = "#!/bin/sh\necho installing\n";
  server.installer = ServerScript::Page(script);
  server.signature = File(TestKey().Sign(script));
  auto update = Serving(server);
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Started);
  ASSERT_TRUE(QFile::remove(programDir + QStringLiteral("setup_2.0.5.151_prm.exe")));
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
  EXPECT_EQ(ends, 2);
}

// Silent checks say nothing of a failure (but of an unverified installer, once per version);
// checks on request say what failed. Nothing is left behind or started.
struct FailureCase {
  const char* name;
  void (*serve)(UpdateTest&, UpdateServer&);
  UpdateOutcome outcome;
  const char* caption = "Update Failed";
};

class UpdateFailure : public UpdateTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpdateFailure, IsToldOnlyWhenAskedAndLeavesNothing) {
  const FailureCase& c = GetParam();
  UpdateServer server;
  host = server.server.hostAndPort();
  c.serve(*this, server);
  auto update = Make(identity);
  const bool unverified = c.outcome == UpdateOutcome::Unverified;
  if (unverified) dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(true), c.outcome);
  EXPECT_FALSE(update->isVisible());
  EXPECT_EQ(update->CheckForUpdate(true), c.outcome);  // the hourly check does not say it again
  dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_EQ(update->CheckForUpdate(false), c.outcome);
  ASSERT_EQ(dialogs.asked().size(), unverified ? 2u : 1u);
  EXPECT_EQ(dialogs.asked().back().caption, QString::fromUtf8(c.caption));
  const std::map<UpdateOutcome, const char*> texts = {
      {UpdateOutcome::CheckFailed,
       "The system failed to get the available version information.\r\nPlease make sure you are connected to the "
       "internet."},
      {UpdateOutcome::DownloadFailed, "The download failed.\r\nPlease try again later."},
      {UpdateOutcome::Unverified,
       "The downloaded update could not be verified and was not installed.\r\nPlease try again later."}};
  const auto text = texts.find(c.outcome);
  EXPECT_EQ(dialogs.LastText(), text == texts.end() ? dialogs.LastText() : QString::fromUtf8(text->second));
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_EQ(shell.started.size(), c.outcome == UpdateOutcome::StartFailed ? 3u : 0u);
  EXPECT_EQ(ends, 0);
}

using U = UpdateTest;
using S = UpdateServer;
using Out = UpdateOutcome;
ServerScript Page(const char* text) { return ServerScript::Page(text); }
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, UpdateFailure, ::testing::Values(
    FailureCase{"BlankHost", [](U& t, S&) { t.host = QStringLiteral("   "); }, Out::CheckFailed},
    FailureCase{"VersionNotFound", [](U&, S& s) { s.version = NotFound; }, Out::CheckFailed},
    FailureCase{"EmptyAnswer", [](U&, S& s) { s.version = Page(""); }, Out::CheckFailed},
    FailureCase{"ClimbsOutOfTheFolder", [](U&, S& s) { s.version = Page("../../../tmp/evil.999"); }, Out::CheckFailed},
    FailureCase{"InstallerNotFound", [](U&, S& s) { s.installer = NotFound; }, Out::DownloadFailed, "Download Error"},
    FailureCase{"ShorterThanAnnounced", [](U&, S& s) { s.installer = File(Installer(400), 1000); }, Out::DownloadFailed, "Download Error"},
    FailureCase{"InstallerClosedWithoutAnswer", [](U&, S& s) { s.installer = ServerScript::Answer(""); }, Out::DownloadFailed, "Download Error"},
    FailureCase{"StallsUntilTheTimeOut", [](U&, S& s) { s.installer = File(Installer(400), 1000, false); }, Out::DownloadFailed, "Download Error"},
    FailureCase{"InstallerCannotStart", [](U& t, S&) { t.shell.startResult = false; }, Out::StartFailed},
    FailureCase{"NoSignature", [](U&, S& s) { s.signature = NotFound; }, Out::Unverified},
    FailureCase{"SignatureOfAnotherInstaller", [](U&, S& s) { s.installer = File(Installer(3001)); }, Out::Unverified},
    FailureCase{"SignatureCutShort", [](U&, S& s) { s.signature = File(TestKey().Sign(Installer(3000)).left(40)); }, Out::Unverified},
    FailureCase{"NotSignedByTheProjectKey", [](U& t, S&) { t.identity.publicKey = ProjectPublicKey(); }, Out::Unverified}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(UpdateSignature, HoldsOnlyForTheKeysSignatureOfTheWholeBody) {
  const QByteArray body = Installer(5000), signature = TestKey().Sign(body), key = TestKey().publicKey;
  QByteArray lastFlipped = body, signatureFlipped = signature;
  lastFlipped[4999] = static_cast<char>(lastFlipped[4999] ^ 1);
  signatureFlipped[10] = static_cast<char>(signatureFlipped[10] ^ 1);
  // clang-format off
  const struct { QByteArray signature; bool valid; QByteArray key; } cases[] = {
      {signature, true, key}, {signature.toHex() + "\n", true, key}, {signature.toHex().toUpper(), true, key},
      {TestKey().Sign(lastFlipped), false, key}, {TestKey().Sign(body.chopped(1)), false, key},
      {signatureFlipped, false, key}, {signature.toHex().chopped(2), false, key}, {QByteArray(128, 'g'), false, key},
      {QByteArray(), false, key}, {signature, false, ProjectPublicKey()}, {signature, false, key.chopped(1)}};
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(T_Update::SignatureValid(body, c.signature, c.key), c.valid) << c.signature.toHex().left(20).constData();
}

TEST_F(UpdateTest, ScreenshotMidDownloadThenCancelOrClosingEndsIt) {
  for (const bool close : {false, true}) {
    UpdateServer server;
    // An installer that arrives in part, then waits far longer than any test runs.
    const QByteArray whole = File(Installer(10000)).pieces[0].bytes;
    server.installer = ServerScript{{{0, whole.chopped(6000)}, {50000, whole.right(6000)}}, true};
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
  EXPECT_EQ(dialogs.asked().size(), 1u);
  EXPECT_TRUE(Installers().isEmpty());
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(UpdateTest, WithoutEncryptionANewerVersionIsOnlyAnnouncedWithItsPage) {
  UpdateServer server;
  // A name, not a loopback address: the version can be read in the plain, an installer not.
  host = QStringLiteral("localhost:%1").arg(server.server.port());
  auto update = Make(identity);
  update->TlsAvailable = [] { return false; };
  update->ProductPage = [] { return QUrl(QStringLiteral("https://orvane.test/")); };
  dialogs.AnswerMessage(Dialogs::Answer::Yes);
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Announced);
  EXPECT_EQ(dialogs.LastText(), QStringLiteral("Orvane 2.0.5.151 is available.\r\nIt cannot be downloaded safely "
                                               "from here. Do you want to open the Orvane web site to get it?"));
  // The hourly check does not ask again about the same version.
  EXPECT_EQ(update->CheckForUpdate(true), UpdateOutcome::Announced);
  EXPECT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(server.server.requests().size(), 2);
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(shell.opened, std::vector<QUrl>{QUrl(QStringLiteral("https://orvane.test/"))});
}

}  // namespace
