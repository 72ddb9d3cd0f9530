#pragma once

#include <QAbstractSpinBox>
#include <optional>

// A number edit with up-down arrows whose text is free: the arrows keep to their own
// bounds, but what is typed is left to the window's checks (some fields correct their text
// while it is typed, others are checked only when the event is saved).
class UpDownEdit : public QAbstractSpinBox {
  Q_OBJECT
 public:
  UpDownEdit(int arrowMin, int arrowMax, QWidget* parent = nullptr);

  void setText(const QString& text);
  // The text as an integer; nothing when it is not one.
  std::optional<int> Value() const;
  int ArrowMin() const { return min_; }
  int ArrowMax() const { return max_; }

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void textChanged(const QString& text);

 protected:
  StepEnabled stepEnabled() const override;

 private:
  int min_;
  int max_;
};
