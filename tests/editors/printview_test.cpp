// The print view: its controls as each showing leaves them, the kinds and their labels, the
// number fields, the printers offered and used, the preview, and printing to a PDF file.
#include "printviewfixture.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

TEST_F(PrintViewFixture, EachShowingStartsOnAMonthOfTodayForOnePage) {
  view->show();
  EXPECT_EQ(view->windowTitle(), QStringLiteral("Print Preview"));
  EXPECT_TRUE(view->MonthCal->isChecked());
  EXPECT_EQ(view->EndLabel->text(), QStringLiteral("Number of months to print"));
  EXPECT_EQ(view->StartDateValue(), D(2026, 12, 2));
  EXPECT_EQ(view->PageCount->value(), 1);
  EXPECT_FALSE(view->WeeksPerPage->isEnabled());
  EXPECT_FALSE(view->WeeksLabel->isEnabled());
  EXPECT_FALSE(view->PrintBlank->isChecked());
  EXPECT_EQ(view->AlignSelect->currentText(), QStringLiteral("Landscape"));

  // Changed, hidden and shown again: back to the start.
  Click(view->WeekCal);
  view->PageCount->setValue(5);
  view->PrintBlank->setChecked(true);
  view->StartDate->setDate(QDate(2027, 3, 3));
  view->hide();
  view->ShowForDate(D(2027, 5, 17));
  EXPECT_TRUE(view->MonthCal->isChecked());
  EXPECT_EQ(view->PageCount->value(), 1);
  EXPECT_FALSE(view->PrintBlank->isChecked());
  EXPECT_EQ(view->StartDateValue(), D(2027, 5, 17));
  EXPECT_EQ(view->PreviewGeometry().title, QStringLiteral("May 2027"));
}

struct KindCase {
  const char* name;
  const char* button;
  const char* label;
  bool weeks;
  CalendarKind kind;
};

class KindChoice : public PrintViewFixture, public ::testing::WithParamInterface<KindCase> {};

TEST_P(KindChoice, SetsTheCountLabelAndResetsTheCount) {
  view->show();
  view->PageCount->setValue(7);
  Click(view->findChild<QRadioButton*>(QLatin1String(GetParam().button)));
  EXPECT_EQ(view->EndLabel->text(), QLatin1String(GetParam().label));
  EXPECT_EQ(view->PageCount->value(), 1);
  EXPECT_EQ(view->WeeksPerPage->isEnabled(), GetParam().weeks);
  EXPECT_EQ(view->WeeksLabel->isEnabled(), GetParam().weeks);
  EXPECT_EQ(view->PreviewGeometry().kind, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KindChoice,
    ::testing::Values(KindCase{"Day", "DayCal", "Number of days to print", false, CalendarKind::Day},
                      KindCase{"Week", "WeekCal", "Number of pages to print", true, CalendarKind::Week},
                      KindCase{"Month", "MonthCal", "Number of months to print", false, CalendarKind::Month},
                      KindCase{"Year", "YearCal", "Number of years to print", false, CalendarKind::Year}),
    [](const auto& info) { return std::string(info.param.name); });

struct NumberCase {
  const char* name;
  bool weeks;  // the weeks-per-page field, else the page count
  const char* typed;
  int value;
};

class NumberFields : public PrintViewFixture, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(NumberFields, KeepToWholeNumbersInTheirRangeWhenLeft) {
  Show();
  Click(view->WeekCal);
  QSpinBox* field = GetParam().weeks ? static_cast<QSpinBox*>(view->WeeksPerPage) : view->PageCount;
  field->setValue(3);
  TypeAndLeave(field, QString::fromLatin1(GetParam().typed));
  EXPECT_EQ(field->value(), GetParam().value);
  EXPECT_EQ(field->text(), QString::number(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberFields,
                         ::testing::Values(NumberCase{"PagesInRange", false, "42", 42},
                                           NumberCase{"PagesZero", false, "0", 1},
                                           NumberCase{"PagesAboveRange", false, "250", 100},
                                           NumberCase{"PagesEmpty", false, "", 3},
                                           NumberCase{"PagesLettersRefused", false, "x", 3},
                                           NumberCase{"PagesFractionRefused", false, "2.5", 25},
                                           NumberCase{"PagesNegativeRefused", false, "-4", 4},
                                           NumberCase{"WeeksInRange", true, "8", 8},
                                           NumberCase{"WeeksZero", true, "0", 1},
                                           NumberCase{"WeeksAboveRange", true, "9", 8},
                                           NumberCase{"WeeksFarAboveRange", true, "12", 8}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintViewFixture, WeeksPerPageChangesThePreview) {
  Show();
  Click(view->WeekCal);
  EXPECT_EQ(view->PreviewGeometry().rows, 1);
  TypeAndLeave(view->WeeksPerPage, QStringLiteral("4"));
  EXPECT_EQ(view->PreviewGeometry().rows, 4);
}

TEST_F(PrintViewFixture, WithoutPrintersSaveAsPdfIsFirstAndUsed) {
  view->show();
  ASSERT_EQ(view->PrinterSelect->count(), 1);
  EXPECT_EQ(view->PrinterSelect->itemText(0), QStringLiteral("Save as PDF"));
  EXPECT_EQ(view->UsedPrinter(), QStringLiteral("Save as PDF"));
}

TEST_F(PrintViewFixture, ThePrinterShownIsThePrinterUsed) {
  view->InstalledPrinters = [] { return QStringList{QStringLiteral("Office Laser"), QStringLiteral("Home Inkjet")}; };
  view->show();
  EXPECT_EQ(ComboItems(view->PrinterSelect),
            (QStringList{QStringLiteral("Office Laser"), QStringLiteral("Home Inkjet"), QStringLiteral("Save as PDF")}));
  EXPECT_EQ(view->PrinterSelect->currentText(), QStringLiteral("Office Laser"));
  EXPECT_EQ(view->UsedPrinter(), QStringLiteral("Office Laser"));
  Choose(view->PrinterSelect, 1);
  EXPECT_EQ(view->UsedPrinter(), QStringLiteral("Home Inkjet"));
  Choose(view->PrinterSelect, 2);
  EXPECT_EQ(view->UsedPrinter(), QStringLiteral("Save as PDF"));
  // The list is read again at each showing.
  view->InstalledPrinters = [] { return QStringList{QStringLiteral("Basement Plotter")}; };
  view->hide();
  view->show();
  EXPECT_EQ(view->UsedPrinter(), QStringLiteral("Basement Plotter"));
}

TEST_F(PrintViewFixture, PreviewHasThePageProportionsCentredBesideThePanel) {
  Show();
  const QRect landscape = view->PreviewRect();
  EXPECT_GT(landscape.width(), landscape.height());
  EXPECT_EQ(view->PreviewImage().size(), landscape.size());
  const int area = view->width() - view->ControlPanel->width();
  EXPECT_LE(std::abs((landscape.left() - view->ControlPanel->width()) - (view->width() - landscape.right() - 1)), 1);
  EXPECT_TRUE(landscape.width() == area || landscape.height() == view->height());

  Choose(view->AlignSelect, 0);
  EXPECT_TRUE(view->Portrait());
  const QRect portrait = view->PreviewRect();
  EXPECT_LT(portrait.width(), portrait.height());
  EXPECT_EQ(portrait.height(), view->height());
  EXPECT_EQ(view->PreviewGeometry().dayNames.front(), QStringLiteral("Sun"));
  // 11 by 8.5 inches, within a pixel.
  EXPECT_NEAR(double(landscape.width()) / landscape.height(), 11.0 / 8.5, 0.01);
}

TEST_F(PrintViewFixture, PreviewShowsTheEventsAndTheBlankOption) {
  AddEvent(D(2026, 12, 9), QStringLiteral("Dentist"), EncodeTime(9, 5));
  Show();
  EXPECT_EQ(view->PreviewGeometry().cellOf(D(2026, 12, 9))->lines, QStringList{QStringLiteral("9:05 AM Dentist")});
  Click(view->PrintBlank);
  EXPECT_TRUE(view->PreviewGeometry().cellOf(D(2026, 12, 9))->lines.isEmpty());
}

TEST_F(PrintViewFixture, SelectFontTakesTheChosenFaceForThePages) {
  Show();
  EXPECT_EQ(view->FontDialog1.family, QStringLiteral("Trebuchet MS"));
  Dialogs::FontChoice chosen = view->FontDialog1;
  chosen.family = QStringLiteral("DejaVu Serif");
  chosen.bold = true;
  dialogs->AnswerFont(chosen);
  const QImage before = view->PreviewImage();
  Click(view->FontSelect);
  EXPECT_EQ(view->FontDialog1, chosen);
  EXPECT_EQ(view->Options().font, chosen);
  EXPECT_NE(view->PreviewImage(), before);
  // Cancelled: the font stays.
  dialogs->AnswerFont(std::nullopt);
  Click(view->FontSelect);
  EXPECT_EQ(view->FontDialog1, chosen);
}

TEST_F(PrintViewFixture, SaveAsPdfWritesOnePagePerPeriod) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("calendar.pdf"));
  AddEvent(D(2027, 1, 12), QStringLiteral("Dentist"), EncodeTime(9, 5));
  view->ShowForDate(D(2026, 12, 31));
  view->PageCount->setValue(3);
  dialogs->AnswerSaveFile(path);
  Click(view->PrintButton);
  ASSERT_EQ(dialogs->asked().size(), 1u);
  EXPECT_EQ(dialogs->asked().back().kind, QStringLiteral("save"));
  EXPECT_EQ(dialogs->asked().back().file.defaultExtension, QStringLiteral(".pdf"));
  EXPECT_EQ(dialogs->asked().back().file.fileName, QStringLiteral("December 2026.pdf"));
  EXPECT_EQ(PdfPageCount(path), 3);
}

TEST_F(PrintViewFixture, CancelledSaveWritesNothing) {
  QTemporaryDir dir;
  view->show();
  dialogs->AnswerSaveFile(std::nullopt);
  Click(view->PrintButton);
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(PrintViewFixture, AFileThatCannotBeWrittenIsReported) {
  QTemporaryDir dir;
  view->show();
  dialogs->AnswerSaveFile(dir.filePath(QStringLiteral("missing/folder/calendar.pdf")));
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  Click(view->PrintButton);
  ASSERT_EQ(dialogs->asked().size(), 2u);
  EXPECT_EQ(dialogs->asked().back().caption, QStringLiteral("Alert"));
  EXPECT_TRUE(dialogs->asked().back().text.startsWith(QStringLiteral("Cannot write"))) << dialogs->LastText().toStdString();
}

}  // namespace
