#pragma once

#include "settings/themefiles.h"

#include <QDialog>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class AppContext;
class QLabel;
class QListWidget;
class QPushButton;
class QResizeEvent;
class QShowEvent;

// The theme chooser ("Theme Selector"): lists the theme files by title, previews the desktop
// panel drawn with the selected theme, applies it to the settings, and deletes the user's own
// theme files. The options dialog also uses it to save the current look as a theme:
//   ClearLoadedTheme(); SetThemeValue(key, value) for Title and each other theme key; SaveTheme().
//
// Themes come from two folders: the ones shipped with the program (DataDir()/themes, which
// may be read-only) and the user's own (UserDataDir()/themes, where saves go). A user theme
// whose file name matches a shipped one takes its place in the list. Shipped themes cannot
// be deleted.
class T_ThemeSelect : public QDialog {
  Q_OBJECT
 public:
  explicit T_ThemeSelect(AppContext& context, QWidget* parent = nullptr);
  ~T_ThemeSelect() override;

  // The sixteen keys a theme carries, Title first, in the order a save writes them.
  static const QStringList& ThemeKeys();

  // The loaded theme: the name=value lines of the theme last read or being built.
  void SetThemeValue(const QString& name, const QString& text);
  QString GetThemeValue(const QString& name) const;
  void ClearLoadedTheme();

  // Writes the loaded theme to the user's theme folder under a file name made from its
  // Title, asking before it overwrites a file (and then for another title). False when the
  // user cancelled or the file could not be written (after saying why).
  bool SaveTheme();

  // The current look: the theme keys of the settings, kept so that a preview or a Cancel
  // can put them back. An empty Title is kept as "Current".
  void TakeSnapshot();
  void RestoreSnapshot();

  // The size to preview at: the desktop panel's current size. Unset, the size the panel
  // would take with the previewed theme.
  std::function<QSize()> PanelSize;
  // What the preview is composed over: the desktop under the panel. Unset (or giving a null
  // image), a neutral wallpaper-like picture.
  std::function<QImage(QSize)> PanelBackdrop;

  // The folders themes are read from and saved to (the defaults above unless set; tests
  // point them elsewhere). Setting them does not re-read the list.
  void SetThemeFolders(const QString& shippedFolder, const QString& userFolder);
  QString ShippedFolder() const;
  QString UserFolder() const;

  // The file path behind each entry of ThemeList, in list order.
  QStringList EntryPaths() const;
  // The last preview drawn (empty before the first).
  const QImage& Preview() const { return preview_; }

  // --- Handlers.
  void FormShow();
  void FillThemeList();
  void ThemeListClick();
  void Button1Click();  // Select
  void Button2Click();  // Cancel
  void Button3Click();  // Delete
  // Closing the chooser any other way than Select cancels it.
  void reject() override;

  // --- Controls.
  QListWidget* ThemeList = nullptr;
  QLabel* PreviewImage = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ApplyLines(const QStringList& lines);
  void PaintPreview();
  void ShowPreview();
  void UpdateButtons();

  AppContext& context_;
  QString shippedFolder_;
  QString userFolder_;
  QStringList loaded_;               // the loaded theme
  QStringList snapshot_;             // the current look
  std::vector<ThemeEntry> entries_;  // parallel to ThemeList
  QImage preview_;
};
