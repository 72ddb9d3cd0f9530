#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The modal note text dialog: a prompt, a multi-line text, Save and Cancel.
class T_EditMemo : public QDialog {
  Q_OBJECT
 public:
  explicit T_EditMemo(QWidget* parent = nullptr);

  // Shows the dialog modally. After Save: the text with leading and trailing blanks and line
  // breaks removed. After Cancel or the close box: the initial text unchanged.
  QString Edit(const QString& caption, const QString& prompt, const QString& initial);

  // The result of a dialog closed with Save or not, without showing it (used by Edit and tests).
  static QString Result(bool saved, const QString& memoText, const QString& initial);

  QLabel* Label1;
  QPlainTextEdit* Memo1;
  QWidget* Panel1;
  QPushButton* Button1;
  QPushButton* Button2;

  // Set the text and prompt as Edit does, without running the dialog.
  void Prepare(const QString& caption, const QString& prompt, const QString& initial);
};
