#pragma once

// Shared by the print view tests: a context over a memory store with a pinned clock and
// scripted dialogs, the print view on it (offering no installed printer unless a test gives
// some), and helpers that click, choose and type as a user does.

#include "core/memorykeystore.h"
#include "editors/printview.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// The pages of a PDF file: its page objects.
inline int PdfPageCount(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QString text = QString::fromLatin1(file.readAll());
  return int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

class PrintViewFixture : public ::testing::Test {
 protected:
  explicit PrintViewFixture(TDateTime now = DT(2026, 12, 2, 9, 30)) {
    EnsureApplication();
    auto fixed = std::make_unique<FixedClock>(now);
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::move(fixed), std::move(scripted), std::make_unique<MemoryKeyStore>());
    view = std::make_unique<T_PrintView>(*context);
    view->InstalledPrinters = [] { return QStringList(); };
  }

  DataFormat& calendar() { return context->calendar(); }

  int AddEvent(TDateTime day, const QString& title, std::optional<TDateTime> start = std::nullopt) {
    const int i = calendar().AppendNote();
    TNote& note = calendar().NoteArray[static_cast<size_t>(i)];
    note.Title = title;
    note.StartDate = day;
    note.EndDate = day;
    if (start) {
      note.Start = true;
      note.StartTime = *start;
      note.EndTime = *start + EncodeTime(1, 0);
    }
    calendar().DataChanged = true;
    return i;
  }

  // Shows the view and makes it the active window, so that fields can be left.
  void Show() {
    view->show();
    QApplication::setActiveWindow(view.get());
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  }

  static void Click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    // Near the left edge: a radio button or check box answers on its mark and text only.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }

  // Picks an entry of a drop-down as a user does.
  static void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  static QStringList ComboItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
  }

  // Replaces the text of a number field by typing, then leaves the field.
  void TypeAndLeave(QSpinBox* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    view->PreviewButn->setFocus();
    QApplication::processEvents();
  }

  std::unique_ptr<AppContext> context;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<T_PrintView> view;
};
