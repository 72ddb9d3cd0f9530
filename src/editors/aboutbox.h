#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: the program's icon and name, its version, what it is, and where it lives on
// the web. Shown modally from the panel's Help menu.
class T_About : public QDialog {
  Q_OBJECT

 public:
  // version: the four numbers of this build; an empty one leaves the label's own text.
  explicit T_About(QWidget* parent = nullptr, const QString& version = CompiledVersion());

  // The version compiled into the program ("1.0.0.1").
  static QString CompiledVersion();

  QLabel* IconImage;
  QLabel* ProductName;
  QLabel* VersionLabel;
  QLabel* Comments;
  QLabel* Copyright;
  QLabel* WebSite;
  QPushButton* OKButton;
};
