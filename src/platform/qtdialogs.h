#pragma once

#include "platform/dialogs.h"

class QWidget;

// The Dialogs service shown with Qt's standard dialogs.
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

  Answer MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;
  std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& initial,
                                    bool password) override;
  std::optional<QString> OpenFile(const FileRequest& request) override;
  std::optional<QString> SaveFile(const FileRequest& request) override;
  std::optional<Colour> ChooseColour(Colour initial) override;
  std::optional<FontChoice> ChooseFont(const FontChoice& initial) override;
  QString EditMemo(const QString& caption, const QString& prompt, const QString& initial) override;
  void BringToFront() override;

  // "Orvane Backup Files (*.ovb)|*.ovb" as Qt writes filters: "Orvane Backup Files (*.ovb)".
  static QString QtFilter(const QString& filter);
  // The chosen name with the default extension added when it has none.
  static QString WithDefaultExtension(const QString& name, const QString& extension);

 private:
  QWidget* parent_;
};
