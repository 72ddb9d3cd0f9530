#pragma once

#include "platform/dialogs.h"

#include <QTextStream>

// Dialogs for command-line runs: nothing is asked. Messages are printed to standard error,
// questions take their safe answer (No, Cancel), prompts and file dialogs are cancelled.
class ConsoleDialogs final : public Dialogs {
 public:
  Answer MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;
  std::optional<QString> InputQuery(const QString&, const QString&, const QString&, bool) override {
    return std::nullopt;
  }
  std::optional<QString> OpenFile(const FileRequest&) override { return std::nullopt; }
  std::optional<QString> SaveFile(const FileRequest&) override { return std::nullopt; }
  std::optional<Colour> ChooseColour(Colour) override { return std::nullopt; }
  std::optional<FontChoice> ChooseFont(const FontChoice&) override { return std::nullopt; }
  QString EditMemo(const QString&, const QString&, const QString& initial) override { return initial; }
};
