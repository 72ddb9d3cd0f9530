#include "platform/editmemo.h"

#include "core/trimcontrol.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

T_EditMemo::T_EditMemo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("T_EditMemo"));
  setFixedSize(330, 220);
  setModal(true);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(8, 8, 313, 25);
  Label1->setWordWrap(true);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(8, 41, 313, 129);
  Memo1->setTabChangesFocus(true);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, 178, 330, 41);

  Button1 = new QPushButton(tr("Save"), Panel1);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(160, 8, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  Button2 = new QPushButton(tr("Cancel"), Panel1);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(248, 8, 75, 25);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void T_EditMemo::Prepare(const QString& caption, const QString& prompt, const QString& initial) {
  setWindowTitle(caption);
  Label1->setText(prompt);
  Memo1->clear();
  if (!initial.isEmpty()) Memo1->setPlainText(TrimControl(initial));
  Memo1->setFocus();
}

QString T_EditMemo::Result(bool saved, const QString& memoText, const QString& initial) {
  if (!saved) return initial;
  QString text = memoText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return TrimControl(text);
}

QString T_EditMemo::Edit(const QString& caption, const QString& prompt, const QString& initial) {
  Prepare(caption, prompt, initial);
  const bool saved = exec() == QDialog::Accepted;
  return Result(saved, Memo1->toPlainText(), initial);
}
