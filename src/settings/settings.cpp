#include "settings/settings.h"

#include "settings/namevaluelines.h"

#include "core/bytestream.h"
#include "core/keystore.h"
#include "core/paths.h"
#include "platform/dialogs.h"
#include "platform/screens.h"

#include <functional>
#include <limits>

namespace {

const QString SettingsKey = QStringLiteral("\\Software\\Orvane");

enum class Type { Integer, Boolean, Colour, Text };

constexpr qint32 IntMin = std::numeric_limits<qint32>::min();
constexpr qint32 IntMax = std::numeric_limits<qint32>::max();

// What the defaults are computed from: the primary monitor's work area and the settings
// filled in so far.
struct DefaultContext {
  QRect workArea;
  const TSettings& settings;
};

struct KeyInfo {
  const char* name;
  Type type;
  qint32 min = IntMin;
  qint32 max = IntMax;
  std::function<QString(const DefaultContext&)> fallback;  // null: no default (prompts, monitor rules)
};

QString Text(const char* text) { return QString::fromUtf8(text); }
std::function<QString(const DefaultContext&)> Fixed(const char* text) {
  return [value = Text(text)](const DefaultContext&) { return value; };
}
std::function<QString(const DefaultContext&)> Number(qint64 n) {
  return [n](const DefaultContext&) { return QString::number(n); };
}
std::function<QString(const DefaultContext&)> Copy(const char* other) {
  return [other](const DefaultContext& c) { return c.settings.GetSetting(Text(other)); };
}

// Every key with its type and default, in the order the defaults are filled in: later
// defaults see earlier ones.
const std::vector<KeyInfo>& KeyTable() {
  static const std::vector<KeyInfo> table = {
      {"MainWidth", Type::Integer, IntMin, IntMax,
       [](const DefaultContext& c) { return QString::number(c.workArea.width() / 4 * 3); }},
      {"MainHeight", Type::Integer, IntMin, IntMax,
       [](const DefaultContext& c) { return QString::number(c.workArea.height() / 4 * 3); }},
      {"MainTop", Type::Integer, IntMin, IntMax,
       [](const DefaultContext& c) { return QString::number(c.workArea.height() / 4); }},
      {"MainLeft", Type::Integer, IntMin, IntMax,
       [](const DefaultContext& c) { return QString::number(c.workArea.width() / 4); }},
      {"Width", Type::Integer, IntMin, IntMax, Number(220)},
      {"DesktopTop", Type::Integer, IntMin, IntMax, Number(0)},
      {"DesktopLeft", Type::Integer, IntMin, IntMax,
       [](const DefaultContext& c) {
         return QString::number(qint64(c.workArea.width()) - c.settings.GetInt(QStringLiteral("Width")));
       }},
      {"dockBottom", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"dockRight", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"LastHeight", Type::Integer, IntMin, IntMax, Number(0)},
      {"LastWidth", Type::Integer, IntMin, IntMax, Number(0)},
      {"GradientStart", Type::Colour, IntMin, IntMax, Number(36864)},
      {"GradientEnd", Type::Colour, IntMin, IntMax, Number(0)},
      // A row is at least one pixel high: the panel's height in rows divides by it.
      {"GradientHeight", Type::Integer, 1, IntMax, Number(21)},
      {"BgColor", Type::Colour, IntMin, IntMax, Number(0)},
      {"FontColor", Type::Colour, IntMin, IntMax, Number(16777215)},
      {"HeaderFontColor", Type::Colour, IntMin, IntMax, Number(16777214)},
      {"EventDayColor", Type::Colour, IntMin, IntMax, Number(57568)},
      {"LabelColor", Type::Colour, IntMin, IntMax, Number(16777215)},
      {"NoteColor", Type::Colour, IntMin, IntMax, Number(57568)},
      {"DropColor", Type::Colour, IntMin, IntMax, Number(8421504)},
      {"TaskColor", Type::Colour, IntMin, IntMax, Number(255)},
      {"BgAlpha", Type::Integer, 0, 255, Number(127)},
      {"MidAlpha", Type::Integer, 0, 255, Number(16)},
      {"PanelAlpha", Type::Integer, 25, 255, Number(255)},
      {"DisplayDays", Type::Integer, 0, IntMax, Number(6)},
      {"FontName", Type::Text, IntMin, IntMax, Fixed("Trebuchet MS")},
      {"DblClickCal", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"DblClickTodo", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"DblClickTessaly", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"RunAtStartup", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"MaxHeight", Type::Integer, IntMin, IntMax,
       [](const DefaultContext& c) {
         return QString::number(c.workArea.height() / c.settings.GetInt(QStringLiteral("GradientHeight"), 21));
       }},
      {"MonitorSelect", Type::Integer, -1, IntMax, nullptr},
      {"Monitor", Type::Integer, 0, IntMax, nullptr},
      {"AlwaysShowToday", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"DisplayCal", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"DisplayTaskList", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"UseDropShadow", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"EnableAutoUpdate", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      // The update server, "host" or "host:port"; none until one is configured.
      {"UpdateHost", Type::Text, IntMin, IntMax, nullptr},
      {"DisplayWeather", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"WeatherZip", Type::Text, IntMin, IntMax, nullptr},
      // Where the weather comes from: "open-meteo", or "classic", the site of WeatherHost with
      // its zip code pages. An install that names its own weather site keeps it.
      {"WeatherProvider", Type::Text, IntMin, IntMax,
       [](const DefaultContext& c) { return DefaultWeatherProvider(c.settings); }},
      {"EnableSync", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"SyncEMail", Type::Text, IntMin, IntMax, nullptr},
      {"SyncPass", Type::Text, IntMin, IntMax, nullptr},
      // The local address the LAN synchronisation listens and sends on; all addresses when absent.
      {"SyncBindAddress", Type::Text, IntMin, IntMax, nullptr},
      // Synchronise with older copies that send their password unprotected (off: refused).
      {"AllowOlderPeers", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"CurrentWeather", Type::Boolean, IntMin, IntMax, Copy("DisplayWeather")},
      {"ToolTipWeather", Type::Boolean, IntMin, IntMax, Copy("DisplayWeather")},
      {"WeatherDouble", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"TempDeg", Type::Integer, 0, 4, Number(0)},
      {"PressureType", Type::Integer, 0, 3, Number(0)},
      {"DisplayEvents", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"DisplayPrevMonth", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"DisplayNextMonth", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"TrayIconType", Type::Integer, 0, 4, Number(0)},
      {"AllDayDflt", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"AlarmSound", Type::Text, IntMin, IntMax,
       [](const DefaultContext&) { return DataDir() + QStringLiteral("Alarms/Alarm1.wav"); }},
      {"AlarmEnabled", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      // How long Snooze puts an alarm off at first, in minutes (5, 10, 15 or 60).
      {"SnoozeMinutes", Type::Integer, 1, 1440, Number(10)},
      // Alarms show in the program's own box even where the desktop shows notifications.
      {"AlarmMessageBox", Type::Boolean, IntMin, IntMax, Fixed("0")},
      {"DisplayNotebook", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"SaveNotebook", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"UseToolTips", Type::Boolean, IntMin, IntMax, Fixed("-1")},
      {"MemoLines", Type::Integer, 2, 15, Number(5)},
  };
  return table;
}

const KeyInfo* FindKey(const QString& name) {
  for (const KeyInfo& key : KeyTable()) {
    if (name.compare(QLatin1String(key.name), Qt::CaseInsensitive) == 0) return &key;
  }
  return nullptr;
}

// The work area the defaults are computed from; a plausible screen when there is none.
QRect PrimaryWorkArea(const Screens& screens) {
  const int primary = screens.primary();
  const QRect area = primary >= 0 ? screens.info(primary).workArea : QRect();
  return area.isValid() ? area : QRect(0, 0, 1024, 768);
}

}  // namespace

TSettings::TSettings(KeyStore& store, Dialogs& dialogs, const Screens& screens, Mode mode)
    : store_(store), dialogs_(dialogs), screens_(screens), mode_(mode) {
  Load();
  ApplyDefaults(mode_ == Mode::FirstRun ? Prompts::Ask : Prompts::Skip);
}

void TSettings::Load() {
  entries_.clear();
  runOnly_.clear();
  if (!store_.OpenKeyReadOnly(SettingsKey)) return;
  const QStringList names = store_.GetValueNames();
  for (const QString& name : names) {
    // Only text values are settings; a value of another type is not ours to read.
    const std::optional<QString> text = store_.ReadString(name);
    if (text) SetSetting(name, *text);
  }
  store_.CloseKey();
}

qsizetype TSettings::IndexOf(const QString& name) const {
  for (qsizetype i = 0; i < entries_.size(); ++i) {
    if (entries_[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

QString TSettings::GetSetting(const QString& name) const {
  const qsizetype at = IndexOf(name);
  return at < 0 ? QString() : entries_[at].value;
}

void TSettings::Put(const QString& name, const QString& value) {
  const qsizetype at = IndexOf(name);
  if (value.isEmpty()) {
    if (at >= 0) entries_.removeAt(at);
  } else if (at >= 0) {
    entries_[at].value = value;
  } else {
    entries_.append(Entry{name, value});
  }
}

void TSettings::SetSetting(const QString& name, const QString& value) {
  if (name.isEmpty() || name.contains(QLatin1Char('='))) return;
  if (applyingDefaults_) {
    Fill(name, value);
    return;
  }
  runOnly_.remove(name.toLower());
  Put(name, value);
}

void TSettings::Fill(const QString& name, const QString& value) {
  if (mode_ == Mode::ThisRunOnly) {
    const QString key = name.toLower();
    if (!runOnly_.contains(key)) {
      const qsizetype at = IndexOf(name);
      runOnly_.insert(key, at < 0 ? std::nullopt : std::optional<QString>(entries_[at].value));
    }
  }
  Put(name, value);
}

bool TSettings::GetBool(const QString& name, bool fallback) const {
  return ParseBool(GetSetting(name)).value_or(fallback);
}

qint32 TSettings::GetInt(const QString& name, qint32 fallback) const {
  return ParseInt(GetSetting(name)).value_or(fallback);
}

void TSettings::SetBool(const QString& name, bool value) {
  SetSetting(name, value ? QStringLiteral("-1") : QStringLiteral("0"));
}

void TSettings::SetInt(const QString& name, qint32 value) { SetSetting(name, QString::number(value)); }

std::optional<bool> TSettings::ParseBool(const QString& text) {
  if (const auto n = ParseInt(text)) return *n != 0;
  if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
  if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
  return std::nullopt;
}

std::optional<qint32> TSettings::ParseInt(const QString& text) {
  bool ok = false;
  const qint32 value = text.trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

namespace {

bool ValidFor(const KeyInfo& key, const QString& text) {
  if (text.isEmpty()) return false;
  switch (key.type) {
    case Type::Text:
      return true;
    case Type::Boolean:
      return TSettings::ParseBool(text).has_value();
    case Type::Colour: {
      const auto n = TSettings::ParseInt(text);
      return n && *n >= 0 && *n <= 0xFFFFFF;
    }
    case Type::Integer: {
      const auto n = TSettings::ParseInt(text);
      return n && *n >= key.min && *n <= key.max;
    }
  }
  return false;
}

}  // namespace

QString DefaultWeatherProvider(const TSettings& settings) {
  const QString host = settings.GetSetting(QStringLiteral("WeatherHost")).trimmed();
  return host.isEmpty() || host.compare(QLatin1String("www.weather.com"), Qt::CaseInsensitive) == 0
             ? QStringLiteral("open-meteo")
             : QStringLiteral("classic");
}

TSettings::WeatherQuestion TSettings::PlaceQuestion() {
  return {QStringLiteral("Enter a Place for Weather"),
          QStringLiteral("Orvane can display the current weather and a ten-day forecast for any place.  To enable "
                         "this feature, enter a city, a postal code or a latitude and longitude (for example "
                         "\"Boston\", \"SW1A 1AA\" or \"42.36,-71.06\").  To disable it, click cancel.  You can change "
                         "your selection using the Options window.")};
}

bool TSettings::IsValid(const QString& name, const QString& text) {
  if (text.isEmpty()) return false;
  const KeyInfo* key = FindKey(name);
  return !key || ValidFor(*key, text);
}

void TSettings::ApplyDefaults(Prompts prompts) {
  applyingDefaults_ = true;
  const bool ask = prompts == Prompts::Ask && mode_ == Mode::FirstRun;
  const QRect workArea = PrimaryWorkArea(screens_);
  const DefaultContext context{workArea, *this};

  for (const KeyInfo& key : KeyTable()) {
    const QString name = QLatin1String(key.name);
    const auto missing = [&] { return !ValidFor(key, GetSetting(name)); };
    if (name == QLatin1String("MonitorSelect")) {
      // While MonitorSelect is -1 the panel follows whichever monitor is primary at start.
      if (missing() || GetInt(name) == -1) {
        SelectPrimaryMonitor();
        SetSetting(name, QStringLiteral("-1"));
      }
      continue;
    }
    if (name == QLatin1String("Monitor")) {
      if (missing() || GetInt(name) > screens_.count() - 1) SelectPrimaryMonitor();
      continue;
    }
    if (!missing()) continue;
    if (key.fallback) {
      SetSetting(name, key.fallback(context));
      continue;
    }
    if (!ask) continue;
    if (name == QLatin1String("WeatherZip") && GetBool(QStringLiteral("DisplayWeather"))) {
      // The provider's own default is filled in later in the table; the question goes by it.
      const QString provider = GetSetting(QStringLiteral("WeatherProvider")).trimmed();
      const bool anyPlace =
          (provider.isEmpty() ? DefaultWeatherProvider(*this) : provider) == QLatin1String("open-meteo");
      const WeatherQuestion question =
          anyPlace ? PlaceQuestion()
                   : WeatherQuestion{
                         QStringLiteral("Enter Zip for Weather"),
                         QStringLiteral(
                             "Orvane can display the current temperature and weather conditions for US locations.  To "
                             "enable this feature, please enter your zipcode.  To disable it, click cancel.  You can "
                             "change your selection using the Options window.")};
      const auto zip = dialogs_.InputQuery(question.caption, question.prompt, QString());
      if (zip && !zip->trimmed().isEmpty()) {
        SetSetting(name, zip->trimmed());
        weatherPlaceAsked_ = anyPlace;
      } else {
        SetSetting(QStringLiteral("DisplayWeather"), QStringLiteral("0"));
      }
    } else if (name == QLatin1String("SyncEMail") && GetBool(QStringLiteral("EnableSync"))) {
      const auto email = dialogs_.InputQuery(
          QStringLiteral("Enter Name or EMail for Synchronization"),
          QStringLiteral("Orvane can synchronize your calendar with another system on a network.  If you would "
                         "like to enable this feature, enter your name below.  To disable network "
                         "synchronization, click cancel.  You can change your selection using the Options "
                         "window."),
          QString());
      if (email)
        SetSetting(name, *email);
      else
        SetSetting(QStringLiteral("EnableSync"), QStringLiteral("0"));
    } else if (name == QLatin1String("SyncPass") && GetBool(QStringLiteral("EnableSync"))) {
      const auto password = dialogs_.InputQuery(
          QStringLiteral("Enter Password for Synchronization"),
          QStringLiteral("To complete the synchronization setup, please enter a password that will be used to "
                         "prevent unauthorized transfer."),
          QString());
      if (password)
        SetSetting(name, *password);
      else
        SetSetting(QStringLiteral("EnableSync"), QStringLiteral("0"));
    }
  }
  applyingDefaults_ = false;
}

void TSettings::SelectPrimaryMonitor() {
  // No monitor flagged primary (or none at all): the first one.
  SetSetting(QStringLiteral("Monitor"), QString::number(qMax(0, screens_.primary())));
}

std::optional<QString> TSettings::Persistent(const Entry& entry) const {
  const auto it = runOnly_.constFind(entry.name.toLower());
  if (it == runOnly_.constEnd()) return entry.value;
  return *it;
}

SaveResult TSettings::SaveSettings() {
  SaveResult result;
  if (!store_.BeginTransaction()) {
    result = SaveResult{false, QStringLiteral("Failed to write the settings: %1").arg(store_.LastError())};
  } else {
    result = WriteSettingsToStore();
    if (result.ok && !store_.Commit()) {
      result = SaveResult{false, QStringLiteral("Failed to write the settings: %1").arg(store_.LastError())};
    }
    if (!result.ok) store_.Rollback();
  }
  return result;
}

SaveResult TSettings::WriteSettingsToStore() {
  if (!store_.OpenKey(SettingsKey, true)) {
    return SaveResult{false, QStringLiteral("Failed to create key \"%1\": %2").arg(SettingsKey, store_.LastError())};
  }
  SaveResult result;
  for (const Entry& entry : entries_) {
    const std::optional<QString> value = Persistent(entry);
    if (!value) continue;
    if (!store_.WriteString(entry.name, *value)) {
      result =
          SaveResult{false, QStringLiteral("Failed to write value \"%1\": %2").arg(entry.name, store_.LastError())};
      break;
    }
  }
  store_.CloseKey();
  return result;
}

bool TSettings::RunsAtStartup() const {
  const qsizetype at = IndexOf(QStringLiteral("RunAtStartup"));
  return at >= 0 && Persistent(entries_[at]) == QStringLiteral("-1");
}

void TSettings::WriteSettingsToStream(QByteArray& out) const {
  for (const Entry& entry : entries_) {
    const std::optional<QString> value = Persistent(entry);
    if (!value) continue;
    out.append(entry.name.toUtf8());
    out.append('=');
    out.append(value->toUtf8());
    out.append("\r\n", 2);
  }
}

void TSettings::ReadSettingsFromStream(QByteArrayView bytes) {
  entries_.clear();
  runOnly_.clear();
  ForEachNameValueLine(bytes, [this](const QString& name, const QString& value) {
    if (IndexOf(name) < 0) entries_.append(Entry{name, value});
  });
}

const QStringList& TSettings::AddressKeys() {
  static const QStringList keys = {
      QStringLiteral("UpdateHost"),        QStringLiteral("WeatherHost"), QStringLiteral("WeatherForecastUrl"),
      QStringLiteral("WeatherGeocodeUrl"), QStringLiteral("NwsHost"),     QStringLiteral("WebSite"),
      QStringLiteral("SyncBindAddress")};
  return keys;
}

QStringList TSettings::Lines() const {
  QStringList lines;
  for (const Entry& entry : entries_) lines << entry.name + QLatin1Char('=') + entry.value;
  return lines;
}
