#include "editors/printview.h"

#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

constexpr int PanelWidth = 190;
// The resolution the preview takes a printer's page size at (only its proportions matter).
constexpr int PreviewResolution = 300;
const QColor PreviewBackground(128, 128, 128);

TDateTime FromQDate(const QDate& d) { return EncodeDate(d.year(), d.month(), d.day()); }
QDate ToQDate(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  return QDate(y, m, d);
}

QLabel* MakeLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  return label;
}

}  // namespace

// --- WholeNumberEdit

WholeNumberEdit::WholeNumberEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
  setRange(minimum, maximum);
  setGroupSeparatorShown(false);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State WholeNumberEdit::validate(QString& input, int&) const {
  if (input.isEmpty()) return QValidator::Intermediate;
  // Digits only, and no more than fit an int with room to spare.
  if (input.size() > 9) return QValidator::Invalid;
  for (const QChar c : input) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QValidator::Invalid;
  }
  const int value = input.toInt();
  return value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void WholeNumberEdit::fixup(QString& input) const {
  bool ok = false;
  const int typed = input.toInt(&ok);
  input = QString::number(ok ? std::clamp(typed, minimum(), maximum()) : value());
}

// --- T_PrintView

QString T_PrintView::PdfPrinterName() { return tr("Save as PDF"); }

T_PrintView::T_PrintView(AppContext& context, QWidget* parent) : QWidget(parent, Qt::Window), context_(context) {
  setObjectName(QStringLiteral("T_PrintView"));
  setWindowTitle(tr("Print Preview"));
  setMinimumSize(640, 430);
  InstalledPrinters = [] { return QPrinterInfo::availablePrinterNames(); };

  ControlPanel = new QWidget(this);
  ControlPanel->setObjectName(QStringLiteral("ControlPanel"));
  ControlPanel->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(ControlPanel);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(4);

  CalendarType = new QGroupBox(tr(" Calendar Type "), ControlPanel);
  CalendarType->setObjectName(QStringLiteral("CalendarType"));
  auto* typeLayout = new QVBoxLayout(CalendarType);
  typeLayout->setSpacing(2);
  const auto radio = [this, typeLayout](const QString& text, const char* name) {
    auto* button = new QRadioButton(text, CalendarType);
    button->setObjectName(QLatin1String(name));
    typeLayout->addWidget(button);
    return button;
  };
  DayCal = radio(tr("Day"), "DayCal");
  WeekCal = radio(tr("Week"), "WeekCal");
  MonthCal = radio(tr("Month"), "MonthCal");
  YearCal = radio(tr("Year"), "YearCal");
  MonthCal->setChecked(true);
  layout->addWidget(CalendarType);

  StartLabel = MakeLabel(tr("Calendar Start Date"), "StartLabel", ControlPanel);
  layout->addWidget(StartLabel);
  StartDate = new QDateEdit(ControlPanel);
  StartDate->setObjectName(QStringLiteral("StartDate"));
  StartDate->setDisplayFormat(QStringLiteral("M/d/yyyy"));
  StartDate->setCalendarPopup(true);
  StartDate->setDateRange(QDate(1900, 1, 1), QDate(9899, 12, 31));
  layout->addWidget(StartDate);

  EndLabel = MakeLabel(tr("Number of months to print"), "EndLabel", ControlPanel);
  layout->addWidget(EndLabel);
  PageCount = new WholeNumberEdit(MinPageCount, MaxPageCount, ControlPanel);
  PageCount->setObjectName(QStringLiteral("PageCount"));
  layout->addWidget(PageCount);

  WeeksLabel = MakeLabel(tr("Weeks per page"), "WeeksLabel", ControlPanel);
  layout->addWidget(WeeksLabel);
  WeeksPerPage = new WholeNumberEdit(MinWeeksPerPage, MaxWeeksPerPage, ControlPanel);
  WeeksPerPage->setObjectName(QStringLiteral("WeeksPerPage"));
  layout->addWidget(WeeksPerPage);

  PrinterLabel = MakeLabel(tr("Select Printer"), "PrinterLabel", ControlPanel);
  layout->addWidget(PrinterLabel);
  PrinterSelect = new QComboBox(ControlPanel);
  PrinterSelect->setObjectName(QStringLiteral("PrinterSelect"));
  layout->addWidget(PrinterSelect);

  AlignLabel = MakeLabel(tr("Orientation"), "AlignLabel", ControlPanel);
  layout->addWidget(AlignLabel);
  AlignSelect = new QComboBox(ControlPanel);
  AlignSelect->setObjectName(QStringLiteral("AlignSelect"));
  AlignSelect->addItems({tr("Portrait"), tr("Landscape")});
  AlignSelect->setCurrentIndex(1);
  layout->addWidget(AlignSelect);

  layout->addSpacing(6);
  PreviewButn = new QPushButton(tr("Preview"), ControlPanel);
  PreviewButn->setObjectName(QStringLiteral("PreviewButn"));
  layout->addWidget(PreviewButn);
  FontSelect = new QPushButton(tr("Select Font"), ControlPanel);
  FontSelect->setObjectName(QStringLiteral("FontSelect"));
  layout->addWidget(FontSelect);
  PrintBlank = new QCheckBox(tr("Print a blank calendar"), ControlPanel);
  PrintBlank->setObjectName(QStringLiteral("PrintBlank"));
  layout->addWidget(PrintBlank);
  PrintButton = new QPushButton(tr("Print"), ControlPanel);
  PrintButton->setObjectName(QStringLiteral("PrintButton"));
  layout->addWidget(PrintButton);

  layout->addSpacing(6);
  PreviewNote =
      MakeLabel(tr("Due to differences between screen and printer resolutions, the preview may not be accurate."),
                "PreviewNote", ControlPanel);
  PreviewNote->setWordWrap(true);
  layout->addWidget(PreviewNote);
  layout->addStretch(1);

  connect(DayCal, &QRadioButton::clicked, this, &T_PrintView::DayCalClick);
  connect(WeekCal, &QRadioButton::clicked, this, &T_PrintView::WeekCalClick);
  connect(MonthCal, &QRadioButton::clicked, this, &T_PrintView::MonthCalClick);
  connect(YearCal, &QRadioButton::clicked, this, &T_PrintView::YearCalClick);
  connect(StartDate, &QDateEdit::dateChanged, this, &T_PrintView::StartDateChange);
  connect(WeeksPerPage, &QSpinBox::valueChanged, this, &T_PrintView::WeeksPerPageChange);
  connect(PrintBlank, &QCheckBox::clicked, this, &T_PrintView::PrintBlankClick);
  connect(PreviewButn, &QPushButton::clicked, this, &T_PrintView::PreviewButnClick);
  connect(FontSelect, &QPushButton::clicked, this, &T_PrintView::FontSelectClick);
  connect(PrinterSelect, &QComboBox::activated, this, &T_PrintView::PrinterSelectChange);
  connect(AlignSelect, &QComboBox::activated, this, &T_PrintView::AlignSelectChange);
  connect(PrintButton, &QPushButton::clicked, this, &T_PrintView::PrintButtonClick);
  resize(980, 640);
}

void T_PrintView::ShowForDate(TDateTime date) {
  if (!isVisible()) {
    show();  // FormShow resets the controls
    CentreOnScreen(this);
  } else {
    FormShow();
  }
  StartDate->setDate(ToQDate(date));
  raise();
  activateWindow();
  RefreshPreview();
}

void T_PrintView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void T_PrintView::FormShow() {
  PrintBlank->setChecked(false);
  MonthCal->setChecked(true);
  MonthCalClick();
  int y, m, d;
  DecodeDate(context_.clock().Now(), y, m, d);
  StartDate->setDate(QDate(y, m, d));
  PageCount->setValue(1);
  // The installed printers, and the PDF file that is always there; the first one shown is
  // the one used.
  PrinterSelect->clear();
  PrinterSelect->addItems(InstalledPrinters ? InstalledPrinters() : QStringList());
  PrinterSelect->addItem(PdfPrinterName());
  PrinterSelect->setCurrentIndex(0);
  PrinterSelectChange();
}

void T_PrintView::ChooseType(CalendarKind kind, const QString& label) {
  EndLabel->setText(label);
  PageCount->setValue(1);
  const bool week = kind == CalendarKind::Week;
  WeeksPerPage->setEnabled(week);
  WeeksLabel->setEnabled(week);
  RefreshPreview();
}

void T_PrintView::DayCalClick() { ChooseType(CalendarKind::Day, tr("Number of days to print")); }
void T_PrintView::WeekCalClick() { ChooseType(CalendarKind::Week, tr("Number of pages to print")); }
void T_PrintView::MonthCalClick() { ChooseType(CalendarKind::Month, tr("Number of months to print")); }
void T_PrintView::YearCalClick() { ChooseType(CalendarKind::Year, tr("Number of years to print")); }

void T_PrintView::StartDateChange() { RefreshPreview(); }
void T_PrintView::WeeksPerPageChange() { RefreshPreview(); }
void T_PrintView::PrintBlankClick() { RefreshPreview(); }
void T_PrintView::PreviewButnClick() { RefreshPreview(); }

void T_PrintView::FontSelectClick() {
  if (const std::optional<Dialogs::FontChoice> chosen = context_.dialogs().ChooseFont(FontDialog1)) {
    FontDialog1 = *chosen;
  }
  RefreshPreview();
}

void T_PrintView::PrinterSelectChange() {
  usedPrinter_ = PrinterSelect->currentIndex() >= 0 ? PrinterSelect->currentText() : PdfPrinterName();
  AlignSelectChange();
}

void T_PrintView::AlignSelectChange() {
  portrait_ = AlignSelect->currentIndex() == 0;
  RefreshPreview();
}

CalendarKind T_PrintView::Kind() const {
  if (DayCal->isChecked()) return CalendarKind::Day;
  if (WeekCal->isChecked()) return CalendarKind::Week;
  if (YearCal->isChecked()) return CalendarKind::Year;
  return CalendarKind::Month;
}

PageOptions T_PrintView::Options() const {
  PageOptions options;
  options.kind = Kind();
  options.weeksPerPage = WeeksPerPage->value();
  options.portrait = portrait_;
  options.blank = PrintBlank->isChecked();
  options.font = FontDialog1;
  return options;
}

TDateTime T_PrintView::StartDateValue() const { return FromQDate(StartDate->date()); }

QSize T_PrintView::PageSize() const {
  QPageLayout layout = PdfPageLayout(portrait_);
  if (usedPrinter_ != PdfPrinterName()) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(usedPrinter_);
    if (!info.isNull() && info.defaultPageSize().isValid()) layout.setPageSize(info.defaultPageSize());
  }
  return layout.paintRectPixels(PreviewResolution).size();
}

void T_PrintView::RefreshPreview() {
  const int areaWidth = width() - PanelWidth;
  const int areaHeight = height();
  const QSize page = PageSize();
  if (areaWidth <= 0 || areaHeight <= 0 || page.isEmpty()) {
    preview_ = QImage();
    update();
    return;
  }
  QSize size;
  if (qint64(page.width()) * areaHeight <= qint64(areaWidth) * page.height()) {
    size = QSize(int(qint64(areaHeight) * page.width() / page.height()), areaHeight);
  } else {
    size = QSize(areaWidth, int(qint64(areaWidth) * page.height() / page.width()));
  }
  preview_ = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  preview_.fill(Qt::white);
  {
    QPainter painter(&preview_);
    previewGeometry_ = DrawPage(painter, preview_.size(), StartDateValue(), Options(), context_.calendar());
  }
  previewRect_ = QRect(QPoint(PanelWidth + (areaWidth - preview_.width()) / 2, (areaHeight - preview_.height()) / 2),
                       preview_.size());
  update();
}

void T_PrintView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), PreviewBackground);
  if (!preview_.isNull()) painter.drawImage(previewRect_.topLeft(), preview_);
}

void T_PrintView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ControlPanel->setGeometry(0, 0, PanelWidth, height());
  RefreshPreview();
}

void T_PrintView::PrintButtonClick() {
  const PageOptions options = Options();
  const std::vector<TDateTime> dates =
      PageDates(options.kind, StartDateValue(), PageCount->value(), options.weeksPerPage);
  QString error;
  if (usedPrinter_ == PdfPrinterName()) {
    Dialogs::FileRequest request;
    request.title = PdfPrinterName();
    request.filter = tr("PDF Files (*.pdf)|*.pdf");
    request.defaultExtension = QStringLiteral(".pdf");
    request.fileName =
        FormatDateTime(options.kind == CalendarKind::Year ? QStringLiteral("yyyy") : QStringLiteral("mmmm yyyy"),
                       dates.front()) +
        QStringLiteral(".pdf");
    const std::optional<QString> path = context_.dialogs().SaveFile(request);
    if (!path || path->isEmpty()) return;
    if (!WritePdf(*path, dates, options, context_.calendar(), error)) context_.dialogs().Alert(error);
    return;
  }
  QPrinter printer(QPrinterInfo::printerInfo(usedPrinter_), QPrinter::HighResolution);
  printer.setPageOrientation(options.portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
  printer.setDocName(tr("Orvane calendar"));
  if (!PrintPages(printer, dates, options, context_.calendar(), error)) context_.dialogs().Alert(error);
}
