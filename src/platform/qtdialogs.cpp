#include "platform/qtdialogs.h"

#include "platform/editmemo.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace {

// Room in the title bar besides the caption: the window manager's icon and its buttons.
constexpr int TitleBarExtras = 150;
// The widest a question grows before its text wraps.
constexpr int WidestQuestion = 500;

QRect AvailableArea(const QWidget* parent) {
  QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

}  // namespace

int QtDialogs::CaptionWidth(const QString& caption, const QRect& area) {
  QFont font = QApplication::font();
  font.setBold(true);  // title bars commonly write the caption in bold
  // The title bar shows the program's name after the caption.
  QString shown = caption;
  const QString program = QGuiApplication::applicationDisplayName();
  if (!program.isEmpty() && !caption.endsWith(program)) shown += QStringLiteral(" \u2014 ") + program;
  const int wanted = QFontMetrics(font).horizontalAdvance(shown) + TitleBarExtras;
  return std::min(wanted, area.width() * 9 / 10);
}

int QtDialogs::QuestionWidth(const QRect& area) {
  return std::min(WidestQuestion, std::max(300, area.width() * 2 / 5));
}

Dialogs::Answer QtDialogs::MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon icon) {
  QMessageBox box(parent_);
  box.setWindowTitle(caption);
  box.setText(text);
  switch (icon) {
    case Icon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case Icon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case Icon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case Icon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case Icon::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  // The box sizes itself to its text (wrapping a long one); it is made at least as wide as
  // its caption needs, so the title bar does not cut the caption short. An empty row of that
  // width below the buttons carries the minimum into the box's own sizing.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(CaptionWidth(caption, AvailableArea(parent_)), 0, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return Answer::Ok;
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

std::optional<QString> QtDialogs::InputQuery(const QString& caption, const QString& prompt, const QString& initial,
                                             bool password) {
  QInputDialog dialog(parent_);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(caption);
  dialog.setLabelText(prompt);
  dialog.setTextEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
  dialog.setTextValue(initial);
  FitPrompt(dialog, prompt, caption);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

std::optional<int> QtDialogs::ChooseItem(const QString& caption, const QString& prompt, const QStringList& items) {
  if (items.isEmpty()) return std::nullopt;
  QInputDialog dialog(parent_);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setComboBoxItems(items);
  dialog.setComboBoxEditable(false);
  dialog.setTextValue(items.first());
  dialog.setWindowTitle(caption);
  dialog.setLabelText(prompt);
  FitPrompt(dialog, prompt, caption);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  // Two places may read alike: the list's position tells them apart where the text cannot.
  const auto* combo = dialog.findChild<QComboBox*>();
  const qsizetype index = combo ? combo->currentIndex() : items.indexOf(dialog.textValue());
  return index >= 0 && index < items.size() ? std::optional<int>(int(index)) : std::nullopt;
}

// A prompt of several sentences wraps at a readable width instead of stretching the dialog
// across (and past) the screen; the dialog stays as wide as its caption needs.
void QtDialogs::FitPrompt(QInputDialog& dialog, const QString& prompt, const QString& caption) {
  const QRect area = AvailableArea(dialog.parentWidget());
  QLabel* label = dialog.findChild<QLabel*>();
  if (!label) return;
  label->setWordWrap(true);
  const QStyle* style = dialog.style();
  const int margins = style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, &dialog) +
                      style->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, &dialog);
  const int natural = QFontMetrics(label->font()).horizontalAdvance(prompt) + 4;
  const int widest = std::max(QuestionWidth(area), CaptionWidth(caption, area)) - margins;
  const int narrowest = std::max(240, CaptionWidth(caption, area)) - margins;
  label->setFixedWidth(std::clamp(natural, std::min(narrowest, widest), widest));
}

QString QtDialogs::QtFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& desc = parts[i];
    const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    out << (desc.contains(QLatin1Char('(')) ? desc : QStringLiteral("%1 (%2)").arg(desc, pattern));
  }
  if (parts.size() == 1 && !filter.isEmpty()) out << filter;
  return out.join(QStringLiteral(";;"));
}

QString QtDialogs::WithDefaultExtension(const QString& name, const QString& extension) {
  if (extension.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
  return extension.startsWith(QLatin1Char('.')) ? name + extension : name + QLatin1Char('.') + extension;
}

std::optional<QString> QtDialogs::OpenFile(const FileRequest& request) {
  QFileDialog dialog(parent_, request.title, request.directory, QtFilter(request.filter));
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return WithDefaultExtension(dialog.selectedFiles().first(), request.defaultExtension);
}

std::optional<QString> QtDialogs::SaveFile(const FileRequest& request) {
  QFileDialog dialog(parent_, request.title, request.directory, QtFilter(request.filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  QString suffix = request.defaultExtension;
  if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  dialog.setDefaultSuffix(suffix);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return WithDefaultExtension(dialog.selectedFiles().first(), request.defaultExtension);
}

std::optional<Dialogs::Colour> QtDialogs::ChooseColour(Colour initial) {
  const QColor start(initial & 0xff, (initial >> 8) & 0xff, (initial >> 16) & 0xff);
  const QColor chosen = QColorDialog::getColor(start, parent_);
  if (!chosen.isValid()) return std::nullopt;
  return static_cast<Colour>(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16));
}

std::optional<Dialogs::FontChoice> QtDialogs::ChooseFont(const FontChoice& initial) {
  QFont font(initial.family, initial.pointSize);
  font.setBold(initial.bold);
  font.setItalic(initial.italic);
  font.setUnderline(initial.underline);
  font.setStrikeOut(initial.strikeOut);
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, parent_);
  if (!ok) return std::nullopt;
  FontChoice result = initial;
  result.family = chosen.family();
  result.pointSize = chosen.pointSize() > 0 ? chosen.pointSize() : initial.pointSize;
  result.bold = chosen.bold();
  result.italic = chosen.italic();
  result.underline = chosen.underline();
  result.strikeOut = chosen.strikeOut();
  return result;
}

QString QtDialogs::EditMemo(const QString& caption, const QString& prompt, const QString& initial) {
  T_EditMemo dialog(parent_);
  return dialog.Edit(caption, prompt, initial);
}

void QtDialogs::BringToFront() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) {
      w->raise();
      w->activateWindow();
      break;
    }
  }
}
