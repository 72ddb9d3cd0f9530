#include "editors/mainform.h"

#include "core/repeattype.h"
#include "editors/controls.h"
#include "editors/monthwidgets.h"
#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

// The years the window moves between: every cell of a shown month is a valid date.
constexpr int FirstYear = 2;
constexpr int LastYear = 9998;

const char* const MonthTitles[12] = {
    QT_TRANSLATE_NOOP("T_Main", "January "),   QT_TRANSLATE_NOOP("T_Main", "February "),
    QT_TRANSLATE_NOOP("T_Main", "March "),     QT_TRANSLATE_NOOP("T_Main", "April "),
    QT_TRANSLATE_NOOP("T_Main", "May "),       QT_TRANSLATE_NOOP("T_Main", "June "),
    QT_TRANSLATE_NOOP("T_Main", "July "),      QT_TRANSLATE_NOOP("T_Main", "August "),
    QT_TRANSLATE_NOOP("T_Main", "September "), QT_TRANSLATE_NOOP("T_Main", "October "),
    QT_TRANSLATE_NOOP("T_Main", "November "),  QT_TRANSLATE_NOOP("T_Main", "December ")};

}  // namespace

using namespace month;

T_Main::T_Main(AppContext& context, QWidget* parent) : QMainWindow(parent), context_(context) {
  setObjectName(QStringLiteral("T_Main"));
  setWindowTitle(tr("Orvane"));
  setMinimumSize(420, 320);

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  BuildTitle(central);
  BuildDayNames(central);
  BuildGrid(central);
  column->addWidget(MonthTitle);
  column->addWidget(LabelPanel);
  column->addWidget(MainPanel, 1);
  setCentralWidget(central);
  BuildMenus();

  // FormCreate.
  NeedsRefresh = false;
  PlaceWindow();
  selectedCell_ = 14;
  savedColour_ = MonthColours::Of(palette()).monthList;
  LayoutGrid();
  FillMonth(context_.clock().Now());
  created_ = true;
}

void T_Main::BuildTitle(QWidget* parent) {
  MonthTitle = new QLabel(parent);
  MonthTitle->setObjectName(QStringLiteral("MonthTitle"));
  MonthTitle->setAlignment(Qt::AlignCenter);
  QFont bold = MonthTitle->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.45);
  MonthTitle->setFont(bold);
  MonthTitle->setFixedHeight(QFontMetrics(bold).height() + 20);
  MonthTitle->installEventFilter(this);

  PrevYear = TitleButton(MonthTitle, tr("<<"), tr("Previous Year"), "PrevYear");
  PrevMonth = TitleButton(MonthTitle, tr("<"), tr("Previous Month"), "PrevMonth");
  ThisMonth = TitleButton(MonthTitle, tr("Today"), QString(), "ThisMonth");
  NextMonth = TitleButton(MonthTitle, tr(">"), tr("Next Month"), "NextMonth");
  NextYear = TitleButton(MonthTitle, tr(">>"), tr("Next Year"), "NextYear");
  const QFontMetrics metrics(PrevYear->font());
  const int side = metrics.height() + 12;
  for (QToolButton* b : {PrevYear, PrevMonth, NextMonth, NextYear}) b->setFixedSize(side + 6, side);
  ThisMonth->setFixedSize(metrics.horizontalAdvance(ThisMonth->text()) + 28, side);
  connect(PrevYear, &QToolButton::clicked, this, [this] { PrevYearClick(); });
  connect(PrevMonth, &QToolButton::clicked, this, [this] { PrevMonthClick(); });
  connect(ThisMonth, &QToolButton::clicked, this, [this] { ThisMonthClick(); });
  connect(NextMonth, &QToolButton::clicked, this, [this] { NextMonthClick(); });
  connect(NextYear, &QToolButton::clicked, this, [this] { NextYearClick(); });
}

void T_Main::BuildDayNames(QWidget* parent) {
  LabelPanel = new QWidget(parent);
  LabelPanel->setObjectName(QStringLiteral("LabelPanel"));
  LabelPanel->installEventFilter(this);
  const char* const names[7] = {QT_TR_NOOP("Sunday"),    QT_TR_NOOP("Monday"),   QT_TR_NOOP("Tuesday"),
                                QT_TR_NOOP("Wednesday"), QT_TR_NOOP("Thursday"), QT_TR_NOOP("Friday"),
                                QT_TR_NOOP("Saturday")};
  const char* const objectNames[7] = {"SundayLabel",   "MondayLabel", "TuesdayLabel", "WednesdayLabel",
                                      "ThursdayLabel", "FridayLabel", "SaturdayLabel"};
  QFont small = font();
  small.setBold(true);
  small.setPointSizeF(small.pointSizeF() * 0.92);
  QPalette muted = palette();
  muted.setColor(QPalette::WindowText,
                 Mix(palette().color(QPalette::WindowText), palette().color(QPalette::Window), 0.35));
  for (int k = 0; k < 7; ++k) {
    auto* label = new QLabel(tr(names[k]), LabelPanel);
    label->setObjectName(QString::fromLatin1(objectNames[k]));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(small);
    label->setPalette(muted);
    dayNames_[static_cast<size_t>(k)] = label;
  }
  SundayLabel = dayNames_[0];
  MondayLabel = dayNames_[1];
  TuesdayLabel = dayNames_[2];
  WednesdayLabel = dayNames_[3];
  ThursdayLabel = dayNames_[4];
  FridayLabel = dayNames_[5];
  SaturdayLabel = dayNames_[6];
  LabelPanel->setFixedHeight(QFontMetrics(small).height() + 10);
}

void T_Main::BuildGrid(QWidget* parent) {
  MainPanel = new QWidget(parent);
  MainPanel->setObjectName(QStringLiteral("MainPanel"));
  MainPanel->installEventFilter(this);
  auto* delegate = new EntryDelegate(this);
  for (int i = 0; i < CellCount; ++i) {
    TDateData& cell = cells_[static_cast<size_t>(i)];
    auto* header = new DayHeader(MainPanel);
    header->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
    header->setAutoFillBackground(false);
    cell.Panel = header;

    auto* list = new DayList(MainPanel);
    list->setObjectName(QStringLiteral("ListBox%1").arg(i + 1));
    list->setProperty("tag", i);
    list->setFrameShape(QFrame::NoFrame);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setUniformItemSizes(true);
    list->setItemDelegate(delegate);
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->setMouseTracking(true);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    cell.ListBox = list;
  }
  gridLines_ = new GridLines(MainPanel);
  gridLines_->raise();
}

void T_Main::BuildMenus() {
  NoteMenu = new QMenu(this);
  NoteMenu->setObjectName(QStringLiteral("NoteMenu"));
  NewItem = NamedAction(NoteMenu, tr("New Item"), "NewItem");
  ViewItem = NamedAction(NoteMenu, tr("View Item"), "ViewItem");
  AddNote = NamedAction(NoteMenu, tr("Add Note"), "AddNote");
  RemoveNotes = NamedAction(NoteMenu, tr("Remove Notes"), "RemoveNotes");
  DeleteItem = NamedAction(NoteMenu, tr("Delete Item"), "DeleteItem");
  Hide1 = NamedAction(NoteMenu, tr("Hide"), "Hide1");
  NoteMenu->addActions({NewItem, ViewItem, AddNote, RemoveNotes, DeleteItem, Hide1});
  connect(NewItem, &QAction::triggered, this, [this] { NewItemClick(); });
  connect(ViewItem, &QAction::triggered, this, [this] { ViewItemClick(); });
  connect(AddNote, &QAction::triggered, this, [this] { AddNoteClick(); });
  connect(RemoveNotes, &QAction::triggered, this, [this] { RemoveNotesClick(); });
  connect(DeleteItem, &QAction::triggered, this, [this] { DeleteItemClick(); });
  connect(Hide1, &QAction::triggered, this, [this] { Hide1Click(); });

  QMenuBar* bar = menuBar();
  ToDo1 = NamedAction(bar, tr("To Do"), "ToDo1");
  Options1 = NamedAction(bar, tr("Options"), "Options1");
  Print1 = NamedAction(bar, tr("Print"), "Print1");
  bar->addActions({ToDo1, Options1, Print1});
  Help1 = bar->addMenu(tr("Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Help1->menuAction()->setObjectName(QStringLiteral("Help1"));
  OrvaneHelp1 = NamedAction(Help1, tr("Orvane Help "), "OrvaneHelp1");
  OrvaneHelp1->setShortcut(QKeySequence(Qt::Key_F1));
  OrvaneHelp1->setShortcutContext(Qt::WindowShortcut);
  N1 = NamedAction(Help1, QString(), "N1");
  N1->setSeparator(true);
  AboutOrvane1 = NamedAction(Help1, tr("About Orvane"), "AboutOrvane1");
  Feedback1 = NamedAction(Help1, tr("Contact the developer"), "Feedback1");
  OrvaneWebsite1 = NamedAction(Help1, tr("Orvane Website"), "OrvaneWebsite1");
  Help1->addActions({OrvaneHelp1, N1, AboutOrvane1, Feedback1, OrvaneWebsite1});
  // F1 works while the window is active, also when the menu bar is not open.
  addAction(OrvaneHelp1);

  AppWindows& windows = context_.windows();
  connect(ToDo1, &QAction::triggered, this, [this, &windows] {
    if (!windows.ShowToDo) return;
    windows.ShowToDo();
    hide();
  });
  connect(Options1, &QAction::triggered, this, [&windows] {
    if (windows.ShowOptions) windows.ShowOptions();
  });
  connect(Print1, &QAction::triggered, this, [this, &windows] {
    if (windows.ShowPrint) windows.ShowPrint(selectedDate_);
  });
  connect(OrvaneHelp1, &QAction::triggered, this, [&windows] {
    if (windows.ShowHelp) windows.ShowHelp();
  });
  connect(AboutOrvane1, &QAction::triggered, this, [&windows] {
    if (windows.ShowAbout) windows.ShowAbout();
  });
  connect(Feedback1, &QAction::triggered, this, [&windows] {
    if (windows.OpenContactPage) windows.OpenContactPage();
  });
  connect(OrvaneWebsite1, &QAction::triggered, this, [&windows] {
    if (windows.OpenWebsite) windows.OpenWebsite();
  });
  UpdateMainMenu();
}

void T_Main::UpdateMainMenu() {
  const AppWindows& windows = context_.windows();
  ToDo1->setVisible(static_cast<bool>(windows.ShowToDo));
  Options1->setVisible(static_cast<bool>(windows.ShowOptions));
  Print1->setVisible(static_cast<bool>(windows.ShowPrint));
  OrvaneHelp1->setVisible(static_cast<bool>(windows.ShowHelp));
  AboutOrvane1->setVisible(static_cast<bool>(windows.ShowAbout));
  Feedback1->setVisible(static_cast<bool>(windows.OpenContactPage));
  OrvaneWebsite1->setVisible(static_cast<bool>(windows.OpenWebsite));
  const bool below = AboutOrvane1->isVisible() || Feedback1->isVisible() || OrvaneWebsite1->isVisible();
  N1->setVisible(OrvaneHelp1->isVisible() && below);
  Help1->menuAction()->setVisible(OrvaneHelp1->isVisible() || below);
  menuBar()->setVisible(ToDo1->isVisible() || Options1->isVisible() || Print1->isVisible() ||
                        Help1->menuAction()->isVisible());
}

// The stored geometry, unless it is too small to use or lies on no screen any more (a
// monitor was removed): then a size that fits the main screen, in its middle. Either way
// the window, frame included, opens inside its screen's available area.
void T_Main::PlaceWindow() {
  const DisplaySettings& d = context_.display();
  QRect wanted(d.MainLeft, d.MainTop, d.MainWidth, d.MainHeight);
  QScreen* screen = QGuiApplication::screenAt(wanted.center());
  const bool usable = screen && wanted.width() >= minimumWidth() && wanted.height() >= minimumHeight();
  if (!usable) {
    screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    wanted.setSize(
        QSize(std::max(minimumWidth(), area.width() * 3 / 4), std::max(minimumHeight(), area.height() * 3 / 4)));
    wanted.moveCenter(area.center());
  }
  FitOnScreen(this, wanted);
}

// --- Filling the grid.

void T_Main::FillMonth(TDateTime date) {
  if (!std::isfinite(date)) return;
  int year = 0, month = 0, day = 0;
  const TDateTime lowest = EncodeDate(FirstYear, 1, 1), highest = EncodeDate(LastYear, 12, 31);
  DecodeDate(std::clamp(DatePart(date), lowest, highest), year, month, day);
  // The long time format "h:nn AM/PM" of the lists is FormatSettings' own.
  selectedDate_ = EncodeDate(year, month, day);
  MonthTitle->setText(tr(MonthTitles[month - 1]) + QString::number(year));
  const TDateTime first = EncodeDate(year, month, 1);
  shownMonth_ = first;
  const TDateTime start = first - WeekdayIndex(first);
  const MonthColours colours = MonthColours::Of(palette());
  for (int i = 0; i < CellCount; ++i) {
    TDateData& cell = cells_[static_cast<size_t>(i)];
    cell.Date = start + i;
    cell.DoublePress = false;
    cell.Panel->setText(FormatDateTime(QStringLiteral("mmmm dd"), cell.Date));
    int y = 0, m = 0, d = 0;
    DecodeDate(cell.Date, y, m, d);
    const QColor colour = m == month ? colours.monthList : colours.otherList;
    SetListColour(i, colour);
    PaintHeader(i, i == selectedCell_);
    if (i == selectedCell_) savedColour_ = colour;
    if (cell.Date == selectedDate_) SelectCell(i);
  }
  listsPending_ = !isVisible();
  if (!listsPending_) RefillAll();
}

void T_Main::SelectDay(TDateTime date) {
  if (!std::isfinite(date)) return;
  const TDateTime day = DatePart(date);
  for (int i = 0; i < CellCount; ++i) {
    if (cells_[static_cast<size_t>(i)].Date == day) {
      SelectCell(i);
      break;
    }
  }
  selectedDate_ = day;
}

void T_Main::ShowDay(TDateTime date) {
  if (!std::isfinite(date)) return;
  const TDateTime day = DatePart(date);
  if (day >= cells_.front().Date && day <= cells_.back().Date) {
    SelectDay(day);
  } else {
    FillMonth(day);
  }
}

void T_Main::SelectCell(int cell) {
  if (cell < 0 || cell >= CellCount) return;
  const int previous = selectedCell_;
  if (previous >= 0 && previous < CellCount) {
    cells_[static_cast<size_t>(previous)].ListBox->clearSelection();
    PaintHeader(previous, false);
    SetListColour(previous, savedColour_);
  }
  DayList* list = cells_[static_cast<size_t>(cell)].ListBox;
  savedColour_ = list->palette().color(QPalette::Base);
  SetListColour(cell, MonthColours::Of(palette()).selectedList);
  selectedCell_ = cell;
  PaintHeader(cell, true);
  if (isVisible()) list->setFocus();
}

void T_Main::PaintHeader(int cell, bool selected) {
  const TDateData& data = cells_[static_cast<size_t>(cell)];
  const MonthColours colours = MonthColours::Of(palette());
  int y = 0, m = 0, d = 0, shownYear = 0, shownMonth = 0;
  DecodeDate(data.Date, y, m, d);
  DecodeDate(shownMonth_, shownYear, shownMonth, d);
  QPalette p = data.Panel->palette();
  p.setColor(QPalette::Window, selected ? colours.selectedHeader : colours.header);
  p.setColor(QPalette::WindowText, selected          ? colours.selectedHeaderText
                                   : m == shownMonth ? colours.headerText
                                                     : colours.otherHeaderText);
  data.Panel->setPalette(p);
  static_cast<DayHeader*>(data.Panel)->today = data.Date == context_.clock().Today();
  data.Panel->update();
}

void T_Main::SetListColour(int cell, const QColor& colour) {
  DayList* list = cells_[static_cast<size_t>(cell)].ListBox;
  QPalette p = list->palette();
  p.setColor(QPalette::Base, colour);
  list->setPalette(p);
}

void T_Main::RefillDay(int cell) {
  if (cell < 0 || cell >= CellCount) return;
  RefillDays(cell, cell);
}

void T_Main::RefillDays(int first, int last) {
  DataFormat& calendar = context_.calendar();
  // The entries keep what they show as it is now, taken once per event for all the days: a
  // busy month lists the same events on day after day. They are taken in the order of the
  // records, which reads the records far quicker than the days' order does. An event kept in
  // a time zone of its own may start at another local time on each day, and gets an entry
  // per day. Texts and tooltips are made when asked for (EntryTip).
  constexpr int Unlisted = -1, Listed = -2, PerDay = -3;
  std::vector<int> entryOf(static_cast<size_t>(calendar.NoteCount()), Unlisted);
  for (int cell = first; cell <= last; ++cell) {
    TDateData& data = cells_[static_cast<size_t>(cell)];
    data.Events = calendar.FindSortedDayEvents(data.Date);
    for (const int index : data.Events) entryOf[static_cast<size_t>(index)] = Listed;
  }
  auto table = std::make_shared<DayEntryTable>();
  for (size_t index = 0; index < entryOf.size(); ++index) {
    if (entryOf[index] != Listed) continue;
    const TNote& note = calendar.NoteArray[index];
    if (note.Start && !note.TimeZone.isEmpty()) {
      entryOf[index] = PerDay;
    } else {
      entryOf[index] = static_cast<int>(table->size());
      table->push_back(DayEntry{static_cast<int>(index), note.Start, note.StartTime, note.Title});
    }
  }
  for (int cell = first; cell <= last; ++cell) {
    TDateData& data = cells_[static_cast<size_t>(cell)];
    std::vector<int> rows;
    rows.reserve(data.Events.size());
    for (const int index : data.Events) {
      const int entry = entryOf[static_cast<size_t>(index)];
      if (entry == PerDay) {
        rows.push_back(static_cast<int>(table->size()));
        const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
        table->push_back(DayEntry{index, true, calendar.StartTimeOn(index, data.Date), note.Title});
      } else {
        rows.push_back(entry);
      }
    }
    data.ListBox->Entries().Reset(table, std::move(rows));
  }
}

QString T_Main::EntryTip(int cell, int entry) const {
  const int index = EventOfEntry(cell, entry);
  if (index < 0) return QString();
  const DataFormat& calendar = context_.calendar();
  const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
  const FormatSettings format;
  QStringList tip{note.Title};
  if (note.Start) {
    const TDateTime day = cells_[static_cast<size_t>(cell)].Date;
    tip << FormatDateTime(format.LongTimeFormat, calendar.StartTimeOn(index, day), format) + QStringLiteral(" - ") +
               FormatDateTime(format.LongTimeFormat, calendar.EndTimeOn(index, day), format);
  }
  if (!note.Location.isEmpty()) tip << note.Location;
  const QString dayNote = calendar.GetDayNote(index, cells_[static_cast<size_t>(cell)].Date);
  if (!dayNote.isEmpty()) tip << dayNote;
  return tip.join(QLatin1Char('\n'));
}

void T_Main::RefillAll() {
  RefillDays(0, CellCount - 1);
  filledRevision_ = context_.calendar().DataChanged.Revision();
  filledNoteCount_ = context_.calendar().NoteCount();
}

void T_Main::LayoutGrid() {
  // Day names across the whole width; Saturday takes what the division leaves.
  const int W = centralWidget()->width(), W7 = W / 7;
  for (int k = 0; k < 7; ++k) {
    dayNames_[static_cast<size_t>(k)]->setGeometry(k * W7, 0, k == 6 ? W - 6 * W7 : W7, LabelPanel->height());
  }
  // The cells: the last column and row take what the divisions leave.
  const int w = MainPanel->width(), h = MainPanel->height(), w7 = w / 7, h6 = h / 6;
  for (int i = 0; i < CellCount; ++i) {
    const int r = i / 7, c = i % 7;
    const int left = c * w7, width = c == 6 ? w - 6 * w7 : w7;
    const int listHeight = r == 5 ? h - (5 * h6 + HeaderHeight) : h6 - HeaderHeight;
    const TDateData& cell = cells_[static_cast<size_t>(i)];
    cell.Panel->setGeometry(left, r * h6, width, HeaderHeight);
    cell.ListBox->setGeometry(left, r * h6 + HeaderHeight, width, std::max(0, listHeight));
  }
  auto* lines = static_cast<GridLines*>(gridLines_);
  lines->setGeometry(0, 0, w, h);
  lines->colour = MonthColours::Of(palette()).gridLine;
  lines->xs.clear();
  lines->ys.clear();
  for (int c = 1; c < 7; ++c) lines->xs.push_back(c * w7);
  for (int r = 0; r < 6; ++r) lines->ys.push_back(r * h6);
  lines->raise();
  lines->update();
  // The title's buttons: back steps at the left, forward steps at the right, equal margins.
  const int m = (MonthTitle->height() - PrevYear->height()) / 2;
  PrevYear->move(m, m);
  PrevMonth->move(2 * m + PrevYear->width(), m);
  ThisMonth->move(PrevMonth->x() + PrevMonth->width() + m, m);
  NextYear->move(MonthTitle->width() - NextYear->width() - m, m);
  NextMonth->move(NextYear->x() - NextMonth->width() - m, m);
}

// --- Window events.

bool T_Main::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(event);
}

void T_Main::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void T_Main::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void T_Main::Present() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void T_Main::FormShow() {
  // A normal window: the task bar lists it while it is shown.
  UpdateMainMenu();
  LayoutGrid();
  if (listsPending_) {
    listsPending_ = false;
    RefillAll();
  }
  // The day may have turned since the month was filled: today's mark follows.
  for (int i = 0; i < CellCount; ++i) PaintHeader(i, i == selectedCell_);
}

void T_Main::FormActivate() {
  const DataFormat& calendar = context_.calendar();
  const bool changed = calendar.DataChanged.Revision() != filledRevision_ || calendar.NoteCount() != filledNoteCount_;
  if (!NeedsRefresh && !changed) return;
  const bool asked = NeedsRefresh;
  RefillAll();
  NeedsRefresh = false;
  if (asked) Repaint();
}

void T_Main::FormClose() {
  TSettings& settings = context_.settings();
  settings.SetSetting(QStringLiteral("MainWidth"), QString::number(width()));
  settings.SetSetting(QStringLiteral("MainHeight"), QString::number(height()));
  settings.SetSetting(QStringLiteral("MainLeft"), QString::number(x()));
  settings.SetSetting(QStringLiteral("MainTop"), QString::number(y()));
}

// --- Navigation.

void T_Main::StepMonth(TDateTime dayInMonth) {
  int year = 0, month = 0, day = 0, selectedYear = 0, selectedMonth = 0, wanted = 0;
  DecodeDate(dayInMonth, year, month, day);
  DecodeDate(selectedDate_, selectedYear, selectedMonth, wanted);
  if (year < FirstYear || year > LastYear) return;
  FillMonth(EncodeDate(year, month, std::min(wanted, DaysInMonth(year, month))));
}

void T_Main::PrevMonthClick() { StepMonth(cells_.front().Date - 1); }

void T_Main::NextMonthClick() { StepMonth(cells_.back().Date); }

void T_Main::ThisMonthClick() { FillMonth(context_.clock().Now()); }

void T_Main::NextYearClick() {
  int year = 0, month = 0, day = 0;
  DecodeDate(selectedDate_, year, month, day);
  if (year + 1 > LastYear) return;
  // 29 February becomes 28 February.
  FillMonth(IsValidDate(year + 1, month, day) ? EncodeDate(year + 1, month, day) : EncodeDate(year + 1, 2, 28));
}

void T_Main::PrevYearClick() {
  int year = 0, month = 0, day = 0;
  DecodeDate(selectedDate_, year, month, day);
  if (year - 1 < FirstYear) return;
  // 29 February becomes 1 March.
  FillMonth(IsValidDate(year - 1, month, day) ? EncodeDate(year - 1, month, day) : EncodeDate(year - 1, 3, 1));
}

// --- Entries and events.

int T_Main::CellOfList(const QObject* object) const {
  if (!object) return -1;
  for (int i = 0; i < CellCount; ++i) {
    const DayList* list = cells_[static_cast<size_t>(i)].ListBox;
    if (object == list || object == list->viewport()) return i;
  }
  return -1;
}

int T_Main::EntryAt(int cell, const QPoint& pos) const {
  if (cell < 0 || cell >= CellCount) return -1;
  return cells_[static_cast<size_t>(cell)].ListBox->EntryAt(pos);
}

int T_Main::SelectedEntry(int cell) const {
  if (cell < 0 || cell >= CellCount) return -1;
  return cells_[static_cast<size_t>(cell)].ListBox->SelectedEntry();
}

int T_Main::EventOfEntry(int cell, int entry) const {
  if (cell < 0 || cell >= CellCount) return -1;
  const std::vector<int>& events = cells_[static_cast<size_t>(cell)].Events;
  if (entry < 0 || entry >= static_cast<int>(events.size())) return -1;
  const int index = events[static_cast<size_t>(entry)];
  const DataFormat& calendar = context_.calendar();
  // An entry whose event was deleted elsewhere since the list was made stands for nothing.
  if (index < 0 || index >= calendar.NoteCount() || calendar.NoteArray[static_cast<size_t>(index)].DeleteDate != 0) {
    return -1;
  }
  return index;
}

void T_Main::OpenNew(TDateTime date, const QString& title) {
  AppWindows& windows = context_.windows();
  if (!title.isEmpty() && windows.NewEventTitled) {
    windows.NewEventTitled(date, title);
  } else if (windows.NewEvent) {
    windows.NewEvent(date);
  }
}

void T_Main::OpenEvent(int index) {
  if (index < 0) return;
  if (context_.windows().ViewEvent) context_.windows().ViewEvent(index);
}

void T_Main::Repaint() {
  if (context_.windows().RepaintDesktop) context_.windows().RepaintDesktop();
}

void T_Main::DeleteEvent(int index, bool asked) {
  if (index < 0) return;
  DataFormat& calendar = context_.calendar();
  const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
  if (note.DeleteDate != 0) return;
  if (RepeatOf(note) > RepeatType::Once && !asked &&
      !context_.dialogs().Confirm(tr("Are you sure you want to delete all instances of '%1'?").arg(note.Title))) {
    return;
  }
  calendar.DeleteNote(index);
  rememberedEntry_ = -1;
  RefillAll();
  Repaint();
}

// --- The context menu.

void T_Main::NoteMenuPopup(bool fromKeyboard) {
  const int cell = selectedCell_;
  rememberedEntry_ = fromKeyboard ? SelectedEntry(cell) : EntryAt(cell, lastPress_);
  const int index = EventOfEntry(cell, rememberedEntry_);
  if (index < 0) rememberedEntry_ = -1;
  const bool onEntry = index >= 0;
  NewItem->setEnabled(true);
  ViewItem->setEnabled(onEntry);
  DeleteItem->setEnabled(onEntry);
  AddNote->setEnabled(onEntry);
  DataFormat& calendar = context_.calendar();
  const TDateTime date = cells_[static_cast<size_t>(cell)].Date;
  RemoveNotes->setEnabled(onEntry && calendar.HasDayNote(index, date));
  bool hideable = false;
  if (onEntry) {
    const TNote& note = calendar.NoteArray[static_cast<size_t>(index)];
    hideable = RepeatOf(note) != RepeatType::Once ||
               (!note.Exceptions.isEmpty() && calendar.NoteOccursOn(index, note.StartDate));
  }
  Hide1->setVisible(hideable);
}

void T_Main::NewItemClick() { OpenNew(cells_[static_cast<size_t>(selectedCell_)].Date); }

void T_Main::ViewItemClick() { OpenEvent(EventOfEntry(selectedCell_, rememberedEntry_)); }

void T_Main::AddNoteClick() {
  const int index = EventOfEntry(selectedCell_, rememberedEntry_);
  if (index < 0) return;
  const QString text =
      context_.dialogs().EditMemo(tr("Enter Note"), tr("Please type your note and click OK."), QString());
  if (text.isEmpty()) return;
  context_.calendar().AddDayNote(index, text, cells_[static_cast<size_t>(selectedCell_)].Date);
  RefillDay(selectedCell_);
}

void T_Main::RemoveNotesClick() {
  const int index = EventOfEntry(selectedCell_, rememberedEntry_);
  if (index < 0) return;
  context_.calendar().RemoveDayNote(index, cells_[static_cast<size_t>(selectedCell_)].Date);
  RefillDay(selectedCell_);
}

void T_Main::DeleteItemClick() { DeleteEvent(EventOfEntry(selectedCell_, rememberedEntry_), false); }

void T_Main::Hide1Click() {
  const int index = EventOfEntry(selectedCell_, rememberedEntry_);
  if (index < 0) return;
  context_.calendar().ToggleException(index, cells_[static_cast<size_t>(selectedCell_)].Date);
  RefillDay(selectedCell_);
  Repaint();
}
