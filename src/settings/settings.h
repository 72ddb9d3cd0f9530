#pragma once

#include "core/dataformat.h"  // SaveResult

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Dialogs;
class KeyStore;
class Screens;

// Every preference of the program as named text values, kept as text values directly under
// \Software\Orvane in the key store. Names are matched without regard to case; a value is
// never empty (setting a key to the empty text removes it).
//
// Encodings: integers and colours (0x00BBGGRR) as decimal text, Booleans as "-1" and "0"
// (any other integer reads as true, and "True"/"False" are accepted). A stored text that
// does not parse as its key's type counts as absent, so the key's default applies.
class TSettings {
 public:
  enum class Mode {
    // The panel: missing settings take their defaults, the first-run questions are asked,
    // and whatever was filled in is saved.
    FirstRun,
    // Command-line runs: nothing is asked, and what the defaults fill in or correct holds
    // for this run only: it is neither saved nor written to a backup, so the stored
    // settings stay as the panel left them.
    ThisRunOnly,
  };
  enum class Prompts { Ask, Skip };

  // Loads the stored settings and fills in the defaults (asking the first-run questions in
  // FirstRun mode).
  TSettings(KeyStore& store, Dialogs& dialogs, const Screens& screens, Mode mode = Mode::FirstRun);
  TSettings(const TSettings&) = delete;
  TSettings& operator=(const TSettings&) = delete;

  Mode mode() const { return mode_; }

  // The value, or the empty text when the key is absent.
  QString GetSetting(const QString& name) const;
  // Replaces the value, or appends the key; the empty text removes it. Only SaveSettings
  // writes the store.
  void SetSetting(const QString& name, const QString& value);

  // Typed reads and writes in the encodings above; a value that does not parse reads as
  // fallback.
  bool GetBool(const QString& name, bool fallback = false) const;
  qint32 GetInt(const QString& name, qint32 fallback = 0) const;
  void SetBool(const QString& name, bool value);
  void SetInt(const QString& name, qint32 value);

  // Writes every key to the store (in one transaction). Keys no longer in the list stay in
  // the store.
  SaveResult SaveSettings();
  // Writes every key into the store inside a transaction the caller holds (a restore saves
  // the calendar and the settings together).
  SaveResult WriteSettingsToStore();
  // Whether the program is to start at logon: RunAtStartup as saved is exactly "-1". The
  // code that changes it brings the autostart entry in line (platform/autostart.h).
  bool RunsAtStartup() const;

  // Each setting as one line, name "=" value CR LF, in list order, as UTF-8.
  void WriteSettingsToStream(QByteArray& out) const;
  // Replaces the whole list with the lines of the bytes (ending in CR LF, CR or LF; UTF-8,
  // or Windows-1252 when a line is not valid UTF-8). Lines without a name or value are
  // dropped, and of repeated names the first counts.
  void ReadSettingsFromStream(QByteArrayView bytes);

  // Fills in every missing or unreadable key, in the order of the key table, with the
  // monitor rules after MaxHeight and (with Prompts::Ask, in FirstRun mode) the first-run
  // questions for the weather zip code and the synchronisation name and password.
  void ApplyDefaults(Prompts prompts = Prompts::Ask);
  // Sets Monitor to the index of the system's primary monitor.
  void SelectPrimaryMonitor();

  // Every setting as "name=value", in list order.
  QStringList Lines() const;

  static std::optional<bool> ParseBool(const QString& text);
  static std::optional<qint32> ParseInt(const QString& text);
  // Whether the text is a valid value of the named key (any text for keys not in the table).
  static bool IsValid(const QString& name, const QString& text);
  // The keys that say where the program connects or listens (update server, weather sites,
  // web site, LAN address). Settings from elsewhere (a restored backup) change them only with
  // the user's consent.
  static const QStringList& AddressKeys();

  // The first-run question for the weather's place, asked again when the place is confirmed.
  struct WeatherQuestion {
    QString caption;
    QString prompt;
  };
  static WeatherQuestion PlaceQuestion();
  // Whether this run's first-run question took a place (a city, postal code or "lat,lon") to
  // be looked up and confirmed before the panel starts.
  bool WeatherPlaceAsked() const { return weatherPlaceAsked_; }

 private:
  struct Entry {
    QString name;
    QString value;
  };
  qsizetype IndexOf(const QString& name) const;
  void Put(const QString& name, const QString& value);
  // A change made by ApplyDefaults; in ThisRunOnly mode it remembers what the store holds.
  void Fill(const QString& name, const QString& value);
  void Load();
  // What is saved or written for an entry: its value, the stored value behind a value that
  // holds for this run only, or nothing.
  std::optional<QString> Persistent(const Entry& entry) const;

  KeyStore& store_;
  Dialogs& dialogs_;
  const Screens& screens_;
  Mode mode_;
  QList<Entry> entries_;
  // Keys (lowercase) whose value holds for this run only, with the stored value behind it.
  QHash<QString, std::optional<QString>> runOnly_;
  bool applyingDefaults_ = false;
  bool weatherPlaceAsked_ = false;
};

// The weather provider a settings list without one takes: "open-meteo", unless WeatherHost
// names a site of the user's own ("classic").
QString DefaultWeatherProvider(const TSettings& settings);
