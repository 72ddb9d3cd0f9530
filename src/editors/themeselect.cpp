#include "editors/themeselect.h"

#include "core/paths.h"
#include "desktop/displayfunctions.h"
#include "platform/windowfit.h"
#include "session/appcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString TitleKey = QStringLiteral("Title");

}  // namespace

T_ThemeSelect::T_ThemeSelect(AppContext& context, QWidget* parent) : QDialog(parent), context_(context) {
  setObjectName(QStringLiteral("T_ThemeSelect"));
  setWindowTitle(tr("Theme Selector"));

  ThemeList = new QListWidget(this);
  ThemeList->setObjectName(QStringLiteral("ThemeList"));
  ThemeList->setMinimumWidth(150);
  ThemeList->setMaximumWidth(200);
  ThemeList->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(ThemeList, &QListWidget::currentRowChanged, this, [this] { ThemeListClick(); });

  PreviewImage = new QLabel(this);
  PreviewImage->setObjectName(QStringLiteral("PreviewImage"));
  PreviewImage->setAlignment(Qt::AlignCenter);
  PreviewImage->setMinimumSize(240, 300);
  PreviewImage->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  Button1 = new QPushButton(tr("Select"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setDefault(true);
  Button2 = new QPushButton(tr("Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button3 = new QPushButton(tr("Delete"), this);
  Button3->setObjectName(QStringLiteral("Button3"));
  connect(Button1, &QPushButton::clicked, this, &T_ThemeSelect::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &T_ThemeSelect::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &T_ThemeSelect::Button3Click);

  auto* top = new QHBoxLayout;
  top->addWidget(ThemeList, 0);
  top->addWidget(PreviewImage, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button3);
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  resize(520, 600);
  UpdateButtons();
}

T_ThemeSelect::~T_ThemeSelect() = default;

const QStringList& T_ThemeSelect::ThemeKeys() { return ThemeKeyNames(); }

// --- The loaded theme.

void T_ThemeSelect::SetThemeValue(const QString& name, const QString& text) { SetThemeLineValue(loaded_, name, text); }

QString T_ThemeSelect::GetThemeValue(const QString& name) const { return ThemeLineValue(loaded_, name); }

void T_ThemeSelect::ClearLoadedTheme() { loaded_.clear(); }

// --- Folders.

void T_ThemeSelect::SetThemeFolders(const QString& shippedFolder, const QString& userFolder) {
  shippedFolder_ = shippedFolder;
  userFolder_ = userFolder;
}

QString T_ThemeSelect::ShippedFolder() const {
  return shippedFolder_.isEmpty() ? DataDir() + QStringLiteral("themes") : shippedFolder_;
}

QString T_ThemeSelect::UserFolder() const {
  return userFolder_.isEmpty() ? UserDataDir() + QStringLiteral("themes") : userFolder_;
}

QStringList T_ThemeSelect::EntryPaths() const {
  QStringList paths;
  for (const ThemeEntry& entry : entries_) paths << entry.path;
  return paths;
}

// --- Saving.

bool T_ThemeSelect::SaveTheme() {
  Dialogs& dialogs = context_.dialogs();
  const QString caption = tr("Theme Title");
  const QString prompt = tr("Please enter a title for the theme:");
  for (;;) {
    const QString title = GetThemeValue(TitleKey);
    if (title.trimmed().isEmpty()) {
      // A theme is listed by its title: one without is asked for.
      const std::optional<QString> given = dialogs.InputQuery(caption, prompt, QString());
      if (!given) return false;
      SetThemeValue(TitleKey, given->trimmed());
      continue;
    }
    const QString fileName = ThemeFileName(title);
    const QString path = QDir(UserFolder()).filePath(fileName);
    // A user theme of a shipped theme's file name takes its place in the list, so that
    // counts as overwriting it too.
    if (QFileInfo::exists(path) || QFileInfo::exists(QDir(ShippedFolder()).filePath(fileName))) {
      const Dialogs::Answer answer =
          dialogs.MessageBox(tr("The theme '") + title + tr("' already exists. ") + QStringLiteral("\n") +
                                 tr(" Do you want to overwrite it?"),
                             QStringLiteral("Confirmation"), Dialogs::Buttons::YesNoCancel, Dialogs::Icon::Warning);
      if (answer == Dialogs::Answer::No) {
        // Another title; a cancelled prompt keeps the old one and asks again.
        if (const std::optional<QString> given = dialogs.InputQuery(caption, prompt, title);
            given && !given->trimmed().isEmpty()) {
          SetThemeValue(TitleKey, given->trimmed());
        }
        continue;
      }
      if (answer != Dialogs::Answer::Yes) return false;
    }
    const ThemeFileResult written = WriteThemeFile(path, loaded_);
    if (!written.lines) {
      dialogs.Alert(tr("The theme '%1' could not be saved to %2: %3").arg(title, path, written.error));
      return false;
    }
    if (isVisible()) FillThemeList();
    return true;
  }
}

// --- The current look.

void T_ThemeSelect::TakeSnapshot() {
  const TSettings& settings = context_.settings();
  snapshot_.clear();
  const QString title = settings.GetSetting(TitleKey);
  snapshot_ << TitleKey + QLatin1Char('=') + (title.isEmpty() ? QStringLiteral("Current") : title);
  // An absent key is kept as absent, so that putting the snapshot back removes what a
  // preview set in its place.
  for (const QString& key : ThemeKeyNames()) {
    if (key != TitleKey) snapshot_ << key + QLatin1Char('=') + settings.GetSetting(key);
  }
}

void T_ThemeSelect::RestoreSnapshot() {
  TSettings& settings = context_.settings();
  for (const QString& line : snapshot_) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    settings.SetSetting(line.left(eq), line.mid(eq + 1));
  }
  LoadDisplaySettings(settings, context_.display());
}

void T_ThemeSelect::ApplyLines(const QStringList& lines) {
  TSettings& settings = context_.settings();
  for (const QString& line : ApplicableThemeLines(lines)) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    settings.SetSetting(line.left(eq), line.mid(eq + 1));
  }
  LoadDisplaySettings(settings, context_.display());
}

// --- Handlers.

void T_ThemeSelect::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(this);
  FormShow();
}

void T_ThemeSelect::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ShowPreview();
}

void T_ThemeSelect::FormShow() {
  TakeSnapshot();
  FillThemeList();
}

void T_ThemeSelect::FillThemeList() {
  const QSignalBlocker blocker(ThemeList);
  ThemeList->clear();
  entries_ = ListThemes(ShippedFolder(), UserFolder());
  // The theme in use is selected when it is listed, so the list opens where the user is.
  const QString current = context_.settings().GetSetting(TitleKey);
  int selected = -1;
  for (size_t i = 0; i < entries_.size(); ++i) {
    ThemeList->addItem(entries_[i].title);
    if (selected < 0 && entries_[i].title.compare(current, Qt::CaseInsensitive) == 0) selected = static_cast<int>(i);
  }
  if (!entries_.empty()) ThemeList->setCurrentRow(std::max(selected, 0));
  ThemeListClick();
}

void T_ThemeSelect::ThemeListClick() {
  UpdateButtons();
  const int row = ThemeList->currentRow();
  if (row < 0 || row >= static_cast<int>(entries_.size())) {
    preview_ = QImage();
    ShowPreview();
    return;
  }
  const ThemeFileResult read = ReadThemeFile(entries_[static_cast<size_t>(row)].path);
  if (!read.lines) {
    // Gone or spoiled since the list was read: nothing to preview, nothing to select.
    loaded_.clear();
    Button1->setEnabled(false);
    preview_ = QImage();
    PreviewImage->setPixmap(QPixmap());
    PreviewImage->setText(tr("This theme cannot be read:\n%1").arg(read.error));
    return;
  }
  loaded_ = *read.lines;
  if (GetThemeValue(QStringLiteral("TaskColor")).isEmpty()) {
    SetThemeValue(QStringLiteral("TaskColor"), GetThemeValue(QStringLiteral("FontColor")));
  }
  ApplyLines(loaded_);
  PaintPreview();
  RestoreSnapshot();
  ShowPreview();
}

void T_ThemeSelect::PaintPreview() {
  DisplayFunctions painter(context_.calendar(), context_.clock(), context_.display());
  painter.BeginPaint();
  const WindowSize fitted = painter.UpdateWindowSize();
  QSize size = PanelSize ? PanelSize() : QSize();
  if (size.isEmpty()) size = QSize(fitted.width, fitted.height);
  // Far beyond any panel, well below what would exhaust memory.
  size = size.boundedTo(QSize(4096, 8192)).expandedTo(QSize(1, 1));
  QImage backdrop = PanelBackdrop ? PanelBackdrop(size) : QImage();
  if (backdrop.isNull()) backdrop = NeutralBackdrop(size);
  preview_ = QImage(size, QImage::Format_RGB32);
  painter.PaintPanel(preview_, &backdrop);
}

void T_ThemeSelect::ShowPreview() {
  if (preview_.isNull()) {
    PreviewImage->setPixmap(QPixmap());
    PreviewImage->setText(entries_.empty() ? tr("No themes found.") : QString());
    return;
  }
  const QSize room = PreviewImage->contentsRect().size();
  // Shown at its own size; made smaller, keeping its proportions, only when taller than
  // the room there is.
  if (room.height() > 0 && preview_.height() > room.height()) {
    PreviewImage->setPixmap(QPixmap::fromImage(
        preview_.scaled(QSize(room.width(), room.height()), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  } else {
    PreviewImage->setPixmap(QPixmap::fromImage(preview_));
  }
}

void T_ThemeSelect::UpdateButtons() {
  const int row = ThemeList->currentRow();
  const bool chosen = row >= 0 && row < static_cast<int>(entries_.size());
  Button1->setEnabled(chosen);
  // Shipped themes stay: only the user's own can be deleted.
  Button3->setEnabled(chosen && !entries_[static_cast<size_t>(row)].shipped);
}

void T_ThemeSelect::Button1Click() {
  const int row = ThemeList->currentRow();
  if (row < 0 || row >= static_cast<int>(entries_.size()) || loaded_.isEmpty()) return;
  ApplyLines(loaded_);
  accept();
  AppWindows& windows = context_.windows();
  if (windows.DisplaySettingsChanged) {
    windows.DisplaySettingsChanged();
  } else if (windows.RepaintDesktop) {
    windows.RepaintDesktop();
  }
}

void T_ThemeSelect::Button2Click() { reject(); }

void T_ThemeSelect::reject() {
  RestoreSnapshot();
  QDialog::reject();
}

void T_ThemeSelect::Button3Click() {
  const int row = ThemeList->currentRow();
  if (row < 0 || row >= static_cast<int>(entries_.size())) return;
  const ThemeEntry entry = entries_[static_cast<size_t>(row)];
  if (entry.shipped) return;
  const QString title = GetThemeValue(TitleKey).isEmpty() ? entry.title : GetThemeValue(TitleKey);
  if (context_.dialogs().MessageBox(tr("Are you sure you want to delete the theme '") + title + tr("'?"),
                                    QStringLiteral("Confirmation"), Dialogs::Buttons::YesNoCancel,
                                    Dialogs::Icon::Question) != Dialogs::Answer::Yes) {
    return;
  }
  QFile file(entry.path);
  if (!file.remove()) {
    context_.dialogs().Alert(tr("The theme file %1 could not be deleted: %2").arg(entry.path, file.errorString()));
  }
  FillThemeList();
}
