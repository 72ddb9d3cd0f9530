// The first start's weather question: the place typed is looked up on a fixture place search
// and kept only when the user confirms one of the places found.
#include "network/weatherplace.h"
#include "core/memorykeystore.h"
#include "loopbackserver.h"
#include "network/openmeteo.h"
#include "openmeteoanswers.h"
#include "platform/screens.h"
#include "settings/settings.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QUrl>
#include <QUrlQuery>
#include <functional>

namespace {

ServerScript JsonAnswerOf(const QByteArray& body) {
  return ServerScript::Answer(
      "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
      "Content-Length: " +
      QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

// The fixture search knows Boston (two of them); "down" answers 503; anything else matches nothing.
ServerScript Search(const QByteArray& request) {
  const QUrlQuery query(QUrl(QString::fromLatin1(request.split(' ').value(1))));
  const QString name = query.queryItemValue(QStringLiteral("name"));
  if (name == QLatin1String("down")) return ServerScript::Answer("HTTP/1.1 503 Busy\r\nContent-Length: 0\r\n\r\n");
  return JsonAnswerOf(name == QLatin1String("Boston") ? PlacesAnswer() : QByteArray("{\"generationtime_ms\":0.4}"));
}

struct Row {
  const char* name;
  std::function<void(ScriptedDialogs&)> answers;
  QStringList asked;  // the captions, in order
  QString place;      // WeatherPlace kept ("" none)
  QString latitude;
  QString zip;  // WeatherZip kept
  bool weatherOn = true;
};

TEST(WeatherPlace, TheFirstStartLooksThePlaceUpAndKeepsTheOneConfirmed) {
  const QString question = TSettings::PlaceQuestion().caption;
  const Row rows[] = {
      {"the second of two places",
       [](ScriptedDialogs& d) {
         d.AnswerInput(QStringLiteral("Boston"));
         d.AnswerChoice(1);
       },
       {question, "Weather Place"},
       "Boston, England, United Kingdom",
       "52.9763",
       "Boston"},
      {"nothing found, asked again",
       [](ScriptedDialogs& d) {
         d.AnswerInput(QStringLiteral("Atlantis"));
         d.AnswerMessage(Dialogs::Answer::Ok);
         d.AnswerInput(QStringLiteral("Boston"));
         d.AnswerChoice(0);
       },
       {question, "Weather", question, "Weather Place"},
       "Boston, Massachusetts, United States",
       "42.3584",
       "Boston"},
      {"the choice and then the question cancelled",
       [](ScriptedDialogs& d) {
         d.AnswerInput(QStringLiteral("Boston"));
         d.AnswerChoice(std::nullopt);
         d.AnswerInput(std::nullopt);
       },
       {question, "Weather Place", question},
       "",
       "",
       "",
       false},
      {"the search out of reach keeps the text for later",
       [](ScriptedDialogs& d) {
         d.AnswerInput(QStringLiteral("down"));
         d.AnswerMessage(Dialogs::Answer::Ok);
       },
       {question, "Weather"},
       "",
       "",
       "down"},
  };
  LoopbackServer server(Search);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempHome home;
    MemoryKeyStore store;
    ASSERT_TRUE(store.OpenKey(QStringLiteral("\\Software\\Orvane"), true));
    store.WriteString(QStringLiteral("EnableSync"), QStringLiteral("0"));
    store.WriteString(QStringLiteral("WeatherGeocodeUrl"), server.url(QStringLiteral("/v1/search")));
    store.CloseKey();
    ScriptedDialogs dialogs;
    row.answers(dialogs);
    FixedScreens screens;
    TSettings settings(store, dialogs, screens);
    ASSERT_TRUE(settings.WeatherPlaceAsked());
    OpenMeteoClient client;
    client.deadlineMs = 2000;
    ConfirmWeatherPlace(settings, dialogs, client);

    QStringList asked;
    for (const auto& q : dialogs.asked()) asked << q.caption;
    EXPECT_EQ(asked, row.asked);
    for (const auto& q : dialogs.asked()) {
      if (q.kind == QLatin1String("choice")) {
        EXPECT_EQ(q.items, QStringList({"Boston, Massachusetts, United States", "Boston, England, United Kingdom"}));
      }
    }
    EXPECT_EQ(settings.GetSetting("WeatherPlace"), row.place);
    EXPECT_EQ(settings.GetSetting("WeatherLatitude"), row.latitude);
    EXPECT_EQ(settings.GetSetting("WeatherZip"), row.zip);
    EXPECT_EQ(settings.GetBool("DisplayWeather"), row.weatherOn);
  }
}

}  // namespace
