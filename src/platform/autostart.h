#pragma once

#include <QString>

// Whether the program starts at logon. The code that changes the RunAtStartup setting (the
// options, the first start, a restore) brings the entry in line with it.
class Autostart {
 public:
  virtual ~Autostart() = default;
  // Starts the program at logon (on) or no longer (off). False when the entry could not be
  // written or removed.
  virtual bool Set(bool on) = 0;
};

// The XDG autostart entry $XDG_CONFIG_HOME/autostart/orvane.desktop, whose Exec is the
// executable's full path.
class XdgAutostart final : public Autostart {
 public:
  // The program started at logon; the running executable when empty.
  explicit XdgAutostart(QString executablePath = QString());
  bool Set(bool on) override;

  static QString EntryPath();
  QString ExecutablePath() const;

 private:
  QString executablePath_;
};
