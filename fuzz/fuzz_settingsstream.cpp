// Fuzz target: the settings text of a backup file, read from untrusted bytes. Whatever it
// holds, the list keeps its rules (named lines with a value, no name twice), reads back
// unchanged after being written, and the defaults repair whatever does not parse.
#include "core/memorykeystore.h"
#include "platform/dialogs.h"
#include "platform/screens.h"
#include "settings/settings.h"

#include <QSet>
#include <cstdint>
#include <cstdlib>

namespace {

class NoDialogs final : public Dialogs {
 public:
  Answer MessageBox(const QString&, const QString&, Buttons, Icon) override { std::abort(); }
  std::optional<QString> InputQuery(const QString&, const QString&, const QString&, bool) override { std::abort(); }
  std::optional<QString> OpenFile(const FileRequest&) override { std::abort(); }
  std::optional<QString> SaveFile(const FileRequest&) override { std::abort(); }
  std::optional<Colour> ChooseColour(Colour) override { std::abort(); }
  std::optional<FontChoice> ChooseFont(const FontChoice&) override { std::abort(); }
  QString EditMemo(const QString&, const QString&, const QString&) override { std::abort(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  MemoryKeyStore store;
  NoDialogs dialogs;
  FixedScreens screens;
  TSettings settings(store, dialogs, screens, TSettings::Mode::ThisRunOnly);
  settings.ReadSettingsFromStream(bytes);
  const QStringList lines = settings.Lines();
  QSet<QString> names;
  for (const QString& line : lines) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0 || eq == line.size() - 1) std::abort();
    if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))) std::abort();
    const QString name = line.left(eq).toLower();
    if (names.contains(name)) std::abort();
    names.insert(name);
    if (settings.GetSetting(line.left(eq)) != line.mid(eq + 1)) std::abort();
  }

  QByteArray written;
  settings.WriteSettingsToStream(written);
  settings.ReadSettingsFromStream(written);
  if (settings.Lines() != lines) std::abort();

  // Every known key holds a value of its type after the defaults.
  settings.ApplyDefaults(TSettings::Prompts::Skip);
  for (const char* key : {"Width", "GradientHeight", "BgColor", "PanelAlpha", "MemoLines", "Monitor", "MonitorSelect",
                          "DisplayWeather", "MaxHeight", "DesktopLeft"}) {
    const QString name = QString::fromLatin1(key);
    if (!TSettings::IsValid(name, settings.GetSetting(name))) std::abort();
  }
  if (settings.GetInt(QStringLiteral("GradientHeight")) < 1) std::abort();
  return 0;
}
