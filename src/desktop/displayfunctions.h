#pragma once

// The desktop panel's painter: composition over the desktop, the gradient bars, the text
// rules (fitting and drop shadow), the title row, the month calendars, the list sections
// (agendapainter.cpp) and the weather section (weatherpainter.cpp). It records the layout
// marks and the hit rows that mouse handling reads.

#include "core/tdatetime.h"
#include "desktop/panellayout.h"
#include "desktop/weatherpainter.h"
#include "settings/displaysettings.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

class AppContext;
class Clock;
class DataFormat;
class QPainter;

// What one text row of the panel's upper part shows: the title row, a day header or the
// "Tasks" header (kind ' '), an event ('N', Index into NoteArray) or a task ('T', Index into
// ToDoArray).
struct THitRow {
  TDateTime Date = 0;
  qint32 Index = 0;
  char Kind = ' ';
  bool operator==(const THitRow&) const = default;
};

// The answers of the day queries during one paint: a repaint asks for the same days while
// sizing, laying out the bars and painting, and the calendar does not change meanwhile.
class DayEventCache {
 public:
  explicit DayEventCache(DataFormat& calendar) : calendar_(calendar) {}
  // The live events of a day in index order (FindDayEvents).
  const std::vector<int>& Events(TDateTime day);
  // The same, in display order (SortDayEvents).
  const std::vector<int>& Sorted(TDateTime day);
  void Clear();

 private:
  DataFormat& calendar_;
  std::unordered_map<int, std::vector<int>> found_;
  std::unordered_map<int, std::vector<int>> sorted_;
};

// Blends the backdrop s into the picture p: p := p * (255 - a) div 255 + s * a div 255 for
// each colour byte, the two products rounded down before they are added. Both images are
// RGB32 of the same size.
void BlendInto(QImage& p, const QImage& s, int a);

// 0x00BBGGRR as a colour.
inline QColor ColourOf(quint32 bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

// A wallpaper-like backdrop for pictures made without a desktop.
QImage NeutralBackdrop(QSize size);

class DisplayFunctions {
 public:
  // The painter reads the settings it is given at every paint: they must outlive it.
  DisplayFunctions(DataFormat& calendar, const Clock& clock, const DisplaySettings& settings);
  DisplayFunctions(DataFormat& calendar, const Clock& clock, DisplaySettings&& settings) = delete;
  ~DisplayFunctions();
  DisplayFunctions(const DisplayFunctions&) = delete;
  DisplayFunctions& operator=(const DisplayFunctions&) = delete;

  // --- Layout state shared with the window and its mouse handling.
  int MonthOffset = 0;
  bool ScrollMode = false;
  bool ResizingInProgress = false;
  bool PaintedOnce = false;
  bool Terminating = false;
  int ScrollPos = 0;  // the vertical scroll position
  // The height of the work area the window sits in; the window is never made taller. 0: no
  // limit but MaxHeight (pictures made without a screen).
  int WorkAreaHeight = 0;
  LayoutMarks Marks;
  std::vector<THitRow> HitRows;
  MonthCellTable MonthCells{};
  SideMonthCellTable SideMonthCells{};
  BoxPlace InfoBox;
  BoxPlace QuickNotesBox;

  // The weather report the panel shows (it must outlive the paints that read it); without
  // one the panel has no weather section.
  const TWeatherReport* Weather = nullptr;
  // The calendar server's synchronisation is failing: a small mark at the title row's right.
  bool ServerFailing = false;

  // Starts a paint: "now" is read from the clock and the day queries start afresh.
  void BeginPaint();
  TDateTime Now() const { return now_; }
  const DisplaySettings& Settings() const { return settings_; }

  PanelCounts Counts();
  int ContentHeight();
  WindowSize UpdateWindowSize();

  // The whole picture, of the target's size. With a backdrop (RGB32, the target's size) the
  // panel is composed over it exactly as on the desktop, PanelAlpha included. Without one,
  // the target becomes a translucent ARGB picture whose composition over the desktop is the
  // same picture.
  void PaintPanel(QImage& target, const QImage* backdrop);

  // The bars and the layout marks.
  void PaintBackgroundBars(QPainter& p);
  // The text of every section, in section order.
  void PaintContent(QPainter& p);
  // One bar at content position y (height 0: one row), drawn at y - ScrollPos.
  void DrawGradientBar(QPainter& p, int y, int height);

  // The text rules: a text wider than maxWidth is drawn in a smaller font, centred on the
  // same line; with UseDropShadow a shadow is drawn first. Returns the drawn width.
  int DrawTextLeft(QPainter& p, int x, int y, const QString& text, int maxWidth);
  int DrawTextCentred(QPainter& p, int x, int y, const QString& text, int maxWidth);
  int DrawTextRight(QPainter& p, int x, int y, const QString& text, int maxWidth);

  int PaintTitleRow(QPainter& p, int y);
  int PaintMonth(QPainter& p, int y);
  int PaintSideMonths(QPainter& p, int y);
  int PaintDayList(QPainter& p, int y);
  int PaintTaskList(QPainter& p, int y);
  int PlaceInfoBox(int y);
  int PaintQuickNotes(QPainter& p, int y);
  // The weather section (weatherpainter.cpp), and the pressure trend arrow centred on x, y.
  int PaintWeather(QPainter& p, int y);
  void DrawTrendArrow(QPainter& p, int x, int y, quint32 colour, TrendDirection direction);

  // The date under a point of the calendar section (content coordinates).
  TDateTime CalendarDateAt(int x, int y) const;

  // The smallest font cell height the fitting rule shrinks to.
  static constexpr int SmallestFont = 4;

 private:
  enum class Align { Left, Centre, Right };
  struct FontEntry {
    QFont font;
    QFontMetrics metrics;
  };
  // The canvas font, as the sections leave it for each other.
  struct CanvasFont {
    int cellHeight = 11;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    quint32 colour = 0;
  };

  const FontEntry& Font(int cellHeight, bool bold, bool italic, bool underline);
  const FontEntry& CurrentFont();
  int TextWidth(const QString& text);
  int DrawText(QPainter& p, int x, int y, const QString& text, int maxWidth, Align align);
  int DrawFitted(QPainter& p, int x, int y, const QString& text, int maxWidth, Align align, quint32 colour);
  void PrepareGradient();
  void DrawArrows(QPainter& p, int m, quint32 colour);
  int DrawY(int contentY) const { return contentY - ScrollPos; }
  // Whether a row at content y shows in the picture being painted.
  bool RowInPicture(int contentY) const {
    return DrawY(contentY) + settings_.R() >= 0 && DrawY(contentY) <= pictureHeight_;
  }

  DataFormat& calendar_;
  const Clock& clock_;
  const DisplaySettings& settings_;
  DayEventCache days_;
  TDateTime now_ = 0;
  CanvasFont font_;
  std::map<int, std::unique_ptr<FontEntry>> fonts_;
  QString fontFamily_;
  double cellPerPixel_ = 0;  // font cell height per pixel size, for the current family
  QImage gradient_;          // one bar's columns, R + 1 rows high
  quint32 gradientKey_[3] = {0, 0, 0};
  bool translucent_ = false;     // painting an ARGB picture
  int pictureHeight_ = 1 << 20;  // texts below it are not drawn
  FormatSettings dateFormat_ = FormatSettings::FromSystemLocale();
};

// A text of the panel, through the translation tables.
QString PanelText(const char* text);

// The display settings snapshot at start-up, and the painter's counterpart at the end.
void PainterStartup(AppContext& context);
void PainterShutdown(AppContext& context);
