#pragma once

#include "core/tdatetime.h"
#include "editors/pagedrawing.h"
#include "platform/dialogs.h"

#include <QImage>
#include <QSpinBox>
#include <QWidget>
#include <functional>

class AppContext;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// A number edit with arrows that takes whole numbers only. While typed, a number outside the
// range is kept; when the field is left it becomes the nearest number of the range.
class WholeNumberEdit : public QSpinBox {
  Q_OBJECT
 public:
  WholeNumberEdit(int minimum, int maximum, QWidget* parent = nullptr);
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
};

// "Print Preview": paper calendars of days, weeks, months or years, previewed beside their
// controls and printed, or saved as PDF, for as many consecutive periods as asked.
class T_PrintView : public QWidget {
  Q_OBJECT
 public:
  explicit T_PrintView(AppContext& context, QWidget* parent = nullptr);

  // Shows the window reset as every showing resets it, with the calendar starting on date.
  void ShowForDate(TDateTime date);

  // The printer entry that writes a PDF file; it is always offered.
  static QString PdfPrinterName();

  QWidget* ControlPanel;
  QGroupBox* CalendarType;
  QRadioButton* DayCal;
  QRadioButton* WeekCal;
  QRadioButton* MonthCal;
  QRadioButton* YearCal;
  QLabel* StartLabel;
  QDateEdit* StartDate;
  QLabel* EndLabel;
  WholeNumberEdit* PageCount;
  QLabel* WeeksLabel;
  WholeNumberEdit* WeeksPerPage;
  QLabel* PrinterLabel;
  QComboBox* PrinterSelect;
  QLabel* AlignLabel;
  QComboBox* AlignSelect;
  QPushButton* PreviewButn;
  QPushButton* FontSelect;
  QCheckBox* PrintBlank;
  QPushButton* PrintButton;
  QLabel* PreviewNote;
  // The font chosen with "Select Font": face, style and colour of every text on the pages.
  Dialogs::FontChoice FontDialog1 = PageOptions::DefaultPrintFont();

  // The installed printers offered before "Save as PDF" (the system's; tests give their own).
  std::function<QStringList()> InstalledPrinters;

  void FormShow();
  void RefreshPreview();
  void DayCalClick();
  void WeekCalClick();
  void MonthCalClick();
  void YearCalClick();
  void StartDateChange();
  void WeeksPerPageChange();
  void PrintBlankClick();
  void PreviewButnClick();
  void FontSelectClick();
  void PrinterSelectChange();
  void AlignSelectChange();
  void PrintButtonClick();

  // The printer the pages go to: a printer's name, or PdfPrinterName().
  QString UsedPrinter() const { return usedPrinter_; }
  bool Portrait() const { return portrait_; }
  // What the controls ask for.
  PageOptions Options() const;
  TDateTime StartDateValue() const;
  // The drawing area of the used printer's page, in its pixels.
  QSize PageSize() const;
  // The first page as last previewed, and how it was laid out.
  const QImage& PreviewImage() const { return preview_; }
  const PageGeometry& PreviewGeometry() const { return previewGeometry_; }
  QRect PreviewRect() const { return previewRect_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ChooseType(CalendarKind kind, const QString& label);
  CalendarKind Kind() const;

  AppContext& context_;
  QString usedPrinter_;
  bool portrait_ = false;
  QImage preview_;
  QRect previewRect_;
  PageGeometry previewGeometry_;
};
