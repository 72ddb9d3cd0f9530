#include "editors/updownedit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>

UpDownEdit::UpDownEdit(int arrowMin, int arrowMax, QWidget* parent)
    : QAbstractSpinBox(parent), min_(arrowMin), max_(arrowMax) {
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(true);
  connect(lineEdit(), &QLineEdit::textChanged, this, &UpDownEdit::textChanged);
}

void UpDownEdit::setText(const QString& text) {
  if (lineEdit()->text() != text) lineEdit()->setText(text);
}

std::optional<int> UpDownEdit::Value() const {
  bool ok = false;
  const int v = lineEdit()->text().trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return v;
}

void UpDownEdit::stepBy(int steps) {
  const std::optional<int> v = Value();
  const qint64 from = v ? std::clamp<qint64>(*v, min_, max_) : min_;
  const qint64 to = std::clamp<qint64>(v ? from + steps : from, min_, max_);
  setText(QString::number(to));
  lineEdit()->selectAll();
}

QValidator::State UpDownEdit::validate(QString&, int&) const { return QValidator::Acceptable; }

void UpDownEdit::fixup(QString&) const {}

QAbstractSpinBox::StepEnabled UpDownEdit::stepEnabled() const {
  if (isReadOnly()) return StepNone;
  const std::optional<int> v = Value();
  if (!v) return StepUpEnabled | StepDownEnabled;
  StepEnabled e = StepNone;
  if (*v < max_) e |= StepUpEnabled;
  if (*v > min_) e |= StepDownEnabled;
  return e;
}

QSize UpDownEdit::sizeHint() const {
  ensurePolished();
  const QFontMetrics fm(font());
  const int digits = QString::number(std::max(std::abs(min_), std::abs(max_))).size();
  QSize content(fm.horizontalAdvance(QString(std::max(digits, 2) + 1, QLatin1Char('0'))) + 4,
                lineEdit()->sizeHint().height());
  QStyleOptionSpinBox opt;
  initStyleOption(&opt);
  return style()->sizeFromContents(QStyle::CT_SpinBox, &opt, content, this);
}

QSize UpDownEdit::minimumSizeHint() const { return sizeHint(); }
