#include "desktop/hittesting.h"

#include "core/dataformat.h"
#include "core/repeattype.h"
#include "desktop/displayfunctions.h"
#include "network/weatherparser.h"

#include <QCoreApplication>

namespace {

const QString Crlf = QStringLiteral("\r\n");

QString Tr(const char* text) { return QCoreApplication::translate("T_DesktopWindow", text); }

}  // namespace

QString ForDisplay(const QString& text) {
  QString out = text;
  out.replace(Crlf, QStringLiteral("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

std::optional<int> ForecastIndex(TDateTime date, TDateTime now) {
  const int today = DayNumber(now);
  const int day = DayNumber(date);
  if (day < today || day > today + 9) return std::nullopt;
  return day - today;
}

QString ForecastPart(const TWeatherReport& report, int k) {
  const TForecastDay& f = report.Forecast[static_cast<size_t>(k)];
  return f.Conditions + Crlf + Tr("High: ") + f.High + report.TempUnit + Tr("  Low: ") + f.Low + report.TempUnit +
         Crlf + f.PrecipChance + Tr(" chance of precipitation");
}

QString WeatherText(const TWeatherReport* report, bool wanted, TDateTime date, TDateTime now) {
  if (!report || !wanted || !report->CurrentValid) return QString();
  const std::optional<int> k = ForecastIndex(date, now);
  if (!k) return QString();
  QString text = ForecastPart(*report, *k);
  if (*k == 0) text = Tr("Temp: ") + report->Temperature + QStringLiteral("  ") + text;
  return text;
}

QString RowDetailsText(const DataFormat& calendar, const THitRow& row, const QString& weatherText) {
  switch (row.Kind) {
    case 'N': {
      if (row.Index < 0 || row.Index >= calendar.NoteCount()) return QString();
      const TNote& note = calendar.NoteArray[static_cast<size_t>(row.Index)];
      QString text = note.Notes;
      if (calendar.HasDayNote(row.Index, row.Date)) {
        if (!text.isEmpty()) text += Crlf;
        text += calendar.GetDayNote(row.Index, row.Date);
      }
      return text;
    }
    case 'T': {
      if (row.Index < 0 || row.Index >= calendar.ToDoCount()) return QString();
      return calendar.ToDoArray[static_cast<size_t>(row.Index)].Notes.join(Crlf);
    }
    default:
      return weatherText + Crlf + Tr("Right Click for more options");
  }
}

QString CellDetailsText(DataFormat& calendar, TDateTime date, const TWeatherReport* report, bool weatherWanted,
                        TDateTime now) {
  QString text;
  if (calendar.CountDayEvents(date) > 0) text = calendar.GetEventListText(date);
  if (!WeatherText(report, weatherWanted, date, now).isEmpty()) {
    const int k = *ForecastIndex(date, now);
    text += Crlf + Crlf;
    if (k == 0) text += Tr("Temp: ") + report->Temperature + QStringLiteral(" ");
    text += ForecastPart(*report, k);
  }
  return text;
}

QString MonthTitleHint() {
  return Tr("Click arrows to go to previous or next month.") + Crlf + Tr("Click the center to return to today.") +
         Crlf + Tr("Right click the arrows to select year.");
}

bool OffersException(const DataFormat& calendar, int index) {
  if (index < 0 || index >= calendar.NoteCount()) return false;
  const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
  return RepeatOf(note) != RepeatType::Once ||
         (!note.Exceptions.isEmpty() && calendar.NoteOccursOn(index, note.StartDate));
}
