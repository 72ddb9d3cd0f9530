// The list sections of the desktop panel: the day list, the task list, and the places of the
// information and quick-notes boxes. They record the hit rows as they paint.

#include "core/dataformat.h"
#include "desktop/displayfunctions.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace {

const QString TimeOfDayFormat = QStringLiteral("h:nn AM/PM");

}  // namespace

int DisplayFunctions::PaintDayList(QPainter& p, int y) {
  const int R = settings_.R();
  const int W = settings_.Width;
  const int g = R / 8;
  const TDateTime today = DatePart(now_);
  for (int i = 0; i <= settings_.DisplayDays; ++i) {
    const TDateTime day = today + i;
    font_.cellHeight = R;
    const std::vector<int>& events = days_.Sorted(day);
    if (!events.empty() || (i == 0 && settings_.AlwaysShowToday)) {
      HitRows.push_back({day, 0, ' '});
      QString header = FormatDateTime(QStringLiteral("dddd, mmm dd"), day);
      font_.bold = false;
      font_.underline = false;
      font_.italic = i == 0;
      if (i == 0) header += PanelText(" (Today)");
      font_.colour = settings_.HeaderFontColor;
      DrawTextLeft(p, 2 * g, DrawY(y), header, W - 3 * g);
      y += R;
    }
    font_.bold = false;
    font_.italic = false;
    font_.underline = false;
    font_.cellHeight = R - 2 * g;
    for (int index : events) {
      HitRows.push_back({day, index, 'N'});
      if (!RowInPicture(y)) {  // scrolled out of the picture: only its hit row counts
        y += R;
        continue;
      }
      const TNote& note = calendar_.NoteArray[static_cast<size_t>(index)];
      if (calendar_.HasDayNote(index, day)) {
        // A small flag at the row's left end: this day of the event carries a note.
        const int top = DrawY(y);
        const QPolygon flag({QPoint(3 * g, top + 2 * g), QPoint(3 * g, top + R - 2 * g), QPoint(R - g, top + 2 * g)});
        p.save();
        p.setPen(ColourOf(settings_.NoteColor));
        p.setBrush(ColourOf(settings_.NoteColor));
        p.drawPolygon(flag);
        p.restore();
      }
      const QString text = note.Start ? FormatDateTime(TimeOfDayFormat, calendar_.StartTimeOn(index, day)) +
                                            QLatin1Char(' ') + note.Title
                                      : note.Title;
      font_.colour = settings_.FontColor;
      DrawTextLeft(p, 4 * g, DrawY(y + g), text, W - 5 * g);
      y += R;
    }
  }
  return y;
}

int DisplayFunctions::PaintTaskList(QPainter& p, int y) {
  const int R = settings_.R();
  const int W = settings_.Width;
  const int g = R / 8;
  HitRows.push_back({now_, 0, ' '});
  font_.cellHeight = R;
  font_.colour = settings_.HeaderFontColor;
  font_.bold = true;
  font_.italic = true;
  font_.underline = false;
  DrawTextCentred(p, W / 2, DrawY(y), PanelText("Tasks"), W - 2 * g);
  font_.bold = false;
  font_.italic = false;
  font_.cellHeight = R - 2 * g;
  y += R;

  int thisYear, thisMonth, thisDay;
  DecodeDate(now_, thisYear, thisMonth, thisDay);
  const TDateTime today = DatePart(now_);
  const int open = std::min(calendar_.OpenToDoCount, calendar_.SortedToDoCount());
  for (int n = 0; n < open; ++n) {
    const int index = calendar_.SortedToDos[static_cast<size_t>(n)];
    const TToDo& task = calendar_.ToDoArray[static_cast<size_t>(index)];
    HitRows.push_back({0, index, 'T'});
    if (!RowInPicture(y)) {
      y += R;
      continue;
    }
    QString text = task.Title;
    if (task.DueDate != 0) {
      int dueYear, dueMonth, dueDay;
      DecodeDate(task.DueDate, dueYear, dueMonth, dueDay);
      text += PanelText(": Due ");
      text += dueYear == thisYear ? FormatDateTime(QStringLiteral("mmm d"), task.DueDate)
                                  : FormatDateTime(QStringLiteral("ddddd"), task.DueDate, dateFormat_);
    }
    const bool due = task.DueDate != 0 && DatePart(task.DueDate) <= today;
    font_.colour = due ? settings_.TaskColor : settings_.FontColor;
    DrawTextLeft(p, 4 * g, DrawY(y + g), text, W - 5 * g);
    y += R;
  }
  return y;
}

int DisplayFunctions::PlaceInfoBox(int y) {
  const int R = settings_.R();
  const int W = settings_.Width;
  const int g = R / 8;
  InfoBox.rect = QRect(g, DrawY(y + g), W - 2 * g, settings_.MemoLines * R - 2 * g);
  InfoBox.visible = true;
  return y + settings_.MemoLines * R;
}

int DisplayFunctions::PaintQuickNotes(QPainter& p, int y) {
  const int R = settings_.R();
  const int W = settings_.Width;
  const int g = R / 8;
  font_.cellHeight = R;
  font_.colour = settings_.HeaderFontColor;
  font_.bold = true;
  font_.italic = true;
  font_.underline = false;
  DrawTextCentred(p, W / 2, DrawY(y), PanelText("Quick Notes"), W - 2 * (R / 2 + g));
  QuickNotesBox.rect = QRect(g, DrawY(y + R + g), W - 2 * g, settings_.MemoLines * R - 2 * g);
  QuickNotesBox.visible = true;
  return y + (settings_.MemoLines + 1) * R;
}
