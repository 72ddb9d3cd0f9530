#pragma once

#include "platform/dialogs.h"

class QInputDialog;
class QRect;
class QWidget;

// The Dialogs service shown with Qt's standard dialogs.
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

  Answer MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;
  std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& initial,
                                    bool password) override;
  std::optional<int> ChooseItem(const QString& caption, const QString& prompt, const QStringList& items) override;
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

  // The width a window needs for its caption to show whole in the title bar, on a screen
  // whose available area is area (at most nine tenths of its width).
  static int CaptionWidth(const QString& caption, const QRect& area);
  // The width at which the text of a question wraps: 500 pixels, less on a small screen.
  static int QuestionWidth(const QRect& area);
  // Wraps a text prompt's label at the question width (or the caption's).
  static void FitPrompt(QInputDialog& dialog, const QString& prompt, const QString& caption);

 private:
  QWidget* parent_;
};
