#include "desktop/displayfunctions.h"

#include "core/clock.h"
#include "core/dataformat.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

QString PanelText(const char* text) { return QCoreApplication::translate("DisplayFunctions", text); }

// --- Day queries of one paint.

const std::vector<int>& DayEventCache::Events(TDateTime day) {
  const int key = DayNumber(day);
  auto it = found_.find(key);
  if (it != found_.end()) return it->second;
  return found_.emplace(key, calendar_.FindDayEvents(DatePart(day))).first->second;
}

const std::vector<int>& DayEventCache::Sorted(TDateTime day) {
  const int key = DayNumber(day);
  auto it = sorted_.find(key);
  if (it != sorted_.end()) return it->second;
  return sorted_.emplace(key, calendar_.SortDayEvents(Events(day), DatePart(day))).first->second;
}

void DayEventCache::Clear() {
  found_.clear();
  sorted_.clear();
}

// --- Composition.

void BlendInto(QImage& p, const QImage& s, int a) {
  a = std::clamp(a, 0, 255);
  if (a == 0) return;
  // The two products of the blend for every byte value, for this a.
  quint8 keep[256];
  quint8 take[256];
  for (int v = 0; v < 256; ++v) {
    keep[v] = static_cast<quint8>(v * (255 - a) / 255);
    take[v] = static_cast<quint8>(v * a / 255);
  }
  const int w = std::min(p.width(), s.width());
  const int h = std::min(p.height(), s.height());
  for (int y = 0; y < h; ++y) {
    auto* dst = reinterpret_cast<quint8*>(p.scanLine(y));
    const auto* src = reinterpret_cast<const quint8*>(s.constScanLine(y));
    for (int i = 0; i < w * 4; i += 4) {
      dst[i] = static_cast<quint8>(keep[dst[i]] + take[src[i]]);
      dst[i + 1] = static_cast<quint8>(keep[dst[i + 1]] + take[src[i + 1]]);
      dst[i + 2] = static_cast<quint8>(keep[dst[i + 2]] + take[src[i + 2]]);
    }
  }
}

QImage NeutralBackdrop(QSize size) {
  QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, image.width() * 0.6, image.height());
  sky.setColorAt(0.0, QColor(58, 78, 112));
  sky.setColorAt(0.55, QColor(46, 96, 112));
  sky.setColorAt(1.0, QColor(34, 52, 66));
  p.fillRect(image.rect(), sky);
  QRadialGradient glow(image.width() * 0.25, image.height() * 0.2, std::max(image.width(), image.height()) * 0.7);
  glow.setColorAt(0.0, QColor(220, 200, 170, 90));
  glow.setColorAt(1.0, QColor(220, 200, 170, 0));
  p.fillRect(image.rect(), glow);
  return image;
}

DisplayFunctions::DisplayFunctions(DataFormat& calendar, const Clock& clock, const DisplaySettings& settings)
    : calendar_(calendar), clock_(clock), settings_(settings), days_(calendar) {}

DisplayFunctions::~DisplayFunctions() = default;

void DisplayFunctions::BeginPaint() {
  now_ = clock_.Now();
  days_.Clear();
  // The task order depends on today; the task list and the content height both read it.
  calendar_.SortToDos();
}

PanelCounts DisplayFunctions::Counts() {
  PanelCounts counts;
  if (settings_.DisplayEvents) {
    const TDateTime today = DatePart(now_);
    counts.dayEvents.reserve(static_cast<size_t>(settings_.DisplayDays) + 1);
    for (int i = 0; i <= settings_.DisplayDays; ++i) {
      counts.dayEvents.push_back(static_cast<int>(days_.Events(today + i).size()));
    }
  }
  counts.openToDos = calendar_.OpenToDoCount;
  if (Weather) {
    counts.weatherRows = WeatherRowCount(*Weather);
    counts.weatherAlertRow = WeatherAlertRowShown(*Weather);
  }
  return counts;
}

int DisplayFunctions::ContentHeight() { return ::ContentHeight(settings_, Counts()); }

WindowSize DisplayFunctions::UpdateWindowSize() {
  ResizingInProgress = true;
  const WindowSize size = ComputeWindowSize(ContentHeight(), settings_, WorkAreaHeight);
  ScrollMode = size.scrollMode;
  if (!ScrollMode) ScrollPos = 0;
  ScrollPos = std::clamp(ScrollPos, 0, std::max(0, size.scrollRange - size.height));
  ResizingInProgress = false;
  return size;
}

void DisplayFunctions::PaintPanel(QImage& target, const QImage* backdrop) {
  // The target's device pixel ratio is kept: the panel is laid out in device-independent
  // pixels and painted at the screen's resolution, so text stays sharp on a scaled screen.
  const qreal dpr = target.devicePixelRatio();
  const int w = target.width();
  const int h = target.height();
  pictureHeight_ = static_cast<int>(std::ceil(h / dpr));
  const QColor bg = ColourOf(settings_.BgColor);
  PrepareGradient();
  if (backdrop) {
    // The picture as the desktop shows it: BgColor over the desktop, the bars, the desktop
    // again, then the text.
    const QImage s = backdrop->size() == target.size()
                         ? backdrop->convertToFormat(QImage::Format_RGB32)
                         : backdrop->scaled(target.size()).convertToFormat(QImage::Format_RGB32);
    QImage panel(w, h, QImage::Format_RGB32);
    panel.setDevicePixelRatio(dpr);
    panel.fill(bg);
    translucent_ = false;
    BlendInto(panel, s, settings_.BgAlpha);
    {
      QPainter p(&panel);
      PaintBackgroundBars(p);
    }
    BlendInto(panel, s, settings_.MidAlpha);
    {
      QPainter p(&panel);
      p.setRenderHint(QPainter::TextAntialiasing);
      PaintContent(p);
    }
    // The colour key shows the desktop; PanelAlpha fades the whole window.
    const int alpha = settings_.PanelAlpha;
    for (int y = 0; y < h; ++y) {
      auto* dst = reinterpret_cast<QRgb*>(panel.scanLine(y));
      const auto* src = reinterpret_cast<const QRgb*>(s.constScanLine(y));
      for (int x = 0; x < w; ++x) {
        if ((dst[x] & 0xFFFFFF) == 0x010000) {
          dst[x] = src[x];
        } else if (alpha < 255) {
          const QRgb a = dst[x];
          const QRgb b = src[x];
          dst[x] = qRgb((qRed(a) * alpha + qRed(b) * (255 - alpha)) / 255,
                        (qGreen(a) * alpha + qGreen(b) * (255 - alpha)) / 255,
                        (qBlue(a) * alpha + qBlue(b) * (255 - alpha)) / 255);
        }
      }
    }
    target = panel.convertToFormat(target.format());
    return;
  }

  // A translucent picture for a compositing desktop: its composition over any desktop is
  // the blend above.
  translucent_ = true;
  QImage panel(w, h, QImage::Format_ARGB32_Premultiplied);
  panel.setDevicePixelRatio(dpr);
  QColor bgA = bg;
  bgA.setAlpha(255 - settings_.BgAlpha);
  panel.fill(Qt::transparent);
  {
    QPainter p(&panel);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(panel.rect(), bgA);
    PaintBackgroundBars(p);
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.fillRect(panel.rect(), QColor(0, 0, 0, 255 - settings_.MidAlpha));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::TextAntialiasing);
    PaintContent(p);
  }
  for (int y = 0; y < h; ++y) {
    auto* dst = reinterpret_cast<QRgb*>(panel.scanLine(y));
    for (int x = 0; x < w; ++x) {
      if (dst[x] == 0xFF010000u) dst[x] = 0;  // the colour key
    }
  }
  if (settings_.PanelAlpha < 255) {
    QPainter p(&panel);
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.fillRect(panel.rect(), QColor(0, 0, 0, settings_.PanelAlpha));
  }
  translucent_ = false;
  target = panel;
}

// --- Gradient bars.

void DisplayFunctions::PrepareGradient() {
  const int R = settings_.R();
  const int W = settings_.Width;
  if (!gradient_.isNull() && gradient_.width() == W + 1 && gradient_.height() == R + 1 &&
      gradientKey_[0] == settings_.GradientStart && gradientKey_[1] == settings_.GradientEnd) {
    return;
  }
  const std::vector<quint32> columns = GradientColumns(settings_.GradientStart, settings_.GradientEnd, W);
  gradient_ = QImage(W + 1, R + 1, QImage::Format_RGB32);
  for (int y = 0; y <= R; ++y) {
    auto* line = reinterpret_cast<QRgb*>(gradient_.scanLine(y));
    for (int x = 0; x <= W; ++x) line[x] = ColourOf(columns[static_cast<size_t>(x)]).rgb();
  }
  gradientKey_[0] = settings_.GradientStart;
  gradientKey_[1] = settings_.GradientEnd;
}

void DisplayFunctions::DrawGradientBar(QPainter& p, int y, int height) {
  PrepareGradient();
  const int hb = height == 0 ? settings_.R() : height;
  // Each column covers the pixels y to y + hb, like a line drawn from y + hb up to y - 1.
  const QPainter::CompositionMode mode = p.compositionMode();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(QPoint(0, DrawY(y)), gradient_, QRect(0, 0, gradient_.width(), std::min(hb + 1, gradient_.height())));
  p.setCompositionMode(mode);
}

void DisplayFunctions::PaintBackgroundBars(QPainter& p) {
  const PanelLayout layout = LayoutBackgroundBars(settings_, Counts());
  Marks = layout.marks;
  for (const GradientBarPlace& bar : layout.bars) DrawGradientBar(p, bar.y, bar.height);
}

void DisplayFunctions::PaintContent(QPainter& p) {
  if (Terminating) return;
  font_ = CanvasFont{};
  font_.cellHeight = std::max(SmallestFont, settings_.R() * 11 / 21);
  int y = PaintTitleRow(p, 0);
  if (settings_.DisplayEvents) y = PaintDayList(p, y);
  if (settings_.DisplayTaskList) y = PaintTaskList(p, y);
  if (!settings_.UseToolTips) {
    y = PlaceInfoBox(y);
  } else {
    InfoBox.visible = false;
  }
  if (settings_.DisplayCal) y = PaintMonth(p, y);
  if (settings_.DisplayNotebook) {
    y = PaintQuickNotes(p, y);
  } else {
    QuickNotesBox.visible = false;
  }
  // The weather section follows the quick notes.
  if (settings_.DisplayWeather && settings_.CurrentWeather && Weather) y = PaintWeather(p, y);
}

// --- Text.

const DisplayFunctions::FontEntry& DisplayFunctions::Font(int cellHeight, bool bold, bool italic, bool underline) {
  if (fontFamily_ != settings_.FontName || cellPerPixel_ <= 0) {
    fonts_.clear();
    fontFamily_ = settings_.FontName;
    QFont probe(fontFamily_);
    probe.setPixelSize(100);
    cellPerPixel_ = std::max(0.5, QFontMetrics(probe).height() / 100.0);
  }
  cellHeight = std::max(SmallestFont, cellHeight);
  const int key = cellHeight * 8 + (bold ? 4 : 0) + (italic ? 2 : 0) + (underline ? 1 : 0);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return *it->second;
  QFont font(fontFamily_);
  // The size is given as the height of the character cell, as the text's line needs it.
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(cellHeight / cellPerPixel_))));
  font.setBold(bold);
  font.setItalic(italic);
  font.setUnderline(underline);
  font.setHintingPreference(QFont::PreferNoHinting);
  auto entry = std::make_unique<FontEntry>(FontEntry{font, QFontMetrics(font)});
  return *fonts_.emplace(key, std::move(entry)).first->second;
}

const DisplayFunctions::FontEntry& DisplayFunctions::CurrentFont() {
  return Font(font_.cellHeight, font_.bold, font_.italic, font_.underline);
}

int DisplayFunctions::TextWidth(const QString& text) { return CurrentFont().metrics.horizontalAdvance(text); }

int DisplayFunctions::DrawFitted(QPainter& p, int x, int y, const QString& text, int maxWidth, Align align,
                                 quint32 colour) {
  const FontEntry& start = CurrentFont();
  const int h0 = start.metrics.height();
  int cell = font_.cellHeight;
  const FontEntry* used = &start;
  int width = used->metrics.horizontalAdvance(text);
  while (width > maxWidth && cell > SmallestFont) {
    --cell;
    used = &Font(cell, font_.bold, font_.italic, font_.underline);
    width = used->metrics.horizontalAdvance(text);
  }
  const int h1 = used->metrics.height();
  int left = x;
  if (align == Align::Centre) left = x - width / 2;
  if (align == Align::Right) left = x - width;
  const int top = y + h0 / 2 - h1 / 2;
  p.setFont(used->font);
  p.setPen(ColourOf(colour));
  p.drawText(QPoint(left, top + used->metrics.ascent()), text);
  return width;
}

int DisplayFunctions::DrawText(QPainter& p, int x, int y, const QString& text, int maxWidth, Align align) {
  // Rows scrolled out of the picture are laid out but not drawn.
  if (y + 2 * settings_.R() < 0 || y - settings_.R() > pictureHeight_) return 0;
  if (settings_.UseDropShadow) DrawFitted(p, x + 1, y + 1, text, maxWidth, align, settings_.DropColor);
  return DrawFitted(p, x, y, text, maxWidth, align, font_.colour);
}

int DisplayFunctions::DrawTextLeft(QPainter& p, int x, int y, const QString& text, int maxWidth) {
  return DrawText(p, x, y, text, maxWidth, Align::Left);
}

int DisplayFunctions::DrawTextCentred(QPainter& p, int x, int y, const QString& text, int maxWidth) {
  return DrawText(p, x, y, text, maxWidth, Align::Centre);
}

int DisplayFunctions::DrawTextRight(QPainter& p, int x, int y, const QString& text, int maxWidth) {
  return DrawText(p, x, y, text, maxWidth, Align::Right);
}

TDateTime DisplayFunctions::CalendarDateAt(int x, int y) const {
  CalendarGeometry g;
  g.R = settings_.R();
  g.W = settings_.Width;
  g.calendarTop = Marks.CalendarTop;
  g.sideMonths = settings_.DisplayPrevMonth || settings_.DisplayNextMonth;
  return ::CalendarDateAt(x, y, g, MonthCells, SideMonthCells, now_);
}

// --- Start and end of the painter's life in the program.

void PainterStartup(AppContext& context) {
  // The desktop pixels are read per paint (compositor or wallpaper), so the snapshot is all
  // the painter needs before the windows are made.
  LoadDisplaySettings(context.settings(), context.display());
}

void PainterShutdown(AppContext&) {
  // Nothing is held between paints: the pictures of a paint are freed with it.
}
