// The options' "Calendar Server" page: connecting lists the user's calendars, choosing one
// keeps the password (in a file only where no secret store runs and the user agrees), makes
// "Orvane" where asked, and sets the account; removing it forgets it and the records' copies.
#include "editorfixture.h"
#include "network/fakecalendarserver.h"
#include "support/screenshot.h"

#include "core/keystore.h"
#include "core/paths.h"
#include "editors/serverpage.h"
#include "network/serversync.h"
#include "platform/icalendar.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// A server with a calendar home holding one calendar that is not Orvane's; with a certificate
// or another host set, it is found only once the account trusts them.
class HomeServer : public FakeCalendarServer {
 public:
  QString certificate;
  QString otherHost;
  ServerAccount account;  // what the client was made with

  void Discover(ServerCallback done) override {
    ServerAnswer answer;
    if (account.certificate != certificate) {
      answer.certificate = certificate;
      answer.error = QStringLiteral("untrusted certificate");
    } else if (account.calendarHost != otherHost) {
      answer.otherHost = otherHost;
      answer.error = QStringLiteral("another host");
    }
    if (!answer.ok()) {
      QTimer::singleShot(0, [answer, done = std::move(done)] { done(answer); });
      return;
    }
    answer.otherHost = otherHost;
    answer.home = QStringLiteral("/alice/");
    answer.collections << ServerCollection{QStringLiteral("/alice/work/"), QStringLiteral("Work"), {"VEVENT"}, {}, {}}
                       << ServerCollection{QStringLiteral("/alice/tasks/"), QStringLiteral("Tasks"), {"VTODO"}, {}, {}};
    QTimer::singleShot(0, [answer, done = std::move(done)] { done(answer); });
  }
  void MakeCalendar(const QString& home, const QString& name, ServerCallback done) override {
    ServerAnswer answer;
    answer.collections << ServerCollection{home + QStringLiteral("orvane/"), name, {}, {}, {}};
    QTimer::singleShot(0, [answer, done = std::move(done)] { done(answer); });
  }
};

class ServerPageTest : public EditorTest {
 protected:
  ServerPageTest() : page(*context) {
    page.MakeClient = [this](const ServerAccount& account, const QString&) {
      auto client = std::make_unique<HomeServer>(server);
      client->account = account;
      return client;
    };
    page.StorePassword = [this](const QString& key, const QString& password, bool fileAllowed, QString& error) {
      error = QStringLiteral("no secret service");
      if (!fileAllowed && !secretStore) return false;
      kept = {key, password};
      return true;
    };
    page.ForgetPassword = [this](const QString& key) { forgotten = key; };
  }
  void Connect() {
    page.ServerUrl->setText(QStringLiteral("https://dav.example.org/"));
    page.ServerUser->setText(QStringLiteral("alice"));
    page.ServerPassword->setText(QStringLiteral("wonderland"));
    QTest::mouseClick(page.ServerConnect, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.ServerUse->isEnabled(); }, 5000));
  }

  TempHome home;
  HomeServer server;  // what the server holds when the page connects
  ServerPage page;
  bool secretStore = true;
  std::pair<QString, QString> kept;
  QString forgotten;
};

TEST_F(ServerPageTest, ConnectListsTheCalendarsForEventsAndOffersOrvane) {
  Connect();
  QStringList items;
  for (int i = 0; i < page.ServerCalendar->count(); ++i) items << page.ServerCalendar->itemText(i);
  EXPECT_EQ(items, (QStringList{QStringLiteral("Work"), QStringLiteral("New calendar \"Orvane\"")}));
  EXPECT_EQ(page.ServerCalendar->currentIndex(), 1);
  QStringList lists;
  for (int i = 0; i < page.ServerTasks->count(); ++i) lists << page.ServerTasks->itemText(i);
  EXPECT_EQ(lists, (QStringList{QStringLiteral("With the events"), QStringLiteral("Tasks")}));
  page.resize(640, 380);
  Screenshot(&page, QStringLiteral("options-calendar-server-connected"));
  // A task list of their own for the tasks.
  page.ServerTasks->setCurrentIndex(1);
  QTest::mouseClick(page.ServerUse, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.ServerRemove->isEnabled(); }, 5000));
  const ServerAccount account = ServerAccount::Read(context->settings());
  EXPECT_EQ(account.calendar, QStringLiteral("/alice/orvane/"));
  EXPECT_EQ(account.tasks, QStringLiteral("/alice/tasks/"));
}

TEST_F(ServerPageTest, ACertificateAndAnotherHostAreTrustedOnlyWhenTheUserAgrees) {
  server.certificate = QStringLiteral("AB:CD:EF");
  server.otherHost = QStringLiteral("p12-caldav.example.org");
  dialogs->AnswerMessage(Dialogs::Answer::No);
  page.ServerUrl->setText(QStringLiteral("https://dav.example.org/"));
  page.ServerUser->setText(QStringLiteral("alice"));
  page.ServerPassword->setText(QStringLiteral("wonderland"));
  QTest::mouseClick(page.ServerConnect, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.ServerConnect->isEnabled(); }, 5000));
  EXPECT_TRUE(dialogs->LastText().contains(QStringLiteral("\nAB:CD:EF\n"))) << dialogs->LastText().toStdString();
  EXPECT_FALSE(page.ServerUse->isEnabled());

  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  Connect();
  EXPECT_EQ(
      dialogs->LastText(),
      QStringLiteral("Your calendars are kept at p12-caldav.example.org. Send your user name and password there?"));
  QTest::mouseClick(page.ServerUse, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ServerAccount::Read(context->settings()).IsSet(); }, 5000));
  const ServerAccount account = ServerAccount::Read(context->settings());
  EXPECT_EQ(account.certificate, server.certificate);
  EXPECT_EQ(account.calendarHost, server.otherHost);
  // Connecting again to the same server goes on trusting both, without asking.
  Connect();
  EXPECT_EQ(dialogs->asked().size(), 3u);
}

TEST_F(ServerPageTest, WithoutASecretStoreThePasswordGoesToTheFileOnlyWhenTheUserAgrees) {
  const int i = AddEvent(D(2026, 12, 3), QStringLiteral("Dentist"));
  note(i).Server = TServerCopy{QStringLiteral("/old/x.ics"), QStringLiteral("\"1\""), QStringLiteral("f"), false};
  secretStore = false;
  Connect();
  dialogs->AnswerMessage(Dialogs::Answer::No);
  QTest::mouseClick(page.ServerUse, Qt::LeftButton);
  EXPECT_FALSE(ServerAccount::Read(context->settings()).IsSet());
  EXPECT_TRUE(kept.first.isEmpty());

  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  QTest::mouseClick(page.ServerUse, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ServerAccount::Read(context->settings()).IsSet(); }, 5000));
  EXPECT_TRUE(dialogs->asked().back().text.contains(QStringLiteral("no secret service")));
  EXPECT_EQ(kept, std::make_pair(QStringLiteral("alice@https://dav.example.org/"), QStringLiteral("wonderland")));
  EXPECT_EQ(ServerAccount::Read(context->settings()).calendar, QStringLiteral("/alice/orvane/"));
  // Another calendar: the records go up there afresh; all of it is in the store already.
  EXPECT_TRUE(note(i).Server.Href.isEmpty());
  EXPECT_FALSE(calendar().DataChanged);
  EXPECT_TRUE(page.ServerPassword->text().isEmpty());

  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  QTest::mouseClick(page.ServerRemove, Qt::LeftButton);
  EXPECT_EQ(forgotten, kept.first);
  EXPECT_FALSE(ServerAccount::Read(context->settings()).IsSet());
  ASSERT_TRUE(context->store().OpenKeyReadOnly(QStringLiteral("\\Software\\Orvane")));
  EXPECT_FALSE(context->store().ReadString(ServerAccount::UrlSetting).has_value());
  context->store().CloseKey();
  EXPECT_TRUE(page.ServerUrl->text().isEmpty());
}

TEST_F(ServerPageTest, ACalendarMeetingAFullOneIsComparedAndBackedUpFirst) {
  const int shared = AddEvent(D(2026, 12, 3), QStringLiteral("Dentist"), EncodeTime(10, 0));
  AddEvent(D(2026, 12, 4), QStringLiteral("Gym"), EncodeTime(18, 0));
  {
    DataFormat one(*clock);
    one.NoteArray.push_back(note(shared));
    QByteArray text;
    ASSERT_TRUE(ExportICalendarText(one, clock->Now(), text).ok);
    server.Write(QStringLiteral("/alice/work/dentist.ics"), text);
    server.Write(QStringLiteral("/alice/work/lunch.ics"), text.replace(note(shared).Uid.toUtf8(), "lunch"));
  }
  Connect();
  page.ServerCalendar->setCurrentIndex(0);  // Work
  dialogs->AnswerMessage(Dialogs::Answer::No);
  QTest::mouseClick(page.ServerUse, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->Pending(); }, 5000)) << page.ServerState->text().toStdString();
  EXPECT_TRUE(dialogs->LastText().startsWith(QStringLiteral("2 events here, 2 on the server, 1 the same.")))
      << dialogs->LastText().toStdString();
  EXPECT_FALSE(ServerAccount::Read(context->settings()).IsSet());
  EXPECT_TRUE(QDir(UserDataDir()).entryList({QStringLiteral("*.ovb")}).isEmpty());

  dialogs->AnswerMessage(Dialogs::Answer::Yes);
  QTest::mouseClick(page.ServerUse, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ServerAccount::Read(context->settings()).IsSet(); }, 5000));
  EXPECT_EQ(QDir(UserDataDir()).entryList({QStringLiteral("*.ovb")}).size(), 1);
}

}  // namespace
