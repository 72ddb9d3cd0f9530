#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Every question the program asks the user goes through this service: message boxes, text
// prompts, file, colour and font dialogs and the note text dialog. The program's windows use
// the Qt implementation (QtDialogs); tests script the answers.
//
// This header uses QtCore only, so the calendar core and the settings can ask questions too.
class Dialogs {
 public:
  enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
  enum class Answer { Ok, Cancel, Yes, No };
  enum class Icon { None, Information, Warning, Error, Question };

  // A colour as the settings hold it: 0x00BBGGRR.
  using Colour = qint32;

  struct FontChoice {
    QString family;
    int pointSize = 8;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    Colour colour = 0;
    bool operator==(const FontChoice&) const = default;
  };

  struct FileRequest {
    QString title;
    // Filters as "Orvane Backup Files (*.ovb)|*.ovb", pairs of description and pattern.
    QString filter;
    QString defaultExtension;  // ".ovb"; added when the name has none
    QString directory;
    QString fileName;
  };

  virtual ~Dialogs() = default;

  // A modal message box; the answer is the button pressed (Cancel for the close box).
  virtual Answer MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon icon = Icon::None) = 0;
  // The standard text prompt: nothing when cancelled.
  virtual std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& initial,
                                            bool password = false) = 0;
  // One of several items, the first offered: the index chosen, nothing when cancelled (as
  // every dialog that cannot show a list answers).
  virtual std::optional<int> ChooseItem(const QString& /*caption*/, const QString& /*prompt*/,
                                        const QStringList& /*items*/) {
    return std::nullopt;
  }
  virtual std::optional<QString> OpenFile(const FileRequest& request) = 0;
  virtual std::optional<QString> SaveFile(const FileRequest& request) = 0;
  virtual std::optional<Colour> ChooseColour(Colour initial) = 0;
  virtual std::optional<FontChoice> ChooseFont(const FontChoice& initial) = 0;
  // The note text dialog: returns the edited text (trimmed) after Save, or the initial text
  // unchanged after Cancel.
  virtual QString EditMemo(const QString& caption, const QString& prompt, const QString& initial) = 0;

  // Brings the application forward (before an alarm message); nothing in tests.
  virtual void BringToFront() {}

  // Shorthands for the fixed captions.
  void Alert(const QString& text) { MessageBox(text, QStringLiteral("Alert"), Buttons::Ok, Icon::Warning); }
  bool Confirm(const QString& text) {
    return MessageBox(text, QStringLiteral("Confirmation"), Buttons::YesNo, Icon::Question) == Answer::Yes;
  }
};
