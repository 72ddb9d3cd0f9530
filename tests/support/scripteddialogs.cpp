#include "support/scripteddialogs.h"

#include <gtest/gtest.h>

ScriptedDialogs::~ScriptedDialogs() {
  for (const Entry& e : queue_) ADD_FAILURE() << "an answer for a " << e.kind.toStdString() << " was never used";
}

ScriptedDialogs::Entry ScriptedDialogs::Next(const QString& kind, const QString& what) {
  if (queue_.empty() || queue_.front().kind != kind) {
    ADD_FAILURE() << "unexpected " << kind.toStdString() << ": " << what.toStdString()
                  << (queue_.empty() ? std::string(" (no answer queued)")
                                     : " (next answer is for a " + queue_.front().kind.toStdString() + ")");
    Entry cancelled;
    cancelled.kind = kind;
    return cancelled;
  }
  Entry v = std::move(queue_.front());
  queue_.pop_front();
  return v;
}

Dialogs::Answer ScriptedDialogs::MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon) {
  asked_.push_back({QStringLiteral("message"), caption, text, buttons, {}, {}});
  return Next(QStringLiteral("message"), caption + QStringLiteral(": ") + text).answer;
}

std::optional<QString> ScriptedDialogs::InputQuery(const QString& caption, const QString& prompt, const QString&,
                                                   bool) {
  asked_.push_back({QStringLiteral("input"), caption, prompt, Buttons::OkCancel, {}, {}});
  return Next(QStringLiteral("input"), caption + QStringLiteral(": ") + prompt).Text();
}

std::optional<int> ScriptedDialogs::ChooseItem(const QString& caption, const QString& prompt,
                                               const QStringList& items) {
  asked_.push_back({QStringLiteral("choice"), caption, prompt, Buttons::OkCancel, {}, items});
  const Entry e = Next(QStringLiteral("choice"), caption + QStringLiteral(": ") + items.join(QStringLiteral(", ")));
  return e.given && e.index >= 0 && e.index < items.size() ? std::optional<int>(e.index) : std::nullopt;
}

std::optional<QString> ScriptedDialogs::OpenFile(const FileRequest& request) {
  asked_.push_back({QStringLiteral("open"), request.title, request.filter, Buttons::OkCancel, request, {}});
  return Next(QStringLiteral("open"), request.filter).Text();
}

std::optional<QString> ScriptedDialogs::SaveFile(const FileRequest& request) {
  asked_.push_back({QStringLiteral("save"), request.title, request.filter, Buttons::OkCancel, request, {}});
  return Next(QStringLiteral("save"), request.filter).Text();
}

std::optional<Dialogs::Colour> ScriptedDialogs::ChooseColour(Colour initial) {
  asked_.push_back({QStringLiteral("colour"), QString(), QString::number(initial), Buttons::OkCancel, {}, {}});
  const Entry e = Next(QStringLiteral("colour"), QString::number(initial));
  return e.given ? std::optional<Colour>(e.colour) : std::nullopt;
}

std::optional<Dialogs::FontChoice> ScriptedDialogs::ChooseFont(const FontChoice& initial) {
  asked_.push_back({QStringLiteral("font"), QString(), initial.family, Buttons::OkCancel, {}, {}});
  const Entry e = Next(QStringLiteral("font"), initial.family);
  return e.given ? std::optional<FontChoice>(e.font) : std::nullopt;
}

QString ScriptedDialogs::EditMemo(const QString& caption, const QString& prompt, const QString& initial) {
  asked_.push_back({QStringLiteral("memo"), caption, prompt, Buttons::OkCancel, {}, {}});
  auto answer = Next(QStringLiteral("memo"), caption + QStringLiteral(": ") + prompt).Text();
  return answer ? *answer : initial;
}
