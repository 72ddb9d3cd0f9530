#pragma once

#include "platform/dialogs.h"

#include <deque>
#include <vector>

// Dialogs that answer from a queue the test fills, in order, and record every question.
// A question without a queued answer of its kind, or an answer left unused when the
// dialogs are destroyed, fails the test.
class ScriptedDialogs : public Dialogs {
 public:
  struct Asked {
    QString kind;  // "message", "input", "choice", "open", "save", "colour", "font", "memo"
    QString caption;
    QString text;
    Buttons buttons = Buttons::Ok;
    FileRequest file;
    QStringList items;  // a choice's items
  };

  ~ScriptedDialogs() override;

  void AnswerMessage(Answer answer) { Push(QStringLiteral("message"), true).answer = answer; }
  void AnswerInput(std::optional<QString> text) {
    Push(QStringLiteral("input"), text.has_value()).text = text.value_or(QString());
  }
  // The index chosen from a list; nothing: Cancel.
  void AnswerChoice(std::optional<int> index) {
    Push(QStringLiteral("choice"), index.has_value()).index = index.value_or(-1);
  }
  void AnswerOpenFile(std::optional<QString> path) {
    Push(QStringLiteral("open"), path.has_value()).text = path.value_or(QString());
  }
  void AnswerSaveFile(std::optional<QString> path) {
    Push(QStringLiteral("save"), path.has_value()).text = path.value_or(QString());
  }
  void AnswerColour(std::optional<Colour> c) { Push(QStringLiteral("colour"), c.has_value()).colour = c.value_or(0); }
  void AnswerFont(std::optional<FontChoice> f) {
    Push(QStringLiteral("font"), f.has_value()).font = f.value_or(FontChoice());
  }
  // The note text dialog returns this text (as after Save); nothing: Cancel.
  void AnswerMemo(std::optional<QString> text) {
    Push(QStringLiteral("memo"), text.has_value()).text = text.value_or(QString());
  }

  Answer MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;
  std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& initial,
                                    bool password) override;
  std::optional<int> ChooseItem(const QString& caption, const QString& prompt, const QStringList& items) override;
  std::optional<QString> OpenFile(const FileRequest& request) override;
  std::optional<QString> SaveFile(const FileRequest& request) override;
  std::optional<Colour> ChooseColour(Colour initial) override;
  std::optional<FontChoice> ChooseFont(const FontChoice& initial) override;
  QString EditMemo(const QString& caption, const QString& prompt, const QString& initial) override;

  const std::vector<Asked>& asked() const { return asked_; }
  // The text of the last question asked (empty when none).
  QString LastText() const { return asked_.empty() ? QString() : asked_.back().text; }
  bool Pending() const { return !queue_.empty(); }

 private:
  // One queued answer; the field of its kind holds it unless the dialog is cancelled.
  struct Entry {
    QString kind;
    bool given = false;
    Answer answer = Answer::Cancel;
    QString text;
    Colour colour = 0;
    int index = -1;
    FontChoice font;
    std::optional<QString> Text() const { return given ? std::optional<QString>(text) : std::nullopt; }
  };
  Entry& Push(const QString& kind, bool given) {
    queue_.emplace_back();
    queue_.back().kind = kind;
    queue_.back().given = given;
    return queue_.back();
  }
  // The next answer, which must be of this kind; a cancelled one when it is not.
  Entry Next(const QString& kind, const QString& what);

  std::deque<Entry> queue_;
  std::vector<Asked> asked_;
};
