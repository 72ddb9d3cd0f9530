// The print view: its controls as each showing leaves them, the kinds and their labels, the
// number fields, the printers offered and used, the preview, and printing to a PDF file.
#include "editors/printview.h"
#include "editorfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

class PrintView : public EditorTest {
 protected:
  PrintView() : view(std::make_unique<T_PrintView>(*context)) {
    view->InstalledPrinters = [] { return QStringList(); };
  }
  // Picks an entry of a drop-down as a user does.
  static void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  std::unique_ptr<T_PrintView> view;
};

// Each showing starts on a month of today for one page; each kind names what the count counts
// and starts the count again; only weeks have a number of weeks per page.
TEST_F(PrintView, EachShowingStartsOnAMonthForOnePageAndEachKindSetsTheCountLabel) {
  view->show();
  const std::tuple<QRadioButton*, const char*, CalendarKind> rows[] = {
      {view->DayCal, "Number of days to print", CalendarKind::Day},
      {view->WeekCal, "Number of pages to print", CalendarKind::Week},
      {view->YearCal, "Number of years to print", CalendarKind::Year},
      {view->MonthCal, "Number of months to print", CalendarKind::Month}};
  for (const auto& [button, label, kind] : rows) {
    view->PageCount->setValue(7);
    Click(button);
    EXPECT_EQ(view->EndLabel->text(), QLatin1String(label));
    EXPECT_EQ(std::tuple(view->PageCount->value(), view->WeeksPerPage->isEnabled(), view->PreviewGeometry().kind),
              std::tuple(1, kind == CalendarKind::Week, kind));
  }
  Click(view->WeekCal);
  view->PageCount->setValue(5);
  view->PrintBlank->setChecked(true);
  view->StartDate->setDate(QDate(2027, 3, 3));
  view->hide();
  view->ShowForDate(D(2027, 5, 17));
  EXPECT_EQ(std::tuple(view->MonthCal->isChecked(), view->PageCount->value(), view->PrintBlank->isChecked(),
                       view->StartDateValue(), view->PreviewGeometry().title),
            std::tuple(true, 1, false, D(2027, 5, 17), QString("May 2027")));
}

// Whole numbers in their range when left; refused keys leave what was typed before them.
TEST_F(PrintView, NumberFieldsKeepToWholeNumbersInTheirRange) {
  Activate(view.get());
  Click(view->WeekCal);
  const std::tuple<bool, const char*, int> rows[] = {
      {false, "42", 42}, {false, "0", 1}, {false, "250", 100}, {false, "", 3}, {false, "x", 3}, {false, "2.5", 25},
      {false, "-4", 4},  {true, "8", 8},  {true, "0", 1},      {true, "9", 8}, {true, "12", 8}, {true, "4", 4}};
  for (const auto& [weeks, typed, value] : rows) {
    QSpinBox* field = weeks ? static_cast<QSpinBox*>(view->WeeksPerPage) : view->PageCount;
    field->setValue(3);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QString::fromLatin1(typed));
    view->PreviewButn->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(field->text(), QString::number(value)) << typed;
  }
  EXPECT_EQ(view->PreviewGeometry().rows, 4);  // the weeks per page last typed
}

TEST_F(PrintView, ThePrinterShownIsThePrinterUsed) {
  view->show();
  EXPECT_EQ(std::pair(view->PrinterSelect->count(), view->UsedPrinter()), std::pair(1, QString("Save as PDF")));
  view->hide();
  view->InstalledPrinters = [] { return QStringList{QStringLiteral("Office Laser"), QStringLiteral("Home Inkjet")}; };
  view->show();
  EXPECT_EQ(view->PrinterSelect->currentText(), QStringLiteral("Office Laser"));
  for (const char* printer : {"Office Laser", "Home Inkjet", "Save as PDF"}) {
    Choose(view->PrinterSelect, view->PrinterSelect->findText(QLatin1String(printer)));
    EXPECT_EQ(view->UsedPrinter(), QLatin1String(printer));
  }
}

TEST_F(PrintView, PreviewHasThePageProportionsAndShowsTheEventsInTheChosenFaceOrNoneWhenBlank) {
  AddEvent(D(2026, 12, 9), QStringLiteral("Dentist"), EncodeTime(9, 5));
  Activate(view.get());
  const QRect landscape = view->PreviewRect();
  EXPECT_NEAR(double(landscape.width()) / landscape.height(), 11.0 / 8.5, 0.01);  // within a pixel
  EXPECT_EQ(view->PreviewGeometry().cellOf(D(2026, 12, 9))->lines, QStringList{QStringLiteral("9:05 AM Dentist")});
  Dialogs::FontChoice chosen = view->FontDialog1;
  chosen.family = QStringLiteral("DejaVu Serif");
  chosen.bold = true;
  dialogs->AnswerFont(chosen);
  const QImage before = view->PreviewImage();
  Click(view->FontSelect);
  EXPECT_NE(view->PreviewImage(), before);
  dialogs->AnswerFont(std::nullopt);  // cancelled: the font stays
  Click(view->FontSelect);
  EXPECT_EQ(view->Options().font, chosen);
  Click(view->PrintBlank);
  EXPECT_TRUE(view->PreviewGeometry().cellOf(D(2026, 12, 9))->lines.isEmpty());
  Choose(view->AlignSelect, 0);
  const QRect portrait = view->PreviewRect();
  EXPECT_TRUE(portrait.width() < portrait.height() && portrait.height() == view->height());
  EXPECT_EQ(view->PreviewGeometry().dayNames.front(), QStringLiteral("Sun"));
}

TEST_F(PrintView, SaveAsPdfWritesOnePagePerPeriodOrReportsWhyNot) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("calendar.pdf"));
  view->ShowForDate(D(2026, 12, 31));
  view->PageCount->setValue(3);
  dialogs->AnswerSaveFile(path);
  Click(view->PrintButton);
  EXPECT_EQ(dialogs->asked().back().file.fileName, QStringLiteral("December 2026.pdf"));
  QFile pdf(path);
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLatin1(pdf.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))), 3);
  QFile::remove(path);
  dialogs->AnswerSaveFile(std::nullopt);  // cancelled: nothing written
  Click(view->PrintButton);
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
  dialogs->AnswerSaveFile(dir.filePath(QStringLiteral("missing/folder/calendar.pdf")));
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  Click(view->PrintButton);
  EXPECT_EQ(dialogs->asked().back().caption, QStringLiteral("Alert"));
  EXPECT_TRUE(dialogs->LastText().startsWith(QStringLiteral("Cannot write"))) << dialogs->LastText().toStdString();
}

}  // namespace
